// Start-up, options, arguments and the packet loop of one run.
#include <stdio_ext.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

#include "block_io.h"
#include "check.h"
#include "cli.h"
#include "eit.h"
#include "filter.h"
#include "json.h"
#include "psi.h"
#include "split.h"
#include "std_streams.h"
#include "stdout_owner.h"

namespace {

constexpr int PROGRAM_NUMBER_MAX = 65535;

// Standard descriptors that were closed when the run began, bit n for fd n.
int Closed_descriptors = 0;

// What standard output carries besides the texts, if anything.
STDOUT_OWNER Stdout_owner = {-1, -1, false};

// The input argument, as given.
const char* Input_name = "";

void take_program_number(const char* text) {
    int32_t number = 0;
    if (strtoint(text, &number) != 0 || number < 1 || number > PROGRAM_NUMBER_MAX) {
        print_failure("Invalid target program# [%s]\n", text);
        swexit(1);
    }
    Target_program_number = number;
}

FILE* create_output(const char* path) {
    const int fd = Stdout_owner.packets_fd;
    if (fd >= 0) return holds_kept_file(fd) ? nullptr : fdopen(fd, "w");
    if (names_standard_stream(path)) return nullptr;  // standard output could not be kept aside
    return create_output_file(path);
}

void open_output(const char* path) {
    FP_out = create_output(path);
    if (FP_out == nullptr) {
        print_failure("Can't create file [%s]\n", path);
        swexit(1);
    }
}

// "-" is standard input itself, wherever it stands and whatever it is; a
// closed one is none.
FILE* open_input_stream(const char* path) {
    if (!names_standard_stream(path)) return std::fopen(path, "r");
    if (Closed_descriptors & 1 << STDIN_FILENO) return nullptr;
    const int fd = dup(STDIN_FILENO);
    FILE* input = fd >= 0 ? fdopen(fd, "r") : nullptr;
    if (input == nullptr && fd >= 0) close(fd);
    return input;
}

void open_input(const char* path) {
    Input_name = path ? path : "";
    FP_in = path ? open_input_stream(path) : nullptr;
    if (FP_in == nullptr) {
        print_failure("Can't open file [%s]\n", Input_name);
        swexit(1);
    }
    keep_file_apart(fileno(FP_in));
}

void print_read_error() {
    print_failure("Can't read file [%s]: %s\n", Input_name, std::strerror(input_error()));
}

// Extraction mode when an output is given, report mode otherwise. Returns
// the output argument, null in a report.
const char* take_arguments(int count, char** args) {
    open_input(count > 0 ? args[0] : nullptr);
    switch (count) {
        case 1:
        case 2:
            if (count == 2) take_program_number(args[1]);
            if (Split_flag) refuse_split_report();
            Analyze_PSI_flag += 1;
            return nullptr;
        case 3:
            take_program_number(args[1]);
            if (Split_flag) {
                open_first_part(args[2], Stdout_owner.packets_fd >= 0);
            } else {
                open_output(args[2]);
            }
            return args[2];
        default:
            print_failure("Argument number error\n");
            print_usage();
            swexit(1);
    }
}

// The percentage counter of an extraction run over a known number of packets.
// Each whole-percent change is shown once, at the first packet that reaches it.
long long Next_percent_at = -1;  // -1: no counter

void show_percent() {
    const long long percent = PKT_count * 100 / IN_count;
    std::printf("\r%3d %%", static_cast<int>(percent));
    std::fflush(stdout);
    Next_percent_at = ((percent + 1) * IN_count + 99) / 100;
}

// Most packets need their header alone: fetching it a few packets ahead hides
// the cache misses of a block that the read has just filled.
constexpr long long PREFETCH_AHEAD = 16;

// Hands each packet to proc_ts_packet where it lies in the block, and queues
// those to be written. With -r the timestamp in front is skipped. Checked, the
// packet is also looked at as it comes, before any handler may change it, and
// as it is written; with Events, the EIT's packets are gathered before -e may
// overwrite them; Split (which reads the EIT) may end a part before a packet
// is written. Without them, the loop is the same code as without the options.
template <bool Checked, bool Events, bool Split>
void handle_packets(uint8_t* packet, long long count, int framing, size_t skipped) {
    for (; count > 0; --count, ++PKT_count, packet += framing) {
        if (count > PREFETCH_AHEAD) __builtin_prefetch(packet + PREFETCH_AHEAD * framing);
        if (PKT_count == Next_percent_at) show_percent();
        uint8_t* const ts_packet = packet + (framing - TS_PACKET_SIZE);
        if (Checked) check_packet(Input_check, ts_packet);
        if (Events) note_eit_packet(ts_packet);
        if (proc_ts_packet(packet, framing) != 0 && !Analyze_PSI_flag && Output_enable) {
            if (Split) split_written_packet(ts_packet);
            if (Checked) check_packet(Output_check, ts_packet);
            if (Checked && Split) check_packet(Part_check, ts_packet);
            keep_packet(packet + skipped, framing - skipped);
        }
    }
}

using packet_handler_t = void (*)(uint8_t* packet, long long count, int framing, size_t skipped);

// The loop for the options of the run, chosen once: without the EIT, with
// it, with it and the split.
packet_handler_t choose_packet_handler() {
    static const packet_handler_t HANDLERS[2][3] = {
        {handle_packets<false, false, false>, handle_packets<false, true, false>,
         handle_packets<false, true, true>},
        {handle_packets<true, false, false>, handle_packets<true, true, false>,
         handle_packets<true, true, true>},
    };
    return HANDLERS[Check_flag != 0][Split_flag ? 2 : Events_flag ? 1 : 0];
}

// A regular file is read for IN_count packets, any other input (IN_count -1)
// until it ends. The packets of each read are written before the next read,
// which may wait on a live source.
[[noreturn]] void run_packet_loop(int framing) {
    const bool extraction = FP_out != nullptr;
    const size_t skipped = framing == TTS_PACKET_SIZE && Remove_TTS_flag ? TTS_HEADER_SIZE : 0;
    Next_percent_at = extraction && IN_count >= 0 ? 0 : -1;
    start_packet_output(framing - skipped);
    // One thread prints everything: the reports skip stdout's lock.
    __fsetlocking(stdout, FSETLOCKING_BYCALLER);
    const packet_handler_t handle = choose_packet_handler();
    for (PKT_count = 0; PKT_count != IN_count;) {
        size_t held = 0;
        uint8_t* packets = take_packets(framing, &held);
        if (held == 0) {
            if (IN_count < 0 && input_error() == 0) break;
            print_failure("Unexpected EOF\n");
            if (input_error() != 0) print_read_error();
            swexit(1);
        }
        const long long left = IN_count < 0 ? LLONG_MAX : IN_count - PKT_count;
        const long long count = std::min(static_cast<long long>(held), left);
        handle(packets, count, framing, skipped);
        if (!write_kept_packets()) {
            print_failure("Can't write Packet data\n");
            swexit(1);
        }
        // A report that can no longer be given is not read on for; an
        // extraction goes on, its packets being what the run is for.
        if (Analyze_PSI_flag && texts_failed()) swexit(1);
    }
    if (Split_flag) end_split();
    if (extraction) std::printf("\r100 %%");
    if (Check_flag) print_check_summary(extraction);
    std::printf("\nDone.\n");
    swexit(0);
}

}  // namespace

