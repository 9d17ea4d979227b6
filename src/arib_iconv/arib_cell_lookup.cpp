// Two-byte sets: constant-time lookups in the generated row tables.
#include "arib_charsets.h"
#include "arib_tables.h"

namespace {

uint16_t cell_value(const uint8_t* row_index, int row, int cell) {
    return ARIB_ROW_POOL[row_index[row - 1]][cell - 1];
}

bool is_additional_row(int row) { return row == 85 || row == 86 || (row >= 90 && row <= 94); }

bool expand_cell(uint16_t value, ARIB_TEXT* text) {
    if (value == 0) return false;
    if (value < ARIB_WIDE_BASE || value >= ARIB_WIDE_LIMIT) {
        text->code_points[0] = value;
        text->count = 1;
        return true;
    }
    const ARIB_WIDE_CELL& wide = ARIB_WIDE_CELLS[value - ARIB_WIDE_BASE];
    for (int i = 0; i < wide.count; ++i) text->code_points[i] = ARIB_WIDE_CODE_POINTS[wide.first + i];
    text->count = wide.count;
    return true;
}

}  // namespace

bool decode_two_byte_char(ARIB_CHARSET set, int row, int cell, ARIB_TEXT* text) {
    switch (set) {
        case ARIB_SET_KANJI:
            return expand_cell(cell_value(ARIB_KANJI_ROWS, row, cell), text);
        case ARIB_SET_ADDITIONAL_SYMBOLS:
            return is_additional_row(row) && expand_cell(cell_value(ARIB_KANJI_ROWS, row, cell), text);
        case ARIB_SET_JIS_PLANE1: {
            // JIS X 0208 cells read as in the Kanji set; rows 85-94 are JIS X
            // 0213 there, not the additional symbols.
            const uint16_t jisx0208 = row <= 84 ? cell_value(ARIB_KANJI_ROWS, row, cell) : 0;
            return expand_cell(jisx0208 != 0 ? jisx0208 : cell_value(ARIB_PLANE1_EXTRA_ROWS, row, cell),
                               text);
        }
        case ARIB_SET_JIS_PLANE2:
            return expand_cell(cell_value(ARIB_PLANE2_ROWS, row, cell), text);
        case ARIB_SET_DRCS_TWO_BYTE:
            text->code_points[0] = ARIB_GETA_MARK;
            text->count = 1;
            return true;
        default:
            return false;
    }
}
