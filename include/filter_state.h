// Process-wide state of one run: the PID pass table, what has been learnt
// from the PAT, PMT and CAT, the section buffers, counters and option flags.
#ifndef TSNARROW_FILTER_STATE_H
#define TSNARROW_FILTER_STATE_H

#include <cstdint>
#include <cstdio>

constexpr uint8_t SYNC_BYTE = 0x47;
constexpr int TS_PACKET_SIZE = 188;
constexpr int TTS_PACKET_SIZE = 192;
constexpr int TTS_HEADER_SIZE = 4;
constexpr int PID_COUNT = 0x2000;
constexpr int NULL_PID = 0x1FFF;
constexpr int SECTION_BUFF_SIZE = 1024;
constexpr int MAX_PAT_PROGRAMS = 32;
constexpr int MAX_STREAMS = 256;

struct MPEG2_TS_HEADER {
    int32_t transport_error_indicator;
    int32_t payload_unit_start_indicator;
    int32_t transport_priority;
    int32_t PID;
    int32_t transport_scrambling_control;
    int32_t adaptation_field_control;  // bit 0: payload, bit 1: adaptation field
    int32_t continuity_counter;
};

struct PAT_INFO {
    int32_t version;
    int32_t transport_stream_id;
    int32_t program_count;
    int32_t program_number[MAX_PAT_PROGRAMS];
    int32_t pmt_pid[MAX_PAT_PROGRAMS];
};

struct CA_INFO {
    int32_t version;
    int32_t CA_system_id;
    int32_t EMM_PID;
    int32_t ECM_PID;
};

struct SECTION_BUFF {
    int32_t length;    // section_length + 3 of the section being collected; 0 = none yet
    int32_t received;  // bytes of it collected so far
    uint8_t data[SECTION_BUFF_SIZE];
};

extern uint8_t PID_Filter[PID_COUNT];
extern PAT_INFO PAT_info;
extern CA_INFO CA_info;
extern SECTION_BUFF PMT_sec_buff;
extern SECTION_BUFF SDT_sec_buff;

extern int32_t Target_program_number;
extern int32_t PMT_PID;
extern int32_t PCR_PID;
extern int32_t PMT_version;

extern uint32_t Number_of_program;  // counts elementary streams
extern int32_t STRM_TYPE[MAX_STREAMS];
extern int32_t STRM_PID[MAX_STREAMS];

extern long long PKT_count;  // index of the packet being handled
extern long long IN_count;   // whole packets of a regular file; -1: an input read to its end

extern FILE* FP_in;
extern FILE* FP_out;

extern int32_t Debug_flag;
extern int32_t Drop_SI_flag;
extern int32_t Remove_TTS_flag;
extern int32_t Option_replace_to_null_flag;
extern int32_t Analyze_PSI_flag;
extern int32_t Output_enable;
extern int32_t Check_flag;   // -c, --check: continuity, errors, scrambling and PCR gaps
extern int32_t Events_flag;  // -E, --events: the programme now and next, from the EIT
extern int32_t Split_flag;   // --split: one output file per programme

// Clears the pass table and both section buffers, as at the start of main.
void clear_filter_tables();

// Pass-table entries that the table handlers enter and withdraw. A PID of -1
// means none and leaves the table alone. PID 0x0000 is never withdrawn: the
// PAT always passes, even after a table that named PID 0 is replaced.
void pass_pid(int32_t pid);
void stop_pid(int32_t pid);

// Puts the PAT, PMT buffer, CA and pass-table defaults in place before the
// first packet; reads Drop_SI_flag, so it runs after the options.
void init_variables();

// Returns every variable above to its value at process start (used where one
// process runs many streams, as the fuzz targets do).
void reset_process_state();

#endif
