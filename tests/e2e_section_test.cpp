// Sections collected across packets, seen through the PMT (and the SDT's
// messages): where the section starts, when it is complete, and what each
// kind of packet does to a section that is empty, pending or complete.
#include <gtest/gtest.h>

#include "e2e_psi_helpers.h"

using namespace psi_e2e;

namespace {

tsb::AdaptationField pcr_field() {
    tsb::AdaptationField af;
    af.pcr = tsb::Pcr{90000, 0};
    return af;
}

// A continuation packet whose payload follows an adaptation field of
// `af_length` bytes (flag byte 0, then stuffing).
tsb::Packet continuation_behind_af(const tsb::Bytes& section, size_t from, int af_length) {
    tsb::Bytes bytes{static_cast<uint8_t>(af_length)};
    if (af_length > 0) bytes.push_back(0x00);
    bytes.resize(1 + static_cast<size_t>(af_length), 0xFF);
    const size_t room = tsb::kPacketSize - 5 - static_cast<size_t>(af_length);
    const size_t end = std::min(section.size(), from + room);
    bytes.insert(bytes.end(), section.begin() + static_cast<long>(from),
                 section.begin() + static_cast<long>(end));
    return raw_packet(kPmtPid, false, 3, bytes);
}

// -------------------------------------------------------------------- fit

TEST(SectionFit, SectionLength180FitsBehindPointerZeroAndIsTakenAtOnce) {
    TempDir dir;
    const tsb::Bytes pmt = usual_pmt_section(180);
    const tsb::Packet start = start_packet(kPmtPid, pmt);
    ASSERT_EQ(start[187], pmt.back());
    const Outcome o = report(dir, {pat_packet(), start, marker_packet()}, kProgram);
    EXPECT_EQ(o.text, kUsualPatReport + kUsualPmtReport + marker(2) + kDone);

    TempDir out_dir;
    const tsb::Packets in = {pat_packet(), start, payload_packet(kVideoPid, 0xA1)};
    EXPECT_EQ(extract(out_dir, in).out, pick(in, {1, 2}));
}

// 183 bytes in the start packet, the last one from byte 4 of the next packet
// on the PID; that packet's bytes 5 to 187 are not looked at.
TEST(SectionFit, SectionLength181TakesItsLastByteFromTheNextPacket) {
    TempDir dir;
    const tsb::Bytes pmt = usual_pmt_section(181);
    ASSERT_EQ(pmt.size(), 184u);
    tsb::Bytes tail{pmt.back()};
    tsb::append(tail, usual_pmt_section(40, version(7)));  // would be a whole other PMT if read
    const tsb::Packet start = start_packet(kPmtPid, pmt);
    const tsb::Packet rest = raw_packet(kPmtPid, false, 1, tail);
    const Outcome o = report(dir, {pat_packet(), start, marker_packet(), rest, marker_packet()}, kProgram);
    EXPECT_EQ(o.text, kUsualPatReport + marker(2) + kUsualPmtReport + marker(4) + kDone);

    // Output starts with the packet that completed the first PMT.
    TempDir out_dir;
    const tsb::Packets in = {pat_packet(), start, payload_packet(kVideoPid, 0xA1), rest,
                             payload_packet(kVideoPid, 0xA2)};
    EXPECT_EQ(extract(out_dir, in).out, pick(in, {3, 4}));
}

// Adaptation field of 7 bytes: payload at 12; pointer_field 3 skips three
// bytes, so the section starts at 16 and 172 of its bytes fit.
TEST(SectionFit, AdaptationFieldAndPointerFieldPlaceTheSection) {
    const tsb::Bytes skipped{0x02, 0xB0, 0x11};  // looks like a section start, is the tail of another
    {
        TempDir dir;
        const tsb::Packet start = start_packet(kPmtPid, usual_pmt_section(169), pcr_field(), skipped);
        ASSERT_EQ(start[4], 7);
        ASSERT_EQ(start[12], 3);
        const Outcome o = report(dir, {pat_packet(), start, marker_packet()}, kProgram);
        EXPECT_EQ(o.text, kUsualPatReport + kUsualPmtReport + marker(2) + kDone);
    }
    {
        TempDir dir;
        const tsb::Bytes pmt = usual_pmt_section(170);
        const tsb::Packets in = {pat_packet(), start_packet(kPmtPid, pmt, pcr_field(), skipped),
                                 marker_packet(), continuation(kPmtPid, pmt, 172, 1)};
        const Outcome o = report(dir, in, kProgram);
        EXPECT_EQ(o.text, kUsualPatReport + marker(2) + kUsualPmtReport + kDone);
    }
    {
        // pointer_field 180: table_id and section_length fill bytes 185 to 187.
        TempDir dir;
        const tsb::Bytes pmt = usual_pmt_section();
        const tsb::Packet start = start_packet(kPmtPid, pmt, std::nullopt, tsb::Bytes(180, 0xFF));
        ASSERT_EQ(start[185], 0x02);
        const tsb::Packets in = {pat_packet(), start, marker_packet(),
                                 continuation(kPmtPid, pmt, 3, pmt.size() - 3)};
        EXPECT_EQ(report(dir, in, kProgram).text, kUsualPatReport + marker(2) + kUsualPmtReport + kDone);
    }
}

// A 462-byte section: 183 bytes in the start packet, 163 behind a 20-byte
// adaptation field, none behind one that fills the packet, 116 in the last.
tsb::Packets three_packet_pmt_with_adaptation_fields(const tsb::Bytes& pmt) {
    return {pat_packet(),    start_packet(kPmtPid, pmt),
            marker_packet(), continuation_behind_af(pmt, 183, 20),
            marker_packet(), continuation_behind_af(pmt, 346, 183),
            marker_packet(), continuation(kPmtPid, pmt, 346, 184),
            marker_packet()};
}

TEST(SectionFit, ContinuationPayloadStartsBehindTheAdaptationField) {
    TempDir dir;
    const tsb::Bytes pmt = usual_pmt_section(459);
    const tsb::Packets in = three_packet_pmt_with_adaptation_fields(pmt);
    ASSERT_EQ(in[5][4], 183);
    const std::string expected =
        kUsualPatReport + marker(2) + marker(4) + marker(6) + kUsualPmtReport + marker(8) + kDone;
    EXPECT_EQ(report(dir, in, kProgram).text, expected);
    // The same packets behind 4-byte timestamps: offsets count from the sync byte.
    EXPECT_EQ(report(write_packets(dir, in, "in192.ts", tsb::kTimestampedSize), kProgram).text, expected);
}

// Whatever follows a completed section in its packet is not looked at.
TEST(SectionFit, OnlyTheFirstSectionOfAPacketIsTaken) {
    TempDir dir;
    tsb::Bytes two = usual_pmt_section();
    tsb::append(two, usual_pmt_section(23, version(1)));
    const tsb::Packets in = {pat_packet(), psi_packet(kPmtPid, two), tsb::null_packet()};
    EXPECT_EQ(report(dir, in, kProgram).text, kUsualPatReport + kUsualPmtReport + kDone);
}

// Continuation packets are tied to the section by their PID alone.
TEST(SectionFit, ContinuityCountersAndErrorBitsAreNotConsulted) {
    TempDir dir;
    const tsb::Bytes pmt = usual_pmt_section(300);
    tsb::Packet rest = continuation(kPmtPid, pmt, 183, 184);
    rest[1] |= 0x80;               // transport_error_indicator
    rest[3] = 0x80 | 0x10 | 0x0B;  // scrambled, counter jumps to 11
    const tsb::Packets in = {pat_packet(), start_packet(kPmtPid, pmt), rest};
    EXPECT_EQ(report(dir, in, kProgram).text, kUsualPatReport + kUsualPmtReport + kDone);
}

// ----------------------------------------------------------------- states

TEST(SectionStates, PacketsWithoutPayloadPrintTheMessageAndChangeNothing) {
    TempDir dir;
    const tsb::Bytes pmt = usual_pmt_section(300);
    tsb::Bytes other{0x00};
    tsb::append(other, usual_pmt_section(23, version(5)));  // never to be taken
    const tsb::Packets in = {
        pat_packet(),
        start_packet(kPmtPid, pmt),
        raw_packet(kPmtPid, true, 2, {183}),
        raw_packet(kPmtPid, false, 2, {183}),
        raw_packet(kPmtPid, true, 0, other),
        raw_packet(kPmtPid, false, 0, {}),
        continuation(kPmtPid, pmt, 183, 184),
    };
    const Outcome o = report(dir, in, kProgram);
    EXPECT_EQ(o.text, kUsualPatReport +
                          "00000002: Payload does not exists, aborted."
                          "00000003: Payload does not exists, aborted."
                          "00000004: Payload does not exists, aborted."
                          "00000005: Payload does not exists, aborted." +
                          kUsualPmtReport + kDone);
}

TEST(SectionStates, ContinuationBeforeAnyStartIsIgnoredSilently) {
    TempDir dir;
    const tsb::Bytes pmt = usual_pmt_section();
    tsb::Bytes whole{0x00};
    tsb::append(whole, pmt);
    const tsb::Packets in = {pat_packet(), continuation(kPmtPid, pmt, 0, 184),
                             raw_packet(kPmtPid, false, 1, whole), psi_packet(kPmtPid, pmt)};
    EXPECT_EQ(report(dir, in, kProgram).text, kUsualPatReport + kUsualPmtReport + kDone);
}

// A complete section stays complete: each continuation processes it again,
// and a foreign table_id in between does not change that.
TEST(SectionStates, ACompleteSectionIsProcessedAgainByEachContinuation) {
    TempDir dir;
    const tsb::Packets in = {
        pat_packet(),
        psi_packet(kPmtPid, usual_pmt_section()),
        payload_packet(kPmtPid, 0x33),
        start_packet(kPmtPid, tsb::long_section(0x03, 1, {})),
        payload_packet(kPmtPid, 0x44),
    };
    EXPECT_EQ(report(dir, in, kProgram).text, kUsualPatReport + kUsualPmtReport + kUsualPmtReport +
                                                  "00000003: Invalid PMT table id[3], aborted." +
                                                  kUsualPmtReport + kDone);
}

TEST(SectionStates, AForeignTableIdLeavesAPendingSectionPending) {
    TempDir dir;
    const tsb::Bytes pmt = usual_pmt_section(300);
    const tsb::Packets in = {
        pat_packet(),
        start_packet(kPmtPid, pmt),
        start_packet(kPmtPid, tsb::long_section(0xC0, 1, {})),
        continuation(kPmtPid, pmt, 183, 184),
    };
    EXPECT_EQ(report(dir, in, kProgram).text,
              kUsualPatReport + "00000002: Invalid PMT table id[192], aborted." + kUsualPmtReport + kDone);
}

// The pending version 1 section is dropped for the complete version 0 one;
// the rest of version 1 then only makes version 0 be processed again.
TEST(SectionStates, ANewStartDiscardsThePendingSection) {
    TempDir dir;
    const tsb::Bytes pending = usual_pmt_section(300, version(1));
    const tsb::Packets in = {
        pat_packet(),
        start_packet(kPmtPid, pending),
        psi_packet(kPmtPid, usual_pmt_section()),
        continuation(kPmtPid, pending, 183, 184),
    };
    EXPECT_EQ(report(dir, in, kProgram).text, kUsualPatReport + kUsualPmtReport + kUsualPmtReport + kDone);
}

TEST(SectionStates, ThePointerAreaOfTheNextStartNeverFinishesAPendingSection) {
    TempDir dir;
    const tsb::Bytes pending = usual_pmt_section(300, version(1));
    tsb::PsiOpts behind_tail;
    behind_tail.before = tsb::Bytes(pending.begin() + 183, pending.end());
    ASSERT_EQ(behind_tail.before.size(), 120u);
    const tsb::Packets in = {
        pat_packet(),
        start_packet(kPmtPid, pending),
        psi_packet(kPmtPid, usual_pmt_section(), behind_tail),
    };
    EXPECT_EQ(report(dir, in, kProgram).text, kUsualPatReport + kUsualPmtReport + kDone);

    // Without the new start the same bytes as a continuation finish it.
    TempDir dir2;
    const tsb::Packets finished = {pat_packet(), start_packet(kPmtPid, pending),
                                   continuation(kPmtPid, pending, 183, 184)};
    EXPECT_EQ(report(dir2, finished, kProgram).text,
              kUsualPatReport + pmt_head("01") + kUsualVideoStream + kUsualAudioStream + "\n" + kDone);
}

// The buffer is not emptied when the PAT moves the PMT: the section started
// on the old PID is finished by a continuation on the new one.
TEST(SectionStates, APendingSectionSurvivesAMoveOfThePmtPid) {
    TempDir dir;
    const tsb::Bytes pmt = usual_pmt_section(300);
    const tsb::Packets in = {
        pat_packet(),
        start_packet(kPmtPid, pmt),
        psi_packet(0x0000, tsb::pat_section(1, {{kProgram, 0x01E0}}, version(1))),
        continuation(0x01E0, pmt, 183, 184),
    };
    EXPECT_EQ(report(dir, in, kProgram).text, kUsualPatReport + pat_head("01") +
                                                  pat_entry("0x0400(1024)", "0x01E0(480)") + "\n" +
                                                  kUsualPmtReport + kDone);
}

// ---------------------------------------------------------- sizes and offsets

TEST(SectionLimits, TheLargestSectionOf1024BytesIsAssembled) {
    TempDir dir;
    const tsb::Bytes pmt = usual_pmt_section(1021);
    ASSERT_EQ(pmt.size(), 1024u);
    uint8_t cc = 0;
    tsb::Packets in{pat_packet()};
    for (const tsb::Packet& p : tsb::psi_packets(kPmtPid, pmt, cc)) in.push_back(p);
    ASSERT_EQ(in.size(), 7u);
    EXPECT_EQ(report(dir, in, kProgram).text, kUsualPatReport + kUsualPmtReport + kDone);
}

// A section too long for the buffer is refused at its start; the buffer is
// emptied, so neither its continuations nor the earlier section come back.
TEST(SectionLimits, ASectionLongerThan1021IsDroppedWithItsContinuations) {
    TempDir dir;
    const tsb::Bytes huge = usual_pmt_section(1021, claiming(1022));
    const tsb::Packets in = {
        pat_packet(),
        psi_packet(kPmtPid, usual_pmt_section()),
        start_packet(kPmtPid, huge),
        continuation(kPmtPid, huge, 183, 184),
        continuation(kPmtPid, huge, 367, 184),
        psi_packet(kPmtPid, usual_pmt_section()),
    };
    EXPECT_EQ(report(dir, in, kProgram).text, kUsualPatReport + kUsualPmtReport +
                                                  "00000002: PMT length is too long [1022], aborted." +
                                                  kUsualPmtReport + kDone);
}

// A start packet whose section header cannot lie inside it is refused; a
// section pending before it goes on.
TEST(SectionLimits, AStartOutsideThePacketLeavesThePendingSectionAlone) {
    TempDir dir;
    const tsb::Bytes pmt = usual_pmt_section(300);
    tsb::Bytes at186{181};
    at186.resize(182, 0x00);
    at186.insert(at186.end(), {0x02, 0xB0});  // table_id at byte 186
    const tsb::Packets in = {
        pat_packet(),
        start_packet(kPmtPid, pmt),
        raw_packet(kPmtPid, true, 1, at186),
        raw_packet(kPmtPid, true, 3, {183, 0x00}),  // payload would start at byte 188
        continuation(kPmtPid, pmt, 183, 184),
    };
    EXPECT_EQ(report(dir, in, kProgram).text, kUsualPatReport +
                                                  "00000002: PMT section start is out of packet, aborted."
                                                  "00000003: PMT section start is out of packet, aborted." +
                                                  kUsualPmtReport + kDone);
}

TEST(SectionLimits, TheSdtBufferRefusesWithItsOwnMessages) {
    TempDir dir;
    const tsb::Packets in = {
        pat_packet(),
        psi_packet(0x0011, tsb::long_section(0x4A, 1, {0xF0, 0x00, 0xF0, 0x00})),  // a BAT
        raw_packet(0x0011, true, 2, {183}),
    };
    EXPECT_EQ(report(dir, in, kProgram).text, kUsualPatReport +
                                                  "00000001: Invalid SDT table id[74], aborted."
                                                  "00000002: Payload does not exist, aborted." +
                                                  kDone);
}

}  // namespace
