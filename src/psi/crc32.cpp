// MPEG-2 section CRC-32: polynomial 0x04C11DB7, MSB first, preset 0xFFFFFFFF,
// no reflection and no final XOR. Over a section taken with its CRC field the
// result is 0 exactly when the section is intact.
//
// Every PSI section of the stream is checked, so the CRC runs eight bytes a
// step ("slicing by 8"): table k holds the register contribution of a byte
// followed by k zero bytes, and eight lookups replace eight dependent steps.
#include "psi.h"

namespace {
constexpr int SLICES = 8;
uint32_t RFC_crc32_table[SLICES][256];  // [0] is the classic one-byte table
bool initialized_crc32 = false;
constexpr uint32_t CRC32_POLYNOMIAL = 0x04C11DB7;

inline uint32_t update_byte(uint32_t crc, uint8_t byte) {
    return (crc << 8) ^ RFC_crc32_table[0][(crc >> 24) ^ byte];
}
}  // namespace

void rfc_make_crc32_table() {
    if (initialized_crc32) return;
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t r = i << 24;
        for (int bit = 0; bit < 8; ++bit) r = (r & 0x80000000u) ? (r << 1) ^ CRC32_POLYNOMIAL : r << 1;
        RFC_crc32_table[0][i] = r;
    }
    for (int k = 1; k < SLICES; ++k) {
        for (int i = 0; i < 256; ++i) {
            RFC_crc32_table[k][i] = update_byte(RFC_crc32_table[k - 1][i], 0);
        }
    }
    initialized_crc32 = true;
}

uint32_t rfc_update_crc32(uint32_t crc, const uint8_t* data, int32_t len) {
    const uint32_t(&t)[SLICES][256] = RFC_crc32_table;
    for (; len >= SLICES; len -= SLICES, data += SLICES) {
        const uint32_t x =
            crc ^ (uint32_t{data[0]} << 24 | uint32_t{data[1]} << 16 | uint32_t{data[2]} << 8 | data[3]);
        crc = t[7][x >> 24] ^ t[6][(x >> 16) & 0xFF] ^ t[5][(x >> 8) & 0xFF] ^ t[4][x & 0xFF] ^
              t[3][data[4]] ^ t[2][data[5]] ^ t[1][data[6]] ^ t[0][data[7]];
    }
    for (int32_t i = 0; i < len; ++i) crc = update_byte(crc, data[i]);
    return crc;
}

uint32_t rfc_crc32(const uint8_t* data, int32_t len) { return rfc_update_crc32(0xFFFFFFFFu, data, len); }
