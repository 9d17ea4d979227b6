// End-to-end runs of -E: crafted EIT sections on PID 0x0012, and a generated
// stream whose present event changes half way, in report and extraction
// mode, against the same runs without -E.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "e2e_psi_helpers.h"

namespace {

using psi_e2e::after_banner;
using psi_e2e::dump_line;

constexpr uint16_t kEitPid = 0x0012;
const std::string kTitle = "****************** EIT Information ******************\n";
const std::string kRest = "\xEF\xBF\xBD";  // U+FFFD, where a text stops converting

const tsb::Bytes kNhk = {0x23, 0x4E, 0x23, 0x48, 0x23, 0x4B};  // ＮＨＫ
const tsb::Bytes kWeather = {0x45, 0x37, 0x35, 0x24};          // 天気
const tsb::Bytes kStory = {0x33, 0x24, 0x4A, 0x55, 0x24, 0x4E, 0x44, 0x2E, 0x24, 0x47,
                           0x4A, 0x6B, 0x24, 0x69, 0x24, 0x39, 0x32, 0x48, 0x42, 0x32,
                           0x24, 0x4E, 0x4A, 0x2A, 0x38, 0x6C, 0x21, 0x23};
const std::string kStoryText = "海辺の町で暮らす家族の物語。";

std::string repeated(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
}

tsb::Bytes concat(const std::vector<tsb::Bytes>& parts) {
    tsb::Bytes out;
    for (const tsb::Bytes& p : parts) tsb::append(out, p);
    return out;
}

// A present (0) or following (1) section of service 1, or a schedule section (0x50).
tsb::Bytes section(uint8_t number, std::vector<tsb::EitEvent> events, uint8_t version = 0,
                   uint8_t table_id = 0x4E, bool bad_crc = false) {
    tsb::Eit eit;
    eit.table_id = table_id;
    eit.events = std::move(events);
    tsb::SectionOpts o;
    o.version = version;
    o.section_number = number;
    o.last_section_number = 1;
    o.bad_crc = bad_crc;
    return tsb::eit_section(eit, o);
}

tsb::EitEvent event(uint16_t id, const tsb::Bytes& descriptors) {
    tsb::EitEvent e;
    e.event_id = id;
    e.descriptors = descriptors;
    return e;
}

const tsb::Bytes kPresent = section(0, {event(1, tsb::short_event_descriptor(kNhk, kWeather))});
const std::string kPresentFields =
    "   Event ID: 0x0001(1)\n   Start: 2024/04/01 21:00:00\n   Duration: 01:00:00\n   Title: ＮＨＫ\n"
    "   Text: 天気\n";

// A following section over three packets: 336 bytes of item text split over
// two descriptors after byte 201 (inside a character), then an empty item.
const tsb::Bytes kLong = [] {
    tsb::Bytes story;
    for (int i = 0; i < 12; ++i) tsb::append(story, kStory);
    const tsb::Bytes contents = {0x48, 0x56, 0x41, 0x48, 0x46, 0x62, 0x4D, 0x46};  // 番組内容
    const tsb::Bytes cast = {0x3D, 0x50, 0x31, 0x69, 0x3C, 0x54};                  // 出演者
    return section(1,
                   {event(2, concat({tsb::content_descriptor({0x30, 0xE1}),
                                     tsb::extended_event_descriptor(
                                         0, 1, {{contents, {story.begin(), story.begin() + 201}}}),
                                     tsb::extended_event_descriptor(
                                         1, 1, {{{}, {story.begin() + 201, story.end()}}, {cast, {}}})}))});
}();
const std::string kLongFields =
    "   Event ID: 0x0002(2)\n   Start: 2024/04/01 21:00:00\n   Duration: 01:00:00\n"
    "   Genre: 0x3/0x0 Drama\n   Genre: 0xE/0x1 Extension\n   Item: 番組内容\n"
    "   Item text: " +
    repeated(kStoryText, 12) + "\n   Item: 出演者\n   Item text: \n";

std::string block(int index, const std::string& head, const std::string& fields) {
    char at[16];
    std::snprintf(at, sizeof at, "%08X: ", index);
    return kTitle + at + "Service ID: 0x0001(1) Version: " + head + "\n" + fields + "\n";
}

tsb::Packets packets(const std::vector<tsb::Bytes>& sections) {
    tsb::Stream s;
    for (const tsb::Bytes& b : sections) s.psi(kEitPid, b);
    return s.packets();
}

// The packets less those at the given indexes; renumbered, their counters
// run on as if none had been left out.
tsb::Packets without(tsb::Packets p, std::vector<int> dropped, bool renumbered = false) {
    for (auto i = dropped.rbegin(); i != dropped.rend(); ++i) p.erase(p.begin() + *i);
    for (size_t i = 0; renumbered && i < p.size(); ++i)
        p[i][3] = static_cast<uint8_t>((p[i][3] & 0xF0) | (i & 0x0F));
    return p;
}

struct CraftedCase {
    const char* what;
    tsb::Packets packets;
    std::string expected;
};

TEST(Events, CraftedSections) {
    const tsb::Packets long_packets = packets({kLong});
    const tsb::Bytes tail(kLong.begin() + 183 + 184, kLong.end());
    const tsb::Packet stuffed = packets({concat({kPresent, {0xFF}, section(1, {})})})[0];
    const tsb::EitEvent undefined{3, tsb::Bytes(5, 0xFF), tsb::Bytes(3, 0xFF), 4, {}, {}};
    const tsb::Bytes cut = tsb::short_event_descriptor(concat({kNhk, {0x1B}}), {0x45, 0x6C, 0x35});
    const CraftedCase cases[] = {
        {"a schedule section, then two sections, from one start packet",
         packets({concat({section(0, {event(9, {})}, 0, 0x50), kPresent, kLong})}),
         block(0, "0 present", kPresentFields) + block(2, "0 following", kLongFields)},
        {"the bytes before the pointer_field's target end a section",
         without(
             {long_packets[0], long_packets[1], psi_e2e::start_packet(kEitPid, kPresent, std::nullopt, tail)},
             {}, true),
         block(2, "0 following", kLongFields) + block(2, "0 present", kPresentFields)},
        {"stuffing ends the packet's sections", {stuffed}, block(0, "0 present", kPresentFields)},
        {"a lost packet drops the section under way", without(packets({kLong, kLong}), {1}),
         block(4, "0 following", kLongFields)},
        {"a new unit start drops the section under way", without(packets({kLong, kPresent}), {1, 2}, true),
         block(1, "0 present", kPresentFields)},
        {"a damaged CRC, then the intact section", packets({section(0, {}, 0, 0x4E, true), kPresent}),
         "00000000: EIT CRC32 is wrong, aborted." + dump_line(packets({section(0, {}, 0, 0x4E, true)})[0]) +
             block(1, "0 present", kPresentFields)},
        {"a repeat is not printed, a new version is",
         packets({kPresent, kPresent, section(0, {event(5, {})}, 1)}),
         block(0, "0 present", kPresentFields) +
             block(2, "1 present",
                   "   Event ID: 0x0005(5)\n   Start: 2024/04/01 21:00:00\n   Duration: 01:00:00\n")},
        {"undefined start and duration, no event", packets({section(0, {undefined}), section(1, {})}),
         block(0, "0 present", "   Event ID: 0x0003(3)\n   Start: undefined\n   Duration: undefined\n") +
             block(1, "0 following", "   Event ID: none\n")},
        {"texts that end inside an escape and a character", packets({section(0, {event(4, cut)})}),
         block(0, "0 present",
               "   Event ID: 0x0004(4)\n   Start: 2024/04/01 21:00:00\n   Duration: 01:00:00\n   Title: "
               "ＮＨＫ" +
                   kRest + "\n   Text: 東" + kRest + "\n")},
    };
    for (const CraftedCase& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        tsb::Packets in = c.packets;
        in.insert(in.end(), 2, tsb::null_packet());  // the least a stream holds is three packets
        const RunResult r = run_tool({"-E", write_packets(dir, in)});
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(after_banner(r.out), c.expected + "\nDone.\n");
    }
}

// The EIT blocks of a run's text, each with its packet index cut out; the
// text without them in `rest`.
std::vector<std::string> take_blocks(const std::string& text, bool extraction, std::string* rest,
                                     std::vector<int>* indexes) {
    static const std::regex kIndex("\n([0-9A-F]{8}): ");
    std::vector<std::string> blocks;
    *rest = text;
    for (size_t at; (at = rest->find(kTitle)) != std::string::npos;) {
        const size_t end = rest->find("\n\n", at) + 2;
        std::string b = rest->substr(at, end - at);
        std::smatch m;
        if (std::regex_search(b, m, kIndex)) {
            indexes->push_back(std::stoi(m[1], nullptr, 16));
            b.erase(static_cast<size_t>(m.position(1)), 10);
        }
        blocks.push_back(b);
        const size_t from = extraction ? at - 1 : at;  // the block's own line end before the title
        rest->erase(from, end - from);
    }
    return blocks;
}

TEST(Events, GeneratedStreamWhosePresentEventChanges) {
    TempDir dir;
    const std::string in = dir.file("in.ts");
    ASSERT_EQ(run_program(e2e::tsgen_path(), {"-E", "-s", "2M", in}).exit_code, 0);
    const size_t half = read_packets(in).size() / 2;
    const auto head = [](const char* version_which) {
        return kTitle + "Service ID: 0x0400(1024) Version: " + version_which + "\n";
    };
    const std::string weather =
        head("0 present") +
        "   Event ID: 0x1000(4096)\n   Start: 2024/04/01 20:30:00\n   Duration: 00:30:00\n"
        "   Title: ＮＨＫ総合１・東京\n   Text: 天気\n   Genre: 0x0/0x0 News/Report\n\n";
    const std::string drama =
        "   Event ID: 0x2000(8192)\n   Start: 2024/04/01 21:00:00\n   Duration: 00:54:00\n"
        "   Title: ドラマ「春の海」\n   Text: 第１話\\n再放送\n   Genre: 0x3/0x0 Drama\n"
        "   Genre: 0xA/0x5 Hobby/Education\n   Item: 番組内容\n   Item text: " +
        repeated(kStoryText, 8) + "\n   Item: 出演者\n   Item text: 山田太郎、鈴木花子\n\n";
    const std::string anime =
        head("1 following") +
        "   Event ID: 0x3000(12288)\n   Start: 2024/04/01 21:54:00\n   Duration: 01:00:00\n"
        "   Title: アニメ「旅の記録」\n   Text: 予報\n   Genre: 0x7/0x0 Animation/Special effects\n\n";
    struct Mode {
        std::vector<std::string> args;
        std::vector<std::string> blocks;
    };
    const Mode modes[] = {
        {{in, "0x0400"}, {weather, head("0 following") + drama, head("1 present") + drama, anime}},
        {{in, "0x0400", dir.file("out.ts")}, {weather, head("1 present") + drama}},
    };
    std::vector<int> present_at[2];
    for (const Mode& mode : modes) {
        SCOPED_TRACE(mode.args.size() == 3 ? "extraction" : "report");
        std::vector<std::string> with_events = mode.args;
        with_events.insert(with_events.begin(), "-E");
        const RunResult plain = run_tool(mode.args);
        const tsb::Bytes plain_output = mode.args.size() == 3 ? read_bytes(dir.file("out.ts")) : tsb::Bytes{};
        const RunResult r = run_tool(with_events);
        EXPECT_EQ(r.exit_code, 0);
        std::string rest;
        std::vector<int> indexes;
        EXPECT_EQ(take_blocks(r.out, mode.args.size() == 3, &rest, &indexes), mode.blocks);
        EXPECT_EQ(rest, plain.out);  // -E adds its blocks and changes nothing else
        EXPECT_EQ(mode.args.size() == 3 ? read_bytes(dir.file("out.ts")) : tsb::Bytes{}, plain_output);
        ASSERT_EQ(indexes.size(), mode.blocks.size());
        EXPECT_LT(static_cast<size_t>(indexes.front()), half);
        EXPECT_GE(static_cast<size_t>(indexes[mode.blocks.size() == 4 ? 2 : 1]), half);
        present_at[mode.args.size() - 2] = {indexes.front(), indexes[mode.blocks.size() == 4 ? 2 : 1]};
    }
    EXPECT_EQ(present_at[0], present_at[1]);  // each present event named at the same packet in both modes
}

}  // namespace
