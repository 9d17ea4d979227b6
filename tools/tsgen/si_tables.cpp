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

// MJD and BCD time of the given seconds after 2024-04-01 (MJD 60401) 21:00:00
// (from 00:00:00 that day on).
Bytes jst_time(int64_t seconds) {
    const uint64_t t = static_cast<uint64_t>(seconds + 21 * 3600);
    const unsigned day = static_cast<unsigned>(t % 86400);
    return tsb::mjd_time(static_cast<uint16_t>(60401 + t / 86400), day / 3600, day / 60 % 60, day % 60);
}

Bytes duration(uint64_t seconds) {
    return tsb::bcd_duration(static_cast<unsigned>(seconds / 3600), seconds / 60 % 60, seconds % 60);
}

// Events of the -E stream, ARIB coded.
const Bytes kWeather = {0x45, 0x37, 0x35, 0x24};   // 天気
const Bytes kForecast = {0x4D, 0x3D, 0x4A, 0x73};  // 予報
const Bytes kFamilyStory = {0x33, 0x24, 0x4A, 0x55, 0x24, 0x4E, 0x44, 0x2E, 0x24, 0x47,
                            0x4A, 0x6B, 0x24, 0x69, 0x24, 0x39, 0x32, 0x48, 0x42, 0x32,
                            0x24, 0x4E, 0x4A, 0x2A, 0x38, 0x6C, 0x21, 0x23};
// 海辺の町で暮らす家族の物語。
const Bytes kScheduleTitles[4] = {
    {0x25, 0x4B, 0x25, 0x65, 0x21, 0x3C, 0x25, 0x39},  // ニュース
    {0x25, 0x39, 0x25, 0x5D, 0x21, 0x3C, 0x25, 0x44},  // スポーツ
    {0x32, 0x3B, 0x33, 0x5A},                          // 音楽
    {0x31, 0x47, 0x32, 0x68},                          // 映画
};
const uint8_t kScheduleGenres[4] = {0x00, 0x10, 0x40, 0x60};

Bytes joined(const std::vector<Bytes>& parts) {
    Bytes b;
    for (const Bytes& p : parts) tsb::append(b, p);
    return b;
}

// Event k (0, 1, 2) of a service: the present event until the change, the one
// that follows it, and the one after. The second carries a text with a line
// break and extended items, the first of them split over two descriptors in
// the middle of a character.
tsb::EitEvent pf_event(const Program& program, int k, uint64_t change_seconds) {
    tsb::EitEvent e;
    e.event_id = static_cast<uint16_t>(0x1000 * (k + 1) + program.index);
    if (k == 0) {
        e.start_time = jst_time(-1800);
        e.duration = duration(1800 + change_seconds);
        e.descriptors = joined({tsb::short_event_descriptor(service_names(program.index).service, kWeather),
                                tsb::content_descriptor({0x00})});
    } else if (k == 1) {
        e.start_time = jst_time(static_cast<int64_t>(change_seconds));
        e.duration = duration(3240);
        // ドラマ「春の海」 / 第１話 (line break) 再放送
        const Bytes title = {0x25, 0x49, 0x25, 0x69, 0x25, 0x5E, 0x21, 0x56,
                             0x3D, 0x55, 0x24, 0x4E, 0x33, 0x24, 0x21, 0x57};
        const Bytes text = {0x42, 0x68, 0x23, 0x31, 0x4F, 0x43, 0x0D, 0x3A, 0x46, 0x4A, 0x7C, 0x41, 0x77};
        Bytes story;
        for (int i = 0; i < 8; ++i) tsb::append(story, kFamilyStory);
        const size_t split = 151;                                                 // inside the 76th character
        const Bytes contents = {0x48, 0x56, 0x41, 0x48, 0x46, 0x62, 0x4D, 0x46};  // 番組内容
        const Bytes cast = {0x3D, 0x50, 0x31, 0x69, 0x3C, 0x54};                  // 出演者
        const Bytes names = {0x3B, 0x33, 0x45, 0x44, 0x42, 0x40, 0x4F, 0x3A, 0x21,
                             0x22, 0x4E, 0x6B, 0x4C, 0x5A, 0x32, 0x56, 0x3B, 0x52};  // 山田太郎、鈴木花子
        e.descriptors = joined(
            {tsb::short_event_descriptor(title, text), tsb::content_descriptor({0x30, 0xA5}),
             tsb::extended_event_descriptor(0, 1, {{contents, Bytes(story.begin(), story.begin() + split)}}),
             tsb::extended_event_descriptor(
                 1, 1, {{{}, Bytes(story.begin() + split, story.end())}, {cast, names}})});
    } else {
        e.start_time = jst_time(static_cast<int64_t>(change_seconds + 3240));
        e.duration = duration(3600);
        const Bytes title = {0x25, 0x22, 0x25, 0x4B, 0x25, 0x61, 0x21, 0x56, 0x4E,
                             0x39, 0x24, 0x4E, 0x35, 0x2D, 0x4F, 0x3F, 0x21, 0x57};  // アニメ「旅の記録」
        e.descriptors =
            joined({tsb::short_event_descriptor(title, kForecast), tsb::content_descriptor({0x70})});
    }
    return e;
}

