// tsgen: writes a deterministic multi-program transport stream of a chosen
// size, for tests, samples and benchmarks.
//
// PID plan (program index i = 0 .. programs-1):
//   0x0000 PAT: network entry (program 0 -> 0x0010) and every program
//   0x0001 CAT: CA descriptor, CA_system_id 0x0005, EMM PID 0x0901
//   0x0010 NIT, 0x0011 SDT (table_id 0x42, ARIB-coded names), 0x0012 EIT,
//   0x0014 TOT, 0x0024 BIT, 0x0026 and 0x0027 EIT
//   0x0901 EMM sections
//   0x01F0+i PMT of program 0x0400+8i, with a CA descriptor naming the ECM PID
//   0x0100+0x10i video (0x02 for even i, 0x1B for odd i), also the PCR PID
//   0x0101+0x10i audio (0x0F)
//   0x0180+i ECM sections
//   0x1FFF null packets
// Program index 0 takes about a quarter of the packets; its PMT spans three
// packets. PAT and PMTs repeat every 256 packets; the stream runs at a
// constant 20 Mbit/s, with PCR, PTS/DTS and (for -t) arrival timestamps on
// that clock.
// With -E, 0x0012 carries the present/following sections of every service
// in turn (the present event changes half way through) and schedule sections
// (table_id 0x50-0x57) between them, in place of the single present event.
// With -c, half way through: the PAT goes to version 1 and moves the PMT of
// program index 1 (index 0 when there is one program) to 0x01E0+i, and the
// PMT of program index 0 goes to version 1 with its audio moved from 0x0101
// to 0x0102.

#include <getopt.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "muxer.h"
#include "plan.h"

namespace {

const char kHelp[] =
    "Usage: tsgen [-s SIZE] [-t] [-p PROGRAMS] [-c] [-E] [-S SEED] OUT\n"
    "Writes a deterministic multi-program MPEG-2 transport stream to OUT.\n"
    "\n"
    "  -s SIZE      size in bytes, with an optional K, M or G (powers of 1024);\n"
    "               rounded down to whole packets (default 600K)\n"
    "  -t           192-byte packets with a 4-byte arrival timestamp in front\n"
    "  -p PROGRAMS  number of programs, 1 to 8 (default 4)\n"
    "  -c           version changes half way through (see below)\n"
    "  -E           EIT on 0x0012: present/following of every service, whose\n"
    "               present event changes half way, and schedule sections\n"
    "  -S SEED      seed of the generator (default 1)\n"
    "  -h, --help   this text\n"
    "\n"
    "PID plan, program index i = 0 .. PROGRAMS-1:\n"
    "  0x0000      PAT: program 0 -> 0x0010 (network), program 0x0400+8i -> 0x01F0+i\n"
    "  0x0001      CAT: CA descriptor, CA_system_id 0x0005, EMM PID 0x0901\n"
    "  0x0010 NIT, 0x0011 SDT (0x42, ARIB names), 0x0012 EIT, 0x0014 TOT,\n"
    "  0x0024 BIT, 0x0026 and 0x0027 EIT\n"
    "  0x01F0+i    PMT of program 0x0400+8i (CA descriptor names the ECM PID)\n"
    "  0x0100+0x10i video, stream_type 0x02 (even i) or 0x1B (odd i); PCR PID\n"
    "  0x0101+0x10i audio, stream_type 0x0F\n"
    "  0x0180+i    ECM\n"
    "  0x0901      EMM\n"
    "  0x1FFF      null packets\n"
    "Program 0x0400 holds about a quarter of the packets and its PMT spans three\n"
    "packets. PAT and PMTs repeat every 256 packets; the stream runs at 20 Mbit/s.\n"
    "\n"
    "With -c, at the middle packet: PAT version 1 moves the PMT of program index 1\n"
    "(0x0408; index 0 with one program) to 0x01E0+i, its PMT keeping version 0;\n"
    "the PMT of 0x0400 goes to version 1 and moves its audio 0x0101 -> 0x0102.\n";

bool parse_size(const char* text, uint64_t& out) {
    errno = 0;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (errno != 0 || end == text || *text == '-') return false;
    uint64_t unit = 1;
    if (*end != '\0') {
        switch (*end) {
            case 'K':
            case 'k':
                unit = 1ull << 10;
                break;
            case 'M':
            case 'm':
                unit = 1ull << 20;
                break;
            case 'G':
            case 'g':
                unit = 1ull << 30;
                break;
            default:
                return false;
        }
        if (end[1] != '\0') return false;
    }
    out = value * unit;
    return true;
}

bool parse_number(const char* text, uint64_t& out) {
    errno = 0;
    char* end = nullptr;
    out = std::strtoull(text, &end, 0);
    return errno == 0 && end != text && *end == '\0' && *text != '-';
}

int usage_error(const char* message) {
    std::fprintf(stderr, "tsgen: %s\n%s", message, kHelp);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    tsgen::Options options;
    static const option long_options[] = {{"help", no_argument, nullptr, 'h'}, {nullptr, 0, nullptr, 0}};
    int c;
    uint64_t number = 0;
    while ((c = getopt_long(argc, argv, "s:tp:cES:h", long_options, nullptr)) != -1) {
        switch (c) {
            case 's':
                if (!parse_size(optarg, options.size)) return usage_error("bad size");
                break;
            case 't':
                options.framing = 192;
                break;
            case 'p':
                if (!parse_number(optarg, number) || number < 1 || number > tsgen::kMaxPrograms)
                    return usage_error("programs must be 1 to 8");
                options.programs = static_cast<int>(number);
                break;
            case 'c':
                options.version_change = true;
                break;
            case 'E':
                options.events = true;
                break;
            case 'S':
                if (!parse_number(optarg, options.seed)) return usage_error("bad seed");
                break;
            case 'h':
                std::fputs(kHelp, stdout);
                return 0;
            default:
                return usage_error("unknown option");
        }
    }
    if (optind + 1 != argc) return usage_error("one output file expected");
    options.out = argv[optind];
    if (options.size < options.framing) return usage_error("size is less than one packet");

    FILE* out = std::fopen(options.out.c_str(), "wb");
    if (!out) {
        std::fprintf(stderr, "tsgen: cannot create %s: %s\n", options.out.c_str(), std::strerror(errno));
        return 1;
    }
    try {
        tsgen::Muxer muxer(options);
        muxer.run(out);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tsgen: %s: %s\n", options.out.c_str(), e.what());
        std::fclose(out);
        return 1;
    }
    if (std::fclose(out) != 0) {
        std::fprintf(stderr, "tsgen: cannot write %s: %s\n", options.out.c_str(), std::strerror(errno));
        return 1;
    }
    return 0;
}
