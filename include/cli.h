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
// options beyond it) and --version (-v).
extern const struct option LONG_OPTIONS[];

// The whole run; never returns.
[[noreturn]] void run_tsnarrow(int argc, char** argv);

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
