// Trace lines shared by the adaptation field and PES header decoders.
#ifndef TSNARROW_DIAG_TRACE_LINE_H
#define TSNARROW_DIAG_TRACE_LINE_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "diag.h"

// One line per bit of `bits`, from `top_bit` downwards: the field's label
// (ending in ": ") followed by its flag word.
template <size_t N>
void print_flag_bits(const char* const (&labels)[N], uint8_t bits, int top_bit) {
    for (size_t i = 0; i < N; ++i) {
        fputs(labels[i], stdout);
        print_flag((bits >> (top_bit - static_cast<int>(i))) & 1);
    }
}

#endif
