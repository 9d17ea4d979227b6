// The parts of the JSON document, each written by a file of its own.
#ifndef TSNARROW_DOCUMENT_KEYS_H
#define TSNARROW_DOCUMENT_KEYS_H

#include <cstdint>

#include "check.h"

// "pat", "pmt", "cat" and "services": the tables taken last.
void write_psi_keys();
// "events": every block -E printed or would have printed.
void write_event_keys();
// "check": per PID, the totals, and the drops and PCR gaps listed.
void write_check_key(bool extraction);
// A scope's totals, as the Check lines give them.
void write_check_totals(const char* key, const CHECK_TOTALS& totals);
// "YYYY-MM-DDTHH:MM:SS+09:00" of an EIT start_time, or null when undefined.
void write_start_time(const char* key, const uint8_t* start_time);

#endif
