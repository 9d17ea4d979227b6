// The programme now and next of each service, read from the present/following
// sections of the event information table on PID 0x0012 (-E, --events), and
// the fields of their events for whoever names or files a recording by them.
#ifndef TSNARROW_EIT_H
#define TSNARROW_EIT_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "filter.h"
#include "psi.h"

constexpr int EIT_PID = 0x0012;
constexpr int EIT_SECTION_SIZE = 4096;  // section_length at most 4093

// Forgets every section and version seen: the state before a first packet.
void start_events();

// Gathers the sections of one 188-byte packet on PID 0x0012 and takes those
// of the present/following table of the actual stream.
void collect_eit_packet(const uint8_t* packet);

// Any packet of the loop: only those on PID 0x0012 are looked at.
inline void note_eit_packet(const uint8_t* packet) {
    if (ts_packet_pid(packet) == EIT_PID) collect_eit_packet(packet);
}

// One whole section of table_id 0x4E, `length` bytes from its table_id to its
// CRC_32 (at most EIT_SECTION_SIZE), gathered by the time `packet` was read.
// A section of a service concerned whose version is new is printed under -E
// and handed to the split and the JSON document when they are on.
void take_eit_section(const uint8_t* section, int length, const uint8_t* packet);

// The fixed fields of a section taken (whole and intact).
inline int eit_service_id(const uint8_t* section) { return section[3] << 8 | section[4]; }
inline int eit_version(const uint8_t* section) { return (section[5] >> 1) & 0x1F; }
inline int eit_section_number(const uint8_t* section) { return section[6]; }

// One event of a section: its fixed fields, then its descriptor loop, cut
// at the section's end.
struct EIT_EVENT {
    int event_id;
    const uint8_t* start_time;  // 5 bytes: MJD, then hours, minutes, seconds in BCD (JST)
    const uint8_t* duration;    // 3 bytes: hours, minutes, seconds in BCD
    const uint8_t* descriptors;
    int descriptors_length;
};

// The events of a section taken, in loop order; *at starts at 0. False when
// no whole event is left.
bool next_eit_event(const uint8_t* section, int length, int* at, EIT_EVENT* event);

// A time field whose bytes are all ones is undefined.
bool eit_time_undefined(const uint8_t* field, int length);

struct CIVIL_DATE {
    int year;
    int month;
    int day;
};
CIVIL_DATE civil_date_of_mjd(int mjd);

// The short event descriptors of a loop, in order: event name and text; *at
// starts at 0. False when none is left.
bool next_short_event(const uint8_t* loop, int loop_length, int* at, ARIB_TEXT* name, ARIB_TEXT* text);

// The genres of the content descriptors of a loop, in order.
struct EIT_GENRES {
    const uint8_t* loop;
    int loop_length;
    int at;               // the next descriptor
    const uint8_t* body;  // of the content descriptor under way, null before the first
    int body_length;
    int next;  // its next genre
};
EIT_GENRES first_genres(const uint8_t* loop, int loop_length);
// content_nibble_level_1 and _2 of the next genre; false when none is left.
bool next_genre(EIT_GENRES* genres, int* level_1, int* level_2);
// The major genre of content_nibble_level_1.
const char* genre_name(int level_1);

// The items of the extended event descriptors of a loop, in order. An item
// with an empty description continues the one before it, in the same
// descriptor or the next: its text is joined to it, so that a character split
// between them comes out whole.
struct EIT_ITEMS {
    const uint8_t* loop;
    int loop_length;
    int at;                 // the next descriptor
    const uint8_t* body;    // of the extended event descriptor under way, null between them
    int items_end;          // its item loop's end
    int next;               // its next item
    ARIB_TEXT description;  // of the item being joined; bytes null when none is
    int joined;             // its text's bytes joined so far
};
EIT_ITEMS first_items(const uint8_t* loop, int loop_length);
// The next whole item: its description, and its text joined in a buffer that
// the next call reuses. False when none is left.
bool next_item(EIT_ITEMS* items, ARIB_TEXT* description, ARIB_TEXT* text);

// Where converted text goes, a piece at a time.
struct TEXT_SINK {
    void (*put)(void* context, const char* utf8, size_t length);
    void* context;
};

// ARIB STD-B24 text as UTF-8, from the converter's initial state, with each
// line break (0x0D) as '\n'. Where the text stops converting, U+FFFD stands
// for the rest.
void convert_arib_text(ARIB_TEXT text, TEXT_SINK sink);
// The same, appended to a string.
void convert_arib_text(ARIB_TEXT text, std::string* converted);

#endif
