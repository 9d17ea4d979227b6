#include "ts_view.h"

namespace tscheck {

TsView::TsView(const std::vector<uint8_t>& data) : data_(data.data()) {
    const size_t n = data.size();
    auto sync_at = [&](size_t at) { return at >= n || data[at] == 0x47; };
    if (n >= 188 && data[0] == 0x47 && sync_at(188)) {
        framing_ = 188;
    } else if (n >= 192 && data[4] == 0x47 && sync_at(196)) {
        framing_ = 192;
    }
    if (framing_ != 0) count_ = n / framing_;
}

uint32_t TsView::timestamp(size_t i) const {
    const uint8_t* t = data_ + i * framing_;
    return static_cast<uint32_t>(t[0]) << 24 | t[1] << 16 | t[2] << 8 | t[3];
}

}  // namespace tscheck
