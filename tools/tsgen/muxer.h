// Packet scheduler of tsgen: decides, packet slot by packet slot, what the
// stream carries, and writes it in large chunks.
#ifndef TSGEN_MUXER_H
#define TSGEN_MUXER_H

#include <cstdint>
#include <cstdio>
#include <deque>
#include <vector>

#include "plan.h"
#include "rng.h"
#include "tsbuild.h"

namespace tsgen {

class Muxer {
  public:
    explicit Muxer(const Options& options);
    // Writes the whole stream to out; returns the number of packets.
    // Throws std::runtime_error when a write fails.
    uint64_t run(FILE* out);

  private:
    // One elementary stream: video (carrying the PCR) or audio of a program.
    struct Elementary {
        Elementary(int program_index, bool is_video, uint16_t es_pid, uint8_t type)
            : program(program_index), video(is_video), pid(es_pid), stream_type(type) {}
        int program;
        bool video;
        uint16_t pid;
        uint8_t stream_type;
        uint64_t remaining = 0;  // bytes of the current PES packet still to send
        tsb::Bytes header;       // PES header and start code of the current PES packet
        size_t header_sent = 0;
        uint64_t last_pcr_slot = 0;
    };
    // A stream picked for a free slot, with its share of 10000; -1 is the null packet.
    struct Pick {
        uint32_t below;
        int elementary;
    };

    void announce(uint8_t pat_version);
    void queue_section(uint16_t pid, const tsb::Bytes& section);
    void queue_due_tables(uint64_t slot);
    void queue_events(uint64_t slot);
    void change_versions();
    void write_slot(uint64_t slot, uint8_t* packet);
    void write_elementary(Elementary& es, uint64_t slot, uint8_t* packet);
    void begin_pes(Elementary& es, uint64_t slot);
    uint64_t clock(uint64_t slot) const;  // 27 MHz system clock at the slot

    Options options_;
    uint64_t total_packets_;
    Rng rng_;
    uint64_t clock_origin_;
    std::vector<Program> programs_;
    std::vector<tsb::Bytes> pmts_;
    tsb::Bytes pat_;
    std::vector<Elementary> elementary_;
    std::vector<Pick> picks_;
    std::deque<tsb::Packet> queue_;
    uint8_t cc_[8192] = {};
    size_t eit_turn_ = 0;
    size_t schedule_turn_ = 0;
};

}  // namespace tsgen

#endif
