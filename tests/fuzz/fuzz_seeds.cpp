// Cuts transport streams (as tsgen writes them) into small seed inputs for the
// fuzz targets, in the layout each target reads:
//   fuzz_packet_path: mode byte, target program (2 bytes), whole records;
//   fuzz_psi_tables:  flags byte, target program, then selector + 188 bytes,
//                     and whole PMT, SDT and EIT sections (selector, size, bytes);
//   fuzz_arib_iconv:  one coded service or provider name from the SDT.
// Usage: fuzz_seeds OUT_DIR STREAM...
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr size_t PACKET = 188;
constexpr uint16_t TARGET = 0x0400;
constexpr uint16_t SDT_PID = 0x0011;
constexpr uint16_t EIT_PID = 0x0012;
constexpr uint16_t EVENTS_BIT = 0x4000;  // -E, in the packet path's program field

struct Stream {
    size_t framing = PACKET;
    std::vector<Bytes> records;
    const uint8_t* packet(size_t i) const { return records[i].data() + (framing - PACKET); }
};

int pid_of(const uint8_t* p) { return (p[1] & 0x1F) << 8 | p[2]; }

bool is_table_pid(int pid) {
    return pid == 0x0000 || pid == 0x0001 || pid == SDT_PID || (pid >= 0x01E0 && pid <= 0x01F7);
}

bool is_target_pid(int pid) {
    return is_table_pid(pid) || (pid >= 0x0100 && pid <= 0x0102) || pid == 0x0180 || pid == 0x0901;
}

bool read_stream(const std::string& path, Stream& s) {
    std::ifstream in(path, std::ios::binary);
    const Bytes all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (all.size() < 2 * 192) return false;
    s.framing = all[0] == 0x47 && all[PACKET] == 0x47 ? PACKET : 192;
    for (size_t at = 0; at + s.framing <= all.size(); at += s.framing)
        s.records.emplace_back(all.begin() + static_cast<long>(at),
                               all.begin() + static_cast<long>(at + s.framing));
    return true;
}

void write_file(const std::string& path, const Bytes& data) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

Bytes control(uint8_t first, uint16_t program) {
    return {first, static_cast<uint8_t>(program >> 8), static_cast<uint8_t>(program)};
}

// Up to `count` record indexes from `from` on whose PID `keep` accepts.
template <typename Keep>
std::vector<size_t> pick(const Stream& s, size_t from, size_t count, Keep keep) {
    std::vector<size_t> picked;
    for (size_t i = from; i < s.records.size() && picked.size() < count; ++i)
        if (keep(pid_of(s.packet(i)))) picked.push_back(i);
    return picked;
}

// From `from` on, in stream order: for each table PID the packets of its
// first section (the start packet and what follows on that PID up to its next
// start), and the first two packets of each other PID of the target program.
// Tables that repeat rarely (CAT, SDT) come far apart in the stream; this
// brings one of each into a small seed.
std::vector<size_t> one_of_each(const Stream& s, size_t from) {
    std::map<int, int> starts;  // per PID: start packets seen
    std::map<int, int> taken;   // per PID: packets taken
    std::vector<size_t> picked;
    for (size_t i = from; i < s.records.size(); ++i) {
        const uint8_t* p = s.packet(i);
        const int pid = pid_of(p);
        if (!is_target_pid(pid)) continue;
        if (is_table_pid(pid)) {
            if ((p[1] & 0x40) && ++starts[pid] > 1) continue;
            if (starts[pid] == 1 && ++taken[pid] <= 6) picked.push_back(i);
        } else if (++taken[pid] <= 2) {
            picked.push_back(i);
        }
    }
    return picked;
}

void packet_path_seeds(const Stream& s, const std::string& dir, const std::string& tag) {
    const uint8_t framing_bit = s.framing == PACKET ? 0x00 : 0x10;
    const auto any = [](int) { return true; };
    const auto pat_or_eit = [](int pid) { return pid == 0x0000 || pid == EIT_PID; };
    struct Cut {
        const char* name;
        std::vector<size_t> records;
        uint16_t events;
    };
    const Cut cuts[] = {
        {"head", pick(s, 0, 24, any), 0},
        {"program", one_of_each(s, 0), 0},
        {"middle", one_of_each(s, s.records.size() / 2 - 8), 0},
        {"events", pick(s, 0, 32, pat_or_eit), EVENTS_BIT},
    };
    // report, report with a target, extraction, extraction with -e -s
    const uint8_t modes[] = {0x00, 0x80, 0x01, 0x07};
    for (const Cut& cut : cuts) {
        for (uint8_t mode : modes) {
            // The top bit of the program number asks for CRC repairs.
            Bytes seed = control(mode | framing_bit, (mode & 1 ? TARGET | 0x8000 : TARGET) | cut.events);
            for (size_t i : cut.records) seed.insert(seed.end(), s.records[i].begin(), s.records[i].end());
            char name[64];
            std::snprintf(name, sizeof name, "/%s-%s-%02x", tag.c_str(), cut.name, mode);
            write_file(dir + name, seed);
        }
    }
}

