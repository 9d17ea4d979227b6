// Assembly of a PMT or SDT section across the packets of its PID. A start
// packet (re)starts the buffer; continuation packets append until the section
// is whole. Every byte copied stays inside the packet and the 1024-byte buffer.
#include <cstdio>
#include <cstring>

#include "psi.h"
#include "psi_internal.h"

namespace {
constexpr int SECTION_HEADER_BYTES = 3;
constexpr int MAX_SECTION_LENGTH = SECTION_BUFF_SIZE - SECTION_HEADER_BYTES;  // 1021

bool start_section(const uint8_t* packet, int payload_at, const SECTION_USER& user) {
    const int offset = payload_at < TS_PACKET_SIZE ? payload_at + 1 + packet[payload_at] : TS_PACKET_SIZE;
    if (offset > TS_PACKET_SIZE - SECTION_HEADER_BYTES) {
        std::printf("%08llX: %s section start is out of packet, aborted.", PKT_count, user.name);
        return false;
    }
    const uint8_t* section = packet + offset;
    if (section[0] != user.table_id) {
        std::printf(user.table_id_message, PKT_count, section[0]);
        return false;
    }
    SECTION_BUFF& buff = *user.buffer;
    const int section_length = read_length12(section + 1);
    if (section_length > MAX_SECTION_LENGTH) {
        // Too long to hold: the buffer forgets what it had, so that the rest of
        // this section, arriving as continuation packets, is ignored.
        std::printf("%08llX: %s length is too long [%d], aborted.", PKT_count, user.name, section_length);
        buff.length = buff.received = 0;
        return false;
    }
    const int total = section_length + SECTION_HEADER_BYTES;
    const int in_packet = TS_PACKET_SIZE - offset;
    const int copied = total <= in_packet ? total : in_packet;
    std::memcpy(buff.data, section, copied);
    buff.length = total;
    buff.received = copied;
    return copied == total;
}

bool continue_section(const uint8_t* packet, int payload_at, SECTION_BUFF& buff) {
    if (buff.length == 0) return false;
    const int available = payload_at < TS_PACKET_SIZE ? TS_PACKET_SIZE - payload_at : 0;
    const int needed = buff.length - buff.received;
    const int copied = available < needed ? available : needed;
    if (copied > 0) std::memcpy(buff.data + buff.received, packet + payload_at, copied);
    buff.received += copied;
    return buff.received == buff.length;
}
}  // namespace

bool collect_section(const uint8_t* packet, const MPEG2_TS_HEADER* header, const SECTION_USER& user) {
    if (!(header->adaptation_field_control & 1)) {
        std::printf(user.no_payload_message, PKT_count);
        return false;
    }
    const int payload_at = payload_offset(packet, header);
    return header->payload_unit_start_indicator ? start_section(packet, payload_at, user)
                                                : continue_section(packet, payload_at, *user.buffer);
}
