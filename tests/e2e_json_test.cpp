// End-to-end runs of --json: the document of checked runs with -E against
// what the same runs print, the document however a run ends, and the files
// it refuses. The documents are read by a JSON parser that is not the tool's.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "e2e_psi_helpers.h"

namespace {

using nlohmann::json;
using psi_e2e::after_banner;

std::string id_text(int value) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%04X(%d)", value, value);
    return text;
}

std::string two_digits(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

json read_document(const std::string& path) { return json::parse(read_bytes(path)); }

// The tables of a report's document, printed as the report prints them.
std::string pat_text(const json& pat) {
    std::string text = psi_e2e::pat_head(two_digits(pat["version"]), id_text(pat["transport_stream_id"]));
    for (const json& p : pat["programs"])
        text += psi_e2e::pat_entry(id_text(p["program_number"]), id_text(p["pid"]));
    return text + "\n";
}

std::string pmt_text(const json& pmt) {
    std::string text = psi_e2e::pmt_head(two_digits(pmt["version"]), id_text(pmt["pcr_pid"]),
                                         id_text(pmt["program_number"]));
    for (const json& ecm : pmt["ecm_pids"]) text += psi_e2e::ecm_line(id_text(ecm));
    for (const json& s : pmt["streams"]) {
        text += psi_e2e::pmt_stream(id_text(s["pid"]),
                                    two_digits(s["stream_type"]) + ": " + s["name"].get<std::string>());
    }
    return text + "\n";
}

// An event's lines of -E: the document's times back into the block's layout.
std::string event_text(const json& e) {
    const std::string start = e["start"];  // YYYY-MM-DDTHH:MM:SS+09:00
    const int d = e["duration"];
    char times[96];
    std::snprintf(times, sizeof times, "   Start: %s/%s/%s %s\n   Duration: %02d:%02d:%02d\n",
                  start.substr(0, 4).c_str(), start.substr(5, 2).c_str(), start.substr(8, 2).c_str(),
                  start.substr(11, 8).c_str(), d / 3600, d / 60 % 60, d % 60);
    const auto shown = [](std::string text) {
        for (size_t at; (at = text.find('\n')) != std::string::npos;) text.replace(at, 1, "\\n");
        return text;
    };
    std::string text = "   Event ID: " + id_text(e["event_id"]) + "\n" + times +
                       "   Title: " + shown(e["title"]) + "\n   Text: " + shown(e["text"]) + "\n";
    for (const json& g : e["genres"]) {
        char genre[96];
        std::snprintf(genre, sizeof genre, "   Genre: 0x%X/0x%X %s\n", g["level1"].get<unsigned>(),
                      g["level2"].get<unsigned>(), g["name"].get<std::string>().c_str());
        text += genre;
    }
    for (const json& i : e["items"]) {
        text += "   Item: " + shown(i["description"]) + "\n   Item text: " + shown(i["text"]) + "\n";
    }
    return text;
}

std::string totals_text(const char* label, const json& t) {
    std::string text = label;
    for (const char* key :
         {"packets", "drops", "errors", "scrambled", "duplicates", "pcr_gaps", "sync_errors"})
        text += std::string(" ") + key + "=" + std::to_string(t[key].get<unsigned long long>());
    return text + "\n";
}

// tsgen's stream with -E, 2,000 packets (about 150 ms) cut out before its
// present events change: a drop on most PIDs and a PCR gap.
std::string damaged_stream(const TempDir& dir) {
    const std::string generated = dir.file("generated.ts");
    EXPECT_EQ(run_program(e2e::tsgen_path(), {"-E", "-s", "2M", generated}).exit_code, 0);
    tsb::Packets packets = read_packets(generated);
    packets.erase(packets.begin() + 3000, packets.begin() + 5000);
    return write_packets(dir, packets, "in.ts");
}

// " at HH:MM:SS.mmm" of a time into the recording, in seconds or null.
std::string at_time(const json& seconds) {
    if (seconds.is_null()) return " at --:--:--.---\n";
    const long long ms = std::llround(seconds.get<double>() * 1000);
    char text[96];
    std::snprintf(text, sizeof text, " at %02lld:%02lld:%02lld.%03lld\n", ms / 3600000, ms / 60000 % 60,
                  ms / 1000 % 60, ms % 1000);
    return text;
}

TEST(Json, DocumentsOfCheckedRunsWithEventsAgreeWithTheirTexts) {
    TempDir dir;
    const std::string in = damaged_stream(dir);
    const std::string out = dir.file("out.ts");
    for (const bool extraction : {false, true}) {
        SCOPED_TRACE(extraction ? "extraction" : "report");
        std::vector<std::string> args = {"-c", "-E", in, "0x400"};
        if (extraction) args.push_back(out);
        const RunResult plain = run_tool(args);
        args.insert(args.begin(), {"--json", dir.file("doc.json")});
        const RunResult r = run_tool(args);
        ASSERT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.out, plain.out);  // the document is written besides the texts
        const json doc = read_document(dir.file("doc.json"));
        const std::string& text = r.out;
        EXPECT_EQ(doc["status"], 0);
        EXPECT_TRUE(doc["error"].is_null());
        EXPECT_EQ(doc["input"],
                  json({{"file", in}, {"packet_size", 188}, {"packets", read_packets(in).size()}}));
        EXPECT_EQ(doc["program"], 0x400);
        if (extraction) {
            EXPECT_EQ(doc["output"], json({{"file", out}, {"packets", read_packets(out).size()}}));
        } else {
            EXPECT_TRUE(doc["output"].is_null());
            EXPECT_NE(text.find(pat_text(doc["pat"])), std::string::npos) << doc["pat"];
            EXPECT_NE(text.find(pmt_text(doc["pmt"])), std::string::npos) << doc["pmt"];
            ASSERT_EQ(doc["services"].size(), 4u);
            for (const json& s : doc["services"]) {
                EXPECT_EQ(s["service_type"], 1);
                EXPECT_NE(text.find(psi_e2e::service_id(id_text(s["service_id"])) +
                                    psi_e2e::service_names(psi_e2e::kDigitalTv, s["provider"], s["name"])),
                          std::string::npos);
            }
        }
        // Every block, and the event with items and a line break.
        ASSERT_EQ(doc["events"].size(), extraction ? 2u : 4u);
        for (const json& block : doc["events"]) {
            char head[96];
            std::snprintf(head, sizeof head, "%08llX: Service ID: %s Version: %d %s\n",
                          block["packet"].get<long long>(), id_text(block["service_id"]).c_str(),
                          block["version"].get<int>(), block["section"].get<std::string>().c_str());
            EXPECT_NE(text.find(head + event_text(block["event"]) + "\n"), std::string::npos) << block;
        }
        EXPECT_EQ(doc["events"][extraction ? 1 : 2]["event"]["items"].size(), 2u);
        // The check: its totals lines, its drop and gap lines.
        const json& check = doc["check"];
        EXPECT_NE(text.find(totals_text("Check input:", check["input"])), std::string::npos);
        if (extraction) {
            EXPECT_NE(text.find(totals_text("Check output:", check["output"])), std::string::npos);
        }
        ASSERT_EQ(check["drops"].size(), check["input"]["drops"].get<size_t>());
        for (const json& d : check["drops"]) {
            char line[96];
            std::snprintf(line, sizeof line, "%08llX: Drop PID 0x%04X expected %d found %d missing %d",
                          d["packet"].get<long long>(), d["pid"].get<int>(), d["expected"].get<int>(),
                          d["found"].get<int>(), d["missing"].get<int>());
            EXPECT_NE(text.find(line + at_time(d["time"])), std::string::npos) << d;
        }
        ASSERT_EQ(check["pcr_gaps"].size(), check["input"]["pcr_gaps"].get<size_t>());
        ASSERT_GE(check["pcr_gaps"].size(), 1u);
        for (const json& g : check["pcr_gaps"]) {
            const long long ms = std::llround(g["seconds"].get<double>() * 1000);
            char line[96];
            std::snprintf(line, sizeof line, "%08llX: PCR gap PID 0x%04X %s%lld.%03lld s",
                          g["packet"].get<long long>(), g["pid"].get<int>(), ms < 0 ? "-" : "",
                          std::llabs(ms) / 1000, std::llabs(ms) % 1000);
            EXPECT_NE(text.find(line + at_time(g["time"])), std::string::npos) << g;
        }
        EXPECT_EQ(check["pids"].size(), 27u);
        for (const json& p : check["pids"]) {  // the summary's rows
            char row[320];
            std::snprintf(row, sizeof row, "\n0x%04X %12llu %8llu %8llu %9llu %10llu %8llu%s%s %s\n",
                          p["pid"].get<int>(), p["packets"].get<unsigned long long>(),
                          p["drops"].get<unsigned long long>(), p["errors"].get<unsigned long long>(),
                          p["scrambled"].get<unsigned long long>(), p["duplicates"].get<unsigned long long>(),
                          p["pcr_gaps"].get<unsigned long long>(), extraction ? " " : "",
                          extraction ? (p["written"].get<bool>() ? "yes    " : "no     ") : "",
                          p["content"].get<std::string>().c_str());
            EXPECT_NE(text.find(row), std::string::npos) << row;
        }
        EXPECT_EQ(check["drops_not_listed"], 0);
        EXPECT_TRUE(doc["parts"].is_null());
    }
}

