// Tests of the stream builder the other tests rely on. The expected bytes were
// worked out bit by bit from the field layouts, not taken from the builder.
#include "tsbuild.h"

#include <gtest/gtest.h>

#include <string>

namespace {

uint32_t crc_of(const std::string& text) {
    return tsb::crc32(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

TEST(TsbuildCrc, ReferenceValues) {
    EXPECT_EQ(crc_of(""), 0xFFFFFFFFu);
    EXPECT_EQ(crc_of("abc"), 0x9B73448Cu);
    EXPECT_EQ(crc_of("123456789"), 0x0376E6E7u);
}

TEST(TsbuildCrc, SectionWithItsCrcChecksToZeroUnlessCorrupted) {
    const tsb::Bytes pat = tsb::pat_section(1, {{0, 0x0010}, {0x0400, 0x01F0}});
    EXPECT_EQ(tsb::crc32(pat), 0u);
    tsb::SectionOpts broken;
    broken.bad_crc = true;
    EXPECT_NE(tsb::crc32(tsb::pat_section(1, {{0, 0x0010}, {0x0400, 0x01F0}}, broken)), 0u);
}

TEST(TsbuildCrc, OverriddenSectionLengthIsWrittenAndStillCovered) {
    tsb::SectionOpts o;
    o.section_length = 0x123;
    const tsb::Bytes pat = tsb::pat_section(1, {{0, 0x0010}}, o);
    EXPECT_EQ(pat[1], 0xB1);
    EXPECT_EQ(pat[2], 0x23);
    EXPECT_EQ(tsb::crc32(pat), 0u);
}

// A PMT long enough for three packets, carried with two bytes ahead of it.
TEST(TsbuildPacketize, SectionSplitOverPacketsReassembles) {
    tsb::Pmt pmt;
    pmt.program_number = 0x0400;
    pmt.pcr_pid = 0x0100;
    pmt.streams.push_back({0x02, 0x0100, tsb::Bytes(300, 0x5A), {}});
    pmt.streams.push_back({0x0F, 0x0110, tsb::Bytes(60, 0xA5), {}});
    const tsb::Bytes section = tsb::pmt_section(pmt);
    ASSERT_EQ(section.size(), 12u + 5 + 300 + 5 + 60 + 4);

    tsb::PsiOpts opts;
    opts.before = {0xAA, 0xBB};
    uint8_t cc = 14;
    const tsb::Packets packets = tsb::psi_packets(0x01F0, section, cc, opts);
    ASSERT_EQ(packets.size(), 3u);  // 1 + 2 + 386 bytes over 184-byte payloads
    EXPECT_EQ(cc, 1);

    tsb::Bytes joined;
    for (size_t i = 0; i < packets.size(); ++i) {
        const tsb::Packet& p = packets[i];
        EXPECT_EQ(p[0], 0x47);
        EXPECT_EQ(tsb::pid_of(p), 0x01F0);
        EXPECT_EQ(tsb::unit_start_of(p), i == 0);
        EXPECT_EQ(tsb::cc_of(p), (14 + i) % 16);
        EXPECT_EQ(p[3] & 0x30, 0x10) << "payload only";
        joined.insert(joined.end(), p.begin() + 4, p.end());
    }
    EXPECT_EQ(joined[0], 2) << "pointer_field";
    EXPECT_EQ(joined[1], 0xAA);
    EXPECT_EQ(joined[2], 0xBB);
    EXPECT_EQ(tsb::Bytes(joined.begin() + 3, joined.begin() + 3 + static_cast<long>(section.size())),
              section);
    for (size_t i = 3 + section.size(); i < joined.size(); ++i)
        ASSERT_EQ(joined[i], 0xFF) << "stuffing at " << i;
}

TEST(TsbuildPacket, AdaptationFieldWithPcr) {
    tsb::Header h;
    h.pid = 0x0100;
    h.cc = 5;
    tsb::AdaptationField af;
    af.flags = 0x40;
    af.pcr = tsb::Pcr{0x123456789ull, 0x123};
    const tsb::Packet p = tsb::make_packet(h, tsb::Bytes{0x11, 0x22}, af);
    const tsb::Bytes expected{0x47, 0x01, 0x00, 0x35, 0x07, 0x50, 0x91,
                              0xA2, 0xB3, 0xC4, 0xFF, 0x23, 0x11, 0x22};
    EXPECT_EQ(tsb::Bytes(p.begin(), p.begin() + 14), expected);
    EXPECT_EQ(p[14], 0xFF);

    // Base with its low bit clear and a small extension show the six reserved bits.
    af.pcr = tsb::Pcr{2, 5};
    const tsb::Packet q = tsb::make_packet(h, {}, af);
    EXPECT_EQ(tsb::Bytes(q.begin() + 6, q.begin() + 12), (tsb::Bytes{0x00, 0x00, 0x00, 0x01, 0x7E, 0x05}));
    EXPECT_EQ(q[3], 0x25) << "adaptation only, without payload";
}

TEST(TsbuildPacket, StuffedAndForcedAdaptationLengths) {
    tsb::Header h;
    tsb::AdaptationField fill;
    fill.fill = true;
    const tsb::Packet stuffed = tsb::make_packet(h, tsb::Bytes(180, 0x01), fill);
    EXPECT_EQ(stuffed[4], 3) << "184 - 180 bytes of field, less its length byte";
    EXPECT_EQ(stuffed[8], 0x01) << "payload right after the field";
    EXPECT_EQ(stuffed[187], 0x01);
    const tsb::Packet one_byte = tsb::make_packet(h, tsb::Bytes(183, 0x01), fill);
    EXPECT_EQ(one_byte[4], 0) << "a single stuffing byte is an empty field";
    EXPECT_EQ(one_byte[5], 0x01);

    tsb::AdaptationField forced;
    forced.length = 200;
    const tsb::Packet malformed = tsb::make_packet(h, tsb::Bytes{0x01}, forced);
    EXPECT_EQ(malformed[4], 200);
    EXPECT_THROW(tsb::make_packet(h, tsb::Bytes(185, 0x01)), std::length_error);
}

TEST(TsbuildStream, TimestampedFramingPutsTheTimestampFirst) {
    tsb::Stream s;
    s.nulls(2);
    s.first_timestamp = 0x11223344;
    s.timestamp_step = 0x10;
    const tsb::Bytes bytes = s.bytes(192);
    ASSERT_EQ(bytes.size(), 384u);
    EXPECT_EQ(tsb::Bytes(bytes.begin(), bytes.begin() + 5), (tsb::Bytes{0x11, 0x22, 0x33, 0x44, 0x47}));
    EXPECT_EQ(tsb::Bytes(bytes.begin() + 192, bytes.begin() + 197),
              (tsb::Bytes{0x11, 0x22, 0x33, 0x54, 0x47}));
    EXPECT_EQ(s.bytes(188).size(), 376u);
}

TEST(TsbuildPes, PtsDtsFieldsAndMarkerBits) {
    tsb::Pes pes;
    pes.pts = 0x123456789ull;
    pes.dts = 0x0ABCDEF01ull;
    pes.data = {0xEE};
    const tsb::Bytes good = tsb::pes_packet(pes);
    const tsb::Bytes expected{0x00, 0x00, 0x01, 0xE0, 0x00, 0x0E, 0x80, 0xC0, 0x0A, 0x39,
                              0x8D, 0x15, 0xCF, 0x13, 0x15, 0xAF, 0x37, 0xDE, 0x03, 0xEE};
    EXPECT_EQ(good, expected);

    pes.break_markers = true;
    const tsb::Bytes broken = tsb::pes_packet(pes);
    ASSERT_EQ(broken.size(), good.size());
    for (size_t i : {9, 11, 13, 14, 16, 18}) EXPECT_EQ(broken[i], good[i] & 0xFE) << "byte " << i;

    tsb::Pes pts_only;
    pts_only.pts = 0x123456789ull;
    const tsb::Bytes only = tsb::pes_packet(pts_only);
    EXPECT_EQ(only[7], 0x80);
    EXPECT_EQ(only[8], 5);
    EXPECT_EQ(only[9], 0x29) << "prefix 0010 when there is no DTS";
}

TEST(TsbuildPes, PesPacketsEndWithStuffingAndCarryThePcrFirst) {
    tsb::Pes pes;
    pes.data = tsb::Bytes(400, 0x33);
    const tsb::Bytes bytes = tsb::pes_packet(pes);  // 409 bytes
    uint8_t cc = 15;
    const tsb::Packets packets = tsb::pes_packets(0x0101, bytes, cc, tsb::Pcr{1, 0});
    ASSERT_EQ(packets.size(), 3u);  // 176 + 184 + 49
    EXPECT_EQ(packets[0][3], 0x3F);
    EXPECT_EQ(packets[0][5], 0x50);
    EXPECT_EQ(packets[0][12], 0x00) << "PES start code right after the 8-byte field";
    EXPECT_EQ(packets[1][3], 0x10);
    EXPECT_EQ(packets[2][3], 0x31);
    EXPECT_EQ(packets[2][4], 183 - 49) << "stuffing fills the last packet";
    EXPECT_EQ(packets[2][187], 0x33);
}

}  // namespace
