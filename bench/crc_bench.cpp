// The section CRC over the largest section the tool collects.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "filter_state.h"
#include "psi.h"

namespace {

void BM_Crc32Section1024(benchmark::State& state) {
    rfc_make_crc32_table();
    static uint8_t section[SECTION_BUFF_SIZE];
    for (int i = 0; i < SECTION_BUFF_SIZE; ++i) section[i] = static_cast<uint8_t>(i * 31 + 7);
    for (auto _ : state) {
        benchmark::DoNotOptimize(section);
        benchmark::DoNotOptimize(rfc_crc32(section, SECTION_BUFF_SIZE));
    }
    state.SetBytesProcessed(state.iterations() * SECTION_BUFF_SIZE);
}
BENCHMARK(BM_Crc32Section1024);

}  // namespace
