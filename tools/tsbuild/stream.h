// A stream under construction: packets in order, one continuity counter per
// PID, written in 188- or 192-byte framing.
#ifndef TSBUILD_STREAM_H
#define TSBUILD_STREAM_H

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "packet.h"
#include "packetize.h"
#include "types.h"

namespace tsb {

class Stream {
  public:
    Stream& add(const Packet& packet);
    Stream& add(const Packets& packets);
    // A section (or several) on pid, continuing that PID's counter.
    Stream& psi(uint16_t pid, const Bytes& sections, const PsiOpts& opts = {});
    // A PES packet on pid, continuing that PID's counter.
    Stream& pes(uint16_t pid, const Bytes& pes_bytes, std::optional<Pcr> pcr = std::nullopt);
    Stream& nulls(size_t count);

    // The next continuity_counter of pid; assignable.
    uint8_t& cc(uint16_t pid) { return cc_[pid & 0x1FFF]; }

    const Packets& packets() const { return packets_; }
    Packets& packets() { return packets_; }
    size_t size() const { return packets_.size(); }

    // The whole stream; with framing 192 each packet gets the timestamp
    // first_timestamp + index * timestamp_step in front.
    Bytes bytes(size_t framing = kPacketSize) const;
    // Writes bytes(framing) to path; throws std::runtime_error on failure.
    void write(const std::string& path, size_t framing = kPacketSize) const;

    uint32_t first_timestamp = 0x01000000;
    uint32_t timestamp_step = 2030;  // about 20 Mbit/s in 27 MHz ticks

  private:
    Packets packets_;
    std::array<uint8_t, 8192> cc_{};
};

}  // namespace tsb

#endif
