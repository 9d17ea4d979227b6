// Preloaded into the tool (LD_PRELOAD) to make its system calls fail or come
// back short, as a failing disk, a full pipe or a signal would. Driven by the
// environment, read once:
//   FAULT_IO_MAX=N         every read and write moves at most N bytes
//   FAULT_EINTR=1          every other read and write fails first with EINTR
//   FAULT_READ_EIO_AFTER=N reads of a descriptor above 2 fail with EIO once N
//                          bytes have come through them
//   FAULT_WRITE_ENOSPC_AFTER=N  writes to a descriptor above 2 fail with
//                          ENOSPC once N bytes have gone through them
//   FAULT_STDOUT_ON_SAME_DISK=1  from then on, writes to standard output
//                          fail with ENOSPC too, as on one full disk
//   FAULT_CLOSE_EIO=PATH   closing a descriptor open on the file PATH names
//                          (close or fclose) closes it, then reports EIO, as a
//                          file system that finds the error only then;
//                          /proc/self/fd/1 names standard output's file
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

using io_fn = ssize_t (*)(int, void*, size_t);
using write_fn = ssize_t (*)(int, const void*, size_t);
using close_fn = int (*)(int);
using fclose_fn = int (*)(FILE*);

long long setting(const char* name, long long none) {
    const char* text = std::getenv(name);
    return text ? std::atoll(text) : none;
}

struct Faults {
    long long io_max = setting("FAULT_IO_MAX", 0);
    bool eintr = setting("FAULT_EINTR", 0) != 0;
    long long read_eio_after = setting("FAULT_READ_EIO_AFTER", -1);
    long long write_enospc_after = setting("FAULT_WRITE_ENOSPC_AFTER", -1);
    bool stdout_on_same_disk = setting("FAULT_STDOUT_ON_SAME_DISK", 0) != 0;
    const char* close_eio = std::getenv("FAULT_CLOSE_EIO");
    long long read_so_far = 0;
    long long written_so_far = 0;
    unsigned calls = 0;
};

Faults& faults() {
    static Faults f;
    return f;
}

// True when this call is to fail with EINTR before doing anything.
bool interrupted() {
    if (!faults().eintr || faults().calls++ % 2 != 0) return false;
    errno = EINTR;
    return true;
}

size_t limited(size_t count) {
    const long long max = faults().io_max;
    return max > 0 && count > static_cast<size_t>(max) ? static_cast<size_t>(max) : count;
}

// For a descriptor above 2 whose bytes so far have reached `after` (-1:
// never): false with errno set to `error`. Else true, with `count` cut so as
// not to pass `after`.
bool within(int fd, long long after, long long so_far, int error, size_t& count) {
    if (fd <= 2 || after < 0) return true;
    if (so_far >= after) {
        errno = error;
        return false;
    }
    if (count > static_cast<unsigned long long>(after - so_far)) count = static_cast<size_t>(after - so_far);
    return true;
}

// Whether fd is open on the file that FAULT_CLOSE_EIO names.
bool on_failing_file(int fd) {
    const char* path = faults().close_eio;
    struct stat named, open;
    return path && stat(path, &named) == 0 && fstat(fd, &open) == 0 && named.st_dev == open.st_dev &&
           named.st_ino == open.st_ino;
}

// Whether a close that went well (result 0) is to fail, with EIO.
bool close_failed(bool failing_file, int result) {
    if (!failing_file || result != 0) return false;
    errno = EIO;
    return true;
}

}  // namespace

extern "C" ssize_t read(int fd, void* buffer, size_t count) {
    static const io_fn real = reinterpret_cast<io_fn>(dlsym(RTLD_NEXT, "read"));
    Faults& f = faults();
    if (interrupted() || !within(fd, f.read_eio_after, f.read_so_far, EIO, count)) return -1;
    const ssize_t got = real(fd, buffer, limited(count));
    if (fd > 2 && got > 0) f.read_so_far += got;
    return got;
}

extern "C" ssize_t write(int fd, const void* data, size_t count) {
    static const write_fn real = reinterpret_cast<write_fn>(dlsym(RTLD_NEXT, "write"));
    Faults& f = faults();
    if (interrupted() || !within(fd, f.write_enospc_after, f.written_so_far, ENOSPC, count)) return -1;
    if (fd == STDOUT_FILENO && f.stdout_on_same_disk && f.write_enospc_after >= 0 &&
        f.written_so_far >= f.write_enospc_after) {
        errno = ENOSPC;
        return -1;
    }
    const ssize_t put = real(fd, data, limited(count));
    if (fd > 2 && put > 0) f.written_so_far += put;
    return put;
}

extern "C" int close(int fd) {
    static const close_fn real = reinterpret_cast<close_fn>(dlsym(RTLD_NEXT, "close"));
    const bool failing = on_failing_file(fd);
    const int result = real(fd);
    return close_failed(failing, result) ? -1 : result;
}

// The C library's fclose closes the descriptor without the close above.
extern "C" int fclose(FILE* stream) {
    static const fclose_fn real = reinterpret_cast<fclose_fn>(dlsym(RTLD_NEXT, "fclose"));
    const bool failing = on_failing_file(fileno(stream));
    const int result = real(stream);
    return close_failed(failing, result) ? EOF : result;
}
