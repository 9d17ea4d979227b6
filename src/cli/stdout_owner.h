// Who has standard output: the texts, or the packets (`tsnarrow IN PROGRAM -
// | player -`), or the JSON document (`--json -`).
#ifndef TSNARROW_STDOUT_OWNER_H
#define TSNARROW_STDOUT_OWNER_H

// Whether a positional argument is "-", which names standard input as the
// input and standard output as the output. A file named so is reached as ./-.
bool names_standard_stream(const char* argument);

struct STDOUT_OWNER {
    int packets_fd;   // the descriptor kept aside for the packets, or -1
    int document_fd;  // the descriptor kept aside for the JSON document, or -1
    // The JSON document names standard output, which the packets have.
    bool document_refused;
};

// When the run's output argument (or else the --json argument) is "-" or
// names the file that standard output is open on, standard output must carry
// the packets (or the document) and nothing else: its descriptor is kept
// aside for them, and descriptor 1 is pointed at standard error, where every
// text of the run then goes. A standard output that was closed (bit 1 of
// `closed`) is open on no file, so only "-" names it. Must run before
// anything is printed.
STDOUT_OWNER take_stdout_owner(int argc, char** argv, int closed);

#endif
