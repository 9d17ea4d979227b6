// The sections tsgen carries: PSI of the programs and the ARIB SI around them.
#ifndef TSGEN_SI_TABLES_H
#define TSGEN_SI_TABLES_H

#include <cstdint>
#include <vector>

#include "plan.h"
#include "rng.h"
#include "tsbuild.h"

namespace tsgen {

// PAT with the network entry (program 0 -> 0x0010) and every program.
tsb::Bytes make_pat(const std::vector<Program>& programs, uint8_t version);
// PMT with the CA descriptor naming the ECM PID; program index 0 carries
// enough ES_info descriptors to span three packets.
tsb::Bytes make_pmt(const Program& program);
// CAT with one CA descriptor naming the EMM PID, with two private bytes.
tsb::Bytes make_cat();
// NIT of the actual network: network name and service list.
tsb::Bytes make_nit(const std::vector<Program>& programs);
// SDT (table_id 0x42) with ARIB-coded provider and service names.
tsb::Bytes make_sdt(const std::vector<Program>& programs);
// EIT present/following (table_id 0x4E), present event of one service.
tsb::Bytes make_eit(const Program& program);
// EIT present/following of one service, section 0 (present event) and
// section 1 (following event) back to back; once `changed`, half way through
// the stream (change_seconds after 21:00:00), the following event has become
// the present one and both sections go to version 1.
tsb::Bytes make_eit_present_following(const Program& program, bool changed, uint64_t change_seconds);
// EIT schedule (table_id 0x50 to 0x57) of one service: two sections of four
// events, back to back, the segment chosen by turn.
tsb::Bytes make_eit_schedule(const Program& program, unsigned turn);
// TOT (table_id 0x73) for seconds after 2024-04-01 21:00:00 JST.
tsb::Bytes make_tot(uint64_t seconds);
// BIT (table_id 0xC4) with no broadcaster entries.
tsb::Bytes make_bit();
// ECM (table_id 0x82) and EMM (table_id 0x85) sections with opaque bodies.
tsb::Bytes make_ecm(const Program& program, Rng& rng);
tsb::Bytes make_emm(Rng& rng);

}  // namespace tsgen

#endif
