// End-to-end runs on the standard streams and on streams that are not regular
// files: a pipe fed in uneven pieces, a FIFO, a file on standard input,
// standard output as the output or a terminal, and a live source that waits
// between packets. Each must give the bytes of the same run on files.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "e2e_cli_common.h"
#include "support.h"

namespace {

using e2e::after_banner;

// Program 1 among another program's packets and nulls, with a partial packet
// at the end that no run may write.
tsb::Bytes program_stream(size_t framing) {
    tsb::Stream s;
    s.add(e2e::pat_packet()).add(e2e::payload_packet(e2e::kEsPid, 0x01)).add(e2e::pmt_packet());
    for (int i = 0; i < 900; ++i) {
        s.add(e2e::payload_packet(i % 3 ? e2e::kEsPid : 0x0200, static_cast<uint8_t>(i), i & 15));
        if (i % 7 == 0) s.nulls(1);
        if (i % 97 == 0) s.add(e2e::pat_packet()).add(e2e::pmt_packet());
    }
    tsb::Bytes bytes = s.bytes(framing);
    bytes.insert(bytes.end(), 100, 0x47);
    return bytes;
}

// Writes `data` to fd in pieces of uneven sizes, down to single bytes, with
// short pauses, as a recorder's pipe delivers it.
void feed_in_pieces(int fd, const tsb::Bytes& data) {
    static const size_t kPieces[] = {1, 7, 383, 188, 4096, 3, 65536, 191, 1};
    size_t at = 0;
    for (size_t i = 0; at < data.size(); ++i) {
        const size_t n = std::min(kPieces[i % std::size(kPieces)], data.size() - at);
        if (write(fd, data.data() + at, n) != static_cast<ssize_t>(n)) return;
        at += n;
        if (i % 4 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

// Dash: a pipe on standard input, named -; DashFile: the file on standard
// input, named -.
enum class Input { File, Pipe, Dash, DashFile, Fifo };

struct StreamCase {
    const char* what;
    Input input;
    const char* output;     // a path, or a name in the test's directory; none: report mode
    bool stdout_is_output;  // standard output is that file
    size_t framing;
    std::vector<std::string> options;
    bool on_terminal = false;  // standard output is a terminal (a report)
};

// Reads fd into *text until it holds `end`, for 20 s at most; whether it does.
bool read_until(int fd, const char* end, std::string* text) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    char buffer[4096];
    while (text->find(end) == std::string::npos) {
        pollfd ready = {fd, POLLIN, 0};
        if (std::chrono::steady_clock::now() > deadline || poll(&ready, 1, 100) < 0) return false;
        const ssize_t got = ready.revents ? read(fd, buffer, sizeof buffer) : 0;
        if (got < 0) return false;
        text->append(buffer, static_cast<size_t>(got));
    }
    return true;
}

// The run of `c`, and the same run from and to regular files.
void expect_same_as_files(const StreamCase& c) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const tsb::Bytes data = program_stream(c.framing);
    const std::string file = dir.file("in.ts");
    write_bytes(file, data);
    std::vector<std::string> args = c.options;
    args.push_back(file);
    args.push_back("1");
    if (c.output) args.push_back(dir.file("reference.ts"));
    const RunResult reference = run_tool(args);
    ASSERT_EQ(reference.exit_code, 0);

    RunOptions options;
    std::thread fifo_writer;
    if (c.input == Input::Pipe || c.input == Input::Dash) {
        args[c.options.size()] = c.input == Input::Dash ? "-" : "/dev/stdin";
        options.feed_stdin = [&data](int fd) { feed_in_pieces(fd, data); };
    } else if (c.input == Input::DashFile) {
        args[c.options.size()] = "-";
        options.stdin_path = file;
    } else if (c.input == Input::Fifo) {
        args[c.options.size()] = dir.file("fifo");
        ASSERT_EQ(mkfifo(args[c.options.size()].c_str(), 0600), 0);
        fifo_writer = std::thread([&data, path = args[c.options.size()]] {
            FILE* fifo = std::fopen(path.c_str(), "w");
            if (fifo == nullptr) return;
            feed_in_pieces(fileno(fifo), data);
            std::fclose(fifo);
        });
    }
    // A terminal shows each line as it is made: the first packets' report
    // while the source waits.
    int terminal = -1;
    std::string shown;
    bool shown_while_waiting = false;
    if (c.on_terminal) {
        int slave = -1;
        termios raw{};
        cfmakeraw(&raw);
        ASSERT_EQ(openpty(&terminal, &slave, nullptr, &raw, nullptr), 0);
        for (int fd : {terminal, slave}) fcntl(fd, F_SETFD, FD_CLOEXEC);
        options.stdout_fd = slave;
        options.feed_stdin = [&](int fd) {
            const size_t first = 3 * 188;  // PAT, an early ES packet, PMT
            if (write(fd, data.data(), first) != static_cast<ssize_t>(first)) return;
            shown_while_waiting = read_until(terminal, "PMT Information", &shown);
            feed_in_pieces(fd, tsb::Bytes(data.begin() + first, data.end()));
        };
    }
    const std::string out = dir.file("out.ts");
    if (c.output) args.back() = c.output[0] == '/' || c.output[0] == '-' ? c.output : out;
    if (c.stdout_is_output) options.stdout_path = out;
    const RunResult r = run_tool(args, options);
    if (fifo_writer.joinable()) fifo_writer.join();
    if (c.on_terminal) {
        EXPECT_TRUE(shown_while_waiting);
        read_until(terminal, "Done.\n", &shown);
        close(terminal);
    }

    EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
    // The size of a pipe is unknown: no counter, but the same end.
    const std::string text = c.input == Input::File || c.input == Input::DashFile || !c.output
                                 ? reference.out
                                 : reference.out.substr(0, reference.out.find('\r')) + "\r100 %\nDone.\n";
    if (!c.output) {
        EXPECT_EQ(c.on_terminal ? shown : r.out, text);
        return;
    }
    EXPECT_EQ(read_bytes(out), read_bytes(dir.file("reference.ts")));
    // Standard output carries the packets alone; the texts go to standard error.
    EXPECT_EQ(c.stdout_is_output ? r.err : r.out, text);
    EXPECT_EQ(c.stdout_is_output ? r.out : r.err, "");
}

TEST(Streams, PipesFifosAndStandardOutputGiveTheBytesOfFiles) {
    const StreamCase cases[] = {
        {"pipe in, file out", Input::Pipe, "out.ts", false, 188, {}},
        {"pipe in, -e", Input::Pipe, "out.ts", false, 188, {"-e"}},
        {"192-byte pipe, -r", Input::Pipe, "out.ts", false, 192, {"-r"}},
        {"192-byte pipe, -e -r", Input::Pipe, "out.ts", false, 192, {"-e", "-r"}},
        {"FIFO in", Input::Fifo, "out.ts", false, 188, {}},
        {"file in, /dev/stdout out", Input::File, "/dev/stdout", true, 188, {"-e"}},
        {"pipe in, /dev/stdout out", Input::Pipe, "/dev/stdout", true, 192, {"-s"}},
        {"pipe in, /proc/self/fd/1 out", Input::Pipe, "/proc/self/fd/1", true, 188, {}},
        {"file in, stdout's file named", Input::File, "out.ts", true, 188, {}},
        {"- in, - out", Input::Dash, "-", true, 192, {"-e", "-r"}},
        {"report from a pipe", Input::Pipe, nullptr, false, 188, {}},
        {"- in, stdin a file", Input::DashFile, "out.ts", false, 188, {}},
        {"report from -, stdin a file", Input::DashFile, nullptr, false, 192, {}},
        {"report from a pipe onto a terminal", Input::Pipe, nullptr, false, 188, {}, true},
    };
    for (const StreamCase& c : cases) expect_same_as_files(c);
}

TEST(Streams, ShortPipeIsRefusedLikeAShortFile) {
    const tsb::Bytes data = program_stream(188);
    RunOptions options;
    options.feed_stdin = [&data](int fd) {
        feed_in_pieces(fd, tsb::Bytes(data.begin(), data.begin() + 383));
    };
    const RunResult r = run_tool({"/dev/stdin"}, options);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(after_banner(r.out), "Unexpected EOF detected.\nFile isn't MPEG2_TS or Timestamped-MPEG2_TS\n");
}

// A recorder's pipe delivers a few packets and then waits: what has arrived
// must be in the output before the source goes on.
TEST(Streams, LiveSourceReachesTheOutputWhileItWaits) {
    TempDir dir;
    const std::string out = dir.file("out.ts");
    const tsb::Bytes data = program_stream(188);
    const size_t first = 3 * 188;  // PAT, an early ES packet, PMT: the PMT is written
    bool seen_while_waiting = false;
    RunOptions options;
    options.feed_stdin = [&](int fd) {
        if (write(fd, data.data(), first) != static_cast<ssize_t>(first)) return;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!seen_while_waiting && std::chrono::steady_clock::now() < deadline) {
            struct stat st;
            seen_while_waiting = stat(out.c_str(), &st) == 0 && st.st_size == 188;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        feed_in_pieces(fd, tsb::Bytes(data.begin() + first, data.end()));
    };
    const RunResult r = run_tool({"/dev/stdin", "1", out}, options);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_TRUE(seen_while_waiting);
    const tsb::Bytes written = read_bytes(out);
    ASSERT_GE(written.size(), 188u);
    EXPECT_EQ(tsb::Bytes(written.begin(), written.begin() + 188), e2e::pick(data, 188, {2}));
}

}  // namespace
