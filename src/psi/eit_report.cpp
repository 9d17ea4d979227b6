// The printed block of an EIT section: one field a line, "   Label: value",
// so that scripts can name and file a recording by its programme. Titles,
// texts and items go through the ARIB converter, each from its initial state.
#include <cstdio>
#include <cstring>

#include "eit.h"
#include "eit_internal.h"
#include "psi_internal.h"

namespace {

constexpr int SHORT_EVENT_TAG = 0x4D;
constexpr int EXTENDED_EVENT_TAG = 0x4E;
constexpr int CONTENT_TAG = 0x54;

// Major genres, content_nibble_level_1 0x0 to 0xF.
const char* const GENRE_NAMES[16] = {"News/Report",
                                     "Sports",
                                     "Information/Tabloid show",
                                     "Drama",
                                     "Music",
                                     "Variety",
                                     "Movies",
                                     "Animation/Special effects",
                                     "Documentary/Culture",
                                     "Theatre/Public performance",
                                     "Hobby/Education",
                                     "Welfare",
                                     "reserved",
                                     "reserved",
                                     "Extension",
                                     "Others"};

// An extended item's bytes, joined across the descriptors it is split over.
// The items of a section are distinct stretches of its 4096 bytes at most, so
// whatever is joined fits.
uint8_t Joined_item[EIT_SECTION_SIZE];

void put_label(const char* label) {
    std::fputs("   ", stdout);
    std::fputs(label, stdout);
    std::fputs(": ", stdout);
}

void print_text_field(const char* label, const uint8_t* text, int length) {
    put_label(label);
    print_arib_text(text, length);
    std::fputc('\n', stdout);
}

bool all_ones(const uint8_t* field, int length) {
    for (int i = 0; i < length; ++i)
        if (field[i] != 0xFF) return false;
    return true;
}

// Six BCD digits; a nibble that is no digit shows as the hexadecimal it is.
void print_bcd_time(const uint8_t* bcd) {
    std::printf("%02X:%02X:%02X", unsigned{bcd[0]}, unsigned{bcd[1]}, unsigned{bcd[2]});
}

// The civil date of a Modified Julian Date (day 0 is 1858-11-17), counted in
// 400-year eras from 0000-03-01 so that leap days fall at the end of a year.
void print_mjd_date(int mjd) {
    const int days = mjd + 678881;  // since 0000-03-01
    const int era = days / 146097;
    const int day_of_era = days - era * 146097;
    const int year_of_era = (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    const int day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const int month_from_march = (5 * day_of_year + 2) / 153;
    const int day = day_of_year - (153 * month_from_march + 2) / 5 + 1;
    const int month = month_from_march < 10 ? month_from_march + 3 : month_from_march - 9;
    const int year = era * 400 + year_of_era + (month <= 2 ? 1 : 0);
    std::printf("%04d/%02d/%02d", year, month, day);
}

// start_time: MJD, then hours, minutes and seconds in BCD, in JST.
void print_start(const uint8_t* start) {
    put_label("Start");
    if (all_ones(start, 5)) {
        std::fputs("undefined\n", stdout);
        return;
    }
    print_mjd_date(read_u16(start));
    std::fputc(' ', stdout);
    print_bcd_time(start + 2);
    std::fputc('\n', stdout);
}

void print_duration(const uint8_t* duration) {
    put_label("Duration");
    if (all_ones(duration, 3)) {
        std::fputs("undefined\n", stdout);
        return;
    }
    print_bcd_time(duration);
    std::fputc('\n', stdout);
}

// The body of the next descriptor with `tag` from *at on, its length in
// *length; null when none is left. A descriptor that would run past the loop
// ends the walk.
const uint8_t* next_descriptor(const uint8_t* loop, int loop_length, int tag, int* at, int* length) {
    while (*at + 2 <= loop_length) {
        const int body_at = *at + 2;
        const int body_length = loop[*at + 1];
        const int found = loop[*at];
        if (body_at + body_length > loop_length) break;
        *at = body_at + body_length;
        if (found == tag) {
            *length = body_length;
            return loop + body_at;
        }
    }
    *at = loop_length;
    return nullptr;
}

// Short event descriptor: language, event_name, text. A text that claims more
// than the descriptor holds is cut at its end.
void print_short_events(const uint8_t* loop, int loop_length) {
    int at = 0;
    int n;
    for (const uint8_t* d; (d = next_descriptor(loop, loop_length, SHORT_EVENT_TAG, &at, &n)) != nullptr;) {
        if (n < 5 || 5 + d[3] > n) continue;
        const int name_length = d[3];
        const int text_at = 5 + name_length;
        const int text_length = d[text_at - 1] < n - text_at ? d[text_at - 1] : n - text_at;
        print_text_field("Title", d + 4, name_length);
        print_text_field("Text", d + text_at, text_length);
    }
}

// Content descriptor: a genre in each two bytes (the two nibbles, then two user nibbles).
void print_genres(const uint8_t* loop, int loop_length) {
    int at = 0;
    int n;
    for (const uint8_t* d; (d = next_descriptor(loop, loop_length, CONTENT_TAG, &at, &n)) != nullptr;) {
        for (int i = 0; i + 2 <= n; i += 2) {
            put_label("Genre");
            const unsigned level_1 = d[i] >> 4;
            const unsigned level_2 = d[i] & 0x0Fu;
            std::printf("0x%X/0x%X %s\n", level_1, level_2, GENRE_NAMES[level_1]);
        }
    }
}

void print_item(const uint8_t* description, int description_length, int text_length) {
    print_text_field("Item", description, description_length);
    print_text_field("Item text", Joined_item, text_length);
}

// Extended event descriptors, in the order of the loop: an item whose
// description is empty continues the one before it, in the same descriptor
// or the next, and is joined to it before conversion so that a character
// split between them comes out whole. An item that claims more than its
// descriptor holds is cut there.
void print_extended_items(const uint8_t* loop, int loop_length) {
    const uint8_t* description = nullptr;
    int description_length = 0;
    int joined = 0;
    int at = 0;
    int n;
    for (const uint8_t* d;
         (d = next_descriptor(loop, loop_length, EXTENDED_EVENT_TAG, &at, &n)) != nullptr;) {
        if (n < 5) continue;  // numbers, language, length_of_items
        const int items_end = 5 + d[4] < n ? 5 + d[4] : n;
        for (int item = 5; item < items_end;) {
            const int new_description_length = d[item];
            const int length_at = item + 1 + new_description_length;
            if (length_at >= items_end) break;
            const int text_at = length_at + 1;
            const int text_length = d[length_at] < items_end - text_at ? d[length_at] : items_end - text_at;
            if (new_description_length > 0 || description == nullptr) {
                if (description != nullptr) print_item(description, description_length, joined);
                description = d + item + 1;
                description_length = new_description_length;
                joined = 0;
            }
            std::memcpy(Joined_item + joined, d + text_at, text_length);
            joined += text_length;
            item = text_at + text_length;
        }
    }
    if (description != nullptr) print_item(description, description_length, joined);
}

}  // namespace

void print_eit_head(int service_id, int version, int section_number) {
    if (!Analyze_PSI_flag) std::fputc('\n', stdout);  // off the line of the percentage counter
    print_title("EIT");
    std::printf("%08llX: Service ID: 0x%04X(%d) Version: %d %s\n", PKT_count, service_id, service_id, version,
                section_number == 0 ? "present" : "following");
}

void print_eit_end() { std::fputc('\n', stdout); }

void print_no_event() { std::fputs("   Event ID: none\n", stdout); }

void print_event(const uint8_t* event, const uint8_t* descriptors, int descriptors_length) {
    put_label("Event ID");
    print_id(read_u16(event), 1);
    print_start(event + 2);
    print_duration(event + 7);
    print_short_events(descriptors, descriptors_length);
    print_genres(descriptors, descriptors_length);
    print_extended_items(descriptors, descriptors_length);
}
