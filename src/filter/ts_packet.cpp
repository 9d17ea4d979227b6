// Per-packet path: sync check, header decoding and trace, PSI dispatch, and
// the pass table's verdict.
#include <cstdio>

#include "diag.h"
#include "filter.h"
#include "psi.h"

namespace {

const char* const SCRAMBLING_TEXT[4] = {"00:no scramble\n", "01:reserved\n", "10:scramble(even)\n",
                                        "11:scramble(odd)\n"};
const char* const ADAPTATION_TEXT[4] = {"00:reserved\n", "01:payload only\n", "10:adaptation only\n",
                                        "11:adaptation+payload\n"};

void print_ts_header(const MPEG2_TS_HEADER& h) {
    std::printf("0x%08llX:\n", PKT_count);
    std::printf("  PID = 0x%04X\n", h.PID);
    std::fputs("  transport_error_indicator: ", stdout);
    print_flag(h.transport_error_indicator);
    std::fputs("  payload_unit_start_indicator: ", stdout);
    print_flag(h.payload_unit_start_indicator);
    std::fputs("  transport_priority: ", stdout);
    print_flag(h.transport_priority);
    std::fputs("  transport_scrambling_control: ", stdout);
    std::fputs(SCRAMBLING_TEXT[h.transport_scrambling_control], stdout);
    std::fputs("  adaptation_field_control: ", stdout);
    std::fputs(ADAPTATION_TEXT[h.adaptation_field_control], stdout);
    std::printf("  continuity_counter: %u\n", static_cast<unsigned>(h.continuity_counter));
}

// At most one handler sees a packet. The PMT comes before the CAT and SDT, so
// a PMT carried on 0x0001 or 0x0011 hides those tables.
void dispatch_psi(uint8_t* packet, const MPEG2_TS_HEADER& h) {
    if (h.PID == 0x0000) {
        proc_pat(packet, &h);
    } else if (PMT_PID != -1 && h.PID == PMT_PID) {
        proc_pmt(packet, &h);
    } else if (h.PID == 0x0001) {
        proc_cat(packet, &h);
    } else if (h.PID == 0x0011) {
        proc_sdt(packet, &h);
    }
}

}  // namespace

int analyze_ts_header(const uint8_t* packet, MPEG2_TS_HEADER* header) {
    if (packet[0] != SYNC_BYTE) {
        std::printf("ERR: 0x47 sync byte error[%02X]\n", packet[0]);
        return -1;
    }
    header->transport_error_indicator = packet[1] >> 7;
    header->payload_unit_start_indicator = (packet[1] >> 6) & 1;
    header->transport_priority = (packet[1] >> 5) & 1;
    header->PID = ts_packet_pid(packet);
    header->transport_scrambling_control = packet[3] >> 6;
    header->adaptation_field_control = (packet[3] >> 4) & 3;
    header->continuity_counter = packet[3] & 0x0F;
    if (Debug_flag) print_ts_header(*header);
    return 0;
}

int decode_ts_packet(uint8_t* packet) {
    MPEG2_TS_HEADER header;
    if (analyze_ts_header(packet, &header) < 0) return -1;
    dispatch_psi(packet, header);
    return 0;
}

void trace_dropped_packet(int pid) { std::printf("Drop Packet %04X\n", pid); }
