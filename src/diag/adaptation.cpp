// Adaptation field decoding: the flags and the program clock reference.
#include <cstdio>

#include "diag.h"
#include "filter_state.h"
#include "trace_line.h"

namespace {
constexpr uint8_t PCR_FLAG = 0x10;
constexpr long long PCR_EXTENSIONS_PER_BASE = 300;  // the base counts 90 kHz, the clock runs at 27 MHz
constexpr float CLOCK_HZ = 27000000.0f;

const char* const ADAPTATION_FLAG_LABELS[] = {
    "      discontinuity: ",
    "      random_access_indicator: ",
    "      elementary_stream_priority_indicator: ",
    "      PCR_flag: ",
    "      OPCR_flag: ",
    "      splicing_point_flag: ",
    "      transport_private_data_flag: ",
    "      adaptation_field_extension_flag: ",
};

void trace_adaptation_flags(int32_t length, uint8_t flags) {
    fputs("    Adaptation Field\n", stdout);
    printf("      Adaptation field length : %d\n", length);
    print_flag_bits(ADAPTATION_FLAG_LABELS, flags, 7);
}

void trace_pcr(const uint8_t* pcr_bytes, long long base, int32_t extension) {
    fputs("PCR Bytes: ", stdout);
    debug_dump(pcr_bytes, 4);  // only the first four of the six PCR bytes
    const long long pcr = base * PCR_EXTENSIONS_PER_BASE + extension;
    // Divided in single precision on purpose: the trace shows float resolution.
    // Both steps go through memory: x87 code (32-bit x86) would otherwise keep
    // the wider register's digits and print other seconds.
    volatile float seconds = static_cast<float>(pcr);
    seconds = seconds / CLOCK_HZ;
    printf("      PCR: %12lld, (%9.3f) for PTS\n ", pcr, static_cast<double>(seconds));
}
}  // namespace

int analize_adaptation(const uint8_t* field, int32_t* length_out, long long* pcr_base_out,
                       int32_t* pcr_ext_out) {
    const int32_t length = field[0];
    *length_out = length;
    if (length == 0) return 0;

    const uint8_t flags = field[1];
    if (Debug_flag) trace_adaptation_flags(length, flags);
    if ((flags & PCR_FLAG) == 0) return 0;

    // 33-bit base, 6 reserved bits, 9-bit extension.
    const uint8_t* pcr = field + 2;
    const long long base = read_pcr_base(pcr);
    const int32_t extension = read_pcr_extension(pcr);
    *pcr_base_out = base;
    *pcr_ext_out = extension;

    if (Debug_flag) trace_pcr(pcr, base, extension);
    return 1;
}
