// Run control: the entry, exits, argument parsing and input checks.
#ifndef TSNARROW_CLI_H
#define TSNARROW_CLI_H

#include <cstdint>
#include <cstdio>

#define PROGRAM_NAME_STRING "tsnarrow"
#define MODULE_NAME_STRING "TSNARROW"
#define VERSION_STRING "1.0.2"
#define OPTION_STRING "cdDEershvz"

struct option;
// The long forms: --check (-c), --events (-E), --help (the usage and the
// options beyond it), --json FILE, --split and --version (-v).
extern const struct option LONG_OPTIONS[];
// What getopt_long returns for the long options without a short form.
constexpr int HELP_OPTION = 0x100;
constexpr int JSON_OPTION = 0x101;
constexpr int SPLIT_OPTION = 0x102;

// The whole run; never returns.
[[noreturn]] void run_tsnarrow(int argc, char** argv);

// The message of a failure that ends the run, printed by its own code (all
// others are printed by print_failure, which keeps them too), kept for the
// JSON document.
void note_failure(const char* message);
// The last failure message, without its line end; empty when there was none.
const char* failure_message();

// Prints a message that reports a failure of the run where the texts go, and
// flushes it there; once a text has been lost there (this one included), on
// standard error, so that the failure is still seen.
void print_failure(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Whether the texts written so far leave a line open (the percentage
// counter's, a table's refusal): flushes them first.
bool text_line_open();

// Files the run reads or keeps apart (the input, the JSON document): none of
// them is ever opened for writing, by whatever name.
void keep_file_apart(int fd);
bool names_kept_file(const char* path);
// Whether the open file is one of them, or cannot be told.
bool holds_kept_file(int fd);
// Creates or empties `path` for the packets; null when that fails or it names
// a file kept apart.
FILE* create_output_file(const char* path);

// Writes the packets queued and closes FP_out, which is then null. False when
// a write or the close failed.
bool close_packet_output();
// Whole records written so far, to every output of the run.
unsigned long long packets_written();

// Closes the files and ends the process with status.
[[noreturn]] void swexit(int status);

// How swexit finally leaves; std::exit unless a harness (the fuzz targets)
// replaces it with one that unwinds back to itself.
using exit_hook_t = void (*)(int status);
extern exit_hook_t Exit_hook;

// The next option of argv, as getopt_long gives it, unknown ones included ('?').
int next_option(int argc, char** argv);
// Reads and acts on every option, in the order given.
void read_options(int argc, char** argv);

int strtoint(const char* text, int32_t* out);
void print_usage();
// The options that go beyond the usage text, one line each (--help).
void print_more_options();
void print_version();
int check_packet_type(FILE* file);
long long get_file_size(const char* path);

#endif
