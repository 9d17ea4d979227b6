// UTF-8 encoding of code points (up to 4 bytes each).
#ifndef TSNARROW_UTF8_OUTPUT_H
#define TSNARROW_UTF8_OUTPUT_H

#include <cstddef>

size_t utf8_length(char32_t code_point);
// Writes utf8_length(code_point) bytes at `out`; returns the position after them.
char* write_utf8(char32_t code_point, char* out);

#endif
