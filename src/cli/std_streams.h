// The standard descriptors of a run and the stream its texts go through.
#ifndef TSNARROW_STD_STREAMS_H
#define TSNARROW_STD_STREAMS_H

// Gives each closed standard descriptor (0, 1, 2) a placeholder that fails
// every use: reads for 0 (which no name of it opens), writes for 1 and 2. No
// file the run opens can then land on one of them, where the texts would be
// written into the output or the input. Returns the closed ones as a mask, bit
// n for fd n. Must come before anything is opened.
int guard_standard_descriptors();

// Sends standard output through a stream of the tool's own over descriptor 1,
// buffered, which remembers the first write that failed and why. When the
// texts were moved to standard error (standard output carries the packets),
// their failures do not fail the run: there is nowhere to report them.
void take_text_output(bool texts_on_stderr);

// Whether a text meant for standard output has been lost.
bool texts_failed();

// Flushes and closes standard output. When a text was lost, says so on
// standard error with the system's reason and returns 1; else `status`.
int finish_texts(int status);

#endif
