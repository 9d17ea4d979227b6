#include "stdout_owner.h"

#include <getopt.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "cli.h"

namespace {

// What the packets and the document are written to, found without acting on
// any option: the options print their messages only after the banner.
struct NAMED_OUTPUTS {
    const char* packets;   // null in a report
    const char* document;  // null without --json
};

NAMED_OUTPUTS named_outputs(int argc, char** argv) {
    NAMED_OUTPUTS named = {nullptr, nullptr};
    for (int option; (option = next_option(argc, argv)) != -1;) {
        if (option == JSON_OPTION) named.document = optarg;
    }
    if (argc - optind == 3) named.packets = argv[optind + 2];
    optind = 0;  // the next scan starts the options afresh
    return named;
}

bool names_stdout_file(const char* path) {
    struct stat named;
    struct stat out;
    return stat(path, &named) == 0 && fstat(STDOUT_FILENO, &out) == 0 && named.st_dev == out.st_dev &&
           named.st_ino == out.st_ino;
}

bool names_stdout(const char* path, int closed) {
    if (path == nullptr) return false;
    const bool stdout_closed = (closed & 1 << STDOUT_FILENO) != 0;
    return names_standard_stream(path) || (!stdout_closed && names_stdout_file(path));
}

// Standard error is always open (a closed one has its placeholder).
int keep_stdout_aside() {
    const int fd = dup(STDOUT_FILENO);
    if (fd >= 0) dup2(STDERR_FILENO, STDOUT_FILENO);
    return fd;
}

}  // namespace

bool names_standard_stream(const char* argument) { return std::strcmp(argument, "-") == 0; }

STDOUT_OWNER take_stdout_owner(int argc, char** argv, int closed) {
    const NAMED_OUTPUTS named = named_outputs(argc, argv);
    STDOUT_OWNER owner = {-1, -1, false};
    const bool document = names_stdout(named.document, closed);
    if (names_stdout(named.packets, closed)) {
        owner.packets_fd = keep_stdout_aside();
        owner.document_refused = document;
    } else if (document) {
        owner.document_fd = keep_stdout_aside();
    }
    return owner;
}
