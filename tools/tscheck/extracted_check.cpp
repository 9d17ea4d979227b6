#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <utility>

#include "sections.h"
#include "ts_view.h"
#include "tscheck.h"

namespace tscheck {
namespace {

const std::set<uint16_t> kAlwaysAllowed = {0x0000, 0x0001, 0x0010, 0x0011, 0x0012,
                                           0x0014, 0x0024, 0x0026, 0x0027, 0x1FFF};
constexpr size_t kMaxProblems = 40;
constexpr uint16_t kNull = 0x1FFF;

// b may follow a on the same PID without a continuity break.
bool continuous(const uint8_t* a, const uint8_t* b) {
    if (discontinuity(b)) return true;
    if (!has_payload(b)) return cc_of(b) == cc_of(a);
    return cc_of(b) == ((cc_of(a) + 1) & 0x0F) || cc_of(b) == cc_of(a);
}

// The extracted packet o is the input packet i, allowing for the PAT rewrite
// (which keeps the header but may clear the adaptation field bit).
bool same_packet(const uint8_t* o, const uint8_t* i) {
    if (pid_of(o) == 0) return o[1] == i[1] && o[2] == i[2] && (o[3] & 0xDF) == (i[3] & 0xDF);
    return std::equal(o, o + 188, i);
}

class Checker {
  public:
    Checker(const TsView& out, const TsView* in, int program, Report& report)
        : out_(out), in_(in), program_(program), report_(report) {}

    void run() {
        check_pats();
        collect_tables();
        check_pids();
        check_continuity();
        report_.program = program_;
        report_.packets = out_.count();
    }

  private:
    void problem(const char* format, ...) __attribute__((format(printf, 2, 3))) {
        if (report_.problems.size() == kMaxProblems) report_.problems.push_back("(more problems not listed)");
        if (report_.problems.size() > kMaxProblems) return;
        char text[256];
        va_list args;
        va_start(args, format);
        std::vsnprintf(text, sizeof text, format, args);
        va_end(args);
        report_.problems.push_back(text);
    }

    // Value in force at packet index: the last change at or before it, or the first one.
    template <typename T>
    static const T* in_force(const std::vector<std::pair<size_t, T>>& changes, size_t index) {
        if (changes.empty()) return nullptr;
        auto after = std::upper_bound(changes.begin(), changes.end(), index,
                                      [](size_t i, const std::pair<size_t, T>& c) { return i < c.first; });
        return after == changes.begin() ? &changes.front().second : &std::prev(after)->second;
    }

    void check_pats() {
        SectionAssembler assembler;
        std::vector<Section> sections;
        for (size_t i = 0; i < out_.count(); ++i) {
            const uint8_t* p = out_.packet(i);
            if (p[0] != 0x47) {
                problem("packet %zu: sync byte 0x%02X", i, p[0]);
                continue;
            }
            if (pid_of(p) == 0) assembler.feed(i, p, sections);
        }
        if (sections.empty()) problem("no PAT");
        for (const Section& s : sections) check_pat(s);
    }

    void check_pat(const Section& s) {
        std::vector<std::pair<uint16_t, uint16_t>> entries;
        if (s.bytes[0] != 0x00)
            return problem("packet %zu: table_id 0x%02X on PID 0x0000", s.packet, s.bytes[0]);
        if (!crc_ok(s.bytes)) return problem("packet %zu: PAT CRC_32 is wrong", s.packet);
        if (!parse_pat(s.bytes, entries)) return problem("packet %zu: PAT too short", s.packet);
        if (program_ < 0) {
            for (const auto& e : entries) {
                if (e.first != 0) {
                    program_ = e.first;
                    break;
                }
            }
        }
        int networks = 0, targets = 0;
        std::string others;
        for (const auto& e : entries) {
            if (e.first == 0) {
                ++networks;
            } else if (e.first == program_) {
                ++targets;
                pmt_pid_changes_.emplace_back(s.packet, e.second);
            } else {
                char text[16];
                std::snprintf(text, sizeof text, " 0x%04X", e.first);
                others += text;
            }
        }
        if (networks != 1 || targets != 1 || !others.empty())
            problem("packet %zu: PAT has %d network and %d target entries, others:%s", s.packet, networks,
                    targets, others.empty() ? " none" : others.c_str());
    }

