// tscheck: checks a stream extracted for one program, optionally against the
// stream it came from, and prints a short verdict. Exit status 0 when it is
// consistent, 1 when not, 2 on a usage error.

#include "tscheck.h"

#include <getopt.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const char kUsage[] =
    "Usage: tscheck [-p PROGRAM] EXTRACTED [INPUT]\n"
    "Checks that EXTRACTED is a consistent single-program stream: PATs list only\n"
    "the network entry and the program, every PID is named by its PAT, PMT or CAT\n"
    "or is an SI or null PID, and (given INPUT, the stream it was extracted from)\n"
    "continuity counters break only where the input's did.\n"
    "  -p PROGRAM  program number (decimal or 0x hex); default: from the first PAT\n";

}  // namespace

int main(int argc, char** argv) {
    int program = -1;
    int c;
    while ((c = getopt(argc, argv, "p:h")) != -1) {
        if (c == 'p') {
            char* end = nullptr;
            errno = 0;
            const long value = std::strtol(optarg, &end, 0);
            if (errno != 0 || *end != '\0' || value < 1 || value > 0xFFFF) {
                std::fputs(kUsage, stderr);
                return 2;
            }
            program = static_cast<int>(value);
        } else if (c == 'h') {
            std::fputs(kUsage, stdout);
            return 0;
        } else {
            std::fputs(kUsage, stderr);
            return 2;
        }
    }
    const int positional = argc - optind;
    if (positional < 1 || positional > 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const tscheck::Report report =
        tscheck::check_extracted_files(argv[optind], positional == 2 ? argv[optind + 1] : "", program);
    std::fputs(report.verdict().c_str(), stdout);
    return report.ok ? 0 : 1;
}
