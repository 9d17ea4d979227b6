// Run control: the entry, exits, argument parsing and input checks.
#ifndef TSNARROW_CLI_H
#define TSNARROW_CLI_H

#include <cstdint>
#include <cstdio>

#define PROGRAM_NAME_STRING "tsnarrow"
#define MODULE_NAME_STRING "TSNARROW"
#define VERSION_STRING "1.0.2"
#define OPTION_STRING "dDershvz"

// The whole run; never returns.
[[noreturn]] void run_tsnarrow(int argc, char** argv);

// Closes the files and ends the process with status.
[[noreturn]] void swexit(int status);

// How swexit finally leaves; std::exit unless a harness (the fuzz targets)
// replaces it with one that unwinds back to itself.
using exit_hook_t = void (*)(int status);
extern exit_hook_t Exit_hook;

int strtoint(const char* text, int32_t* out);
void print_usage();
void print_version();
int check_packet_type(FILE* file);
long long get_file_size(const char* path);

#endif
