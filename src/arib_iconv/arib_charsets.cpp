// Designation final bytes and the one-byte graphic sets.
#include "arib_charsets.h"

namespace {

void set_single(ARIB_TEXT* text, char32_t code_point) {
    text->code_points[0] = code_point;
    text->count = 1;
}

// 0x79-0x7E of the hiragana and katakana sets: ー 。 「 」 、 ・
constexpr char32_t KANA_PUNCTUATION[6] = {0x30FC, 0x3002, 0x300C, 0x300D, 0x3001, 0x30FB};

// Normal size gives the full-width forms, half size the ASCII ones; 0x5C is
// the yen sign and 0x7E the overline, as in the Latin half of JIS X 0201.
char32_t alphanumeric(uint8_t code, bool half_size) {
    if (code == 0x5C) return half_size ? 0x00A5 : 0xFFE5;
    if (code == 0x7E) return half_size ? 0x203E : 0xFFE3;
    return half_size ? code : 0xFF01 + (code - 0x21);
}

char32_t hiragana(uint8_t code) {
    if (code <= 0x73) return 0x3041 + (code - 0x21);
    if (code <= 0x76) return 0x3000;  // unassigned codes show as a blank
    if (code == 0x77) return 0x309D;
    if (code == 0x78) return 0x309E;
    return KANA_PUNCTUATION[code - 0x79];
}

char32_t katakana(uint8_t code) {
    if (code <= 0x76) return 0x30A1 + (code - 0x21);
    if (code == 0x77) return 0x30FD;
    if (code == 0x78) return 0x30FE;
    return KANA_PUNCTUATION[code - 0x79];
}

}  // namespace

bool find_graphic_set(uint8_t final_byte, bool two_byte, ARIB_CHARSET* set) {
    if (two_byte) {
        switch (final_byte) {
            case 0x42:
                *set = ARIB_SET_KANJI;
                return true;
            case 0x39:
                *set = ARIB_SET_JIS_PLANE1;
                return true;
            case 0x3A:
                *set = ARIB_SET_JIS_PLANE2;
                return true;
            case 0x3B:
                *set = ARIB_SET_ADDITIONAL_SYMBOLS;
                return true;
            default:
                return false;
        }
    }
    switch (final_byte) {
        case 0x4A:
        case 0x36:
            *set = ARIB_SET_ALPHANUMERIC;
            return true;
        case 0x30:
        case 0x37:
            *set = ARIB_SET_HIRAGANA;
            return true;
        case 0x31:
        case 0x38:
            *set = ARIB_SET_KATAKANA;
            return true;
        case 0x32:
        case 0x33:
        case 0x34:
        case 0x35:
            *set = ARIB_SET_MOSAIC;
            return true;
        case 0x49:
            *set = ARIB_SET_JIS_KATAKANA;
            return true;
        default:
            return false;
    }
}

bool find_drcs_set(uint8_t final_byte, bool two_byte, ARIB_CHARSET* set) {
    if (two_byte) {
        if (final_byte != 0x40) return false;
        *set = ARIB_SET_DRCS_TWO_BYTE;
        return true;
    }
    if (final_byte >= 0x41 && final_byte <= 0x4F) {
        *set = ARIB_SET_DRCS_ONE_BYTE;
        return true;
    }
    if (final_byte == 0x70) {
        *set = ARIB_SET_MACRO;
        return true;
    }
    return false;
}

bool is_two_byte_set(ARIB_CHARSET set) {
    return set == ARIB_SET_KANJI || set == ARIB_SET_JIS_PLANE1 || set == ARIB_SET_JIS_PLANE2 ||
           set == ARIB_SET_ADDITIONAL_SYMBOLS || set == ARIB_SET_DRCS_TWO_BYTE;
}

bool decode_one_byte_char(ARIB_CHARSET set, uint8_t code, bool half_size, ARIB_TEXT* text) {
    switch (set) {
        case ARIB_SET_ALPHANUMERIC:
            set_single(text, alphanumeric(code, half_size));
            return true;
        case ARIB_SET_HIRAGANA:
            set_single(text, hiragana(code));
            return true;
        case ARIB_SET_KATAKANA:
            set_single(text, katakana(code));
            return true;
        case ARIB_SET_JIS_KATAKANA:
            if (code > 0x5F) return false;
            set_single(text, 0xFF61 + (code - 0x21));
            return true;
        case ARIB_SET_MOSAIC:
        case ARIB_SET_DRCS_ONE_BYTE:
            set_single(text, ARIB_GETA_MARK);
            return true;
        default:
            return false;
    }
}
