// PES packets with PTS and DTS.
#ifndef TSBUILD_PES_H
#define TSBUILD_PES_H

#include <cstdint>
#include <optional>

#include "types.h"

namespace tsb {

struct Pes {
    uint8_t stream_id = 0xE0;     // 0xE0.. video, 0xC0.. audio
    std::optional<uint64_t> pts;  // 33 bits, 90 kHz
    std::optional<uint64_t> dts;  // written only together with pts
    Bytes data;                   // elementary stream bytes
    // PES_packet_length written instead of the true one (which is 0 when the
    // packet is longer than 65535 bytes).
    std::optional<int> packet_length;
    // Clear every marker bit of the time stamps.
    bool break_markers = false;
};

// Five time stamp bytes: 4-bit prefix, value bits 32..30, marker, bits 29..15,
// marker, bits 14..0, marker.
void put_timestamp(uint8_t* out, uint8_t prefix, uint64_t value, bool markers = true);

// Start code, stream_id, PES_packet_length, the two flag bytes ('10' first,
// PTS_DTS_flags 3, 2 or 0), PES_header_data_length, PTS, DTS, data.
Bytes pes_packet(const Pes& pes);

}  // namespace tsb

#endif
