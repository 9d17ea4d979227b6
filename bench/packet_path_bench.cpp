// proc_ts_packet in extraction mode on the packet mix of a tsgen stream:
// program 0x0400 as the target, the other programs, SI and null packets;
// plain, with -e, and with --check's look at each packet read and written.
// The packets are handled in place in a 1 MiB block that is refilled from the
// stream when used up, as the loop handles what a read brings.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "check.h"
#include "filter.h"
#include "muxer.h"
#include "psi.h"

namespace {

constexpr uint64_t STREAM_BYTES = 2 << 20;  // fits the L2 cache, as the loop's read buffer does
constexpr int TARGET_PROGRAM = 0x0400;

std::vector<uint8_t> make_stream() {
    tsgen::Options options;
    options.size = STREAM_BYTES;
    char* data = nullptr;
    size_t size = 0;
    FILE* memory = open_memstream(&data, &size);
    tsgen::Muxer(options).run(memory);
    std::fclose(memory);
    std::vector<uint8_t> stream(data, data + size);
    std::free(data);
    return stream;
}

const std::vector<uint8_t>& stream() {
    static const std::vector<uint8_t> bytes = make_stream();
    return bytes;
}

// The state of an extraction run of the target, as after start-up.
void start_extraction(bool replace_with_null) {
    reset_process_state();
    rfc_make_crc32_table();
    clear_filter_tables();
    if (replace_with_null) {
        Option_replace_to_null_flag = 1;
        PID_Filter[NULL_PID] = 1;
    }
    Target_program_number = TARGET_PROGRAM;
    init_variables();
}

void run_packets(benchmark::State& state, bool replace_with_null, bool checked = false) {
    const std::vector<uint8_t>& bytes = stream();
    const size_t packets = bytes.size() / TS_PACKET_SIZE;
    start_extraction(replace_with_null);
    if (checked) start_check();
    constexpr size_t BLOCK_PACKETS = (1 << 20) / TS_PACKET_SIZE;
    static uint8_t block[BLOCK_PACKETS * TS_PACKET_SIZE];
    size_t index = 0;  // of the packet in the stream
    size_t in_block = BLOCK_PACKETS;
    long long written = 0;
    for (auto _ : state) {
        if (in_block == BLOCK_PACKETS) {
            const size_t n = std::min(BLOCK_PACKETS, packets - index);  // at the block's end
            in_block = BLOCK_PACKETS - n;
            std::memcpy(block + in_block * TS_PACKET_SIZE, &bytes[index * TS_PACKET_SIZE],
                        n * TS_PACKET_SIZE);
        }
        uint8_t* packet = block + in_block++ * TS_PACKET_SIZE;
        if (checked) check_packet(Input_check, packet);
        const bool kept = proc_ts_packet(packet, TS_PACKET_SIZE) != 0 && Output_enable;
        if (checked && kept) check_packet(Output_check, packet);
        written += kept;
        benchmark::DoNotOptimize(block);
        if (++index == packets) {
            index = 0;
            in_block = BLOCK_PACKETS;
        }
        ++PKT_count;
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * TS_PACKET_SIZE);
    state.counters["written"] = benchmark::Counter(static_cast<double>(written) / state.iterations());
    reset_process_state();
}

void BM_ProcTsPacketExtract(benchmark::State& state) { run_packets(state, false); }
BENCHMARK(BM_ProcTsPacketExtract);

void BM_ProcTsPacketExtractNull(benchmark::State& state) { run_packets(state, true); }
BENCHMARK(BM_ProcTsPacketExtractNull);

void BM_ProcTsPacketExtractChecked(benchmark::State& state) { run_packets(state, false, true); }
BENCHMARK(BM_ProcTsPacketExtractChecked);

// The check alone, on the stream as it is read.
void BM_CheckPacket(benchmark::State& state) {
    const std::vector<uint8_t>& bytes = stream();
    const size_t packets = bytes.size() / TS_PACKET_SIZE;
    start_extraction(false);
    start_check();
    size_t index = 0;
    for (auto _ : state) {
        check_packet(Input_check, &bytes[index * TS_PACKET_SIZE]);
        if (++index == packets) index = 0;
    }
    benchmark::DoNotOptimize(Input_check);
    state.SetItemsProcessed(state.iterations());
    reset_process_state();
}
BENCHMARK(BM_CheckPacket);

}  // namespace
