// The iconv-compatible front: "ARIB-B24" to "UTF-8" descriptors come from a
// small static pool, every other pair of encodings goes to the C library.
#include "arib_iconv.h"

#include <strings.h>

#include <cerrno>
#include <cstdint>

#include "arib_decoder.h"
#include "utf8_output.h"

namespace {

// The tool converts one name at a time; a few descriptors leave room for
// callers that keep more than one open.
constexpr size_t ARIB_POOL_SIZE = 4;

struct ARIB_DESCRIPTOR {
    bool in_use;
    ARIB_DECODER_STATE state;
};

// Zero-initialised before any code runs: no allocation, no constructor.
ARIB_DESCRIPTOR Arib_pool[ARIB_POOL_SIZE];

const iconv_t FAILED_DESCRIPTOR = reinterpret_cast<iconv_t>(-1);

bool is_arib_pair(const char* tocode, const char* fromcode) {
    if (tocode == nullptr || fromcode == nullptr) return false;
    return strcasecmp(fromcode, "ARIB-B24") == 0 &&
           (strcasecmp(tocode, "UTF-8") == 0 || strcasecmp(tocode, "UTF8") == 0);
}

// The pool slot `cd` designates, or null for a descriptor of the C library
// (which can never point into this array).
ARIB_DESCRIPTOR* find_arib_descriptor(iconv_t cd) {
    const uintptr_t address = reinterpret_cast<uintptr_t>(cd);
    const uintptr_t first = reinterpret_cast<uintptr_t>(&Arib_pool[0]);
    if (address < first || address >= first + sizeof Arib_pool) return nullptr;
    if ((address - first) % sizeof(ARIB_DESCRIPTOR) != 0) return nullptr;
    return &Arib_pool[(address - first) / sizeof(ARIB_DESCRIPTOR)];
}

size_t text_utf8_length(const ARIB_UNIT& unit) {
    size_t length = 0;
    for (int i = 0; i < unit.text.count; ++i) length += utf8_length(unit.text.code_points[i]);
    return length * unit.copies;
}

char* write_text(const ARIB_UNIT& unit, char* out) {
    for (int copy = 0; copy < unit.copies; ++copy)
        for (int i = 0; i < unit.text.count; ++i) out = write_utf8(unit.text.code_points[i], out);
    return out;
}

size_t fail_with(int error) {
    errno = error;
    return static_cast<size_t>(-1);
}

// Converts unit by unit. A unit's state change and its text are committed
// together, so on any failure the input stops at the start of the unit that
// failed and the state is the one before it.
size_t convert_arib(ARIB_DESCRIPTOR* descriptor, char** inbuf, size_t* inbytesleft, char** outbuf,
                    size_t* outbytesleft) {
    if (inbytesleft == nullptr) return fail_with(EFAULT);
    const bool has_output = outbuf != nullptr && *outbuf != nullptr && outbytesleft != nullptr;
    const uint8_t* in = reinterpret_cast<const uint8_t*>(*inbuf);
    size_t in_left = *inbytesleft;
    char* out = has_output ? *outbuf : nullptr;
    size_t out_left = has_output ? *outbytesleft : 0;

    int error = 0;
    while (in_left > 0) {
        ARIB_DECODER_STATE next = descriptor->state;
        ARIB_UNIT unit;
        const ARIB_DECODE_STATUS status = decode_arib_unit(&next, in, in_left, &unit);
        if (status != ARIB_DECODED) {
            error = status == ARIB_INVALID ? EILSEQ : EINVAL;
            break;
        }
        const size_t needed = text_utf8_length(unit);
        if (needed > out_left) {
            error = E2BIG;
            break;
        }
        if (needed > 0) out = write_text(unit, out);
        out_left -= needed;
        descriptor->state = next;
        in += unit.length;
        in_left -= unit.length;
    }

    *inbuf = reinterpret_cast<char*>(const_cast<uint8_t*>(in));
    *inbytesleft = in_left;
    if (has_output) {
        *outbuf = out;
        *outbytesleft = out_left;
    }
    // Substitutes count as ordinary conversions: no irreversible count.
    return error != 0 ? fail_with(error) : 0;
}

}  // namespace

iconv_t arib_iconv_open(const char* tocode, const char* fromcode) {
    if (!is_arib_pair(tocode, fromcode)) return iconv_open(tocode, fromcode);
    for (ARIB_DESCRIPTOR& descriptor : Arib_pool) {
        if (descriptor.in_use) continue;
        descriptor.in_use = true;
        reset_arib_state(&descriptor.state);
        return reinterpret_cast<iconv_t>(&descriptor);
    }
    errno = EMFILE;
    return FAILED_DESCRIPTOR;
}

size_t arib_iconv(iconv_t cd, char** inbuf, size_t* inbytesleft, char** outbuf, size_t* outbytesleft) {
    if (cd == FAILED_DESCRIPTOR) return fail_with(EBADF);
    ARIB_DESCRIPTOR* descriptor = find_arib_descriptor(cd);
    if (descriptor == nullptr) return iconv(cd, inbuf, inbytesleft, outbuf, outbytesleft);
    if (!descriptor->in_use) return fail_with(EBADF);
    if (inbuf == nullptr || *inbuf == nullptr) {
        reset_arib_state(&descriptor->state);  // the coding needs no closing sequence
        return 0;
    }
    return convert_arib(descriptor, inbuf, inbytesleft, outbuf, outbytesleft);
}

int arib_iconv_close(iconv_t cd) {
    if (cd == FAILED_DESCRIPTOR) {
        errno = EBADF;
        return -1;
    }
    ARIB_DESCRIPTOR* descriptor = find_arib_descriptor(cd);
    if (descriptor == nullptr) return iconv_close(cd);
    if (!descriptor->in_use) {
        errno = EBADF;
        return -1;
    }
    descriptor->in_use = false;
    return 0;
}
