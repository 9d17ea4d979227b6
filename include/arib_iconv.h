// Character-set conversion with the platform's iconv calling convention, plus
// a built-in "ARIB-B24" (ARIB STD-B24 8-bit coding) to "UTF-8" converter.
// Any other pair of encodings is handed to the C library's iconv.
#ifndef TSNARROW_ARIB_ICONV_H
#define TSNARROW_ARIB_ICONV_H

#include <iconv.h>

#include <cstddef>

iconv_t arib_iconv_open(const char* tocode, const char* fromcode);
size_t arib_iconv(iconv_t cd, char** inbuf, size_t* inbytesleft, char** outbuf, size_t* outbytesleft);
int arib_iconv_close(iconv_t cd);

#endif
