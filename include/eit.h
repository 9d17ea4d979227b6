// The programme now and next of each service, read from the present/following
// sections of the event information table on PID 0x0012 (-E, --events).
#ifndef TSNARROW_EIT_H
#define TSNARROW_EIT_H

#include <cstdint>

#include "filter.h"

constexpr int EIT_PID = 0x0012;
constexpr int EIT_SECTION_SIZE = 4096;  // section_length at most 4093

// Forgets every section and version seen: the state before a first packet.
void start_events();

// Gathers the sections of one 188-byte packet on PID 0x0012 and reports those
// of the present/following table of the actual stream.
void collect_eit_packet(const uint8_t* packet);

// Any packet of the loop: only those on PID 0x0012 are looked at.
inline void note_eit_packet(const uint8_t* packet) {
    if (ts_packet_pid(packet) == EIT_PID) collect_eit_packet(packet);
}

// One whole section of table_id 0x4E, `length` bytes from its table_id to its
// CRC_32 (at most EIT_SECTION_SIZE), gathered by the time `packet` was read.
void take_eit_section(const uint8_t* section, int length, const uint8_t* packet);

#endif
