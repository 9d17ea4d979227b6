// The ARIB-B24 to UTF-8 converter on arbitrary bytes, called as the SDT report
// calls it: a fresh descriptor, the whole input, 256 bytes of output room.
// Guard bytes follow the room and the room is prefilled, so a write past the
// room or past the reported output position shows. A result of 0 must mean
// all input taken and valid UTF-8 out; a failure must be EILSEQ, EINVAL or
// E2BIG with whole characters written. The same input converted with ample
// room on a descriptor reset after use must agree: the tight call's output is
// a prefix of it, and only E2BIG may tell the two apart.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "arib_iconv.h"
#include "harness.h"

namespace {

constexpr size_t NAME_ROOM = 256;
constexpr size_t AMPLE_ROOM = 8192;
constexpr size_t GUARD_BYTES = 64;
constexpr uint8_t FILL = 0xA5;  // never a whole UTF-8 character on its own

const iconv_t FAILED_DESCRIPTOR = reinterpret_cast<iconv_t>(-1);

// RFC 3629: shortest form only, no surrogates, nothing above U+10FFFF.
bool is_valid_utf8(const uint8_t* s, size_t n) {
    size_t i = 0;
    while (i < n) {
        const uint8_t b = s[i];
        size_t extra;
        uint32_t low;  // smallest code point of this length
        uint32_t cp;
        if (b < 0x80) {
            ++i;
            continue;
        } else if ((b & 0xE0) == 0xC0) {
            extra = 1, low = 0x80, cp = b & 0x1F;
        } else if ((b & 0xF0) == 0xE0) {
            extra = 2, low = 0x800, cp = b & 0x0F;
        } else if ((b & 0xF8) == 0xF0) {
            extra = 3, low = 0x10000, cp = b & 0x07;
        } else {
            return false;
        }
        if (n - i <= extra) return false;
        for (size_t k = 1; k <= extra; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) return false;
            cp = cp << 6 | (s[i + k] & 0x3F);
        }
        if (cp < low || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += extra + 1;
    }
    return true;
}

struct Conversion {
    size_t result;
    int error;
    size_t consumed;
    std::vector<uint8_t> output;
};

// One call into a room of `room` bytes followed by guard bytes; checks the
// call's own bookkeeping.
Conversion convert(iconv_t cd, const uint8_t* data, size_t size, size_t room) {
    std::vector<uint8_t> input(data, data + size);  // allocated to size: over-reads are caught
    std::vector<uint8_t> area(room + GUARD_BYTES, FILL);
    char* in = reinterpret_cast<char*>(input.data());
    size_t in_left = size;
    char* out = reinterpret_cast<char*>(area.data());
    size_t out_left = room;
    errno = 0;
    Conversion c;
    c.result = arib_iconv(cd, &in, &in_left, &out, &out_left);
    c.error = errno;
    FUZZ_CHECK(in_left <= size);
    c.consumed = size - in_left;
    FUZZ_CHECK(in == reinterpret_cast<char*>(input.data()) + c.consumed);
    const size_t written = static_cast<size_t>(out - reinterpret_cast<char*>(area.data()));
    FUZZ_CHECK(written <= room && written + out_left == room);
    for (size_t i = written; i < area.size(); ++i) FUZZ_CHECK(area[i] == FILL);  // room rest and guard
    c.output.assign(area.begin(), area.begin() + static_cast<long>(written));
    FUZZ_CHECK(is_valid_utf8(c.output.data(), c.output.size()));
    if (c.result == 0) {
        FUZZ_CHECK(in_left == 0);
    } else {
        FUZZ_CHECK(c.result == static_cast<size_t>(-1));
        FUZZ_CHECK(c.error == EILSEQ || c.error == EINVAL || c.error == E2BIG);
        FUZZ_CHECK(in_left > 0);
    }
    return c;
}

bool is_prefix(const std::vector<uint8_t>& part, const std::vector<uint8_t>& whole) {
    return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    iconv_t cd = arib_iconv_open("UTF-8", "ARIB-B24");
    FUZZ_CHECK(cd != FAILED_DESCRIPTOR);
    const Conversion tight = convert(cd, data, size, NAME_ROOM);
    FUZZ_CHECK(arib_iconv_close(cd) == 0);

    // A used descriptor, reset, must behave as a fresh one.
    cd = arib_iconv_open("UTF-8", "ARIB-B24");
    FUZZ_CHECK(cd != FAILED_DESCRIPTOR);
    convert(cd, data, size, NAME_ROOM);
    FUZZ_CHECK(arib_iconv(cd, nullptr, nullptr, nullptr, nullptr) == 0);
    const Conversion ample = convert(cd, data, size, AMPLE_ROOM);
    FUZZ_CHECK(arib_iconv_close(cd) == 0);

    FUZZ_CHECK(is_prefix(tight.output, ample.output));
    FUZZ_CHECK(tight.consumed <= ample.consumed);
    if (tight.result != 0 && tight.error == E2BIG) {
        FUZZ_CHECK(ample.output.size() > NAME_ROOM || ample.error == E2BIG);
    } else {
        FUZZ_CHECK(ample.result == tight.result);
        if (tight.result != 0) FUZZ_CHECK(ample.error == tight.error);
        FUZZ_CHECK(tight.consumed == ample.consumed);
        FUZZ_CHECK(tight.output == ample.output);
    }
    return 0;
}
