// Names of the parts. A title may hold anything a broadcaster writes: a '/'
// becomes U+FF0F (／) and a control character '_', so that a name never
// gains a directory or a line break, and a long title is cut to the 255 bytes
// a file name may take.
#include "part_names.h"

#include <cstdio>
#include <map>
#include <set>

#include "eit.h"

namespace {

constexpr size_t NAME_MAX_BYTES = 255;  // of a path's last component
const char FULLWIDTH_SOLIDUS[] = "\xEF\xBC\x8F";

std::string Stem;       // the template up to its extension
std::string Extension;  // from its last '.' on, when that holds no field

std::set<std::string> Taken_names;
std::map<std::string, int> Repeats;  // the last -N given after a name

bool is_field(char c) { return c == 'n' || c == 'e' || c == 's' || c == 't'; }

bool has_field(const std::string& text) {
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '%') continue;
        if (is_field(text[i + 1])) return true;
        ++i;  // %%
    }
    return false;
}

// Characters that cannot stand in a file name, replaced; empty: "untitled".
std::string title_field(const PART_EVENT& event) {
    if (event.event_id < 0 || event.title.empty()) return "untitled";
    std::string field;
    for (const char c : event.title) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (c == '/') {
            field += FULLWIDTH_SOLIDUS;
        } else if (byte < 0x20 || byte == 0x7F) {
            field += '_';
        } else {
            field += c;
        }
    }
    return field;
}

std::string fill_fields(const std::string& text, int number, const PART_EVENT& event,
                        const std::string& title) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        switch (text[++i]) {
            case 'n': {
                char digits[16];
                std::snprintf(digits, sizeof digits, "%02d", number);
                out += digits;
                break;
            }
            case 'e':
                out += event_id_field(event);
                break;
            case 's':
                out += start_field(event);
                break;
            case 't':
                out += title;
                break;
            default:
                out += text[i];  // %%
        }
    }
    return out;
}

size_t last_component_length(const std::string& name) {
    const size_t slash = name.rfind('/');
    return slash == std::string::npos ? name.size() : name.size() - slash - 1;
}

// Drops the title's last character, continuation bytes and all.
void cut_last_character(std::string* title) {
    size_t end = title->size() - 1;
    while (end > 0 && (static_cast<unsigned char>((*title)[end]) & 0xC0) == 0x80) --end;
    title->resize(end);
}

std::string fitted_name(int number, const PART_EVENT& event, const std::string& suffix) {
    std::string title = title_field(event);
    for (;;) {
        const std::string name =
            fill_fields(Stem, number, event, title) + suffix + fill_fields(Extension, number, event, title);
        if (last_component_length(name) <= NAME_MAX_BYTES || title.empty()) return name;
        cut_last_character(&title);
    }
}

}  // namespace

bool is_name_template(const char* name_template) {
    for (const char* c = name_template; *c != '\0'; ++c) {
        if (*c != '%') continue;
        ++c;
        if (!is_field(*c) && *c != '%') return false;
    }
    return true;
}

void take_name_template(const char* name_template) {
    std::string text = name_template;
    const size_t component = text.rfind('/') == std::string::npos ? 0 : text.rfind('/') + 1;
    size_t dot = text.rfind('.');
    if (dot == std::string::npos || dot <= component || has_field(text.substr(dot))) dot = text.size();
    Stem = text.substr(0, dot);
    Extension = text.substr(dot);
    if (!has_field(text)) Stem += "-%n";
    Taken_names.clear();
    Repeats.clear();
}

std::string take_part_name(int number, const PART_EVENT& event) {
    std::string name = fitted_name(number, event, "");
    if (Taken_names.count(name) != 0) {
        int& repeat = Repeats[name];
        if (repeat == 0) repeat = 1;
        std::string other;
        do {
            other = fitted_name(number, event, "-" + std::to_string(++repeat));
        } while (Taken_names.count(other) != 0);
        name = other;
    }
    Taken_names.insert(name);
    return name;
}

void forget_part_name(const std::string& name) { Taken_names.erase(name); }

std::string event_id_field(const PART_EVENT& event) {
    if (event.event_id < 0) return "none";
    char digits[16];
    std::snprintf(digits, sizeof digits, "%04X", static_cast<unsigned>(event.event_id));
    return digits;
}

std::string start_field(const PART_EVENT& event) {
    const uint8_t* start = event.start_time;
    if (event.event_id < 0 || eit_time_undefined(start, 5)) return "unknown";
    const CIVIL_DATE date = civil_date_of_mjd(start[0] << 8 | start[1]);
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02d%02d-%02X%02X%02X", date.year, date.month, date.day,
                  unsigned{start[2]}, unsigned{start[3]}, unsigned{start[4]});
    return text;
}
