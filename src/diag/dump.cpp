// The one-line hex dump and the flag words of the diagnostic traces.
#include <cstdio>

#include "diag.h"

namespace {
constexpr int MAX_DUMP_BYTES = 188;  // one whole transport packet
constexpr int CHARS_PER_BYTE = 3;    // "%02X "
}  // namespace

void debug_dump(const uint8_t* data, int32_t len) {
    // Sized for a whole packet: 564 characters and the NUL. Longer requests are
    // clamped to one packet so the buffer can never be overrun; an empty or
    // negative request prints the bare prefix.
    char line[MAX_DUMP_BYTES * CHARS_PER_BYTE + 1];
    line[0] = '\0';
    if (len > MAX_DUMP_BYTES) len = MAX_DUMP_BYTES;
    for (int32_t i = 0; i < len; ++i) {
        snprintf(line + CHARS_PER_BYTE * i, CHARS_PER_BYTE + 1, "%02X ", data[i]);
    }
    printf("dump data = %s\n", line);
}

void print_flag(int32_t flag) { fputs(flag ? "true\n" : "false\n", stdout); }
