#include "muxer.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "si_tables.h"

namespace tsgen {
namespace {

// 20 Mbit/s constant rate: one 188-byte packet lasts 1504 / 20e6 s, that is
// 10152 / 5 ticks of the 27 MHz clock.
constexpr uint64_t kTicksNum = 10152;
constexpr uint64_t kTicksDen = 5;
constexpr uint64_t kPcrIntervalSlots = 400;  // about 30 ms
constexpr uint64_t kMask33 = 0x1FFFFFFFFull;
constexpr size_t kChunkPackets = 16384;

// Tables repeated every period packets, first at phase.
struct Repeat {
    uint64_t period;
    uint64_t phase;
};
constexpr Repeat kPat{256, 0};
constexpr Repeat kPmt{256, 4};  // program i at phase 4 + 6i
constexpr Repeat kCat{1024, 60};
constexpr Repeat kNit{1024, 90};
constexpr Repeat kSdt{1024, 120};
constexpr Repeat kEit{256, 150};  // one service per turn
// With -E, in place of kEit: present/following of one service per turn, and
// the schedule flood beside it.
constexpr Repeat kEitPresentFollowing{1024, 150};
constexpr Repeat kEitSchedule{64, 40};
constexpr Repeat kEcm{512, 200};  // program i at phase 200 + 8i
constexpr Repeat kEmm{384, 340};
constexpr Repeat kLowEit{2048, 300};
constexpr Repeat kMidEit{2048, 400};
constexpr Repeat kBit{2048, 500};
constexpr Repeat kTot{2048, 600};

bool due(uint64_t slot, Repeat r, uint64_t shift = 0) { return slot % r.period == r.phase + shift; }

// First bytes of each access unit, so that the elementary streams look like what they claim.
tsb::Bytes start_code(uint8_t stream_type) {
    switch (stream_type) {
        case 0x02:
            return {0x00, 0x00, 0x01, 0xB3};  // MPEG-2 sequence header
        case 0x1B:
            return {0x00, 0x00, 0x00, 0x01, 0x09, 0xF0};  // H.264 access unit delimiter
        default:
            return {0xFF, 0xF1, 0x50, 0x80};  // AAC ADTS sync word
    }
}

}  // namespace

Muxer::Muxer(const Options& options)
    : options_(options), total_packets_(options.size / options.framing), rng_(options.seed) {
    clock_origin_ = rng_.between(0, kMask33 / 2) * 300;
    for (int i = 0; i < options_.programs; ++i) programs_.push_back(initial_program(i));

    // Shares of 10000 free slots: program index 0 about a quarter of the
    // stream, the other programs half between them, null packets the rest.
    uint32_t below = 0;
    for (const Program& p : programs_) {
        const bool main_program = p.index == 0;
        const uint32_t others =
            options_.programs > 1 ? 5000 / static_cast<uint32_t>(options_.programs - 1) : 0;
        const uint32_t video_share = main_program ? 2450 : others * 92 / 100;
        const uint32_t audio_share = main_program ? 180 : others * 8 / 100;
        elementary_.emplace_back(p.index, true, p.video_pid, p.video_type);
        picks_.push_back({below += video_share, static_cast<int>(elementary_.size() - 1)});
        elementary_.emplace_back(p.index, false, p.audio_pid, 0x0F);
        picks_.push_back({below += audio_share, static_cast<int>(elementary_.size() - 1)});
    }
    picks_.push_back({10000, -1});
    announce(0);
}

uint64_t Muxer::clock(uint64_t slot) const { return clock_origin_ + slot * kTicksNum / kTicksDen; }

void Muxer::announce(uint8_t pat_version) {
    pat_ = make_pat(programs_, pat_version);
    pmts_.clear();
    for (const Program& p : programs_) pmts_.push_back(make_pmt(p));
}

void Muxer::queue_section(uint16_t pid, const tsb::Bytes& section) {
    uint8_t cc = 0;  // patched when the packet is sent
    for (const tsb::Packet& p : tsb::psi_packets(pid, section, cc)) queue_.push_back(p);
}

void Muxer::queue_due_tables(uint64_t slot) {
    if (due(slot, kPat)) queue_section(kPatPid, pat_);
    for (const Program& p : programs_) {
        const uint64_t i = static_cast<uint64_t>(p.index);
        if (due(slot, kPmt, 6 * i)) queue_section(p.pmt_pid, pmts_[i]);
        if (due(slot, kEcm, 8 * i)) queue_section(p.ecm_pid, make_ecm(p, rng_));
    }
    if (due(slot, kCat)) queue_section(kCatPid, make_cat());
    if (due(slot, kNit)) queue_section(kNitPid, make_nit(programs_));
    if (due(slot, kSdt)) queue_section(kSdtPid, make_sdt(programs_));
    if (options_.events) {
        queue_events(slot);
    } else if (due(slot, kEit)) {
        queue_section(kEitPid, make_eit(programs_[eit_turn_++ % programs_.size()]));
    }
    if (due(slot, kEmm)) queue_section(kEmmPid, make_emm(rng_));
    if (due(slot, kLowEit)) queue_section(kLowEitPid, make_eit(programs_[0]));
    if (due(slot, kMidEit)) queue_section(kMidEitPid, make_eit(programs_[0]));
    if (due(slot, kBit)) queue_section(kBitPid, make_bit());
    if (due(slot, kTot)) queue_section(kTotPid, make_tot(clock(slot) / 27000000 - clock(0) / 27000000));
}

// The present events change half way through the stream.
void Muxer::queue_events(uint64_t slot) {
    const size_t services = programs_.size();
    const uint64_t change_slot = total_packets_ / 2;
    if (due(slot, kEitPresentFollowing)) {
        const uint64_t change_seconds = clock(change_slot) / 27000000 - clock(0) / 27000000;
        queue_section(kEitPid, make_eit_present_following(programs_[eit_turn_++ % services],
                                                          slot >= change_slot, change_seconds));
    }
    if (due(slot, kEitSchedule)) {
        const size_t turn = schedule_turn_++;
        queue_section(kEitPid,
                      make_eit_schedule(programs_[turn % services], static_cast<unsigned>(turn / services)));
    }
}

// The new PAT and PMTs go out at once; program 0's audio starts afresh on its new PID.
void Muxer::change_versions() {
    for (Program& p : programs_) p = changed_program(p.index, options_.programs);
    announce(1);
    queue_section(kPatPid, pat_);
    const int moved = changed_pmt_program(options_.programs);
    queue_section(programs_[0].pmt_pid, pmts_[0]);
    if (moved != 0) queue_section(programs_[moved].pmt_pid, pmts_[moved]);
    for (Elementary& es : elementary_) {
        if (es.program == 0 && !es.video) {
            es.pid = programs_[0].audio_pid;
            es.remaining = 0;
        }
    }
}

void Muxer::begin_pes(Elementary& es, uint64_t slot) {
    const uint64_t now = clock(slot) / 300;
    tsb::Pes pes;
    pes.stream_id = es.video ? 0xE0 : 0xC0;
    pes.pts = (now + (es.video ? 54000 : 27000)) & kMask33;
    if (es.video) pes.dts = (*pes.pts - 3003) & kMask33;
    pes.data = start_code(es.stream_type);

    const uint64_t es_size = es.video
                                 ? (es.program == 0 ? rng_.between(8000, 30000) : rng_.between(4000, 16000))
                                 : rng_.between(400, 900);
    const uint64_t header_size = tsb::pes_packet(pes).size() - pes.data.size();
    const uint64_t pes_size = header_size + es_size;
    pes.packet_length = pes_size - 6 > 0xFFFF ? 0 : static_cast<int>(pes_size - 6);
    es.header = tsb::pes_packet(pes);
    es.header_sent = 0;
    es.remaining = pes_size;
}

void Muxer::write_elementary(Elementary& es, uint64_t slot, uint8_t* p) {
    const bool start = es.remaining == 0;
    if (start) begin_pes(es, slot);
    const bool pcr = es.video && (start || slot - es.last_pcr_slot >= kPcrIntervalSlots);
    size_t af = pcr ? 8 : 0;
    const size_t room = 184 - af;
    const size_t n = static_cast<size_t>(std::min<uint64_t>(room, es.remaining));
    if (n < room) af = 184 - n;  // the end of the PES packet: stuff the rest

    uint8_t& cc = cc_[es.pid];
    p[0] = 0x47;
    p[1] = static_cast<uint8_t>((start ? 0x40 : 0) | es.pid >> 8);
    p[2] = static_cast<uint8_t>(es.pid);
    p[3] = static_cast<uint8_t>((af ? 0x30 : 0x10) | cc);
    cc = (cc + 1) & 0x0F;

    uint8_t* q = p + 4;
    if (af > 0) {
        q[0] = static_cast<uint8_t>(af - 1);
        if (af > 1) {
            size_t used = 2;
            q[1] = pcr ? (start ? 0x50 : 0x10) : 0x00;
            if (pcr) {
                tsb::encode_pcr(q + 2, tsb::Pcr::from_ticks(clock(slot)));
                es.last_pcr_slot = slot;
                used = 8;
            }
            std::memset(q + used, 0xFF, af - used);
        }
        q += af;
    }
    const size_t from_header = std::min(n, es.header.size() - es.header_sent);
    std::memcpy(q, es.header.data() + es.header_sent, from_header);
    es.header_sent += from_header;
    rng_.fill(q + from_header, n - from_header);
    es.remaining -= n;
}

void Muxer::write_slot(uint64_t slot, uint8_t* packet) {
    if (!queue_.empty()) {
        std::memcpy(packet, queue_.front().data(), tsb::kPacketSize);
        queue_.pop_front();
        uint8_t& cc = cc_[(packet[1] & 0x1F) << 8 | packet[2]];
        packet[3] = static_cast<uint8_t>((packet[3] & 0xF0) | cc);
        cc = (cc + 1) & 0x0F;
        return;
    }
    const uint32_t r = static_cast<uint32_t>(rng_.next() % 10000);
    const Pick* pick = &picks_.front();
    while (r >= pick->below) ++pick;
    if (pick->elementary < 0) {
        const tsb::Packet null = tsb::null_packet();
        std::memcpy(packet, null.data(), tsb::kPacketSize);
    } else {
        write_elementary(elementary_[static_cast<size_t>(pick->elementary)], slot, packet);
    }
}

uint64_t Muxer::run(FILE* out) {
    const size_t framing = options_.framing;
    std::unique_ptr<uint8_t[]> chunk(new uint8_t[kChunkPackets * framing]);
    const uint64_t change_slot = options_.version_change ? total_packets_ / 2 : UINT64_MAX;
    size_t filled = 0;
    for (uint64_t slot = 0; slot < total_packets_; ++slot) {
        if (slot == change_slot) change_versions();
        queue_due_tables(slot);
        uint8_t* record = chunk.get() + filled * framing;
        if (framing == tsb::kTimestampedSize) {
            const uint32_t arrival = static_cast<uint32_t>(clock(slot) & 0x3FFFFFFF);
            record[0] = static_cast<uint8_t>(arrival >> 24);
            record[1] = static_cast<uint8_t>(arrival >> 16);
            record[2] = static_cast<uint8_t>(arrival >> 8);
            record[3] = static_cast<uint8_t>(arrival);
            record += 4;
        }
        write_slot(slot, record);
        if (++filled == kChunkPackets || slot + 1 == total_packets_) {
            if (std::fwrite(chunk.get(), framing, filled, out) != filled)
                throw std::runtime_error("write failed");
            filled = 0;
        }
    }
    return total_packets_;
}

}  // namespace tsgen
