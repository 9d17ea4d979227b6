// Splitting sections and PES packets over transport packets.
#ifndef TSBUILD_PACKETIZE_H
#define TSBUILD_PACKETIZE_H

#include <cstdint>
#include <optional>

#include "packet.h"
#include "types.h"

namespace tsb {

struct PsiOpts {
    // Bytes between the pointer_field and the section (the tail of an
    // earlier section); pointer_field is their count unless overridden.
    Bytes before;
    std::optional<int> pointer_field;
    // Adaptation field of the first packet (its fill flag is ignored).
    std::optional<AdaptationField> af;
};

// Carries a section (or several back to back) on pid: the first packet with
// payload_unit_start_indicator 1 and the pointer_field, then continuation
// packets with it 0; continuity_counter taken from cc and advanced per packet;
// unused bytes 0xFF.
Packets psi_packets(uint16_t pid, const Bytes& sections, uint8_t& cc, const PsiOpts& opts = {});

// Carries a PES packet on pid: payload_unit_start_indicator on the first
// packet, the PCR (if given, with random_access_indicator) in its adaptation
// field, the last packet filled up by adaptation field stuffing.
Packets pes_packets(uint16_t pid, const Bytes& pes, uint8_t& cc, std::optional<Pcr> pcr = std::nullopt);

}  // namespace tsb

#endif
