// Sections of PID 0x0012, gathered across packets. The PID carries a flood of
// tables (schedules 0x50-0x6F, other streams' 0x4F) besides the
// present/following sections of this stream (0x4E): those others are stepped
// over as they come, never copied. Several sections may follow one another in
// a packet, a section may span many packets, and 0xFF where a section would
// start is stuffing up to the packet's end. A lost packet, a damaged one or a
// new unit start before the end leaves the section under way unfinished: it
// is dropped.
#include <cstdio>
#include <cstring>

#include "eit.h"
#include "eit_internal.h"

namespace {

constexpr uint8_t PRESENT_FOLLOWING_TABLE_ID = 0x4E;
constexpr uint8_t STUFFING = 0xFF;
constexpr int SECTION_HEADER_BYTES = 3;
constexpr uint8_t CC_UNSEEN = 0x10;

enum SECTION_STATE : uint8_t { NO_SECTION, GATHERING, STEPPING_OVER };

struct EIT_ASSEMBLY {
    uint8_t data[EIT_SECTION_SIZE];  // the section gathered, from its table_id on
    int32_t seen;                    // bytes of the section under way met so far
    int32_t total;                   // its section_length + 3, once its header is met
    SECTION_STATE state;
    uint8_t header[SECTION_HEADER_BYTES];  // table_id and section_length, which may lie in two packets
    uint8_t last_cc;                       // counter of the last payload packet, or CC_UNSEEN
};

EIT_ASSEMBLY Eit;

void drop_section() { Eit.state = NO_SECTION; }

void begin_section(uint8_t table_id) {
    Eit.state = table_id == PRESENT_FOLLOWING_TABLE_ID ? GATHERING : STEPPING_OVER;
    Eit.seen = 0;
    Eit.total = SECTION_HEADER_BYTES;  // until section_length is read
}

// The header's three bytes are whole: the section's size is known. A section
// too long to hold is stepped over like the foreign ones, with a word, as it
// is ours: on a line of its own, as it comes between the lines of a report.
void take_header() {
    const int section_length = (Eit.header[1] & 0x0F) << 8 | Eit.header[2];
    Eit.total = SECTION_HEADER_BYTES + section_length;
    if (Eit.state != GATHERING) return;
    if (Eit.total > EIT_SECTION_SIZE) {
        if (Events_flag)
            std::printf("%08llX: EIT length is too long [%d], aborted.\n", PKT_count, section_length);
        Eit.state = STEPPING_OVER;
        return;
    }
    std::memcpy(Eit.data, Eit.header, SECTION_HEADER_BYTES);
}

// Takes the bytes of the section under way from `bytes`, up to its end;
// returns how many it took. A section of ours that ends here is handed over.
int continue_section(const uint8_t* bytes, int count, const uint8_t* packet) {
    int taken = 0;
    if (Eit.seen < SECTION_HEADER_BYTES) {
        while (Eit.seen < SECTION_HEADER_BYTES && taken < count) Eit.header[Eit.seen++] = bytes[taken++];
        if (Eit.seen < SECTION_HEADER_BYTES) return taken;
        take_header();
    }
    const int wanted = Eit.total - Eit.seen;
    const int step = count - taken < wanted ? count - taken : wanted;
    if (Eit.state == GATHERING) std::memcpy(Eit.data + Eit.seen, bytes + taken, step);
    Eit.seen += step;
    taken += step;
    if (Eit.seen == Eit.total) {
        if (Eit.state == GATHERING) take_eit_section(Eit.data, Eit.total, packet);
        drop_section();
    }
    return taken;
}

// A payload packet whose counter does not follow the last one's has lost
// packets in between (or is the repeat of the last, which adds nothing).
// Returns false for a packet to be left out.
bool follows_on(const uint8_t* packet) {
    const uint8_t cc = packet[3] & 0x0F;
    if (cc == Eit.last_cc) return false;
    if (Eit.last_cc != CC_UNSEEN && cc != ((Eit.last_cc + 1) & 0x0F)) drop_section();
    Eit.last_cc = cc;
    return true;
}

}  // namespace

void start_eit_assembly() {
    Eit.state = NO_SECTION;
    Eit.last_cc = CC_UNSEEN;
}

void collect_eit_packet(const uint8_t* packet) {
    if (packet[0] != SYNC_BYTE || (packet[1] & 0x80)) {
        // A damaged packet: what it carried is lost, and its counter unknown.
        drop_section();
        Eit.last_cc = CC_UNSEEN;
        return;
    }
    const int control = (packet[3] >> 4) & 3;
    if (!(control & 1) || !follows_on(packet)) return;  // no payload: the counter stays
    const int payload_at = (control & 2) ? 5 + packet[4] : 4;
    const bool unit_start = packet[1] & 0x40;
    if (payload_at >= TS_PACKET_SIZE ||
        (unit_start && payload_at + 1 + packet[payload_at] > TS_PACKET_SIZE)) {
        drop_section();
        return;
    }
    int at = payload_at;
    if (unit_start) {
        // The bytes before the pointer_field's target end the section under way.
        const int pointer = packet[at++];
        if (Eit.state != NO_SECTION) {
            continue_section(packet + at, pointer, packet);
            drop_section();  // it should have ended there
        }
        at += pointer;
    } else if (Eit.state != NO_SECTION) {
        at += continue_section(packet + at, TS_PACKET_SIZE - at, packet);
    } else {
        return;  // the middle of a section not followed
    }
    // Sections that start here, back to back (also after the end of one in a
    // packet without unit start, which some multiplexers write).
    while (at < TS_PACKET_SIZE && packet[at] != STUFFING) {
        begin_section(packet[at]);
        at += continue_section(packet + at, TS_PACKET_SIZE - at, packet);
    }
}