    void collect_tables() {
        std::set<uint16_t> pmt_pids;
        for (const auto& change : pmt_pid_changes_) pmt_pids.insert(change.second);
        SectionAssembler assembler;
        std::vector<Section> sections;
        for (size_t i = 0; i < out_.count(); ++i) {
            const uint8_t* p = out_.packet(i);
            if (p[0] == 0x47 && (pid_of(p) == 0x0001 || pmt_pids.count(pid_of(p))))
                assembler.feed(i, p, sections);
        }
        for (const Section& s : sections) {
            if (!crc_ok(s.bytes)) continue;
            PmtInfo pmt;
            if (s.pid == 0x0001 && s.bytes[0] == 0x01) {
                parse_cat(s.bytes, emm_pids_);
            } else if (parse_pmt(s.bytes, pmt) && pmt.program_number == program_ &&
                       *in_force(pmt_pid_changes_, s.packet) == s.pid) {
                pmt_changes_.emplace_back(s.packet, pmt.pids);
            }
        }
        if (!pmt_pid_changes_.empty() && pmt_changes_.empty())
            problem("no complete PMT of program %d", program_);
        if (in_) collect_input_emm_pids();
    }

    // The CAT may have been dropped from the extracted stream (SI dropped)
    // while its EMM PID was kept: the input's CATs name it too.
    void collect_input_emm_pids() {
        SectionAssembler assembler;
        std::vector<Section> sections;
        for (size_t i = 0; i < in_->count(); ++i) {
            const uint8_t* p = in_->packet(i);
            if (p[0] == 0x47 && pid_of(p) == 0x0001) assembler.feed(i, p, sections);
        }
        for (const Section& s : sections) {
            if (s.bytes[0] == 0x01 && crc_ok(s.bytes)) parse_cat(s.bytes, emm_pids_);
        }
    }

    void check_pids() {
        std::map<uint16_t, std::pair<uint64_t, size_t>> unexpected;  // count, first packet
        for (size_t i = 0; i < out_.count(); ++i) {
            const uint8_t* p = out_.packet(i);
            if (p[0] != 0x47) continue;
            const uint16_t pid = pid_of(p);
            ++report_.pid_counts[pid];
            if (kAlwaysAllowed.count(pid) || emm_pids_.count(pid)) continue;
            const uint16_t* pmt_pid = in_force(pmt_pid_changes_, i);
            const std::set<uint16_t>* named = in_force(pmt_changes_, i);
            if ((pmt_pid && *pmt_pid == pid) || (named && named->count(pid))) continue;
            auto& entry = unexpected[pid];
            if (entry.first++ == 0) entry.second = i;
        }
        for (const auto& u : unexpected)
            problem("PID 0x%04X: %llu packets not named by the PAT, PMT or CAT in force (first: packet %zu)",
                    u.first, static_cast<unsigned long long>(u.second.first), u.second.second);
    }

    // Input packet matched to each extracted packet (SIZE_MAX for none).
    std::vector<size_t> match_input() {
        std::vector<size_t> matched(out_.count(), SIZE_MAX);
        std::map<uint16_t, std::vector<size_t>> by_pid;
        for (size_t i = 0; i < in_->count(); ++i) by_pid[pid_of(in_->packet(i))].push_back(i);
        std::map<uint16_t, size_t> cursor;
        size_t last = 0;
        bool any = false;
        for (size_t o = 0; o < out_.count() && report_.problems.size() < kMaxProblems; ++o) {
            const uint8_t* p = out_.packet(o);
            if (p[0] != 0x47 || pid_of(p) == kNull) continue;
            const std::vector<size_t>& list = by_pid[pid_of(p)];
            size_t& c = cursor[pid_of(p)];
            while (c < list.size() && any && list[c] <= last) ++c;
            size_t k = c;
            while (k < list.size() && !same_packet(p, in_->packet(list[k]))) ++k;
            if (k == list.size()) {
                problem("packet %zu (PID 0x%04X) has no counterpart in the input", o, pid_of(p));
                continue;
            }
            matched[o] = last = list[k];
            any = true;
            c = k + 1;
            if (out_.framing() == 192 && in_->framing() == 192 && out_.timestamp(o) != in_->timestamp(last))
                problem("packet %zu: timestamp differs from input packet %zu", o, last);
        }
        return matched;
    }

