// The section assembly and the four table handlers fed directly, without the
// dispatch: any handler may get any packet, whatever its PID. Byte 0 chooses
// report (bit 0) or extraction mode and whether start packets that carry a
// whole section get its CRC_32 repaired (bit 1), bytes 1-2 the target
// program; then come records of a selector byte and, for its value modulo 8:
//   0-4  188 packet bytes for the PAT, PMT, CAT or SDT handler, or for the
//        assembly on a buffer of its own;
//   5-6  a whole PMT or SDT section: two bytes giving its size (3 to 1024),
//        then its bytes. The table_id, section_length and CRC_32 are set
//        right, the section is put in the handler's buffer as complete, and a
//        continuation packet has the handler take it. This reaches the
//        descriptor and stream walks with any content a CRC would hide.
//   7    a whole EIT present/following section in the same way (3 to 4096
//        bytes, table_id 0x4E), in a buffer of its own size, taken as never
//        seen before (-E).
//
// Checks: single-packet handlers read nothing past the packet (it is allocated
// to size); nothing but a PAT rewrite changes a packet; the assembly follows
// its documented steps (a model of them runs beside it); a complete PMT or SDT
// section is handed over once more by a continuation packet with the buffer
// past the section poisoned, so that any read beyond the section's own bytes
// is caught, and taking the same section again changes no pass flag.
#include <sanitizer/asan_interface.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "eit.h"
#include "filter_state.h"
#include "harness.h"
#include "packet_checks.h"
#include "psi.h"

namespace {

constexpr int PMT_TABLE_ID = 0x02;
constexpr int SDT_TABLE_ID = 0x42;
constexpr int MAX_SECTION_LENGTH = SECTION_BUFF_SIZE - 3;
constexpr int ASSEMBLY_TABLE_ID = 0x02;

using Handler = void (*)(const uint8_t*, const MPEG2_TS_HEADER*);

MPEG2_TS_HEADER decode_header(const uint8_t* p) {
    MPEG2_TS_HEADER h;
    h.transport_error_indicator = p[1] >> 7;
    h.payload_unit_start_indicator = (p[1] >> 6) & 1;
    h.transport_priority = (p[1] >> 5) & 1;
    h.PID = (p[1] & 0x1F) << 8 | p[2];
    h.transport_scrambling_control = p[3] >> 6;
    h.adaptation_field_control = (p[3] >> 4) & 3;
    h.continuity_counter = p[3] & 0x0F;
    return h;
}

bool is_complete(const SECTION_BUFF& b) { return b.length > 0 && b.received == b.length; }

// Poisons the buffer's bytes past its complete section for as long as it lives.
class TailPoison {
  public:
    explicit TailPoison(SECTION_BUFF& buffer) : buffer_(buffer) {
        ASAN_POISON_MEMORY_REGION(buffer.data + buffer.length, SECTION_BUFF_SIZE - buffer.length);
    }
    ~TailPoison() { ASAN_UNPOISON_MEMORY_REGION(buffer_.data, SECTION_BUFF_SIZE); }
    TailPoison(const TailPoison&) = delete;
    TailPoison& operator=(const TailPoison&) = delete;

