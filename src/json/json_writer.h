// A JSON document (RFC 8259) written to a stream as it is built: members and
// elements in order, the writer putting in the commas, the line ends and the
// indentation of two blanks a level.
#ifndef TSNARROW_JSON_WRITER_H
#define TSNARROW_JSON_WRITER_H

#include <cstddef>
#include <cstdio>

// Starts a document on `out`.
void json_start(FILE* out);
// Ends it with a line end; false when a write to the stream failed.
bool json_end();

// Each value takes a key inside an object, and null inside an array or as
// the document itself.
void json_open_object(const char* key);
void json_close_object();
void json_open_array(const char* key);
void json_close_array();

void json_null(const char* key);
void json_bool(const char* key, bool value);
void json_integer(const char* key, long long value);
void json_unsigned(const char* key, unsigned long long value);
// Thousandths as a number with three decimals: 1500 is 1.500.
void json_thousandths(const char* key, long long value);
// UTF-8 text, escaped where JSON needs it; each byte that is not part of a
// valid UTF-8 character becomes U+FFFD. A null text is null.
void json_string(const char* key, const char* text);
void json_string(const char* key, const char* text, size_t length);

#endif
