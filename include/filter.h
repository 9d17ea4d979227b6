// Per-packet work: header decoding, PSI dispatch and the pass/drop/null decision.
#ifndef TSNARROW_FILTER_H
#define TSNARROW_FILTER_H

#include <cstdint>
#include <cstring>

#include "filter_state.h"

inline int ts_packet_pid(const uint8_t* packet) { return (packet[1] & 0x1F) << 8 | packet[2]; }

// Checks the sync byte, decodes the header, prints the -z trace.
// Returns -1 on a wrong sync byte, 0 otherwise.
int analyze_ts_header(const uint8_t* packet, MPEG2_TS_HEADER* header);

// analyze_ts_header, then the packet goes to its table handler, if any.
// Returns -1 on a wrong sync byte, 0 otherwise.
int decode_ts_packet(uint8_t* packet);

// "Drop Packet %04X\n", the -z trace of a dropped packet.
void trace_dropped_packet(int pid);

// Pass (188), drop (0), or overwrite with a null packet (188) under -e.
inline int filter_ts_packet(uint8_t* packet) {
    const int pid = ts_packet_pid(packet);  // read again: a handler may have rewritten the packet
    if (PID_Filter[pid]) return TS_PACKET_SIZE;
    if (Debug_flag) trace_dropped_packet(pid);
    if (!Option_replace_to_null_flag) return 0;
    // Null packet in place: sync byte kept, PID 0x1FFF, payload only, CC 0.
    packet[1] = 0x1F;
    packet[2] = 0xFF;
    packet[3] = 0x10;
    std::memset(packet + 4, 0xFF, TS_PACKET_SIZE - 4);
    return TS_PACKET_SIZE;
}

// size is 188 or 192. Returns size when the packet is to be written, 0 when it
// is dropped, -1 when its sync byte is wrong. Inline for the packet loop: most
// packets are neither traced nor on a PID that a table handler takes (0x0000,
// 0x0001, 0x0011, PMT_PID), and the pass table alone decides them.
inline int proc_ts_packet(uint8_t* buffer, int size) {
    uint8_t* packet = buffer + (size - TS_PACKET_SIZE);  // behind the timestamp of a 192-byte packet
    const int pid = ts_packet_pid(packet);
    if (packet[0] != SYNC_BYTE || Debug_flag || pid <= 0x0011 || pid == PMT_PID) {
        if (decode_ts_packet(packet) < 0) return -1;
    }
    return filter_ts_packet(packet) ? size : 0;
}

#endif
