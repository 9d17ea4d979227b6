// Read-only view of a transport stream file in 188- or 192-byte framing.
#ifndef TSCHECK_TS_VIEW_H
#define TSCHECK_TS_VIEW_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tscheck {

class TsView {
  public:
    // Framing from the sync bytes of the first two packets; 0 when neither fits.
    explicit TsView(const std::vector<uint8_t>& data);

    size_t framing() const { return framing_; }
    size_t count() const { return count_; }
    const uint8_t* packet(size_t i) const { return data_ + i * framing_ + (framing_ == 192 ? 4 : 0); }
    uint32_t timestamp(size_t i) const;

  private:
    const uint8_t* data_;
    size_t framing_ = 0;
    size_t count_ = 0;
};

inline uint16_t pid_of(const uint8_t* p) { return static_cast<uint16_t>((p[1] & 0x1F) << 8 | p[2]); }
inline bool unit_start(const uint8_t* p) { return (p[1] & 0x40) != 0; }
inline bool has_payload(const uint8_t* p) { return (p[3] & 0x10) != 0; }
inline bool has_adaptation(const uint8_t* p) { return (p[3] & 0x20) != 0; }
inline uint8_t cc_of(const uint8_t* p) { return p[3] & 0x0F; }
// discontinuity_indicator of a non-empty adaptation field.
inline bool discontinuity(const uint8_t* p) { return has_adaptation(p) && p[4] > 0 && (p[5] & 0x80) != 0; }

}  // namespace tscheck

#endif
