// Present/following sections of the event information table (table_id 0x4E):
// a block for each section of the services concerned when it is first seen
// and again when its version changes, since the table repeats every second or
// two. A report names the present and following events of every service, or
// of its program's; an extraction the present event of its program.
#include "eit.h"

#include <cstdio>
#include <cstring>

#include "eit_internal.h"
#include "psi.h"
#include "psi_internal.h"

namespace {

constexpr int EIT_FIXED_BYTES = 14;  // up to the event loop
constexpr int CRC_BYTES = 4;
constexpr int EIT_MIN_SECTION_LENGTH = EIT_FIXED_BYTES + CRC_BYTES - 3;
constexpr int EVENT_FIXED_BYTES = 12;
constexpr int SERVICE_IDS = 0x10000;
constexpr int PRESENT_FOLLOWING = 2;  // section 0: present, 1: following

// Version of each service's present and following section last reported, -1 before the first.
int8_t Reported_version[SERVICE_IDS][PRESENT_FOLLOWING];

// The last intact section of each slot, by service and section number: the
// table comes round every second or two, and a section equal to its slot's
// copy needs no CRC.
constexpr int INTACT_SLOTS = 32;  // the top five bits of the hash
SECTION_COPY<EIT_SECTION_SIZE> Intact_sections[INTACT_SLOTS];

// Service ids often step by a power of two: the slot is taken from a hash.
bool is_intact(const uint8_t* section, int length) {
    const uint32_t key =
        length > 6 ? static_cast<uint32_t>(read_u16(section + 3) * PRESENT_FOLLOWING + section[6]) : 0;
    return crc_is_intact(Intact_sections[key * 0x9E3779B1u >> 27], section, length);
}

bool is_concerned(int service_id, int section_number) {
    if (section_number >= PRESENT_FOLLOWING) return false;
    if (Target_program_number != -1 && service_id != Target_program_number) return false;
    return Analyze_PSI_flag || section_number == 0;
}

// Events as far as the loop holds them whole; a descriptor loop that claims
// more than is left is cut at the loop's end.
void walk_events(const uint8_t* section, int length) {
    const int loop_end = length - CRC_BYTES;
    int at = EIT_FIXED_BYTES;
    if (at + EVENT_FIXED_BYTES > loop_end) print_no_event();
    while (at + EVENT_FIXED_BYTES <= loop_end) {
        const uint8_t* event = section + at;
        const int left = loop_end - at - EVENT_FIXED_BYTES;
        const int claimed = read_length12(event + 10);
        const int descriptors_length = claimed < left ? claimed : left;
        print_event(event, event + EVENT_FIXED_BYTES, descriptors_length);
        at += EVENT_FIXED_BYTES + descriptors_length;
    }
}

}  // namespace

void start_events() {
    std::memset(Reported_version, -1, sizeof Reported_version);
    for (SECTION_COPY<EIT_SECTION_SIZE>& copy : Intact_sections) copy.length = 0;
    start_eit_assembly();
}

void take_eit_section(const uint8_t* section, int length, const uint8_t* packet) {
    if (!is_intact(section, length)) {
        report_crc_failure("EIT", packet);
        return;
    }
    if (!check_min_length(section, EIT_MIN_SECTION_LENGTH, "EIT")) {
        std::fputc('\n', stdout);  // the other tables' messages run on; this one comes between them
        return;
    }
    const int service_id = read_u16(section + 3);
    const int section_number = section[6];
    if (!is_concerned(service_id, section_number)) return;
    const int version = read_version(section);
    int8_t& reported = Reported_version[service_id][section_number];
    if (reported == version) return;
    reported = static_cast<int8_t>(version);
    print_eit_head(service_id, version, section_number);
    walk_events(section, length);
    print_eit_end();
}
