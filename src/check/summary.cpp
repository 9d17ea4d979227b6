// The check's summary: a row per PID seen, with what the run has learnt the
// PID to carry, then one totals line per scope for scripts.
#include <cstdio>

#include "check.h"

namespace {

unsigned long long number(uint64_t value) { return static_cast<unsigned long long>(value); }

void print_counts(CHECK_COUNTS c) {
    std::printf(" %12llu %8llu %8llu %9llu %10llu %8llu", number(c.packets), number(c.drops),
                number(c.errors), number(c.scrambled), number(c.duplicates), number(c.pcr_gaps));
}

void print_totals(const char* label, const CHECK_SCOPE& scope) {
    const CHECK_TOTALS totals = check_totals(scope);
    std::printf("\n%s packets=%llu", label, number(totals.counts.packets));
    print_check_keys(totals);
}

}  // namespace

CHECK_TOTALS check_totals(const CHECK_SCOPE& scope) {
    CHECK_TOTALS totals = {{}, scope.sync_errors};
    for (const PID_CHECK& p : scope.pid) {
        totals.counts.packets += p.counts.packets;
        totals.counts.drops += p.counts.drops;
        totals.counts.errors += p.counts.errors;
        totals.counts.scrambled += scrambled_packets(p);
        totals.counts.duplicates += p.counts.duplicates;
        totals.counts.pcr_gaps += p.counts.pcr_gaps;
    }
    return totals;
}

void print_check_keys(const CHECK_TOTALS& totals) {
    const CHECK_COUNTS& c = totals.counts;
    std::printf(" drops=%llu errors=%llu scrambled=%llu duplicates=%llu pcr_gaps=%llu sync_errors=%llu",
                number(c.drops), number(c.errors), number(c.scrambled), number(c.duplicates),
                number(c.pcr_gaps), number(totals.sync_errors));
}

// Begins on a line of its own and ends without a line end, as "Done." follows.
void print_check_summary(bool extraction) {
    learn_pid_roles();
    std::fputs("\n****************** Check Information ******************\n", stdout);
    std::printf("%-6s %12s %8s %8s %9s %10s %8s%s %s\n", "PID", "packets", "drops", "errors", "scrambled",
                "duplicates", "pcr_gaps", extraction ? " written" : "", "content");
    for (int pid = 0; pid < PID_COUNT; ++pid) {
        CHECK_COUNTS counts = Input_check.pid[pid].counts;
        if (counts.packets == 0) continue;
        counts.scrambled = scrambled_packets(Input_check.pid[pid]);
        std::printf("0x%04X", pid);
        print_counts(counts);
        if (extraction) std::printf(" %-7s", Output_check.pid[pid].counts.packets ? "yes" : "no");
        std::printf(" %s\n", pid_role(pid));
    }
    std::fputs("-----------------------------------------------------", stdout);
    print_totals("Check input:", Input_check);
    if (extraction) print_totals("Check output:", Output_check);
}
