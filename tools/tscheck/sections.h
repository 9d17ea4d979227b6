// Section assembly across packets and the few tables the checker reads.
#ifndef TSCHECK_SECTIONS_H
#define TSCHECK_SECTIONS_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <utility>
#include <vector>

namespace tscheck {

struct Section {
    size_t packet;  // index of the packet that completed it
    uint16_t pid;
    std::vector<uint8_t> bytes;  // table_id through CRC_32
};

// Collects every section carried on the PIDs it is fed, however they are cut
// over packets, several per packet included. A continuation without a start
// is ignored.
class SectionAssembler {
  public:
    void feed(size_t index, const uint8_t* packet, std::vector<Section>& out);

  private:
    // Moves complete sections from the front of pending to out; returns false
    // when the rest is stuffing or cannot be a section.
    bool drain(size_t index, uint16_t pid, std::vector<uint8_t>& pending, std::vector<Section>& out);
    std::map<uint16_t, std::vector<uint8_t>> pending_;
};

bool crc_ok(const std::vector<uint8_t>& section);

// (program_number, PID) entries of a PAT; false when the section is too short.
bool parse_pat(const std::vector<uint8_t>& s, std::vector<std::pair<uint16_t, uint16_t>>& entries);

struct PmtInfo {
    uint16_t program_number = 0;
    uint8_t version = 0;
    std::set<uint16_t> pids;  // PCR, elementary, ECM of program_info CA descriptors
};
bool parse_pmt(const std::vector<uint8_t>& s, PmtInfo& info);

// CA_PIDs of the CA descriptors of a CAT.
bool parse_cat(const std::vector<uint8_t>& s, std::set<uint16_t>& emm_pids);

}  // namespace tscheck

#endif