    // For each input packet: continuity breaks of its PID up to and including it.
    std::vector<uint32_t> input_breaks() {
        std::vector<uint32_t> breaks(in_->count(), 0);
        std::map<uint16_t, std::pair<size_t, uint32_t>> last;  // previous packet, breaks so far
        for (size_t i = 0; i < in_->count(); ++i) {
            const uint8_t* p = in_->packet(i);
            auto found = last.find(pid_of(p));
            uint32_t count = 0;
            if (found != last.end())
                count = found->second.second + (continuous(in_->packet(found->second.first), p) ? 0 : 1);
            last[pid_of(p)] = {i, count};
            breaks[i] = count;
        }
        return breaks;
    }

    void check_continuity() {
        std::vector<size_t> matched;
        std::vector<uint32_t> breaks;
        if (in_) {
            matched = match_input();
            breaks = input_breaks();
        }
        std::map<uint16_t, size_t> previous;
        for (size_t o = 0; o < out_.count(); ++o) {
            const uint8_t* p = out_.packet(o);
            if (p[0] != 0x47 || pid_of(p) == kNull) continue;
            auto found = previous.find(pid_of(p));
            if (found != previous.end() && !continuous(out_.packet(found->second), p)) {
                const size_t a = found->second;
                if (!in_) {
                    problem("PID 0x%04X: continuity broken between packets %zu and %zu", pid_of(p), a, o);
                } else if (matched[a] != SIZE_MAX && matched[o] != SIZE_MAX &&
                           breaks[matched[a]] == breaks[matched[o]]) {
                    problem(
                        "PID 0x%04X: continuity broken between packets %zu and %zu (input %zu..%zu unbroken)",
                        pid_of(p), a, o, matched[a], matched[o]);
                }
            }
            previous[pid_of(p)] = o;
        }
    }

    const TsView& out_;
    const TsView* in_;
    int program_;
    Report& report_;
    std::vector<std::pair<size_t, uint16_t>> pmt_pid_changes_;
    std::vector<std::pair<size_t, std::set<uint16_t>>> pmt_changes_;
    std::set<uint16_t> emm_pids_;
};

bool read_file(const std::string& path, std::vector<uint8_t>& data) {
    std::ifstream f(path, std::ios::binary);
    if (!f) return false;
    data.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    return !f.bad();
}

}  // namespace

std::string Report::verdict() const {
    char head[96];
    if (program < 0) {
        std::snprintf(head, sizeof head, "%s: program unknown, %llu packets", ok ? "OK" : "FAIL",
                      static_cast<unsigned long long>(packets));
    } else {
        std::snprintf(head, sizeof head, "%s: program 0x%04X(%d), %llu packets", ok ? "OK" : "FAIL", program,
                      program, static_cast<unsigned long long>(packets));
    }
    std::string text = head;
    text += ", PIDs";
    for (const auto& c : pid_counts) {
        char item[32];
        std::snprintf(item, sizeof item, " %04X:%llu", c.first, static_cast<unsigned long long>(c.second));
        text += item;
    }
    text += "\n";
    for (const std::string& p : problems) text += "  " + p + "\n";
    return text;
}

Report check_extracted(const std::vector<uint8_t>& output, const std::vector<uint8_t>* input, int program) {
    Report report;
    report.program = program;
    const TsView out(output);
    if (out.framing() == 0) {
        report.problems.push_back(output.empty() ? "extracted stream is empty"
                                                 : "extracted stream has no sync bytes");
        return report;
    }
    std::unique_ptr<TsView> in;
    if (input) {
        in.reset(new TsView(*input));
        if (in->framing() == 0) {
            report.problems.push_back("input stream has no sync bytes");
            return report;
        }
    }
    Checker(out, in.get(), program, report).run();
    report.ok = report.problems.empty();
    return report;
}

Report check_extracted_files(const std::string& output_path, const std::string& input_path, int program) {
    std::vector<uint8_t> output, input;
    Report report;
    report.program = program;
    if (!read_file(output_path, output)) {
        report.problems.push_back("cannot read " + output_path);
        return report;
    }
    if (!input_path.empty() && !read_file(input_path, input)) {
        report.problems.push_back("cannot read " + input_path);
        return report;
    }
    return check_extracted(output, input_path.empty() ? nullptr : &input, program);
}

}  // namespace tscheck
