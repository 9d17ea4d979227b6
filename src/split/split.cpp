// The parts of a split extraction. The first part is created with the run,
// before any EIT can have named its programme, and renamed once when the
// target's first present event arrives; each later part is created under its
// programme's name when the cut before the next PAT opens it. Nothing is held
// back: a part is written as its packets come, and the parts joined are the
// output of the run without --split.
#include "split.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli.h"
#include "eit.h"
#include "part_names.h"

bool Cut_pending = false;
long long Part_first = -1;
CHECK_SCOPE Part_check;

namespace {

const PART_EVENT UNKNOWN_EVENT = {-1, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, false, ""};

struct PART {
    int number;
    std::string file;
    unsigned long long packets_before;  // written to the parts before it
    PART_EVENT event;
};

PART Part;               // the part being written
bool Part_open = false;  // until its line is printed
PART_EVENT Next_event;   // of the part the pending cut opens
std::vector<PART_RECORD> Ended_parts;

PART_EVENT event_of(const EIT_EVENT& e) {
    PART_EVENT event = {e.event_id, {}, false, ""};
    std::memcpy(event.start_time, e.start_time, sizeof event.start_time);
    int at = 0;
    ARIB_TEXT name;
    ARIB_TEXT text;
    if (next_short_event(e.descriptors, e.descriptors_length, &at, &name, &text)) {
        event.titled = true;
        convert_arib_text(name, &event.title);  // as -E converts it, line breaks as they are
    }
    return event;
}

void open_part(const std::string& file) {
    FP_out = create_output_file(file.c_str());
    if (FP_out == nullptr) {
        print_failure("Can't create file [%s]\n", file.c_str());
        swexit(1);
    }
    Part.file = file;
    Part.packets_before = packets_written();
    Part_first = -1;
    Part_open = true;
    if (Check_flag) reset_check_scope(Part_check, false);
}

// The first part's programme is known: its name follows.
void rename_first_part() {
    forget_part_name(Part.file);
    const std::string file = take_part_name(Part.number, Part.event);
    if (file == Part.file) return;
    const bool kept = names_kept_file(file.c_str());
    if (kept || std::rename(Part.file.c_str(), file.c_str()) != 0) {
        print_failure("Can't rename file [%s] to [%s]: %s\n", Part.file.c_str(), file.c_str(),
                      kept ? "the run reads or keeps that file" : std::strerror(errno));
        swexit(1);
    }
    Part.file = file;
}

void print_part_line() {
    if (text_line_open()) std::fputc('\n', stdout);
    const long long first = Part_first < 0 ? 0 : Part_first;  // an empty first part: where the run began
    const unsigned long long packets = packets_written() - Part.packets_before;
    const CHECK_TOTALS check = Check_flag ? check_totals(Part_check) : CHECK_TOTALS{};
    std::printf("Part %d: first=%08llX packets=%llu event=%s start=%s", Part.number, first, packets,
                event_id_field(Part.event).c_str(), start_field(Part.event).c_str());
    if (Check_flag) print_check_keys(check);
    std::printf(" file=%s\n", Part.file.c_str());
    Ended_parts.push_back({Part.file, first, packets, Part.event, check});
    Part_open = false;
}

}  // namespace

void refuse_split_report() {
    print_failure("Can't split a report: --split cuts an extraction into files named after <OutFileName>\n");
    swexit(1);
}

void open_first_part(const char* name_template, bool stdout_carries_packets) {
    if (stdout_carries_packets) {
        print_failure("Can't split into standard output: --split needs a file name for <OutFileName>\n");
        swexit(1);
    }
    if (!is_name_template(name_template)) {
        print_failure("Invalid file name template [%s]: a %% begins %%n, %%e, %%s, %%t or %%%%\n",
                      name_template);
        swexit(1);
    }
    take_name_template(name_template);
    Part.number = 1;
    Part.event = UNKNOWN_EVENT;
    open_part(take_part_name(Part.number, Part.event));
}

void take_present_event(const uint8_t* section, int length) {
    int at = 0;
    EIT_EVENT first;
    if (!next_eit_event(section, length, &at, &first)) return;  // no event: no change
    if (Part.event.event_id < 0) {
        Part.event = event_of(first);
        rename_first_part();
        return;
    }
    Cut_pending = first.event_id != Part.event.event_id;
    if (Cut_pending) Next_event = event_of(first);
}

void cut_part() {
    end_split();
    Cut_pending = false;
    Part.number += 1;
    Part.event = Next_event;
    open_part(take_part_name(Part.number, Part.event));
}

void end_split() {
    if (!close_packet_output()) {
        print_failure("Can't write Packet data\n");
        swexit(1);
    }
    print_part_line();
}

void end_open_part() {
    if (Part_open) print_part_line();
}

const std::vector<PART_RECORD>& ended_parts() { return Ended_parts; }
