// What the fuzz targets share: the libFuzzer initializer (LLVMFuzzerInitialize
// is defined here for every target), a run that ends through swexit unwinds
// back to the target instead of ending the process, stdout is discarded, the
// tool's state is reset per input as at the start of a run, and a failed
// check aborts with a message (a crash to libFuzzer).
#ifndef TSNARROW_FUZZ_HARNESS_H
#define TSNARROW_FUZZ_HARNESS_H

#include <cstddef>
#include <cstdint>

// Thrown by the exit hook in place of ending the process.
struct RunExit {
    int status;
};

// Bytes at the start of a packet-fed target's input that choose the run.
constexpr size_t CONTROL_BYTES = 3;

// The options and arguments of one run.
struct RunSetup {
    bool report = true;              // one or two positional arguments (no output file)
    bool replace_with_null = false;  // -e
    bool drop_si = false;            // -s
    bool debug = false;              // -z
    int null_option = 0;             // after -e: 0 none, 1 -d, 2 -D
    int32_t target = -1;             // program number, or -1 when none is given
    bool events = false;             // -E
};

// Puts the process-wide state where a fresh run with these options has it
// before its first packet, in the order the tool's start-up follows.
void reset_run(const RunSetup& setup);

// A conversion that ends the run leaves its converter open (the process would
// be gone); this closes every converter so the next input finds them free.
void release_converters();

[[noreturn]] void fuzz_fail(const char* file, int line, const char* condition);
#define FUZZ_CHECK(condition) ((condition) ? (void)0 : fuzz_fail(__FILE__, __LINE__, #condition))

// What holds between packets whatever the stream: PIDs in range, no PMT PID
// 0, counts within their tables, section buffers within 0 <= received <=
// length <= 1024, output enabled exactly once a PMT is taken.
void check_state_invariants();
// Every pass flag 0 or 1 (a sweep of the whole table: once per input).
void check_pass_flags();

// Feeds one input to the tool through `feed`. Only a failed name conversion
// may end the run early (status 1), and its converter is released; the pass
// flags are swept either way.
template <typename Feed>
void run_input(Feed feed) {
    try {
        feed();
    } catch (const RunExit& exit) {
        FUZZ_CHECK(exit.status == 1);
        release_converters();
    }
    check_pass_flags();
}

#endif
