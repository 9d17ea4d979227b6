// The MPEG-2 section CRC-32: polynomial 0x04C11DB7, most significant bit
// first, initial value 0xFFFFFFFF, no reflection, no final inversion.
#ifndef TSBUILD_CRC32_H
#define TSBUILD_CRC32_H

#include <cstddef>
#include <cstdint>

#include "types.h"

namespace tsb {

// CRC of size bytes; over an intact section taken with its CRC_32 it is 0.
uint32_t crc32(const uint8_t* data, size_t size);
inline uint32_t crc32(const Bytes& data) { return crc32(data.data(), data.size()); }

}  // namespace tsb

#endif
