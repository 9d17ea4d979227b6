// Hex dumps, flag words, hex text conversion and the PCR / PES header decoders.
#include "diag.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "filter_state.h"

namespace {

template <typename Action>
std::string stdout_of(Action action) {
    testing::internal::CaptureStdout();
    action();
    return testing::internal::GetCapturedStdout();
}

// Each test sets Debug_flag itself; the run's value is put back afterwards.
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

constexpr long long kUntouched64 = -77;
constexpr int32_t kUntouched32 = -77;

TEST_F(DiagDump, LinesAndFlagWords) {
    const uint8_t bytes[] = {0x00, 0x00, 0x01, 0xE0, 0xab};
    EXPECT_EQ(stdout_of([&] {
                  debug_dump(bytes, 4);
                  debug_dump(bytes + 3, 2);
                  debug_dump(bytes, 0);
                  debug_dump(bytes, -7);
              }),
              "dump data = 00 00 01 E0 \ndump data = E0 AB \ndump data = \ndump data = \n");

    uint8_t packet[200];
    for (int i = 0; i < 200; ++i) packet[i] = static_cast<uint8_t>(i);
    const std::string line = stdout_of([&] { debug_dump(packet, 188); });
    ASSERT_EQ(line.size(), 12u + 564u + 1u);
    EXPECT_EQ(line.substr(0, 21), "dump data = 00 01 02 ");
    EXPECT_EQ(line.substr(line.size() - 7), "BA BB \n");
    EXPECT_EQ(stdout_of([&] { debug_dump(packet, 200); }), line);  // cut to one packet

    EXPECT_EQ(stdout_of([] {
                  print_flag(0);
                  print_flag(-5);
                  print_flag(0x100);
              }),
              "false\ntrue\ntrue\n");
}

TEST(DiagSetHex, ConvertsAndConsumesTheText) {
    struct Case {
        std::string text;
        int32_t len;
        int result;
        std::vector<uint8_t> out;  // the whole 4-byte buffer, 0xEE where untouched
        std::string text_after;
    };
    const std::string nuls(4, '\0');
    const Case cases[] = {
        {"0a1B", 2, 0, {0x0A, 0x1B, 0xEE, 0xEE}, nuls},
        {"ABC", 2, 0, {0xAB, 0xC0, 0xEE, 0xEE}, nuls.substr(0, 3)},
        {"F", 3, 0, {0xF0, 0x00, 0x00, 0xEE}, nuls.substr(0, 1)},
        {"", 3, 0, {0x00, 0x00, 0x00, 0xEE}, ""},
        {"12345", 2, -1, {0xEE, 0xEE, 0xEE, 0xEE}, "12345"},
        {"12x4", 2, -1, {0x12, 0x00, 0xEE, 0xEE}, nuls.substr(0, 3) + "4"},
        {"9g", 3, -1, {0x90, 0x00, 0x00, 0xEE}, nuls.substr(0, 2)},
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

// result, length, PCR base, PCR extension, and what was printed.
using PcrResult = std::tuple<int, int32_t, long long, int32_t, std::string>;

PcrResult run_adaptation(const std::array<uint8_t, 8>& field) {
    int result = 9;
    int32_t length = kUntouched32, ext = kUntouched32;
    long long base = kUntouched64;
    const std::string out =
        stdout_of([&] { result = analize_adaptation(field.data(), &length, &base, &ext); });
    return {result, length, base, ext, out};
}

TEST_F(DiagAdaptation, WithoutPcr) {
    Debug_flag = 1;
    EXPECT_EQ(run_adaptation({0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}),
              PcrResult(0, 0, kUntouched64, kUntouched32, ""));
    EXPECT_EQ(run_adaptation({0x07, 0xEF, 0x00, 0x00, 0x00, 0x01, 0x7E, 0x05}),
              PcrResult(0, 7, kUntouched64, kUntouched32,
                        "    Adaptation Field\n"
                        "      Adaptation field length : 7\n"
                        "      discontinuity: true\n"
                        "      random_access_indicator: true\n"
                        "      elementary_stream_priority_indicator: true\n"
                        "      PCR_flag: false\n"
                        "      OPCR_flag: true\n"
                        "      splicing_point_flag: true\n"
                        "      transport_private_data_flag: true\n"
                        "      adaptation_field_extension_flag: true\n"));
}

TEST_F(DiagAdaptation, DecodesThePcr) {
    Debug_flag = 1;
    EXPECT_EQ(run_adaptation({0x07, 0x10, 0x00, 0x00, 0x00, 0x01, 0x7E, 0x05}),
              PcrResult(1, 7, 2, 5,
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
                        "      PCR:          605, (    0.000) for PTS\n "));

    const std::array<uint8_t, 8> largest = {0xB7, 0x10, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    // Seconds come from a single-precision division; in double they would print 95443.718.
    const std::string out = std::get<4>(run_adaptation(largest));
    EXPECT_NE(out.find("PCR Bytes: dump data = FF FF FF FF \n"
                       "      PCR: 2576980377811, (95443.719) for PTS\n "),
              std::string::npos)
        << out;
    Debug_flag = 0;
    EXPECT_EQ(run_adaptation(largest), PcrResult(1, 0xB7, 8589934591LL, 511, ""));
}

using TimeStampBytes = std::array<uint8_t, 5>;
const TimeStampBytes kCleanPts = {0x21, 0x00, 0x01, 0x00, 0x01};  // PTS 0, prefix 0x2
const TimeStampBytes kCleanDts = {0x11, 0x00, 0x01, 0x00, 0x03};  // DTS 1

// Start code, stream_id, PES_packet_length 258, flag bytes, header length 10, PTS and DTS fields.
std::vector<uint8_t> pes_header(uint8_t stream_id, uint8_t byte6, uint8_t byte7, const TimeStampBytes& pts,
                                const TimeStampBytes& dts) {
    std::vector<uint8_t> pes = {0x00, 0x00, 0x01, stream_id, 0x01, 0x02, byte6, byte7, 0x0A};
    pes.resize(19);
    std::copy(pts.begin(), pts.end(), pes.begin() + 9);
    std::copy(dts.begin(), dts.end(), pes.begin() + 14);
    return pes;
}

// result, PTS, DTS, and what was printed.
using PesResult = std::tuple<int, long long, long long, std::string>;

PesResult run_pes(const std::vector<uint8_t>& pes) {
    int result = 9;
    int32_t ignored = kUntouched32;
    long long pts = kUntouched64, dts = kUntouched64;
    const std::string out = stdout_of([&] { result = analize_pes(pes.data(), &ignored, &pts, &dts); });
    EXPECT_EQ(ignored, kUntouched32);
    return {result, pts, dts, out};
}

TEST_F(DiagPes, RefusesWhatIsNotAudioOrVideo) {
    Debug_flag = 1;
    for (int broken = 0; broken < 3; ++broken) {
        std::vector<uint8_t> pes = pes_header(0xE0, 0x80, 0xC0, kCleanPts, kCleanDts);
        pes[broken] ^= 0x01;
        EXPECT_EQ(run_pes(pes), PesResult(-1, kUntouched64, kUntouched64, ""));
    }
    for (uint8_t stream_id : {0x00, 0xBD, 0xBE, 0xBF, 0xF0, 0xFF}) {
        SCOPED_TRACE(stream_id);
        char head[120];
        snprintf(head, sizeof head,
                 "        Start Code:dump data = 00 00 01 %02X \n"
                 "        stream_id:%02X\n"
                 "        PES_packet_length: 258\n",
                 stream_id, stream_id);
        const std::string tail = stream_id >= 0xF0 ? "        no video/audio stream\n" : "";
        const std::vector<uint8_t> pes = pes_header(stream_id, 0x80, 0xC0, kCleanPts, kCleanDts);
        Debug_flag = 1;
        EXPECT_EQ(run_pes(pes), PesResult(-1, kUntouched64, kUntouched64, head + tail));
        Debug_flag = 0;
        EXPECT_EQ(run_pes(pes), PesResult(-1, kUntouched64, kUntouched64, ""));
    }
}

TEST_F(DiagPes, TimeStampsAndMarkerErrorsWithoutDebug) {
    Debug_flag = 0;
    struct Case {
        uint8_t stream_id, byte7;
        TimeStampBytes pts, dts;
        PesResult expected;
    };
    const long long none = kUntouched64;
    const TimeStampBytes prefix3 = {0x31, 0x00, 0x01, 0x00, 0x01};
    const TimeStampBytes all_ones_no_markers = {0x2F, 0xFF, 0xFE, 0xFF, 0xFE};
    const TimeStampBytes zeros = {};
    const char* const pts_markers_broken = "ERR: PTS marker_bit2 error\nERR: PTS marker_bit3 error\n";
    const char* const all_broken =
        "ERR: PTS marker_bit2 error\n"
        "ERR: DTS marker_bit1 error\n"
        "ERR: DTS marker_bit2 error\n"
        "ERR: DTS marker_bit3 error\n";
    const Case cases[] = {
        {0xE0, 0x80, kCleanPts, kCleanDts, {2, 0, none, ""}},
        // A DTS follows, so the PTS prefix should have been 0x3.
        {0xE0, 0xC0, kCleanPts, kCleanDts, {3, 0, 1, "ERR: PTS marker_bit1 error\n"}},
        {0xC3, 0x00, kCleanPts, kCleanDts, {0, none, none, ""}},
        {0xC3, 0x40, kCleanPts, kCleanDts, {1, none, none, ""}},
        // The first byte's own marker bit is not checked, only its prefix.
        {0xDF, 0x80, {0x20, 0x00, 0x01, 0x00, 0x01}, kCleanDts, {2, 0, none, ""}},
        {0xE0, 0x80, all_ones_no_markers, kCleanDts, {2, 0x1FFFFFFFFLL, none, pts_markers_broken}},
        {0xEF, 0xC0, prefix3, prefix3, {3, 0, 0, "ERR: DTS marker_bit1 error\n"}},
        {0xC0, 0xC0, {0x30, 0x00, 0x00, 0x00, 0x01}, zeros, {3, 0, 0, all_broken}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "stream_id " << int(c.stream_id) << " flags " << int(c.byte7));
        EXPECT_EQ(run_pes(pes_header(c.stream_id, 0x80, c.byte7, c.pts, c.dts)), c.expected);
    }
}

TEST_F(DiagPes, FullTraceOfOneHeader) {
    Debug_flag = 1;
    std::vector<uint8_t> pes =
        pes_header(0xC0, 0xDD, 0xC5, {0x39, 0x8D, 0x15, 0xCF, 0x13}, {0x19, 0x8D, 0x15, 0xB7, 0x9C});
    pes[5] = 0x2C;
    EXPECT_EQ(run_pes(pes), PesResult(3, 4886718345LL, 4886715342LL,
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
                                      "ERR: DTS marker_bit3 error\n"));

    // Headers without time stamps are traced just the same.
    for (const auto& [byte7, words] : {std::pair<uint8_t, std::string>{0x00, "00:no PTS/DTS present\n"},
                                       std::pair<uint8_t, std::string>{0x40, "01:inhibited\n"}}) {
        pes[7] = byte7;
        const PesResult r = run_pes(pes);
        EXPECT_EQ(std::get<0>(r), byte7 >> 6);
        EXPECT_NE(std::get<3>(r).find("        PTS_DTS Flag: " + words + "        ESCR_flag: false\n"),
                  std::string::npos);
        EXPECT_EQ(std::get<3>(r).find("PTS:"), std::string::npos);
    }
}

}  // namespace
