#include "pes.h"

namespace tsb {

void put_timestamp(uint8_t* out, uint8_t prefix, uint64_t value, bool markers) {
    const uint8_t m = markers ? 1 : 0;
    out[0] = static_cast<uint8_t>((prefix & 0x0F) << 4 | ((value >> 30) & 7) << 1 | m);
    out[1] = static_cast<uint8_t>(value >> 22);
    out[2] = static_cast<uint8_t>(((value >> 15) & 0x7F) << 1 | m);
    out[3] = static_cast<uint8_t>(value >> 7);
    out[4] = static_cast<uint8_t>((value & 0x7F) << 1 | m);
}

Bytes pes_packet(const Pes& pes) {
    const bool has_dts = pes.pts && pes.dts;
    const uint8_t pts_dts_flags = has_dts ? 3 : pes.pts ? 2 : 0;
    const uint8_t header_length = has_dts ? 10 : pes.pts ? 5 : 0;

    Bytes out{0x00,         0x00, 0x01, pes.stream_id, 0, 0, 0x80, static_cast<uint8_t>(pts_dts_flags << 6),
              header_length};
    const size_t true_length = 3 + header_length + pes.data.size();
    const int length = pes.packet_length      ? *pes.packet_length
                       : true_length > 0xFFFF ? 0
                                              : static_cast<int>(true_length);
    out[4] = static_cast<uint8_t>(length >> 8);
    out[5] = static_cast<uint8_t>(length);

    const bool markers = !pes.break_markers;
    if (pes.pts) {
        out.resize(out.size() + 5);
        put_timestamp(&out[out.size() - 5], has_dts ? 3 : 2, *pes.pts, markers);
    }
    if (has_dts) {
        out.resize(out.size() + 5);
        put_timestamp(&out[out.size() - 5], 1, *pes.dts, markers);
    }
    append(out, pes.data);
    return out;
}

}  // namespace tsb
