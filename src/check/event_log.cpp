// The drops and PCR gaps of the input kept for the JSON document: a stream
// may hold millions, so the first of each are listed and the rest counted.
#include "check.h"

bool Check_log_kept = false;
CHECK_LOG Check_log;

void log_drop(const CHECK_DROP& drop) {
    if (Check_log.drops_seen < LISTED_EVENTS) Check_log.drops[Check_log.drops_seen] = drop;
    Check_log.drops_seen += 1;
}

void log_pcr_gap(const CHECK_GAP& gap) {
    if (Check_log.gaps_seen < LISTED_EVENTS) Check_log.gaps[Check_log.gaps_seen] = gap;
    Check_log.gaps_seen += 1;
}