void run_tsnarrow(int argc, char** argv) {
    Closed_descriptors = guard_standard_descriptors();
    Stdout_owner = take_stdout_owner(argc, argv, Closed_descriptors);
    take_text_output(Stdout_owner.packets_fd >= 0 || Stdout_owner.document_fd >= 0);
    std::printf("%s version %s - MPEG-2 TS PSI reporter and program extractor\n", PROGRAM_NAME_STRING,
                VERSION_STRING);
    rfc_make_crc32_table();
    clear_filter_tables();
    read_options(argc, argv);
    const char* output = take_arguments(argc - optind, argv + optind);
    if (Json_path)
        create_json_document(Input_name, output, Stdout_owner.document_fd, Stdout_owner.document_refused);
    init_variables();
    if (Check_flag) start_check();
    if (Events_flag || Split_flag) start_events();
    const int framing = check_packet_type(FP_in);
    if (framing < 0) {
        if (input_error() != 0) {
            print_read_error();
        } else {
            print_failure("File isn't MPEG2_TS or Timestamped-MPEG2_TS\n");
        }
        swexit(1);
    }
    if (Json_path) note_json_framing(framing);
    IN_count = -1;  // the size of anything but a regular file is unknown: it is read to its end
    if (input_is_regular_file()) {
        const long long size = get_file_size(names_standard_stream(Input_name) ? "/dev/stdin" : Input_name);
        if (size < 0) {
            print_failure("Can't get file informations\n");
            swexit(1);
        }
        IN_count = size / framing;
    }
    run_packet_loop(framing);
}
