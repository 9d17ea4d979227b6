// PSI tables: CRC, section assembly, the four table handlers and the name catalogues.
#ifndef TSNARROW_PSI_H
#define TSNARROW_PSI_H

#include <cstdint>

#include "filter_state.h"

void rfc_make_crc32_table();
uint32_t rfc_crc32(const uint8_t* data, int32_t len);
uint32_t rfc_update_crc32(uint32_t crc, const uint8_t* data, int32_t len);

void proc_pat(uint8_t* data, const MPEG2_TS_HEADER* ts_header);
void proc_pmt(const uint8_t* data, const MPEG2_TS_HEADER* ts_header);
void proc_cat(const uint8_t* data, const MPEG2_TS_HEADER* ts_header);
void proc_sdt(const uint8_t* data, const MPEG2_TS_HEADER* ts_header);

// What a user of collect_section gives it besides the packet.
struct SECTION_USER {
    SECTION_BUFF* buffer;
    int table_id;
    const char* no_payload_message;  // "%08llX: ..." with PKT_count
    const char* table_id_message;    // "%08llX: ...[%d]..." with PKT_count and table_id
    const char* name;                // "PMT" or "SDT", for the other messages
    int min_section_length;          // its fixed fields and CRC
};

// Adds this packet's bytes to the user's section. True when the buffer holds a
// complete section to be processed for this packet.
bool collect_section(const uint8_t* packet, const MPEG2_TS_HEADER* header, const SECTION_USER& user);

// A text of a descriptor, still ARIB STD-B24 coded.
struct ARIB_TEXT {
    const uint8_t* bytes;
    int length;
};

// The services of an SDT section in loop order, and each service descriptor
// of each, its names still coded.
struct SDT_VISITOR {
    void (*service)(void* context, int service_id);
    void (*descriptor)(void* context, int service_type, ARIB_TEXT provider, ARIB_TEXT name);
    void* context;
};
void walk_sdt_services(const uint8_t* section, int length, const SDT_VISITOR& visitor);
// The last SDT section walked (its names all convert), null before the first.
const uint8_t* last_sdt_walked(int* length);
// A service or provider name as UTF-8; a name that does not convert ends the run.
constexpr int SERVICE_NAME_TEXT_LIMIT = 256;
void convert_service_name(ARIB_TEXT name, char (&text)[SERVICE_NAME_TEXT_LIMIT + 1]);

constexpr int TS_STREAM_TYPE_COUNT = 38;
extern const char* const TS_STREAM_TYPE[TS_STREAM_TYPE_COUNT];
// The catalogue's name, or "Undefined" beyond it.
const char* stream_type_name(int32_t type);

void print_service_type(int32_t service_type);

#endif
