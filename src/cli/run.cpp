// Start-up, options, arguments and the packet loop of one run.
#include <stdio_ext.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "cli.h"
#include "filter.h"
#include "psi.h"

namespace {

constexpr size_t FILE_BUFFER_SIZE = 256 << 10;
constexpr int PACKET_BUFFER_SIZE = 256;
constexpr int PROGRAM_NUMBER_MAX = 65535;

// Large stdio buffers: the loop reads and writes one packet at a time. At
// 256 KiB it runs as fast as with 1 MiB, and a 1 MiB input already fills both
// buffers, so the peak memory does not grow with the input.
char In_file_buffer[FILE_BUFFER_SIZE];
char Out_file_buffer[FILE_BUFFER_SIZE];

void read_options(int argc, char** argv) {
    opterr = 0;  // an unknown option is ignored, without a complaint
    int option;
    while ((option = getopt(argc, argv, "dDershvz")) != -1) {
        switch (option) {
            case 'd':
                PID_Filter[NULL_PID] = 0;
                std::printf("option -d: Drop non-target or NULL Packets option enabled\n");
                break;
            case 'D':
                PID_Filter[NULL_PID] = 1;
                std::printf("option -D: Drop non-target option enabled\n");
                break;
            case 'e':
                Option_replace_to_null_flag += 1;
                PID_Filter[NULL_PID] = 1;
                std::printf("option -e: Replace noon-target to NULL option enable\n");
                break;
            case 'h':
                print_usage();
                swexit(0);
            case 'r':
                Remove_TTS_flag += 1;
                std::printf(
                    "option -r: Remove Timestamp from MPEG2-TTS packet(Converts MPEG2-TTS to MPEG2-TS\n");
                break;
            case 's':
                Drop_SI_flag += 1;
                std::printf("option -s: Drop SI option enabled\n");
                break;
            case 'v':
                print_version();
                swexit(0);
            case 'z':
                Debug_flag += 1;
                break;
            default:
                break;
        }
    }
}

void take_program_number(const char* text) {
    int32_t number = 0;
    if (strtoint(text, &number) != 0 || number < 1 || number > PROGRAM_NUMBER_MAX) {
        std::printf("Invalid target program# [%s]\n", text);
        swexit(1);
    }
    Target_program_number = number;
}

// Opening the input itself for writing would truncate it before a single
// packet is read, whatever name it is given by.
bool is_input_file(const char* path) {
    struct stat out_stat;
    struct stat in_stat;
    return stat(path, &out_stat) == 0 && fstat(fileno(FP_in), &in_stat) == 0 &&
           out_stat.st_dev == in_stat.st_dev && out_stat.st_ino == in_stat.st_ino;
}

void open_output(const char* path) {
    if (!is_input_file(path)) FP_out = std::fopen(path, "w");
    if (FP_out == nullptr) {
        std::printf("Can't create file [%s]\n", path);
        swexit(1);
    }
    std::setvbuf(FP_out, Out_file_buffer, _IOFBF, FILE_BUFFER_SIZE);
}

void open_input(const char* path) {
    FP_in = path ? std::fopen(path, "r") : nullptr;
    if (FP_in == nullptr) {
        std::printf("Can't open file [%s]\n", path ? path : "");
        swexit(1);
    }
    std::setvbuf(FP_in, In_file_buffer, _IOFBF, FILE_BUFFER_SIZE);
}

// Extraction mode when an output is given, report mode otherwise.
void take_arguments(int count, char** args) {
    open_input(count > 0 ? args[0] : nullptr);
    switch (count) {
        case 1:
            Analyze_PSI_flag += 1;
            break;
        case 2:
            take_program_number(args[1]);
            Analyze_PSI_flag += 1;
            break;
        case 3:
            take_program_number(args[1]);
            open_output(args[2]);
            break;
        default:
            std::printf("Argument number error\n");
            print_usage();
            swexit(1);
    }
}

[[noreturn]] void run_packet_loop(int framing, long long size) {
    static uint8_t buffer[PACKET_BUFFER_SIZE];
    const bool extraction = FP_out != nullptr;
    const bool strip_timestamp = framing == TTS_PACKET_SIZE && Remove_TTS_flag;
    const uint8_t* written = strip_timestamp ? buffer + TTS_HEADER_SIZE : buffer;
    const size_t written_size = strip_timestamp ? TS_PACKET_SIZE : framing;
    IN_count = size / framing;
    // One thread does all the I/O: the packets are read and written with the
    // unlocked calls, and the reports printed on the way skip stdout's lock.
    __fsetlocking(stdout, FSETLOCKING_BYCALLER);
    int previous_percent = -1;
    for (PKT_count = 0; PKT_count < IN_count; ++PKT_count) {
        if (fread_unlocked(buffer, framing, 1, FP_in) != 1) {
            std::printf("Unexpected EOF\n");
            swexit(1);
        }
        if (extraction) {
            const int percent = static_cast<int>(PKT_count * 100 / IN_count);
            if (percent != previous_percent) {
                std::printf("\r%3d %%", percent);
                std::fflush(stdout);
                previous_percent = percent;
            }
        }
        const int result = proc_ts_packet(buffer, framing);
        if (result != 0 && !Analyze_PSI_flag && Output_enable) {
            if (fwrite_unlocked(written, written_size, 1, FP_out) != 1) {
                std::printf("Can't write Packet data\n");
                swexit(1);
            }
        }
    }
    if (extraction) std::printf("\r100 %%");
    std::printf("\nDone.\n");
    swexit(0);
}

}  // namespace

void run_tsnarrow(int argc, char** argv) {
    std::printf("%s version %s - MPEG-2 TS PSI reporter and program extractor\n", PROGRAM_NAME_STRING,
                VERSION_STRING);
    rfc_make_crc32_table();
    clear_filter_tables();
    read_options(argc, argv);
    take_arguments(argc - optind, argv + optind);
    init_variables();
    const int framing = check_packet_type(FP_in);
    if (framing < 0) {
        std::printf("File isn't MPEG2_TS or Timestamped-MPEG2_TS\n");
        swexit(1);
    }
    IN_count = get_file_size(argv[optind]);
    if (IN_count < 0) {
        std::printf("Can't get file informations\n");
        swexit(1);
    }
    run_packet_loop(framing, IN_count);
}
