#include "stdout_packets.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "cli.h"

namespace {

// The output argument of an extraction run, found without acting on any
// option: the options print their messages only after the banner.
const char* output_argument(int argc, char** argv) {
    while (next_option(argc, argv) != -1) {
    }
    const char* output = argc - optind == 3 ? argv[optind + 2] : nullptr;
    optind = 0;  // the next scan starts the options afresh
    return output;
}

bool names_stdout_file(const char* path) {
    struct stat named;
    struct stat out;
    return stat(path, &named) == 0 && fstat(STDOUT_FILENO, &out) == 0 && named.st_dev == out.st_dev &&
           named.st_ino == out.st_ino;
}

}  // namespace

bool names_standard_stream(const char* argument) { return std::strcmp(argument, "-") == 0; }

int take_stdout_for_packets(int argc, char** argv, int closed) {
    const char* output = output_argument(argc, argv);
    if (output == nullptr) return -1;
    const bool stdout_closed = (closed & 1 << STDOUT_FILENO) != 0;
    if (!names_standard_stream(output) && (stdout_closed || !names_stdout_file(output))) return -1;
    const int packets_fd = dup(STDOUT_FILENO);
    // Standard error is always open (a closed one has its placeholder).
    if (packets_fd >= 0) dup2(STDERR_FILENO, STDOUT_FILENO);
    return packets_fd;
}
