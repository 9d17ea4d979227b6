// Diagnostics: hex dumps, flag words, and the PCR and PES header decoders.
#ifndef TSNARROW_DIAG_H
#define TSNARROW_DIAG_H

#include <cstdint>

void debug_dump(const uint8_t* data, int32_t len);
void print_flag(int32_t flag);
int set_hex(char* text, uint8_t* out, int32_t len);

int analize_adaptation(const uint8_t* field, int32_t* length_out, long long* pcr_base_out,
                       int32_t* pcr_ext_out);
int analize_pes(const uint8_t* pes, int32_t* ignored, long long* pts_out, long long* dts_out);

#endif
