// Running the real tool (or any program) as a child process, capturing its
// output completely.
#ifndef TSNARROW_TESTS_RUN_TOOL_H
#define TSNARROW_TESTS_RUN_TOOL_H

#include <functional>
#include <string>
#include <vector>

struct RunResult {
    int exit_code = -1;     // exit status when the process exited normally, else -1
    bool signaled = false;  // killed by a signal
    int signal = 0;
    bool timed_out = false;  // killed by run_program after the time limit
    std::string out;         // everything written to standard output
    std::string err;         // everything written to standard error
};

struct RunOptions {
    std::string cwd;            // working directory of the child; empty: unchanged
    int timeout_seconds = 120;  // the child is killed (SIGKILL) after this
    // When set, standard input is a pipe that this writes to, from a thread of
    // its own while the child runs; the pipe is closed when it returns.
    std::function<void(int fd)> feed_stdin;
    // When set (and not fed), standard input is this file.
    std::string stdin_path;
    // When set, standard output is this file (created or emptied), not captured.
    std::string stdout_path;
    // When set, standard output is this descriptor, not captured; it is
    // closed here once the child has it.
    int stdout_fd = -1;
};

// Runs program with args (argv[0] is program itself) through fork and execv,
// no shell; standard input is /dev/null unless fed or named. If the program
// cannot be started, exit_code is 127 and err says why.
RunResult run_program(const std::string& program, const std::vector<std::string>& args,
                      const RunOptions& options = {});

// Runs the built tool (TSNARROW_BIN).
RunResult run_tool(const std::vector<std::string>& args, const RunOptions& options = {});

#endif
