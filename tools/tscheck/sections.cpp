#include "sections.h"

#include <algorithm>

#include "crc32.h"
#include "ts_view.h"

namespace tscheck {
namespace {

size_t section_size(const std::vector<uint8_t>& s) { return ((s[1] & 0x0F) << 8 | s[2]) + 3u; }

uint16_t pid13(const uint8_t* b) { return static_cast<uint16_t>((b[0] & 0x1F) << 8 | b[1]); }
uint16_t len12(const uint8_t* b) { return static_cast<uint16_t>((b[0] & 0x0F) << 8 | b[1]); }

// Long-form header (8 bytes) plus CRC_32 must fit, and the size must match.
bool long_form(const std::vector<uint8_t>& s) { return s.size() >= 12 && section_size(s) == s.size(); }

// CA_PIDs of the CA descriptors in [from, to) of s.
void ca_pids(const std::vector<uint8_t>& s, size_t from, size_t to, std::set<uint16_t>& out) {
    while (from + 2 <= to) {
        const uint8_t tag = s[from];
        const size_t end = from + 2 + s[from + 1];
        if (end > to) break;
        if (tag == 0x09 && end - from >= 6) out.insert(pid13(&s[from + 4]));
        from = end;
    }
}

}  // namespace

bool SectionAssembler::drain(size_t index, uint16_t pid, std::vector<uint8_t>& pending,
                             std::vector<Section>& out) {
    while (!pending.empty()) {
        if (pending[0] == 0xFF) return false;
        if (pending.size() < 3) return true;
        const size_t size = section_size(pending);
        if (pending.size() < size) return true;
        out.push_back(
            {index, pid, std::vector<uint8_t>(pending.begin(), pending.begin() + static_cast<long>(size))});
        pending.erase(pending.begin(), pending.begin() + static_cast<long>(size));
    }
    return false;
}

void SectionAssembler::feed(size_t index, const uint8_t* p, std::vector<Section>& out) {
    if (!has_payload(p)) return;
    const size_t start = has_adaptation(p) ? 5u + p[4] : 4u;
    if (start >= 188) return;
    const uint16_t pid = pid_of(p);
    auto it = pending_.find(pid);

    if (!unit_start(p)) {
        if (it == pending_.end()) return;
        it->second.insert(it->second.end(), p + start, p + 188);
        if (!drain(index, pid, it->second, out)) pending_.erase(it);
        return;
    }
    const size_t pointer = p[start];
    const size_t first = start + 1 + pointer;
    if (it != pending_.end()) {
        // The bytes in front of the pointer end the pending section.
        it->second.insert(it->second.end(), p + start + 1, p + std::min<size_t>(first, 188));
        drain(index, pid, it->second, out);
        pending_.erase(it);
    }
    if (first >= 188) return;
    std::vector<uint8_t> fresh(p + first, p + 188);
    if (drain(index, pid, fresh, out)) pending_[pid] = std::move(fresh);
}

bool crc_ok(const std::vector<uint8_t>& section) { return tsb::crc32(section) == 0; }

bool parse_pat(const std::vector<uint8_t>& s, std::vector<std::pair<uint16_t, uint16_t>>& entries) {
    if (!long_form(s) || s[0] != 0x00) return false;
    entries.clear();
    for (size_t at = 8; at + 4 <= s.size() - 4; at += 4)
        entries.emplace_back(static_cast<uint16_t>(s[at] << 8 | s[at + 1]), pid13(&s[at + 2]));
    return true;
}

bool parse_pmt(const std::vector<uint8_t>& s, PmtInfo& info) {
    if (!long_form(s) || s.size() < 16 || s[0] != 0x02) return false;
    const size_t end = s.size() - 4;
    info.program_number = static_cast<uint16_t>(s[3] << 8 | s[4]);
    info.version = (s[5] >> 1) & 0x1F;
    info.pids = {pid13(&s[8])};
    const size_t info_end = 12 + len12(&s[10]);
    if (info_end > end) return false;
    ca_pids(s, 12, info_end, info.pids);
    for (size_t at = info_end; at + 5 <= end; at += 5 + len12(&s[at + 3]))
        info.pids.insert(pid13(&s[at + 1]));
    return true;
}

bool parse_cat(const std::vector<uint8_t>& s, std::set<uint16_t>& emm_pids) {
    if (!long_form(s) || s[0] != 0x01) return false;
    ca_pids(s, 8, s.size() - 4, emm_pids);
    return true;
}

}  // namespace tscheck
