// Per-packet work: header decoding, PSI dispatch and the pass/drop/null decision.
#ifndef TSNARROW_FILTER_H
#define TSNARROW_FILTER_H

#include <cstdint>

#include "filter_state.h"

// size is 188 or 192. Returns size when the packet is to be written, 0 when it
// is dropped, -1 when its sync byte is wrong.
int proc_ts_packet(uint8_t* buffer, int size);

// Checks the sync byte, decodes the header, prints the -z trace.
// Returns -1 on a wrong sync byte, 0 otherwise.
int analyze_ts_header(const uint8_t* packet, MPEG2_TS_HEADER* header);

// Pass (188), drop (0), or overwrite with a null packet (188) under -e.
int filter_ts_packet(uint8_t* packet);

#endif
