// Decoder state machine of the ARIB 8-bit coding: one call reads one unit
// (a character, with its single shift if any, or a whole control function
// with its parameters) and yields its text and the state after it.
#ifndef TSNARROW_ARIB_DECODER_H
#define TSNARROW_ARIB_DECODER_H

#include <cstddef>
#include <cstdint>

#include "arib_charsets.h"

struct ARIB_DECODER_STATE {
    ARIB_CHARSET slot[4];  // G0..G3
    uint8_t gl;            // slot invoked into GL
    uint8_t gr;            // slot invoked into GR
    bool half_size;        // alphanumerics and SP in their half-width forms
    uint8_t repeat;        // copies of the next character (RPC), 0 when none is pending
};

enum ARIB_DECODE_STATUS {
    ARIB_DECODED,
    ARIB_INVALID,     // not valid where it stands
    ARIB_INCOMPLETE,  // the input ends inside the unit
};

struct ARIB_UNIT {
    size_t length;   // input bytes the unit takes
    ARIB_TEXT text;  // empty for control functions
    uint8_t copies;  // times the text is shown
};

// Bytes read by one unit, never past `size`.
struct ARIB_CURSOR {
    const uint8_t* data;
    size_t size;
    size_t pos;
};

inline bool take_byte(ARIB_CURSOR* in, uint8_t* byte) {
    if (in->pos >= in->size) return false;
    *byte = in->data[in->pos++];
    return true;
}

// Initial state of every name: G0 Kanji, G1 Alphanumeric, G2 Hiragana,
// G3 Katakana, GL = G0, GR = G2, normal size.
void reset_arib_state(ARIB_DECODER_STATE* state);

// Decodes the unit at data[0] (size >= 1). On ARIB_DECODED `state` has moved
// past it; otherwise `state` and `unit` are unspecified.
ARIB_DECODE_STATUS decode_arib_unit(ARIB_DECODER_STATE* state, const uint8_t* data, size_t size,
                                    ARIB_UNIT* unit);

// A C0 or C1 control function (`code`, already taken from `in`) other than the
// single shifts, with its parameters; applies its effect on the state.
ARIB_DECODE_STATUS decode_arib_control(ARIB_DECODER_STATE* state, uint8_t code, ARIB_CURSOR* in);

#endif
