// The EIT path of -E fed directly: packets to the section gathering of PID
// 0x0012, and whole sections to the present/following table. Byte 0 chooses
// report (bit 0 clear) or extraction mode and whether start packets that
// carry a whole section get its CRC_32 repaired (bit 1), bytes 1-2 the target
// program (0: none in report mode); then records of a selector byte and, for
// an even one, 188 packet bytes; for an odd one, two bytes giving a section's
// size (3 to 4096) and its bytes, with table_id 0x4E, section_length and
// CRC_32 set right, so that the event and descriptor walks see any content.
// Each record is held in a buffer of its own size: a read past the packet or
// the section is caught. A whole section is taken as never seen before.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "eit.h"
#include "filter_state.h"
#include "harness.h"
#include "packet_checks.h"

namespace {

void feed_section(const uint8_t* bytes, int size, const std::vector<uint8_t>& packet) {
    std::vector<uint8_t> section(bytes, bytes + size);
    section[0] = 0x4E;
    section[1] = static_cast<uint8_t>((section[1] & 0xF0) | (size - 3) >> 8);
    section[2] = static_cast<uint8_t>(size - 3);
    put_section_crc(section.data(), size);
    start_events();
    take_eit_section(section.data(), size, packet.data());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < CONTROL_BYTES) return 0;
    RunSetup setup;
    setup.report = !(data[0] & 1);
    setup.events = true;
    const int number = data[1] << 8 | data[2];
    setup.target = number != 0 ? number : setup.report ? -1 : 1;
    const bool repair_crc = data[0] & 2;
    reset_run(setup);
    std::vector<uint8_t> packet(TS_PACKET_SIZE);
    run_input([&] {
        size_t at = CONTROL_BYTES;
        while (at < size) {
            const uint8_t selector = data[at++];
            if (selector % 2 == 0) {
                if (size - at < TS_PACKET_SIZE) break;
                std::memcpy(packet.data(), data + at, TS_PACKET_SIZE);
                if (repair_crc) fix_section_crc(packet.data());
                collect_eit_packet(packet.data());
                at += TS_PACKET_SIZE;
            } else {
                if (size - at < 2) break;
                const int section_size = 3 + (data[at] << 8 | data[at + 1]) % (EIT_SECTION_SIZE - 2);
                at += 2;
                if (size - at < static_cast<size_t>(section_size)) break;
                feed_section(data + at, section_size, packet);
                at += section_size;
            }
            ++PKT_count;
        }
    });
    return 0;
}
