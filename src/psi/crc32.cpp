// MPEG-2 section CRC-32: polynomial 0x04C11DB7, MSB first, preset 0xFFFFFFFF,
// no reflection and no final XOR. Over a section taken with its CRC field the
// result is 0 exactly when the section is intact.
#include "psi.h"

namespace {
uint32_t RFC_crc32_table[256];
bool initialized_crc32 = false;
constexpr uint32_t CRC32_POLYNOMIAL = 0x04C11DB7;
}  // namespace

void rfc_make_crc32_table() {
    if (initialized_crc32) return;
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t r = i << 24;
        for (int bit = 0; bit < 8; ++bit) r = (r & 0x80000000u) ? (r << 1) ^ CRC32_POLYNOMIAL : r << 1;
        RFC_crc32_table[i] = r;
    }
    initialized_crc32 = true;
}

uint32_t rfc_update_crc32(uint32_t crc, const uint8_t* data, int32_t len) {
    for (int32_t i = 0; i < len; ++i) crc = (crc << 8) ^ RFC_crc32_table[(crc >> 24) ^ data[i]];
    return crc;
}

uint32_t rfc_crc32(const uint8_t* data, int32_t len) { return rfc_update_crc32(0xFFFFFFFFu, data, len); }
