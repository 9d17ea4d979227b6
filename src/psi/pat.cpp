// PAT: finds the target program's PMT PID, reports the table, and rewrites
// every PAT packet into one that lists the network entry and the target alone.
#include <cstdio>
#include <cstring>

#include "psi.h"
#include "psi_internal.h"

namespace {

constexpr int PAT_TABLE_ID = 0x00;
constexpr int MAX_TAKEN_PROGRAMS = 31;
constexpr int REWRITTEN_PAT_BYTES = 21;  // pointer_field and a 20-byte section
constexpr int NETWORK_PID = 0x0010;

int entry_count(int section_length) {
    const int n = (section_length - 9) / 4;
    return n > 0 ? n : 0;
}

// Takes the entries of a new PAT version. False when an entry names PID 0;
// the entries before it have then been copied, nothing else has changed.
bool take_new_version(const uint8_t* section, int count) {
    int found = -1;
    for (int i = 0; i < count; ++i) {
        const uint8_t* entry = section + 8 + 4 * i;
        const int program_number = read_u16(entry);
        const int pid = read_pid(entry + 2);
        if (pid == 0) {
            std::printf("%08llX: PID of PMT is zero. aborted.", PKT_count);
            return false;
        }
        PAT_info.program_number[i] = program_number;
        PAT_info.pmt_pid[i] = pid;
        if (program_number == Target_program_number) found = pid;
    }
    PAT_info.program_count = count;
    stop_pid(PMT_PID);
    PAT_info.version = read_version(section);
    PMT_PID = found;
    pass_pid(found);
    PAT_info.transport_stream_id = read_u16(section + 3);
    return true;
}

void print_pat_report(const uint8_t* section) {
    print_title("PAT");
    print_current_next("PAT", section);
    print_version(read_version(section));
    print_id_line(" Transport ID : ", read_u16(section + 3));
    for (int i = 0; i < PAT_info.program_count; ++i) {
        print_separator();
        print_id_line("   Program#   : ", PAT_info.program_number[i]);
        print_id_line("     PID      : ", PAT_info.pmt_pid[i]);
    }
    std::fputs("\n", stdout);
}

// Rewrites the packet's payload into a PAT of the network entry and the
// target program. A kept adaptation field stays; any other is overwritten.
void rewrite_single_program(uint8_t* packet, const uint8_t* section, int kept_length) {
    int at = 4;
    if (kept_length > 0) {
        at = 5 + kept_length;
        if (at + REWRITTEN_PAT_BYTES > TS_PACKET_SIZE) return;  // no room: the packet stays as it came
    }
    const int transport_stream_id = read_u16(section + 3);
    const uint8_t version_byte = 0xC1 | (read_version(section) << 1);
    if (kept_length == 0) packet[3] &= ~0x20;
    const uint8_t pat[REWRITTEN_PAT_BYTES] = {
        0x00,  // pointer_field
        PAT_TABLE_ID,
        0xB0,
        0x11,  // section_length 17
        static_cast<uint8_t>(transport_stream_id >> 8),
        static_cast<uint8_t>(transport_stream_id),
        version_byte,
        0x00,
        0x00,  // section_number, last_section_number
        0x00,
        0x00,
        0xE0 | (NETWORK_PID >> 8),
        NETWORK_PID & 0xFF,
        static_cast<uint8_t>(Target_program_number >> 8),
        static_cast<uint8_t>(Target_program_number),
        static_cast<uint8_t>(0xE0 | (PMT_PID >> 8)),
        static_cast<uint8_t>(PMT_PID),
    };
    uint8_t* out = packet + at;
    std::memcpy(out, pat, 17);
    const uint32_t crc = rfc_crc32(out + 1, 16);
    out[17] = crc >> 24;
    out[18] = crc >> 16;
    out[19] = crc >> 8;
    out[20] = crc;
    std::memset(out + REWRITTEN_PAT_BYTES, 0xFF, TS_PACKET_SIZE - at - REWRITTEN_PAT_BYTES);
}

}  // namespace

void proc_pat(uint8_t* data, const MPEG2_TS_HEADER* ts_header) {
    int kept_length = 0;
    const int offset = locate_single_section(data, ts_header, "PAT", PAT_TABLE_ID, &kept_length);
    if (offset < 0) return;
    const uint8_t* section = data + offset;
    const int section_length = read_length12(section + 1);
    const int count = entry_count(section_length);
    if (count > MAX_TAKEN_PROGRAMS) {
        std::printf("%08llX: PAT length is too long [%d], aborted.", PKT_count, section_length);
        return;
    }
    if (!check_section_numbers(section, "PAT")) return;
    if (read_version(section) != PAT_info.version && !take_new_version(section, count)) return;
    if (Analyze_PSI_flag) print_pat_report(section);
    if (PMT_PID != -1) rewrite_single_program(data, section, kept_length);
}
