#include "stream.h"

#include <cstdio>
#include <memory>
#include <stdexcept>

namespace tsb {

Stream& Stream::add(const Packet& packet) {
    packets_.push_back(packet);
    return *this;
}

Stream& Stream::add(const Packets& packets) {
    packets_.insert(packets_.end(), packets.begin(), packets.end());
    return *this;
}

Stream& Stream::psi(uint16_t pid, const Bytes& sections, const PsiOpts& opts) {
    return add(psi_packets(pid, sections, cc(pid), opts));
}

Stream& Stream::pes(uint16_t pid, const Bytes& pes_bytes, std::optional<Pcr> pcr) {
    return add(pes_packets(pid, pes_bytes, cc(pid), pcr));
}

Stream& Stream::nulls(size_t count) {
    packets_.insert(packets_.end(), count, null_packet());
    return *this;
}

Bytes Stream::bytes(size_t framing) const {
    if (framing != kPacketSize && framing != kTimestampedSize)
        throw std::invalid_argument("framing is 188 or 192");
    Bytes out;
    out.reserve(packets_.size() * framing);
    uint32_t timestamp = first_timestamp;
    for (const Packet& p : packets_) {
        if (framing == kTimestampedSize) {
            put32(out, timestamp);
            timestamp += timestamp_step;
        }
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

void Stream::write(const std::string& path, size_t framing) const {
    const Bytes data = bytes(framing);
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!f || std::fwrite(data.data(), 1, data.size(), f.get()) != data.size() || std::fflush(f.get()) != 0)
        throw std::runtime_error("cannot write " + path);
}

}  // namespace tsb
