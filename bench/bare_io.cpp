// Speed-of-light references for bench/run.sh: the least work that any PID
// filter has to do on the same machine. Not part of the tool.
//
//   bare_io scan   FRAMING IN            read the blocks, look at every PID
//   bare_io filter FRAMING IN OUT PID... keep the PIDs, compact kept packets
//                                        in place, one write(2) per block
//   bare_io null   FRAMING IN OUT PID... turn the other packets into null
//                                        packets in place, write whole blocks
//   bare_io pids   FRAMING IN            print the PIDs the file carries
//
// FRAMING is 188 or 192 (the transport packet then starts 4 bytes in); PIDs
// are hexadecimal (0x1FFF) or decimal. The block is 2 MiB of whole packets.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t BLOCK_BYTES = 2 << 20;
uint8_t Block[BLOCK_BYTES];
uint8_t Pass[8192];

[[noreturn]] void fail(const char* what) {
    std::perror(what);
    std::exit(1);
}

size_t read_block(int fd, size_t size) {
    size_t held = 0;
    while (held < size) {
        const ssize_t got = read(fd, Block + held, size - held);
        if (got == 0) break;
        if (got < 0) fail("read");
        held += static_cast<size_t>(got);
    }
    return held;
}

void write_all(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t put = write(fd, data, size);
        if (put < 0) fail("write");
        data += put;
        size -= static_cast<size_t>(put);
    }
}

inline int pid_of(const uint8_t* packet) { return (packet[1] & 0x1F) << 8 | packet[2]; }

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: bare_io scan|filter|null|pids FRAMING IN [OUT PID...]\n");
        return 2;
    }
    const char* mode = argv[1];
    const size_t framing = std::strtoul(argv[2], nullptr, 10);
    const size_t offset = framing - 188;
    const size_t block = BLOCK_BYTES / framing * framing;
    const int in = open(argv[3], O_RDONLY);
    if (in < 0) fail(argv[3]);
    const bool writes = std::strcmp(mode, "filter") == 0 || std::strcmp(mode, "null") == 0;
    int out = -1;
    if (writes) {
        if (argc < 5) fail("no output");
        out = open(argv[4], O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0) fail(argv[4]);
        for (int i = 5; i < argc; ++i) Pass[std::strtoul(argv[i], nullptr, 0) & 0x1FFF] = 1;
    }

    unsigned long long seen = 0;
    for (size_t held; (held = read_block(in, block)) >= framing;) {
        const size_t end = held / framing * framing;
        if (std::strcmp(mode, "filter") == 0) {
            uint8_t* kept = Block;
            for (size_t at = 0; at < end; at += framing) {
                if (Pass[pid_of(Block + at + offset)]) {
                    if (kept != Block + at) std::memmove(kept, Block + at, framing);
                    kept += framing;
                }
            }
            write_all(out, Block, static_cast<size_t>(kept - Block));
        } else if (writes) {
            for (size_t at = 0; at < end; at += framing) {
                uint8_t* packet = Block + at + offset;
                if (!Pass[pid_of(packet)]) {
                    packet[1] = 0x1F;
                    packet[2] = 0xFF;
                    packet[3] = 0x10;
                    std::memset(packet + 4, 0xFF, 184);
                }
            }
            write_all(out, Block, end);
        } else {
            for (size_t at = 0; at < end; at += framing) {
                const int pid = pid_of(Block + at + offset);
                Pass[pid] = 1;
                seen += static_cast<unsigned>(pid);
            }
        }
        if (held < block) break;
    }
    if (std::strcmp(mode, "pids") == 0) {
        for (int pid = 0; pid < 8192; ++pid) {
            if (Pass[pid]) std::printf("0x%04X\n", pid);
        }
    }
    volatile unsigned long long sink = seen;  // keeps the scan from being optimised away
    (void)sink;
    if (out >= 0 && close(out) != 0) fail("close");
    return 0;
}
