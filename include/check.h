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
// byte, no transport error, payload only, the next counter. Bits of the PID,
// which the comparison masks off, stand for what the plain case must not take.
constexpr uint32_t HEADER_FIXED =
    0x300080FF;                             // sync byte, transport_error_indicator, adaptation_field_control
constexpr uint32_t HEADER_CC = 0x0F000000;  // continuity_counter
constexpr uint32_t HEADER_CC_ONE = 0x01000000;
constexpr uint32_t EXPECT_PLAIN = 0x10000047;     // sync byte, payload only, counter 0
constexpr uint32_t EXPECT_UNSEEN = 0x00010000;    // no packet yet
constexpr uint32_t EXPECT_REPEATED = 0x00020000;  // the last payload packet was a duplicate
constexpr uint32_t EXPECT_TABLE = 0x00040000;     // a table that names PIDs: PAT, CAT, a PMT

struct PID_CHECK {
    CHECK_COUNTS counts;
    uint32_t expected;   // EXPECT_PLAIN with the next counter, and the state bits above
    uint32_t cc_bits;    // HEADER_CC, or 0 where continuity is not checked (the null PID)
    long long last_pcr;  // 27 MHz, -1 before the first
};

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
    PID_CHECK& c = scope.pid[(packet[1] & 0x1F) << 8 | packet[2]];
    if ((header & (HEADER_FIXED | c.cc_bits)) == c.expected) {
        c.counts.packets += 1;
        c.counts.scrambled += header >> 30 != 0;
        c.expected = EXPECT_PLAIN | ((header + HEADER_CC_ONE) & c.cc_bits);
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

#endif
