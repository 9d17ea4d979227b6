// Control functions: invocations, designations, sizes, and the parameter
// bytes of every other function, which are consumed without effect.
#include "arib_decoder.h"

namespace {

enum : uint8_t {
    NUL = 0x00,
    BEL = 0x07,
    APB = 0x08,
    APF = 0x09,
    APD = 0x0A,
    APU = 0x0B,
    CS = 0x0C,
    APR = 0x0D,
    LS1 = 0x0E,
    LS0 = 0x0F,
    PAPF = 0x16,
    CAN = 0x18,
    ESC = 0x1B,
    APS = 0x1C,
    RS = 0x1E,
    US = 0x1F,
    BKF = 0x80,
    WHF = 0x87,
    SSZ = 0x88,
    MSZ = 0x89,
    NSZ = 0x8A,
    SZX = 0x8B,
    COL = 0x90,
    FLC = 0x91,
    CDC = 0x92,
    POL = 0x93,
    WMM = 0x94,
    MACRO = 0x95,
    HLC = 0x97,
    RPC = 0x98,
    SPL = 0x99,
    STL = 0x9A,
    CSI = 0x9B,
    TIME = 0x9D,
};

constexpr uint8_t INTERMEDIATE = 0x20;  // SP inside a control sequence
constexpr uint8_t SZX_TINY = 0x60;
constexpr uint8_t MACRO_DEFINE = 0x40;
constexpr uint8_t MACRO_DEFINE_AND_RUN = 0x41;
constexpr uint8_t MACRO_END = 0x4F;

// Parameter bytes are GL or SP bytes; a control byte there means the
// function was cut short.
ARIB_DECODE_STATUS take_param(ARIB_CURSOR* in, uint8_t* param) {
    if (!take_byte(in, param)) return ARIB_INCOMPLETE;
    return *param >= 0x20 && *param <= 0x7F ? ARIB_DECODED : ARIB_INVALID;
}

ARIB_DECODE_STATUS skip_params(ARIB_CURSOR* in, int count) {
    uint8_t param;
    for (int i = 0; i < count; ++i) {
        const ARIB_DECODE_STATUS status = take_param(in, &param);
        if (status != ARIB_DECODED) return status;
    }
    return ARIB_DECODED;
}

// COL and CDC: one parameter, or two when the first is 0x20.
ARIB_DECODE_STATUS skip_extendable_param(ARIB_CURSOR* in) {
    uint8_t param;
    const ARIB_DECODE_STATUS status = take_param(in, &param);
    if (status != ARIB_DECODED || param != INTERMEDIATE) return status;
    return skip_params(in, 1);
}

// `P... [0x20] F` of CSI and of the variable TIME form: decimal digits and
// 0x3B, then 0x20 and a final byte; without 0x20 only PLD, PLU and SCS.
ARIB_DECODE_STATUS skip_parameter_sequence(ARIB_CURSOR* in, bool intermediate_required) {
    uint8_t byte;
    for (;;) {
        if (!take_byte(in, &byte)) return ARIB_INCOMPLETE;
        if ((byte >= 0x30 && byte <= 0x39) || byte == 0x3B) continue;
        if (byte == INTERMEDIATE) {
            if (!take_byte(in, &byte)) return ARIB_INCOMPLETE;
            return byte >= 0x40 && byte <= 0x7E ? ARIB_DECODED : ARIB_INVALID;
        }
        const bool bare_final = byte == 0x5B || byte == 0x5C || byte == 0x6F;
        return bare_final && !intermediate_required ? ARIB_DECODED : ARIB_INVALID;
    }
}

// `TIME 0x20 P1`, `TIME 0x28 F`, `TIME 0x29 P... 0x20 F`.
ARIB_DECODE_STATUS skip_time(ARIB_CURSOR* in) {
    uint8_t form;
    if (!take_byte(in, &form)) return ARIB_INCOMPLETE;
    if (form == 0x20 || form == 0x28) return skip_params(in, 1);
    if (form == 0x29) return skip_parameter_sequence(in, true);
    return ARIB_INVALID;
}

// `MACRO 0x40 M body MACRO 0x4F` (0x41: defined and run). Names carry no
// definitions that matter, so the whole definition is skipped unrun.
ARIB_DECODE_STATUS skip_macro_definition(ARIB_CURSOR* in) {
    uint8_t kind;
    if (!take_byte(in, &kind)) return ARIB_INCOMPLETE;
    if (kind == MACRO_END) return ARIB_DECODED;
    if (kind != MACRO_DEFINE && kind != MACRO_DEFINE_AND_RUN) return ARIB_INVALID;
    for (size_t i = in->pos; i + 1 < in->size; ++i) {
        if (in->data[i] == MACRO && in->data[i + 1] == MACRO_END) {
            in->pos = i + 2;
            return ARIB_DECODED;
        }
    }
    return ARIB_INCOMPLETE;
}

// After `ESC 0x28..0x2B` or `ESC 0x24 0x28..0x2B`: `F` or `0x20 F`.
ARIB_DECODE_STATUS designate(ARIB_DECODER_STATE* state, int slot, bool two_byte, ARIB_CURSOR* in) {
    uint8_t final_byte;
    if (!take_byte(in, &final_byte)) return ARIB_INCOMPLETE;
    const bool dynamic = final_byte == INTERMEDIATE;
    if (dynamic && !take_byte(in, &final_byte)) return ARIB_INCOMPLETE;
    ARIB_CHARSET set;
    const bool known =
        dynamic ? find_drcs_set(final_byte, two_byte, &set) : find_graphic_set(final_byte, two_byte, &set);
    if (!known) return ARIB_INVALID;
    state->slot[slot] = set;
    return ARIB_DECODED;
}

// After `ESC 0x24`: the short G0 form `F`, or `0x28..0x2B [0x20] F`.
ARIB_DECODE_STATUS designate_two_byte(ARIB_DECODER_STATE* state, ARIB_CURSOR* in) {
    uint8_t byte;
    if (!take_byte(in, &byte)) return ARIB_INCOMPLETE;
    if (byte >= 0x28 && byte <= 0x2B) return designate(state, byte - 0x28, true, in);
    ARIB_CHARSET set;
    if (!find_graphic_set(byte, true, &set)) return ARIB_INVALID;
    state->slot[0] = set;
    return ARIB_DECODED;
}

ARIB_DECODE_STATUS decode_escape(ARIB_DECODER_STATE* state, ARIB_CURSOR* in) {
    uint8_t byte;
    if (!take_byte(in, &byte)) return ARIB_INCOMPLETE;
    switch (byte) {
        case 0x6E:
            state->gl = 2;
            return ARIB_DECODED;  // LS2
        case 0x6F:
            state->gl = 3;
            return ARIB_DECODED;  // LS3
        case 0x7E:
            state->gr = 1;
            return ARIB_DECODED;  // LS1R
        case 0x7D:
            state->gr = 2;
            return ARIB_DECODED;  // LS2R
        case 0x7C:
            state->gr = 3;
            return ARIB_DECODED;  // LS3R
        case 0x24:
            return designate_two_byte(state, in);
        case 0x28:
        case 0x29:
        case 0x2A:
        case 0x2B:
            return designate(state, byte - 0x28, false, in);
        default:
            return ARIB_INVALID;
    }
}

}  // namespace

