// The one-line hex dump and the flag words of the diagnostic traces.
#include <cstdio>

#include "diag.h"

namespace {
constexpr int kMaxDumpBytes = 188;  // one whole transport packet
constexpr int kCharsPerByte = 3;    // "%02X "
}  // namespace

void debug_dump(const uint8_t* data, int32_t len) {
    // Sized for a whole packet: 564 characters and the NUL. Longer requests are
    // clamped to one packet so the buffer can never be overrun; an empty or
    // negative request prints the bare prefix.
    char line[kMaxDumpBytes * kCharsPerByte + 1];
    line[0] = '\0';
    if (len > kMaxDumpBytes) len = kMaxDumpBytes;
    for (int32_t i = 0; i < len; ++i) {
        snprintf(line + kCharsPerByte * i, kCharsPerByte + 1, "%02X ", data[i]);
    }
    printf("dump data = %s\n", line);
}

void print_flag(int32_t flag) {
    fputs(flag ? "true\n" : "false\n", stdout);
}
