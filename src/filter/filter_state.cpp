// The run's shared state and its starting values.
#include "filter_state.h"

#include <cstring>

uint8_t PID_Filter[PID_COUNT];
PAT_INFO PAT_info;
CA_INFO CA_info;
SECTION_BUFF PMT_sec_buff;
SECTION_BUFF SDT_sec_buff;

int32_t Target_program_number = -1;
int32_t PMT_PID = -1;
int32_t PCR_PID = -1;
int32_t PMT_version = -1;

uint32_t Number_of_program;
int32_t STRM_TYPE[MAX_STREAMS];
int32_t STRM_PID[MAX_STREAMS];

long long PKT_count;
long long IN_count;

FILE* FP_in;
FILE* FP_out;

int32_t Debug_flag;
int32_t Drop_SI_flag;
int32_t Remove_TTS_flag;
int32_t Option_replace_to_null_flag;
int32_t Analyze_PSI_flag;
int32_t Output_enable;
int32_t Check_flag;
int32_t Events_flag;
int32_t Split_flag;

namespace {
// CAT, NIT, SDT/BAT, EIT, TDT/TOT and the further SI PIDs of the ARIB profile.
constexpr int SI_PIDS[] = {0x0001, 0x0010, 0x0011, 0x0012, 0x0014, 0x0024, 0x0026, 0x0027};
}  // namespace

void pass_pid(int32_t pid) {
    if (pid != -1) PID_Filter[pid] = 1;
}

void stop_pid(int32_t pid) {
    if (pid != -1 && pid != 0x0000) PID_Filter[pid] = 0;
}

void clear_filter_tables() {
    std::memset(PID_Filter, 0, sizeof PID_Filter);
    std::memset(&PMT_sec_buff, 0, sizeof PMT_sec_buff);
    std::memset(&SDT_sec_buff, 0, sizeof SDT_sec_buff);
}

void init_variables() {
    PAT_info.version = -1;
    PAT_info.transport_stream_id = -1;
    PAT_info.program_count = 0;
    PMT_sec_buff.length = 0;
    PMT_sec_buff.received = 0;
    PID_Filter[0x0000] = 1;
    CA_info = {-1, -1, -1, -1};
    if (!Drop_SI_flag) {
        for (int pid : SI_PIDS) PID_Filter[pid] = 1;
    }
}

void reset_process_state() {
    clear_filter_tables();
    PAT_info = {};
    CA_info = {};
    Target_program_number = PMT_PID = PCR_PID = PMT_version = -1;
    Number_of_program = 0;
    std::memset(STRM_TYPE, 0, sizeof STRM_TYPE);
    std::memset(STRM_PID, 0, sizeof STRM_PID);
    PKT_count = IN_count = 0;
    FP_in = FP_out = nullptr;
    Debug_flag = Drop_SI_flag = Remove_TTS_flag = Option_replace_to_null_flag = 0;
    Analyze_PSI_flag = Output_enable = Check_flag = Events_flag = Split_flag = 0;
}
