// The section CRC against the reference values of CRC-32/MPEG-2.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "psi.h"

namespace {

class Crc32 : public ::testing::Test {
  protected:
    void SetUp() override { rfc_make_crc32_table(); }
};

std::vector<uint8_t> bytes(const char* text) { return std::vector<uint8_t>(text, text + strlen(text)); }

TEST_F(Crc32, ReferenceValues) {
    EXPECT_EQ(rfc_crc32(nullptr, 0), 0xFFFFFFFFu);
    EXPECT_EQ(rfc_crc32(nullptr, -3), 0xFFFFFFFFu);
    EXPECT_EQ(rfc_crc32(bytes("abc").data(), 3), 0x9B73448Cu);
    EXPECT_EQ(rfc_crc32(bytes("123456789").data(), 9), 0x0376E6E7u);
}

TEST_F(Crc32, SectionWithItsCrcChecksToZeroOnlyWhenIntact) {
    std::vector<uint8_t> section = {0x61, 0x62, 0x63, 0x9B, 0x73, 0x44, 0x8C};
    EXPECT_EQ(rfc_crc32(section.data(), 7), 0u);
    const std::vector<uint8_t> swapped = {0x61, 0x62, 0x63, 0x8C, 0x44, 0x73, 0x9B};
    EXPECT_EQ(rfc_crc32(swapped.data(), 7), 0x9D6994F7u);
    for (size_t byte = 0; byte < section.size(); ++byte) {
        for (int bit = 0; bit < 8; ++bit) {
            section[byte] ^= 1 << bit;
            EXPECT_NE(rfc_crc32(section.data(), 7), 0u) << byte << ':' << bit;
            section[byte] ^= 1 << bit;
        }
    }
}

TEST_F(Crc32, UpdateInPiecesEqualsOneCall) {
    const std::vector<uint8_t> data = bytes("The quick brown fox jumps over the lazy dog");
    const int n = static_cast<int>(data.size());
    for (int cut = 0; cut <= n; ++cut) {
        const uint32_t first = rfc_update_crc32(0xFFFFFFFFu, data.data(), cut);
        EXPECT_EQ(rfc_update_crc32(first, data.data() + cut, n - cut), rfc_crc32(data.data(), n));
    }
    EXPECT_EQ(rfc_update_crc32(0x12345678u, data.data(), 0), 0x12345678u);
}

TEST_F(Crc32, TableEntriesSeenThroughAZeroRegister) {
    // From a zero register one byte b yields table entry b.
    const uint8_t one = 0x01, all = 0xFF, zero = 0x00;
    EXPECT_EQ(rfc_update_crc32(0, &zero, 1), 0x00000000u);
    EXPECT_EQ(rfc_update_crc32(0, &one, 1), 0x04C11DB7u);
    EXPECT_EQ(rfc_update_crc32(0, &all, 1), 0xB1F740B4u);
}

// Bit by bit, straight from the polynomial: no table to share a fault with.
uint32_t bitwise_crc(const uint8_t* data, size_t len) {
    uint32_t r = 0xFFFFFFFFu;
    for (size_t i = 0; i < len; ++i) {
        r ^= uint32_t{data[i]} << 24;
        for (int bit = 0; bit < 8; ++bit) r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
    }
    return r;
}

// Every length and alignment around the eight-byte steps, on bytes that reach
// every table entry.
TEST_F(Crc32, AgreesWithTheBitwiseDefinition) {
    std::vector<uint8_t> data(1100);
    uint32_t seed = 1;
    for (uint8_t& b : data) b = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 16);
    for (size_t start = 0; start < 8; ++start) {
        for (size_t len = 0; len <= 40; ++len) {
            ASSERT_EQ(rfc_crc32(&data[start], static_cast<int32_t>(len)), bitwise_crc(&data[start], len))
                << start << '+' << len;
        }
    }
    EXPECT_EQ(rfc_crc32(data.data(), 1024), bitwise_crc(data.data(), 1024));
}

TEST_F(Crc32, SecondTableBuildChangesNothing) {
    const uint32_t before = rfc_crc32(bytes("123456789").data(), 9);
    rfc_make_crc32_table();
    EXPECT_EQ(rfc_crc32(bytes("123456789").data(), 9), before);
}

}  // namespace
