// End-to-end runs about the input's framing: detection from the first 384
// bytes, timestamps kept or stripped, a partial packet at the end, and a
// packet whose sync byte is wrong.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e_cli_common.h"
#include "support.h"

namespace {

using e2e::after_banner;
using e2e::expect_extraction;

const std::string kNotTs = "File isn't MPEG2_TS or Timestamped-MPEG2_TS\n";

tsb::Stream null_stream(size_t count) {
    tsb::Stream s;
    s.nulls(count);
    return s;
}

TEST(CliFraming, InputShorterThanTwoTimestampedPacketsIsRefused) {
    TempDir dir;
    const tsb::Bytes whole = null_stream(3).bytes();
    for (size_t size : {0, 187, 188, 376, 383}) {
        const std::string in = dir.file("in.ts");
        write_bytes(in, tsb::Bytes(whole.begin(), whole.begin() + static_cast<long>(size)));
        const RunResult r = run_tool({in});
        EXPECT_EQ(r.exit_code, 1) << size;
        EXPECT_EQ(after_banner(r.out), "Unexpected EOF detected.\n" + kNotTs) << size;
    }
    // The output is opened before the framing is looked at; it stays empty.
    const std::string out = dir.file("out.ts");
    const RunResult r = run_tool({dir.file("in.ts"), "1", out});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(after_banner(r.out), "Unexpected EOF detected.\n" + kNotTs);
    EXPECT_TRUE(read_bytes(out).empty());
}

TEST(CliFraming, InputWithoutSyncBytesWhereTheFramingNeedsThemIsRefused) {
    TempDir dir;
    const tsb::Bytes plain = null_stream(4).bytes(188);
    const tsb::Bytes stamped = null_stream(4).bytes(192);
    struct Case {
        const char* what;
        tsb::Bytes data;
    };
    std::vector<Case> cases = {{"zeros", tsb::Bytes(4 * 188, 0x00)},
                               {"188: second sync wrong", plain},
                               {"188: second sync wrong, 4 and 196 would do", plain},
                               {"192: first sync wrong", stamped},
                               {"192: second sync wrong", stamped}};
    cases[1].data[188] = 0x46;
    cases[2].data[188] = 0x00;
    cases[2].data[4] = cases[2].data[196] = 0x47;
    cases[3].data[4] = 0x48;
    cases[4].data[196] = 0x48;
    for (const Case& c : cases) {
        const std::string in = dir.file("in.ts");
        write_bytes(in, c.data);
        const RunResult r = run_tool({in});
        EXPECT_EQ(r.exit_code, 1) << c.what;
        EXPECT_EQ(after_banner(r.out), "MPEG2_TS Syncbyte is not founded.\n" + kNotTs) << c.what;
    }
}

// PAT, PMT, video, null, video: the output holds records 1, 2 and 4.
tsb::Stream five_packets() {
    tsb::Stream s;
    s.add(e2e::pat_packet()).add(e2e::pmt_packet()).add(e2e::payload_packet(e2e::kEsPid, 0x31, 0));
    s.nulls(1).add(e2e::payload_packet(e2e::kEsPid, 0x32, 1));
    return s;
}
const std::string kFivePacketCounter = "\r  0 %\r 20 %\r 40 %\r 60 %\r 80 %\r100 %\nDone.\n";
const std::string kRemoveMessage =
    "option -r: Remove Timestamp from MPEG2-TTS packet(Converts MPEG2-TTS to MPEG2-TS\n";

TEST(CliFraming, TimestampsStayInFrontOfEachPacketUnlessRemoved) {
    TempDir dir;
    const tsb::Stream s = five_packets();
    const std::string in = write_stream(dir, s, "in.tts", 192);
    const std::string kept = dir.file("kept.tts");
    const std::string stripped = dir.file("stripped.ts");

    expect_extraction({in, "1", kept}, kFivePacketCounter, e2e::pick(s.bytes(192), 192, {1, 2, 4}));
    expect_extraction({"-r", in, "1", stripped}, kRemoveMessage + kFivePacketCounter,
                      e2e::pick(s.bytes(188), 188, {1, 2, 4}));
}

TEST(CliFraming, RemovingTimestampsChangesNothingOnPlainPackets) {
    TempDir dir;
    const tsb::Stream s = five_packets();
    expect_extraction({"-r", write_stream(dir, s), "1", dir.file("out.ts")},
                      kRemoveMessage + kFivePacketCounter, e2e::pick(s.bytes(188), 188, {1, 2, 4}));
}

// 1000 packets and 100 bytes that do not make a packet: the tail is never
// read, and the counter goes through every whole percent once.
TEST(CliFraming, PartialPacketAtTheEndIsIgnored) {
    TempDir dir;
    tsb::Stream s;
    s.add(e2e::pat_packet()).add(e2e::pmt_packet());
    for (int i = 0; i < 998; ++i) s.add(e2e::payload_packet(e2e::kEsPid, static_cast<uint8_t>(i), i & 15));
    std::vector<size_t> written;
    for (size_t i = 1; i < 1000; ++i) written.push_back(i);
    const std::string counter = e2e::extraction_text(1000);

    for (size_t framing : {188, 192}) {
        SCOPED_TRACE(framing);
        tsb::Bytes data = s.bytes(framing);
        const tsb::Bytes tail(data.begin(), data.begin() + 100);  // starts like a packet
        data.insert(data.end(), tail.begin(), tail.end());
        const std::string in = dir.file("in.ts");
        write_bytes(in, data);
        expect_extraction({in, "1", dir.file("out.ts")}, counter, e2e::pick(data, framing, written));
    }
}

// A packet whose sync byte is wrong is reported, handed to no table and not
// judged by the pass table: once output is on it is written as it came.
TEST(CliFraming, WrongSyncByteMidStreamIsReportedAndWrittenUnchanged) {
    TempDir dir;
    tsb::Packet early = e2e::payload_packet(0x0200, 0x41);
    early[0] = 0x00;
    tsb::Packet late = e2e::payload_packet(0x0200, 0x42);
    late[0] = 0x48;
    tsb::Stream s;
    s.add(e2e::pat_packet()).add(e2e::payload_packet(e2e::kEsPid, 0x30)).add(early).add(e2e::pmt_packet());
    s.add(late).add(e2e::payload_packet(e2e::kEsPid, 0x31, 1));
    for (size_t framing : {188, 192}) {
        SCOPED_TRACE(framing);
        expect_extraction({write_stream(dir, s, "in.ts", framing), "1", dir.file("out.ts")},
                          "\r  0 %\r 16 %\r 33 %ERR: 0x47 sync byte error[00]\n"
                          "\r 50 %\r 66 %ERR: 0x47 sync byte error[48]\n"
                          "\r 83 %\r100 %\nDone.\n",
                          e2e::pick(s.bytes(framing), framing, {3, 4, 5}));
    }
}

TEST(CliFraming, PacketWithWrongSyncByteIsNotGivenToItsTable) {
    TempDir dir;
    tsb::Packet pat = e2e::pat_packet();
    pat[0] = 0x48;  // a whole valid PAT behind it, which would be reported
    tsb::Stream s;
    s.nulls(2).add(pat).nulls(1);
    const RunResult r = run_tool({write_stream(dir, s)});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(after_banner(r.out), "ERR: 0x47 sync byte error[48]\n\nDone.\n");
}

}  // namespace
