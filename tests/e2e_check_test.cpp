// End-to-end runs of --check: the continuity rules on crafted packets, the
// table and totals of a damaged copy of the sample, and that the check adds
// its own lines and changes nothing else.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "e2e_cli_common.h"
#include "support.h"

namespace {

using e2e::after_banner;

// "7": payload only with counter 7; a letter in front changes the packet:
// a adaptation field only, d discontinuity_indicator, e transport error,
// n adaptation_field_control 00, s scrambled; "c7@900" carries the PCR of
// base 900 (90 kHz), "j7@900" the same with discontinuity_indicator. A "+"
// at the end puts the packet on the next PID.
tsb::Packet crafted(uint16_t pid, const std::string& spec) {
    tsb::Header h;
    h.pid = pid;
    const char kind = std::isdigit(static_cast<unsigned char>(spec[0])) ? 'p' : spec[0];
    h.cc = static_cast<uint8_t>(std::stoi(kind == 'p' ? spec : spec.substr(1)));
    h.error = kind == 'e';
    h.scrambling = kind == 's' ? 2 : 0;
    if (kind == 'n') h.afc = 0;
    if (kind == 'a') return tsb::make_packet(h, {}, tsb::AdaptationField{0, {}, {}, true, {}});
    if (kind == 'd') return tsb::make_packet(h, {0x11}, tsb::AdaptationField{0x80, {}, {}, false, {}});
    if (kind == 'c' || kind == 'j') {
        const tsb::Pcr pcr{std::stoull(spec.substr(spec.find('@') + 1)), 0};
        return tsb::make_packet(h, {0x11},
                                tsb::AdaptationField{uint8_t(kind == 'j' ? 0x80 : 0), pcr, {}, false, {}});
    }
    return tsb::make_packet(h, tsb::Bytes(184, 0x11));
}

// The summary row of pid in a report run's output.
std::string row_of(const std::string& out, int pid) {
    char head[8];
    std::snprintf(head, sizeof head, "0x%04X ", pid);
    const size_t at = out.find(std::string("\n") + head);
    return at == std::string::npos ? "" : out.substr(at + 1, out.find('\n', at + 1) - at - 1);
}

struct ContinuityCase {
    const char* what;
    uint16_t pid;
    std::vector<std::string> packets;
    const char* counts;  // drops errors scrambled duplicates pcr_gaps
    std::string events;
};

TEST(Check, ContinuityRulesOnCraftedPackets) {
    const ContinuityCase cases[] = {
        {"first packet, then +1", 0x0100, {"7", "8", "9"}, "0 0 0 0 0", ""},
        {"wrap from 15 to 0", 0x0100, {"14", "15", "0", "1"}, "0 0 0 0 0", ""},
        {"no payload repeats the counter", 0x0100, {"3", "a3", "4"}, "0 0 0 0 0", ""},
        {"no payload that moves on",
         0x0100,
         {"3", "a4", "5"},
         "1 0 0 0 0",
         "00000001: Drop PID 0x0100 expected 3 found 4 missing 1 at --:--:--.---\n"},
        {"one duplicate", 0x0100, {"3", "3", "4"}, "0 0 0 1 0", ""},
        {"a second repeat is a drop",
         0x0100,
         {"3", "3", "3", "4"},
         "1 0 0 1 0",
         "00000002: Drop PID 0x0100 expected 4 found 3 missing 15 at --:--:--.---\n"},
        {"four copies: the third and fourth are drops",
         0x0100,
         {"3", "3", "3", "3", "4"},
         "2 0 0 1 0",
         "00000002: Drop PID 0x0100 expected 4 found 3 missing 15 at --:--:--.---\n"
         "00000003: Drop PID 0x0100 expected 4 found 3 missing 15 at --:--:--.---\n"},
        {"a counter stuck for 20 packets", 0x0100, std::vector<std::string>(20, "15"), "18 0 0 1 0", ""},
        {"no payload with the counter does not end the row",
         0x0100,
         {"3", "3", "a3", "3", "4"},
         "1 0 0 1 0",
         ""},
        {"discontinuity_indicator", 0x0100, {"3", "d9", "10"}, "0 0 0 0 0", ""},
        {"error packets left out", 0x0100, {"3", "e12", "4"}, "0 1 0 0 0", ""},
        {"control 00 ignored", 0x0100, {"3", "n9", "4"}, "0 0 0 0 0", ""},
        {"scrambled, one lost",
         0x0100,
         {"s3", "s4", "s6"},
         "1 0 3 0 0",
         "00000002: Drop PID 0x0100 expected 5 found 6 missing 1 at --:--:--.---\n"},
        {"a scrambled run around an error", 0x0100, {"s3", "e4", "s4", "a4", "5", "s6"}, "0 1 3 0 0", ""},
        {"the null PID", 0x1FFF, {"3", "3", "9", "a0"}, "0 0 0 0 0", ""},
        {"PCRs 40 ms apart across the 33-bit wrap",
         0x0100,
         {"c0@8589930000", "c1@8589933600", "c2@5608"},
         "0 0 0 0 0",
         ""},
        {"a PCR 150 ms on, then one back",
         0x0100,
         {"c0@0", "c1@13500", "c2@9000"},
         "0 0 0 0 2",
         "00000001: PCR gap PID 0x0100 0.150 s at 00:00:00.150\n"
         "00000002: PCR gap PID 0x0100 -0.050 s at 00:00:00.150\n"},
        {"PCRs 100 ms apart, then 65 s on",
         0x0100,
         {"c0@0", "c1@9000", "c2@5859000"},
         "0 0 0 0 1",
         "00000002: PCR gap PID 0x0100 65.000 s at 00:01:05.100\n"},
        {"the clock stays on the first PID with PCRs",
         0x0100,
         {"c0@0", "c0@0+", "c1@9000+", "c2@18000+", "c1@13500"},
         "0 0 0 0 1",
         "00000004: PCR gap PID 0x0100 0.150 s at 00:00:00.150\n"},
        {"a PCR jump with discontinuity_indicator", 0x0100, {"c0@0", "j1@900000", "2"}, "0 0 0 0 0", ""},
    };
    for (const ContinuityCase& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        tsb::Packets packets;
        size_t own = 0;
        for (const std::string& text : c.packets) {
            const bool next = text.back() == '+';
            packets.push_back(crafted(c.pid + next, text));
            own += !next;
        }
        const RunResult r = run_tool({"--check", write_packets(dir, packets)});
        EXPECT_EQ(r.exit_code, 0);
        int pid = 0;
        unsigned long long n = 0, drops = 0, errors = 0, scrambled = 0, duplicates = 0, gaps = 0;
        std::sscanf(row_of(r.out, c.pid).c_str(), "0x%x %llu %llu %llu %llu %llu %llu", &pid, &n, &drops,
                    &errors, &scrambled, &duplicates, &gaps);
        EXPECT_EQ(n, own);
        EXPECT_EQ(std::to_string(drops) + " " + std::to_string(errors) + " " + std::to_string(scrambled) +
                      " " + std::to_string(duplicates) + " " + std::to_string(gaps),
                  c.counts);
        EXPECT_EQ(after_banner(r.out).substr(0, c.events.size()), c.events);
    }
}

bool carries_pcr(const tsb::Packet& p) { return (p[3] & 0x20) && p[4] >= 7 && (p[5] & 0x10); }

void move_pcr(tsb::Packet& p, uint64_t base_ticks) {
    uint64_t base = 0;
    for (int i = 6; i < 10; ++i) base = base << 8 | p[i];
    base = (base << 1 | p[10] >> 7) + base_ticks;
    tsb::encode_pcr(p.data() + 6, tsb::Pcr{base, static_cast<uint16_t>((p[10] & 1) << 8 | p[11])});
}

// The sample with packets cut out, an error flag, scrambled packets (the last
// run going on at the end), a repeated packet, a record without sync byte, a
// PCR moved two seconds on, and two versions of the target's PMT between two
// PATs, the first moving the audio to 0x0103, the second back to 0x0101.
struct Damaged {
    tsb::Packets packets;
    std::map<int, std::vector<unsigned>> counts;  // per PID: packets drops errors scrambled duplicates gaps
};

Damaged damage_sample() {
    const tsb::Packets sample = read_packets(sample_path());
    std::map<int, int> seen;
    Damaged d;
    const auto keep = [&d](const tsb::Packet& p) {
        d.packets.push_back(p);
        std::vector<unsigned>& c = d.counts[tsb::pid_of(p)];
        c.resize(6);
        c[0] += 1;
    };
    int pcrs = 0;
    for (tsb::Packet p : sample) {
        const int pid = tsb::pid_of(p);
        const int n = seen[pid]++;
        if (pid == 0x0100 && n >= 300 && n < 303) continue;  // one drop, three missing
        if (pid == 0x0110 && n == 100) p[1] |= 0x80;         // an error, and the next packet is a drop
        if (pid == 0x0110 && ((n >= 200 && n < 204) || n >= 469)) p[3] |= 0x80;
        if (pid == 0x0100 && carries_pcr(p) && ++pcrs == 5) move_pcr(p, 2 * 90000);  // a gap, then one back
        if (pid == 0x0100 && n == 400) {  // a record without sync byte, which no PID counts
            d.packets.push_back(p);
            d.packets.back()[0] = 0x00;
        }
        if (pid == 0x0120 && n == 100) keep(p);       // a duplicate
        if (pid == 0x01F0 && (n == 12 || n == 13)) {  // PMT versions 5 and 6, a packet each
            tsb::Pmt pmt{0x0400, 0x0100, tsb::ca_descriptor(5, 0x0180), {}, {{0x02, 0x0100, {}, {}}}};
            pmt.streams.push_back({0x0F, static_cast<uint16_t>(n == 12 ? 0x0103 : 0x0101), {}, {}});
            tsb::SectionOpts o;
            o.version = n == 12 ? 5 : 6;
            uint8_t cc = tsb::cc_of(p);
            p = tsb::psi_packets(0x01F0, tsb::pmt_section(pmt, o), cc)[0];
        }
        keep(p);
        if (pid == 0x01F0 && n == 12) keep(e2e::payload_packet(0x0103, 0x11));
    }
    d.counts[0x0100][1] = 1;
    d.counts[0x0100][5] = 2;
    d.counts[0x0110][1] = 1;
    d.counts[0x0110][2] = 1;
    d.counts[0x0110][3] = 7;
    d.counts[0x0120][4] = 1;
    return d;
}

const std::map<int, std::string> kSampleContent = {
    {0x0000, "PAT"},
    {0x0001, "CAT"},
    {0x0010, "NIT"},
    {0x0011, "SDT/BAT"},
    {0x0012, "EIT"},
    {0x0014, "TDT/TOT"},
    {0x0024, "BIT"},
    {0x0026, "EIT"},
    {0x0027, "EIT"},
    {0x0180, "ECM"},
    {0x01E1, "PMT"},
    {0x01F0, "PMT"},
    {0x01F1, "PMT"},
    {0x01F2, "PMT"},
    {0x01F3, "PMT"},
    {0x0901, "EMM"},
    {0x1FFF, "null"},
    {0x0100,
     "ITU-T Rec. H.262 | ISO/IEC 13818(MPEG-2)-2 Video or ISO/IEC 11172-2 constrained parameter video "
     "stream"},
    {0x0101, "ISO/IEC 13818(MPEG-2)-7 Audio with ADTS transport syntax"},
    {0x0103, "ISO/IEC 13818(MPEG-2)-7 Audio with ADTS transport syntax"},
    {0x0102, "ISO/IEC 13818(MPEG-2)-7 Audio with ADTS transport syntax"}};

TEST(Check, DamagedSampleTableAndTotals) {
    const Damaged d = damage_sample();
    // The input is counted as read: with -e, before non-target packets become
    // null packets; in 192-byte records, behind the timestamps.
    for (const auto& [option, framing] :
         {std::pair<const char*, size_t>{"-c", 188}, {"-ce", 188}, {"-c", 192}}) {
        SCOPED_TRACE(std::string(option) + " " + std::to_string(framing));
        TempDir dir;
        const std::string in = write_packets(dir, d.packets, "in.ts", framing);
        const RunResult r = run_tool({option, in, "0x400", dir.file("out.ts")});
        ASSERT_EQ(r.exit_code, 0);
        const tsb::Packets written = read_packets(dir.file("out.ts"), framing);
        std::set<int> written_pids;
        for (const tsb::Packet& p : written) written_pids.insert(tsb::pid_of(p));

        std::string table =
            "PID         packets    drops   errors scrambled duplicates pcr_gaps written content\n";
        for (const auto& [pid, c] : d.counts) {
            char row[160];
            std::snprintf(row, sizeof row, "0x%04X %12u %8u %8u %9u %10u %8u %-7s ", pid, c[0], c[1], c[2],
                          c[3], c[4], c[5], written_pids.count(pid) ? "yes" : "no");
            table += row + (kSampleContent.count(pid) ? kSampleContent.at(pid) : "unknown") + "\n";
        }
        const std::string totals =
            "Check input: packets=" + std::to_string(d.packets.size() - 1) +
            " drops=2 errors=1 scrambled=7 duplicates=1 pcr_gaps=2 sync_errors=1\n"
            "Check output: packets=" +
            std::to_string(written.size() - 1) +  // the record without sync byte is written, but no PID's
            " drops=1 errors=0 scrambled=0 duplicates=0 pcr_gaps=2 sync_errors=1\nDone.\n";
        const size_t at = r.out.find("\r100 %\n****************** Check Information ******************\n");
        ASSERT_NE(at, std::string::npos) << r.out;
        EXPECT_EQ(r.out.substr(r.out.find('\n', at + 7) + 1),
                  table + "-----------------------------------------------------\n" + totals);

        std::vector<std::string> events;
        const std::regex event(
            "[0-9A-F]{8}: (Drop|PCR gap) PID (0x[0-9A-F]{4}) [^\n]* at \\d\\d:\\d\\d:\\d\\d\\.\\d{3}\n");
        for (std::sregex_iterator i(r.out.begin(), r.out.end(), event), end; i != end; ++i)
            events.push_back((*i)[1].str() + " " + (*i)[2].str());
        std::sort(events.begin(), events.end());
        EXPECT_EQ(events, (std::vector<std::string>{"Drop 0x0100", "Drop 0x0110", "PCR gap 0x0100",
                                                    "PCR gap 0x0100"}));
    }
}

// Without the check's lines, a checked run is the run without --check.
std::string without_check_lines(std::string out) {
    for (const char* kind : {": Drop PID ", ": PCR gap PID "}) {
        for (size_t at; (at = out.find(kind)) != std::string::npos && at >= 8;) {
            out.erase(at - 8, out.find('\n', at) + 1 - (at - 8));
        }
    }
    const size_t summary = out.rfind("\n****************** Check Information");
    const size_t done = out.rfind("\nDone.\n");
    if (summary == std::string::npos || done < summary) return out;
    return out.erase(summary, done - summary);
}

TEST(Check, ChangesNoPacketAndNoOtherText) {
    TempDir dir;
    const std::string damaged = write_packets(dir, damage_sample().packets, "damaged.ts");
    for (const std::string& in : {sample_path(), damaged}) {
        for (const std::vector<std::string>& args : {std::vector<std::string>{in},
                                                     {in, "0x400"},
                                                     {in, "0x400", dir.file("out.ts")},
                                                     {"-e", in, "0x408", dir.file("out.ts")}}) {
            SCOPED_TRACE(in + " " + std::to_string(args.size()) + " arguments");
            const RunResult plain = run_tool(args);
            const tsb::Bytes plain_output = args.size() > 2 ? read_bytes(args.back()) : tsb::Bytes{};
            std::vector<std::string> checked_args = args;
            checked_args.insert(checked_args.begin(), "--check");
            const RunResult checked = run_tool(checked_args);
            EXPECT_EQ(checked.exit_code, plain.exit_code);
            EXPECT_NE(checked.out, plain.out);
            EXPECT_EQ(without_check_lines(checked.out), plain.out);
            if (args.size() > 2) {
                EXPECT_EQ(read_bytes(args.back()), plain_output);
            }
        }
    }
}

}  // namespace
