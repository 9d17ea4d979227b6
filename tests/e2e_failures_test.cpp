// End-to-end runs whose surroundings fail: closed standard descriptors, texts
// that cannot be written, read errors, an output cut short by a size limit,
// an input that grows. The faults come from bash (closed descriptors, limits,
// ignored signals), /dev/full, and a preloaded library that fails system calls.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "e2e_cli_common.h"
#include "support.h"

namespace {

const std::string kBanner = "tsnarrow version 1.0.2 - MPEG-2 TS PSI reporter and program extractor\n";
const std::string kPreload = std::string("export ") + FAULT_INJECT_VARIABLE + "=" + FAULT_INJECT_LIB +
                             " ASAN_OPTIONS=verify_asan_link_order=0 ";

std::string write_error(const char* reason) {
    return std::string("tsnarrow: write error on standard output: ") + reason + "\n";
}

// Program 1 (PMT at 1, video at every odd index) among another program's
// packets: more than one of the tool's 2 MiB reads (11,136 packets of 188).
constexpr size_t kPackets = 14000;
constexpr size_t kFirstRead = 11136;

tsb::Bytes failing_stream(size_t framing) {
    tsb::Stream s;
    s.add(e2e::pat_packet()).add(e2e::pmt_packet());
    for (size_t i = 2; i < kPackets; ++i) {
        s.add(e2e::payload_packet(i % 2 ? e2e::kEsPid : 0x0200, static_cast<uint8_t>(i), i & 15));
    }
    return s.bytes(framing);
}

struct FailureCase {
    const char* what;
    std::string setup;     // bash commands before the tool; @IN, @OUT, @DIR stand for paths
    std::string redirect;  // of the tool's descriptors
    std::vector<std::string> args;
    int status;
    std::string out;  // all of standard output as captured
    std::string err;
    long records;  // of the clean output written: -1 all of them, -2 no output file
    size_t framing = 188;
    long kept = 0;  // records of the clean output in OUT before the run, which it appends to
};

std::string with_paths(std::string text, const TempDir& dir) {
    for (const char* token : {"@IN", "@OUT", "@DIR"}) {
        const std::string path =
            token[1] == 'D' ? dir.path() : dir.file(token[1] == 'I' ? "in.ts" : "out.ts");
        for (size_t at; (at = text.find(token)) != std::string::npos;)
            text.replace(at, std::strlen(token), path);
    }
    return text;
}

// Runs script in bash with `tool` as $0 and args as $1...
RunResult run_in_bash(const std::string& script, const std::vector<std::string>& args,
                      const std::string& tool = TSNARROW_BIN) {
    std::vector<std::string> argv = {"-c", script, tool};
    argv.insert(argv.end(), args.begin(), args.end());
    return run_program("/bin/bash", argv);
}

// failing_stream(framing) and the output of its clean extraction, made once.
struct CleanRun {
    tsb::Bytes input;
    tsb::Bytes output;
};

const CleanRun& clean_run(size_t framing) {
    static std::map<size_t, CleanRun> runs;
    if (runs.count(framing) == 0) {
        TempDir dir;
        CleanRun& run = runs[framing];
        run.input = failing_stream(framing);
        write_bytes(dir.file("in.ts"), run.input);
        EXPECT_EQ(run_tool({dir.file("in.ts"), "1", dir.file("clean.ts")}).exit_code, 0);
        run.output = read_bytes(dir.file("clean.ts"));
    }
    return runs[framing];
}

// The case's run of `tool`, against a clean run of the same extraction.
void expect_case(const FailureCase& c, const std::string& tool = TSNARROW_BIN) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const CleanRun& run = clean_run(c.framing);
    // With -r, the clean output's packets without their timestamps.
    const size_t record = c.args[0] == "-r" ? 188 : c.framing;
    tsb::Bytes clean;
    for (auto at = run.output.begin(); at != run.output.end(); at += c.framing)
        clean.insert(clean.end(), at + (c.framing - record), at + c.framing);
    write_bytes(dir.file("in.ts"), run.input);
    const tsb::Bytes old(clean.begin(), clean.begin() + c.kept * record);
    if (c.kept > 0) write_bytes(dir.file("out.ts"), old);

    std::vector<std::string> args;
    for (const std::string& a : c.args) args.push_back(with_paths(a, dir));
    const RunResult r = run_in_bash(
        with_paths(c.setup, dir) + " exec \"$0\" \"$@\" " + with_paths(c.redirect, dir), args, tool);
    EXPECT_EQ(r.exit_code, c.status);
    EXPECT_EQ(r.out, with_paths(c.out, dir));
    EXPECT_EQ(r.err, with_paths(c.err, dir));
    EXPECT_EQ(read_bytes(dir.file("in.ts")), run.input);
    if (c.records == -2) {
        EXPECT_FALSE(file_exists(dir.file("out.ts")));
        return;
    }
    const size_t size = c.records < 0 ? clean.size() : c.records * record;
    ASSERT_LE(size, clean.size());
    tsb::Bytes expected = old;
    expected.insert(expected.end(), clean.begin(), clean.begin() + size);
    EXPECT_EQ(read_bytes(dir.file("out.ts")), expected);
}

