// Strict whole-number parsing for the program number: decimal, or hexadecimal
// behind 0x/0X; no sign, no blank, nothing else.
#include <cstdint>

#include "cli.h"

namespace {
int digit_value(char ch, int base) {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (base == 16 && ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    if (base == 16 && ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    return -1;
}
}  // namespace

int strtoint(const char* text, int32_t* out) {
    if (text == nullptr || *text == '\0') return -1;
    int base = 10;
    const char* digits = text;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        digits = text + 2;
        if (*digits == '\0') return -1;
    }
    uint64_t value = 0;
    for (const char* p = digits; *p != '\0'; ++p) {
        const int digit = digit_value(*p, base);
        if (digit < 0) return -1;
        value = value * base + digit;
        // Rejected outright rather than narrowed, so that no large number
        // wraps round to a valid program.
        if (value > UINT32_MAX) return -1;
    }
    *out = static_cast<int32_t>(static_cast<uint32_t>(value));
    return 0;
}
