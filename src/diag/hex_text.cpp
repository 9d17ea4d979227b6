// Conversion of a text of hexadecimal digits into bytes.
#include <cstdint>
#include <cstring>

#include "diag.h"

namespace {
// Value of one hexadecimal digit, or -1 for any other character.
int hex_digit_value(char ch) {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    return -1;
}
}  // namespace

int set_hex(char* text, uint8_t* out, int32_t len) {
    const size_t digits = strlen(text);
    // Checked in 64 bits so a negative len fails here, before anything is written.
    if (static_cast<int64_t>(digits) > 2 * static_cast<int64_t>(len)) return -1;
    memset(out, 0, static_cast<size_t>(len));
    for (size_t k = 0; k < digits; ++k) {
        // The text is consumed: each character is cleared as soon as it is taken,
        // so a rejected character is cleared too.
        const char ch = text[k];
        text[k] = '\0';
        const int value = hex_digit_value(ch);
        if (value < 0) return -1;
        if (k % 2 == 0) {
            out[k / 2] = static_cast<uint8_t>(value << 4);
        } else {
            out[k / 2] |= static_cast<uint8_t>(value);
        }
    }
    return 0;
}
