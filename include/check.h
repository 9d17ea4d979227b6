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

constexpr uint8_t CC_UNSEEN = 0x10;  // no counter yet: matches no packet's

struct PID_CHECK {
    CHECK_COUNTS counts;
    uint8_t next_cc;     // counter the next payload packet must carry, or CC_UNSEEN
    uint8_t cc_mask;     // 0x0F, or 0 where continuity is not checked (the null PID)
    uint8_t repeated;    // the last payload packet was a duplicate
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

// One 188-byte packet. Inline for the packet loop: nearly every packet is a
// payload-only packet without error whose counter follows the last one.
inline void check_packet(CHECK_SCOPE& scope, const uint8_t* packet) {
    PID_CHECK& c = scope.pid[(packet[1] & 0x1F) << 8 | packet[2]];
    const unsigned flags = packet[3];
    if (packet[0] == SYNC_BYTE && !(packet[1] & 0x80) && (flags & 0x30) == 0x10 &&
        (flags & c.cc_mask) == c.next_cc) {
        c.counts.packets += 1;
        c.counts.scrambled += (flags >> 6) != 0;
        c.next_cc = (flags + 1) & c.cc_mask;
        c.repeated = 0;
        return;
    }
    check_unusual_packet(scope, packet);
}

// Names of the PIDs: set up with the check, learnt again from the tables after
// each packet of the PAT, the CAT or the target's PMT, looked up for the summary.
void start_pid_roles();
void learn_pid_roles();
const char* pid_role(int pid);

// Learns the PIDs' names when the packet just handled was one of the tables
// that give them.
inline void note_tables(const uint8_t* packet) {
    const int pid = (packet[1] & 0x1F) << 8 | packet[2];
    if (pid <= 0x0001 || pid == PMT_PID) learn_pid_roles();
}

// After the last packet: one row per PID seen, then the totals of the input
// and, when packets were written, of the output.
void print_check_summary(bool extraction);

#endif
