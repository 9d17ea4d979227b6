// Pieces of the EIT report shared by its files: the gathering of sections,
// the printed block and the conversion of its texts.
#ifndef TSNARROW_EIT_INTERNAL_H
#define TSNARROW_EIT_INTERNAL_H

#include <cstdint>

// Nothing gathered, no packet counter seen.
void start_eit_assembly();

// The title and the header line of one section's block; the block's end.
void print_eit_head(int service_id, int version, int section_number);
void print_eit_end();
// One event: its 12 fixed bytes, then its descriptor loop (cut to the section).
void print_event(const uint8_t* event, const uint8_t* descriptors, int descriptors_length);
void print_no_event();

// ARIB STD-B24 text as UTF-8, from the converter's initial state, with a line
// break shown as the two characters \n and a backslash as \\. Where the text
// stops converting, U+FFFD stands for the rest.
void print_arib_text(const uint8_t* text, int length);

#endif
