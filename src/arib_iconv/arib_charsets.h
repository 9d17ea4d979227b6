// The graphic sets of the ARIB 8-bit coding: which set a designation's final
// byte names, and the text of each character.
#ifndef TSNARROW_ARIB_CHARSETS_H
#define TSNARROW_ARIB_CHARSETS_H

#include <cstdint>

#include "arib_tables.h"

// Sets that differ only in glyph widths share one value (proportional forms),
// and so do the sets that all decode to the same substitute (mosaics, the
// one-byte DRCS).
enum ARIB_CHARSET : uint8_t {
    ARIB_SET_KANJI,
    ARIB_SET_ALPHANUMERIC,
    ARIB_SET_HIRAGANA,
    ARIB_SET_KATAKANA,
    ARIB_SET_JIS_KATAKANA,
    ARIB_SET_JIS_PLANE1,
    ARIB_SET_JIS_PLANE2,
    ARIB_SET_ADDITIONAL_SYMBOLS,
    ARIB_SET_MOSAIC,
    ARIB_SET_DRCS_TWO_BYTE,
    ARIB_SET_DRCS_ONE_BYTE,
    ARIB_SET_MACRO,
};

// Text of one character: up to ARIB_MAX_CELL_CODE_POINTS code points.
struct ARIB_TEXT {
    char32_t code_points[ARIB_MAX_CELL_CODE_POINTS];
    uint8_t count;
};

// U+3013 GETA MARK, shown for glyphs that have no Unicode form.
constexpr char32_t ARIB_GETA_MARK = 0x3013;

// Final byte of a graphic-set designation (`ESC 0x28 F`, `ESC 0x24 F`...).
bool find_graphic_set(uint8_t final_byte, bool two_byte, ARIB_CHARSET* set);
// Final byte after the 0x20 of a DRCS or Macro designation.
bool find_drcs_set(uint8_t final_byte, bool two_byte, ARIB_CHARSET* set);
bool is_two_byte_set(ARIB_CHARSET set);

// One-byte sets except Macro; code 0x21..0x7E. False for an unassigned code.
bool decode_one_byte_char(ARIB_CHARSET set, uint8_t code, bool half_size, ARIB_TEXT* text);
// Two-byte sets; row and cell 1..94. False for an unassigned cell.
bool decode_two_byte_char(ARIB_CHARSET set, int row, int cell, ARIB_TEXT* text);

#endif
