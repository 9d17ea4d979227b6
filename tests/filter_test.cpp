// The per-packet verdict: pass, drop, or null packet in place, and the trace.
#include "filter.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "psi.h"

namespace {

using Packet = std::array<uint8_t, 192>;

// A payload-only packet at `at` (0 for 188-byte framing, 4 behind a timestamp).
Packet make_packet(int pid, int at = 0, uint8_t sync = 0x47) {
    Packet p;
    p.fill(0xA5);
    p[0] = p[1] = p[2] = p[3] = 0x11;  // timestamp bytes when at == 4
    p[at] = sync;
    p[at + 1] = static_cast<uint8_t>(pid >> 8);
    p[at + 2] = static_cast<uint8_t>(pid);
    p[at + 3] = 0x17;
    return p;
}

class Filter : public ::testing::Test {
  protected:
    void SetUp() override {
        reset_process_state();
        rfc_make_crc32_table();
    }
    void TearDown() override { reset_process_state(); }
    static std::string run(Packet& p, int size) {
        testing::internal::CaptureStdout();
        result_ = proc_ts_packet(p.data(), size);
        return testing::internal::GetCapturedStdout();
    }
    static int result_;
};
int Filter::result_ = 0;

TEST_F(Filter, DefaultPassTable) {
    init_variables();
    EXPECT_EQ(PID_Filter[0x0000], 1);
    for (int pid : {0x0001, 0x0010, 0x0011, 0x0012, 0x0014, 0x0024, 0x0026, 0x0027})
        EXPECT_EQ(PID_Filter[pid], 1);
    EXPECT_EQ(PID_Filter[0x0013], 0);
    EXPECT_EQ(PID_Filter[0x1FFF], 0);

    reset_process_state();
    Drop_SI_flag = 1;
    init_variables();
    EXPECT_EQ(PID_Filter[0x0000], 1);
    for (int pid : {0x0001, 0x0010, 0x0011, 0x0012, 0x0014, 0x0024, 0x0026, 0x0027})
        EXPECT_EQ(PID_Filter[pid], 0);
}

TEST_F(Filter, UnmarkedPidIsDroppedOrNulledInPlace) {
    init_variables();
    Packet p = make_packet(0x0100);
    EXPECT_EQ(run(p, 188), "");
    EXPECT_EQ(result_, 0);
    EXPECT_EQ(p, make_packet(0x0100));  // dropped packets are left alone

    Option_replace_to_null_flag = 1;
    EXPECT_EQ(run(p, 188), "");
    EXPECT_EQ(result_, 188);
    EXPECT_EQ(p[0], 0x47);
    EXPECT_EQ(p[1], 0x1F);
    EXPECT_EQ(p[2], 0xFF);
    EXPECT_EQ(p[3], 0x10);
    for (int i = 4; i < 188; ++i) ASSERT_EQ(p[i], 0xFF) << i;
    EXPECT_EQ(p[188], 0xA5);  // nothing past the packet
}

TEST_F(Filter, NullReplacementBehindATimestampKeepsTheTimestamp) {
    init_variables();
    Option_replace_to_null_flag = 1;
    Packet p = make_packet(0x0100, 4);
    run(p, 192);
    EXPECT_EQ(result_, 192);
    EXPECT_EQ(p[0], 0x11);
    EXPECT_EQ(p[3], 0x11);
    EXPECT_EQ(p[4], 0x47);
    EXPECT_EQ(p[5], 0x1F);
    EXPECT_EQ(p[6], 0xFF);
    EXPECT_EQ(p[7], 0x10);
    for (int i = 8; i < 192; ++i) ASSERT_EQ(p[i], 0xFF) << i;
}

TEST_F(Filter, PassingPacketIsUntouchedEvenWithReplacement) {
    init_variables();
    Option_replace_to_null_flag = 1;
    PID_Filter[0x0100] = 1;
    Packet p = make_packet(0x0100);
    run(p, 188);
    EXPECT_EQ(result_, 188);
    EXPECT_EQ(p, make_packet(0x0100));
}

TEST_F(Filter, WrongSyncByteIsReportedAndNeverDispatched) {
    init_variables();
    Option_replace_to_null_flag = 1;
    Analyze_PSI_flag = 1;
    Packet p = make_packet(0x0000, 0, 0x48);  // would be a PAT packet
    EXPECT_EQ(run(p, 188), "ERR: 0x47 sync byte error[48]\n");
    EXPECT_EQ(result_, -1);
    EXPECT_EQ(p, make_packet(0x0000, 0, 0x48));
}

TEST_F(Filter, HeaderTraceThenDropLine) {
    init_variables();
    Debug_flag = 1;
    PKT_count = 0x1A;
    Packet p = make_packet(0x0100);
    p[1] = 0xE1;  // error, unit start and priority bits with PID 0x0100
    p[3] = 0xB5;  // scrambling 10, adaptation+payload, CC 5
    EXPECT_EQ(run(p, 188),
              "0x0000001A:\n"
              "  PID = 0x0100\n"
              "  transport_error_indicator: true\n"
              "  payload_unit_start_indicator: true\n"
              "  transport_priority: true\n"
              "  transport_scrambling_control: 10:scramble(even)\n"
              "  adaptation_field_control: 11:adaptation+payload\n"
              "  continuity_counter: 5\n"
              "Drop Packet 0100\n");
    Packet q = make_packet(0x1FFF);
    q[3] = 0x40;  // scrambling 01, adaptation_field_control 00
    const std::string trace = run(q, 188);
    EXPECT_NE(
        trace.find("  transport_error_indicator: false\n  payload_unit_start_indicator: false\n"
                   "  transport_priority: false\n  transport_scrambling_control: 01:reserved\n"
                   "  adaptation_field_control: 00:reserved\n  continuity_counter: 0\nDrop Packet 1FFF\n"),
        std::string::npos)
        << trace;
}

TEST_F(Filter, PmtOnTheSdtPidHidesTheSdt) {
    init_variables();
    Analyze_PSI_flag = 1;
    PMT_PID = 0x0011;
    // A start packet with a table_id that neither the PMT nor the SDT takes:
    // the message tells which handler saw it.
    Packet p = make_packet(0x0011);
    p[1] = 0x40;
    p[3] = 0x10;
    p[4] = 0x00;
    p[5] = 0x4A;
    EXPECT_EQ(run(p, 188), "00000000: Invalid PMT table id[74], aborted.");
}

}  // namespace
