// What the generated stream carries and on which PIDs. tsgen's --help prints
// the same plan.
#ifndef TSGEN_PLAN_H
#define TSGEN_PLAN_H

#include <cstdint>
#include <string>
#include <vector>

namespace tsgen {

struct Options {
    uint64_t size = 600 * 1024;  // bytes wanted; whole packets only
    size_t framing = 188;        // 188, or 192 with a timestamp in front
    int programs = 4;            // 1..kMaxPrograms
    bool version_change = false;
    bool events = false;  // EIT present/following of every service and schedules on 0x0012
    uint64_t seed = 1;
    std::string out;
};

constexpr int kMaxPrograms = 8;

constexpr uint16_t kTransportStreamId = 0x4010;
constexpr uint16_t kNetworkId = 0x0004;  // also original_network_id
constexpr uint16_t kCaSystemId = 0x0005;

constexpr uint16_t kPatPid = 0x0000;
constexpr uint16_t kCatPid = 0x0001;
constexpr uint16_t kNitPid = 0x0010;
constexpr uint16_t kSdtPid = 0x0011;
constexpr uint16_t kEitPid = 0x0012;
constexpr uint16_t kTotPid = 0x0014;
constexpr uint16_t kBitPid = 0x0024;
constexpr uint16_t kLowEitPid = 0x0026;
constexpr uint16_t kMidEitPid = 0x0027;
constexpr uint16_t kEmmPid = 0x0901;
constexpr uint16_t kNullPid = 0x1FFF;

// One program as it is announced at a given time.
struct Program {
    int index;
    uint16_t number;  // program_number and service_id
    uint16_t pmt_pid;
    uint16_t video_pid;  // also the PCR PID
    uint8_t video_type;  // 0x02 (MPEG-2 video) or 0x1B (H.264)
    uint16_t audio_pid;
    uint16_t ecm_pid;
    uint8_t pmt_version;
};

// Program index i: number 0x0400 + 8i, PMT 0x01F0 + i, video 0x0100 + 0x10i
// (stream_type 0x02 for even i, 0x1B for odd i), audio 0x0101 + 0x10i
// (0x0F), ECM 0x0180 + i.
Program initial_program(int index);

// The version change, half way through the stream: the PAT goes to version 1
// and moves the PMT of program index changed_pmt_program() to 0x01E0 + i
// (its PMT keeps version 0); the PMT of program index 0 goes to version 1 and
// moves its audio from 0x0101 to 0x0102.
int changed_pmt_program(int programs);
Program changed_program(int index, int programs);

}  // namespace tsgen

#endif
