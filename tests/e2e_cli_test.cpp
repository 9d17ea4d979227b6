// End-to-end runs of the real binary: banner, -h, -v, option messages, the
// positional arguments and their failures, and the program number.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "e2e_cli_common.h"
#include "support.h"

namespace {

using e2e::after_banner;
using e2e::kUsage;

// A valid little stream of program 1: PAT, PMT, one video packet.
std::string write_small_stream(const TempDir& dir, const std::string& name = "in.ts") {
    return write_packets(dir, {e2e::pat_packet(), e2e::pmt_packet(), e2e::payload_packet(e2e::kEsPid, 0x11)},
                         name);
}

TEST(CliStartup, HelpPrintsUsageAfterEarlierOptionsAndTouchesNoFile) {
    TempDir dir;
    const RunResult plain = run_tool({"-h"});
    EXPECT_EQ(plain.exit_code, 0);
    EXPECT_EQ(after_banner(plain.out), kUsage);
    EXPECT_EQ(plain.err, "");

    // --help adds the options beyond the usage text.
    const RunResult help = run_tool({"--help", "-v"});
    EXPECT_EQ(help.exit_code, 0);
    EXPECT_EQ(after_banner(help.out),
              std::string(kUsage) +
                  "  -c, --check         : Check every PID for drops, errors, scrambling and PCR gaps\n"
                  "  -E, --events        : Print the programmes now and next, and each change, from the EIT\n"
                  "  -v, --version       : Print the version report and exit\n"
                  "  -z                  : Trace every packet header\n"
                  "      --help          : Print this message with the options beyond it, and exit\n"
                  "      --json FILE     : Write everything the run found to FILE as JSON (- for standard output)\n"
                  "      --split         : One output file per programme, named by <OutFileName> as a template\n"
                  "                        of %n (part), %e (event_id), %s (start), %t (title) and %% (a %)\n\n");

    // Options before -h have done their work; those after it are never seen,
    // and neither the missing input nor the output is touched.
    const RunResult r = run_tool({"-s", "-d", "-h", "-e", dir.file("missing.ts"), "1", dir.file("out.ts")});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(after_banner(r.out),
              std::string("option -s: Drop SI option enabled\n"
                          "option -d: Drop non-target or NULL Packets option enabled\n") +
                  kUsage);
    EXPECT_TRUE(e2e::list_dir(dir.path()).empty());
}

TEST(CliStartup, VersionReportHasItsSixLines) {
    TempDir dir;
    const std::string in = write_small_stream(dir);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"-v"}, {"--version"}, {"-v", in, "1", dir.file("out.ts")}}) {
        const RunResult r = run_tool(args);
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.err, "");
        std::istringstream lines(after_banner(r.out));
        std::vector<std::string> got;
        for (std::string line; std::getline(lines, line);) got.push_back(line);
        ASSERT_EQ(got.size(), 6u) << r.out;
        EXPECT_EQ(got[0], "Name: tsnarrow");
        EXPECT_EQ(got[1], " Module name: TSNARROW");
        EXPECT_EQ(got[2], " Version: 1.0.2");
        const char* const labels[] = {" Built date: ", " Built host: ", " Compiler: "};
        for (int i = 0; i < 3; ++i) {
            const std::string& line = got[3 + i];
            EXPECT_EQ(line.rfind(labels[i], 0), 0u) << line;
            EXPECT_GT(line.size(), std::string(labels[i]).size()) << "empty value in " << line;
        }
        EXPECT_EQ(r.out.back(), '\n');
    }
    EXPECT_EQ(e2e::list_dir(dir.path()), std::vector<std::string>{"in.ts"});
}

TEST(CliStartup, OptionsPrintTheirMessagesInCommandLineOrder) {
    TempDir dir;
    const std::string missing = dir.file("missing.ts");
    const RunResult r = run_tool({"-r", "-z", "-e", "-D", "-d", "-s", missing});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(after_banner(r.out),
              "option -r: Remove Timestamp from MPEG2-TTS packet(Converts MPEG2-TTS to MPEG2-TS\n"
              "option -e: Replace noon-target to NULL option enable\n"
              "option -D: Drop non-target option enabled\n"
              "option -d: Drop non-target or NULL Packets option enabled\n"
              "option -s: Drop SI option enabled\n"
              "Can't open file [" +
                  missing + "]\n");
}

