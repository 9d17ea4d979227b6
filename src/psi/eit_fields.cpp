// The fields of the events of an EIT section: the event loop, times, and the
// short event, content and extended event descriptors. Every length is
// trusted only as far as the loop or descriptor that holds it.
#include <cstring>

#include "eit.h"
#include "psi_internal.h"

namespace {

constexpr int EIT_FIXED_BYTES = 14;  // up to the event loop
constexpr int CRC_BYTES = 4;
constexpr int EVENT_FIXED_BYTES = 12;
constexpr int SHORT_EVENT_TAG = 0x4D;
constexpr int EXTENDED_EVENT_TAG = 0x4E;
constexpr int CONTENT_TAG = 0x54;
constexpr int EXTENDED_FIXED_BYTES = 5;  // numbers, language, length_of_items

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

// The items of a section are distinct stretches of its 4096 bytes at most, so
// whatever is joined fits.
uint8_t Joined_item[EIT_SECTION_SIZE];

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

}  // namespace

bool next_eit_event(const uint8_t* section, int length, int* at, EIT_EVENT* event) {
    const int loop_end = length - CRC_BYTES;
    if (*at < EIT_FIXED_BYTES) *at = EIT_FIXED_BYTES;
    if (*at + EVENT_FIXED_BYTES > loop_end) return false;
    const uint8_t* fixed = section + *at;
    const int left = loop_end - *at - EVENT_FIXED_BYTES;
    const int claimed = read_length12(fixed + 10);
    event->event_id = read_u16(fixed);
    event->start_time = fixed + 2;
    event->duration = fixed + 7;
    event->descriptors = fixed + EVENT_FIXED_BYTES;
    event->descriptors_length = claimed < left ? claimed : left;
    *at += EVENT_FIXED_BYTES + event->descriptors_length;
    return true;
}

bool eit_time_undefined(const uint8_t* field, int length) {
    for (int i = 0; i < length; ++i)
        if (field[i] != 0xFF) return false;
    return true;
}

// Counted in 400-year eras from 0000-03-01 (day 0 of the MJD is 1858-11-17),
// so that leap days fall at the end of a year.
CIVIL_DATE civil_date_of_mjd(int mjd) {
    const int days = mjd + 678881;  // since 0000-03-01
    const int era = days / 146097;
    const int day_of_era = days - era * 146097;
    const int year_of_era = (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    const int day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const int month_from_march = (5 * day_of_year + 2) / 153;
    const int day = day_of_year - (153 * month_from_march + 2) / 5 + 1;
    const int month = month_from_march < 10 ? month_from_march + 3 : month_from_march - 9;
    return {era * 400 + year_of_era + (month <= 2 ? 1 : 0), month, day};
}

// A text that claims more than its descriptor holds is cut at its end.
bool next_short_event(const uint8_t* loop, int loop_length, int* at, ARIB_TEXT* name, ARIB_TEXT* text) {
    int n;
    for (const uint8_t* d; (d = next_descriptor(loop, loop_length, SHORT_EVENT_TAG, at, &n)) != nullptr;) {
        if (n < 5 || 5 + d[3] > n) continue;  // language, name length, name, text length
        const int text_at = 5 + d[3];
        *name = {d + 4, d[3]};
        *text = {d + text_at, d[text_at - 1] < n - text_at ? d[text_at - 1] : n - text_at};
        return true;
    }
    return false;
}

EIT_GENRES first_genres(const uint8_t* loop, int loop_length) {
    return {loop, loop_length, 0, nullptr, 0, 0};
}

// Each genre takes two bytes: the two nibbles, then two user nibbles.
bool next_genre(EIT_GENRES* g, int* level_1, int* level_2) {
    while (g->body == nullptr || g->next + 2 > g->body_length) {
        g->body = next_descriptor(g->loop, g->loop_length, CONTENT_TAG, &g->at, &g->body_length);
        g->next = 0;
        if (g->body == nullptr) return false;
    }
    *level_1 = g->body[g->next] >> 4;
    *level_2 = g->body[g->next] & 0x0F;
    g->next += 2;
    return true;
}

const char* genre_name(int level_1) { return GENRE_NAMES[level_1 & 0x0F]; }

EIT_ITEMS first_items(const uint8_t* loop, int loop_length) {
    return {loop, loop_length, 0, nullptr, 0, 0, {nullptr, 0}, 0};
}

// An item that claims more than its descriptor holds is cut there. The item
// being joined is handed out when the next one with a description begins, or
// when the descriptors end.
bool next_item(EIT_ITEMS* w, ARIB_TEXT* description, ARIB_TEXT* text) {
    for (;;) {
        if (w->body == nullptr) {
            int n = 0;
            w->body = next_descriptor(w->loop, w->loop_length, EXTENDED_EVENT_TAG, &w->at, &n);
            if (w->body == nullptr) break;
            if (n < EXTENDED_FIXED_BYTES) {
                w->body = nullptr;
                continue;
            }
            w->items_end = EXTENDED_FIXED_BYTES + w->body[4] < n ? EXTENDED_FIXED_BYTES + w->body[4] : n;
            w->next = EXTENDED_FIXED_BYTES;
        }
        const uint8_t* d = w->body;
        const int item = w->next;
        const int description_length = item < w->items_end ? d[item] : 0;
        const int length_at = item + 1 + description_length;
        if (item >= w->items_end || length_at >= w->items_end) {
            w->body = nullptr;
            continue;
        }
        if (description_length > 0 || w->description.bytes == nullptr) {
            if (w->description.bytes != nullptr) {
                // This item is taken by the next call.
                *description = w->description;
                *text = {Joined_item, w->joined};
                w->description.bytes = nullptr;
                return true;
            }
            w->description = {d + item + 1, description_length};
            w->joined = 0;
        }
        const int text_at = length_at + 1;
        const int text_length = d[length_at] < w->items_end - text_at ? d[length_at] : w->items_end - text_at;
        std::memcpy(Joined_item + w->joined, d + text_at, text_length);
        w->joined += text_length;
        w->next = text_at + text_length;
    }
    if (w->description.bytes == nullptr) return false;
    *description = w->description;
    *text = {Joined_item, w->joined};
    w->description.bytes = nullptr;
    return true;
}