ARIB_DECODE_STATUS decode_arib_control(ARIB_DECODER_STATE* state, uint8_t code, ARIB_CURSOR* in) {
    uint8_t param;
    ARIB_DECODE_STATUS status;
    switch (code) {
        case NUL:
        case BEL:
        case APB:
        case APF:
        case APD:
        case APU:
        case CS:
        case CAN:
        case RS:
        case US:
        case SPL:
        case STL:
            return ARIB_DECODED;
        case APR:
            return ARIB_DECODED;  // a line break; a name is printed on one line
        case LS0:
            state->gl = 0;
            return ARIB_DECODED;
        case LS1:
            state->gl = 1;
            return ARIB_DECODED;
        case ESC:
            return decode_escape(state, in);
        case PAPF:
            return skip_params(in, 1);
        case APS:
            return skip_params(in, 2);
        case SSZ:
        case MSZ:
            state->half_size = true;
            return ARIB_DECODED;
        case NSZ:
            state->half_size = false;
            return ARIB_DECODED;
        case SZX:
            status = take_param(in, &param);
            if (status == ARIB_DECODED) state->half_size = param == SZX_TINY;
            return status;
        case COL:
        case CDC:
            return skip_extendable_param(in);
        case FLC:
        case POL:
        case WMM:
        case HLC:
            return skip_params(in, 1);
        case MACRO:
            return skip_macro_definition(in);
        case RPC:
            // The low 6 bits count the copies; 0 means "to the end of the
            // line", which on a one-line name is the character once.
            status = take_param(in, &param);
            if (status == ARIB_DECODED) state->repeat = (param & 0x3F) != 0 ? (param & 0x3F) : 1;
            return status;
        case CSI:
            return skip_parameter_sequence(in, false);
        case TIME:
            return skip_time(in);
        default:
            if (code >= BKF && code <= WHF) return ARIB_DECODED;  // foreground colours
            return ARIB_INVALID;                                  // unused control codes
    }
}
