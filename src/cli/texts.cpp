// Usage text and version report.
#include <cstdio>

#include "build_info.h"
#include "cli.h"

void print_usage() {
    std::fputs(
        "\n"
        "Usage: tsnarrow [-d|-D|-e] [-h] [-r] [-s] [-v]\n"
        "   <InFileName> [<Target_Program#> [<OutFileName>]]\n"
        "\n"
        "********************** Parameters **********************\n"
        "  <InFileName>        : Input File Name\n"
        "  <Target_Program#>   : Target Program Number that filtered Packets\n"
        "  <OutFileName>       : Output File Name(filtered)\n"
        "**********************  Options  **********************\n"
        "  -d                  : Drop not-target Program or NULL Packets\n"
        "  -D                  : Drop non-target Program Packets\n"
        "  -e                  : Replace non-targer Program Packet to NULL Packets\n"
        "  -h                  : Print this message and exit\n"
        "  -r                  : Remove TTS header\n"
        "  -s                  : Drop SI.\n"
        "  (no option)         : Analyze PAT and print it\n"
        "********************************************************\n"
        "\n",
        stdout);
}

void print_more_options() {
    std::fputs(
        "  -c, --check         : Check every PID for drops, errors, scrambling and PCR gaps\n"
        "  -E, --events        : Print the programmes now and next, and each change, from the EIT\n"
        "  -v, --version       : Print the version report and exit\n"
        "  -z                  : Trace every packet header\n"
        "      --help          : Print this message with the options beyond it, and exit\n"
        "      --json FILE     : Write everything the run found to FILE as JSON (- for standard output)\n"
        "      --split         : One output file per programme, named by <OutFileName> as a template\n"
        "                        of %n (part), %e (event_id), %s (start), %t (title) and %% (a %)\n"
        "\n",
        stdout);
}

void print_version() {
    std::printf("Name: %s\n", PROGRAM_NAME_STRING);
    std::printf(" Module name: %s\n", MODULE_NAME_STRING);
    std::printf(" Version: %s\n", VERSION_STRING);
    std::printf(" Built date: %s\n", BUILD_DATE_STRING);
    std::printf(" Built host: %s\n", BUILD_HOST_STRING);
    std::printf(" Compiler: %s\n", BUILD_COMPILER_STRING);
}
