// Packets on standard output: `tsnarrow IN PROGRAM - | player -`.
#ifndef TSNARROW_STDOUT_PACKETS_H
#define TSNARROW_STDOUT_PACKETS_H

// Whether a positional argument is "-", which names standard input as the
// input and standard output as the output. A file named so is reached as ./-.
bool names_standard_stream(const char* argument);

// When the run's output argument is "-" or names the file that standard
// output is open on, standard output must carry the packets and nothing else:
// its descriptor is kept aside for the output, and descriptor 1 is pointed at
// standard error, where every text of the run then goes. A standard output
// that was closed (bit 1 of `closed`) is open on no file, so only "-" names
// it. Must run before anything is printed. Returns the descriptor kept for the
// packets, or -1 when the output is something else.
int take_stdout_for_packets(int argc, char** argv, int closed);

#endif
