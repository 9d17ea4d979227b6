// The packets the inline check leaves: sync errors, packets flagged in error,
// first packets of a PID, adaptation fields (discontinuity, PCR) and counters
// that do not follow. Continuity as MPEG-2 systems defines it: a payload
// packet carries the last counter + 1, a packet without payload repeats it,
// one repeat of a payload packet is a duplicate and every further repeat in
// the row a drop, a discontinuity_indicator starts afresh; anything else is a
// drop.
#include <cstdio>
#include <cstring>

#include "check.h"
#include "diag.h"
#include "filter.h"

CHECK_SCOPE Input_check;
CHECK_SCOPE Output_check;

namespace {

constexpr long long CLOCK_HZ = 27000000;
constexpr long long PCR_MODULUS = (1LL << 33) * 300;  // 33-bit base at 90 kHz, extension 0..299
constexpr long long PCR_GAP_LIMIT = CLOCK_HZ / 10;    // 100 ms
constexpr uint8_t DISCONTINUITY = 0x80;
constexpr uint8_t PCR_FLAG = 0x10;
constexpr int PCR_FIELD_LENGTH = 7;  // flags and the six PCR bytes

// Milliseconds into the recording, -1 before its first PCR.
long long event_time(const CHECK_SCOPE& scope) {
    return scope.clock_pid < 0 ? -1 : scope.elapsed / (CLOCK_HZ / 1000);
}

// " at HH:MM:SS.mmm" into the recording, or a placeholder before its first PCR.
void print_event_time(long long ms) {
    if (ms < 0) {
        std::fputs(" at --:--:--.---\n", stdout);
        return;
    }
    std::printf(" at %02lld:%02lld:%02lld.%03lld\n", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60,
                ms % 1000);
}

void count_drop(CHECK_SCOPE& scope, PID_CHECK& c, int pid, int expected, int found) {
    c.counts.drops += 1;
    if (!scope.prints_events) return;
    const CHECK_DROP drop = {PKT_count, pid, expected, found, (found - expected) & 0x0F, event_time(scope)};
    std::printf("%08llX: Drop PID 0x%04X expected %d found %d missing %d", drop.packet, pid, expected, found,
                drop.missing);
    print_event_time(drop.time_ms);
    if (Check_log_kept) log_drop(drop);
}

void expect_after(PID_CHECK& c, int cc, bool repeated) {
    c.expected = (c.expected & (EXPECT_TABLE | HEADER_SCRAMBLING)) | EXPECT_PLAIN |
                 static_cast<uint32_t>((cc + 1) & 0x0F) << 24 | (repeated ? EXPECT_REPEATED : 0);
}

// Scrambled packets are counted by runs: a run starts with the packet that is
// scrambled after one that was not, and is added up when a packet comes that
// is not (or at the end). The packet at hand has been counted.
void follow_scrambling(PID_CHECK& c, uint32_t scrambling) {
    const bool was = c.expected & HEADER_SCRAMBLING;
    if (was && !scrambling) c.counts.scrambled += c.counts.packets - 1 - c.scrambled_from;
    if (!was && scrambling) c.scrambled_from = c.counts.packets - 1;
    c.expected = (c.expected & ~HEADER_SCRAMBLING) | scrambling;
}

void check_continuity(CHECK_SCOPE& scope, PID_CHECK& c, int pid, int cc, bool payload, bool discontinuity) {
    if ((c.expected & EXPECT_UNSEEN) || discontinuity) {
        // The first counter of a PID, or a new one announced, is taken as it is.
        expect_after(c, cc, false);
        return;
    }
    const int next = (c.expected >> 24) & 0x0F;
    const int last = (next - 1) & 0x0F;
    const bool repeated = c.expected & EXPECT_REPEATED;
    if (!payload) {
        if (cc == last) return;
        count_drop(scope, c, pid, last, cc);
    } else if (cc == last) {
        // One repeat is a duplicate; each further one in the same row is a
        // drop, and the row goes on until the counter moves.
        if (repeated) {
            count_drop(scope, c, pid, next, cc);
        } else {
            c.counts.duplicates += 1;
        }
        expect_after(c, last, true);
        return;
    } else if (cc != next) {
        count_drop(scope, c, pid, next, cc);
    }
    expect_after(c, cc, false);
}

long long read_pcr(const uint8_t* pcr) { return read_pcr_base(pcr) * 300 + read_pcr_extension(pcr); }

// How far `to` lies after `from` on the clock that wraps at PCR_MODULUS;
// negative when it lies before.
long long pcr_step(long long from, long long to) {
    long long step = to - from;  // both within a modulus (and an extension beyond it)
    if (step < 0) step += PCR_MODULUS;
    if (step >= PCR_MODULUS) step -= PCR_MODULUS;
    return step >= PCR_MODULUS / 2 ? step - PCR_MODULUS : step;
}

// The recording's clock runs on the first PID that carries PCRs; a step back
// or across a discontinuity adds nothing to the time into the recording.
void advance_clock(CHECK_SCOPE& scope, int pid, long long step) {
    if (scope.clock_pid < 0) scope.clock_pid = pid;
    if (pid == scope.clock_pid && step > 0) scope.elapsed += step;
}

void check_pcr(CHECK_SCOPE& scope, PID_CHECK& c, int pid, long long pcr, bool discontinuity) {
    const bool follows = c.last_pcr >= 0 && !discontinuity;
    const long long step = follows ? pcr_step(c.last_pcr, pcr) : 0;
    c.last_pcr = pcr;
    advance_clock(scope, pid, step);
    if (!follows || (step >= 0 && step <= PCR_GAP_LIMIT)) return;
    c.counts.pcr_gaps += 1;
    if (!scope.prints_events) return;
    const long long ms = (step < 0 ? -step : step) / (CLOCK_HZ / 1000);
    std::printf("%08llX: PCR gap PID 0x%04X %s%lld.%03lld s", PKT_count, pid, step < 0 ? "-" : "", ms / 1000,
                ms % 1000);
    const CHECK_GAP gap = {PKT_count, pid, step < 0 ? -ms : ms, event_time(scope)};
    print_event_time(gap.time_ms);
    if (Check_log_kept) log_pcr_gap(gap);
}

}  // namespace