TEST(CliStartup, UnknownOptionsAreIgnoredWithoutComplaint) {
    TempDir dir;
    const std::string in = write_small_stream(dir);
    const RunResult plain = run_tool({in, "1"});
    ASSERT_EQ(plain.exit_code, 0);

    const RunResult unknown = run_tool({"-x", "--frobnicate", "-q", in, "1"});
    EXPECT_EQ(unknown.exit_code, 0);
    EXPECT_EQ(unknown.err, "");
    EXPECT_EQ(unknown.out, plain.out);

    // Grouped with a known one, the unknown letter is skipped and the known one taken.
    const RunResult grouped = run_tool({"-xs", in, "1"});
    EXPECT_EQ(grouped.err, "");
    EXPECT_EQ(after_banner(grouped.out), "option -s: Drop SI option enabled\n" + after_banner(plain.out));
}

TEST(CliArgs, MissingOrUnreadableInputIsAnOpenFailure) {
    TempDir dir;
    const std::string missing = dir.file("missing.ts");
    struct Case {
        std::vector<std::string> args;
        std::string expected;
    };
    const Case cases[] = {
        {{}, "Can't open file []\n"},
        {{"-s"}, "option -s: Drop SI option enabled\nCan't open file []\n"},
        {{missing}, "Can't open file [" + missing + "]\n"},
        // The input is opened before the program number is looked at...
        {{missing, "abc"}, "Can't open file [" + missing + "]\n"},
        {{missing, "0", dir.file("out.ts")}, "Can't open file [" + missing + "]\n"},
        // ...and before the number of arguments is.
        {{missing, "1", dir.file("out.ts"), "extra"}, "Can't open file [" + missing + "]\n"},
    };
    for (const Case& c : cases) {
        const RunResult r = run_tool(c.args);
        EXPECT_EQ(r.exit_code, 1) << c.expected;
        EXPECT_EQ(after_banner(r.out), c.expected);
        EXPECT_EQ(r.err, "");
    }
    EXPECT_TRUE(e2e::list_dir(dir.path()).empty());
}

TEST(CliArgs, FourPositionalArgumentsPrintTheUsage) {
    TempDir dir;
    const std::string in = write_small_stream(dir);
    const RunResult r = run_tool({in, "1", dir.file("out.ts"), "extra"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(after_banner(r.out), std::string("Argument number error\n") + kUsage);
    EXPECT_EQ(e2e::list_dir(dir.path()), std::vector<std::string>{"in.ts"});
}

TEST(CliArgs, OutputThatCannotBeCreatedIsRefused) {
    TempDir dir;
    const std::string in = write_small_stream(dir);
    for (const std::string& out : {dir.path(), dir.file("no/such/dir/out.ts")}) {
        const RunResult r = run_tool({in, "1", out});
        EXPECT_EQ(r.exit_code, 1) << out;
        EXPECT_EQ(after_banner(r.out), "Can't create file [" + out + "]\n");
    }
}

// Opening the input for writing would truncate it before it is read: every
// name that leads to the input file is refused, and the input stays intact.
TEST(CliArgs, OutputThatIsTheInputUnderAnyNameIsRefused) {
    TempDir dir;
    const std::string in = write_small_stream(dir);
    const tsb::Bytes original = read_bytes(in);
    ASSERT_EQ(mkdir(dir.file("sub").c_str(), 0755), 0);
    ASSERT_EQ(link(in.c_str(), dir.file("hard.ts").c_str()), 0);
    ASSERT_EQ(symlink(in.c_str(), dir.file("soft.ts").c_str()), 0);

    struct Case {
        std::string input;
        std::string output;
    };
    const Case cases[] = {
        {in, in},        {"in.ts", "./in.ts"}, {"in.ts", "sub/../in.ts"},
        {"./in.ts", in}, {in, "hard.ts"},      {in, "soft.ts"},
    };
    RunOptions in_dir;
    in_dir.cwd = dir.path();
    for (const Case& c : cases) {
        const RunResult r = run_tool({"-e", c.input, "1", c.output}, in_dir);
        EXPECT_EQ(r.exit_code, 1) << c.output;
        EXPECT_EQ(
            after_banner(r.out),
            "option -e: Replace noon-target to NULL option enable\nCan't create file [" + c.output + "]\n");
        EXPECT_EQ(read_bytes(in), original) << c.output;
    }
}

TEST(CliProgramNumber, MalformedOrOutOfRangeNumbersAreRefusedBeforeTheOutput) {
    TempDir dir;
    const std::string in = write_small_stream(dir);
    const std::string out = dir.file("out.ts");
    // 4294967297 and 0x100000001 are 1 once cut to 32 bits; they must not
    // come out as program 1.
    for (const char* number : {"", "0x", "0X", "+5", " 5", "5 ", "5a", "0x1g", "x10", "1.0", "0", "0x0", "00",
                               "65536", "0x10000", "4294967297", "0x100000001", "99999999999999999999"}) {
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{in, number}, {in, number, out}, {"--", in, number, out}}) {
            const RunResult r = run_tool(args);
            EXPECT_EQ(r.exit_code, 1) << "[" << number << "]";
            EXPECT_EQ(after_banner(r.out), std::string("Invalid target program# [") + number + "]\n");
        }
    }
    // A leading minus is an option letter unless options have been ended.
    const RunResult minus = run_tool({"--", in, "-1", out});
    EXPECT_EQ(minus.exit_code, 1);
    EXPECT_EQ(after_banner(minus.out), "Invalid target program# [-1]\n");
    EXPECT_EQ(e2e::list_dir(dir.path()), std::vector<std::string>{"in.ts"});
}

