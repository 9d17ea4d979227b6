// What the run learns about its input before the first packet: the framing
// and the size.
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "cli.h"
#include "filter_state.h"

namespace {
constexpr int PROBE_BYTES = 2 * TTS_PACKET_SIZE;
constexpr uint8_t SYNC_BYTE = 0x47;
}  // namespace

int check_packet_type(FILE* file) {
    uint8_t head[PROBE_BYTES];
    if (std::fread(head, PROBE_BYTES, 1, file) != 1) {
        std::printf("Unexpected EOF detected.\n");
        return -1;
    }
    if (std::fseek(file, 0, SEEK_SET) != 0) std::printf("Can't rewind Input file\n");
    if (head[0] == SYNC_BYTE) {
        if (head[TS_PACKET_SIZE] == SYNC_BYTE) return TS_PACKET_SIZE;
    } else if (head[TTS_HEADER_SIZE] == SYNC_BYTE && head[TTS_HEADER_SIZE + TTS_PACKET_SIZE] == SYNC_BYTE) {
        return TTS_PACKET_SIZE;
    }
    std::printf("MPEG2_TS Syncbyte is not founded.\n");
    return -1;
}

long long get_file_size(const char* path) {
    struct stat st;
    if (stat(path, &st) != 0) {
        std::printf("stat error:%s\n", std::strerror(errno));
        return -1;
    }
    return st.st_size;
}
