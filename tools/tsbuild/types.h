// Basic types of the stream builder: byte strings and 188-byte packets.
#ifndef TSBUILD_TYPES_H
#define TSBUILD_TYPES_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tsb {

using Bytes = std::vector<uint8_t>;

constexpr size_t kPacketSize = 188;
constexpr size_t kTimestampedSize = 192;
constexpr uint16_t kNullPid = 0x1FFF;

using Packet = std::array<uint8_t, kPacketSize>;
using Packets = std::vector<Packet>;

// Appends tail to out.
inline void append(Bytes& out, const Bytes& tail) {
    out.reserve(out.size() + tail.size());
    out.insert(out.end(), tail.begin(), tail.end());
}

// Appends value most significant byte first.
inline void put16(Bytes& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value));
}

inline void put32(Bytes& out, uint32_t value) {
    put16(out, static_cast<uint16_t>(value >> 16));
    put16(out, static_cast<uint16_t>(value));
}

}  // namespace tsb

#endif
