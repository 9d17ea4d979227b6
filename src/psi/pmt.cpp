// PMT of the target program: enters its PCR, ECM and elementary PIDs into the
// pass table (replacing those of the previous version), keeps the stream list,
// enables output with the first PMT, and reports the table.
#include <algorithm>
#include <cstdio>

#include "psi.h"
#include "psi_internal.h"

namespace {

constexpr int PMT_TABLE_ID = 0x02;
constexpr int PMT_FIXED_BYTES = 12;  // up to program_info
constexpr int CRC_BYTES = 4;
constexpr int PMT_MIN_SECTION_LENGTH = PMT_FIXED_BYTES + CRC_BYTES - 3;
constexpr int CA_DESCRIPTOR_TAG = 0x09;
constexpr int CA_DESCRIPTOR_BYTES = 6;  // tag, length, CA_system_ID, CA_PID

const SECTION_USER PMT_USER = {&PMT_sec_buff,
                               PMT_TABLE_ID,
                               "%08llX: Payload does not exists, aborted.",
                               "%08llX: Invalid PMT table id[%d], aborted.",
                               "PMT",
                               PMT_MIN_SECTION_LENGTH};

// The first CA descriptor of program_info names the ECM stream. The walk ends
// at an empty descriptor, and where a descriptor would reach past program_info
// (or past the section's CRC, whichever comes first).
void take_ca_descriptor(const uint8_t* info, int info_length, bool is_new) {
    int pos = 0;
    while (pos + 2 <= info_length) {
        const int tag = info[pos];
        const int len = info[pos + 1];
        if (tag == CA_DESCRIPTOR_TAG) {
            if (pos + CA_DESCRIPTOR_BYTES > info_length) return;
            const int ca_system_id = read_u16(info + pos + 2);
            const int ecm_pid = read_pid(info + pos + 4);
            if (is_new) stop_pid(CA_info.ECM_PID);
            CA_info.CA_system_id = ca_system_id;
            CA_info.ECM_PID = ecm_pid;
            if (is_new) pass_pid(ecm_pid);
            return;
        }
        if (len == 0) return;
        pos += len + 2;
    }
}

void take_streams(const uint8_t* section, int length, int info_length, bool is_new, bool version_change) {
    if (version_change) {
        for (uint32_t i = 0; i < Number_of_program; ++i) stop_pid(STRM_PID[i]);
    }
    // An entry cut short by the CRC is still read, from the CRC's bytes; it
    // never reaches past the section.
    int p = PMT_FIXED_BYTES + info_length;
    int remaining = length - PMT_FIXED_BYTES - CRC_BYTES - info_length;
    uint32_t i = 0;
    while (remaining > 0) {
        const uint8_t* entry = section + p;
        STRM_TYPE[i] = entry[0];
        STRM_PID[i] = read_pid(entry + 1);
        if (is_new) pass_pid(STRM_PID[i]);
        const int step = 5 + read_length12(entry + 3);
        p += step;
        remaining -= step;
        ++i;
    }
    Number_of_program = i;
}

void print_pmt_report(const uint8_t* section) {
    print_title("PMT");
    print_current_next("PMT", section);
    print_version(read_version(section));
    print_id_line(" Program#     : ", read_u16(section + 3));
    print_id_line(" PCR PID      : ", read_pid(section + 8));
    if (CA_info.ECM_PID != -1) print_id_line(" ECM PID      : ", CA_info.ECM_PID);
    for (uint32_t i = 0; i < Number_of_program; ++i) {
        print_separator();
        print_id_line("   stream PID : ", STRM_PID[i]);
        std::printf("   type       : %02d: %s\n", STRM_TYPE[i], stream_type_name(STRM_TYPE[i]));
    }
    std::fputs("\n", stdout);
}

}  // namespace

void proc_pmt(const uint8_t* data, const MPEG2_TS_HEADER* ts_header) {
    if (!take_collected_section(data, ts_header, PMT_USER)) return;
    const uint8_t* section = PMT_sec_buff.data;
    const int length = PMT_sec_buff.length;

    const int version = read_version(section);
    const int old_version = PMT_version;
    const bool is_new = version != old_version;
    const bool version_change = is_new && old_version != -1;
    const int pcr_pid = read_pid(section + 8);
    const int info_length = read_length12(section + 10);
    if (is_new) {
        if (old_version == -1) {
            Output_enable = 1;
        } else {
            stop_pid(PCR_PID);
        }
        pass_pid(pcr_pid);
        PCR_PID = pcr_pid;
    }
    if (info_length > 0) {
        const int info_room = length - PMT_FIXED_BYTES - CRC_BYTES;
        take_ca_descriptor(section + PMT_FIXED_BYTES, std::min(info_length, info_room), is_new);
    }
    take_streams(section, length, info_length, is_new, version_change);
    PMT_version = version;
    if (Analyze_PSI_flag) print_pmt_report(section);
}
