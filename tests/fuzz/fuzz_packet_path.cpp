// The per-packet path on arbitrary streams. The first three input bytes choose
// the run: byte 0 the mode and options, bytes 1-2 the target program (low 14
// bits), -E (bit 14) and whether to repair section CRCs (top bit: a start
// packet that carries a whole section gets its CRC_32 made right, so that
// mutated tables get past the CRC check); the rest is cut into 188- or
// 192-byte records handed to proc_ts_packet one by one, as the packet loop
// does (a trailing partial record is never read), the EIT's first to its
// gathering under -E. Every run is also checked as --check does it:
// each packet as it comes and as it would be written. After each packet: the
// result, the packet's new bytes and the shared state are checked; after the
// last, that the check's counts add up to the packets it was given.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "check.h"
#include "eit.h"
#include "filter.h"
#include "harness.h"
#include "packet_checks.h"

namespace {

// Byte 0: bit 0 extraction (else report), bit 1 -e, bit 2 -s, bit 3 -z,
// bit 4 192-byte records, bits 5-6 -d/-D after -e, bit 7 a target in report mode.
struct Choice {
    RunSetup setup;
    int framing;
    bool repair_crc;
};

Choice choose(const uint8_t* control) {
    const uint8_t mode = control[0];
    Choice c;
    c.setup.report = !(mode & 0x01);
    c.setup.replace_with_null = mode & 0x02;
    c.setup.drop_si = mode & 0x04;
    c.setup.debug = mode & 0x08;
    c.framing = (mode & 0x10) ? TTS_PACKET_SIZE : TS_PACKET_SIZE;
    c.setup.null_option = (mode >> 5) & 3;
    c.repair_crc = control[1] & 0x80;
    c.setup.events = control[1] & 0x40;
    const int number = (control[1] & 0x3F) << 8 | control[2];
    const bool has_target = !c.setup.report || (mode & 0x80);
    c.setup.target = has_target ? (number == 0 ? 1 : number) : -1;  // the tool takes 1 to 65535
    return c;
}

int pid_of(const uint8_t* packet) { return (packet[1] & 0x1F) << 8 | packet[2]; }

// The record as proc_ts_packet left it, against the record as it came.
void check_packet(const uint8_t* in, const uint8_t* out, int framing, int result) {
    const int skip = framing - TS_PACKET_SIZE;
    FUZZ_CHECK(std::memcmp(in, out, skip) == 0);  // the timestamp header is never touched
    const uint8_t* before = in + skip;
    const uint8_t* after = out + skip;
    if (before[0] != 0x47) {
        FUZZ_CHECK(result == -1);
        FUZZ_CHECK(std::memcmp(before, after, TS_PACKET_SIZE) == 0);
        return;
    }
    FUZZ_CHECK(result == framing || result == 0);
    FUZZ_CHECK(result != 0 || !Option_replace_to_null_flag);  // under -e nothing is dropped
    // A null packet may also have come in as one, passed or replaced by itself.
    const bool nulled = result == framing && Option_replace_to_null_flag && is_null_packet(after);
    if (result == framing && !nulled) FUZZ_CHECK(PID_Filter[pid_of(after)] == 1);
    if (nulled || std::memcmp(before, after, TS_PACKET_SIZE) == 0) return;
    FUZZ_CHECK(pid_of(before) == 0 && PMT_PID != -1);
    FUZZ_CHECK(is_rewritten_pat(before, after, Target_program_number, PMT_PID));
}

// Every packet is counted once, on its PID or as a sync error, and no PID has
// more of any one fault than packets.
void check_counts(const CHECK_SCOPE& scope, long long packets) {
    unsigned long long counted = scope.sync_errors;
    for (const PID_CHECK& pid : scope.pid) {
        const CHECK_COUNTS& c = pid.counts;
        counted += c.packets;
        FUZZ_CHECK(c.errors + scrambled_packets(pid) <= c.packets);
        FUZZ_CHECK(c.drops + c.duplicates <= c.packets && c.pcr_gaps <= c.packets);
        FUZZ_CHECK((pid.expected & ~(EXPECT_UNSEEN | EXPECT_REPEATED | EXPECT_TABLE | HEADER_CC |
                                     HEADER_SCRAMBLING)) == EXPECT_PLAIN);
    }
    FUZZ_CHECK(counted == static_cast<unsigned long long>(packets));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < CONTROL_BYTES) return 0;
    const Choice choice = choose(data);
    reset_run(choice.setup);
    const uint8_t* records = data + CONTROL_BYTES;
    const size_t framing = static_cast<size_t>(choice.framing);
    IN_count = static_cast<long long>((size - CONTROL_BYTES) / framing);
    // One record's worth, allocated to size: a read or write past it is caught.
    std::vector<uint8_t> record(framing);
    std::vector<uint8_t> as_given(framing);
    int was_enabled = 0;
    start_check();
    long long given = 0;  // to the check: a run that ends early ends inside a packet
    long long written = 0;
    run_input([&] {
        for (PKT_count = 0; PKT_count < IN_count; ++PKT_count) {
            std::memcpy(as_given.data(), records + PKT_count * framing, framing);
            if (choice.repair_crc) fix_section_crc(as_given.data() + framing - TS_PACKET_SIZE);
            record = as_given;
            uint8_t* const ts_packet = record.data() + framing - TS_PACKET_SIZE;
            check_packet(Input_check, ts_packet);
            ++given;
            if (Events_flag) note_eit_packet(ts_packet);
            const int result = proc_ts_packet(record.data(), choice.framing);
            if (result != 0 && !Analyze_PSI_flag && Output_enable) {
                check_packet(Output_check, ts_packet);
                ++written;
            }
            check_packet(as_given.data(), record.data(), choice.framing, result);
            check_state_invariants();
            FUZZ_CHECK(Output_enable >= was_enabled);  // once enabled, output stays enabled
            was_enabled = Output_enable;
        }
        print_check_summary(!choice.setup.report);
    });
    check_counts(Input_check, given);
    check_counts(Output_check, written);
    return 0;
}