TEST(Json, DocumentWrittenHoweverTheRunEnds) {
    TempDir dir;
    const std::string in =
        write_packets(dir, {e2e::pat_packet(), e2e::pmt_packet(), e2e::payload_packet(e2e::kEsPid, 1)});
    write_bytes(dir.file("text.txt"), tsb::Bytes(400, 'x'));
    // A counter stuck for 1,003 packets: a duplicate and 1,001 drops, one past the list.
    const std::string stuck =
        write_packets(dir, tsb::Packets(1003, e2e::payload_packet(e2e::kEsPid, 1)), "stuck.ts");
    const struct {
        std::vector<std::string> args;
        int status;
        json error;
        json packet_size;
        int packets;
        json drops_not_listed;  // null: no check
    } cases[] = {
        {{"--json", "-", "-c", in, "1"}, 0, nullptr, 188, 3, 0},
        {{"--json", dir.file("doc.json"), in, "1", "/dev/full"},
         1,
         "Can't write Packet data",
         188,
         3,
         nullptr},
        {{"--json", dir.file("doc.json"), dir.file("text.txt")},
         1,
         "File isn't MPEG2_TS or Timestamped-MPEG2_TS",
         nullptr,
         0,
         nullptr},
        {{"--json", dir.file("doc.json"), "-c", stuck}, 0, nullptr, 188, 1003, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back());
        const RunResult r = run_tool(c.args);
        EXPECT_EQ(r.exit_code, c.status);
        const bool on_stdout = c.args[1] == "-";
        const json doc = on_stdout ? json::parse(r.out) : read_document(c.args[1]);
        EXPECT_EQ(doc["status"], c.status);
        EXPECT_EQ(doc["error"], c.error);
        EXPECT_EQ(doc["input"]["packet_size"], c.packet_size);
        EXPECT_EQ(doc["input"]["packets"], c.packets);
        const json& check = doc["check"];
        EXPECT_EQ(check.is_null() ? nullptr : check["drops_not_listed"], c.drops_not_listed);
        if (!check.is_null()) {
            EXPECT_EQ(check["drops"].size(),
                      check["input"]["drops"].get<size_t>() - c.drops_not_listed.get<size_t>());
        }
        if (on_stdout) {
            EXPECT_NE(after_banner(r.err).find("Check Information"), std::string::npos);
        }
    }
}

