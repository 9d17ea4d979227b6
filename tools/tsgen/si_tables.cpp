#include "si_tables.h"

namespace tsgen {
namespace {

using tsb::Bytes;

// Provider and service names in the ARIB 8-bit coding, written by hand.
struct ServiceNames {
    Bytes provider;
    Bytes service;
};

ServiceNames service_names(int index) {
    switch (index) {
        case 0:  // ＮＨＫ / ＮＨＫ総合１・東京
            return {{0x23, 0x4E, 0x23, 0x48, 0x23, 0x4B},
                    {0x23, 0x4E, 0x23, 0x48, 0x23, 0x4B, 0x41, 0x6D, 0x39, 0x67, 0x23, 0x31, 0x21, 0x26, 0x45,
                     0x6C, 0x35, 0x7E}};
        case 1:  // ＷＯＷＯＷ / WOWOWプライム (half-width letters after MSZ and LS1)
            return {{0x23, 0x57, 0x23, 0x4F, 0x23, 0x57, 0x23, 0x4F, 0x23, 0x57},
                    {0x89, 0x0E, 0x57, 0x4F, 0x57, 0x4F, 0x57, 0x8A, 0x0F, 0x25, 0x57, 0x25, 0x69, 0x25, 0x24,
                     0x25, 0x60}};
        case 2:  // 日テレ (katakana through LS3R) / ニュース７🈑 (boxed 字, row 90)
            return {{0x46, 0x7C, 0x1B, 0x7C, 0xC6, 0xEC},
                    {0x25, 0x4B, 0x25, 0x65, 0x21, 0x3C, 0x25, 0x39, 0x23, 0x37, 0x7A, 0x56}};
        case 3:  // ＢＳ / ＢＳよしもと (hiragana in GR, the initial state)
            return {{0x23, 0x42, 0x23, 0x53}, {0x23, 0x42, 0x23, 0x53, 0xE8, 0xB7, 0xE2, 0xC8}};
        default:  // 試験 / ＴＶ and a full-width digit
            return {{0x3B, 0x6E, 0x38, 0x33},
                    {0x23, 0x54, 0x23, 0x56, 0x23, static_cast<uint8_t>(0x30 + index % 10)}};
    }
}

// ＢＳデジタル
const Bytes kNetworkName = {0x23, 0x42, 0x23, 0x53, 0x25, 0x47, 0x25, 0x38, 0x25, 0x3F, 0x25, 0x6B};

constexpr uint8_t kArib = 0xF0;  // section_syntax_indicator and reserved_future_use set

tsb::SectionOpts arib_opts(uint8_t version = 0) {
    tsb::SectionOpts o;
    o.version = version;
    o.flag_bits = kArib;
    return o;
}

Bytes loop_length(size_t length) {
    Bytes b;
    tsb::put16(b, static_cast<uint16_t>(0xF000 | (length & 0x0FFF)));
    return b;
}

// Descriptor bodies that only fill space: a recognisable byte pattern.
Bytes filler(uint8_t tag, size_t size) {
    Bytes b(size);
    for (size_t i = 0; i < size; ++i) b[i] = static_cast<uint8_t>(tag + 7 * i);
    return b;
}

uint8_t bcd(unsigned value) { return static_cast<uint8_t>((value / 10) << 4 | value % 10); }

// MJD and BCD time of the given seconds after 2024-04-01 (MJD 60401) 21:00:00.
void put_time(Bytes& out, uint64_t seconds) {
    const uint64_t t = seconds + 21 * 3600;
    tsb::put16(out, static_cast<uint16_t>(60401 + t / 86400));
    const unsigned day = static_cast<unsigned>(t % 86400);
    out.push_back(bcd(day / 3600));
    out.push_back(bcd(day / 60 % 60));
    out.push_back(bcd(day % 60));
}

}  // namespace

Bytes make_pat(const std::vector<Program>& programs, uint8_t version) {
    std::vector<tsb::PatEntry> entries{{0x0000, kNitPid}};
    for (const Program& p : programs) entries.push_back({p.number, p.pmt_pid});
    tsb::SectionOpts o;
    o.version = version;
    return tsb::pat_section(kTransportStreamId, entries, o);
}

Bytes make_pmt(const Program& program) {
    tsb::Pmt pmt;
    pmt.program_number = program.number;
    pmt.pcr_pid = program.video_pid;
    pmt.program_info = tsb::ca_descriptor(kCaSystemId, program.ecm_pid, {0x01, 0x80});
    tsb::append(pmt.program_info, tsb::descriptor(0xC1, {0x60}));  // digital copy control

    Bytes video_info = tsb::descriptor(0x52, {0x00});        // stream identifier: component tag
    tsb::append(video_info, tsb::descriptor(0xC8, {0x01}));  // video decode control
    if (program.index == 0) {
        for (uint8_t tag = 0xE0; tag < 0xF0; ++tag)
            tsb::append(video_info, tsb::descriptor(tag, filler(tag, 24)));
    }
    pmt.streams.push_back({program.video_type, program.video_pid, video_info, {}});
    pmt.streams.push_back({0x0F, program.audio_pid, tsb::descriptor(0x52, {0x10}), {}});

    tsb::SectionOpts o;
    o.version = program.pmt_version;
    return tsb::pmt_section(pmt, o);
}

Bytes make_cat() { return tsb::cat_section(tsb::ca_descriptor(kCaSystemId, kEmmPid, {0x00, 0x01})); }

Bytes make_nit(const std::vector<Program>& programs) {
    const Bytes network_descriptors = tsb::descriptor(0x40, kNetworkName);
    Bytes service_list;
    for (const Program& p : programs) {
        tsb::put16(service_list, p.number);
        service_list.push_back(0x01);
    }
    const Bytes ts_descriptors = tsb::descriptor(0x41, service_list);

    Bytes ts_loop;
    tsb::put16(ts_loop, kTransportStreamId);
    tsb::put16(ts_loop, kNetworkId);
    tsb::append(ts_loop, loop_length(ts_descriptors.size()));
    tsb::append(ts_loop, ts_descriptors);

    Bytes body = loop_length(network_descriptors.size());
    tsb::append(body, network_descriptors);
    tsb::append(body, loop_length(ts_loop.size()));
    tsb::append(body, ts_loop);
    return tsb::long_section(0x40, kNetworkId, body, arib_opts());
}

Bytes make_sdt(const std::vector<Program>& programs) {
    tsb::Sdt sdt;
    sdt.transport_stream_id = kTransportStreamId;
    sdt.original_network_id = kNetworkId;
    for (const Program& p : programs) {
        const ServiceNames names = service_names(p.index);
        tsb::ServiceDescriptor d;
        d.service_type = 0x01;
        d.provider = names.provider;
        d.name = names.service;
        tsb::SdtService s{p.number, {}, {}};
        // Some services carry another descriptor ahead of the service descriptor.
        if (p.index % 2 == 1) s.descriptors = tsb::descriptor(0xC1, {0x60});
        tsb::append(s.descriptors, tsb::service_descriptor(d));
        s.free_ca = true;
        sdt.services.push_back(s);
    }
    return tsb::sdt_section(sdt, arib_opts());
}

Bytes make_eit(const Program& program) {
    const ServiceNames names = service_names(program.index);
    Bytes event_text{0x45, 0x37, 0x35, 0x24};  // 天気
    Bytes short_event{'j', 'p', 'n', static_cast<uint8_t>(names.service.size())};
    tsb::append(short_event, names.service);
    short_event.push_back(static_cast<uint8_t>(event_text.size()));
    tsb::append(short_event, event_text);
    const Bytes descriptors = tsb::descriptor(0x4D, short_event);

    Bytes body;
    tsb::put16(body, kTransportStreamId);
    tsb::put16(body, kNetworkId);
    body.push_back(0x01);                                             // segment_last_section_number
    body.push_back(0x4E);                                             // last_table_id
    tsb::put16(body, static_cast<uint16_t>(0x1000 + program.index));  // event_id
    put_time(body, 0);
    body.insert(body.end(), {0x01, 0x00, 0x00});  // duration 1:00:00
    Bytes status = loop_length(descriptors.size());
    status[0] = static_cast<uint8_t>(0x80 | (status[0] & 0x0F));  // running, free_CA_mode 0
    tsb::append(body, status);
    tsb::append(body, descriptors);
    return tsb::long_section(0x4E, program.number, body, arib_opts());
}

Bytes make_tot(uint64_t seconds) {
    Bytes offset{'J', 'P', 'N', 0x02, 0x00, 0x00};  // region 0, positive offset 0:00
    put_time(offset, 0);                            // time_of_change
    offset.insert(offset.end(), {0x00, 0x00});      // next_time_offset
    const Bytes descriptors = tsb::descriptor(0x58, offset);

    Bytes body;
    put_time(body, seconds);
    tsb::append(body, loop_length(descriptors.size()));
    tsb::append(body, descriptors);
    tsb::SectionOpts o;
    o.flag_bits = 0x70;
    return tsb::short_section(0x73, body, true, o);
}

Bytes make_bit() { return tsb::long_section(0xC4, kNetworkId, {0xF0, 0x00}, arib_opts()); }

Bytes make_ecm(const Program& program, Rng& rng) {
    Bytes body(96);
    rng.fill(body.data(), body.size());
    return tsb::long_section(0x82, program.number, body);
}

Bytes make_emm(Rng& rng) {
    Bytes body(150);
    rng.fill(body.data(), body.size());
    return tsb::long_section(0x85, kCaSystemId, body, arib_opts());
}

}  // namespace tsgen
