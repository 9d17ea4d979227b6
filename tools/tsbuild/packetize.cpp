#include "packetize.h"

#include <algorithm>

namespace tsb {
namespace {

Header header_for(uint16_t pid, bool unit_start, uint8_t& cc) {
    Header h;
    h.pid = pid;
    h.unit_start = unit_start;
    h.cc = cc;
    cc = (cc + 1) & 0x0F;
    return h;
}

Bytes slice(const Bytes& data, size_t from, size_t count) {
    return Bytes(data.begin() + static_cast<long>(from), data.begin() + static_cast<long>(from + count));
}

}  // namespace

Packets psi_packets(uint16_t pid, const Bytes& sections, uint8_t& cc, const PsiOpts& opts) {
    Bytes payload{static_cast<uint8_t>(opts.pointer_field.value_or(static_cast<int>(opts.before.size())))};
    append(payload, opts.before);
    append(payload, sections);

    std::optional<AdaptationField> af = opts.af;
    if (af) af->fill = false;
    const size_t first_room = kPacketSize - 4 - (af ? std::min(adaptation_size(*af), kPacketSize - 4) : 0);

    Packets out;
    size_t pos = std::min(first_room, payload.size());
    out.push_back(make_packet(header_for(pid, true, cc), slice(payload, 0, pos), af));
    while (pos < payload.size()) {
        const size_t n = std::min(kPacketSize - 4, payload.size() - pos);
        out.push_back(make_packet(header_for(pid, false, cc), slice(payload, pos, n)));
        pos += n;
    }
    return out;
}

Packets pes_packets(uint16_t pid, const Bytes& pes, uint8_t& cc, std::optional<Pcr> pcr) {
    Packets out;
    size_t pos = 0;
    do {
        const bool first = out.empty();
        std::optional<AdaptationField> af;
        if (first && pcr) {
            af = AdaptationField{};
            af->flags = 0x40;
            af->pcr = pcr;
        }
        const size_t room = kPacketSize - 4 - (af ? adaptation_size(*af) : 0);
        const size_t n = std::min(room, pes.size() - pos);
        if (n < room) {
            if (!af) af = AdaptationField{};
            af->fill = true;
        }
        out.push_back(make_packet(header_for(pid, first, cc), slice(pes, pos, n), af));
        pos += n;
    } while (pos < pes.size());
    return out;
}

}  // namespace tsb
