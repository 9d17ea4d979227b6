// One-line bridges from the stream builder to files the tool can read.
#ifndef TSNARROW_TESTS_STREAM_FILES_H
#define TSNARROW_TESTS_STREAM_FILES_H

#include <string>

#include "temp_dir.h"
#include "tsbuild.h"

// Writes the stream into dir as name (188 or 192 framing); returns its path.
std::string write_stream(const TempDir& dir, const tsb::Stream& stream, const std::string& name = "in.ts",
                         size_t framing = tsb::kPacketSize);

// Writes the packets as a stream; returns the path.
std::string write_packets(const TempDir& dir, const tsb::Packets& packets, const std::string& name = "in.ts",
                          size_t framing = tsb::kPacketSize);

// The extracted file split back into 188-byte packets (framing 188 or 192;
// timestamps dropped). Throws when the size is not a whole number of packets.
tsb::Packets read_packets(const std::string& path, size_t framing = tsb::kPacketSize);

// The bundled sample stream (samples/sample.ts).
std::string sample_path();

#endif
