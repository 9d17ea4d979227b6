// Stream builder for tests and generators: transport packets, PSI sections
// with their CRC_32, PES packets, and whole streams in 188- or 192-byte
// framing. It shares no code with the tool it is used to test.
//
// A typical test:
//   tsb::Stream s;
//   s.psi(0x0000, tsb::pat_section(1, {{0, 0x0010}, {0x0400, 0x01F0}}));
//   tsb::Pmt pmt;
//   pmt.program_number = 0x0400;
//   pmt.pcr_pid = 0x0100;
//   pmt.streams = {{0x02, 0x0100, {}}, {0x0F, 0x0110, {}}};
//   s.psi(0x01F0, tsb::pmt_section(pmt));
//   s.nulls(3);
//   s.write(path);
#ifndef TSBUILD_TSBUILD_H
#define TSBUILD_TSBUILD_H

#include "crc32.h"
#include "packet.h"
#include "packetize.h"
#include "pes.h"
#include "section.h"
#include "stream.h"
#include "types.h"

#endif
