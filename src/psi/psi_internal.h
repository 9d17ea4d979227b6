// Steps the four table handlers share: locating and checking a section, and
// the pieces their reports are made of.
#ifndef TSNARROW_PSI_INTERNAL_H
#define TSNARROW_PSI_INTERNAL_H

#include <cstdint>
#include <cstring>

#include "filter_state.h"
#include "psi.h"

// Big-endian fields of a section.
inline int read_u16(const uint8_t* p) { return p[0] << 8 | p[1]; }
inline int read_pid(const uint8_t* p) { return (p[0] & 0x1F) << 8 | p[1]; }
inline int read_length12(const uint8_t* p) { return (p[0] & 0x0F) << 8 | p[1]; }
inline int read_version(const uint8_t* section) { return (section[5] >> 1) & 0x1F; }

// Offset of the first payload byte: behind the header, or behind the
// adaptation field when there is one. May lie past the packet.
int payload_offset(const uint8_t* packet, const MPEG2_TS_HEADER* header);

// Length of an adaptation field that carries more than indicator bits and
// stuffing (PCR, OPCR, splice, private data or extension); 0 otherwise.
int kept_adaptation_length(const uint8_t* packet, const MPEG2_TS_HEADER* header);

// For the single-packet tables (PAT, CAT): unit start, payload, table_id,
// length bound, CRC and size checks. Returns the offset of the section in the
// packet, or -1 after printing why the packet is refused.
int locate_single_section(const uint8_t* packet, const MPEG2_TS_HEADER* header, const char* name,
                          int table_id, int* kept_length);

// For the multi-packet tables (PMT, SDT): collects the packet into the user's
// buffer, then checks the section once it is complete. True when the buffer
// holds a whole, intact, single-section table to take.
bool take_collected_section(const uint8_t* packet, const MPEG2_TS_HEADER* header, const SECTION_USER& user);

// A copy of a section already handled: the same bytes coming round again can
// skip work whose outcome cannot differ.
template <int CAPACITY>
struct SECTION_COPY {
    int32_t length;  // 0: none yet
    uint8_t data[CAPACITY];
};
using SECTION_MEMO = SECTION_COPY<SECTION_BUFF_SIZE>;

template <int CAPACITY>
bool is_remembered(const SECTION_COPY<CAPACITY>& memo, const uint8_t* section, int length) {
    return length > 0 && length == memo.length && std::memcmp(section, memo.data, length) == 0;
}

template <int CAPACITY>
void remember(SECTION_COPY<CAPACITY>& memo, const uint8_t* section, int length) {  // length <= CAPACITY
    memo.length = length;
    std::memcpy(memo.data, section, length);
}

// Tables come round many times a second, nearly always unchanged: a section
// equal to the last one of its memo that passed the CRC passes again without
// the CRC being run over it.
template <int CAPACITY>
bool crc_is_intact(SECTION_COPY<CAPACITY>& intact, const uint8_t* section, int length) {
    if (is_remembered(intact, section, length)) return true;
    if (rfc_crc32(section, length) != 0) return false;
    remember(intact, section, length);
    return true;
}

// A section must at least hold its fixed fields and its CRC. Checked after the
// CRC, which only a section built to pass it would pass this short.
bool check_min_length(const uint8_t* section, int min_section_length, const char* name);
// CRC over the whole section; on failure the message and a dump of the packet.
bool check_section_crc(const uint8_t* section, int length, const char* name, const uint8_t* packet);
// The CRC message and the dump of the packet at hand.
void report_crc_failure(const char* name, const uint8_t* packet);
// Only single-section tables are taken.
bool check_section_numbers(const uint8_t* section, const char* name);

// Report pieces.
void print_title(const char* name);
void print_current_next(const char* name, const uint8_t* section);
void print_version(int version);
void print_id(int value, int decimal_digits);      // "0x%04X(%0*d)\n"
void print_id_line(const char* label, int value);  // label then "0x%04X(%d)\n"
void print_separator();

#endif
