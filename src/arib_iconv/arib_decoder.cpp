// Decoding of one unit: characters of the set invoked into GL or GR, single
// shifts, SP and DEL, the default macros; control functions are handed to
// decode_arib_control.
#include "arib_decoder.h"

namespace {

constexpr uint8_t SS2 = 0x19;
constexpr uint8_t SS3 = 0x1D;
constexpr uint8_t SP = 0x20;
constexpr uint8_t DEL = 0x7F;
constexpr uint8_t GR_BIT = 0x80;

// Default macros 0x60-0x6F: the sets they put into G0..G3, after which they
// invoke G0 into GL and G2 into GR.
constexpr ARIB_CHARSET K = ARIB_SET_KANJI, A = ARIB_SET_ALPHANUMERIC, H = ARIB_SET_HIRAGANA,
                       T = ARIB_SET_KATAKANA, M = ARIB_SET_MOSAIC, D = ARIB_SET_DRCS_ONE_BYTE,
                       X = ARIB_SET_MACRO;
constexpr uint8_t FIRST_DEFAULT_MACRO = 0x60;
constexpr ARIB_CHARSET DEFAULT_MACROS[16][4] = {
    {K, A, H, X}, {K, T, H, X}, {K, D, H, X}, {M, M, M, X}, {M, M, M, X}, {M, D, M, X},
    {D, D, D, X}, {D, D, D, X}, {D, D, D, X}, {D, D, D, X}, {D, D, D, X}, {K, D, H, X},
    {K, D, H, X}, {K, D, H, X}, {T, H, A, X}, {A, M, D, X},
};

void run_macro(ARIB_DECODER_STATE* state, uint8_t code) {
    if (code < FIRST_DEFAULT_MACRO || code >= FIRST_DEFAULT_MACRO + 16) return;  // no fixed meaning
    for (int slot = 0; slot < 4; ++slot) state->slot[slot] = DEFAULT_MACROS[code - FIRST_DEFAULT_MACRO][slot];
    state->gl = 0;
    state->gr = 2;
}

// A character takes up a pending RPC repeat.
void take_repeat(ARIB_DECODER_STATE* state, ARIB_UNIT* unit) {
    unit->copies = state->repeat != 0 ? state->repeat : 1;
    state->repeat = 0;
}

void set_single(ARIB_TEXT* text, char32_t code_point) {
    text->code_points[0] = code_point;
    text->count = 1;
}

// A character of `set` whose first byte is `first` (GL or GR); the second
// byte of a two-byte set must lie in the same area.
ARIB_DECODE_STATUS decode_graphic(ARIB_DECODER_STATE* state, ARIB_CHARSET set, uint8_t first, ARIB_CURSOR* in,
                                  ARIB_UNIT* unit) {
    const uint8_t area = first & GR_BIT;
    const uint8_t code = first & ~GR_BIT;
    if (set == ARIB_SET_MACRO) {
        run_macro(state, code);
        return ARIB_DECODED;
    }
    if (is_two_byte_set(set)) {
        uint8_t second;
        if (!take_byte(in, &second)) return ARIB_INCOMPLETE;
        const uint8_t cell = second & ~GR_BIT;
        if ((second & GR_BIT) != area || cell < 0x21 || cell > 0x7E) return ARIB_INVALID;
        if (!decode_two_byte_char(set, code - 0x20, cell - 0x20, &unit->text)) return ARIB_INVALID;
    } else if (!decode_one_byte_char(set, code, state->half_size, &unit->text)) {
        return ARIB_INVALID;
    }
    take_repeat(state, unit);
    return ARIB_DECODED;
}

// SS2/SS3: the next character, GL bytes only, comes from G2/G3.
ARIB_DECODE_STATUS decode_single_shift(ARIB_DECODER_STATE* state, int slot, ARIB_CURSOR* in,
                                       ARIB_UNIT* unit) {
    uint8_t first;
    if (!take_byte(in, &first)) return ARIB_INCOMPLETE;
    if (first < 0x21 || first > 0x7E) return ARIB_INVALID;
    return decode_graphic(state, state->slot[slot], first, in, unit);
}

}  // namespace

void reset_arib_state(ARIB_DECODER_STATE* state) {
    state->slot[0] = ARIB_SET_KANJI;
    state->slot[1] = ARIB_SET_ALPHANUMERIC;
    state->slot[2] = ARIB_SET_HIRAGANA;
    state->slot[3] = ARIB_SET_KATAKANA;
    state->gl = 0;
    state->gr = 2;
    state->half_size = false;
    state->repeat = 0;
}

ARIB_DECODE_STATUS decode_arib_unit(ARIB_DECODER_STATE* state, const uint8_t* data, size_t size,
                                    ARIB_UNIT* unit) {
    unit->text.count = 0;
    unit->copies = 1;
    unit->length = 0;
    if (size == 0) return ARIB_INCOMPLETE;
    ARIB_CURSOR in = {data, size, 1};
    const uint8_t byte = data[0];
    ARIB_DECODE_STATUS status = ARIB_DECODED;
    if (byte == SS2 || byte == SS3) {
        status = decode_single_shift(state, byte == SS2 ? 2 : 3, &in, unit);
    } else if (byte < SP || (byte >= 0x80 && byte < 0xA0)) {
        status = decode_arib_control(state, byte, &in);
    } else if (byte == SP) {
        // Names are coded in normal size, where SP is the ideographic space.
        set_single(&unit->text, state->half_size ? 0x0020 : 0x3000);
        take_repeat(state, unit);
    } else if (byte == DEL) {
        take_repeat(state, unit);  // a character position without text
    } else if (byte == 0xA0 || byte == 0xFF) {
        status = ARIB_INVALID;
    } else {
        const uint8_t slot = (byte & GR_BIT) != 0 ? state->gr : state->gl;
        status = decode_graphic(state, state->slot[slot], byte, &in, unit);
    }
    unit->length = in.pos;
    return status;
}
