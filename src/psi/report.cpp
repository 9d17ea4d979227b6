// The shared pieces of the PAT, PMT, CAT and SDT reports. Every table is
// reported each time it comes round, so a long recording prints hundreds of
// thousands of these lines: the numbers are formatted here, not by printf.
#include <cstdio>

#include "diag.h"
#include "psi_internal.h"

namespace {

// Writes `value` in decimal, with at least `digits` (1 or more) digits, in
// front of `end`; returns where it starts.
char* put_decimal(char* end, unsigned value, int digits) {
    for (int written = 0; written < digits || value != 0; ++written, value /= 10) {
        *--end = static_cast<char>('0' + value % 10);
    }
    return end;
}

void put_decimal_line(int value, int digits) {
    char text[16];
    char* end = text + sizeof text;
    *--end = '\n';
    char* start = put_decimal(end, static_cast<unsigned>(value), digits);
    std::fwrite(start, 1, static_cast<size_t>(text + sizeof text - start), stdout);
}

}  // namespace

void print_title(const char* name) {
    std::fputs("****************** ", stdout);
    std::fputs(name, stdout);
    std::fputs(" Information ******************\n", stdout);
}

void print_current_next(const char* name, const uint8_t* section) {
    std::fputc(' ', stdout);
    std::fputs(name, stdout);
    std::fputs(" Current_next_indicator : ", stdout);
    print_flag(section[5] & 1);
}

void print_version(int version) {
    std::fputs(" Version      : ", stdout);
    put_decimal_line(version, 2);
}

void print_id(int value, int decimal_digits) {
    if (value < 0) {
        std::printf("0x%04X(%0*d)\n", value, decimal_digits, value);
        return;
    }
    char text[32];
    char* start = text + sizeof text;
    *--start = '\n';
    *--start = ')';
    start = put_decimal(start, static_cast<unsigned>(value), decimal_digits);
    *--start = '(';
    unsigned hex = static_cast<unsigned>(value);
    for (int digits = 0; hex != 0 || digits < 4; ++digits, hex >>= 4) *--start = "0123456789ABCDEF"[hex & 15];
    *--start = 'x';
    *--start = '0';
    std::fwrite(start, 1, static_cast<size_t>(text + sizeof text - start), stdout);
}

void print_id_line(const char* label, int value) {
    std::fputs(label, stdout);
    print_id(value, 1);
}

void print_separator() { std::fputs("-----------------------------------------------------\n", stdout); }
