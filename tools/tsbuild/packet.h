// Transport packets: header, adaptation field, payload, null packets and the
// 192-byte timestamped framing.
#ifndef TSBUILD_PACKET_H
#define TSBUILD_PACKET_H

#include <cstdint>
#include <optional>

#include "types.h"

namespace tsb {

// Program clock reference: 33-bit base (90 kHz) and 9-bit extension (0..299).
struct Pcr {
    uint64_t base = 0;
    uint16_t extension = 0;

    // The clock in 27 MHz units: base * 300 + extension.
    uint64_t ticks() const { return base * 300 + extension; }
    static Pcr from_ticks(uint64_t ticks_27mhz) {
        return Pcr{(ticks_27mhz / 300) & 0x1FFFFFFFFull, static_cast<uint16_t>(ticks_27mhz % 300)};
    }
};

// Writes the six PCR bytes: base, 6 reserved bits (all ones), extension.
void encode_pcr(uint8_t* out, const Pcr& pcr);

struct AdaptationField {
    // Flag byte as written (discontinuity 0x80, random_access 0x40, ES priority
    // 0x20, PCR 0x10, OPCR 0x08, splicing 0x04, private data 0x02, extension
    // 0x01). PCR_flag is added when pcr is set.
    uint8_t flags = 0;
    std::optional<Pcr> pcr;
    // Written verbatim after the PCR (OPCR, splice countdown, private data...).
    Bytes extra;
    // Grow the field with 0xFF stuffing so that the payload ends at byte 187.
    bool fill = false;
    // adaptation_field_length written instead of the computed one, for
    // malformed packets: the body is cut or padded with 0xFF to this length,
    // and the payload (if any) follows at 5 + length, cut at byte 187.
    std::optional<int> length;
};

struct Header {
    uint16_t pid = 0;
    bool error = false;       // transport_error_indicator
    bool unit_start = false;  // payload_unit_start_indicator
    bool priority = false;    // transport_priority
    uint8_t scrambling = 0;   // transport_scrambling_control, 2 bits
    // adaptation_field_control, 2 bits; -1 derives it from what is present
    // (adaptation bit when an adaptation field is given, payload bit when
    // there is a payload or no adaptation field).
    int afc = -1;
    uint8_t cc = 0;  // continuity_counter, 4 bits
};

// Bytes the field takes in a packet, its length byte included, as laid out
// without fill (the forced length when one is set).
size_t adaptation_size(const AdaptationField& af);

// One packet: header, the adaptation field when given, the payload, then 0xFF
// up to byte 187. Throws std::length_error when the payload does not fit,
// unless af->length forces the layout.
Packet make_packet(const Header& header, const Bytes& payload = {},
                   const std::optional<AdaptationField>& af = std::nullopt);

// 0x47 0x1F 0xFF 0x10 followed by 184 bytes of 0xFF.
Packet null_packet();

// A 192-byte record: the 4-byte timestamp (most significant byte first)
// followed by the packet.
Bytes timestamped(const Packet& packet, uint32_t timestamp);

// Header fields read back from a packet.
inline uint16_t pid_of(const Packet& p) { return static_cast<uint16_t>((p[1] & 0x1F) << 8 | p[2]); }
inline uint8_t cc_of(const Packet& p) { return p[3] & 0x0F; }
inline bool unit_start_of(const Packet& p) { return (p[1] & 0x40) != 0; }

}  // namespace tsb

#endif
