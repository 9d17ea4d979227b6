// Is the recording whole? Every packet of the input, and every packet written,
// is checked per PID as it passes: transport errors, scrambling, continuity
// counters (drops and duplicates) and gaps between PCRs (-c, --check).
#ifndef TSNARROW_CHECK_H
#define TSNARROW_CHECK_H

#include <cstdint>

#include "filter_state.h"

struct CHECK_COUNTS {
    uint64_t packets;
    uint64_t drops;  // counter mismatches, each one event whatever its count of missing packets
    uint64_t errors;
    uint64_t scrambled;
    uint64_t duplicates;
    uint64_t pcr_gaps;
};

// A PID's state is the header its next packet is expected to have, compared
// with the packet's first four bytes read as one little-endian word: sync
// byte, no transport error, payload only, the next counter, and the scrambling
// bits of the last packet (a change of them is counted off the plain path).
// Bits of the PID, which the comparison masks off, stand for what the plain
// path must not take.
constexpr uint32_t HEADER_KEPT = 0xF00080FF;  // sync, transport_error_indicator, scrambling, adaptation
constexpr uint32_t HEADER_CC = 0x0F000000;    // continuity_counter
constexpr uint32_t HEADER_CC_ONE = 0x01000000;
constexpr uint32_t HEADER_SCRAMBLING = 0xC0000000;
constexpr uint32_t EXPECT_PLAIN = 0x10000047;     // sync byte, not scrambled, payload only, counter 0
constexpr uint32_t EXPECT_UNSEEN = 0x00010000;    // no packet yet
constexpr uint32_t EXPECT_REPEATED = 0x00020000;  // the last payload packet was a duplicate
constexpr uint32_t EXPECT_TABLE = 0x00040000;     // a table that names PIDs: PAT, CAT, a PMT

struct PID_CHECK {
    CHECK_COUNTS counts;      // scrambled: of the runs of scrambled packets that have ended
    uint32_t expected;        // EXPECT_PLAIN with the next counter, the scrambling bits and the state bits
    uint32_t cc_bits;         // HEADER_CC, or 0 where continuity is not checked (the null PID)
    uint64_t scrambled_from;  // packets before the run of scrambled packets going on, if one is
    long long last_pcr;       // 27 MHz, -1 before the first
};

// Scrambled packets so far: those of the runs that ended and of the one going on.
inline uint64_t scrambled_packets(const PID_CHECK& c) {
    return c.counts.scrambled + ((c.expected & HEADER_SCRAMBLING) ? c.counts.packets - c.scrambled_from : 0);
}

// One stream looked at: the input, or the packets written.
struct CHECK_SCOPE {
    PID_CHECK pid[PID_COUNT];
    uint64_t sync_errors;
    bool prints_events;  // a line per drop and PCR gap as it is found
    int clock_pid;       // first PID seen carrying PCRs, the clock of the recording; -1 none yet
    long long elapsed;   // 27 MHz ticks since its first PCR
};

extern CHECK_SCOPE Input_check;
extern CHECK_SCOPE Output_check;

// Both scopes to their state before a first packet.
void start_check();

// Everything but the plain case below: sync errors, error and adaptation-field
// packets, first packets, counter mismatches.
void check_unusual_packet(CHECK_SCOPE& scope, const uint8_t* packet);

inline uint32_t header_word(const uint8_t* packet) {
    return packet[0] | packet[1] << 8 | packet[2] << 16 | static_cast<uint32_t>(packet[3]) << 24;
}

// One 188-byte packet. Inline for the packet loop: nearly every packet is a
// payload-only packet without error whose counter follows the last one.
inline void check_packet(CHECK_SCOPE& scope, const uint8_t* packet) {
    const uint32_t header = header_word(packet);
    PID_CHECK& c = scope.pid[__builtin_bswap32(header) >> 8 & (PID_COUNT - 1)];
    if (__builtin_expect((header & (HEADER_KEPT | c.cc_bits)) == c.expected, 1)) {
        c.counts.packets += 1;
        c.expected = (header & HEADER_KEPT) | ((header + HEADER_CC_ONE) & c.cc_bits);
        return;
    }
    check_unusual_packet(scope, packet);
}

// Names of the PIDs: set up with the check, learnt again from the tables
// taken so far whenever a packet of a table that names PIDs comes (before it
// is handled: what the last one said is never missed), and at the end.
void start_pid_roles();
void learn_pid_roles();
const char* pid_role(int pid);

// After the last packet: one row per PID seen, then the totals of the input
// and, when packets were written, of the output.
void print_check_summary(bool extraction);

// The input's drops and PCR gaps as printed, the first LISTED_EVENTS of each
// kept for the JSON document (--json), the rest only counted.
struct CHECK_DROP {
    long long packet;
    int pid;
    int expected;
    int found;
    int missing;
    long long time_ms;  // into the recording, -1 before its first PCR
};
struct CHECK_GAP {
    long long packet;
    int pid;
    long long length_ms;  // negative when the PCR went back
    long long time_ms;
};
constexpr int LISTED_EVENTS = 1000;
struct CHECK_LOG {
    CHECK_DROP drops[LISTED_EVENTS];
    CHECK_GAP gaps[LISTED_EVENTS];
    uint64_t drops_seen;
    uint64_t gaps_seen;
};
extern bool Check_log_kept;
extern CHECK_LOG Check_log;
void log_drop(const CHECK_DROP& drop);
void log_pcr_gap(const CHECK_GAP& gap);

// What the totals lines give of a scope.
struct CHECK_TOTALS {
    CHECK_COUNTS counts;
    uint64_t sync_errors;
};
CHECK_TOTALS check_totals(const CHECK_SCOPE& scope);
// " drops=N errors=N scrambled=N duplicates=N pcr_gaps=N sync_errors=N".
void print_check_keys(const CHECK_TOTALS& totals);

// A scope's state before a first packet; events are printed for the input alone.
void reset_check_scope(CHECK_SCOPE& scope, bool prints_events);

#endif
