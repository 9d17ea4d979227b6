// What a run found, as one JSON document for scripts (--json FILE): the PSI
// taken, the events, the check and the parts, written once when the run ends,
// however it ends.
#ifndef TSNARROW_JSON_H
#define TSNARROW_JSON_H

#include <cstdint>

extern const char* Json_path;  // --json: the document's file, "-" standard output; null without

// Creates the document's file at the start of the run, after the output;
// `stdout_fd` is the descriptor kept aside when the document goes to standard
// output, and `refused` says that it would go there with the packets. A file
// that cannot be created, or that is the input or the output, ends the run.
void create_json_document(const char* input_name, const char* output_name, int stdout_fd, bool refused);

// The framing of the input once known: 188 or 192.
void note_json_framing(int framing);

// A block of -E taken (printed or not): its section, for "events".
void log_eit_block(const uint8_t* section, int length);

// Writes the document of a run ending with `status`; returns the status, 1
// when the document could not be written (said on standard error).
int finish_json_document(int status);

#endif
