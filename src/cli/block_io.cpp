// One block serves the reads, the packet handling and the writes: whole
// packets are handled where read(2) put them, and the kept ones are moved
// down to the front of the block, which is then written in one piece.
#include "block_io.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "filter_state.h"

namespace {

// Reads of about 2 MiB: the system calls cost nothing per packet, and the kept
// part of a block goes out in one large write (a quarter of a block is 512
// KiB), which the page cache takes faster than twice as many writes of half
// the size. The block holds a whole number of packets of either size, so a
// regular file never leaves a partial packet behind, and every read lands on
// the block's aligned start, where the kernel copies fastest.
constexpr size_t BOTH_FRAMINGS = 9024;  // 48 packets of 188 bytes, 47 of 192
constexpr size_t BLOCK_BYTES = (2 << 20) / BOTH_FRAMINGS * BOTH_FRAMINGS;

alignas(4096) uint8_t Block[BLOCK_BYTES];
int Input_fd = -1;
bool Input_regular = false;
bool Input_ended = false;
int Input_errno = 0;
size_t Held = 0;        // bytes of input in Block
size_t Handed_out = 0;  // of those, the bytes of the packets handed out
size_t Output_record = TS_PACKET_SIZE;
unsigned long long Output_written = 0;  // bytes, of any size on any target

// One read(2) into the free part of the block. False when the input has
// ended; a read error ends it too.
bool read_more() {
    for (;;) {
        const ssize_t got = read(Input_fd, Block + Held, BLOCK_BYTES - Held);
        if (got > 0) {
            Held += static_cast<size_t>(got);
            return true;
        }
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) Input_errno = errno;
        Input_ended = true;
        return false;
    }
}

// A regular file is read until the block is full, in as few reads as it
// takes. Anything else is read once: whatever has arrived is handled before
// the next read waits for more.
void fill_block() {
    while (read_more() && Input_regular && Held < BLOCK_BYTES) {
    }
}

// After a failed write the file may end in part of a record, whatever part
// the system took: it is cut at the record's start. The file's offset, not
// the count of bytes written, gives its end: standard output may have been
// opened to append.
void cut_partial_record(int fd) {
    const size_t partial = static_cast<size_t>(Output_written % Output_record);
    struct stat st;
    if (partial == 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return;
    const off_t end = lseek(fd, 0, SEEK_CUR);
    if (end >= static_cast<off_t>(partial) && ftruncate(fd, end - static_cast<off_t>(partial)) == 0) {
        Output_written -= partial;
    }
}

}  // namespace

uint8_t* Kept_packets_end = Block;

const uint8_t* read_input_head(FILE* input, size_t count) {
    Input_fd = fileno(input);
    struct stat st;
    Input_regular = fstat(Input_fd, &st) == 0 && S_ISREG(st.st_mode);
    Input_ended = false;
    Input_errno = 0;
    Held = Handed_out = 0;
    Kept_packets_end = Block;
    while (Held < count && !Input_ended) fill_block();
    return Held >= count ? Block : nullptr;
}

bool input_is_regular_file() { return Input_regular; }

int input_error() { return Input_errno; }

uint8_t* take_packets(size_t framing, size_t* count) {
    if (Held - Handed_out < framing) {
        // Only a partial packet is left: it moves to the front of the block,
        // and the rest of it comes with the next read.
        const size_t tail = Held - Handed_out;
        std::memmove(Block, Block + Handed_out, tail);
        Held = tail;
        Handed_out = 0;
        Kept_packets_end = Block;
        while (Held < framing && !Input_ended) fill_block();
    }
    uint8_t* first = Block + Handed_out;
    *count = (Held - Handed_out) / framing;
    Handed_out += *count * framing;
    return first;
}

void start_packet_output(size_t record) {
    Output_record = record;
    Output_written = 0;
}

bool write_kept_packets() {
    if (Kept_packets_end == Block) return true;
    const uint8_t* next = Block;
    const int fd = fileno(FP_out);
    bool written = true;
    while (next < Kept_packets_end) {
        const ssize_t put = write(fd, next, static_cast<size_t>(Kept_packets_end - next));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            written = false;
            cut_partial_record(fd);
            break;
        }
        next += put;
        Output_written += static_cast<size_t>(put);
    }
    Kept_packets_end = Block;
    return written;
}

bool close_packet_output() {
    const bool written = write_kept_packets();
    const bool closed = std::fclose(FP_out) == 0;
    FP_out = nullptr;
    return written && closed;
}

unsigned long long packets_written() { return Output_written / Output_record; }
