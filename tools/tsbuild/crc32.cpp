#include "crc32.h"

#include <array>

namespace tsb {
namespace {

std::array<uint32_t, 256> make_table() {
    std::array<uint32_t, 256> table{};
    for (uint32_t byte = 0; byte < 256; ++byte) {
        uint32_t crc = byte << 24;
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
        table[byte] = crc;
    }
    return table;
}

}  // namespace

uint32_t crc32(const uint8_t* data, size_t size) {
    static const std::array<uint32_t, 256> table = make_table();
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) crc = (crc << 8) ^ table[((crc >> 24) ^ data[i]) & 0xFF];
    return crc;
}

}  // namespace tsb