  private:
    SECTION_BUFF& buffer_;
};

// Runs a multi-packet handler. A continuation packet on a complete section
// copies nothing, so the section's tail can stay poisoned through the call.
void run_collecting(Handler handler, SECTION_BUFF& buffer, const uint8_t* packet, const MPEG2_TS_HEADER& h) {
    if (!h.payload_unit_start_indicator && is_complete(buffer)) {
        TailPoison poison(buffer);
        handler(packet, &h);
    } else {
        handler(packet, &h);
    }
}

// Has the handler process its complete section (again) through a
// payload-only continuation packet.
void process_complete_section(Handler handler, SECTION_BUFF& buffer) {
    std::vector<uint8_t> packet(TS_PACKET_SIZE, 0xFF);
    const uint8_t header[4] = {0x47, 0x1F, 0xFF, 0x10};
    std::memcpy(packet.data(), header, sizeof header);
    run_collecting(handler, buffer, packet.data(), decode_header(packet.data()));
}

// The complete section once more: taking it again changes no pass flag.
void replay_complete_section(Handler handler, SECTION_BUFF& buffer) {
    if (!is_complete(buffer)) return;
    uint8_t filter_before[PID_COUNT];
    std::memcpy(filter_before, PID_Filter, sizeof filter_before);
    const int32_t version_before = PMT_version;
    const uint32_t streams_before = Number_of_program;
    process_complete_section(handler, buffer);
    FUZZ_CHECK(std::memcmp(filter_before, PID_Filter, sizeof filter_before) == 0);
    FUZZ_CHECK(PMT_version == version_before);
    FUZZ_CHECK(Number_of_program == streams_before);
}

// The documented assembly steps, for a buffer the tool fills beside it.
struct AssemblyModel {
    int length = 0;
    int received = 0;
    uint8_t data[SECTION_BUFF_SIZE] = {};
};

enum ModelVerdict { NOT_COMPLETE, COMPLETE, LEFT_OPEN };

// LEFT_OPEN where the tool may choose: offsets past the packet, and
// section_length above what the buffer holds.
ModelVerdict model_collect(AssemblyModel& m, const uint8_t* p, const MPEG2_TS_HEADER& h) {
    if (!(h.adaptation_field_control & 1)) return NOT_COMPLETE;
    const int s = (h.adaptation_field_control & 2) ? 5 + p[4] : 4;
    if (s >= TS_PACKET_SIZE) return LEFT_OPEN;
    if (h.payload_unit_start_indicator) {
        const int o = s + 1 + p[s];
        if (o > TS_PACKET_SIZE - 3) return LEFT_OPEN;
        if (p[o] != ASSEMBLY_TABLE_ID) return NOT_COMPLETE;
        const int section_length = (p[o + 1] & 0x0F) << 8 | p[o + 2];
        if (section_length > MAX_SECTION_LENGTH) return LEFT_OPEN;
        m.length = section_length + 3;
        m.received = m.length <= TS_PACKET_SIZE - o ? m.length : TS_PACKET_SIZE - o;
        std::memcpy(m.data, p + o, m.received);
        return m.received == m.length ? COMPLETE : NOT_COMPLETE;
    }
    if (m.length == 0) return NOT_COMPLETE;
    const int available = TS_PACKET_SIZE - s;
    const int needed = m.length - m.received;
    const int copied = available < needed ? available : needed;
    std::memcpy(m.data + m.received, p + s, copied);
    m.received += copied;
    return m.received == m.length ? COMPLETE : NOT_COMPLETE;
}

SECTION_BUFF Assembly_buffer;
AssemblyModel Assembly_model;

void run_assembly(const uint8_t* packet, const MPEG2_TS_HEADER& h) {
    SECTION_USER user{};
    user.buffer = &Assembly_buffer;
    user.table_id = ASSEMBLY_TABLE_ID;
    user.no_payload_message = "%08llX: no payload, aborted.";
    user.table_id_message = "%08llX: table id[%d], aborted.";
    user.name = "TEST";
    const bool complete = collect_section(packet, &h, user);
    const ModelVerdict expected = model_collect(Assembly_model, packet, h);
    FUZZ_CHECK(Assembly_buffer.received >= 0 && Assembly_buffer.received <= Assembly_buffer.length &&
               Assembly_buffer.length <= SECTION_BUFF_SIZE);
    FUZZ_CHECK(!complete || is_complete(Assembly_buffer));
    if (expected == LEFT_OPEN) {
        // The model takes whatever the tool chose and goes on from there.
        Assembly_model.length = Assembly_buffer.length;
        Assembly_model.received = Assembly_buffer.received;
        std::memcpy(Assembly_model.data, Assembly_buffer.data, SECTION_BUFF_SIZE);
        return;
    }
    FUZZ_CHECK(complete == (expected == COMPLETE));
    FUZZ_CHECK(Assembly_buffer.length == Assembly_model.length);
    FUZZ_CHECK(Assembly_buffer.received == Assembly_model.received);
    FUZZ_CHECK(std::memcmp(Assembly_buffer.data, Assembly_model.data, Assembly_model.received) == 0);
}

// A whole section put straight into the handler's buffer, then taken.
void feed_section(Handler handler, SECTION_BUFF& buffer, int table_id, const uint8_t* bytes, int size) {
    buffer.length = buffer.received = size;
    std::memcpy(buffer.data, bytes, size);
    buffer.data[0] = static_cast<uint8_t>(table_id);
    buffer.data[1] = static_cast<uint8_t>((buffer.data[1] & 0xF0) | (size - 3) >> 8);
    buffer.data[2] = static_cast<uint8_t>(size - 3);
    put_section_crc(buffer.data, size);
    process_complete_section(handler, buffer);
    replay_complete_section(handler, buffer);
}

// A whole EIT section, held to its size so that a read past it is caught.
void feed_eit_section(const uint8_t* bytes, int size, const std::vector<uint8_t>& packet) {
    std::vector<uint8_t> section(bytes, bytes + size);
    section[0] = 0x4E;
    section[1] = static_cast<uint8_t>((section[1] & 0xF0) | (size - 3) >> 8);
    section[2] = static_cast<uint8_t>(size - 3);
    put_section_crc(section.data(), size);
    start_events();
    take_eit_section(section.data(), size, packet.data());
}

// One 188-byte packet to a handler or to the assembly.
void feed_packet(uint8_t selector, const uint8_t* record_packet, bool repair_crc, std::vector<uint8_t>& given,
                 std::vector<uint8_t>& packet) {
    std::memcpy(given.data(), record_packet, TS_PACKET_SIZE);
    if (repair_crc) fix_section_crc(given.data());
    record_packet = given.data();
    std::memcpy(packet.data(), record_packet, TS_PACKET_SIZE);
    const MPEG2_TS_HEADER h = decode_header(packet.data());
    switch (selector % 8) {
        case 0:
            proc_pat(packet.data(), &h);
            if (std::memcmp(packet.data(), record_packet, TS_PACKET_SIZE) != 0) {
                FUZZ_CHECK(PMT_PID != -1);
                FUZZ_CHECK(is_rewritten_pat(record_packet, packet.data(), Target_program_number, PMT_PID));
            }
            return;
        case 1:
            run_collecting(proc_pmt, PMT_sec_buff, packet.data(), h);
            replay_complete_section(proc_pmt, PMT_sec_buff);
            break;
        case 2:
            proc_cat(packet.data(), &h);
            break;
        case 3:
            run_collecting(proc_sdt, SDT_sec_buff, packet.data(), h);
            replay_complete_section(proc_sdt, SDT_sec_buff);
            break;
        default:
            run_assembly(packet.data(), h);
            break;
    }
    FUZZ_CHECK(std::memcmp(packet.data(), record_packet, TS_PACKET_SIZE) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < CONTROL_BYTES) return 0;
    RunSetup setup;
    setup.report = data[0] & 1;
    const int number = data[1] << 8 | data[2];
    setup.target = number == 0 ? -1 : number;
    const bool repair_crc = data[0] & 2;
    reset_run(setup);
    std::memset(&Assembly_buffer, 0, sizeof Assembly_buffer);
    Assembly_model = AssemblyModel();
    std::vector<uint8_t> given(TS_PACKET_SIZE);
    std::vector<uint8_t> packet(TS_PACKET_SIZE);  // allocated to size: reads past it are caught
    run_input([&] {
        size_t at = CONTROL_BYTES;
        while (at < size) {
            const uint8_t selector = data[at++];
            if (selector % 8 < 5) {
                if (size - at < TS_PACKET_SIZE) break;
                feed_packet(selector, data + at, repair_crc, given, packet);
                at += TS_PACKET_SIZE;
            } else {
                if (size - at < 2) break;
                const int limit = selector % 8 == 7 ? EIT_SECTION_SIZE : SECTION_BUFF_SIZE;
                const int section_size = 3 + (data[at] << 8 | data[at + 1]) % (limit - 2);
                at += 2;
                if (size - at < static_cast<size_t>(section_size)) break;
                if (selector % 8 == 7) {
                    feed_eit_section(data + at, section_size, packet);
                } else if (selector % 8 == 5) {
                    feed_section(proc_pmt, PMT_sec_buff, PMT_TABLE_ID, data + at, section_size);
                } else {
                    feed_section(proc_sdt, SDT_sec_buff, SDT_TABLE_ID, data + at, section_size);
                }
                at += section_size;
            }
            check_state_invariants();
            ++PKT_count;
        }
    });
    return 0;
}
