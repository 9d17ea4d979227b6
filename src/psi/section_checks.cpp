// Checks shared by the table handlers. Every refusal prints one
// "%08llX: ... aborted." message without a line end and changes no state.
#include <cstdio>
#include <cstring>

#include "diag.h"
#include "psi.h"
#include "psi_internal.h"

namespace {
constexpr int SINGLE_SECTION_LIMIT = 180;  // section_length + kept adaptation field
constexpr int SECTION_HEADER_BYTES = 3;    // table_id and section_length
constexpr int PAT_CAT_MIN_SECTION_LENGTH = 9;

SECTION_MEMO Intact_sections[4];  // PAT, CAT, PMT, SDT
}  // namespace

int payload_offset(const uint8_t* packet, const MPEG2_TS_HEADER* header) {
    return (header->adaptation_field_control & 2) ? 5 + packet[4] : 4;
}

int kept_adaptation_length(const uint8_t* packet, const MPEG2_TS_HEADER* header) {
    if (!(header->adaptation_field_control & 2) || packet[4] == 0) return 0;
    return (packet[5] & 0x1F) ? packet[4] : 0;
}

int locate_single_section(const uint8_t* packet, const MPEG2_TS_HEADER* header, const char* name,
                          int table_id, int* kept_length) {
    if (!header->payload_unit_start_indicator) {
        std::printf("%08llX: Unit start indicator is not set, aborted.", PKT_count);
        return -1;
    }
    if (!(header->adaptation_field_control & 1)) {
        std::printf("%08llX: Payload does not exist, aborted.", PKT_count);
        return -1;
    }
    const int pointer_at = payload_offset(packet, header);
    const int offset = pointer_at < TS_PACKET_SIZE ? pointer_at + 1 + packet[pointer_at] : TS_PACKET_SIZE;
    if (offset > TS_PACKET_SIZE - SECTION_HEADER_BYTES) {
        std::printf("%08llX: %s section start is out of packet, aborted.", PKT_count, name);
        return -1;
    }
    const uint8_t* section = packet + offset;
    if (section[0] != table_id) {
        std::printf("%08llX: Invalid %s table id[%d], aborted.", PKT_count, name, section[0]);
        return -1;
    }
    const int section_length = read_length12(section + 1);
    *kept_length = kept_adaptation_length(packet, header);
    if (section_length + *kept_length > SINGLE_SECTION_LIMIT) {
        std::printf("%08llX: %s length is too long [%d+%d], aborted.", PKT_count, name, section_length,
                    *kept_length);
        return -1;
    }
    if (offset + section_length + SECTION_HEADER_BYTES > TS_PACKET_SIZE) {
        std::printf("%08llX: %s section runs past the packet, aborted.", PKT_count, name);
        return -1;
    }
    if (!check_section_crc(section, section_length + SECTION_HEADER_BYTES, name, packet)) return -1;
    if (!check_min_length(section, PAT_CAT_MIN_SECTION_LENGTH, name)) return -1;
    return offset;
}

bool take_collected_section(const uint8_t* packet, const MPEG2_TS_HEADER* header, const SECTION_USER& user) {
    if (!collect_section(packet, header, user)) return false;
    const uint8_t* section = user.buffer->data;
    return check_section_crc(section, user.buffer->length, user.name, packet) &&
           check_min_length(section, user.min_section_length, user.name) &&
           check_section_numbers(section, user.name);
}

bool check_min_length(const uint8_t* section, int min_section_length, const char* name) {
    const int section_length = read_length12(section + 1);
    if (section_length >= min_section_length) return true;
    std::printf("%08llX: %s length is too short [%d], aborted.", PKT_count, name, section_length);
    return false;
}

bool check_section_crc(const uint8_t* section, int length, const char* name, const uint8_t* packet) {
    if (crc_is_intact(Intact_sections[section[0] < 3 ? section[0] : 3], section, length)) return true;
    report_crc_failure(name, packet);
    return false;
}

void report_crc_failure(const char* name, const uint8_t* packet) {
    std::printf("%08llX: %s CRC32 is wrong, aborted.", PKT_count, name);
    debug_dump(packet, TS_PACKET_SIZE);
}

bool check_section_numbers(const uint8_t* section, const char* name) {
    if (section[6] == 0 && section[7] == 0) return true;
    std::printf("%08llX: %s section# is wrong section#:[%d], last#[%d], aborted.", PKT_count, name,
                section[6], section[7]);
    return false;
}
