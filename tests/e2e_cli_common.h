// Shared pieces of the end-to-end tests of the command line and the packet
// filter: a minimal one-program stream, the fixed texts of the tool, and
// helpers that cut expected output out of the input file.
#ifndef TSNARROW_TESTS_E2E_CLI_COMMON_H
#define TSNARROW_TESTS_E2E_CLI_COMMON_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "support.h"

namespace e2e {

// Program 1: PMT on 0x0100, one video stream on 0x0101 that also carries the PCR.
constexpr uint16_t kProgram = 1;
constexpr uint16_t kPmtPid = 0x0100;
constexpr uint16_t kEsPid = 0x0101;

// A PAT listing the network PID 0x0010 and program -> pmt_pid; in exactly the
// form the single-program rewrite produces, so it reaches the output unchanged.
tsb::Packet pat_packet(uint16_t program = kProgram, uint16_t pmt_pid = kPmtPid);
// A PAT that lists several programs (rewritten when a target is found in it).
tsb::Packet pat_packet(const std::vector<tsb::PatEntry>& entries);
// The PMT of `program` on pmt_pid with one MPEG-2 video stream on es_pid (PCR there too).
tsb::Packet pmt_packet(uint16_t program = kProgram, uint16_t pmt_pid = kPmtPid, uint16_t es_pid = kEsPid);
// A payload-only packet on pid, its payload all `fill`.
tsb::Packet payload_packet(uint16_t pid, uint8_t fill, uint8_t cc = 0);

// The records at `indices` of a file in `framing`, concatenated in that order.
tsb::Bytes pick(const tsb::Bytes& file, size_t framing, const std::vector<size_t>& indices);

// Standard output without the banner line; fails the test when the first line
// is not the banner.
std::string after_banner(const std::string& out);

// The percentage counter of an extraction run over `packets` packets as far
// as its first `handled` packets, with the messages of each packet (by index)
// behind the value shown while that packet is handled: all a run that ends
// early prints.
std::string progress_text(size_t packets, const std::map<size_t, std::string>& messages, size_t handled);

// What an extraction run over `packets` packets prints behind the banner:
// the option lines, the counter with the messages, then "\r100 %" and Done.
std::string extraction_text(size_t packets, const std::map<size_t, std::string>& messages = {},
                            const std::string& option_lines = "");

// Runs the tool with `args`, the last of them the output file, and expects
// status 0, `text` behind the banner and exactly `written` in the output file.
void expect_extraction(const std::vector<std::string>& args, const std::string& text,
                       const tsb::Bytes& written);

// tsgen, built beside the tool.
std::string tsgen_path();

// The usage text, with its empty lines before and after.
extern const char* const kUsage;

// Names in dir, sorted.
std::vector<std::string> list_dir(const std::string& dir);

}  // namespace e2e

#endif
