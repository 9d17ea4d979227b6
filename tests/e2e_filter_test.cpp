// End-to-end runs of the pass table: which packets reach the output under
// -d, -D, -e and -s and in which form, and the -z header trace.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e_cli_common.h"
#include "support.h"

namespace {

using e2e::after_banner;
using e2e::expect_extraction;

const std::string kDropNullMessage = "option -d: Drop non-target or NULL Packets option enabled\n";
const std::string kPassNullMessage = "option -D: Drop non-target option enabled\n";
const std::string kReplaceMessage = "option -e: Replace noon-target to NULL option enable\n";
const std::string kDropSiMessage = "option -s: Drop SI option enabled\n";

// A null packet that is not in the canonical form: counter 7, zero payload.
tsb::Packet odd_null_packet() {
    tsb::Packet p = e2e::payload_packet(tsb::kNullPid, 0x00, 7);
    return p;
}

// 0 null, 1 PAT, 2 video before the PMT, 3 PMT, 4 video, 5 null, 6 another
// program's packet, 7 EIT (SI), 8 odd null, 9 video, 10 PAT.
tsb::Stream mixed_stream() {
    tsb::Stream s;
    s.nulls(1).add(e2e::pat_packet()).add(e2e::payload_packet(e2e::kEsPid, 0x30, 0)).add(e2e::pmt_packet());
    s.add(e2e::payload_packet(e2e::kEsPid, 0x31, 1)).nulls(1).add(e2e::payload_packet(0x0200, 0x40));
    s.add(e2e::payload_packet(0x0012, 0x50))
        .add(odd_null_packet())
        .add(e2e::payload_packet(e2e::kEsPid, 0x32, 2));
    s.add(e2e::pat_packet());
    return s;
}
const std::string kElevenPacketCounter =
    "\r  0 %\r  9 %\r 18 %\r 27 %\r 36 %\r 45 %\r 54 %\r 63 %\r 72 %\r 81 %\r 90 %\r100 %\nDone.\n";

struct NullCase {
    std::vector<std::string> options;
    std::string messages;
    std::vector<size_t> written;   // records of the input that reach the output
    std::vector<size_t> replaced;  // of those, the ones written as a null packet
};

// The last of -d, -D and -e decides whether null packets pass; -e keeps
// replacing dropped packets whatever follows it, null packets included.
TEST(PassTable, NullPacketsFollowTheLastOfDropPassAndReplace) {
    const std::vector<size_t> drop_nulls = {3, 4, 7, 9, 10};
    const std::vector<size_t> pass_nulls = {3, 4, 5, 7, 8, 9, 10};
    const std::vector<size_t> all_after_pmt = {3, 4, 5, 6, 7, 8, 9, 10};
    const NullCase cases[] = {
        {{}, "", drop_nulls, {}},
        {{"-d"}, kDropNullMessage, drop_nulls, {}},
        {{"-D"}, kPassNullMessage, pass_nulls, {}},
        {{"-D", "-d"}, kPassNullMessage + kDropNullMessage, drop_nulls, {}},
        {{"-d", "-D"}, kDropNullMessage + kPassNullMessage, pass_nulls, {}},
        {{"-e"}, kReplaceMessage, all_after_pmt, {6}},
        {{"-d", "-e"}, kDropNullMessage + kReplaceMessage, all_after_pmt, {6}},
        {{"-e", "-D"}, kReplaceMessage + kPassNullMessage, all_after_pmt, {6}},
        {{"-e", "-d"}, kReplaceMessage + kDropNullMessage, all_after_pmt, {5, 6, 8}},
        {{"-De", "-d"}, kPassNullMessage + kReplaceMessage + kDropNullMessage, all_after_pmt, {5, 6, 8}},
    };
    TempDir dir;
    const tsb::Stream input = mixed_stream();
    for (const NullCase& c : cases) {
        tsb::Stream expected = input;
        for (size_t i : c.replaced) expected.packets()[i] = tsb::null_packet();
        for (size_t framing : {188, 192}) {
            SCOPED_TRACE(c.messages + std::to_string(framing));
            std::vector<std::string> args = c.options;
            args.insert(args.end(), {write_stream(dir, input, "in.ts", framing), "1", dir.file("out.ts")});
            // In 192-byte framing a replaced packet keeps its own timestamp.
            expect_extraction(args, c.messages + kElevenPacketCounter,
                              e2e::pick(expected.bytes(framing), framing, c.written));
        }
    }
}

// The SI PIDs that pass by default, and low PIDs that do not. The CAT and SDT
// PIDs carry real (empty) tables, as their handlers see them whatever -s says.
const uint16_t kSiPids[] = {0x0001, 0x0010, 0x0011, 0x0012, 0x0014, 0x0024, 0x0026, 0x0027};
const uint16_t kOtherLowPids[] = {0x0002, 0x0013, 0x0015, 0x0020, 0x0025, 0x0028, 0x0030};

tsb::Packet si_packet(uint16_t pid) {
    uint8_t cc = 0;
    if (pid == 0x0001) return tsb::psi_packets(pid, tsb::cat_section({}), cc).at(0);
    if (pid == 0x0011) return tsb::psi_packets(pid, tsb::sdt_section(tsb::Sdt{}), cc).at(0);
    return e2e::payload_packet(pid, static_cast<uint8_t>(pid));
}

// 0 PAT, 1 PMT, one packet on each SI PID, one on each other PID, a PAT.
TEST(PassTable, SiPidsPassUnlessDroppedAndThePatAlwaysPasses) {
    TempDir dir;
    tsb::Stream s;
    s.add(e2e::pat_packet()).add(e2e::pmt_packet());
    std::vector<size_t> si, other;
    for (uint16_t pid : kSiPids) {
        si.push_back(s.size());
        s.add(si_packet(pid));
    }
    for (uint16_t pid : kOtherLowPids) {
        other.push_back(s.size());
        s.add(e2e::payload_packet(pid, static_cast<uint8_t>(pid)));
    }
    const size_t last_pat = s.size();
    s.add(e2e::pat_packet());
    const std::string in = write_stream(dir, s);
    const std::string out = dir.file("out.ts");

    std::vector<size_t> with_si = {1};
    with_si.insert(with_si.end(), si.begin(), si.end());
    with_si.push_back(last_pat);
    const std::string counter =
        "\r  0 %\r  5 %\r 11 %\r 16 %\r 22 %\r 27 %\r 33 %\r 38 %\r 44 %\r 50 %\r 55 %\r 61 %\r 66 %\r 72 %"
        "\r 77 %\r 83 %\r 88 %\r 94 %\r100 %\nDone.\n";
    expect_extraction({in, "1", out}, counter, e2e::pick(s.bytes(), 188, with_si));
    expect_extraction({"-s", in, "1", out}, kDropSiMessage + counter,
                      e2e::pick(s.bytes(), 188, {1, last_pat}));

    // With -e every SI and other packet after the PMT turns into a null packet.
    tsb::Stream nulled = s;
    std::vector<size_t> all;
    for (size_t i = 1; i < s.size(); ++i) all.push_back(i);
    for (size_t i : si) nulled.packets()[i] = tsb::null_packet();
    for (size_t i : other) nulled.packets()[i] = tsb::null_packet();
    const RunResult r = run_tool({"-s", "-e", in, "1", out});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(read_bytes(out), e2e::pick(nulled.bytes(), 188, all));
}

tsb::Packet header_packet(const tsb::Header& h) {
    std::optional<tsb::AdaptationField> af;
    if (h.afc & 2) af = tsb::AdaptationField{};
    return tsb::make_packet(h, (h.afc & 1) ? tsb::Bytes(20, 0x5A) : tsb::Bytes{}, af);
}

// The -z trace of one packet: its index and PID in hex, then each header
// field as the trace prints it.
std::string header_trace(const std::string& index, const std::string& pid, const std::string& error,
                         const std::string& unit_start, const std::string& priority,
                         const std::string& scrambling, const std::string& afc, const std::string& cc) {
    return "0x" + index + ":\n  PID = 0x" + pid + "\n  transport_error_indicator: " + error +
           "\n  payload_unit_start_indicator: " + unit_start + "\n  transport_priority: " + priority +
           "\n  transport_scrambling_control: " + scrambling + "\n  adaptation_field_control: " + afc +
           "\n  continuity_counter: " + cc + "\n";
}

// Every value of every header field once; the packet on 0x0010 passes, the
// others are dropped and say so after their trace.
TEST(PassTable, DebugTraceShowsEachHeaderAndTheDrops) {
    TempDir dir;
    const tsb::Header headers[] = {
        // pid, error, unit_start, priority, scrambling, afc, cc
        {0x0010, false, true, false, 0, 1, 0},
        {0x0200, true, false, true, 1, 2, 9},
        {tsb::kNullPid, false, false, false, 2, 3, 15},
        {0x1ABC, true, true, true, 3, 0, 5},
    };
    tsb::Stream s;
    for (const tsb::Header& h : headers) s.add(header_packet(h));

    const RunResult r = run_tool({"-z", write_stream(dir, s)});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(
        after_banner(r.out),
        header_trace("00000000", "0010", "false", "true", "false", "00:no scramble", "01:payload only", "0") +
            header_trace("00000001", "0200", "true", "false", "true", "01:reserved", "10:adaptation only",
                         "9") +
            "Drop Packet 0200\n" +
            header_trace("00000002", "1FFF", "false", "false", "false", "10:scramble(even)",
                         "11:adaptation+payload", "15") +
            "Drop Packet 1FFF\n" +
            header_trace("00000003", "1ABC", "true", "true", "true", "11:scramble(odd)", "00:reserved", "5") +
            "Drop Packet 1ABC\n"
            "\nDone.\n");
}

// In an extraction run the counter comes before the packet's trace, and a
// null packet that is replaced by one is still announced as dropped.
TEST(PassTable, DebugTraceInterleavesWithTheCounter) {
    TempDir dir;
    tsb::Stream s;
    s.add(e2e::pat_packet()).add(e2e::pmt_packet()).add(odd_null_packet());
    tsb::Stream expected = s;
    expected.packets()[2] = tsb::null_packet();
    expect_extraction({"-z", "-e", "-d", write_stream(dir, s), "1", dir.file("out.ts")},
                      kReplaceMessage + kDropNullMessage + "\r  0 %" +
                          header_trace("00000000", "0000", "false", "true", "false", "00:no scramble",
                                       "01:payload only", "0") +
                          "\r 33 %" +
                          header_trace("00000001", "0100", "false", "true", "false", "00:no scramble",
                                       "01:payload only", "0") +
                          "\r 66 %" +
                          header_trace("00000002", "1FFF", "false", "false", "false", "00:no scramble",
                                       "01:payload only", "7") +
                          "Drop Packet 1FFF\n"
                          "\r100 %\nDone.\n",
                      e2e::pick(expected.bytes(), 188, {1, 2}));
}

}  // namespace
