// "check": the summary's rows and totals, and the drops and PCR gaps the
// input's lines gave, the first of each listed and the rest counted.
#include "check.h"
#include "document_keys.h"
#include "json_writer.h"

namespace {

void write_counts(const CHECK_COUNTS& c) {
    json_unsigned("packets", c.packets);
    json_unsigned("drops", c.drops);
    json_unsigned("errors", c.errors);
    json_unsigned("scrambled", c.scrambled);
    json_unsigned("duplicates", c.duplicates);
    json_unsigned("pcr_gaps", c.pcr_gaps);
}

void write_time(long long time_ms) {
    if (time_ms < 0) {
        json_null("time");
    } else {
        json_thousandths("time", time_ms);
    }
}

void write_pid_rows(bool extraction) {
    json_open_array("pids");
    for (int pid = 0; pid < PID_COUNT; ++pid) {
        CHECK_COUNTS counts = Input_check.pid[pid].counts;
        if (counts.packets == 0) continue;
        counts.scrambled = scrambled_packets(Input_check.pid[pid]);
        json_open_object(nullptr);
        json_integer("pid", pid);
        write_counts(counts);
        if (extraction) {
            json_bool("written", Output_check.pid[pid].counts.packets != 0);
        } else {
            json_null("written");
        }
        json_string("content", pid_role(pid));
        json_close_object();
    }
    json_close_array();
}

unsigned long long listed(uint64_t seen) { return seen < LISTED_EVENTS ? seen : LISTED_EVENTS; }

void write_drops() {
    json_open_array("drops");
    for (unsigned long long i = 0; i < listed(Check_log.drops_seen); ++i) {
        const CHECK_DROP& d = Check_log.drops[i];
        json_open_object(nullptr);
        json_integer("packet", d.packet);
        json_integer("pid", d.pid);
        json_integer("expected", d.expected);
        json_integer("found", d.found);
        json_integer("missing", d.missing);
        write_time(d.time_ms);
        json_close_object();
    }
    json_close_array();
}

void write_gaps() {
    json_open_array("pcr_gaps");
    for (unsigned long long i = 0; i < listed(Check_log.gaps_seen); ++i) {
        const CHECK_GAP& g = Check_log.gaps[i];
        json_open_object(nullptr);
        json_integer("packet", g.packet);
        json_integer("pid", g.pid);
        json_thousandths("seconds", g.length_ms);
        write_time(g.time_ms);
        json_close_object();
    }
    json_close_array();
}

}  // namespace

void write_check_totals(const char* key, const CHECK_TOTALS& totals) {
    json_open_object(key);
    write_counts(totals.counts);
    json_unsigned("sync_errors", totals.sync_errors);
    json_close_object();
}

void write_check_key(bool extraction) {
    if (!Check_flag) {
        json_null("check");
        return;
    }
    learn_pid_roles();
    json_open_object("check");
    write_pid_rows(extraction);
    write_check_totals("input", check_totals(Input_check));
    if (extraction) {
        write_check_totals("output", check_totals(Output_check));
    } else {
        json_null("output");
    }
    write_drops();
    write_gaps();
    json_unsigned("drops_not_listed", Check_log.drops_seen - listed(Check_log.drops_seen));
    json_unsigned("pcr_gaps_not_listed", Check_log.gaps_seen - listed(Check_log.gaps_seen));
    json_close_object();
}
