// End-to-end runs of the packet loop: the percentage counter, report mode,
// a program that never shows its PMT, a file past 4 GiB, and failures while
// the loop runs.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "e2e_cli_common.h"
#include "support.h"

namespace {

using e2e::after_banner;

size_t count_of(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
    return n;
}

bool ends_with(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(CliLoop, ProgramWhosePmtNeverComesLeavesAnEmptyOutput) {
    TempDir dir;
    tsb::Stream s;
    // The PAT names the PMT PID, but no PMT ever follows.
    s.add(e2e::pat_packet()).add(e2e::payload_packet(e2e::kEsPid, 0x10)).nulls(2).add(e2e::pat_packet());
    s.add(e2e::payload_packet(0x0012, 0x11)).add(e2e::payload_packet(e2e::kEsPid, 0x12, 1));
    const std::string in = write_stream(dir, s);
    const std::string out = dir.file("out.ts");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{in, "1", out}, {in, "2", out}}) {  // 2 is not in the PAT at all
        const RunResult r = run_tool(args);
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(after_banner(r.out), "\r  0 %\r 14 %\r 28 %\r 42 %\r 57 %\r 71 %\r 85 %\r100 %\nDone.\n");
        ASSERT_TRUE(file_exists(out));
        EXPECT_TRUE(read_bytes(out).empty());
    }
}

// Three packets are the fewest a run accepts (384 bytes are looked at first).
TEST(CliLoop, ShortestRunCountsInThirds) {
    TempDir dir;
    tsb::Stream s;
    s.add(e2e::pat_packet()).add(e2e::pmt_packet()).add(e2e::payload_packet(e2e::kEsPid, 0x10));
    e2e::expect_extraction({write_stream(dir, s), "1", dir.file("out.ts")},
                           "\r  0 %\r 33 %\r 66 %\r100 %\nDone.\n", e2e::pick(s.bytes(), 188, {1, 2}));
}

TEST(CliLoop, CounterShowsEveryWholePercentReachedOnce) {
    TempDir dir;
    // Every whole percent that some packet index reaches, in order, then 100.
    for (size_t packets : {4, 99, 100, 101, 150, 199, 200, 301, 333}) {
        tsb::Stream s;
        s.nulls(packets);
        const RunResult r = run_tool({write_stream(dir, s), "1", dir.file("out.ts")});
        EXPECT_EQ(r.exit_code, 0) << packets;
        EXPECT_EQ(after_banner(r.out), e2e::extraction_text(packets)) << packets;
    }
}

// Each new percentage shows up just before the trace of the packet that
// reaches it: with 200 packets, percent p at packet 2p.
TEST(CliLoop, CounterChangesAtThePacketThatReachesTheNextPercent) {
    TempDir dir;
    tsb::Stream s;
    s.nulls(200);
    const RunResult r = run_tool({"-z", write_stream(dir, s), "1", dir.file("out.ts")});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(count_of(r.out, "\r"), 101u);
    for (int percent = 0; percent < 100; ++percent) {
        char expected[32];
        std::snprintf(expected, sizeof expected, "\r%3d %%0x%08X:\n", percent, 2 * percent);
        EXPECT_EQ(count_of(r.out, expected), 1u) << expected;
    }
    EXPECT_TRUE(ends_with(r.out, "Drop Packet 1FFF\n\r100 %\nDone.\n"));
}

TEST(CliLoop, ReportModeShowsNoCounterAndCreatesNoFile) {
    TempDir dir;
    tsb::Stream s;
    s.add(e2e::pat_packet()).add(e2e::pmt_packet()).add(e2e::payload_packet(e2e::kEsPid, 0x10));
    s.nulls(1).add(e2e::pat_packet());
    const std::string in = write_stream(dir, s);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{in}, {in, "1"}, {"-e", "-r", in, "1"}}) {
        const RunResult r = run_tool(args);
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.out.find('\r'), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find('%'), std::string::npos) << r.out;
        EXPECT_TRUE(ends_with(r.out, "\nDone.\n")) << r.out;
        EXPECT_EQ(e2e::list_dir(dir.path()), std::vector<std::string>{"in.ts"});
    }
    // With a target the PMT is taken (and reported), which would enable output
    // in an extraction run.
    const RunResult targeted = run_tool({in, "1"});
    EXPECT_EQ(count_of(targeted.out, "****************** PMT Information ******************\n"), 1u);
}

