// The options of a run, short and long. Each is handled as it comes, in the
// order given; an option the tool does not know is ignored without a word.
#include <getopt.h>

#include <cstdio>

#include "cli.h"
#include "filter_state.h"
#include "json.h"

// --help has no short form: -h keeps the plain usage.
const struct option LONG_OPTIONS[] = {
    {"check", no_argument, nullptr, 'c'},
    {"events", no_argument, nullptr, 'E'},
    {"help", no_argument, nullptr, HELP_OPTION},
    {"json", required_argument, nullptr, JSON_OPTION},
    {"split", no_argument, nullptr, SPLIT_OPTION},
    {"version", no_argument, nullptr, 'v'},
    {nullptr, 0, nullptr, 0},
};

int next_option(int argc, char** argv) {
    opterr = 0;  // an unknown option is ignored, without a complaint
    return getopt_long(argc, argv, OPTION_STRING, LONG_OPTIONS, nullptr);
}

void read_options(int argc, char** argv) {
    int option;
    while ((option = next_option(argc, argv)) != -1) {
        switch (option) {
            case 'c':
                Check_flag += 1;
                break;
            case 'd':
                PID_Filter[NULL_PID] = 0;
                std::printf("option -d: Drop non-target or NULL Packets option enabled\n");
                break;
            case 'D':
                PID_Filter[NULL_PID] = 1;
                std::printf("option -D: Drop non-target option enabled\n");
                break;
            case 'E':
                Events_flag += 1;
                break;
            case 'e':
                Option_replace_to_null_flag += 1;
                PID_Filter[NULL_PID] = 1;
                std::printf("option -e: Replace noon-target to NULL option enable\n");
                break;
            case 'h':
                print_usage();
                swexit(0);
            case HELP_OPTION:
                print_usage();
                print_more_options();
                swexit(0);
            case JSON_OPTION:
                Json_path = optarg;
                break;
            case SPLIT_OPTION:
                Split_flag += 1;
                break;
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
