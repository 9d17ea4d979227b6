// Standard output goes through a cookie stream: stdio discards a buffer whose
// write failed and keeps no errno for it, so the write itself records why.
#include "std_streams.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "cli.h"

namespace {

bool Texts_taken = false;
bool Texts_on_stderr = false;
int Text_errno = 0;          // of the first failed write of a text, 0 while none failed
char Last_text_byte = '\n';  // of the texts written out so far: a line is open unless it is a line end

// The last failure message, for the JSON document.
char Failure_message[512];

// The reports of a long recording run to tens of megabytes of text.
char Text_buffer[64 << 10];

ssize_t write_texts(void*, const char* data, size_t size) {
    size_t done = 0;
    while (done < size && Text_errno == 0) {
        const ssize_t put = write(STDOUT_FILENO, data + done, size - done);
        if (put > 0) {
            done += static_cast<size_t>(put);
            Last_text_byte = data[done - 1];
        } else if (put == 0 || errno != EINTR) {
            Text_errno = put < 0 ? errno : EIO;
        }
    }
    return static_cast<ssize_t>(done);  // short: stdio marks the stream failed
}

// The lowest free descriptor is fd itself: the ones below are open. Standard
// input gets an unconnected socket, whose reads fail: a file there could be
// opened again by a name of it (/dev/stdin, /proc/self/fd/0) and read as an
// empty input, where no name opens a socket. Standard output and error get
// /dev/null opened for reading, whose writes fail.
int open_placeholder(int fd) {
    if (fd == STDIN_FILENO) {
        const int unconnected = socket(AF_UNIX, SOCK_STREAM, 0);
        if (unconnected >= 0) return unconnected;
    }
    return open("/dev/null", fd == STDIN_FILENO ? O_WRONLY : O_RDONLY);
}

}  // namespace

int guard_standard_descriptors() {
    int closed = 0;
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        if (open_placeholder(fd) == fd) closed |= 1 << fd;
    }
    return closed;
}

void take_text_output(bool texts_on_stderr) {
    FILE* texts = fopencookie(nullptr, "w", cookie_io_functions_t{nullptr, write_texts, nullptr, nullptr});
    if (texts == nullptr) return;  // stdio's own standard output stays
    const bool terminal = isatty(STDOUT_FILENO);
    std::setvbuf(texts, Text_buffer, terminal ? _IOLBF : _IOFBF, sizeof Text_buffer);
    stdout = texts;
    Texts_taken = true;
    Texts_on_stderr = texts_on_stderr;
}

bool texts_failed() { return Text_errno != 0 && !Texts_on_stderr; }

void print_failure(const char* format, ...) {
    std::fflush(stdout);  // a text that cannot be written is found lost now
    va_list args;
    va_start(args, format);
    va_list kept;
    va_copy(kept, args);
    std::vsnprintf(Failure_message, sizeof Failure_message, format, kept);
    va_end(kept);
    if (!texts_failed()) {
        // Written out at once: if it is the first text to be lost, it is
        // written again on standard error.
        va_list copy;
        va_copy(copy, args);
        std::vfprintf(stdout, format, copy);
        va_end(copy);
        std::fflush(stdout);
    }
    if (texts_failed()) std::vfprintf(stderr, format, args);
    va_end(args);
}

void note_failure(const char* message) {
    std::snprintf(Failure_message, sizeof Failure_message, "%s", message);
}

const char* failure_message() {
    const size_t length = std::strlen(Failure_message);
    if (length > 0 && Failure_message[length - 1] == '\n') Failure_message[length - 1] = '\0';
    return Failure_message;
}

bool text_line_open() {
    std::fflush(stdout);
    return Last_text_byte != '\n';
}

int finish_texts(int status) {
    if (!Texts_taken) return status;
    std::fflush(stdout);
    if (close(STDOUT_FILENO) != 0 && errno != EINTR && Text_errno == 0) Text_errno = errno;
    if (!texts_failed()) return status;
    char message[sizeof Failure_message];
    std::snprintf(message, sizeof message, "%s: write error on standard output: %s\n", PROGRAM_NAME_STRING,
                  std::strerror(Text_errno));
    std::fputs(message, stderr);
    note_failure(message);
    return 1;
}
