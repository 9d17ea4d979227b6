// PAT packets through the real tool: the checks and their messages, version
// handling, the report, and the single-program rewrite in the output.
#include <gtest/gtest.h>

#include "e2e_psi_helpers.h"

using namespace psi_e2e;

namespace {

// `count` PAT entries: program i + 1 on PMT PID 0x0100 + i.
tsb::Bytes pat_entries(int count) {
    tsb::Bytes bytes;
    for (int i = 0; i < count; ++i) {
        tsb::put16(bytes, static_cast<uint16_t>(i + 1));
        tsb::put16(bytes, static_cast<uint16_t>(0xE000 | (0x0100 + i)));
    }
    return bytes;
}

// A PAT section with `body` behind last_section_number (entries, or any bytes).
tsb::Bytes raw_pat(const tsb::Bytes& body, const tsb::SectionOpts& o = {}) {
    return tsb::long_section(0x00, 1, body, o);
}

tsb::AdaptationField pcr_field() {
    tsb::AdaptationField af;
    af.pcr = tsb::Pcr{0x12345678, 0x0AB};
    return af;
}

// An adaptation field of `length` bytes with this flag byte and stuffing.
tsb::AdaptationField flag_field(uint8_t flags, int length) {
    tsb::AdaptationField af;
    af.flags = flags;
    af.length = length;
    return af;
}

tsb::Packet pmt_packet() { return psi_packet(kPmtPid, usual_pmt_section()); }

// ------------------------------------------------------------------ checks

TEST(PatChecks, FirstPacketWithoutUnitStartPrintsOnlyItsMessageAndTheReportFollowsOnTheSameLine) {
    TempDir dir;
    const Outcome o = report(dir, {raw_packet(0x0000, false, 1, {0x00}), pat_packet(), tsb::null_packet()});
    EXPECT_EQ(o.text, "00000000: Unit start indicator is not set, aborted." + kUsualPatReport + kDone);
}

// Every packet fails its own check and all the later ones; the first failing
// check speaks, and none of them changes what the last, good PAT finds.
TEST(PatChecks, TheSevenChecksSpeakInOrderAndChangeNothing) {
    TempDir dir;
    const tsb::Packets packets = {
        raw_packet(0x0000, false, 2, {183}),  // no unit start, no payload
        raw_packet(0x0000, true, 2, {183}),   // no payload
        start_packet(0x0000, tsb::long_section(0x02, 1, tsb::Bytes(171, 0), claiming(181))),
        start_packet(0x0000, raw_pat(tsb::Bytes(172, 0xE1), bad_crc())),  // 181, CRC wrong too
        pat_packet(raw_pat(pat_entries(32), bad_crc(numbered(1, 0)))),    // 137 and section 1 too
        pat_packet(raw_pat(pat_entries(32), numbered(1, 0))),             // 137, section 1 too
        pat_packet(tsb::pat_section(1, {{0, 0x0010}, {kProgram, 0x01E0}}, numbered(1, 1))),
        pat_packet(tsb::pat_section(1, {{0, 0x0010}, {kProgram, 0x01E0}}, numbered(0, 1))),
        pat_packet(),
    };
    const std::string expected =
        "00000000: Unit start indicator is not set, aborted."
        "00000001: Payload does not exist, aborted."
        "00000002: Invalid PAT table id[2], aborted."
        "00000003: PAT length is too long [181+0], aborted."
        "00000004: PAT CRC32 is wrong, aborted." +
        dump_line(packets[4]) +
        "00000005: PAT length is too long [137], aborted."
        "00000006: PAT section# is wrong section#:[1], last#[1], aborted."
        "00000007: PAT section# is wrong section#:[0], last#[1], aborted." +
        kUsualPatReport + kDone;
    EXPECT_EQ(report(dir, packets, kProgram).text, expected);
    // Behind 4-byte timestamps the same, the dump showing the 188-byte packet.
    EXPECT_EQ(report(write_packets(dir, packets, "in192.ts", tsb::kTimestampedSize), kProgram).text,
              expected);
}

// 180 passes the bound (and is then refused for its 42 entries), 181 not; a
// kept adaptation field counts, one with indicator bits only does not.
TEST(PatChecks, LengthBoundCountsOnlyAKeptAdaptationField) {
    TempDir dir;
    const tsb::Packets packets = {
        start_packet(0x0000, raw_pat(tsb::Bytes(171, 0xE1))),               // 180
        start_packet(0x0000, raw_pat(tsb::Bytes(172, 0xE1))),               // 181
        start_packet(0x0000, raw_pat(tsb::Bytes(163, 0xE1)), pcr_field()),  // 172+7, ends at byte 187
        start_packet(0x0000, raw_pat(tsb::Bytes(164, 0xE1)), pcr_field()),  // 173+7, one byte too many
        start_packet(0x0000, raw_pat(tsb::Bytes(165, 0xE1)), pcr_field()),  // 174+7
        start_packet(0x0000, raw_pat(tsb::Bytes(165, 0xE1)), flag_field(0x40, 7)),  // 174, RAI only
        start_packet(0x0000, raw_pat(tsb::Bytes(172, 0xE1)), flag_field(0xE0, 7)),  // 181, indicators only
        start_packet(0x0000, raw_pat(tsb::Bytes(165, 0xE1)), flag_field(0x01, 7)),  // 174, extension flag
        pat_packet(),
    };
    ASSERT_EQ(packets[2][4], 7);
    const Outcome o = report(dir, packets, kProgram);
    EXPECT_EQ(o.text,
              "00000000: PAT length is too long [180], aborted."
              "00000001: PAT length is too long [181+0], aborted."
              "00000002: PAT length is too long [172], aborted."
              "00000003: PAT section runs past the packet, aborted."
              "00000004: PAT length is too long [174+7], aborted."
              "00000005: PAT section runs past the packet, aborted."
              "00000006: PAT length is too long [181+0], aborted."
              "00000007: PAT length is too long [174+7], aborted." +
                  kUsualPatReport + kDone);
}

TEST(PatChecks, ThirtyOneEntriesAreTakenAndAStrayRemainderIsIgnored) {
    TempDir dir;
    tsb::Bytes body = pat_entries(31);
    body.insert(body.end(), {0xE0, 0x12, 0x34});  // section_length 136
    const Outcome o =
        report(dir, {pat_packet(raw_pat(body)), tsb::null_packet(), tsb::null_packet()}, kProgram);
    std::string expected = pat_head();
    for (int i = 0; i < 31; ++i) {
        char entry[128];
        std::snprintf(entry, sizeof entry, "   Program#   : 0x%04X(%d)\n     PID      : 0x%04X(%d)\n", i + 1,
                      i + 1, 0x0100 + i, 0x0100 + i);
        expected += kDashes + entry;
    }
    EXPECT_EQ(o.text, expected + "\n" + kDone);
}

// Where the section would start or end outside the packet, the packet is
// refused before anything is read. A section shorter than its fixed fields and
// CRC fails the CRC check, unless it was built to pass it.
TEST(PatChecks, SectionsOutsideThePacketOrTooShortAreRefused) {
    TempDir dir;
    tsb::Bytes at185{180};
    at185.resize(181, 0x00);
    at185.insert(at185.end(), {0x00, 0xB0, 0x09});  // table_id at byte 185, section_length 9
    tsb::Bytes pointer_at187{182, 0x00};
    pointer_at187.resize(183, 0xFF);
    pointer_at187.push_back(0x00);  // pointer_field 0 at byte 187
    const tsb::Packets packets = {
        raw_packet(0x0000, true, 1, {181, 0x00}),  // section at byte 186
        raw_packet(0x0000, true, 1, at185),
        raw_packet(0x0000, true, 3, {183, 0x00}),  // pointer_field would be byte 188
        raw_packet(0x0000, true, 3, pointer_at187),
        pat_packet(raw_pat({}, claiming(8))),
        pat_packet(raw_pat({}, claiming(0))),
        pat_packet(sealed_short_section(0x00, 8)),
        pat_packet(),
    };
    ASSERT_EQ(packets[3][187], 0x00);
    const Outcome o = report(dir, packets, kProgram);
    EXPECT_EQ(o.text,
              "00000000: PAT section start is out of packet, aborted."
              "00000001: PAT section runs past the packet, aborted."
              "00000002: PAT section start is out of packet, aborted."
              "00000003: PAT section start is out of packet, aborted."
              "00000004: PAT CRC32 is wrong, aborted." +
                  dump_line(packets[4]) + "00000005: PAT CRC32 is wrong, aborted." + dump_line(packets[5]) +
                  "00000006: PAT length is too short [8], aborted." + kUsualPatReport + kDone);
}

// Fewer than 13 bytes of section_length leave no room for an entry.
TEST(PatChecks, APatWithoutEntriesIsReportedWithAnEmptyList) {
    TempDir dir;
    const tsb::Packets in = {pat_packet(raw_pat({})), pat_packet(raw_pat({0x00, 0x01, 0xE1}, version(1))),
                             tsb::null_packet()};
    EXPECT_EQ(report(dir, in, kProgram).text, pat_head() + "\n" + pat_head("01") + "\n" + kDone);
}

// ---------------------------------------------------------------- versions

TEST(PatVersions, SameVersionIsReportedWithThisPacketsFieldsAndTheRememberedList) {
    TempDir dir;
    const tsb::Packets packets = {
        pat_packet(),
        pat_packet(tsb::pat_section(7, {{0, 0x0011}, {0x0500, 0x0300}}, version(0, false))),
        psi_packet(0x0300, usual_pmt_section()),  // not the target's PMT PID
        pmt_packet(),
    };
    const Outcome o = report(dir, packets, kProgram);
    EXPECT_EQ(o.text, kUsualPatReport + pat_head("00", "0x0007(7)", "false") + kUsualPatEntries + "\n" +
                          kUsualPmtReport + kDone);
}

// The entries in front of the zero PID are copied, nothing else is taken,
// and the same version is examined again by its next packet.
TEST(PatVersions, PidZeroEntryStopsANewVersionAfterCopyingTheEntriesBeforeIt) {
    TempDir dir;
    const tsb::Bytes zero =
        tsb::pat_section(1, {{0, 0x0010}, {kProgram, 0x01E0}, {0x0500, 0x0000}}, version(1));
    const tsb::Packets packets = {
        pat_packet(tsb::pat_section(1, {{0, 0x0010}, {kProgram, kPmtPid}})),
        pat_packet(zero),
        pat_packet(zero),
        pmt_packet(),                             // still the target's PMT PID
        psi_packet(0x01E0, usual_pmt_section()),  // not yet
        pat_packet(tsb::pat_section(1, {{0, 0x0010}, {kProgram, kPmtPid}})),
        pat_packet(tsb::pat_section(1, {{0, 0x0010}, {kProgram, 0x01E0}}, version(1))),
        psi_packet(0x01E0, usual_pmt_section()),
    };
    const std::string header_v0 = pat_head() + kNetworkEntry;
    const Outcome o = report(dir, packets, kProgram);
    EXPECT_EQ(o.text, header_v0 + pat_entry("0x0400(1024)", "0x01F0(496)") +
                          "\n"
                          "00000001: PID of PMT is zero. aborted."
                          "00000002: PID of PMT is zero. aborted." +
                          kUsualPmtReport + header_v0 + pat_entry("0x0400(1024)", "0x01E0(480)") + "\n" +
                          kMovedPatReport + kUsualPmtReport + kDone);
}

TEST(PatVersions, TheLaterOfTwoEntriesForTheTargetIsTaken) {
    TempDir dir;
    const tsb::Packets in = {
        pat_packet(tsb::pat_section(1, {{0, 0x0010}, {kProgram, kPmtPid}, {kProgram, 0x01E0}})),
        pmt_packet(),
        psi_packet(0x01E0, usual_pmt_section()),
        pat_packet(tsb::pat_section(1, {{0, 0x0010}, {kProgram, kPmtPid}, {kProgram, 0x01E0}})),
    };
    const Outcome o = extract(dir, in);
    EXPECT_EQ(o.text, extraction_text(in.size()));
    EXPECT_EQ(o.out, (tsb::Packets{in[2], rewritten_pat(in[3], 1, 0, kProgram, 0x01E0)}));
}

TEST(PatVersions, NewVersionWithoutTheTargetStopsItsPmtAndLeavesPatsAsTheyCame) {
    TempDir dir;
    const tsb::Bytes without = tsb::pat_section(1, {{0, 0x0010}, {kOtherProgram, kOtherPmtPid}}, version(1));
    const tsb::Packets in = {
        pat_packet(),        pmt_packet(), payload_packet(kVideoPid, 0xA1),
        pat_packet(without), pmt_packet(), payload_packet(kVideoPid, 0xA2),
        pat_packet(without),
    };
    const Outcome o = extract(dir, in);
    EXPECT_EQ(o.text, extraction_text(in.size()));
    EXPECT_EQ(o.out, pick(in, {1, 2, 3, 5, 6}));
}

TEST(PatVersions, NewVersionMovesThePmtPid) {
    TempDir dir;
    const tsb::Bytes moved = tsb::pat_section(1, {{0, 0x0010}, {kProgram, 0x01E0}}, version(1));
    const tsb::Packets in = {
        pat_packet(),
        pmt_packet(),
        pat_packet(moved),
        pmt_packet(),                             // old PMT PID: dropped now
        psi_packet(0x01E0, usual_pmt_section()),  // new one passes
        payload_packet(kVideoPid, 0xA1),
        pat_packet(moved),
    };
    const Outcome o = extract(dir, in);
    EXPECT_EQ(o.text, extraction_text(in.size()));
    EXPECT_EQ(o.out, (tsb::Packets{in[1], rewritten_pat(in[2], 1, 1, kProgram, 0x01E0), in[4], in[5],
                                   rewritten_pat(in[6], 1, 1, kProgram, 0x01E0)}));
}

// Old and new PMT PID equal: the flag is cleared, then set again.
TEST(PatVersions, ANewVersionNamingTheSamePmtPidKeepsItPassing) {
    TempDir dir;
    const tsb::Packets in = {pat_packet(), pmt_packet(), pat_packet(usual_pat(version(1))), pmt_packet()};
    const Outcome o = extract(dir, in);
    EXPECT_EQ(o.out, (tsb::Packets{in[1], rewritten_pat(in[2], 1, 1), in[3]}));
}

// ---------------------------------------------------------------- rewrite

TEST(PatRewrite, WorkedExampleByteForByte) {
    TempDir dir;
    const tsb::Bytes pat = usual_pat(version(3));
    const tsb::Packets in = {psi_packet(0x0000, pat), pmt_packet(), psi_packet(0x0000, pat, {}, 5)};
    const Outcome o = extract(dir, in);
    ASSERT_EQ(o.out.size(), 2u);
    tsb::Packet expected;
    expected.fill(0xFF);
    const uint8_t head[] = {0x47, 0x40, 0x00, 0x15, 0x00, 0x00, 0xB0, 0x11, 0x00, 0x01, 0xC7, 0x00, 0x00,
                            0x00, 0x00, 0xE0, 0x10, 0x04, 0x00, 0xE1, 0xF0, 0x76, 0x5A, 0x52, 0x17};
    std::copy(std::begin(head), std::end(head), expected.begin());
    EXPECT_EQ(o.out[0], in[1]);
    EXPECT_EQ(o.out[1], expected);
}

// A PAT of the remembered version is not parsed, yet it is rewritten with its
// own transport_stream_id and version and current_next_indicator 1.
TEST(PatRewrite, SameVersionPacketIsRewrittenWithItsOwnIdAndCurrentNextOne) {
    TempDir dir;
    const tsb::Packets in = {
        pat_packet(usual_pat(version(3))),
        pmt_packet(),
        pat_packet(tsb::pat_section(0x1234, {{0, 0x0011}, {kProgram, 0x01E0}}, version(3, false))),
    };
    const Outcome o = extract(dir, in);
    ASSERT_EQ(o.out.size(), 2u);
    EXPECT_EQ(o.out[1], rewritten_pat(in[2], 0x1234, 3));
    EXPECT_EQ(o.out[1][10], 0xC7);
}

TEST(PatRewrite, AnAdaptationFieldWithIndicatorBitsOnlyIsDropped) {
    TempDir dir;
    tsb::PsiOpts with_rai;
    with_rai.af = flag_field(0x40, 7);
    const tsb::Packets in = {pat_packet(), pmt_packet(), psi_packet(0x0000, usual_pat(), with_rai, 6)};
    ASSERT_EQ(in[2][3], 0x36);
    const Outcome o = extract(dir, in);
    ASSERT_EQ(o.out.size(), 2u);
    EXPECT_EQ(o.out[1][3], 0x16);
    EXPECT_EQ(o.out[1], rewritten_pat(in[2], 1, 0));
}

// Header bits the handler does not look at stay; the pointer_field's tail
// bytes and an empty adaptation field go.
TEST(PatRewrite, HeaderBitsStayAndThePatMovesToByte5) {
    TempDir dir;
    tsb::PsiOpts with_tail;
    with_tail.before = {0x11, 0x22, 0x33};
    tsb::Packet flagged = psi_packet(0x0000, usual_pat(), with_tail, 9);
    flagged[1] |= 0xA0;  // transport_error_indicator, transport_priority
    flagged[3] |= 0xC0;  // transport_scrambling_control 3
    const tsb::Packets in = {pat_packet(), pmt_packet(), flagged,
                             start_packet(0x0000, usual_pat(), flag_field(0x00, 0))};
    ASSERT_EQ(in[3][3], 0x30);
    ASSERT_EQ(in[3][4], 0x00);
    const Outcome o = extract(dir, in);
    ASSERT_EQ(o.out.size(), 3u);
    EXPECT_EQ(o.out[1], rewritten_pat(in[2], 1, 0));
    EXPECT_EQ(o.out[1][1], 0xE0);
    EXPECT_EQ(o.out[1][3], 0xD9);
    EXPECT_EQ(o.out[2], rewritten_pat(in[3], 1, 0));
    EXPECT_EQ(o.out[2][3], 0x10);
}

TEST(PatRewrite, AnAdaptationFieldWithAPcrStaysAndThePatFollowsIt) {
    TempDir dir;
    tsb::PsiOpts with_pcr;
    with_pcr.af = pcr_field();
    const tsb::Packets in = {pat_packet(), pmt_packet(), psi_packet(0x0000, usual_pat(), with_pcr, 7)};
    const Outcome o = extract(dir, in);
    ASSERT_EQ(o.out.size(), 2u);
    uint8_t cc = 7;
    const tsb::Packet expected =
        tsb::psi_packets(0x0000, tsb::pat_section(1, {{0, 0x0010}, {kProgram, kPmtPid}}), cc, with_pcr)[0];
    EXPECT_EQ(o.out[1], expected);
    EXPECT_EQ(o.out[1][3], 0x37);
    EXPECT_EQ(o.out[1][12], 0x00);  // pointer_field right behind the 8 adaptation bytes
    EXPECT_EQ(o.out[1][167], 0xFF);
}

// 21 bytes fit behind an adaptation field of 162 bytes; behind 163 the
// packet goes out as it came.
TEST(PatRewrite, KeptAdaptationFieldLongerThan162LeavesThePacketUnchanged) {
    TempDir dir;
    tsb::AdaptationField af162 = pcr_field();
    af162.length = 162;
    tsb::AdaptationField af163 = pcr_field();
    af163.length = 163;
    const tsb::Bytes empty_pat = tsb::pat_section(1, {});
    const tsb::Packets in = {pat_packet(), pmt_packet(), start_packet(0x0000, empty_pat, af163),
                             start_packet(0x0000, empty_pat, af162)};
    const Outcome o = extract(dir, in);
    EXPECT_EQ(o.text, extraction_text(in.size()));
    ASSERT_EQ(o.out.size(), 3u);
    EXPECT_EQ(o.out[1], in[2]);
    tsb::Header h;
    h.unit_start = true;
    h.afc = 3;
    tsb::Bytes payload{0x00};
    tsb::append(payload, tsb::pat_section(1, {{0, 0x0010}, {kProgram, kPmtPid}}));
    EXPECT_EQ(o.out[2], tsb::make_packet(h, payload, af162));
}

TEST(PatRewrite, RefusedPatsGoOutAsTheyCame) {
    TempDir dir;
    const tsb::Packets in = {
        pat_packet(),
        pmt_packet(),
        pat_packet(usual_pat(bad_crc())),
        pat_packet(tsb::pat_section(1, {{0, 0x0010}, {kProgram, 0x0000}}, version(1))),
    };
    const Outcome o = extract(dir, in);
    EXPECT_EQ(o.text,
              extraction_text(in.size(), {{2, "00000002: PAT CRC32 is wrong, aborted." + dump_line(in[2])},
                                          {3, "00000003: PID of PMT is zero. aborted."}}));
    EXPECT_EQ(o.out, pick(in, {1, 2, 3}));
}

}  // namespace
