#include "harness.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "arib_iconv.h"
#include "cli.h"
#include "eit.h"
#include "filter_state.h"
#include "psi.h"

namespace {

const iconv_t FAILED_DESCRIPTOR = reinterpret_cast<iconv_t>(-1);

// Every descriptor the converter can hand out, learnt by opening until it
// refuses; the pool is static, so the same ones come back for every input.
std::vector<iconv_t> Converter_descriptors;

[[noreturn]] void throw_exit(int status) { throw RunExit{status}; }

void learn_converters() {
    for (;;) {
        iconv_t cd = arib_iconv_open("UTF-8", "ARIB-B24");
        if (cd == FAILED_DESCRIPTOR) break;
        Converter_descriptors.push_back(cd);
    }
    FUZZ_CHECK(!Converter_descriptors.empty());
    release_converters();
}

bool is_pid_or_none(int32_t pid) { return pid >= -1 && pid < PID_COUNT; }

void check_section_buffer(const SECTION_BUFF& buffer) {
    FUZZ_CHECK(buffer.received >= 0);
    FUZZ_CHECK(buffer.received <= buffer.length);
    FUZZ_CHECK(buffer.length <= SECTION_BUFF_SIZE);
}

}  // namespace

// Installs the throwing exit hook, sends stdout to /dev/null and learns the
// converter descriptors, once before the first input of any target.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Exit_hook = throw_exit;
    if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
    learn_converters();
    return 0;
}

void reset_run(const RunSetup& setup) {
    reset_process_state();
    rfc_make_crc32_table();
    if (setup.replace_with_null) {
        Option_replace_to_null_flag += 1;
        PID_Filter[NULL_PID] = 1;
    }
    if (setup.null_option == 1) PID_Filter[NULL_PID] = 0;
    if (setup.null_option == 2) PID_Filter[NULL_PID] = 1;
    if (setup.drop_si) Drop_SI_flag += 1;
    if (setup.debug) Debug_flag += 1;
    if (setup.report) Analyze_PSI_flag += 1;
    Target_program_number = setup.target;
    init_variables();
    if (setup.events) {
        Events_flag += 1;
        start_events();
    }
}

void release_converters() {
    for (iconv_t cd : Converter_descriptors) arib_iconv_close(cd);  // EBADF for the closed ones
}

void fuzz_fail(const char* file, int line, const char* condition) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
    std::abort();
}

void check_pass_flags() {
    for (uint8_t pass : PID_Filter) FUZZ_CHECK(pass <= 1);
}

void check_state_invariants() {
    FUZZ_CHECK(is_pid_or_none(PMT_PID) && PMT_PID != 0);
    FUZZ_CHECK(is_pid_or_none(PCR_PID));
    FUZZ_CHECK(is_pid_or_none(CA_info.ECM_PID));
    FUZZ_CHECK(is_pid_or_none(CA_info.EMM_PID));
    // A section of at most 1024 bytes holds at most 202 stream entries.
    FUZZ_CHECK(Number_of_program <= 202);
    FUZZ_CHECK(PAT_info.program_count >= 0 && PAT_info.program_count <= 31);
    FUZZ_CHECK(PMT_version >= -1 && PMT_version <= 31);
    FUZZ_CHECK(Output_enable == (PMT_version != -1 ? 1 : 0));
    check_section_buffer(PMT_sec_buff);
    check_section_buffer(SDT_sec_buff);
}
