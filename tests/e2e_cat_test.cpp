// CAT packets through the real tool: the checks and their messages, the EMM
// PID in the pass table across versions, the descriptor walk and the report.
#include <gtest/gtest.h>

#include "e2e_psi_helpers.h"

using namespace psi_e2e;

namespace {

tsb::Packet cat_packet(const tsb::Bytes& descriptors, const tsb::SectionOpts& o = {}) {
    return psi_packet(0x0001, tsb::cat_section(descriptors, o));
}

// A CAT of exactly `section_length`: a CA descriptor (system 0x0006, CA_PID
// 0x0902) and a filler descriptor behind it.
tsb::Bytes cat_of_length(int section_length, const tsb::SectionOpts& o = {}) {
    tsb::Bytes descriptors = tsb::ca_descriptor(0x0006, 0x0902);
    tsb::append(descriptors,
                tsb::descriptor(0x0A, tsb::Bytes(static_cast<size_t>(section_length - 9 - 6 - 2), 0x6A)));
    return tsb::cat_section(descriptors, o);
}

tsb::AdaptationField pcr_field() {
    tsb::AdaptationField af;
    af.pcr = tsb::Pcr{27000, 1};
    return af;
}

const std::string kUsualCatReport = cat_report("00", "0x0005(5)", "0x0901(2305)");

// ------------------------------------------------------------------ checks

TEST(CatChecks, TheChecksSpeakInOrderAndChangeNothing) {
    TempDir dir;
    const tsb::Packets in = {
        raw_packet(0x0001, false, 2, {183}),
        raw_packet(0x0001, true, 2, {183}),
        start_packet(0x0001, tsb::long_section(0x00, 0xFFFF, tsb::Bytes(171, 0xFF), claiming(181))),
        start_packet(0x0001, cat_of_length(181, bad_crc())),
        start_packet(0x0001, cat_of_length(174, bad_crc()), pcr_field()),
        cat_packet(tsb::ca_descriptor(0x0006, 0x0902), bad_crc(numbered(1, 0))),
        cat_packet(tsb::ca_descriptor(0x0006, 0x0902), numbered(1, 0)),
        cat_packet(tsb::ca_descriptor(kCaSystem, kEmmPid)),
    };
    EXPECT_EQ(report(dir, in).text,
              "00000000: Unit start indicator is not set, aborted."
              "00000001: Payload does not exist, aborted."
              "00000002: Invalid CAT table id[0], aborted."
              "00000003: CAT length is too long [181+0], aborted."
              "00000004: CAT length is too long [174+7], aborted."
              "00000005: CAT CRC32 is wrong, aborted." +
                  dump_line(in[5]) + "00000006: CAT section# is wrong section#:[1], last#[0], aborted." +
                  kUsualCatReport + kDone);
}

// 180 bytes fit behind pointer_field 0, 172 behind a 7-byte PCR field; one
// more does not fit, and a field with indicator bits only counts nothing.
TEST(CatChecks, TheLengthBoundAndThePacketEnd) {
    TempDir dir;
    tsb::AdaptationField rai;
    rai.flags = 0x40;
    rai.length = 7;
    const tsb::Packets in = {
        start_packet(0x0001, cat_of_length(180)),
        start_packet(0x0001, cat_of_length(173, version(1)), pcr_field()),
        start_packet(0x0001, cat_of_length(174, version(1)), rai),
        start_packet(0x0001, cat_of_length(172, version(1)), pcr_field()),
    };
    EXPECT_EQ(report(dir, in).text, cat_report("00", "0x0006(6)", "0x0902(2306)") +
                                        "00000001: CAT section runs past the packet, aborted."
                                        "00000002: CAT section runs past the packet, aborted." +
                                        cat_report("01", "0x0006(6)", "0x0902(2306)") + kDone);
}

TEST(CatChecks, SectionsOutsideThePacketOrTooShortAreRefused) {
    TempDir dir;
    tsb::Bytes at185{180};
    at185.resize(181, 0x00);
    at185.insert(at185.end(), {0x01, 0xB0, 0x0F});  // table_id at byte 185
    const tsb::Packets in = {
        raw_packet(0x0001, true, 1, {182, 0x00}),
        raw_packet(0x0001, true, 1, at185),
        raw_packet(0x0001, true, 3, {183, 0x00}),
        psi_packet(0x0001, tsb::cat_section({}, claiming(8))),
        psi_packet(0x0001, sealed_short_section(0x01, 8)),
        cat_packet(tsb::ca_descriptor(kCaSystem, kEmmPid)),
    };
    EXPECT_EQ(report(dir, in).text,
              "00000000: CAT section start is out of packet, aborted."
              "00000001: CAT section runs past the packet, aborted."
              "00000002: CAT section start is out of packet, aborted."
              "00000003: CAT CRC32 is wrong, aborted." +
                  dump_line(in[3]) + "00000004: CAT length is too short [8], aborted." + kUsualCatReport + kDone);
}

// --------------------------------------------------------------------- EMM

TEST(CatEmm, TheFirstCaDescriptorMarksTheEmmPidAndTheSameCatChangesNothing) {
    TempDir dir;
    const tsb::Packets in = {
        pat_packet(),
        psi_packet(kPmtPid, usual_pmt_section()),
        payload_packet(kEmmPid, 0xA1),
        psi_packet(0x0001, usual_cat()),
        payload_packet(kEmmPid, 0xA2),
        psi_packet(0x0001, usual_cat()),
        payload_packet(kEmmPid, 0xA3),
        payload_packet(0x0902, 0xA4),
    };
    const Outcome o = extract(dir, in);
    EXPECT_EQ(o.text, extraction_text(in.size()));
    EXPECT_EQ(o.out, pick(in, {1, 3, 4, 5, 6}));

    TempDir report_dir;
    EXPECT_EQ(report(report_dir, in).text, kUsualPatReport + kUsualCatReport + kUsualCatReport + kDone);
}

// A new version moves the EMM PID (to one that needs all 13 bits); the same
// version naming another PID does not, it only brings its CA_system_id.
TEST(CatEmm, ANewVersionMovesTheEmmPid) {
    TempDir dir;
    const tsb::Packets in = {
        pat_packet(),
        psi_packet(kPmtPid, usual_pmt_section()),
        cat_packet(tsb::ca_descriptor(kCaSystem, 0x0901)),
        payload_packet(0x0901, 0xA1),
        payload_packet(0x1902, 0xA2),
        cat_packet(tsb::ca_descriptor(kCaSystem, 0x1902), version(1)),
        payload_packet(0x0901, 0xA3),
        payload_packet(0x1902, 0xA4),
        cat_packet(tsb::ca_descriptor(0x0007, 0x0903), version(1)),
        payload_packet(0x0903, 0xA5),
        payload_packet(0x1902, 0xA6),
    };
    EXPECT_EQ(extract(dir, in).out, pick(in, {1, 2, 3, 5, 7, 8, 10}));

    TempDir report_dir;
    EXPECT_EQ(report(report_dir, in).text, kUsualPatReport + kUsualCatReport +
                                               cat_report("01", "0x0005(5)", "0x1902(6402)") +
                                               cat_report("01", "0x0007(7)", "0x1902(6402)") + kDone);
}

// The EMM PID comes from the first CA descriptor, the CA_system_id from the
// last; the first one's private bytes are stepped over.
TEST(CatEmm, TwoCaDescriptorsInOneNewVersion) {
    TempDir dir;
    tsb::Bytes descriptors = tsb::ca_descriptor(kCaSystem, 0x0901, {0x09, 0x04});
    tsb::append(descriptors, tsb::ca_descriptor(0x000B, 0x0902));
    ASSERT_EQ(descriptors[1], 6);
    const tsb::Packets in = {
        pat_packet(),
        psi_packet(kPmtPid, usual_pmt_section()),
        cat_packet(descriptors),
        payload_packet(0x0901, 0xA1),
        payload_packet(0x0902, 0xA2),
    };
    EXPECT_EQ(extract(dir, in).out, pick(in, {1, 2, 3}));

    TempDir report_dir;
    EXPECT_EQ(report(report_dir, in).text,
              kUsualPatReport + cat_report("00", "0x000B(11)", "0x0901(2305)") + kDone);
}

// No CA descriptor, or one with fewer than six bytes before the CRC: nothing
// is taken, and the report says so.
TEST(CatEmm, WithoutAReadableCaDescriptorTheCatIsNotValid) {
    TempDir dir;
    const tsb::Packets in = {
        cat_packet(tsb::descriptor(0x0A, {'j', 'p', 'n', 0x00})),
        cat_packet({0x09, 0x04, 0x00, 0x05}),
        cat_packet({}, version(2)),
    };
    EXPECT_EQ(report(dir, in).text, kCatNotValid + kCatNotValid + kCatNotValid + kDone);
}

// A new version without a CA descriptor keeps the EMM PID; the next CAT of
// that version with one takes it. Version 17 differs from version 1.
TEST(CatEmm, AVersionWithoutCaDescriptorKeepsTheEmmPidUntilOneComes) {
    TempDir dir;
    const tsb::Packets in = {
        pat_packet(),
        psi_packet(kPmtPid, usual_pmt_section()),
        cat_packet(tsb::ca_descriptor(kCaSystem, 0x0901), version(1)),
        cat_packet({}, version(17)),
        payload_packet(0x0901, 0xA1),
        cat_packet(tsb::ca_descriptor(kCaSystem, 0x0902), version(17)),
        payload_packet(0x0901, 0xA2),
        payload_packet(0x0902, 0xA3),
    };
    EXPECT_EQ(extract(dir, in).out, pick(in, {1, 2, 3, 4, 5, 7}));

    TempDir report_dir;
    EXPECT_EQ(report(report_dir, in).text, kUsualPatReport + cat_report("01", "0x0005(5)", "0x0901(2305)") +
                                               cat_report("17", "0x0005(5)", "0x0901(2305)") +
                                               cat_report("17", "0x0005(5)", "0x0902(2306)") + kDone);
}

TEST(CatEmm, DroppingSiDropsTheCatButNotItsEmmPid) {
    TempDir dir;
    const tsb::Packets in = {
        pat_packet(),
        psi_packet(kPmtPid, usual_pmt_section()),
        psi_packet(0x0001, usual_cat()),
        payload_packet(kEmmPid, 0xA1),
        payload_packet(0x0010, 0xA2),
        pat_packet(),
    };
    const Outcome o = extract(dir, in, kProgram, {"-s"});
    EXPECT_EQ(o.text, extraction_text(in.size(), {}, "option -s: Drop SI option enabled\n"));
    EXPECT_EQ(o.out, (tsb::Packets{in[1], in[3], rewritten_pat(in[5], 1, 0)}));
}

// The CA_system_id is shared with the PMT's CA descriptor: a later CAT that
// brings none reports the PMT's.
TEST(CatEmm, ThePmtsCaDescriptorSetsTheCaSystemIdTheCatReports) {
    TempDir dir;
    tsb::Pmt pmt = usual_pmt();
    pmt.program_info = tsb::ca_descriptor(0x000A, 0x0120);
    const tsb::Packets in = {pat_packet(), psi_packet(0x0001, usual_cat()),
                             psi_packet(kPmtPid, tsb::pmt_section(pmt)), cat_packet({}, version(1, false))};
    const std::string pmt_report =
        pmt_head() + ecm_line("0x0120(288)") + kUsualVideoStream + kUsualAudioStream + "\n";
    EXPECT_EQ(report(dir, in, kProgram).text, kUsualPatReport + kUsualCatReport + pmt_report +
                                                  cat_report("01", "0x000A(10)", "0x0901(2305)", "false") +
                                                  kDone);
}

}  // namespace
