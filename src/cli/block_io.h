// Block I/O of the packet loop. The input is read with read(2) into one large
// block, where the loop handles each packet in place; the packets it keeps are
// gathered at the front of the same block and written with write(2) before the
// block is refilled. Any input works: a regular file, a pipe, a FIFO or a
// device; nothing is ever rewound.
#ifndef TSNARROW_BLOCK_IO_H
#define TSNARROW_BLOCK_IO_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

// Reads from `input` until `count` bytes are held or the input ends. Returns
// the first `count` bytes of the input, which stay held for the packet loop,
// or nullptr when the input ended (or failed) first.
const uint8_t* read_input_head(FILE* input, size_t count);

// Whether the input read by read_input_head is a regular file, whose size
// tells how many packets it holds.
bool input_is_regular_file();

// The errno of the read error that ended the input, or 0 when it simply
// ended (or has not).
int input_error();

// Hands out the whole packets of `framing` bytes that are held and not yet
// handed out, reading more input when there are none: returns the first of
// them and stores their number in *count, which is 0 when the input ends (or a
// read fails) before one more whole packet. The packets kept from the last
// ones handed out must have been written first.
uint8_t* take_packets(size_t framing, size_t* count);

// End of the packets queued for writing, gathered at the front of the block.
extern uint8_t* Kept_packets_end;

// Queues `size` bytes of a packet handed out by take_packets for writing.
// Packets are kept in the order they were handed out, so the queue never
// overtakes the packet at hand: it grows by at most one packet per packet.
inline void keep_packet(const uint8_t* bytes, size_t size) {
    if (bytes != Kept_packets_end) std::memmove(Kept_packets_end, bytes, size);
    Kept_packets_end += size;
}

// Packets are written to FP_out in records of `record` bytes (188, or 192
// with the timestamp kept).
void start_packet_output(size_t record);

// Writes the queued packets to FP_out. False when the output refused them;
// they are dropped either way, and a regular file is cut back to its last
// whole record, so that what was saved stays a stream that can be read.
bool write_kept_packets();

#endif
