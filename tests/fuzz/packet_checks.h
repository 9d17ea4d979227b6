// What a packet may look like after the tool has handled it, judged against
// the packet as it came, and CRC repairs that let mutated sections past the
// tool's CRC check. Independent of the tool's code: the CRC here is computed
// bit by bit.
#ifndef TSNARROW_FUZZ_PACKET_CHECKS_H
#define TSNARROW_FUZZ_PACKET_CHECKS_H

#include <cstdint>

// 0x47 0x1F 0xFF 0x10 followed by 184 bytes of 0xFF.
bool is_null_packet(const uint8_t* packet);

// True when `after` is the PAT packet `before` rewritten to list the network
// entry (0x0010) and program `target` on `pmt_pid`: header kept (but for the
// adaptation-field bit when the field is dropped), a kept adaptation field
// untouched, transport_stream_id and version_number of the incoming section,
// a correct CRC_32, stuffing to the end.
bool is_rewritten_pat(const uint8_t* before, const uint8_t* after, int target, int pmt_pid);

// Stores in the last four of `size` bytes the CRC_32 that makes the section
// intact; a section of fewer than 7 bytes is left alone.
void put_section_crc(uint8_t* section, int size);

// When a unit-start packet carries a whole section (header and section_length
// bytes inside the packet), makes its CRC_32 right; otherwise changes nothing.
void fix_section_crc(uint8_t* packet);

#endif
