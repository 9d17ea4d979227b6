// Event texts of any length a section holds, converted from ARIB STD-B24. The
// converter shows nothing for the line break (APR, 0x0D), as a service name is
// printed on one line; here the text is converted a stretch between line
// breaks at a time, on one descriptor, so that its state runs on, and each
// break is handed on as '\n'.
#include <cerrno>
#include <cstring>

#include "arib_iconv.h"
#include "eit.h"

namespace {

constexpr uint8_t LINE_BREAK = 0x0D;

// The converter writes a unit's UTF-8 whole or not at all; the largest unit,
// a character repeated 63 times (RPC) whose cell is four 4-byte code points,
// takes 1008 bytes, so each call moves on.
char Converted[4096];

const char REST_MARK[] = "\xEF\xBF\xBD";  // U+FFFD REPLACEMENT CHARACTER

// Converts text[*from, end) into the sink; *from is left where the conversion
// stopped. Returns 0, or the error of the unit that stopped it.
int convert_stretch(iconv_t cd, const uint8_t* text, size_t* from, size_t end, TEXT_SINK sink) {
    char* in = const_cast<char*>(reinterpret_cast<const char*>(text + *from));
    size_t in_left = end - *from;
    int error = E2BIG;
    while (error == E2BIG) {
        char* out = Converted;
        size_t out_left = sizeof Converted;
        error = arib_iconv(cd, &in, &in_left, &out, &out_left) == static_cast<size_t>(-1) ? errno : 0;
        if (out != Converted) sink.put(sink.context, Converted, out - Converted);
        if (out == Converted && error == E2BIG) break;  // no room for even one unit
    }
    *from = end - in_left;
    return error;
}

void append_text(void* converted, const char* utf8, size_t length) {
    static_cast<std::string*>(converted)->append(utf8, length);
}

size_t next_line_break(const uint8_t* text, size_t from, size_t length) {
    const void* found = std::memchr(text + from, LINE_BREAK, length - from);
    return found != nullptr ? static_cast<const uint8_t*>(found) - text : length;
}

}  // namespace

void convert_arib_text(ARIB_TEXT text, TEXT_SINK sink) {
    if (text.length <= 0) return;
    iconv_t cd = arib_iconv_open("UTF-8", "ARIB-B24");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        sink.put(sink.context, REST_MARK, sizeof REST_MARK - 1);
        return;
    }
    const uint8_t* bytes = text.bytes;
    const size_t size = static_cast<size_t>(text.length);
    size_t from = 0;
    size_t end = next_line_break(bytes, 0, size);
    for (;;) {
        const int error = convert_stretch(cd, bytes, &from, end, sink);
        if (error == EINVAL && end < size) {
            // A unit whose parameters hold 0x0D runs over the break: take the next stretch with it.
            end = next_line_break(bytes, end + 1, size);
            continue;
        }
        if (error != 0) {
            sink.put(sink.context, REST_MARK, sizeof REST_MARK - 1);
            break;
        }
        if (end == size) break;
        sink.put(sink.context, "\n", 1);
        from = end + 1;
        end = next_line_break(bytes, from, size);
    }
    arib_iconv_close(cd);
}

void convert_arib_text(ARIB_TEXT text, std::string* converted) {
    convert_arib_text(text, TEXT_SINK{append_text, converted});
}
