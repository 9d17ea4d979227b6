// Hex dumps, flag words, hex text conversion and the PCR / PES header decoders.
#include "diag.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "filter_state.h"

namespace {

template <typename Action>
std::string captured_stdout(Action action) {
    testing::internal::CaptureStdout();
    action();
    return testing::internal::GetCapturedStdout();
}

// Every diagnostic test runs with a known Debug_flag and leaves the run's value behind.
class DiagFixture : public testing::Test {
  protected:
    void SetUp() override { saved_debug_flag_ = Debug_flag; }
    void TearDown() override { Debug_flag = saved_debug_flag_; }

  private:
    int32_t saved_debug_flag_ = 0;
};

using DiagDump = DiagFixture;
using DiagAdaptation = DiagFixture;
using DiagPes = DiagFixture;

TEST_F(DiagDump, WritesOneUpperCaseLine) {
    const uint8_t start_code[] = {0x00, 0x00, 0x01, 0xE0};
    EXPECT_EQ(captured_stdout([&] { debug_dump(start_code, 4); }), "dump data = 00 00 01 E0 \n");
    const uint8_t letters[] = {0xab, 0xcd, 0xef};
    EXPECT_EQ(captured_stdout([&] { debug_dump(letters, 3); }), "dump data = AB CD EF \n");

    uint8_t packet[188];
    for (int i = 0; i < 188; ++i) packet[i] = static_cast<uint8_t>(i);
    const std::string line = captured_stdout([&] { debug_dump(packet, 188); });
    ASSERT_EQ(line.size(), 12u + 564u + 1u);
    EXPECT_EQ(line.substr(0, 21), "dump data = 00 01 02 ");
    EXPECT_EQ(line.substr(line.size() - 7), "BA BB \n");
    EXPECT_EQ(line.find('\n'), line.size() - 1);
}

TEST_F(DiagDump, EmptyAndOversizedRequests) {
    uint8_t data[200];
    for (int i = 0; i < 200; ++i) data[i] = static_cast<uint8_t>(0xFF - i);
    EXPECT_EQ(captured_stdout([&] { debug_dump(data, 0); }), "dump data = \n");
    EXPECT_EQ(captured_stdout([&] { debug_dump(data, -7); }), "dump data = \n");
    // More than a packet is cut to one packet rather than overrunning the line.
    EXPECT_EQ(captured_stdout([&] { debug_dump(data, 200); }),
              captured_stdout([&] { debug_dump(data, 188); }));
}

TEST_F(DiagDump, FlagWords) {
    EXPECT_EQ(captured_stdout([] {
                  print_flag(0);
                  print_flag(-5);
                  print_flag(1);
                  print_flag(0x100);
              }),
              "false\ntrue\ntrue\ntrue\n");
}

TEST(DiagSetHex, ConvertsAndConsumesTheText) {
    struct Case {
        std::string text;
        int32_t len;
        int result;
        std::vector<uint8_t> out;  // whole 4-byte buffer, 0xEE where untouched
        std::string text_after;
    };
    const std::string nul(1, '\0');
    const Case cases[] = {
        {"0a1B", 2, 0, {0x0A, 0x1B, 0xEE, 0xEE}, std::string(4, '\0')},
        {"ABC", 2, 0, {0xAB, 0xC0, 0xEE, 0xEE}, std::string(3, '\0')},
        {"F", 3, 0, {0xF0, 0x00, 0x00, 0xEE}, nul},
        {"", 3, 0, {0x00, 0x00, 0x00, 0xEE}, ""},
        {"12345", 2, -1, {0xEE, 0xEE, 0xEE, 0xEE}, "12345"},
        {"12x4", 2, -1, {0x12, 0x00, 0xEE, 0xEE}, std::string(3, '\0') + "4"},
        {"9g", 3, -1, {0x90, 0x00, 0x00, 0xEE}, std::string(2, '\0')},
        {"", 0, 0, {0xEE, 0xEE, 0xEE, 0xEE}, ""},
        {"0", 0, -1, {0xEE, 0xEE, 0xEE, 0xEE}, "0"},
        {"", -1, -1, {0xEE, 0xEE, 0xEE, 0xEE}, ""},
        {"12", -1, -1, {0xEE, 0xEE, 0xEE, 0xEE}, "12"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("text \"" + c.text + "\" len " + std::to_string(c.len));
        std::string text = c.text;
        std::vector<uint8_t> out(4, 0xEE);
        EXPECT_EQ(set_hex(text.data(), out.data(), c.len), c.result);
        EXPECT_EQ(out, c.out);
        EXPECT_EQ(text, c.text_after);
    }
}

constexpr long long kUntouched64 = -77;
constexpr int32_t kUntouched32 = -77;

TEST_F(DiagAdaptation, ZeroLengthReadsNothingMore) {
    Debug_flag = 1;
    const uint8_t field[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    int32_t length = kUntouched32, ext = kUntouched32;
    long long base = kUntouched64;
    int result = 9;
    EXPECT_EQ(captured_stdout([&] { result = analize_adaptation(field, &length, &base, &ext); }), "");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(base, kUntouched64);
    EXPECT_EQ(ext, kUntouched32);
}

TEST_F(DiagAdaptation, PcrFlagClearTracesFlagsOnly) {
    const uint8_t field[8] = {0x07, 0xEF, 0x00, 0x00, 0x00, 0x01, 0x7E, 0x05};
    for (int32_t debug : {1, 0}) {
        Debug_flag = debug;
        int32_t length = kUntouched32, ext = kUntouched32;
        long long base = kUntouched64;
        int result = 9;
        const std::string out =
            captured_stdout([&] { result = analize_adaptation(field, &length, &base, &ext); });
        EXPECT_EQ(out, debug ? "    Adaptation Field\n"
                               "      Adaptation field length : 7\n"
                               "      discontinuity: true\n"
                               "      random_access_indicator: true\n"
                               "      elementary_stream_priority_indicator: true\n"
                               "      PCR_flag: false\n"
                               "      OPCR_flag: true\n"
                               "      splicing_point_flag: true\n"
                               "      transport_private_data_flag: true\n"
                               "      adaptation_field_extension_flag: true\n"
                             : "");
        EXPECT_EQ(result, 0);
        EXPECT_EQ(length, 7);
        EXPECT_EQ(base, kUntouched64);
        EXPECT_EQ(ext, kUntouched32);
    }
}

TEST_F(DiagAdaptation, DecodesAndTracesThePcr) {
    Debug_flag = 1;
    const uint8_t field[8] = {0x07, 0x10, 0x00, 0x00, 0x00, 0x01, 0x7E, 0x05};
    int32_t length = 0, ext = 0;
    long long base = 0;
    int result = 9;
    EXPECT_EQ(captured_stdout([&] { result = analize_adaptation(field, &length, &base, &ext); }),
              "    Adaptation Field\n"
              "      Adaptation field length : 7\n"
              "      discontinuity: false\n"
              "      random_access_indicator: false\n"
              "      elementary_stream_priority_indicator: false\n"
              "      PCR_flag: true\n"
              "      OPCR_flag: false\n"
              "      splicing_point_flag: false\n"
              "      transport_private_data_flag: false\n"
              "      adaptation_field_extension_flag: false\n"
              "PCR Bytes: dump data = 00 00 00 01 \n"
              "      PCR:          605, (    0.000) for PTS\n ");
    EXPECT_EQ(result, 1);
    EXPECT_EQ(base, 2);
    EXPECT_EQ(ext, 5);
}

TEST_F(DiagAdaptation, LargestPcr) {
    const uint8_t field[8] = {0xB7, 0x10, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    int32_t length = 0, ext = 0;
    long long base = 0;
    Debug_flag = 0;
    EXPECT_EQ(captured_stdout([&] { EXPECT_EQ(analize_adaptation(field, &length, &base, &ext), 1); }), "");
    EXPECT_EQ(length, 0xB7);
    EXPECT_EQ(base, 8589934591LL);
    EXPECT_EQ(ext, 511);

    // Seconds are divided in single precision: double would print 95443.718.
    Debug_flag = 1;
    const std::string out = captured_stdout([&] { analize_adaptation(field, &length, &base, &ext); });
    EXPECT_NE(out.find("PCR Bytes: dump data = FF FF FF FF \n"
                       "      PCR: 2576980377811, (95443.719) for PTS\n "),
              std::string::npos)
        << out;
}

// A PES header of 19 bytes: start code, stream_id, length 0, the two flag
// bytes, header length 10, then the PTS and DTS fields.
std::vector<uint8_t> pes_header(uint8_t stream_id, uint8_t byte6, uint8_t byte7, std::vector<uint8_t> pts,
                                std::vector<uint8_t> dts) {
    std::vector<uint8_t> pes = {0x00, 0x00, 0x01, stream_id, 0x00, 0x00, byte6, byte7, 0x0A};
    pes.insert(pes.end(), pts.begin(), pts.end());
    pes.insert(pes.end(), dts.begin(), dts.end());
    return pes;
}

struct PesResult {
    int result = 9;
    long long pts = kUntouched64;
    long long dts = kUntouched64;
    int32_t ignored = kUntouched32;
    std::string out;
};

PesResult run_pes(const std::vector<uint8_t>& pes) {
    PesResult r;
    r.out = captured_stdout([&] { r.result = analize_pes(pes.data(), &r.ignored, &r.pts, &r.dts); });
    EXPECT_EQ(r.ignored, kUntouched32);
    return r;
}

const std::vector<uint8_t> kCleanPts = {0x21, 0x00, 0x01, 0x00, 0x01};  // PTS 0, prefix 0x2
const std::vector<uint8_t> kCleanDts = {0x11, 0x00, 0x01, 0x00, 0x03};  // DTS 1

TEST_F(DiagPes, RefusesWhatIsNotAudioOrVideo) {
    Debug_flag = 1;
    for (std::vector<uint8_t> bytes :
         {std::vector<uint8_t>{0x01, 0x00, 0x01}, {0x00, 0x01, 0x01}, {0x00, 0x00, 0x00}}) {
        std::vector<uint8_t> pes = pes_header(0xE0, 0x80, 0x80, kCleanPts, kCleanDts);
        std::copy(bytes.begin(), bytes.end(), pes.begin());
        const PesResult r = run_pes(pes);
        EXPECT_EQ(r.result, -1);
        EXPECT_EQ(r.out, "");
    }
    for (uint8_t stream_id : {0x00, 0xBD, 0xBE, 0xBF, 0xF0, 0xFF}) {
        SCOPED_TRACE(stream_id);
        char head[120];
        snprintf(head, sizeof head,
                 "        Start Code:dump data = 00 00 01 %02X \n"
                 "        stream_id:%02X\n"
                 "        PES_packet_length: 258\n",
                 stream_id, stream_id);
        std::vector<uint8_t> pes = pes_header(stream_id, 0x80, 0xC0, kCleanPts, kCleanDts);
        pes[4] = 0x01;
        pes[5] = 0x02;
        Debug_flag = 1;
        PesResult r = run_pes(pes);
        EXPECT_EQ(r.result, -1);
        EXPECT_EQ(r.out, std::string(head) + (stream_id >= 0xF0 ? "        no video/audio stream\n" : ""));
        EXPECT_EQ(r.pts, kUntouched64);
        EXPECT_EQ(r.dts, kUntouched64);
        Debug_flag = 0;
        r = run_pes(pes);
        EXPECT_EQ(r.result, -1);
        EXPECT_EQ(r.out, "");
    }
}

TEST_F(DiagPes, PtsDtsFlagsDecideWhatIsDecoded) {
    Debug_flag = 0;
    PesResult r = run_pes(pes_header(0xE0, 0x80, 0x80, kCleanPts, kCleanDts));
    EXPECT_EQ(r.result, 2);
    EXPECT_EQ(r.pts, 0);
    EXPECT_EQ(r.dts, kUntouched64);
    EXPECT_EQ(r.out, "");

    // Same PTS bytes, but a DTS follows, so its prefix should have been 0x3.
    r = run_pes(pes_header(0xE0, 0x80, 0xC0, kCleanPts, kCleanDts));
    EXPECT_EQ(r.result, 3);
    EXPECT_EQ(r.pts, 0);
    EXPECT_EQ(r.dts, 1);
    EXPECT_EQ(r.out, "ERR: PTS marker_bit1 error\n");

    for (uint8_t byte7 : {0x00, 0x40}) {
        r = run_pes(pes_header(0xC3, 0x80, byte7, kCleanPts, kCleanDts));
        EXPECT_EQ(r.result, byte7 >> 6);
        EXPECT_EQ(r.pts, kUntouched64);
        EXPECT_EQ(r.dts, kUntouched64);
        EXPECT_EQ(r.out, "");
    }
}

TEST_F(DiagPes, MarkerErrorsAreReportedWithoutDebug) {
    Debug_flag = 0;
    // The first byte's own marker bit is not checked, only its prefix.
    PesResult r = run_pes(pes_header(0xDF, 0x80, 0x80, {0x20, 0x00, 0x01, 0x00, 0x01}, kCleanDts));
    EXPECT_EQ(r.out, "");

    r = run_pes(pes_header(0xE0, 0x80, 0x80, {0x2F, 0xFF, 0xFE, 0xFF, 0xFE}, kCleanDts));
    EXPECT_EQ(r.result, 2);
    EXPECT_EQ(r.pts, 0x1FFFFFFFFLL);
    EXPECT_EQ(r.out, "ERR: PTS marker_bit2 error\nERR: PTS marker_bit3 error\n");

    r = run_pes(pes_header(0xEF, 0x80, 0xC0, {0x31, 0x00, 0x01, 0x00, 0x01}, {0x31, 0x00, 0x01, 0x00, 0x03}));
    EXPECT_EQ(r.result, 3);
    EXPECT_EQ(r.dts, 1);
    EXPECT_EQ(r.out, "ERR: DTS marker_bit1 error\n");

    r = run_pes(pes_header(0xC0, 0x80, 0xC0, {0x30, 0x00, 0x00, 0x00, 0x01}, {0x00, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(r.out,
              "ERR: PTS marker_bit2 error\n"
              "ERR: DTS marker_bit1 error\n"
              "ERR: DTS marker_bit2 error\n"
              "ERR: DTS marker_bit3 error\n");
}

TEST_F(DiagPes, FullTraceOfOneHeader) {
    Debug_flag = 1;
    std::vector<uint8_t> pes =
        pes_header(0xC0, 0x9D, 0xC5, {0x39, 0x8D, 0x15, 0xCF, 0x13}, {0x19, 0x8D, 0x15, 0xB7, 0x9C});
    pes[4] = 0x01;
    pes[5] = 0x2C;
    const PesResult r = run_pes(pes);
    EXPECT_EQ(r.result, 3);
    EXPECT_EQ(r.pts, 4886718345LL);
    EXPECT_EQ(r.dts, 4886715342LL);
    EXPECT_EQ(r.out,
              "        Start Code:dump data = 00 00 01 C0 \n"
              "        stream_id:C0\n"
              "        PES_packet_length: 300\n"
              "        PES_scrambling_control: 01:undefined\n"
              "        PES_priority: true\n"
              "        data_alignment_indicator: true\n"
              "        copyright: false\n"
              "        original_or_copy:  original\n"
              "        PTS_DTS Flag: 11:PTS/DTS present\n"
              "        ESCR_flag: false\n"
              "        ES_rate_flag: false\n"
              "        DSM_trick_mode_flag: false\n"
              "        additional_copy_info_flag: true\n"
              "        PES_CRC_flag: false\n"
              "        PES_extension_flag: true\n"
              "        PES_header_length: 10\n"
              "        PTS Byte:dump data = 39 8D 15 CF 13 \n"
              "        PTS: 004886718345\n"
              "        DTS Byte:dump data = 19 8D 15 B7 9C \n"
              "        DTS: 004886715342\n"
              "ERR: DTS marker_bit3 error\n");
}

TEST_F(DiagPes, FieldWordsOfEveryValue) {
    Debug_flag = 1;
    const char* const scrambling[] = {"00:no scramble\n", "01:undefined\n", "10:even key\n", "11:odd key\n"};
    const char* const pts_dts[] = {"00:no PTS/DTS present\n", "01:inhibited\n", "10:PTS present\n",
                                   "11:PTS/DTS present\n"};
    for (uint8_t value = 0; value < 4; ++value) {
        SCOPED_TRACE(value);
        // Bits 7..6 of byte 6 are set to show they are not part of the scrambling field.
        const uint8_t byte6 = static_cast<uint8_t>(0xC0 | (value << 4) | (value & 1 ? 0x00 : 0x0F));
        const std::string out = run_pes(pes_header(0xE0, byte6, static_cast<uint8_t>(value << 6),
                                                   {0x31, 0x00, 0x01, 0x00, 0x01}, kCleanDts))
                                    .out;
        EXPECT_NE(out.find(std::string("        PES_scrambling_control: ") + scrambling[value]),
                  std::string::npos);
        EXPECT_NE(out.find(std::string("        PTS_DTS Flag: ") + pts_dts[value]), std::string::npos);
        EXPECT_NE(out.find(value & 1 ? "        copyright: false\n        original_or_copy:  copy\n"
                                     : "        copyright: true\n        original_or_copy:  original\n"),
                  std::string::npos);
    }
}

}  // namespace
