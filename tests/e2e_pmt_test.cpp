// The target program's PMT through the real tool: output enabling, the pass
// table across versions, the CA descriptor, the stream loop and the report.
#include <gtest/gtest.h>

#include "e2e_psi_helpers.h"

using namespace psi_e2e;

namespace {

tsb::Pmt program(uint16_t pcr_pid, const std::vector<tsb::EsEntry>& streams,
                 const tsb::Bytes& program_info = {}) {
    tsb::Pmt pmt;
    pmt.program_number = kProgram;
    pmt.pcr_pid = pcr_pid;
    pmt.program_info = program_info;
    pmt.streams = streams;
    return pmt;
}

tsb::EsEntry stream(uint8_t type, uint16_t pid) { return {type, pid, {}, std::nullopt}; }

tsb::Bytes section(const tsb::Pmt& pmt, uint8_t v = 0, bool current_next = true) {
    return tsb::pmt_section(pmt, version(v, current_next));
}

tsb::Packet pmt_packet(const tsb::Pmt& pmt, uint8_t v = 0) { return psi_packet(kPmtPid, section(pmt, v)); }

// One MPEG-2 video stream on kVideoPid, which is also the PCR PID.
tsb::Pmt video_only(const tsb::Bytes& program_info = {}) {
    return program(kVideoPid, {stream(0x02, kVideoPid)}, program_info);
}

// 09 04 00 05 E1 20 for ECM PID 0x0120.
tsb::Bytes ca(uint16_t ecm_pid) { return tsb::ca_descriptor(kCaSystem, ecm_pid); }

// ------------------------------------------------------------------ output

TEST(PmtOutput, TheFirstPmtEnablesOutputWithThePacketThatCompletesIt) {
    TempDir dir;
    const tsb::Bytes pmt = usual_pmt_section(459);
    const tsb::Packets in = {
        pat_packet(),
        payload_packet(kVideoPid, 0xA1),
        payload_packet(kAudioPid, 0xA2),
        psi_packet(0x0001, usual_cat()),
        start_packet(kPmtPid, pmt),
        payload_packet(kVideoPid, 0xA3),
        continuation(kPmtPid, pmt, 183, 184),
        continuation(kPmtPid, pmt, 367, 184),
        payload_packet(kVideoPid, 0xA4),
        payload_packet(kAudioPid, 0xA5),
        payload_packet(0x0010, 0xA6),
        payload_packet(0x0120, 0xA7),
    };
    const Outcome o = extract(dir, in);
    EXPECT_EQ(o.text, extraction_text(in.size()));
    EXPECT_EQ(o.out, pick(in, {7, 8, 9, 10}));
}

// Version 4 makes 0x01FF, an elementary PID of version 3, its PCR PID, and
// 0x01FE its ECM PID: both are set first and cleared with the old streams.
TEST(PmtOutput, AVersionChangeClearsTheOldStreamsAfterSettingTheNewPcrAndEcm) {
    TempDir dir;
    const tsb::Pmt v3 = program(0x0100, {stream(0x02, 0x0100), stream(0x0F, 0x01FF), stream(0x06, 0x01FE)});
    const tsb::Pmt v4 = program(0x01FF, {stream(0x02, 0x0100), stream(0x0F, 0x0111)}, ca(0x01FE));
    const tsb::Pmt v5 = program(0x0130, {stream(0x02, 0x0100)}, ca(0x0131));
    const tsb::Packets in = {
        pat_packet(),                  // 0
        pmt_packet(v3, 3),             // 1
        payload_packet(0x01FF, 0xA1),  // 2
        payload_packet(0x01FE, 0xA2),  // 3
        payload_packet(0x0111, 0xA3),  // 4
        pmt_packet(v4, 4),             // 5
        payload_packet(0x0100, 0xA4),  // 6
        payload_packet(0x01FF, 0xA5),  // 7
        payload_packet(0x01FE, 0xA6),  // 8
        payload_packet(0x0111, 0xA7),  // 9
        pmt_packet(v5, 5),             // 10
        payload_packet(0x0111, 0xA8),  // 11
        payload_packet(0x0130, 0xA9),  // 12
        payload_packet(0x0131, 0xAA),  // 13
        payload_packet(0x0100, 0xAB),  // 14
    };
    const Outcome o = extract(dir, in);
    EXPECT_EQ(o.text, extraction_text(in.size()));
    EXPECT_EQ(o.out, pick(in, {1, 2, 3, 5, 6, 9, 10, 12, 13, 14}));
}

// The ECM PID moves with a new CA descriptor and stays when a later version
// has none; version 17 after version 1 is a change like any other.
TEST(PmtOutput, TheEcmPidFollowsTheCaDescriptor) {
    TempDir dir;
    const tsb::Packets in = {
        pat_packet(),
        payload_packet(0x0120, 0xA0),
        pmt_packet(video_only(ca(0x0120)), 1),
        payload_packet(0x0120, 0xA1),
        payload_packet(0x0121, 0xA2),
        pmt_packet(video_only(ca(0x0121)), 17),
        payload_packet(0x0120, 0xA3),
        payload_packet(0x0121, 0xA4),
        pmt_packet(video_only(), 2),
        payload_packet(0x0121, 0xA5),
    };
    const Outcome o = extract(dir, in);
    EXPECT_EQ(o.out, pick(in, {2, 3, 5, 7, 8, 9}));
}

// A repeated version records its CA descriptor's ECM PID without touching the
// pass table; the next version then clears that recorded PID, not the one
// that passed, which goes on passing.
TEST(PmtOutput, AnEcmPidRecordedWithoutANewVersionIsWhatTheNextVersionClears) {
    TempDir dir;
    const tsb::Packets in = {
        pat_packet(),
        pmt_packet(video_only(ca(0x0120)), 0),
        pmt_packet(video_only(ca(0x0121)), 0),
        payload_packet(0x0120, 0xA1),
        payload_packet(0x0121, 0xA2),
        pmt_packet(video_only(ca(0x0122)), 1),
        payload_packet(0x0120, 0xA3),
        payload_packet(0x0121, 0xA4),
        payload_packet(0x0122, 0xA5),
    };
    EXPECT_EQ(extract(dir, in).out, pick(in, {1, 2, 3, 5, 6, 8}));

    TempDir report_dir;
    const std::string list = kUsualVideoStream + "\n";
    EXPECT_EQ(report(report_dir, in, kProgram).text,
              kUsualPatReport + pmt_head("00") + ecm_line("0x0120(288)") + list + pmt_head("00") +
                  ecm_line("0x0121(289)") + list + pmt_head("01") + ecm_line("0x0122(290)") + list + kDone);
}

TEST(PmtOutput, APcrPidOf1FFFLetsNullPacketsPassUntilItMoves) {
    TempDir dir;
    const tsb::Packets in = {
        pat_packet(),
        pmt_packet(program(0x1FFF, {stream(0x02, kVideoPid)}), 0),
        tsb::null_packet(),
        payload_packet(kVideoPid, 0xA1),
        pmt_packet(video_only(), 1),
        tsb::null_packet(),
    };
    EXPECT_EQ(extract(dir, in).out, pick(in, {1, 2, 3, 4}));
}

// When the PAT moves the PMT and the PMT there keeps its version, the section
// is not new: its list is reported but the pass table stays as it was.
TEST(PmtOutput, ASectionOfTheSameVersionOnAMovedPidLeavesThePassTableAlone) {
    const tsb::Bytes moved_pat = tsb::pat_section(1, {{0, 0x0010}, {kProgram, 0x01E0}}, version(1));
    const tsb::Pmt relisted = program(kVideoPid, {stream(0x02, kVideoPid), stream(0x0F, 0x0111)});
    const tsb::Packets in = {
        pat_packet(),
        psi_packet(kPmtPid, usual_pmt_section()),
        psi_packet(0x0000, moved_pat),
        psi_packet(0x01E0, section(relisted)),
        payload_packet(kAudioPid, 0xA1),
        payload_packet(0x0111, 0xA2),
    };
    TempDir dir;
    EXPECT_EQ(extract(dir, in).out,
              (tsb::Packets{in[1], rewritten_pat(in[2], 1, 1, kProgram, 0x01E0), in[3], in[4]}));

    TempDir report_dir;
    EXPECT_EQ(report(report_dir, in, kProgram).text,
              kUsualPatReport + kUsualPmtReport + kMovedPatReport + pmt_head() + kUsualVideoStream +
                  pmt_stream("0x0111(273)", kAdtsAudioType) + "\n" + kDone);
}

TEST(PmtOutput, APmtOfAnotherProgramOnThePidIsTakenAlike) {
    TempDir dir;
    tsb::Pmt foreign = program(0x0140, {stream(0x1B, 0x0140)});
    foreign.program_number = 0x0999;
    const tsb::Packets in = {pat_packet(), payload_packet(0x0140, 0xA0), pmt_packet(foreign),
                             payload_packet(0x0140, 0xA1), payload_packet(kVideoPid, 0xA2)};
    EXPECT_EQ(extract(dir, in).out, pick(in, {2, 3}));

    TempDir report_dir;
    EXPECT_EQ(report(report_dir, in, kProgram).text,
              kUsualPatReport + pmt_head("00", "0x0140(320)", "0x0999(2457)") +
                  pmt_stream("0x0140(320)", kAvcVideoType) + "\n" + kDone);
}

// Refused sections take nothing: output never starts.
TEST(PmtOutput, RefusedSectionsNeverEnableOutput) {
    TempDir dir;
    const tsb::Packets in = {
        pat_packet(),
        psi_packet(kPmtPid, usual_pmt_section(23, numbered(0, 1))),
        payload_packet(kVideoPid, 0xA1),
        psi_packet(kPmtPid, usual_pmt_section(23, bad_crc())),
        psi_packet(kPmtPid, tsb::long_section(0x02, kProgram, {0xE1, 0x00, 0xF0})),  // section_length 12
        payload_packet(kVideoPid, 0xA2),
    };
    const Outcome o = extract(dir, in);
    EXPECT_EQ(o.text, extraction_text(
                          in.size(), {{1, "00000001: PMT section# is wrong section#:[0], last#[1], aborted."},
                                      {3, "00000003: PMT CRC32 is wrong, aborted." + dump_line(in[3])},
                                      {4, "00000004: PMT length is too short [12], aborted."}}));
    EXPECT_TRUE(file_exists(dir.file("out.ts")));
    EXPECT_TRUE(o.out.empty());
}

// ------------------------------------------------------------------ report

TEST(PmtReport, StreamTypesWithAndWithoutAText) {
    TempDir dir;
    const tsb::Pmt pmt = program(0x0101, {stream(0x00, 0x0101), stream(0x1B, 0x0102), stream(0x23, 0x0103),
                                          stream(0x25, 0x0104), stream(0x26, 0x0105), stream(0x80, 0x1FFE)});
    const tsb::Packets in = {pat_packet(), psi_packet(kPmtPid, section(pmt, 9, false)), tsb::null_packet()};
    EXPECT_EQ(
        report(dir, in, kProgram).text,
        kUsualPatReport + pmt_head("09", "0x0101(257)", "0x0400(1024)", "false") +
            pmt_stream("0x0101(257)", "00: ITU-T | ISO/IEC Reserved") +
            pmt_stream("0x0102(258)", kAvcVideoType) +
            pmt_stream("0x0103(259)",
                       "35: Additional view Rec. ITU-T H.264 | ISO/IEC 14496-10 video stream conforming to "
                       "one or more profiles defined in Annex A for service-compatible stereoscopic 3D "
                       "services") +
            pmt_stream("0x0104(260)",
                       "37: HEVC temporal video subset of an HEVC video stream conforming to one or more "
                       "profiles defined in Annex A of ITU-T Rec. H.265 | ISO/IEC 23008-2") +
            pmt_stream("0x0105(261)", "38: Undefined") + pmt_stream("0x1FFE(8190)", "128: Undefined") + "\n" +
            kDone);
}

// The ECM line shows the ECM PID held, which a version without a readable CA
// descriptor keeps: here one behind an empty descriptor, which ends the walk.
TEST(PmtReport, TheEcmLineAndTheDescriptorWalk) {
    TempDir dir;
    tsb::Bytes behind_empty = tsb::descriptor(0x05, {});
    tsb::append(behind_empty, ca(0x0121));
    tsb::Bytes behind_other = tsb::descriptor(0x05, {'H', 'D', 'M', 'V'});
    tsb::append(behind_other, ca(0x0122));
    const tsb::Packets in = {
        pat_packet(),
        pmt_packet(video_only(), 0),
        pmt_packet(video_only(ca(0x0120)), 1),
        pmt_packet(video_only(behind_empty), 17),
        pmt_packet(video_only(behind_other), 18),
    };
    ASSERT_EQ(section(video_only(ca(0x0120)))[12], 0x09);
    auto pmt_report = [](const char* version, const std::string& ecm) {
        return pmt_head(version) + ecm + kUsualVideoStream + "\n";
    };
    EXPECT_EQ(report(dir, in, kProgram).text, kUsualPatReport + pmt_report("00", "") +
                                                  pmt_report("01", ecm_line("0x0120(288)")) +
                                                  pmt_report("17", ecm_line("0x0120(288)")) +
                                                  pmt_report("18", ecm_line("0x0122(290)")) + kDone);
}

// program_info is walked only up to the CRC, and a CA descriptor is read only
// when its six bytes lie inside what is walked.
TEST(PmtReport, ACaDescriptorIsReadOnlyWhenItFitsBeforeTheCrcAndInProgramInfo) {
    TempDir dir;
    tsb::Bytes fits = tsb::descriptor(0x0A, {'j', 'p'});
    tsb::append(fits, ca(0x0123));
    tsb::Bytes cut = tsb::descriptor(0x0A, {'j', 'p'});
    tsb::append(cut, {0x09, 0x04, 0x00, 0x05});
    tsb::Pmt fits_before_crc = program(kVideoPid, {}, fits);
    fits_before_crc.program_info_length = 0xFFF;
    tsb::Pmt cut_by_crc = program(kVideoPid, {}, cut);
    cut_by_crc.program_info_length = 0xFFF;
    tsb::Pmt cut_by_length = video_only(ca(0x0124));
    cut_by_length.program_info_length = 4;  // E1 24 of the CA_PID start the stream loop
    const tsb::Packets in = {pat_packet(), pmt_packet(cut_by_crc, 0), pmt_packet(cut_by_length, 1),
                             pmt_packet(fits_before_crc, 2)};
    EXPECT_EQ(report(dir, in, kProgram).text, kUsualPatReport + pmt_head("00") + "\n" + pmt_head("01") +
                                                  pmt_stream("0x0402(1026)", "225: Undefined") + "\n" +
                                                  pmt_head("02") + ecm_line("0x0123(291)") + "\n" + kDone);
}

// Two bytes after the last whole entry: a second entry is read from them and
// the first byte of the CRC.
TEST(PmtReport, AnEntryCutShortByTheCrcIsStillListed) {
    TempDir dir;
    const tsb::Bytes pmt =
        tsb::long_section(0x02, kProgram, {0xE1, 0x00, 0xF0, 0x00, 0x02, 0xE1, 0x00, 0xF0, 0x00, 0x1B, 0xE1});
    const int cut_pid = 0x0100 | pmt[pmt.size() - 4];
    char cut_pid_text[16];
    std::snprintf(cut_pid_text, sizeof cut_pid_text, "0x%04X(%d)", cut_pid, cut_pid);
    const tsb::Packets in = {pat_packet(), psi_packet(kPmtPid, pmt), tsb::null_packet()};
    EXPECT_EQ(report(dir, in, kProgram).text, kUsualPatReport + pmt_head() + kUsualVideoStream +
                                                  pmt_stream(cut_pid_text, kAvcVideoType) + "\n" + kDone);
}

TEST(PmtReport, TheShortestSectionHasNoStreams) {
    TempDir dir;
    const tsb::Packets in = {pat_packet(),
                             psi_packet(kPmtPid, tsb::long_section(0x02, kProgram, {0xE1, 0x00, 0xF0, 0x00})),
                             tsb::null_packet()};
    EXPECT_EQ(report(dir, in, kProgram).text, kUsualPatReport + pmt_head() + "\n" + kDone);
}

// A damaged section fails again with every continuation that follows it;
// each time the dump shows the packet at hand.
TEST(PmtReport, ADamagedSectionDumpsThePacketThatCompletedIt) {
    TempDir dir;
    const tsb::Bytes damaged = usual_pmt_section(459, bad_crc());
    const tsb::Packets in = {
        pat_packet(),
        start_packet(kPmtPid, damaged),
        continuation(kPmtPid, damaged, 183, 184),
        continuation(kPmtPid, damaged, 367, 184),
        payload_packet(kPmtPid, 0x77),
        psi_packet(kPmtPid, usual_pmt_section()),
    };
    EXPECT_EQ(report(dir, in, kProgram).text,
              kUsualPatReport + "00000003: PMT CRC32 is wrong, aborted." + dump_line(in[3]) +
                  "00000004: PMT CRC32 is wrong, aborted." + dump_line(in[4]) + kUsualPmtReport + kDone);
}

TEST(PmtReport, OnlySingleSectionPmtsAreTaken) {
    TempDir dir;
    const tsb::Packets in = {pat_packet(), psi_packet(kPmtPid, usual_pmt_section(23, numbered(0, 1))),
                             psi_packet(kPmtPid, usual_pmt_section(23, numbered(1, 1)))};
    EXPECT_EQ(report(dir, in, kProgram).text,
              kUsualPatReport +
                  "00000001: PMT section# is wrong section#:[0], last#[1], aborted."
                  "00000002: PMT section# is wrong section#:[1], last#[1], aborted." +
                  kDone);
}

}  // namespace
