#include "plan.h"

namespace tsgen {

Program initial_program(int index) {
    Program p;
    p.index = index;
    p.number = static_cast<uint16_t>(0x0400 + 8 * index);
    p.pmt_pid = static_cast<uint16_t>(0x01F0 + index);
    p.video_pid = static_cast<uint16_t>(0x0100 + 0x10 * index);
    p.video_type = index % 2 == 0 ? 0x02 : 0x1B;
    p.audio_pid = static_cast<uint16_t>(0x0101 + 0x10 * index);
    p.ecm_pid = static_cast<uint16_t>(0x0180 + index);
    p.pmt_version = 0;
    return p;
}

int changed_pmt_program(int programs) { return programs > 1 ? 1 : 0; }

Program changed_program(int index, int programs) {
    Program p = initial_program(index);
    if (index == changed_pmt_program(programs)) p.pmt_pid = static_cast<uint16_t>(0x01E0 + index);
    if (index == 0) {
        p.pmt_version = 1;
        p.audio_pid = 0x0102;
    }
    return p;
}

}  // namespace tsgen
