// What each PID carries, as the tables taken so far name it. A name, once
// learnt, stays: the audio PID of a PMT version that has since been replaced
// is still audio in the summary.
#include <cstring>

#include "check.h"
#include "psi.h"

namespace {

const char* Pid_role[PID_COUNT];

struct SI_NAME {
    int pid;
    const char* name;
};
constexpr SI_NAME SI_NAMES[] = {{0x0010, "NIT"}, {0x0011, "SDT/BAT"}, {0x0012, "EIT"}, {0x0014, "TDT/TOT"},
                                {0x0024, "BIT"}, {0x0026, "EIT"},     {0x0027, "EIT"}};

void name_pid(int32_t pid, const char* role) {
    if (pid >= 0 && pid < PID_COUNT) Pid_role[pid] = role;
}

// Packets of the tables that name PIDs leave the plain path of the check, so
// that what their last packet taught is learnt before the next is handled.
void watch_table(int32_t pid) {
    if (pid >= 0 && pid < PID_COUNT) Input_check.pid[pid].expected |= EXPECT_TABLE;
}

}  // namespace

void start_pid_roles() {
    std::memset(Pid_role, 0, sizeof Pid_role);
    for (const SI_NAME& si : SI_NAMES) name_pid(si.pid, si.name);
    name_pid(NULL_PID, "null");
    watch_table(0x0000);
    watch_table(0x0001);
}

// From the weakest name to the strongest: what the target's PMT says of a PID
// wins over another program's PMT PID or an SI PID of the same number.
void learn_pid_roles() {
    for (int i = 0; i < PAT_info.program_count; ++i) {
        name_pid(PAT_info.pmt_pid[i], PAT_info.program_number[i] == 0 ? "NIT" : "PMT");
    }
    watch_table(PMT_PID);
    name_pid(CA_info.EMM_PID, "EMM");
    name_pid(CA_info.ECM_PID, "ECM");
    name_pid(PCR_PID, "PCR");
    for (uint32_t i = 0; i < Number_of_program; ++i) name_pid(STRM_PID[i], stream_type_name(STRM_TYPE[i]));
    name_pid(PMT_PID, "PMT");
    name_pid(0x0000, "PAT");
    name_pid(0x0001, "CAT");
}

const char* pid_role(int pid) { return Pid_role[pid] ? Pid_role[pid] : "unknown"; }
