#include "packet_checks.h"

#include <cstring>

namespace {

constexpr int PACKET_SIZE = 188;
constexpr int REWRITTEN_BYTES = 21;  // pointer_field and a 20-byte section

uint32_t section_crc(const uint8_t* data, int size) {
    uint32_t crc = 0xFFFFFFFFu;
    for (int i = 0; i < size; ++i) {
        crc ^= static_cast<uint32_t>(data[i]) << 24;
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

bool all_stuffing(const uint8_t* from, const uint8_t* to) {
    for (const uint8_t* p = from; p < to; ++p)
        if (*p != 0xFF) return false;
    return true;
}

// Offset of the incoming section's table_id, or -1 when it is not whole in the packet.
int incoming_section(const uint8_t* packet) {
    const int pointer_at = (packet[3] & 0x20) ? 5 + packet[4] : 4;
    if (pointer_at >= PACKET_SIZE) return -1;
    const int at = pointer_at + 1 + packet[pointer_at];
    return at + 8 <= PACKET_SIZE ? at : -1;
}

}  // namespace

bool is_null_packet(const uint8_t* packet) {
    return packet[0] == 0x47 && packet[1] == 0x1F && packet[2] == 0xFF && packet[3] == 0x10 &&
           all_stuffing(packet + 4, packet + PACKET_SIZE);
}

bool is_rewritten_pat(const uint8_t* before, const uint8_t* after, int target, int pmt_pid) {
    if (std::memcmp(before, after, 3) != 0) return false;
    const bool kept_field = (after[3] & 0x20) != 0;
    if (after[3] != before[3] && !((before[3] & 0x20) && after[3] == (before[3] & ~0x20))) return false;
    const int at = kept_field ? 5 + before[4] : 4;
    if (at + REWRITTEN_BYTES > PACKET_SIZE) return false;
    if (kept_field && std::memcmp(before + 4, after + 4, at - 4) != 0) return false;
    const int incoming = incoming_section(before);
    if (incoming < 0) return false;

    const uint8_t* s = after + at + 1;
    const int version = (before[incoming + 5] >> 1) & 0x1F;
    const uint8_t expected[16] = {0x00,
                                  0xB0,
                                  0x11,
                                  before[incoming + 3],
                                  before[incoming + 4],
                                  static_cast<uint8_t>(0xC1 | version << 1),
                                  0x00,
                                  0x00,
                                  0x00,
                                  0x00,
                                  0xE0,
                                  0x10,
                                  static_cast<uint8_t>(target >> 8),
                                  static_cast<uint8_t>(target),
                                  static_cast<uint8_t>(0xE0 | pmt_pid >> 8),
                                  static_cast<uint8_t>(pmt_pid)};
    return after[at] == 0x00 && std::memcmp(s, expected, sizeof expected) == 0 && section_crc(s, 20) == 0 &&
           all_stuffing(after + at + REWRITTEN_BYTES, after + PACKET_SIZE);
}

void put_section_crc(uint8_t* section, int size) {
    if (size < 7) return;  // the CRC_32 would overwrite table_id or section_length
    const uint32_t crc = section_crc(section, size - 4);
    for (int i = 0; i < 4; ++i) section[size - 4 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
}

void fix_section_crc(uint8_t* packet) {
    if (!(packet[1] & 0x40) || !(packet[3] & 0x10)) return;
    const int pointer_at = (packet[3] & 0x20) ? 5 + packet[4] : 4;
    if (pointer_at >= PACKET_SIZE) return;
    const int at = pointer_at + 1 + packet[pointer_at];
    if (at + 3 > PACKET_SIZE) return;
    const int size = 3 + ((packet[at + 1] & 0x0F) << 8 | packet[at + 2]);
    if (at + size <= PACKET_SIZE) put_section_crc(packet + at, size);
}
