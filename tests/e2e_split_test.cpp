// End-to-end runs of --split on crafted streams: where the parts begin, their
// names and Part lines, and that the parts joined are the output of the same
// run without --split; the runs it refuses.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <regex>
#include <string>
#include <vector>

#include "e2e_cli_common.h"
#include "support.h"

namespace {

using e2e::after_banner;
using e2e::list_dir;

// Event titles, ARIB coded: Ａ, Ｂ, "a/b", a line break and "c" in the
// alphanumeric set at half size, and 120 kanji.
const tsb::Bytes kTitleA = {0x23, 0x41};
const tsb::Bytes kTitleB = {0x23, 0x42};
const tsb::Bytes kTitleSlash = {0x89, 0x0E, 'a', '/', 'b', 0x0D, 'c'};
const tsb::Bytes kTitleLong = [] {
    tsb::Bytes b;
    for (int i = 0; i < 120; ++i) b.insert(b.end(), {0x30, 0x21});  // 亜
    return b;
}();

// The packets of a stream, one a letter: P a PAT, M the PMT, V video; A, B,
// S, L a present section of program 1 naming event 0x0A, 0x0B, 0x05 (title
// a/b) or 0x0C (long title), a new version each; a bad-CRC one naming B; o
// one of another service naming B; n one with no event.
tsb::Packets stream_of(const std::string& letters) {
    tsb::Stream s;
    uint8_t version = 0;
    for (const char c : letters) {
        const int id = c == 'A' ? 0x0A : c == 'S' ? 0x05 : c == 'L' ? 0x0C : 0x0B;
        const tsb::Bytes& title = c == 'A'   ? kTitleA
                                  : c == 'S' ? kTitleSlash
                                  : c == 'L' ? kTitleLong
                                             : kTitleB;
        tsb::Eit eit;
        eit.service_id = c == 'o' ? 2 : e2e::kProgram;
        if (c != 'n')
            eit.events = {{static_cast<uint16_t>(id),
                           tsb::mjd_time(60401, 21, 0, 0),
                           tsb::bcd_duration(1, 0, 0),
                           4,
                           tsb::short_event_descriptor(title, {}),
                           {}}};
        tsb::SectionOpts o;
        o.version = version++;
        o.bad_crc = c == 'a';
        if (c == 'P') s.add(e2e::pat_packet());
        if (c == 'M') s.add(e2e::pmt_packet());
        if (c == 'V') s.add(e2e::payload_packet(e2e::kEsPid, 0x11));
        if (std::string("ABSLano").find(c) != std::string::npos) s.psi(0x0012, tsb::eit_section(eit, o));
    }
    return s.packets();
}

struct SplitCase {
    const char* what;
    std::string letters;
    std::string name_template;
    std::vector<std::string> lines;  // the Part lines
};

const std::string kEventA = "event=000A start=20240401-210000";
const std::string kEventB = "event=000B start=20240401-210000";
const std::string kSlashName = "a／b_c";
const std::string kLongName = [] {
    std::string name;
    for (int i = 0; i < 83; ++i) name += "亜";  // 249 bytes and ".mts": one more is 256
    return name;
}();

TEST(Split, PartsOfCraftedStreams) {
    const SplitCase cases[] = {
        {"two events",
         "PMVAVPVBVVPVV",
         "out.ts",
         {"Part 1: first=00000001 packets=9 " + kEventA + " file=out-01.ts",
          "Part 2: first=0000000A packets=3 " + kEventB + " file=out-02.ts"}},
        {"A B A: the name taken again gets -2",
         "PMAVBVPVAVPVV",
         "%t.ts",
         {"Part 1: first=00000001 packets=5 " + kEventA + " file=Ａ.ts",
          "Part 2: first=00000006 packets=4 " + kEventB + " file=Ｂ.ts",
          "Part 3: first=0000000A packets=3 " + kEventA + " file=Ａ-2.ts"}},
        {"the latest change before the PAT counts: back to its own event, no cut",
         "PMAVBVAVPV",
         "out",
         {"Part 1: first=00000001 packets=9 " + kEventA + " file=out-01"}},
        {"a change with no PAT after it",
         "PMAVBVV",
         "out.ts",
         {"Part 1: first=00000001 packets=6 " + kEventA + " file=out-01.ts"}},
        {"a bad CRC, another service, no event: no cut",
         "PMAVaVoVnVPV",
         "out.ts",
         {"Part 1: first=00000001 packets=11 " + kEventA + " file=out-01.ts"}},
        {"no EIT: the first name stays",
         "PMVPV",
         "out.ts",
         {"Part 1: first=00000001 packets=4 event=none start=unknown file=out-01.ts"}},
        {"every field, a title with a slash and a line break",
         "PMSVAVPVV",
         "%n_%e_%s_%t%%.ts",
         {"Part 1: first=00000001 packets=5 event=0005 start=20240401-210000 file=01_0005_20240401-210000_" +
              kSlashName + "%.ts",
          "Part 2: first=00000006 packets=3 " + kEventA + " file=02_000A_20240401-210000_Ａ%.ts"}},
        // The long title's section takes two packets.
        {"a long title cut at a character to fit 255 bytes",
         "PMLVAVPVV",
         "sub/%t.mts",
         {"Part 1: first=00000001 packets=6 event=000C start=20240401-210000 file=sub/" + kLongName + ".mts",
          "Part 2: first=00000007 packets=3 " + kEventA + " file=sub/Ａ.mts"}},
    };
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string in = write_packets(dir, stream_of(c.letters), "in.ts");
        ASSERT_EQ(run_tool({in, "1", dir.file("whole.ts")}).exit_code, 0);
        ASSERT_EQ(mkdir(dir.file("sub").c_str(), 0755), 0);
        RunOptions in_dir;
        in_dir.cwd = dir.path();
        const RunResult r = run_tool({"-c", "--split", "in.ts", "1", c.name_template}, in_dir);
        EXPECT_EQ(r.exit_code, 0) << r.out;
        std::vector<std::string> lines;
        tsb::Bytes joined;
        const std::regex part_line("Part [^\n]* file=([^\n]*)\n");
        for (std::sregex_iterator i(r.out.begin(), r.out.end(), part_line), end; i != end; ++i) {
            std::string line = (*i)[0].str();
            EXPECT_EQ(r.out[i->position() - 1], '\n') << line;  // on a line of its own
            // The part's own check, against a check of its file alone.
            const std::string file = dir.file((*i)[1].str());
            const std::string alone = run_tool({"-c", file}).out;
            const size_t totals = alone.find(" drops=", alone.find("Check input:"));
            const size_t keys = line.find(" drops=");
            EXPECT_EQ(line.substr(keys, line.find(" file=") - keys),
                      alone.substr(totals, alone.find('\n', totals) - totals));
            lines.push_back(line.erase(keys, line.find(" file=") - keys).erase(line.size() - 1));
            tsb::append(joined, read_bytes(file));
        }
        EXPECT_EQ(lines, c.lines);
        EXPECT_EQ(joined, read_bytes(dir.file("whole.ts")));
        // The parts and nothing else: no first name left behind.
        std::vector<std::string> files = list_dir(dir.path());
        for (const std::string& f : list_dir(dir.file("sub"))) files.push_back("sub/" + f);
        EXPECT_EQ(files.size(), c.lines.size() + 3);  // in.ts, whole.ts, sub
    }
}

