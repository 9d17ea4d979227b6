// PSI sections and descriptors. Every length field can be overridden to build
// malformed tables; the CRC_32 is always computed over the bytes as written
// (so a wrong length shows as a wrong length, not as a CRC failure) unless
// bad_crc asks for a wrong one.
#ifndef TSBUILD_SECTION_H
#define TSBUILD_SECTION_H

#include <cstdint>
#include <optional>
#include <vector>

#include "types.h"

namespace tsb {

struct SectionOpts {
    uint8_t version = 0;  // version_number, 5 bits
    bool current_next = true;
    uint8_t section_number = 0;
    uint8_t last_section_number = 0;
    // section_length written instead of the true one (12 bits).
    std::optional<int> section_length;
    // Store the CRC_32 with its lowest bit inverted.
    bool bad_crc = false;
    // Upper four bits of byte 1 (section_syntax_indicator, private or
    // reserved_future_use bit, two reserved bits); by default 0xB0 for the
    // MPEG tables, 0xF0 for the ARIB ones, 0x70 for short sections.
    std::optional<uint8_t> flag_bits;
};

// Long form: table_id, flags and section_length, table_id_extension, version
// byte, section_number, last_section_number, body, CRC_32.
Bytes long_section(uint8_t table_id, uint16_t table_id_extension, const Bytes& body,
                   const SectionOpts& o = {});

// Short form: table_id, flags and section_length, body, and the CRC_32 when
// with_crc (the TOT has one, the TDT not). version and section numbers unused.
Bytes short_section(uint8_t table_id, const Bytes& body, bool with_crc, const SectionOpts& o = {});

// tag, length (or the override), body.
Bytes descriptor(uint8_t tag, const Bytes& body, std::optional<int> length = std::nullopt);

// CA descriptor 0x09: CA_system_ID, 3 reserved bits and CA_PID, private data.
Bytes ca_descriptor(uint16_t ca_system_id, uint16_t ca_pid, const Bytes& private_data = {},
                    std::optional<int> length = std::nullopt);

// Service descriptor 0x48 with raw (ARIB coded) provider and service names.
struct ServiceDescriptor {
    uint8_t service_type = 0x01;
    Bytes provider;
    Bytes name;
    std::optional<int> length;           // descriptor_length
    std::optional<int> provider_length;  // service_provider_name_length
    std::optional<int> name_length;      // service_name_length
};
Bytes service_descriptor(const ServiceDescriptor& d);

struct PatEntry {
    uint16_t program_number;
    uint16_t pid;  // network_PID for program 0, program_map_PID otherwise
};
// PAT (table_id 0x00); table_id_extension is the transport_stream_id.
Bytes pat_section(uint16_t transport_stream_id, const std::vector<PatEntry>& entries,
                  const SectionOpts& o = {});

struct EsEntry {
    uint8_t stream_type;
    uint16_t pid;
    Bytes es_info;
    std::optional<int> es_info_length;
};
struct Pmt {
    uint16_t program_number = 1;
    uint16_t pcr_pid = kNullPid;
    Bytes program_info;
    std::optional<int> program_info_length;
    std::vector<EsEntry> streams;
};
// PMT (table_id 0x02).
Bytes pmt_section(const Pmt& pmt, const SectionOpts& o = {});

// CAT (table_id 0x01, table_id_extension 0xFFFF) holding descriptors.
Bytes cat_section(const Bytes& descriptors, const SectionOpts& o = {});

struct SdtService {
    uint16_t service_id;
    Bytes descriptors;
    std::optional<int> descriptors_loop_length;
    uint8_t eit_flags = 0x03;    // EIT_schedule_flag, EIT_present_following_flag
    uint8_t running_status = 4;  // running
    bool free_ca = false;
};
struct Sdt {
    uint16_t transport_stream_id = 1;
    uint16_t original_network_id = 1;
    std::vector<SdtService> services;
    uint8_t table_id = 0x42;  // 0x42 actual, 0x46 other transport stream
};
// SDT in the ARIB layout: original_network_id, reserved byte, service loop.
Bytes sdt_section(const Sdt& sdt, const SectionOpts& o = {});

// EIT times: start_time as MJD and BCD hours, minutes, seconds (5 bytes);
// a duration as BCD hours, minutes, seconds (3 bytes).
Bytes mjd_time(uint16_t mjd, unsigned hours, unsigned minutes, unsigned seconds);
Bytes bcd_duration(unsigned hours, unsigned minutes, unsigned seconds);

// Short event descriptor 0x4D: language "jpn", ARIB coded name and text.
Bytes short_event_descriptor(const Bytes& name, const Bytes& text);
// Extended event descriptor 0x4E: descriptor_number, last_descriptor_number,
// "jpn", the items (ARIB coded description and text), text_length 0.
struct ExtendedItem {
    Bytes description;
    Bytes text;
};
Bytes extended_event_descriptor(uint8_t number, uint8_t last, const std::vector<ExtendedItem>& items);
// Content descriptor 0x54: each genre as content_nibble_level_1 and _2, user nibbles 0xFF.
Bytes content_descriptor(const std::vector<uint8_t>& genres);

struct EitEvent {
    uint16_t event_id = 1;
    Bytes start_time = mjd_time(60401, 21, 0, 0);  // 2024-04-01 21:00:00
    Bytes duration = bcd_duration(1, 0, 0);
    uint8_t running_status = 4;  // running
    Bytes descriptors;
    std::optional<int> descriptors_loop_length;
};
struct Eit {
    uint8_t table_id = 0x4E;  // present/following of the actual stream; 0x50.. schedule
    uint16_t service_id = 1;
    uint16_t transport_stream_id = 1;
    uint16_t original_network_id = 1;
    uint8_t segment_last_section_number = 1;
    std::vector<EitEvent> events;
};
// EIT in the ARIB layout: transport_stream_id, original_network_id,
// segment_last_section_number, last_table_id (the table's own), events.
Bytes eit_section(const Eit& eit, const SectionOpts& o = {});

}  // namespace tsb

#endif
