// Pieces of the EIT shared by its files: the gathering of sections and the
// printed block.
#ifndef TSNARROW_EIT_INTERNAL_H
#define TSNARROW_EIT_INTERNAL_H

#include <cstdint>

// Nothing gathered, no packet counter seen.
void start_eit_assembly();

// The block of a section taken: the title, the header line, each event's
// fields (or that there is none) and an empty line.
void print_eit_block(const uint8_t* section, int length);

#endif
