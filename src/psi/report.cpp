// The shared pieces of the PAT, PMT, CAT and SDT reports.
#include <cstdio>

#include "diag.h"
#include "psi_internal.h"

void print_title(const char* name) {
    std::printf("****************** %s Information ******************\n", name);
}

void print_current_next(const char* name, const uint8_t* section) {
    std::printf(" %s Current_next_indicator : ", name);
    print_flag(section[5] & 1);
}

void print_version(int version) { std::printf(" Version      : %02d\n", version); }

void print_id_line(const char* label, int value) { std::printf("%s0x%04X(%d)\n", label, value, value); }

void print_separator() { std::fputs("-----------------------------------------------------\n", stdout); }
