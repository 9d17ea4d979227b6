// "events": the blocks of -E, kept as the sections they came from (with the
// packet that completed each) and decoded when the document is written, by
// the same walks as the printed blocks. They grow with the stream, off the
// packet path: a new version of a present or following section comes a few
// times an hour a service.
#include <cstdio>
#include <string>
#include <vector>

#include "document_keys.h"
#include "eit.h"
#include "json.h"
#include "json_writer.h"

namespace {

struct LOGGED_BLOCK {
    long long packet;
    std::vector<uint8_t> section;
};

std::vector<LOGGED_BLOCK> Blocks;

void write_text(const char* key, ARIB_TEXT text) {
    std::string converted;
    convert_arib_text(text, &converted);
    json_string(key, converted.data(), converted.size());
}

int bcd(uint8_t byte) { return (byte >> 4) * 10 + (byte & 0x0F); }

void write_event(const EIT_EVENT& event) {
    json_open_object("event");
    json_integer("event_id", event.event_id);
    write_start_time("start", event.start_time);
    if (eit_time_undefined(event.duration, 3)) {
        json_null("duration");
    } else {
        json_integer("duration",
                     bcd(event.duration[0]) * 3600 + bcd(event.duration[1]) * 60 + bcd(event.duration[2]));
    }
    int at = 0;
    ARIB_TEXT name;
    ARIB_TEXT text;
    if (next_short_event(event.descriptors, event.descriptors_length, &at, &name, &text)) {
        write_text("title", name);
        write_text("text", text);
    } else {
        json_null("title");
        json_null("text");
    }
    json_open_array("genres");
    EIT_GENRES genres = first_genres(event.descriptors, event.descriptors_length);
    for (int level_1, level_2; next_genre(&genres, &level_1, &level_2);) {
        json_open_object(nullptr);
        json_integer("level1", level_1);
        json_integer("level2", level_2);
        json_string("name", genre_name(level_1));
        json_close_object();
    }
    json_close_array();
    json_open_array("items");
    EIT_ITEMS items = first_items(event.descriptors, event.descriptors_length);
    for (ARIB_TEXT description, item_text; next_item(&items, &description, &item_text);) {
        json_open_object(nullptr);
        write_text("description", description);
        write_text("text", item_text);
        json_close_object();
    }
    json_close_array();
    json_close_object();
}

void write_block(const LOGGED_BLOCK& block) {
    const uint8_t* section = block.section.data();
    const int length = static_cast<int>(block.section.size());
    json_open_object(nullptr);
    json_integer("packet", block.packet);
    json_integer("service_id", eit_service_id(section));
    json_string("section", eit_section_number(section) == 0 ? "present" : "following");
    json_integer("version", eit_version(section));
    int at = 0;
    EIT_EVENT event;
    if (next_eit_event(section, length, &at, &event)) {
        write_event(event);
    } else {
        json_null("event");
    }
    json_close_object();
}

}  // namespace

void log_eit_block(const uint8_t* section, int length) {
    Blocks.push_back({PKT_count, {section, section + length}});
}

void write_event_keys() {
    json_open_array("events");
    for (const LOGGED_BLOCK& block : Blocks) write_block(block);
    json_close_array();
}

void write_start_time(const char* key, const uint8_t* start_time) {
    if (eit_time_undefined(start_time, 5)) {
        json_null(key);
        return;
    }
    const CIVIL_DATE date = civil_date_of_mjd(start_time[0] << 8 | start_time[1]);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02X:%02X:%02X+09:00", date.year, date.month, date.day,
                  unsigned{start_time[2]}, unsigned{start_time[3]}, unsigned{start_time[4]});
    json_string(key, text);
}