void reset_check_scope(CHECK_SCOPE& scope, bool prints_events) {
    std::memset(&scope, 0, sizeof scope);
    for (PID_CHECK& c : scope.pid) {
        c.expected = EXPECT_PLAIN | EXPECT_UNSEEN;
        c.cc_bits = HEADER_CC;
        c.last_pcr = -1;
    }
    scope.pid[NULL_PID].expected = EXPECT_PLAIN;
    scope.pid[NULL_PID].cc_bits = 0;
    scope.prints_events = prints_events;
    scope.clock_pid = -1;
}

void start_check() {
    reset_check_scope(Input_check, true);
    reset_check_scope(Output_check, false);
    start_pid_roles();
}

void check_unusual_packet(CHECK_SCOPE& scope, const uint8_t* packet) {
    if (packet[0] != SYNC_BYTE) {
        scope.sync_errors += 1;  // its header is no header: it belongs to no PID
        return;
    }
    const int pid = ts_packet_pid(packet);
    PID_CHECK& c = scope.pid[pid];
    if (c.expected & EXPECT_TABLE) learn_pid_roles();
    c.counts.packets += 1;
    if (packet[1] & 0x80) {
        // Nothing else in its header can be trusted: not even its scrambling.
        c.counts.errors += 1;
        if (c.expected & HEADER_SCRAMBLING) c.scrambled_from += 1;
        return;
    }
    const int flags = packet[3];
    follow_scrambling(c, header_word(packet) & HEADER_SCRAMBLING);
    const int control = (flags >> 4) & 3;
    if (control == 0 || pid == NULL_PID) return;
    // adaptation_field_length 0 holds no flags; a longer one may claim more
    // than the packet, but its flags and a PCR lie within bytes 5 to 11.
    const int field_length = control & 2 ? packet[4] : 0;
    const uint8_t field_flags = field_length > 0 ? packet[5] : 0;
    const bool discontinuity = field_flags & DISCONTINUITY;
    check_continuity(scope, c, pid, flags & 0x0F, control & 1, discontinuity);
    if ((field_flags & PCR_FLAG) && field_length >= PCR_FIELD_LENGTH) {
        check_pcr(scope, c, pid, read_pcr(packet + 6), discontinuity);
    }
}
