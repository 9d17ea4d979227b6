// PES header decoding: the header flags and the PTS and DTS time stamps.
#include <cstdio>

#include "diag.h"
#include "filter_state.h"
#include "trace_line.h"

namespace {
constexpr int PTS_OFFSET = 9;
constexpr int DTS_OFFSET = 14;
constexpr int TIME_STAMP_BYTES = 5;
constexpr int PTS_PRESENT_BIT = 0x2;  // in PTS_DTS_flags
constexpr int PTS_AND_DTS = 0x3;
constexpr uint8_t DTS_PREFIX = 0x10;

const char* const SCRAMBLING_WORDS[] = {"00:no scramble\n", "01:undefined\n", "10:even key\n",
                                        "11:odd key\n"};
const char* const PTS_DTS_WORDS[] = {"00:no PTS/DTS present\n", "01:inhibited\n", "10:PTS present\n",
                                     "11:PTS/DTS present\n"};
// Byte 6, bits 3 to 1.
const char* const BYTE6_FLAG_LABELS[] = {
    "        PES_priority: ",
    "        data_alignment_indicator: ",
    "        copyright: ",
};
// Byte 7, bits 5 to 0.
const char* const BYTE7_FLAG_LABELS[] = {
    "        ESCR_flag: ",           "        ES_rate_flag: ",
    "        DSM_trick_mode_flag: ", "        additional_copy_info_flag: ",
    "        PES_CRC_flag: ",        "        PES_extension_flag: ",
};

bool is_audio_or_video(uint8_t stream_id) { return stream_id >= 0xC0 && stream_id <= 0xEF; }

void trace_header_flags(const uint8_t* pes, int pts_dts_flags) {
    fputs("        PES_scrambling_control: ", stdout);
    fputs(SCRAMBLING_WORDS[(pes[6] >> 4) & 3], stdout);
    print_flag_bits(BYTE6_FLAG_LABELS, pes[6], 3);
    fputs("        original_or_copy: ", stdout);
    fputs((pes[6] & 0x01) ? " original\n" : " copy\n", stdout);
    fputs("        PTS_DTS Flag: ", stdout);
    fputs(PTS_DTS_WORDS[pts_dts_flags], stdout);
    print_flag_bits(BYTE7_FLAG_LABELS, pes[7], 5);
    printf("        PES_header_length: %d\n", pes[8]);
}

// A time stamp field: 4-bit prefix, bits 32..30, marker, bits 29..15, marker,
// bits 14..0, marker.
long long decode_time_stamp(const uint8_t* field) {
    return (static_cast<long long>(field[0] & 0x0E) << 29) | (static_cast<long long>(field[1]) << 22) |
           (static_cast<long long>(field[2] & 0xFE) << 14) | (static_cast<long long>(field[3]) << 7) |
           (field[4] >> 1);
}

void trace_time_stamp_bytes(const char* name, const uint8_t* field) {
    printf("        %s Byte:", name);
    debug_dump(field, TIME_STAMP_BYTES);
}

// Reported whatever the debug setting: a broken marker is a stream fault. The
// marker bit of the first byte is not examined; its prefix is compared instead.
void check_time_stamp_markers(const char* name, const uint8_t* field, uint8_t expected_prefix) {
    if ((field[0] & 0xF0) != expected_prefix) printf("ERR: %s marker_bit1 error\n", name);
    if ((field[2] & 0x01) == 0) printf("ERR: %s marker_bit2 error\n", name);
    if ((field[4] & 0x01) == 0) printf("ERR: %s marker_bit3 error\n", name);
}
}  // namespace

int analize_pes(const uint8_t* pes, int32_t* /*ignored*/, long long* pts_out, long long* dts_out) {
    if (pes[0] != 0x00 || pes[1] != 0x00 || pes[2] != 0x01) return -1;

    const uint8_t stream_id = pes[3];
    const int32_t length = pes[4] * 256 + pes[5];
    if (Debug_flag) {
        fputs("        Start Code:", stdout);
        debug_dump(pes, 4);
        printf("        stream_id:%02X\n", stream_id);
        printf("        PES_packet_length: %d\n", length);
    }
    if (!is_audio_or_video(stream_id)) {
        if (stream_id >= 0xF0 && Debug_flag) fputs("        no video/audio stream\n", stdout);
        return -1;
    }

    const int flags = pes[7] >> 6;
    if (Debug_flag) trace_header_flags(pes, flags);

    if (flags & PTS_PRESENT_BIT) {
        const uint8_t* field = pes + PTS_OFFSET;
        const long long pts = decode_time_stamp(field);
        *pts_out = pts;
        if (Debug_flag) {
            trace_time_stamp_bytes("PTS", field);
            printf("        PTS: %012lld\n", pts);
        }
        // The prefix repeats PTS_DTS_flags: 0x2 for a lone PTS, 0x3 when a DTS follows.
        check_time_stamp_markers("PTS", field, static_cast<uint8_t>(flags << 4));
    }
    if (flags != PTS_AND_DTS) return flags;

    const uint8_t* field = pes + DTS_OFFSET;
    const long long dts = decode_time_stamp(field);
    *dts_out = dts;
    if (Debug_flag) {
        trace_time_stamp_bytes("DTS", field);
        printf("        DTS: %012llu\n", static_cast<unsigned long long>(dts));
    }
    check_time_stamp_markers("DTS", field, DTS_PREFIX);
    return PTS_AND_DTS;
}
