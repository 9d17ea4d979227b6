// End-to-end runs of -E: crafted EIT sections on PID 0x0012, and a generated
// stream whose present event changes half way, in report and extraction
// mode, against the same runs without -E.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "e2e_psi_helpers.h"

namespace {

using psi_e2e::after_banner;
using psi_e2e::dump_line;

constexpr uint16_t kEitPid = 0x0012;
const std::string kTitle = "****************** EIT Information ******************\n";
const std::string kRest = "\xEF\xBF\xBD";  // U+FFFD, where a text stops converting
const std::string kTimes = "   Start: 2024/04/01 21:00:00\n   Duration: 01:00:00\n";

const tsb::Bytes kNhk = {0x23, 0x4E, 0x23, 0x48, 0x23, 0x4B};  // ＮＨＫ
const tsb::Bytes kWeather = {0x45, 0x37, 0x35, 0x24};          // 天気
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

// A present (0) or following (1) section of a service, or a schedule section (0x50).
tsb::Bytes section(uint8_t number, std::vector<tsb::EitEvent> events, uint8_t table_id = 0x4E,
                   bool bad_crc = false, uint16_t service = 1) {
    tsb::Eit eit{table_id, service, 1, 1, 1, std::move(events)};
    tsb::SectionOpts o;
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
const std::string kPresentFields = "   Event ID: 0x0001(1)\n" + kTimes + "   Title: ＮＨＫ\n   Text: 天気\n";

// A following section over three packets: 336 bytes of item text split over
// two descriptors after byte 201 (inside a character), then an empty item.
const tsb::Bytes kLong = [] {
    tsb::Bytes text;
    for (int i = 0; i < 56; ++i) tsb::append(text, kNhk);
    const tsb::Bytes contents = {0x48, 0x56, 0x41, 0x48, 0x46, 0x62, 0x4D, 0x46};  // 番組内容
    const tsb::Bytes cast = {0x3D, 0x50, 0x31, 0x69, 0x3C, 0x54};                  // 出演者
    return section(1, {event(2, concat({tsb::content_descriptor({0x30, 0xE1}),
                                        tsb::extended_event_descriptor(
                                            0, 1, {{contents, {text.begin(), text.begin() + 201}}}),
                                        tsb::extended_event_descriptor(
                                            1, 1, {{{}, {text.begin() + 201, text.end()}}, {cast, {}}})}))});
}();
const std::string kLongFields =
    "   Event ID: 0x0002(2)\n" + kTimes +
    "   Genre: 0x3/0x0 Drama\n   Genre: 0xE/0x1 Extension\n   Item: 番組内容\n   Item text: " +
    repeated("ＮＨＫ", 56) + "\n   Item: 出演者\n   Item text: \n";

std::string block(int index, const std::string& head, const std::string& fields,
                  const std::string& service = "0x0001(1)") {
    char at[16];
    std::snprintf(at, sizeof at, "%08X: ", index);
    return kTitle + at + "Service ID: " + service + " Version: " + head + "\n" + fields + "\n";
}

tsb::Packets packets(const std::vector<tsb::Bytes>& sections) {
    tsb::Stream s;
    for (const tsb::Bytes& b : sections) s.psi(kEitPid, b);
    return s.packets();
}

// The packets with counters first, first + 1..., less those at the given indexes.
tsb::Packets numbered(tsb::Packets p, const std::vector<int>& dropped = {}, size_t first = 0) {
    for (size_t i = 0; i < p.size(); ++i)
        p[i][3] = static_cast<uint8_t>((p[i][3] & 0xF0) | ((first + i) & 0x0F));
    for (auto i = dropped.rbegin(); i != dropped.rend(); ++i) p.erase(p.begin() + *i);
    return p;
}

struct CraftedCase {
    const char* what;
    tsb::Packets packets;
    std::string expected;
};

TEST(Events, CraftedSections) {
    const tsb::Packets l = packets({kLong});
    const tsb::Bytes tail(kLong.begin() + 183 + 184, kLong.end());
    const tsb::Packet stuffed = packets({concat({kPresent, {0xFF, 0x00, 0x00}, section(1, {})})})[0];
    const tsb::EitEvent undefined{3, tsb::Bytes(5, 0xFF), tsb::Bytes(3, 0xFF), 4, {}, {}};
    const tsb::Bytes cut = tsb::short_event_descriptor(concat({kNhk, {0x1B}}), {0x45, 0x6C, 0x35});
    const tsb::EitEvent leap{4, tsb::mjd_time(60369, 23, 59, 59), tsb::bcd_duration(0, 0, 30), 4, cut, {}};
    const tsb::Packet damaged = [&] {
        tsb::Packet p = l[1];
        p[1] |= 0x80;  // transport_error_indicator
        return p;
    }();
    // A present section of 4,096 bytes, or more: 339 events of service 1.
    const auto full = [](int more) {
        std::vector<tsb::EitEvent> events(338, event(7, {}));
        events.push_back(event(7, tsb::descriptor(0xC1, tsb::Bytes(8 + more, 0))));
        return section(0, events);
    };
    // Its descriptor loop claims the CRC too, which would complete the short event descriptor.
    const tsb::Bytes story = tsb::short_event_descriptor(kNhk, kWeather);
    tsb::EitEvent overlong = event(6, tsb::Bytes(story.begin(), story.end() - 4));
    overlong.descriptors_loop_length = static_cast<int>(story.size());
    // A title that holds a macro definition, 0x0D among its bytes; an extended
    // event descriptor whose length_of_items claims the next descriptor's four
    // bytes, which would read as an item going on with "Ａ".
    const tsb::Bytes macro_title =
        tsb::short_event_descriptor(concat({{0x95, 0x40, 0x60, 0x0D, 0x95, 0x4F}, kNhk}), kWeather);
    const tsb::Bytes past_items =
        concat({tsb::descriptor(0x4E, concat({{0x00, 'j', 'p', 'n', 16, 6}, kNhk, {4}, kWeather})),
                tsb::descriptor(0x00, {0x23, 0x41})});
    const auto dated = [](uint16_t id, const tsb::Bytes& start_time) {
        tsb::EitEvent e = event(id, {});
        e.start_time = start_time;
        return e;
    };
    const auto start = [](const std::string& id, const std::string& at) {
        return "   Event ID: " + id + "\n   Start: " + at + "\n   Duration: 01:00:00\n";
    };
    const CraftedCase cases[] = {
        {"a schedule section, then two sections, from one start packet",
         packets({concat({section(0, {event(9, {})}, 0x50), kPresent, kLong})}),
         block(0, "0 present", kPresentFields) + block(2, "0 following", kLongFields)},
        {"the bytes before the pointer_field's target end a section",
         numbered({l[0], l[1], psi_e2e::start_packet(kEitPid, kPresent, std::nullopt, tail)}),
         block(2, "0 following", kLongFields) + block(2, "0 present", kPresentFields)},
        {"stuffing ends the packet's sections", {stuffed}, block(0, "0 present", kPresentFields)},
        {"a lost packet drops the section under way",
         numbered({l[0], l[1], l[2], l[2], l[0], l[1], l[2]}, {1}), block(5, "0 following", kLongFields)},
        {"a unit start drops the section under way, even with no section of its own",
         numbered({l[0], psi_e2e::raw_packet(kEitPid, true, 1, {0x00}), l[1], l[2], packets({kPresent})[0]}),
         block(4, "0 present", kPresentFields)},
        {"a repeated packet is left out", {l[0], l[1], l[1], l[2]}, block(3, "0 following", kLongFields)},
        {"a damaged CRC, then the intact section", packets({section(0, {}, 0x4E, true), kPresent}),
         "00000000: EIT CRC32 is wrong, aborted." + dump_line(packets({section(0, {}, 0x4E, true)})[0]) +
             block(1, "0 present", kPresentFields)},
        {"undefined start and duration, no event", packets({section(0, {undefined}), section(1, {})}),
         block(0, "0 present", "   Event ID: 0x0003(3)\n   Start: undefined\n   Duration: undefined\n") +
             block(1, "0 following", "   Event ID: none\n")},
        {"a leap day, texts that end inside an escape and a character", packets({section(0, {leap})}),
         block(0, "0 present",
               "   Event ID: 0x0004(4)\n   Start: 2024/02/29 23:59:59\n   Duration: 00:00:30\n   Title: "
               "ＮＨＫ" +
                   kRest + "\n   Text: 東" + kRest + "\n")},
        {"a section header split over two packets",
         packets(
             {concat({section(0, {event(9, tsb::descriptor(0xC1, tsb::Bytes(149, 0)))}, 0x50), kPresent})}),
         block(1, "0 present", kPresentFields)},
        {"a counter that wraps from 15 to 0 inside a section", numbered({l[0], l[1], l[2]}, {}, 15),
         block(2, "0 following", kLongFields)},
        {"a packet in error drops the section under way",
         numbered({l[0], damaged, l[2], packets({kPresent})[0]}), block(3, "0 present", kPresentFields)},
        {"a section of 4,096 bytes", packets({full(0)}),
         block(22, "0 present", repeated("   Event ID: 0x0007(7)\n" + kTimes, 339))},
        {"a section of 4,097 bytes is refused on a line of its own", packets({full(1), kPresent}),
         "00000000: EIT length is too long [4094], aborted.\n" + block(23, "0 present", kPresentFields)},
        {"a section too short is refused on a line of its own",
         packets({tsb::long_section(0x4E, 1, {}), kPresent}),
         "00000000: EIT length is too short [9], aborted.\n" + block(1, "0 present", kPresentFields)},
        {"versions are kept per service", packets({kPresent, section(0, {event(1, story)}, 0x4E, false, 2)}),
         block(0, "0 present", kPresentFields) + block(1, "0 present", kPresentFields, "0x0002(2)")},
        {"section 2 is neither present nor following", packets({section(2, {}), kPresent}),
         block(1, "0 present", kPresentFields)},
        {"a descriptor loop cut to the section", packets({section(0, {overlong})}),
         block(0, "0 present", "   Event ID: 0x0006(6)\n" + kTimes)},
        {"month ends, January, the century rule, an MJD whose low byte is 0xFF",
         packets(
             {section(0, {dated(5, tsb::mjd_time(60340, 21, 0, 0)), dated(6, tsb::mjd_time(60400, 21, 0, 0)),
                          dated(7, tsb::mjd_time(51603, 21, 0, 0)), dated(8, tsb::mjd_time(15079, 21, 0, 0)),
                          dated(9, {0xEB, 0xFF, 0xFF, 0xFF, 0xFF})})}),
         block(0, "0 present",
               start("0x0005(5)", "2024/01/31 21:00:00") + start("0x0006(6)", "2024/03/31 21:00:00") +
                   start("0x0007(7)", "2000/02/29 21:00:00") + start("0x0008(8)", "1900/03/01 21:00:00") +
                   start("0x0009(9)", "2024/04/15 FF:FF:FF"))},
        {"items cut to their descriptor, a title holding a macro definition with 0x0D",
         packets({section(0, {event(5, concat({macro_title, past_items}))})}),
         block(0, "0 present",
               "   Event ID: 0x0005(5)\n" + kTimes +
                   "   Title: ＮＨＫ\n   Text: 天気\n   Item: ＮＨＫ\n   Item text: 天気\n")},
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

// Cuts the EIT blocks out of a run's text (in extraction mode with the line
// end before each) and their packet indexes out of them; those of the present
// events go to present_at.
std::vector<std::string> cut_blocks(std::string* text, bool extraction, std::vector<long>* present_at) {
    std::vector<std::string> blocks;
    for (size_t at; (at = text->find(kTitle)) != std::string::npos;) {
        const size_t end = text->find("\n\n", at) + 2;
        std::string b = text->substr(at, end - at);
        if (b.find(" present\n") != std::string::npos)
            present_at->push_back(std::stol(b.substr(kTitle.size(), 8), nullptr, 16));
        blocks.push_back(b.erase(kTitle.size(), 10));
        text->erase(at - extraction, end - at + extraction);
    }
    return blocks;
}

TEST(Events, GeneratedStreamWhosePresentEventChanges) {
    TempDir dir;
    const std::string in = dir.file("in.ts");
    const std::string out = dir.file("out.ts");
    ASSERT_EQ(run_program(e2e::tsgen_path(), {"-E", "-s", "2M", in}).exit_code, 0);
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
        const char* option;
        std::vector<std::string> args;
        std::vector<std::string> blocks;
    };
    const std::vector<std::string> report = {weather, head("0 following") + drama, head("1 present") + drama,
                                             anime};
    const std::string in192 = write_packets(dir, read_packets(in), "in192.ts", 192);
    const Mode modes[] = {
        {"-E", {in, "0x0400"}, report},
        {"-E", {in, "0x0400", out}, {weather, head("1 present") + drama}},
        // The long option, on 192-byte records read behind their timestamps.
        {"--events", {in192, "0x0400"}, report},
        // The EIT's packets are taken before -s and -e null them.
        {"-E", {"-s", "-e", in, "0x0400", out}, {weather, head("1 present") + drama}},
    };
    std::vector<long> present_at[4];
    for (const Mode& mode : modes) {
        const bool extraction = mode.args.back() == out;
        SCOPED_TRACE(std::string(mode.option) + (extraction ? " extraction " : " report ") + mode.args[0]);
        const RunResult plain = run_tool(mode.args);
        const tsb::Bytes plain_output = extraction ? read_bytes(out) : tsb::Bytes{};
        std::vector<std::string> args = mode.args;
        args.insert(args.begin(), mode.option);
        RunResult r = run_tool(args);
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(cut_blocks(&r.out, extraction, &present_at[&mode - modes]), mode.blocks);
        EXPECT_EQ(r.out, plain.out);  // -E adds its blocks and changes nothing else
        EXPECT_EQ(extraction ? read_bytes(out) : tsb::Bytes{}, plain_output);
    }
    // Every run names each present event at the same packet, the second past the middle.
    for (const std::vector<long>& at : present_at) EXPECT_EQ(at, present_at[1]);
    const long half = static_cast<long>(read_packets(in).size() / 2);
    ASSERT_EQ(present_at[1].size(), 2u);
    EXPECT_LT(present_at[1][0], half);
    EXPECT_GE(present_at[1][1], half);
}

}  // namespace
