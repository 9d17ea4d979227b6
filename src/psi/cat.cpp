// CAT: the CA descriptor names the EMM stream, which then passes beside the
// target program.
#include <cstdio>

#include "psi.h"
#include "psi_internal.h"

namespace {

constexpr int CAT_TABLE_ID = 0x01;
constexpr int CAT_FIXED_BYTES = 8;
constexpr int CA_DESCRIPTOR_TAG = 0x09;
constexpr int CA_DESCRIPTOR_BYTES = 6;

// Walks the descriptor area. A CA descriptor with fewer than six bytes left
// before the CRC is not read, and ends the walk.
void take_ca_descriptors(const uint8_t* section, int section_length) {
    const int version = read_version(section);
    int pos = CAT_FIXED_BYTES;
    int remaining = section_length - 9;
    while (remaining > 0) {
        const uint8_t* descriptor = section + pos;
        const int len = descriptor[1];
        if (descriptor[0] == CA_DESCRIPTOR_TAG) {
            if (remaining < CA_DESCRIPTOR_BYTES) return;
            CA_info.CA_system_id = read_u16(descriptor + 2);
            if (version != CA_info.version) {
                stop_pid(CA_info.EMM_PID);
                CA_info.version = version;
                CA_info.EMM_PID = read_pid(descriptor + 4);
                pass_pid(CA_info.EMM_PID);
            }
        }
        pos += len + 2;
        remaining -= len + 2;
    }
}

void print_cat_report(const uint8_t* section) {
    print_title("CAT");
    if (CA_info.EMM_PID == -1) {
        std::fputs(" CAT Not Valid\n", stdout);
        return;
    }
    print_current_next("CAT", section);
    print_version(read_version(section));
    print_id_line(" CA_system_id : ", CA_info.CA_system_id);
    print_id_line(" EMM PID      : ", CA_info.EMM_PID);
    std::fputs("\n", stdout);
}

}  // namespace

void proc_cat(const uint8_t* data, const MPEG2_TS_HEADER* ts_header) {
    int kept_length = 0;
    const int offset = locate_single_section(data, ts_header, "CAT", CAT_TABLE_ID, &kept_length);
    if (offset < 0) return;
    const uint8_t* section = data + offset;
    if (!check_section_numbers(section, "CAT")) return;
    take_ca_descriptors(section, read_length12(section + 1));
    if (Analyze_PSI_flag) print_cat_report(section);
}
