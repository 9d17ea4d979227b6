// Character-set conversion with the platform's iconv calling convention, plus
// a built-in "ARIB-B24" (ARIB STD-B24 8-bit coding) to "UTF-8" converter.
// Any other pair of encodings is handed to the C library's iconv.
#ifndef TSNARROW_ARIB_ICONV_H
#define TSNARROW_ARIB_ICONV_H

#include <iconv.h>

#include <cstddef>

// "UTF-8" (or "UTF8") from "ARIB-B24", names matched without regard to case,
// yields a descriptor in the initial state taken from a small static pool;
// when the pool is full the result is (iconv_t)-1 with errno EMFILE.
iconv_t arib_iconv_open(const char* tocode, const char* fromcode);
// Results as iconv: 0 when all input converted (substitutes for glyphs that
// Unicode lacks count as ordinary characters), else (size_t)-1 with errno
// EILSEQ (invalid input), EINVAL (input ends inside a character or sequence)
// or E2BIG (output full); the input position is left at the start of the
// offending unit, and a character's UTF-8 is written whole or not at all.
// A null inbuf or *inbuf returns the descriptor to its initial state.
size_t arib_iconv(iconv_t cd, char** inbuf, size_t* inbytesleft, char** outbuf, size_t* outbytesleft);
int arib_iconv_close(iconv_t cd);

#endif