uint8_t selector_for(int pid) {
    if (pid == 0x0000) return 0;
    if (pid == 0x0001) return 2;
    if (pid == SDT_PID) return 3;
    return 1;  // a PMT PID
}

// From record `from` on; with a table_id, the first section of that table to
// start a unit.
Bytes first_section(const Stream& s, int pid, size_t from = 0, int table_id = -1);

// Selector 5 (PMT) or 6 (SDT), the size less 3, the section.
void append_whole_section(Bytes& seed, uint8_t selector, const Bytes& section) {
    if (section.size() < 3) return;
    seed.push_back(selector);
    seed.push_back(static_cast<uint8_t>((section.size() - 3) >> 8));
    seed.push_back(static_cast<uint8_t>(section.size() - 3));
    seed.insert(seed.end(), section.begin(), section.end());
}

void psi_table_seeds(const Stream& s, const std::string& dir, const std::string& tag) {
    Bytes sections = control(1, TARGET);
    append_whole_section(sections, 5, first_section(s, 0x01F0));
    append_whole_section(sections, 6, first_section(s, SDT_PID));
    // The present event after the change of a tsgen -E stream, with extended items.
    append_whole_section(sections, 7, first_section(s, EIT_PID, s.records.size() / 2, 0x4E));
    write_file(dir + "/" + tag + "-sections", sections);
    const size_t starts[] = {0, s.records.size() / 2 - 8};
    for (size_t start : starts) {
        for (uint8_t report : {0, 1}) {
            Bytes seed = control(static_cast<uint8_t>(report | 2), TARGET);
            for (size_t i : one_of_each(s, start)) {
                const uint8_t* p = s.packet(i);
                if (!is_table_pid(pid_of(p))) continue;
                seed.push_back(selector_for(pid_of(p)));
                seed.insert(seed.end(), p, p + PACKET);
            }
            char name[64];
            std::snprintf(name, sizeof name, "/%s-%zu-%u", tag.c_str(), start, report);
            write_file(dir + name, seed);
        }
    }
}

// The first section on pid, from its start packet and the packets that follow.
Bytes first_section(const Stream& s, int pid, size_t from, int table_id) {
    Bytes section;
    size_t wanted = 0;
    for (size_t i = from; i < s.records.size(); ++i) {
        const uint8_t* p = s.packet(i);
        if (pid_of(p) != pid || !(p[3] & 0x10)) continue;
        size_t at = (p[3] & 0x20) ? 5 + p[4] : 4;
        if (at >= PACKET) continue;
        if (p[1] & 0x40) {
            at += 1 + p[at];
            section.clear();
            wanted = 0;
            if (at + 3 > PACKET || (table_id >= 0 && p[at] != table_id)) continue;
            wanted = 3 + ((p[at + 1] & 0x0F) << 8 | p[at + 2]);
        } else if (wanted == 0) {
            continue;
        }
        for (; at < PACKET && section.size() < wanted; ++at) section.push_back(p[at]);
        if (section.size() == wanted) return section;
    }
    return {};
}

void arib_seeds(const Stream& s, const std::string& dir, const std::string& tag) {
    const Bytes sdt = first_section(s, SDT_PID);
    if (sdt.size() < 15) return;
    const size_t loop_end = sdt.size() - 4;
    int written = 0;
    const auto write_name = [&](size_t at, size_t length) {
        if (length == 0 || at + length > loop_end) return;
        char name[64];
        std::snprintf(name, sizeof name, "/%s-name%d", tag.c_str(), written++);
        write_file(dir + name,
                   Bytes(sdt.begin() + static_cast<long>(at), sdt.begin() + static_cast<long>(at + length)));
    };
    size_t pos = 11;
    while (pos + 5 <= loop_end) {
        const size_t end = pos + 5 + ((sdt[pos + 3] & 0x0F) << 8 | sdt[pos + 4]);
        for (pos += 5; pos + 2 <= end && end <= loop_end; pos += 2 + sdt[pos + 1]) {
            if (sdt[pos] != 0x48 || pos + 4 > end) continue;
            const size_t provider = sdt[pos + 3];
            write_name(pos + 4, provider);
            if (pos + 5 + provider <= end) write_name(pos + 5 + provider, sdt[pos + 4 + provider]);
        }
        pos = end;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: fuzz_seeds OUT_DIR STREAM...\n");
        return 2;
    }
    const std::string out = argv[1];
    for (int i = 2; i < argc; ++i) {
        Stream s;
        if (!read_stream(argv[i], s)) {
            std::fprintf(stderr, "fuzz_seeds: %s is too short or unreadable\n", argv[i]);
            return 1;
        }
        const std::string tag = "s" + std::to_string(i - 1);
        packet_path_seeds(s, out + "/fuzz_packet_path", tag);
        psi_table_seeds(s, out + "/fuzz_psi_tables", tag);
        arib_seeds(s, out + "/fuzz_arib_iconv", tag);
    }
    return 0;
}