const std::string kDone = e2e::extraction_text(kPackets);
const std::string kRemoveTts =
    "option -r: Remove Timestamp from MPEG2-TTS packet(Converts MPEG2-TTS to MPEG2-TS\n";

FailureCase closed_stdin_as(const char* name) {
    return {name, "", "<&-", {name}, 1, kBanner + "Can't open file [" + name + "]\n", "", -2};
}

TEST(Failures, ClosedDescriptorsFailingTextsAndASizeLimit) {
    const std::string ebadf = write_error("Bad file descriptor");
    const FailureCase cases[] = {
        // The texts of an extraction are lost, not written into its output.
        {"stdin and stdout closed", "", "<&- >&-", {"@IN", "1", "@OUT"}, 1, "", ebadf, -1},
        {"stdout closed, report", "", ">&-", {"@IN"}, 1, "", ebadf, -2},
        {"stderr closed, packets on /dev/stdout",
         "",
         "2>&- >@OUT",
         {"@IN", "1", "/dev/stdout"},
         0,
         "",
         "",
         -1},
        {"report onto /dev/full",
         "",
         ">/dev/full",
         {"@IN"},
         1,
         "",
         write_error("No space left on device"),
         -2},
        // A size limit cuts a write short: the output keeps its whole packets.
        {"size limit, 188-byte packets",
         "ulimit -f 100; trap '' XFSZ;",
         "",
         {"@IN", "1", "@OUT"},
         1,
         kBanner + e2e::progress_text(kPackets, {}, kFirstRead) + "Can't write Packet data\n",
         "",
         102400 / 188},
        {"size limit, timestamps kept",
         "ulimit -f 100; trap '' XFSZ;",
         "",
         {"@IN", "1", "@OUT"},
         1,
         kBanner + e2e::progress_text(kPackets, {}, 10904) + "Can't write Packet data\n",
         "",
         102400 / 192,
         192},
        {"stdout appended to the input",
         "",
         ">>@IN",
         {"@IN", "1", "/dev/stdout"},
         1,
         "",
         kBanner + "Can't create file [/dev/stdout]\n",
         -2},
        // Only an extraction's output can name standard output.
        {"four arguments",
         "",
         "",
         {"@IN", "1", "/dev/stdout", "x"},
         1,
         kBanner + "Argument number error\n" + e2e::kUsage,
         "",
         -2},
        {"a directory as input",
         "",
         "",
         {"@DIR"},
         1,
         kBanner + "Can't read file [@DIR]: Is a directory\n",
         "",
         -2},
        // A closed standard input is no input by any of its names.
        closed_stdin_as("-"),
        closed_stdin_as("/dev/stdin"),
        closed_stdin_as("/proc/self/fd/0"),
        // The failed packets are named even when the texts have failed first.
        {"full disk under the output and the texts",
         "head -c 102400 /dev/zero >@DIR/texts; ulimit -f 100; trap '' XFSZ;",
         ">>@DIR/texts",
         {"@IN", "1", "@OUT"},
         1,
         "",
         "Can't write Packet data\n" + write_error("File too large"),
         102400 / 188},
        // The cut goes by the file's end, not by what this run wrote.
        {"size limit, packets appended to packets",
         "ulimit -f 100; trap '' XFSZ;",
         ">>@OUT",
         {"@IN", "1", "-"},
         1,
         "",
         kBanner + e2e::progress_text(kPackets, {}, kFirstRead) + "Can't write Packet data\n",
         102400 / 188 - 272,
         188,
         272},
        {"size limit, timestamps removed",
         "ulimit -f 100; trap '' XFSZ;",
         "",
         {"-r", "@IN", "1", "@OUT"},
         1,
         kBanner + kRemoveTts + e2e::progress_text(kPackets, {}, 10904) + "Can't write Packet data\n",
         "",
         102400 / 188,
         192},
        {"only - itself is a standard stream",
         "cd @DIR; ln in.ts ./-in.ts; : >out.ts; ln out.ts ./-out.ts;",
         "",
         {"--", "-in.ts", "1", "-out.ts"},
         0,
         kBanner + kDone,
         "",
         -1},
    };
    for (const FailureCase& c : cases) expect_case(c);
}

// Any tool that takes the library fails to read a stream whose first read fails.
bool preload_taken() {
    TempDir dir;
    const std::string in = dir.file("in.ts");
    write_bytes(in, failing_stream(188));
    return run_in_bash(kPreload + "FAULT_READ_EIO_AFTER=0; exec \"$0\" \"$@\"", {in}, TSNARROW_PRELOAD_BIN)
               .exit_code != 0;
}

