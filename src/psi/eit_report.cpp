// The printed block of an EIT section: one field a line, "   Label: value",
// so that scripts can name and file a recording by its programme. Titles,
// texts and items go through the ARIB converter, each from its initial state.
#include <cstdio>
#include <cstring>

#include "eit.h"
#include "eit_internal.h"
#include "psi_internal.h"

namespace {

void put_label(const char* label) {
    std::fputs("   ", stdout);
    std::fputs(label, stdout);
    std::fputs(": ", stdout);
}

// Backslashes doubled and line breaks shown as \n, so that each field stays
// on one line and \n can only be a line break.
void put_escaped(void*, const char* text, size_t length) {
    const char* end = text + length;
    while (text < end) {
        const char* stop = text;
        while (stop < end && *stop != '\\' && *stop != '\n') ++stop;
        std::fwrite(text, 1, stop - text, stdout);
        if (stop == end) break;
        std::fputs(*stop == '\n' ? "\\n" : "\\\\", stdout);
        text = stop + 1;
    }
}

void print_text_field(const char* label, ARIB_TEXT text) {
    put_label(label);
    convert_arib_text(text, TEXT_SINK{put_escaped, nullptr});
    std::fputc('\n', stdout);
}

// Six BCD digits; a nibble that is no digit shows as the hexadecimal it is.
void print_bcd_time(const uint8_t* bcd) {
    std::printf("%02X:%02X:%02X", unsigned{bcd[0]}, unsigned{bcd[1]}, unsigned{bcd[2]});
}

// start_time: MJD, then hours, minutes and seconds in BCD, in JST.
void print_start(const uint8_t* start) {
    put_label("Start");
    if (eit_time_undefined(start, 5)) {
        std::fputs("undefined\n", stdout);
        return;
    }
    const CIVIL_DATE date = civil_date_of_mjd(read_u16(start));
    std::printf("%04d/%02d/%02d ", date.year, date.month, date.day);
    print_bcd_time(start + 2);
    std::fputc('\n', stdout);
}

void print_duration(const uint8_t* duration) {
    put_label("Duration");
    if (eit_time_undefined(duration, 3)) {
        std::fputs("undefined\n", stdout);
        return;
    }
    print_bcd_time(duration);
    std::fputc('\n', stdout);
}

void print_event(const EIT_EVENT& event) {
    put_label("Event ID");
    print_id(event.event_id, 1);
    print_start(event.start_time);
    print_duration(event.duration);
    int at = 0;
    for (ARIB_TEXT name, text;
         next_short_event(event.descriptors, event.descriptors_length, &at, &name, &text);) {
        print_text_field("Title", name);
        print_text_field("Text", text);
    }
    EIT_GENRES genres = first_genres(event.descriptors, event.descriptors_length);
    for (int level_1, level_2; next_genre(&genres, &level_1, &level_2);) {
        put_label("Genre");
        std::printf("0x%X/0x%X %s\n", unsigned(level_1), unsigned(level_2), genre_name(level_1));
    }
    EIT_ITEMS items = first_items(event.descriptors, event.descriptors_length);
    for (ARIB_TEXT description, text; next_item(&items, &description, &text);) {
        print_text_field("Item", description);
        print_text_field("Item text", text);
    }
}

}  // namespace

void print_eit_block(const uint8_t* section, int length) {
    if (!Analyze_PSI_flag) std::fputc('\n', stdout);  // off the line of the percentage counter
    print_title("EIT");
    const int service_id = eit_service_id(section);
    std::printf("%08llX: Service ID: 0x%04X(%d) Version: %d %s\n", PKT_count, service_id, service_id,
                eit_version(section), eit_section_number(section) == 0 ? "present" : "following");
    int at = 0;
    EIT_EVENT event;
    if (!next_eit_event(section, length, &at, &event)) std::fputs("   Event ID: none\n", stdout);
    for (at = 0; next_eit_event(section, length, &at, &event);) print_event(event);
    std::fputc('\n', stdout);
}
