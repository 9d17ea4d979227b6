#include "e2e_cli_common.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace e2e {

tsb::Packet pat_packet(uint16_t program, uint16_t pmt_pid) {
    return pat_packet({{0, 0x0010}, {program, pmt_pid}});
}

tsb::Packet pat_packet(const std::vector<tsb::PatEntry>& entries) {
    uint8_t cc = 0;
    return tsb::psi_packets(0x0000, tsb::pat_section(1, entries), cc).at(0);
}

tsb::Packet pmt_packet(uint16_t program, uint16_t pmt_pid, uint16_t es_pid) {
    tsb::Pmt pmt;
    pmt.program_number = program;
    pmt.pcr_pid = es_pid;
    pmt.streams = {{0x02, es_pid, {}, {}}};
    uint8_t cc = 0;
    return tsb::psi_packets(pmt_pid, tsb::pmt_section(pmt), cc).at(0);
}

tsb::Packet payload_packet(uint16_t pid, uint8_t fill, uint8_t cc) {
    tsb::Header h;
    h.pid = pid;
    h.cc = cc;
    return tsb::make_packet(h, tsb::Bytes(tsb::kPacketSize - 4, fill));
}

tsb::Bytes pick(const tsb::Bytes& file, size_t framing, const std::vector<size_t>& indices) {
    tsb::Bytes out;
    for (size_t i : indices) {
        const auto from = file.begin() + static_cast<long>(i * framing);
        out.insert(out.end(), from, from + static_cast<long>(framing));
    }
    return out;
}

std::string after_banner(const std::string& out) {
    const std::string banner = "tsnarrow version 1.0.2";
    const size_t end = out.find('\n');
    if (out.compare(0, banner.size(), banner) != 0 || end == std::string::npos) {
        ADD_FAILURE() << "no banner first in:\n" << out;
        return out;
    }
    return out.substr(end + 1);
}

std::string progress_text(size_t packets, const std::map<size_t, std::string>& messages, size_t handled) {
    std::string text;
    long long previous = -1;
    for (size_t i = 0; i < handled; ++i) {
        const long long percent = static_cast<long long>(i) * 100 / static_cast<long long>(packets);
        if (percent != previous) {
            char counter[16];
            std::snprintf(counter, sizeof counter, "\r%3lld %%", percent);
            text += counter;
            previous = percent;
        }
        const auto message = messages.find(i);
        if (message != messages.end()) text += message->second;
    }
    return text;
}

std::string extraction_text(size_t packets, const std::map<size_t, std::string>& messages,
                            const std::string& option_lines) {
    return option_lines + progress_text(packets, messages, packets) + "\r100 %\nDone.\n";
}

void expect_extraction(const std::vector<std::string>& args, const std::string& text,
                       const tsb::Bytes& written) {
    const RunResult r = run_tool(args);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(after_banner(r.out), text);
    EXPECT_EQ(read_bytes(args.back()), written);
}

std::string tsgen_path() {
    const std::string tool = TSNARROW_BIN;
    return tool.substr(0, tool.rfind('/')) + "/tools/tsgen";
}

const char* const kUsage =
    "\n"
    "Usage: tsnarrow [-d|-D|-e] [-h] [-r] [-s] [-v]\n"
    "   <InFileName> [<Target_Program#> [<OutFileName>]]\n"
    "\n"
    "********************** Parameters **********************\n"
    "  <InFileName>        : Input File Name\n"
    "  <Target_Program#>   : Target Program Number that filtered Packets\n"
    "  <OutFileName>       : Output File Name(filtered)\n"
    "**********************  Options  **********************\n"
    "  -d                  : Drop not-target Program or NULL Packets\n"
    "  -D                  : Drop non-target Program Packets\n"
    "  -e                  : Replace non-targer Program Packet to NULL Packets\n"
    "  -h                  : Print this message and exit\n"
    "  -r                  : Remove TTS header\n"
    "  -s                  : Drop SI.\n"
    "  (no option)         : Analyze PAT and print it\n"
    "********************************************************\n"
    "\n";

std::vector<std::string> list_dir(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace e2e
