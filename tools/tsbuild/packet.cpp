#include "packet.h"

#include <algorithm>
#include <stdexcept>

namespace tsb {

void encode_pcr(uint8_t* out, const Pcr& pcr) {
    const uint64_t base = pcr.base & 0x1FFFFFFFFull;
    out[0] = static_cast<uint8_t>(base >> 25);
    out[1] = static_cast<uint8_t>(base >> 17);
    out[2] = static_cast<uint8_t>(base >> 9);
    out[3] = static_cast<uint8_t>(base >> 1);
    out[4] = static_cast<uint8_t>((base & 1) << 7 | 0x7E | ((pcr.extension >> 8) & 1));
    out[5] = static_cast<uint8_t>(pcr.extension);
}

namespace {

// Flag byte, PCR and extra bytes; empty when there is nothing to say, so that
// a stuffing-only field of length 0 can be built.
Bytes natural_body(const AdaptationField& af) {
    if (af.flags == 0 && !af.pcr && af.extra.empty()) return {};
    Bytes body{static_cast<uint8_t>(af.flags | (af.pcr ? 0x10 : 0))};
    if (af.pcr) {
        uint8_t pcr[6];
        encode_pcr(pcr, *af.pcr);
        body.insert(body.end(), pcr, pcr + 6);
    }
    append(body, af.extra);
    return body;
}

// Cuts or pads body to length bytes; a padded body always starts with the flag byte.
void fit_body(Bytes& body, size_t length, uint8_t flags) {
    if (length > 0 && body.empty()) body.push_back(flags);
    body.resize(length, 0xFF);
}

}  // namespace

size_t adaptation_size(const AdaptationField& af) {
    return 1 + (af.length ? (static_cast<size_t>(*af.length) & 0xFF) : natural_body(af).size());
}

Packet make_packet(const Header& header, const Bytes& payload, const std::optional<AdaptationField>& af) {
    Packet p;
    p.fill(0xFF);
    const int afc = header.afc >= 0 ? header.afc : ((af ? 2 : 0) | ((!payload.empty() || !af) ? 1 : 0));
    p[0] = 0x47;
    p[1] = static_cast<uint8_t>((header.error ? 0x80 : 0) | (header.unit_start ? 0x40 : 0) |
                                (header.priority ? 0x20 : 0) | ((header.pid >> 8) & 0x1F));
    p[2] = static_cast<uint8_t>(header.pid);
    p[3] = static_cast<uint8_t>((header.scrambling & 3) << 6 | (afc & 3) << 4 | (header.cc & 0x0F));

    size_t pos = 4;
    const bool forced = af && af->length.has_value();
    if (af) {
        Bytes body = natural_body(*af);
        size_t length = body.size();
        if (forced) {
            length = static_cast<size_t>(*af->length) & 0xFF;
        } else if (af->fill) {
            if (payload.size() > kPacketSize - 5)
                throw std::length_error("payload too long for a stuffed packet");
            length = kPacketSize - 5 - payload.size();
            if (length < body.size())
                throw std::length_error("adaptation field and payload exceed the packet");
        }
        fit_body(body, length, af->flags);
        p[4] = static_cast<uint8_t>(length);
        std::copy_n(body.begin(), std::min(body.size(), kPacketSize - 5), p.begin() + 5);
        pos = 5 + length;
    }
    if (pos >= kPacketSize) {
        if (!payload.empty() && !forced) throw std::length_error("no room for the payload");
        return p;
    }
    const size_t room = kPacketSize - pos;
    if (payload.size() > room && !forced) throw std::length_error("payload does not fit in the packet");
    std::copy_n(payload.begin(), std::min(room, payload.size()), p.begin() + static_cast<long>(pos));
    return p;
}

Packet null_packet() {
    Header h;
    h.pid = kNullPid;
    return make_packet(h);
}

Bytes timestamped(const Packet& packet, uint32_t timestamp) {
    Bytes out;
    out.reserve(kTimestampedSize);
    put32(out, timestamp);
    out.insert(out.end(), packet.begin(), packet.end());
    return out;
}

}  // namespace tsb
