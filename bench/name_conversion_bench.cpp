// One SDT name as the SDT handler converts it: a converter opened in its
// initial state, one conversion, closed again. Opening and closing alone are
// measured too, since every name of every SDT pays for them.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>

#include "arib_iconv.h"

namespace {

// ＮＨＫ総合１・東京: full-width letters, kanji and a digit in the initial G0 set.
const uint8_t SERVICE_NAME[] = {0x23, 0x4E, 0x23, 0x48, 0x23, 0x4B, 0x41, 0x6D, 0x39,
                                0x67, 0x23, 0x31, 0x21, 0x26, 0x45, 0x6C, 0x35, 0x7E};

iconv_t open_converter(benchmark::State& state) {
    iconv_t cd = arib_iconv_open("UTF-8", "ARIB-B24");
    if (cd == reinterpret_cast<iconv_t>(-1)) state.SkipWithError("arib_iconv_open failed");
    return cd;
}

void BM_NameConversion(benchmark::State& state) {
    char text[257];
    for (auto _ : state) {
        iconv_t cd = open_converter(state);
        char* in = const_cast<char*>(reinterpret_cast<const char*>(SERVICE_NAME));
        size_t in_left = sizeof SERVICE_NAME;
        char* out = text;
        size_t out_left = sizeof text - 1;
        if (arib_iconv(cd, &in, &in_left, &out, &out_left) != 0) state.SkipWithError("arib_iconv failed");
        arib_iconv_close(cd);
        benchmark::DoNotOptimize(text);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_NameConversion);

void BM_ConverterOpenClose(benchmark::State& state) {
    for (auto _ : state) {
        iconv_t cd = open_converter(state);
        benchmark::DoNotOptimize(cd);
        arib_iconv_close(cd);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ConverterOpenClose);

}  // namespace