// Programs 16, 31 and 65535, each with its PMT and one video stream; the PAT
// is repeated at the end so that its rewrite shows in the output.
struct ThreeProgramStream {
    struct Program {
        uint16_t number, pmt_pid, es_pid;
    };
    static constexpr Program kPrograms[] = {
        {16, 0x0110, 0x0111}, {31, 0x01F0, 0x01F1}, {65535, 0x0FF0, 0x0FF1}};

    static tsb::Packets packets() {
        const tsb::Packet pat = e2e::pat_packet({{0, 0x0010}, {16, 0x0110}, {31, 0x01F0}, {65535, 0x0FF0}});
        tsb::Packets p{pat};
        for (const Program& g : kPrograms) p.push_back(e2e::pmt_packet(g.number, g.pmt_pid, g.es_pid));
        for (const Program& g : kPrograms) p.push_back(e2e::payload_packet(g.es_pid, 0x20));
        p.push_back(pat);
        return p;
    }
    // What extracting program g writes: its PMT, its video, the PAT cut down to it.
    static tsb::Bytes extracted(const Program& g) {
        tsb::Stream s;
        s.add(e2e::pmt_packet(g.number, g.pmt_pid, g.es_pid));
        s.add(e2e::payload_packet(g.es_pid, 0x20));
        s.add(e2e::pat_packet(g.number, g.pmt_pid));
        return s.bytes();
    }
};

TEST(CliProgramNumber, DecimalAndHexadecimalSpellingsSelectTheSameProgram) {
    TempDir dir;
    const std::string in = write_packets(dir, ThreeProgramStream::packets());
    const std::vector<std::string> spellings[] = {
        {"16", "0x10", "0X10", "0x010", "016"},
        {"31", "0x1f", "0X1f", "0x1F", "0X1F"},
        {"65535", "0xFFFF", "0xffff", "0XfFfF"},
    };
    for (int i = 0; i < 3; ++i) {
        const auto& program = ThreeProgramStream::kPrograms[i];
        for (const std::string& number : spellings[i]) {
            SCOPED_TRACE(number);
            e2e::expect_extraction({in, number, dir.file("out-" + number + ".ts")},
                                   "\r  0 %\r 12 %\r 25 %\r 37 %\r 50 %\r 62 %\r 75 %\r 87 %\r100 %\nDone.\n",
                                   ThreeProgramStream::extracted(program));
        }
    }
}

}  // namespace
