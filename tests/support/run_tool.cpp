#include "run_tool.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace {

// The read end of a pipe and where its bytes go.
struct Capture {
    int fd;
    std::string* text;
};

void close_fd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

// Runs in the forked child: only system calls from here on.
[[noreturn]] void exec_child(const char* program, char* const* argv, const char* cwd, int in_fd, int out_fd,
                             int err_fd, int status_fd) {
    signal(SIGPIPE, SIG_DFL);  // the parent ignores it for its feeder
    dup2(in_fd, STDIN_FILENO);
    dup2(out_fd, STDOUT_FILENO);
    dup2(err_fd, STDERR_FILENO);
    // What failed goes back to the parent as a stage (0 chdir, 1 exec) and errno.
    if (cwd != nullptr && chdir(cwd) != 0) {
        const int failure[2] = {0, errno};
        (void)!write(status_fd, failure, sizeof failure);
        _exit(127);
    }
    execv(program, argv);
    const int failure[2] = {1, errno};
    (void)!write(status_fd, failure, sizeof failure);
    _exit(127);
}

// Reads both pipes until they close or the deadline passes; false on time-out.
bool drain(Capture (&captures)[2], std::chrono::steady_clock::time_point deadline) {
    char buffer[65536];
    while (captures[0].fd >= 0 || captures[1].fd >= 0) {
        pollfd fds[2];
        nfds_t n = 0;
        for (Capture& c : captures) {
            if (c.fd >= 0) fds[n++] = {c.fd, POLLIN, 0};
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        const int ready = poll(fds, n, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready == 0) return false;
        if (ready < 0) return true;  // nothing more can be read; the caller closes the pipes
        for (nfds_t i = 0; i < n; ++i) {
            if (fds[i].revents == 0) continue;
            for (Capture& c : captures) {
                if (c.fd != fds[i].fd) continue;
                const ssize_t got = read(c.fd, buffer, sizeof buffer);
                if (got > 0) {
                    c.text->append(buffer, static_cast<size_t>(got));
                } else if (got == 0 || errno != EINTR) {
                    close_fd(c.fd);
                }
            }
        }
    }
    return true;
}

}  // namespace

RunResult run_program(const std::string& program, const std::vector<std::string>& args,
                      const RunOptions& options) {
    RunResult result;
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const char* cwd = options.cwd.empty() ? nullptr : options.cwd.c_str();

    int in_pipe[2] = {-1, -1}, out_pipe[2], err_pipe[2], status_pipe[2];
    if ((options.feed_stdin && pipe2(in_pipe, O_CLOEXEC) != 0) || pipe2(out_pipe, O_CLOEXEC) != 0 ||
        pipe2(err_pipe, O_CLOEXEC) != 0 || pipe2(status_pipe, O_CLOEXEC) != 0) {
        result.exit_code = 127;
        result.err = std::string("pipe: ") + std::strerror(errno);
        return result;
    }
    const std::string in_path = options.stdin_path.empty() ? "/dev/null" : options.stdin_path;
    const int in_fd = options.feed_stdin ? in_pipe[0] : open(in_path.c_str(), O_RDONLY | O_CLOEXEC);
    const int stdout_fd =
        options.stdout_fd >= 0 ? options.stdout_fd
        : options.stdout_path.empty()
            ? out_pipe[1]
            : open(options.stdout_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const pid_t child = fork();
    if (child == 0) exec_child(argv[0], argv.data(), cwd, in_fd, stdout_fd, err_pipe[1], status_pipe[1]);
    close(in_fd);
    if (stdout_fd != out_pipe[1]) close(stdout_fd);
    close(out_pipe[1]);
    close(err_pipe[1]);
    close(status_pipe[1]);
    if (child < 0) {
        close(in_pipe[1]);
        close(out_pipe[0]);
        close(err_pipe[0]);
        close(status_pipe[0]);
        result.exit_code = 127;
        result.err = std::string("fork: ") + std::strerror(errno);
        return result;
    }

    std::thread feeder;
    if (options.feed_stdin) {
        signal(SIGPIPE, SIG_IGN);  // a child that stops reading makes the feeder's writes fail, not kill us
        feeder = std::thread([&options, fd = in_pipe[1]] {
            options.feed_stdin(fd);
            close(fd);
        });
    }
    Capture captures[2] = {{out_pipe[0], &result.out}, {err_pipe[0], &result.err}};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.timeout_seconds);
    if (!drain(captures, deadline)) {
        kill(child, SIGKILL);
        result.timed_out = true;
    }
    for (Capture& c : captures) close_fd(c.fd);
    if (feeder.joinable()) feeder.join();

    int failure[2] = {0, 0};
    const bool start_failed = read(status_pipe[0], failure, sizeof failure) == sizeof failure;
    close(status_pipe[0]);

    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (start_failed) {
        result.exit_code = 127;
        result.err += (failure[0] == 0 ? "cannot enter " + options.cwd : "cannot start " + program) + ": " +
                      std::strerror(failure[1]);
    } else if (WIFEXITED(status)) {
        result.exit_code = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signaled = true;
        result.signal = WTERMSIG(status);
    }
    return result;
}

RunResult run_tool(const std::vector<std::string>& args, const RunOptions& options) {
    return run_program(TSNARROW_BIN, args, options);
}