TEST(Failures, InjectedSystemCallFaults) {
    if (!preload_taken())
        GTEST_SKIP() << "the tool took no preloaded library: a static build cannot take one";
    const std::string eio_mid_run = "Unexpected EOF\nCan't read file [@IN]: Input/output error\n";
    const FailureCase cases[] = {
        {"short counts and EINTR everywhere",
         kPreload + "FAULT_IO_MAX=50 FAULT_EINTR=1;",
         "",
         {"@IN", "1", "@OUT"},
         0,
         kBanner + kDone,
         "",
         -1},
        {"EIO at the first read",
         kPreload + "FAULT_READ_EIO_AFTER=0;",
         "",
         {"@IN", "1", "@OUT"},
         1,
         kBanner + "Can't read file [@IN]: Input/output error\n",
         "",
         0},
        // 11,702 packets come through; the video ones of them are written.
        {"EIO after the first read",
         kPreload + "FAULT_READ_EIO_AFTER=2200000;",
         "",
         {"@IN", "1", "@OUT"},
         1,
         kBanner + e2e::progress_text(kPackets, {}, 11702) + eio_mid_run,
         "",
         11702 / 2},
        {"closing stdout fails",
         kPreload + "FAULT_CLOSE_EIO=/proc/self/fd/1;",
         "",
         {"@IN", "1", "@OUT"},
         1,
         kBanner + kDone,
         write_error("Input/output error"),
         -1},
        {"a lost text, then closing stdout fails: the first reason",
         kPreload + "FAULT_CLOSE_EIO=/dev/full;",
         ">/dev/full",
         {"@IN"},
         1,
         "",
         write_error("No space left on device"),
         -2},
        {"closing the output fails",
         kPreload + "FAULT_CLOSE_EIO=@OUT;",
         "",
         {"@IN", "1", "@OUT"},
         1,
         kBanner + kDone + "Can't write Packet data\n",
         "",
         -1},
        {"room for less than a packet",
         kPreload + "FAULT_WRITE_ENOSPC_AFTER=100;",
         "",
         {"@IN", "1", "@OUT"},
         1,
         kBanner + e2e::progress_text(kPackets, {}, kFirstRead) + "Can't write Packet data\n",
         "",
         0},
        {"one full disk under the output and the texts: the packet failure is still named",
         kPreload + "FAULT_WRITE_ENOSPC_AFTER=100 FAULT_STDOUT_ON_SAME_DISK=1;",
         "",
         {"@IN", "1", "@OUT"},
         1,
         kBanner + e2e::progress_text(kPackets, {}, kFirstRead),
         "Can't write Packet data\n" + write_error("No space left on device"),
         0},
        // The pipe's writer starts before the library is in the environment.
        {"EIO on a pipe",
         "exec < <(cat @IN); " + kPreload + "FAULT_READ_EIO_AFTER=2200000;",
         "",
         {"-", "1", "@OUT"},
         1,
         kBanner + "Unexpected EOF\nCan't read file [-]: Input/output error\n",
         "",
         11702 / 2},
    };
    for (const FailureCase& c : cases) expect_case(c, TSNARROW_PRELOAD_BIN);
}

// A report that cannot be written is not read on for: the source feeding it
// finds its pipe closed long before its end.
TEST(Failures, ReportStopsAtItsFirstFailedWrite) {
    tsb::Stream s;
    s.nulls(4000);
    const tsb::Bytes chunk = s.bytes();
    const size_t chunks = 64;  // 48 MB
    size_t fed = 0;
    RunOptions options;
    options.stdout_path = "/dev/full";
    options.feed_stdin = [&](int fd) {
        for (size_t i = 0; i < chunks && write(fd, chunk.data(), chunk.size()) > 0; ++i) ++fed;
    };
    const RunResult r = run_tool({"-z", "-"}, options);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.err, write_error("No space left on device"));
    EXPECT_LT(fed, chunks / 2);
}

// The size taken at the start is what is read: packets appended while the
// run goes on are not. The pipe's reader holds the tool back at its first
// trace lines while the file grows.
TEST(Failures, FileThatGrowsIsReadForItsSizeAtTheStart) {
    TempDir dir;
    tsb::Stream s;
    s.nulls(24002);
    const std::string in = write_stream(dir, s);
    tsb::Stream more;
    more.nulls(1000);
    const std::string appended = write_stream(dir, more, "more.ts");
    const RunResult r = run_in_bash(
        "\"$0\" -z \"$1\" | { IFS= read -r banner; cat \"$2\" >>\"$1\"; grep -c '^0x'; }; exit "
        "${PIPESTATUS[0]}",
        {in, appended});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, "24002\n");
}

}  // namespace
