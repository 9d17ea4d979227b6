// Preloaded into the tool (LD_PRELOAD) to make its system calls fail or come
// back short, as a failing disk, a full pipe or a signal would. Driven by the
// environment, read once:
//   FAULT_IO_MAX=N         every read and write moves at most N bytes
//   FAULT_EINTR=1          every other read and write fails first with EINTR
//   FAULT_READ_EIO_AFTER=N reads of a descriptor above 2 fail with EIO once N
//                          bytes have come through them
//   FAULT_CLOSE_STDOUT=1   close(1) closes, then reports EIO, as a file system
//                          that finds the error only then
#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace {

using io_fn = ssize_t (*)(int, void*, size_t);
using write_fn = ssize_t (*)(int, const void*, size_t);
using close_fn = int (*)(int);

long long setting(const char* name, long long none) {
    const char* text = std::getenv(name);
    return text ? std::atoll(text) : none;
}

struct Faults {
    long long io_max = setting("FAULT_IO_MAX", 0);
    bool eintr = setting("FAULT_EINTR", 0) != 0;
    long long read_eio_after = setting("FAULT_READ_EIO_AFTER", -1);
    bool close_stdout = setting("FAULT_CLOSE_STDOUT", 0) != 0;
    long long read_so_far = 0;
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

}  // namespace

extern "C" ssize_t read(int fd, void* buffer, size_t count) {
    static const io_fn real = reinterpret_cast<io_fn>(dlsym(RTLD_NEXT, "read"));
    Faults& f = faults();
    if (interrupted()) return -1;
    if (fd > 2 && f.read_eio_after >= 0) {
        if (f.read_so_far >= f.read_eio_after) {
            errno = EIO;
            return -1;
        }
        const long long left = f.read_eio_after - f.read_so_far;
        if (count > static_cast<unsigned long long>(left)) count = static_cast<size_t>(left);
    }
    const ssize_t got = real(fd, buffer, limited(count));
    if (fd > 2 && got > 0) f.read_so_far += got;
    return got;
}

extern "C" ssize_t write(int fd, const void* data, size_t count) {
    static const write_fn real = reinterpret_cast<write_fn>(dlsym(RTLD_NEXT, "write"));
    if (interrupted()) return -1;
    return real(fd, data, limited(count));
}

extern "C" int close(int fd) {
    static const close_fn real = reinterpret_cast<close_fn>(dlsym(RTLD_NEXT, "close"));
    const int result = real(fd);
    if (fd != STDOUT_FILENO || !faults().close_stdout || result != 0) return result;
    errno = EIO;
    return -1;
}
