// The JSON writer. Nesting is a fixed stack; the document this tool writes
// is five levels deep, and a deeper one would share the last entry, never
// reach past it.
#include "json_writer.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr int MAX_DEPTH = 16;

FILE* Out = nullptr;
int Depth = 0;               // open containers
bool Has_member[MAX_DEPTH];  // whether the container at each depth has a value yet

const char REPLACEMENT[] = "\xEF\xBF\xBD";  // U+FFFD

bool& has_member(int depth) { return Has_member[depth < MAX_DEPTH ? depth : MAX_DEPTH - 1]; }

void put_quoted(const char* text, size_t length);

// The comma and line end before a value, its indentation, and its key.
void begin_value(const char* key) {
    if (Depth > 0) {
        if (has_member(Depth - 1)) std::fputc(',', Out);
        std::fputc('\n', Out);
        for (int i = 0; i < Depth; ++i) std::fputs("  ", Out);
        has_member(Depth - 1) = true;
    }
    if (key != nullptr) {
        put_quoted(key, std::strlen(key));
        std::fputs(": ", Out);
    }
}

void open_container(const char* key, char bracket) {
    begin_value(key);
    std::fputc(bracket, Out);
    has_member(Depth) = false;
    ++Depth;
}

// An empty container closes on its own line.
void close_container(char bracket) {
    --Depth;
    if (has_member(Depth)) {
        std::fputc('\n', Out);
        for (int i = 0; i < Depth; ++i) std::fputs("  ", Out);
    }
    std::fputc(bracket, Out);
}

// The length of the valid UTF-8 character at `text`, 0 when its first byte
// begins none: no overlong form, no surrogate, nothing past U+10FFFF.
size_t utf8_length(const uint8_t* text, size_t left) {
    const uint8_t lead = text[0];
    size_t length;
    uint32_t code;
    uint32_t least;
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, code = lead & 0x1F, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, code = lead & 0x0F, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, code = lead & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (length > left) return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((text[i] & 0xC0) != 0x80) return 0;
        code = code << 6 | (text[i] & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

void put_escaped(const uint8_t* text, size_t length) {
    for (size_t at = 0; at < length;) {
        const uint8_t c = text[at];
        if (c == '"' || c == '\\') {
            std::fputc('\\', Out);
            std::fputc(c, Out);
        } else if (c < 0x20) {
            const char* short_form = std::strchr("\b\f\n\r\t", c);
            if (c != 0 && short_form != nullptr) {
                std::fputc('\\', Out);
                std::fputc("bfnrt"[short_form - "\b\f\n\r\t"], Out);
            } else {
                std::fprintf(Out, "\\u%04X", unsigned{c});
            }
        } else {
            const size_t character = utf8_length(text + at, length - at);
            if (character == 0) {
                std::fputs(REPLACEMENT, Out);
                ++at;
                continue;
            }
            std::fwrite(text + at, 1, character, Out);
            at += character;
            continue;
        }
        ++at;
    }
}

void put_quoted(const char* text, size_t length) {
    std::fputc('"', Out);
    put_escaped(reinterpret_cast<const uint8_t*>(text), length);
    std::fputc('"', Out);
}

}  // namespace

void json_start(FILE* out) {
    Out = out;
    Depth = 0;
}

bool json_end() {
    std::fputc('\n', Out);
    return std::fflush(Out) == 0 && !std::ferror(Out);
}

void json_open_object(const char* key) { open_container(key, '{'); }
void json_close_object() { close_container('}'); }
void json_open_array(const char* key) { open_container(key, '['); }
void json_close_array() { close_container(']'); }

void json_null(const char* key) {
    begin_value(key);
    std::fputs("null", Out);
}

void json_bool(const char* key, bool value) {
    begin_value(key);
    std::fputs(value ? "true" : "false", Out);
}

void json_integer(const char* key, long long value) {
    begin_value(key);
    std::fprintf(Out, "%lld", value);
}

void json_unsigned(const char* key, unsigned long long value) {
    begin_value(key);
    std::fprintf(Out, "%llu", value);
}

void json_thousandths(const char* key, long long value) {
    begin_value(key);
    const unsigned long long magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value) : value;
    std::fprintf(Out, "%s%llu.%03llu", value < 0 ? "-" : "", magnitude / 1000, magnitude % 1000);
}

void json_string(const char* key, const char* text) {
    if (text == nullptr) {
        json_null(key);
        return;
    }
    json_string(key, text, std::strlen(text));
}

void json_string(const char* key, const char* text, size_t length) {
    begin_value(key);
    put_quoted(text, length);
}
