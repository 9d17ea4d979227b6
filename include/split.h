// One file per programme (--split): an extraction is cut where the target
// program's present event changes, before the next PAT written, into files
// named from a template after each part's number and programme.
#ifndef TSNARROW_SPLIT_H
#define TSNARROW_SPLIT_H

#include <cstdint>
#include <string>
#include <vector>

#include "check.h"
#include "filter.h"

// A report has no output to cut: the run is refused.
[[noreturn]] void refuse_split_report();

// Refuses a template with a % that is no field, and packets on standard
// output, which give no part a name of its own; else creates the first part
// (the output) under the name its fields give while its programme is
// unknown. A name that cannot be created ends the run.
void open_first_part(const char* name_template, bool stdout_carries_packets);

// A new version of the target's present section (section 0 of the EIT
// present/following of the actual stream, taken as -E takes it). The first
// event names the first part; one other than the part's own cuts the output
// before the next PAT written.
void take_present_event(const uint8_t* section, int length);

// Whether a cut waits for the next PAT written.
extern bool Cut_pending;
// The input index of the first packet of the part being written, -1 before it.
extern long long Part_first;
// The packets written to the part being written, checked as a file of their own.
extern CHECK_SCOPE Part_check;

// Ends the part being written and opens the next, which the packet at hand begins.
void cut_part();

// The 188 bytes of a packet about to be written.
inline void split_written_packet(const uint8_t* ts_packet) {
    if (Cut_pending && ts_packet[0] == SYNC_BYTE && ts_packet_pid(ts_packet) == 0x0000) cut_part();
    if (Part_first < 0) Part_first = PKT_count;
}

// Closes the part being written and prints its line (at a cut, and after the
// last packet). A failure to write it ends the run.
void end_split();
// When the run ends early: the line of the part being written, if one is.
void end_open_part();

// A part's programme, as the EIT named it.
struct PART_EVENT {
    int event_id;           // -1: unknown
    uint8_t start_time[5];  // MJD and BCD time as broadcast; all ones: undefined
    bool titled;            // whether a short event descriptor named it
    std::string title;      // its event name, converted
};

// A part that has ended, for the JSON document.
struct PART_RECORD {
    std::string file;
    long long first;
    unsigned long long packets;
    PART_EVENT event;
    CHECK_TOTALS check;  // with --check
};
const std::vector<PART_RECORD>& ended_parts();

#endif
