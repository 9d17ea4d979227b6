// What the run learns about its input before the first packet: the framing
// and the size.
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "block_io.h"
#include "cli.h"
#include "filter_state.h"
#include "std_streams.h"

// A recording past 2 GiB: a 32-bit build without 64-bit offsets fails to open and stat it.
static_assert(sizeof(off_t) == 8, "build with _FILE_OFFSET_BITS=64");

namespace {
constexpr int PROBE_BYTES = 2 * TTS_PACKET_SIZE;
}  // namespace

// The bytes looked at stay held and are handled as the first packets, so
// nothing is rewound: a pipe works as well as a file. A read error is the
// caller's to report: the input is not known to be short or foreign.
int check_packet_type(FILE* file) {
    const uint8_t* head = read_input_head(file, PROBE_BYTES);
    if (head == nullptr) {
        if (input_error() == 0) print_failure("Unexpected EOF detected.\n");
        return -1;
    }
    if (head[0] == SYNC_BYTE) {
        if (head[TS_PACKET_SIZE] == SYNC_BYTE) return TS_PACKET_SIZE;
    } else if (head[TTS_HEADER_SIZE] == SYNC_BYTE && head[TTS_HEADER_SIZE + TTS_PACKET_SIZE] == SYNC_BYTE) {
        return TTS_PACKET_SIZE;
    }
    print_failure("MPEG2_TS Syncbyte is not founded.\n");
    return -1;
}

long long get_file_size(const char* path) {
    struct stat st;
    if (stat(path, &st) != 0) {
        print_failure("stat error:%s\n", std::strerror(errno));
        return -1;
    }
    return st.st_size;
}
