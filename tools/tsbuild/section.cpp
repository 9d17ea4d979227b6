#include "section.h"

#include "crc32.h"

namespace tsb {
namespace {

uint8_t length_byte(std::optional<int> override_value, size_t actual) {
    return static_cast<uint8_t>(override_value ? *override_value : static_cast<int>(actual));
}

// Puts flags and section_length into bytes 1 and 2, then appends the CRC_32.
Bytes finish(Bytes section, uint8_t default_flags, const SectionOpts& o, bool with_crc) {
    const size_t length = section.size() - 3 + (with_crc ? 4 : 0);
    const int written = o.section_length ? *o.section_length : static_cast<int>(length);
    section[1] = static_cast<uint8_t>((o.flag_bits.value_or(default_flags) & 0xF0) | ((written >> 8) & 0x0F));
    section[2] = static_cast<uint8_t>(written);
    if (with_crc) put32(section, crc32(section) ^ (o.bad_crc ? 1u : 0u));
    return section;
}

Bytes long_section_with(uint8_t table_id, uint16_t extension, const Bytes& body, const SectionOpts& o,
                        uint8_t default_flags) {
    Bytes s{table_id, 0, 0};
    put16(s, extension);
    s.push_back(static_cast<uint8_t>(0xC0 | (o.version & 0x1F) << 1 | (o.current_next ? 1 : 0)));
    s.push_back(o.section_number);
    s.push_back(o.last_section_number);
    append(s, body);
    return finish(std::move(s), default_flags, o, true);
}

// 4 reserved bits (or 3 for a PID) and a 12-bit length or 13-bit PID.
void put_reserved12(Bytes& out, int value) { put16(out, static_cast<uint16_t>(0xF000 | (value & 0x0FFF))); }
void put_pid(Bytes& out, uint16_t pid) { put16(out, static_cast<uint16_t>(0xE000 | (pid & 0x1FFF))); }

}  // namespace

Bytes long_section(uint8_t table_id, uint16_t table_id_extension, const Bytes& body, const SectionOpts& o) {
    return long_section_with(table_id, table_id_extension, body, o, 0xB0);
}

Bytes short_section(uint8_t table_id, const Bytes& body, bool with_crc, const SectionOpts& o) {
    Bytes s{table_id, 0, 0};
    append(s, body);
    return finish(std::move(s), 0x70, o, with_crc);
}

Bytes descriptor(uint8_t tag, const Bytes& body, std::optional<int> length) {
    Bytes d;
    d.reserve(2 + body.size());
    d.push_back(tag);
    d.push_back(length_byte(length, body.size()));
    append(d, body);
    return d;
}

Bytes ca_descriptor(uint16_t ca_system_id, uint16_t ca_pid, const Bytes& private_data,
                    std::optional<int> length) {
    Bytes body;
    put16(body, ca_system_id);
    put_pid(body, ca_pid);
    append(body, private_data);
    return descriptor(0x09, body, length);
}

Bytes service_descriptor(const ServiceDescriptor& d) {
    Bytes body{d.service_type, length_byte(d.provider_length, d.provider.size())};
    append(body, d.provider);
    body.push_back(length_byte(d.name_length, d.name.size()));
    append(body, d.name);
    return descriptor(0x48, body, d.length);
}

Bytes pat_section(uint16_t transport_stream_id, const std::vector<PatEntry>& entries, const SectionOpts& o) {
    Bytes body;
    for (const PatEntry& e : entries) {
        put16(body, e.program_number);
        put_pid(body, e.pid);
    }
    return long_section(0x00, transport_stream_id, body, o);
}

Bytes pmt_section(const Pmt& pmt, const SectionOpts& o) {
    Bytes body;
    put_pid(body, pmt.pcr_pid);
    put_reserved12(body, pmt.program_info_length.value_or(static_cast<int>(pmt.program_info.size())));
    append(body, pmt.program_info);
    for (const EsEntry& es : pmt.streams) {
        body.push_back(es.stream_type);
        put_pid(body, es.pid);
        put_reserved12(body, es.es_info_length.value_or(static_cast<int>(es.es_info.size())));
        append(body, es.es_info);
    }
    return long_section(0x02, pmt.program_number, body, o);
}

Bytes cat_section(const Bytes& descriptors, const SectionOpts& o) {
    return long_section(0x01, 0xFFFF, descriptors, o);
}

Bytes sdt_section(const Sdt& sdt, const SectionOpts& o) {
    Bytes body;
    put16(body, sdt.original_network_id);
    body.push_back(0xFF);
    for (const SdtService& s : sdt.services) {
        put16(body, s.service_id);
        body.push_back(static_cast<uint8_t>(0xFC | (s.eit_flags & 0x03)));
        const int loop = s.descriptors_loop_length.value_or(static_cast<int>(s.descriptors.size()));
        put16(body, static_cast<uint16_t>((s.running_status & 7) << 13 | (s.free_ca ? 0x1000 : 0) |
                                          (loop & 0x0FFF)));
        append(body, s.descriptors);
    }
    return long_section_with(sdt.table_id, sdt.transport_stream_id, body, o, 0xF0);
}

Bytes mjd_time(uint16_t mjd, unsigned hours, unsigned minutes, unsigned seconds) {
    Bytes b;
    put16(b, mjd);
    append(b, bcd_duration(hours, minutes, seconds));
    return b;
}

Bytes bcd_duration(unsigned hours, unsigned minutes, unsigned seconds) {
    const auto bcd = [](unsigned v) { return static_cast<uint8_t>((v / 10 % 10) << 4 | v % 10); };
    return {bcd(hours), bcd(minutes), bcd(seconds)};
}

Bytes short_event_descriptor(const Bytes& name, const Bytes& text) {
    Bytes body{'j', 'p', 'n', static_cast<uint8_t>(name.size())};
    append(body, name);
    body.push_back(static_cast<uint8_t>(text.size()));
    append(body, text);
    return descriptor(0x4D, body);
}

Bytes extended_event_descriptor(uint8_t number, uint8_t last, const std::vector<ExtendedItem>& items) {
    Bytes loop;
    for (const ExtendedItem& item : items) {
        loop.push_back(static_cast<uint8_t>(item.description.size()));
        append(loop, item.description);
        loop.push_back(static_cast<uint8_t>(item.text.size()));
        append(loop, item.text);
    }
    Bytes body{static_cast<uint8_t>(number << 4 | (last & 0x0F)), 'j', 'p', 'n',
               static_cast<uint8_t>(loop.size())};
    append(body, loop);
    body.push_back(0x00);  // text_length
    return descriptor(0x4E, body);
}

Bytes content_descriptor(const std::vector<uint8_t>& genres) {
    Bytes body;
    for (uint8_t genre : genres) body.insert(body.end(), {genre, 0xFF});
    return descriptor(0x54, body);
}

Bytes eit_section(const Eit& eit, const SectionOpts& o) {
    Bytes body;
    put16(body, eit.transport_stream_id);
    put16(body, eit.original_network_id);
    body.push_back(eit.segment_last_section_number);
    body.push_back(eit.table_id);  // last_table_id
    for (const EitEvent& e : eit.events) {
        put16(body, e.event_id);
        append(body, e.start_time);
        append(body, e.duration);
        const int loop = e.descriptors_loop_length.value_or(static_cast<int>(e.descriptors.size()));
        put16(body, static_cast<uint16_t>((e.running_status & 7) << 13 | (loop & 0x0FFF)));
        append(body, e.descriptors);
    }
    return long_section_with(eit.table_id, eit.service_id, body, o, 0xF0);
}

}  // namespace tsb
