#include "utf8_output.h"

size_t utf8_length(char32_t code_point) {
    if (code_point < 0x80) return 1;
    if (code_point < 0x800) return 2;
    if (code_point < 0x10000) return 3;
    return 4;
}

char* write_utf8(char32_t code_point, char* out) {
    const size_t length = utf8_length(code_point);
    if (length == 1) {
        *out++ = static_cast<char>(code_point);
        return out;
    }
    static constexpr unsigned char LEAD[5] = {0, 0, 0xC0, 0xE0, 0xF0};
    for (size_t i = length - 1; i > 0; --i) {
        out[i] = static_cast<char>(0x80 | (code_point & 0x3F));
        code_point >>= 6;
    }
    out[0] = static_cast<char>(LEAD[length] | code_point);
    return out + length;
}