TEST(Json, RefusedFiles) {
    TempDir dir;
    const std::string in =
        write_packets(dir, {e2e::pat_packet(), e2e::pmt_packet(), e2e::payload_packet(e2e::kEsPid, 1)});
    const tsb::Bytes input = read_bytes(in);
    ASSERT_EQ(link(in.c_str(), dir.file("link.ts").c_str()), 0);
    const struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"--json", dir.file("link.ts"), in}, "Can't create file [" + dir.file("link.ts") + "]\n"},
        {{"--json", dir.file("out.ts"), in, "1", dir.file("out.ts")},
         "Can't create file [" + dir.file("out.ts") + "]\n"},
        {{"--json", dir.path(), in}, "Can't create file [" + dir.path() + "]\n"},
        {{"--json=-", in, "1", "-"},
         "Can't write the JSON document to standard output: it carries the packets\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[1]);
        const RunResult r = run_tool(c.args);
        EXPECT_EQ(r.exit_code, 1);
        EXPECT_EQ(after_banner(c.args.back() == "-" ? r.err : r.out), c.message);
        EXPECT_EQ(read_bytes(in), input);
        if (c.args.size() == 5) {
            EXPECT_EQ(read_bytes(dir.file("out.ts")).size(), 0u);
        }
    }
}

}  // namespace