// A recording past 4 GiB is sized and read to its end, on 32-bit systems as
// well. The file repeats one block: another program's packets, which are
// dropped, and a packet of the target at its end, so the output stays small;
// the last block lies wholly past the 4 GiB mark.
TEST(CliLoop, FilePast4GiBIsReadToItsEnd) {
    constexpr size_t kBlockPackets = 5578;  // 1 MiB and 88 bytes
    constexpr size_t kBlocks = 4097;
    constexpr unsigned long long kSize = 188ull * kBlockPackets * kBlocks;
    static_assert(kSize - 188ull * kBlockPackets > (1ull << 32), "the last block starts past 4 GiB");
    TempDir dir;
    struct statvfs fs;
    const unsigned long long room =
        statvfs(dir.path().c_str(), &fs) == 0 ? 1ull * fs.f_bavail * fs.f_frsize : 0;
    if (room < kSize + (64ull << 20)) {
        GTEST_SKIP() << "needs " << ((kSize >> 20) + 64) << " MiB free in " << dir.path() << ", has "
                     << (room >> 20) << " MiB";
    }
    const tsb::Packet other = e2e::payload_packet(0x0200, 0x20);
    const tsb::Packet target = e2e::payload_packet(e2e::kEsPid, 0x10);
    const tsb::Packet pmt = e2e::pmt_packet();
    tsb::Packets block(kBlockPackets, other);
    block.back() = target;
    block[0] = e2e::pat_packet();  // the first block only
    block[1] = pmt;
    const std::string in = dir.file("in.ts");
    FILE* file = std::fopen(in.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    bool written = true;
    for (size_t i = 0; i < kBlocks && written; ++i) {
        written = std::fwrite(block.data(), sizeof block[0], kBlockPackets, file) == kBlockPackets;
        block[0] = block[1] = other;
    }
    ASSERT_TRUE(std::fclose(file) == 0 && written) << "cannot write " << in;

    tsb::Bytes expected(pmt.begin(), pmt.end());
    for (size_t i = 0; i < kBlocks; ++i) expected.insert(expected.end(), target.begin(), target.end());
    // The counter shows each whole percent once, as in any run of 100 packets or more.
    e2e::expect_extraction({in, "1", dir.file("out.ts")}, e2e::extraction_text(100), expected);
}

bool dev_full_usable() { return access("/dev/full", W_OK) == 0; }

// A failed write is reported where it happens, after the counter text of the
// packets handled so far, and never after "Done.": whether the output is a few
// packets (written only after the last packet) or more than one read's worth.
TEST(CliLoop, WriteFailureEndsTheRunWithoutDone) {
    if (!dev_full_usable()) GTEST_SKIP() << "/dev/full is not writable here";
    TempDir dir;
    for (int payload_packets : {1, 16000}) {
        tsb::Stream s;
        s.add(e2e::pat_packet()).add(e2e::pmt_packet());
        for (int i = 0; i < payload_packets; ++i) s.add(e2e::payload_packet(e2e::kEsPid, 0x10, i & 15));
        const RunResult r = run_tool({write_stream(dir, s), "1", "/dev/full"});
        EXPECT_EQ(r.exit_code, 1);
        EXPECT_EQ(count_of(r.out, "Can't write Packet data\n"), 1u) << r.out;
        EXPECT_TRUE(ends_with(r.out, "%Can't write Packet data\n")) << r.out;
        EXPECT_EQ(r.out.find("\r100 %"), std::string::npos);
        EXPECT_EQ(r.out.find("Done."), std::string::npos);
    }
}

// Runs the tool with -z on `in` in report mode, its standard output a pipe.
// The first bytes that come out of the pipe are trace lines, so the loop has
// begun and the size has been taken; the tool cannot run ahead of the pipe by
// more than its capacity, so it has not read the end of a large file yet.
// At that moment the file is cut to nothing; then the rest is drained.
RunResult run_and_truncate_input(const std::string& in) {
    RunResult result;
    int out_pipe[2];
    if (pipe(out_pipe) != 0) return result;
    const pid_t child = fork();
    if (child == 0) {
        const int null_fd = open("/dev/null", O_RDWR);
        dup2(null_fd, STDIN_FILENO);
        dup2(null_fd, STDERR_FILENO);
        dup2(out_pipe[1], STDOUT_FILENO);
        close(out_pipe[0]);
        close(out_pipe[1]);
        execl(TSNARROW_BIN, TSNARROW_BIN, "-z", in.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out_pipe[1]);
    pollfd first = {out_pipe[0], POLLIN, 0};
    const bool ready = poll(&first, 1, 60000) == 1;
    const bool cut = ready && truncate(in.c_str(), 0) == 0;
    char buffer[65536];
    for (ssize_t got; (got = read(out_pipe[0], buffer, sizeof buffer)) > 0;) result.out.append(buffer, got);
    close(out_pipe[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (cut && WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
    return result;
}

TEST(CliLoop, InputThatShrinksDuringTheRunEndsWithUnexpectedEof) {
    TempDir dir;
    // Twice the tool's 2 MiB read block.
    const std::string in = write_stream(dir, [] {
        tsb::Stream s;
        s.nulls(24000);
        return s;
    }());
    const RunResult r = run_and_truncate_input(in);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_TRUE(ends_with(r.out, "Drop Packet 1FFF\nUnexpected EOF\n"))
        << r.out.substr(r.out.size() > 200 ? r.out.size() - 200 : 0);
    EXPECT_EQ(r.out.find("Done."), std::string::npos);
}

}  // namespace
