// A second opinion on an extracted stream, independent of the extracting
// tool: is it a consistent single-program transport stream, and did its kept
// PIDs keep their continuity where the input had it?
#ifndef TSCHECK_TSCHECK_H
#define TSCHECK_TSCHECK_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tscheck {

struct Report {
    bool ok = false;
    int program = -1;      // the program checked (given, or from the first PAT)
    uint64_t packets = 0;  // packets in the extracted stream
    std::map<uint16_t, uint64_t> pid_counts;
    std::vector<std::string> problems;  // empty when ok

    // "OK: ..." or "FAIL: ..." followed by one line per problem.
    std::string verdict() const;
};

// Checks the extracted stream `output` (188- or 192-byte framing):
// - every PAT lists the network entry (program 0) and `program` and nothing
//   else, with a valid CRC_32;
// - every packet's PID is the PMT PID of the PAT in force, a PID named by the
//   PMT in force (PCR, elementary streams, ECM of a program_info CA
//   descriptor), an EMM PID named by a CAT (of the
//   extracted stream, or of the input when given), an SI PID (0x0000, 0x0001,
//   0x0010-0x0012, 0x0014, 0x0024, 0x0026, 0x0027) or the null PID; before the
//   first complete PAT or PMT the first one of the stream is in force;
// - continuity counters: with `input` (the stream extracted from), a kept PID
//   may break its continuity only where the input's did (packets are matched
//   to the input in order, and 192-byte timestamps must match when both
//   streams have them); without it, no break at all.
// program -1 takes the program from the first PAT.
Report check_extracted(const std::vector<uint8_t>& output, const std::vector<uint8_t>* input,
                       int program = -1);

// The same on files; input_path may be empty. Unreadable files are problems.
Report check_extracted_files(const std::string& output_path, const std::string& input_path = "",
                             int program = -1);

}  // namespace tscheck

#endif
