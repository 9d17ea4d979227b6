// Present/following sections of the event information table (table_id 0x4E):
// a block for each section of the services concerned when it is first seen
// and again when its version changes, since the table repeats every second or
// two. A report names the present and following events of every service, or
// of its program's; an extraction the present event of its program.
#include "eit.h"

#include <cstdio>
#include <cstring>

#include "eit_internal.h"
#include "json.h"
#include "psi.h"
#include "psi_internal.h"
#include "split.h"

namespace {

constexpr int EIT_FIXED_BYTES = 14;  // up to the event loop
constexpr int CRC_BYTES = 4;
constexpr int EIT_MIN_SECTION_LENGTH = EIT_FIXED_BYTES + CRC_BYTES - 3;
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

}  // namespace

void start_events() {
    std::memset(Reported_version, -1, sizeof Reported_version);
    for (SECTION_COPY<EIT_SECTION_SIZE>& copy : Intact_sections) copy.length = 0;
    start_eit_assembly();
}

void take_eit_section(const uint8_t* section, int length, const uint8_t* packet) {
    // Refusals are part of what -E prints. Unlike the other tables' messages,
    // they end their line, as they come between the other texts of a run.
    if (!is_intact(section, length)) {
        if (Events_flag) report_crc_failure("EIT", packet);
        return;
    }
    const int section_length = read_length12(section + 1);
    if (section_length < EIT_MIN_SECTION_LENGTH) {
        if (Events_flag)
            std::printf("%08llX: EIT length is too short [%d], aborted.\n", PKT_count, section_length);
        return;
    }
    const int service_id = eit_service_id(section);
    const int section_number = eit_section_number(section);
    if (!is_concerned(service_id, section_number)) return;
    const int version = eit_version(section);
    int8_t& reported = Reported_version[service_id][section_number];
    if (reported == version) return;
    reported = static_cast<int8_t>(version);
    if (Events_flag) print_eit_block(section, length);
    if (Json_path) log_eit_block(section, length);
    if (Split_flag) take_present_event(section, length);
}