tsb::Bytes eit_of(const Program& program, uint8_t table_id, std::vector<tsb::EitEvent> events,
                  tsb::SectionOpts o, uint8_t segment_last) {
    tsb::Eit eit;
    eit.table_id = table_id;
    eit.service_id = program.number;
    eit.transport_stream_id = kTransportStreamId;
    eit.original_network_id = kNetworkId;
    eit.segment_last_section_number = segment_last;
    eit.events = std::move(events);
    o.flag_bits = kArib;
    return tsb::eit_section(eit, o);
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
    tsb::EitEvent e;
    e.event_id = static_cast<uint16_t>(0x1000 + program.index);
    e.start_time = jst_time(0);
    e.descriptors = tsb::short_event_descriptor(service_names(program.index).service, kWeather);
    return eit_of(program, 0x4E, {e}, {}, 1);
}

Bytes make_eit_present_following(const Program& program, bool changed, uint64_t change_seconds) {
    const int present = changed ? 1 : 0;
    tsb::SectionOpts o;
    o.version = changed ? 1 : 0;
    o.last_section_number = 1;
    Bytes sections = eit_of(program, 0x4E, {pf_event(program, present, change_seconds)}, o, 1);
    o.section_number = 1;
    tsb::append(sections, eit_of(program, 0x4E, {pf_event(program, present + 1, change_seconds)}, o, 1));
    return sections;
}

Bytes make_eit_schedule(const Program& program, unsigned turn) {
    Bytes sections;
    for (unsigned s = 0; s < 2; ++s) {
        const unsigned segment = turn % 32;
        std::vector<tsb::EitEvent> events;
        for (unsigned j = 0; j < 4; ++j) {
            const unsigned n = (segment * 2 + s) * 4 + j;
            tsb::EitEvent e;
            e.event_id = static_cast<uint16_t>(0x4000 + 0x100 * program.index + n);
            e.start_time = jst_time(3600 * (1 + static_cast<int64_t>(n)));
            e.duration = duration(3600);
            e.descriptors = joined({tsb::short_event_descriptor(kScheduleTitles[j], kForecast),
                                    tsb::content_descriptor({kScheduleGenres[j]})});
            events.push_back(e);
        }
        tsb::SectionOpts o;
        o.section_number = static_cast<uint8_t>(segment * 8 + s);
        o.last_section_number = 0xF9;
        sections = joined({sections, eit_of(program, static_cast<uint8_t>(0x50 + turn / 32 % 8), events, o,
                                            static_cast<uint8_t>(segment * 8 + 1))});
    }
    return sections;
}

Bytes make_tot(uint64_t seconds) {
    Bytes offset{'J', 'P', 'N', 0x02, 0x00, 0x00};  // region 0, positive offset 0:00
    tsb::append(offset, jst_time(0));               // time_of_change
    offset.insert(offset.end(), {0x00, 0x00});      // next_time_offset
    const Bytes descriptors = tsb::descriptor(0x58, offset);

    Bytes body;
    tsb::append(body, jst_time(static_cast<int64_t>(seconds)));
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
