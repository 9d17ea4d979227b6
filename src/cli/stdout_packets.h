// Packets on standard output: `tsnarrow IN PROGRAM /dev/stdout | player -`.
#ifndef TSNARROW_STDOUT_PACKETS_H
#define TSNARROW_STDOUT_PACKETS_H

// When the run's output argument names the file that standard output is open
// on, standard output must carry the packets and nothing else: its descriptor
// is kept aside for the output, and descriptor 1 is pointed at standard error,
// where every text of the run then goes. Must run before anything is printed.
// Returns the descriptor kept for the packets, or -1 when the output is
// something else.
int take_stdout_for_packets(int argc, char** argv);

#endif
