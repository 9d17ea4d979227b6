#include "stdout_packets.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cli.h"

namespace {

// The output argument of an extraction run, found without acting on any
// option: the options print their messages only after the banner.
const char* output_argument(int argc, char** argv) {
    opterr = 0;
    while (getopt(argc, argv, OPTION_STRING) != -1) {
    }
    const char* output = argc - optind == 3 ? argv[optind + 2] : nullptr;
    optind = 0;  // the next getopt starts the options afresh
    return output;
}

bool names_stdout(const char* path) {
    struct stat named;
    struct stat out;
    return stat(path, &named) == 0 && fstat(STDOUT_FILENO, &out) == 0 && named.st_dev == out.st_dev &&
           named.st_ino == out.st_ino;
}

}  // namespace

int take_stdout_for_packets(int argc, char** argv) {
    const char* output = output_argument(argc, argv);
    if (output == nullptr || !names_stdout(output)) return -1;
    const int packets_fd = dup(STDOUT_FILENO);
    if (packets_fd < 0) return -1;
    if (dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
        // No standard error to take the texts: they are lost rather than
        // mixed into the packets.
        const int null_fd = open("/dev/null", O_WRONLY);
        if (null_fd < 0 || dup2(null_fd, STDOUT_FILENO) < 0) close(STDOUT_FILENO);
        if (null_fd >= 0) close(null_fd);
    }
    return packets_fd;
}
