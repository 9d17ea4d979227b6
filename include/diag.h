// Diagnostics: hex dumps, flag words, and the PCR and PES header decoders.
#ifndef TSNARROW_DIAG_H
#define TSNARROW_DIAG_H

#include <cstdint>

// Prints "dump data = " and "%02X " per byte as one line (at most one 188-byte packet).
void debug_dump(const uint8_t* data, int32_t len);
// Prints "true\n" for nonzero, "false\n" for zero.
void print_flag(int32_t flag);
// Hex digits of `text` into `len` bytes of `out`, clearing `text` as it is read; 0 or -1.
int set_hex(char* text, uint8_t* out, int32_t len);

// The six PCR bytes: 33-bit base (90 kHz), 6 reserved bits, 9-bit extension.
inline long long read_pcr_base(const uint8_t* pcr) {
    return static_cast<long long>(pcr[0]) << 25 | static_cast<long long>(pcr[1]) << 17 |
           static_cast<long long>(pcr[2]) << 9 | static_cast<long long>(pcr[3]) << 1 | pcr[4] >> 7;
}
inline int32_t read_pcr_extension(const uint8_t* pcr) { return (pcr[4] & 0x01) << 8 | pcr[5]; }

// `field` is byte 0 of an adaptation field (8 readable bytes). Returns 1 when a PCR was
// decoded into the base and extension outputs, 0 otherwise; the length is always stored.
int analize_adaptation(const uint8_t* field, int32_t* length_out, long long* pcr_base_out,
                       int32_t* pcr_ext_out);
// `pes` is byte 0 of a PES packet (19 readable bytes). Returns -1 unless it is an audio or
// video PES packet, else PTS_DTS_flags (0 to 3); stores the PTS for 2 and 3, the DTS for 3.
// `ignored` is never touched.
int analize_pes(const uint8_t* pes, int32_t* ignored, long long* pts_out, long long* dts_out);

#endif