TEST(Split, RefusedRuns) {
    TempDir dir;
    const std::string in = write_packets(dir, stream_of("PMVAV"));
    const struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"--split", in, "1"},
         "Can't split a report: --split cuts an extraction into files named after <OutFileName>\n"},
        {{"--split", in, "1", "-"},
         "Can't split into standard output: --split needs a file name for <OutFileName>\n"},
        {{"--split", in, "1", dir.file("out%d.ts")},
         "Invalid file name template [" + dir.file("out%d.ts") + "]: a % begins %n, %e, %s, %t or %%\n"},
    };
    for (const auto& c : cases) {
        const RunResult r = run_tool(c.args);
        EXPECT_EQ(r.exit_code, 1);
        EXPECT_EQ(after_banner(c.args.back() == "-" ? r.err : r.out), c.message);  // the texts' channel
        EXPECT_EQ(list_dir(dir.path()), std::vector<std::string>{"in.ts"});
    }
    // The first part's name moves it to a folder that is not there: the run
    // ends, its packets under the first name.
    ASSERT_EQ(mkdir(dir.file("untitled").c_str(), 0755), 0);
    const RunResult r = run_tool({"--split", in, "1", dir.file("%t/part.ts")});
    EXPECT_EQ(r.exit_code, 1);
    const std::string first = dir.file("untitled/part.ts");
    EXPECT_NE(r.out.find("Can't rename file [" + first + "] to [" + dir.file("Ａ/part.ts") +
                         "]: No such file or directory\nPart 1: first=00000001 packets=2 " + kEventA +
                         " file=" + first + "\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(read_packets(first).size(), 2u);
}

}  // namespace
