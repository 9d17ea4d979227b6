// Hostile streams, end to end: every length field at its maximum and just past
// what fits, offsets past the packet, truncated and garbage files, PMTs on the
// PIDs of other tables, and versions that change on every packet. Every run
// must end with status 0 or 1 (never a signal), print exactly what the tool
// documents, and leave in the output file exactly the packets it wrote.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "e2e_psi_helpers.h"

using namespace psi_e2e;

namespace {

using tsb::Bytes;
using tsb::Packet;
using tsb::Packets;

constexpr uint16_t kTsid = 0x0001;
const char* const kProgramArg = "0x0400";

// ------------------------------------------------------------------ packets

tsb::Header header(uint16_t pid, bool unit_start, int afc = -1) {
    tsb::Header h;
    h.pid = pid;
    h.unit_start = unit_start;
    h.afc = afc;
    return h;
}

Packets section_packets(uint16_t pid, const Bytes& sections, const tsb::PsiOpts& opts = {}) {
    uint8_t cc = 0;
    return tsb::psi_packets(pid, sections, cc, opts);
}

// A unit-start packet with an adaptation field of the given length (and flag
// byte) and whatever payload bytes still fit behind it.
Packet packet_with_field(uint16_t pid, bool unit_start, int field_length, uint8_t flags = 0x00,
                         const Bytes& payload = {}) {
    tsb::AdaptationField af;
    af.flags = flags;
    af.length = field_length;
    return tsb::make_packet(header(pid, unit_start, 3), payload, af);
}

// The network entry and the program alone, as the tool's rewrite has them.
Bytes pat_section(uint16_t pmt_pid = kPmtPid, uint8_t v = 0, uint16_t network_pid = 0x0010) {
    return tsb::pat_section(kTsid, {{0, network_pid}, {kProgram, pmt_pid}}, version(v));
}

Bytes pmt_section(const tsb::Pmt& pmt, uint8_t v = 0) { return tsb::pmt_section(pmt, version(v)); }

Packet pat_packet(uint16_t pmt_pid = kPmtPid, uint8_t v = 0) {
    return psi_packet(0x0000, pat_section(pmt_pid, v));
}
Packet pmt_packet(const tsb::Pmt& pmt = usual_pmt(), uint8_t v = 0, uint16_t pid = kPmtPid) {
    return psi_packet(pid, pmt_section(pmt, v));
}

// The packets and two null packets: the framing check reads 384 bytes.
Packets with_nulls(Packets packets) {
    packets.push_back(tsb::null_packet());
    packets.push_back(tsb::null_packet());
    return packets;
}

Bytes join(const Packets& packets) {
    Bytes all;
    for (const Packet& p : packets) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// Descriptors of a tag the tool never reads, `total` bytes in all (not 1).
Bytes filler_descriptors(size_t total) {
    Bytes all;
    while (total > 0) {
        size_t size = total < 257 ? total : 257;
        if (total - size == 1) --size;
        tsb::append(all, tsb::descriptor(0xFE, Bytes(size - 2, 0x33)));
        total -= size;
    }
    return all;
}

// ARIB-coded names and what they read as.
const Bytes kProviderName = {0x0E, 0x4E, 0x48, 0x4B};                               // ＮＨＫ
const Bytes kServiceName = {0x0E, 0x4E, 0x48, 0x4B, 0x0F, 0x41, 0x6D, 0x39, 0x67};  // ＮＨＫ総合

tsb::ServiceDescriptor nhk_descriptor() {
    tsb::ServiceDescriptor d;
    d.service_type = 0x01;
    d.provider = kProviderName;
    d.name = kServiceName;
    return d;
}

Bytes sdt_section(const std::vector<tsb::SdtService>& services, const tsb::SectionOpts& o = {}) {
    tsb::Sdt sdt;
    sdt.services = services;
    return tsb::sdt_section(sdt, o);
}

// ------------------------------------------------------------------ texts

// "%08llX: " with the packet index, then the rest of a handler message.
std::string at(long long packet, const std::string& message) {
    char index[16];
    std::snprintf(index, sizeof index, "%08llX: ", packet);
    return index + message;
}

std::string pat_report(const std::string& pmt_pid = "0x01F0(496)") {
    return pat_head() + kNetworkEntry + pat_entry("0x0400(1024)", pmt_pid) + "\n";
}

const std::string kNhkService =
    service_id("0x0400(1024)") + service_names(kDigitalTv, "ＮＨＫ", "ＮＨＫ総合");

// ------------------------------------------------------------------ runs

struct ToolRun {
    RunResult result;
    std::string text;  // standard output after the banner line
    bool has_output = false;
    Bytes output;
};

// Runs the tool on `file`: options, the input, then `arguments`; with
// `extraction` an output file follows them.
ToolRun run_on(const Bytes& file, const std::vector<std::string>& options,
               const std::vector<std::string>& arguments, bool extraction) {
    TempDir dir;
    const std::string in = dir.file("in.ts");
    const std::string out = dir.file("out.ts");
    write_bytes(in, file);
    std::vector<std::string> args = options;
    args.push_back(in);
    args.insert(args.end(), arguments.begin(), arguments.end());
    if (extraction) args.push_back(out);
    ToolRun run;
    run.result = run_tool(args);
    run.text = after_banner(run.result.out);
    run.has_output = file_exists(out);
    if (run.has_output) run.output = read_bytes(out);
    return run;
}

ToolRun extract(const Packets& in, const std::vector<std::string>& options = {}) {
    return run_on(join(in), options, {kProgramArg}, true);
}
ToolRun report(const Packets& in, bool with_program = true) {
    return run_on(join(in), {},
                  with_program ? std::vector<std::string>{kProgramArg} : std::vector<std::string>{}, false);
}

// Ended by itself with `status`, nothing on standard error.
::testing::AssertionResult ended_with(const ToolRun& run, int status) {
    if (run.result.signaled) return ::testing::AssertionFailure() << "killed by signal " << run.result.signal;
    if (run.result.exit_code != status)
        return ::testing::AssertionFailure() << "status " << run.result.exit_code << ", stdout: " << run.text;
    if (!run.result.err.empty()) return ::testing::AssertionFailure() << "stderr: " << run.result.err;
    return ::testing::AssertionSuccess();
}

// The output file holds exactly these packets.
::testing::AssertionResult wrote(const ToolRun& run, const Packets& expected) {
    if (!run.has_output) return ::testing::AssertionFailure() << "no output file";
    if (run.output.size() % tsb::kPacketSize != 0)
        return ::testing::AssertionFailure() << "output of " << run.output.size() << " bytes";
    const size_t count = run.output.size() / tsb::kPacketSize;
    if (count != expected.size())
        return ::testing::AssertionFailure()
               << count << " packets written, " << expected.size() << " expected";
    for (size_t i = 0; i < count; ++i) {
        if (!std::equal(expected[i].begin(), expected[i].end(), run.output.begin() + i * tsb::kPacketSize))
            return ::testing::AssertionFailure() << "packet " << i << " differs";
    }
    return ::testing::AssertionSuccess();
}

// A PID 0 packet carrying, behind the pointer_field, an intact 20-byte PAT
// of the network entry 0x0010 and `program` alone.
bool is_single_program_pat(const Packet& p, const Packet& from) {
    if (!std::equal(p.begin(), p.begin() + 3, from.begin()) || tsb::pid_of(p) != 0) return false;
    const size_t pointer_at = (p[3] & 0x20) ? 5u + p[4] : 4u;
    if (pointer_at + 21 > tsb::kPacketSize || p[pointer_at] != 0) return false;
    const uint8_t* s = p.data() + pointer_at + 1;
    return s[0] == 0x00 && (s[1] & 0x0F) == 0 && s[2] == 17 && tsb::crc32(s, 20) == 0 && s[8] == 0 &&
           s[9] == 0 && (s[10] & 0x1F) == 0 && s[11] == 0x10 && (s[12] << 8 | s[13]) == kProgram;
}

// Whatever the stream: the output is a whole number of packets, each, in
// order, a packet of the input as it came, a single-program PAT made of an
// input PAT, or (with -e) a null packet standing for an input packet.
::testing::AssertionResult is_filtered_copy(const Packets& input, const Bytes& output, bool nulls) {
    if (output.size() % tsb::kPacketSize != 0)
        return ::testing::AssertionFailure() << "output of " << output.size() << " bytes";
    const Packet null = tsb::null_packet();
    size_t next = 0;
    for (size_t at = 0; at < output.size(); at += tsb::kPacketSize) {
        Packet p;
        std::copy_n(output.begin() + static_cast<long>(at), tsb::kPacketSize, p.begin());
        while (next < input.size() && p != input[next] && !(nulls && p == null) &&
               !is_single_program_pat(p, input[next]))
            ++next;
        if (next == input.size())
            return ::testing::AssertionFailure()
                   << "output packet " << at / tsb::kPacketSize << " matches no later input packet";
        ++next;
    }
    return ::testing::AssertionSuccess();
}

// ------------------------------------------------------------------ tests

// adaptation_field_length 183 leaves no payload byte; 184 and 255 claim more
// than the packet holds. No table may be read from such a packet; it passes
// as it came when its PID passes.
TEST(Hostile, AdaptationFieldFillingOrPastThePacketOnEveryTable) {
    const Packet first_pat = pat_packet();
    const Packet pmt = pmt_packet();
    Packets in = {first_pat, pmt};
    Packets expected = {pmt};
    std::map<size_t, std::string> messages;
    const struct {
        uint16_t pid;
        const char* message;  // nullptr: an elementary stream, never parsed
    } targets[] = {{0x0000, "PAT section start is out of packet, aborted."},
                   {kPmtPid, "PMT section start is out of packet, aborted."},
                   {kCatPid, "CAT section start is out of packet, aborted."},
                   {kSdtPid, "SDT section start is out of packet, aborted."},
                   {kVideoPid, nullptr}};
    for (int length : {183, 184, 255}) {
        for (const auto& target : targets) {
            // A PCR flag makes the field one the PAT rewrite would keep.
            const Packet p = packet_with_field(target.pid, true, length, 0x10);
            if (target.message) messages[in.size()] = at(in.size(), target.message);
            in.push_back(p);
            expected.push_back(p);
        }
    }
    const Packet last_pat = pat_packet();
    in.push_back(last_pat);
    expected.push_back(rewritten_pat(last_pat, kTsid, 0));

    const ToolRun run = extract(in);
    EXPECT_TRUE(ended_with(run, 0));
    EXPECT_EQ(run.text, extraction_text(in.size(), messages));
    EXPECT_TRUE(wrote(run, expected));
}

// A continuation packet whose adaptation field leaves no payload adds nothing
// to a pending section: the section still completes, intact, from the next
// packet, and the new PMT version takes effect.
TEST(Hostile, ContinuationWithoutPayloadRoomAddsNothing) {
    tsb::Pmt second = usual_pmt();
    second.streams[1].pid = 0x0111;
    second.streams[0].es_info = Bytes(200, 0x5A);  // two packets
    const Packets split = section_packets(kPmtPid, pmt_section(second, 1));
    ASSERT_EQ(split.size(), 2u);
    const Packet pmt = pmt_packet();
    const Packet empty_183 = packet_with_field(kPmtPid, false, 183);
    const Packet empty_255 = packet_with_field(kPmtPid, false, 255);
    const Packet old_audio = payload_packet(kAudioPid, 0x11);
    const Packet new_audio = payload_packet(0x0111, 0x12);
    const Packets in = {pat_packet(), pmt, empty_183, split[0], empty_255, split[1], old_audio, new_audio};

    const ToolRun run = extract(in);
    EXPECT_TRUE(ended_with(run, 0));
    EXPECT_EQ(run.text, extraction_text(in.size()));
    EXPECT_TRUE(wrote(run, {pmt, empty_183, split[0], empty_255, split[1], new_audio}));
}

// pointer_field values that put the section's first three bytes past the
// packet, and one that leaves the header inside but the section outside.
TEST(Hostile, PointerFieldPastThePacket) {
    const Packet pmt = pmt_packet();
    Packets in = {pat_packet(), pmt};
    Packets expected = {pmt};
    std::map<size_t, std::string> messages;
    const auto add = [&](uint16_t pid, const Bytes& payload, const std::string& message) {
        const Packet p = tsb::make_packet(header(pid, true), payload);
        messages[in.size()] = at(in.size(), message);
        in.push_back(p);
        expected.push_back(p);
    };
    for (uint8_t pointer : {181, 183, 255}) {
        add(0x0000, {pointer}, "PAT section start is out of packet, aborted.");
        add(kCatPid, {pointer}, "CAT section start is out of packet, aborted.");
        add(kPmtPid, {pointer}, "PMT section start is out of packet, aborted.");
        add(kSdtPid, {pointer}, "SDT section start is out of packet, aborted.");
    }
    // pointer_field 180: table_id and section_length in bytes 185 to 187,
    // section_length 13 running 13 bytes past the packet.
    for (const auto& table : {std::make_pair(0x0000, "PAT"), std::make_pair(0x0001, "CAT")}) {
        Bytes payload(181, 0xFF);
        payload[0] = 180;
        tsb::append(payload, {static_cast<uint8_t>(table.first), 0xB0, 0x0D});
        add(table.first, payload, std::string(table.second) + " section runs past the packet, aborted.");
    }

    const ToolRun run = extract(in);
    EXPECT_TRUE(ended_with(run, 0));
    EXPECT_EQ(run.text, extraction_text(in.size(), messages));
    EXPECT_TRUE(wrote(run, expected));
}

// A PMT of section_length 1021 fills the 1024-byte buffer exactly and is
// taken; 1022 and 4095 are refused at their start packet, and the rest of
// such a section, arriving in continuation packets, is ignored without a
// word: the PMT taken before is not processed again.
TEST(Hostile, PmtSectionLengthAtAndPastTheBuffer) {
    const auto pmt_of_length = [](int section_length) {
        tsb::Pmt pmt = usual_pmt();
        pmt.streams.resize(1);
        pmt.streams[0].es_info = Bytes(static_cast<size_t>(section_length - 18), 0x5A);
        const Bytes section = pmt_section(pmt, 1);
        EXPECT_EQ(section.size(), static_cast<size_t>(section_length + 3));
        return section;
    };
    const Packets largest = section_packets(kPmtPid, pmt_of_length(1021));
    const Packets too_long = section_packets(kPmtPid, pmt_of_length(1022));
    const Packets claims = section_packets(kPmtPid, tsb::pmt_section(usual_pmt(), claiming(4095)));
    ASSERT_EQ(largest.size(), 6u);
    ASSERT_EQ(too_long.size(), 6u);
    ASSERT_EQ(claims.size(), 1u);
    const Packet continuation = payload_packet(kPmtPid, 0x00);

    // Report mode shows every time a PMT is processed.
    Packets in = {pat_packet(), pmt_packet()};
    std::string expected = pat_report() + pmt_head() + kUsualVideoStream + kUsualAudioStream + "\n";
    expected += at(in.size(), "PMT length is too long [1022], aborted.");
    in.insert(in.end(), too_long.begin(), too_long.end());
    expected += at(in.size(), "PMT length is too long [4095], aborted.");
    in.insert(in.end(), claims.begin(), claims.end());
    in.push_back(continuation);
    in.insert(in.end(), largest.begin(), largest.end());
    expected += pmt_head("01") + kUsualVideoStream + "\n" + kDone;
    const ToolRun shown = report(in);
    EXPECT_TRUE(ended_with(shown, 0));
    EXPECT_EQ(shown.text, expected);

    // Extraction: output starts with the packet that completes the largest PMT.
    Packets extraction_in = {pat_packet()};
    extraction_in.insert(extraction_in.end(), largest.begin(), largest.end());
    const Packet video = payload_packet(kVideoPid, 0x21);
    extraction_in.push_back(video);
    const ToolRun run = extract(extraction_in);
    EXPECT_TRUE(ended_with(run, 0));
    EXPECT_EQ(run.text, extraction_text(extraction_in.size()));
    EXPECT_TRUE(wrote(run, {largest.back(), video}));
}

// The SDT buffer is the same size: 1021 is reported whole, 1022 and 4095
// are refused at their start packet.
TEST(Hostile, SdtSectionLengthAtAndPastTheBuffer) {
    const auto sdt_of_length = [](int section_length) {
        Bytes descriptors = tsb::service_descriptor(nhk_descriptor());
        const size_t fixed = 8 + 3 + 5 + 4;  // long header, original_network_id and reserved, entry, CRC
        tsb::append(descriptors, filler_descriptors(section_length + 3 - fixed - descriptors.size()));
        const Bytes section = sdt_section({service(kProgram, descriptors)});
        EXPECT_EQ(section.size(), static_cast<size_t>(section_length + 3));
        return section_packets(kSdtPid, section);
    };
    Packets in = sdt_of_length(1022);
    std::string expected = at(0, "SDT length is too long [1022], aborted.");
    expected += at(static_cast<long long>(in.size()), "SDT length is too long [4095], aborted.");
    in.push_back(psi_packet(kSdtPid, sdt_section({service(kProgram, {})}, claiming(4095))));
    const Packets largest = sdt_of_length(1021);
    in.insert(in.end(), largest.begin(), largest.end());
    expected += sdt_head() + kNhkService + kSdtEnd + kDone;

    const ToolRun run = report(in, false);
    EXPECT_TRUE(ended_with(run, 0));
    EXPECT_EQ(run.text, expected);
}

// The single-packet tables: section_length 1021 and 4095 fail the length
// bound; 180 passes it (the largest section a packet holds) and is then too
// long for the 31-entry limit; 181 fails the bound.
TEST(Hostile, SinglePacketSectionLengthsAtAndPastThePacket) {
    const Packets in = {
        psi_packet(0x0000, tsb::long_section(0x00, kTsid, {}, claiming(1021))),
        psi_packet(0x0000, tsb::long_section(0x00, kTsid, {}, claiming(4095))),
        psi_packet(kCatPid, tsb::long_section(0x01, 0xFFFF, {}, claiming(1021))),
        psi_packet(kCatPid, tsb::long_section(0x01, 0xFFFF, {}, claiming(4095))),
        psi_packet(0x0000, tsb::long_section(0x00, kTsid, Bytes(171, 0x00))),  // 180
        tsb::make_packet(header(0x0000, true),
                         [] {
                             Bytes payload = {0x00};
                             tsb::append(payload, tsb::long_section(0x00, kTsid, Bytes(172, 0x00)));  // 181
                             payload.resize(184);
                             return payload;
                         }()),
    };
    const std::string expected = at(0, "PAT length is too long [1021+0], aborted.") +
                                 at(1, "PAT length is too long [4095+0], aborted.") +
                                 at(2, "CAT length is too long [1021+0], aborted.") +
                                 at(3, "CAT length is too long [4095+0], aborted.") +
                                 at(4, "PAT length is too long [180], aborted.") +
                                 at(5, "PAT length is too long [181+0], aborted.") + kDone;
    const ToolRun run = report(in, false);
    EXPECT_TRUE(ended_with(run, 0));
    EXPECT_EQ(run.text, expected);
}

// program_info_length and ES_info_length past the section, and descriptor
// lengths past program_info: the walks stop at the section's bytes.
TEST(Hostile, PmtLengthsPastTheSection) {
    struct Case {
        const char* what;
        tsb::Pmt pmt;
        std::string report;
    };
    std::vector<Case> cases;
    {
        tsb::Pmt pmt = usual_pmt();
        pmt.program_info = tsb::ca_descriptor(0x0005, kEcmPid);
        pmt.program_info_length = 1000;  // the CA descriptor lies within the section
        cases.push_back({"program_info_length 1000", pmt, pmt_head() + ecm_line("0x0180(384)") + "\n"});
    }
    {
        tsb::Pmt pmt = usual_pmt();
        pmt.streams.clear();
        pmt.program_info = {0x09, 0x04, 0x00, 0x05};  // CA_PID would come from the CRC
        pmt.program_info_length = 6;
        cases.push_back({"CA descriptor cut by the CRC", pmt, pmt_head() + "\n"});
    }
    {
        tsb::Pmt pmt = usual_pmt();
        pmt.streams[0].es_info_length = 4000;
        cases.push_back({"ES_info_length 4000", pmt, pmt_head() + kUsualVideoStream + "\n"});
    }
    {
        tsb::Pmt pmt = usual_pmt();
        pmt.program_info = tsb::descriptor(0x0A, {0x6A, 0x70, 0x6E}, 255);
        tsb::append(pmt.program_info, tsb::ca_descriptor(0x0005, kEcmPid));
        cases.push_back({"descriptor_length past program_info", pmt,
                         pmt_head() + kUsualVideoStream + kUsualAudioStream + "\n"});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ToolRun run = report({pat_packet(), pmt_packet(c.pmt), tsb::null_packet()});
        EXPECT_TRUE(ended_with(run, 0));
        EXPECT_EQ(run.text, pat_report() + c.report + kDone);
    }

    // In extraction the same PMTs pass only what the walk could read.
    tsb::Pmt cut = usual_pmt();
    cut.streams[0].es_info_length = 4000;
    const Packet pmt = pmt_packet(cut);
    const Packet video = payload_packet(kVideoPid, 0x31);
    const ToolRun run = extract({pat_packet(), pmt, video, payload_packet(kAudioPid, 0x32)});
    EXPECT_TRUE(ended_with(run, 0));
    EXPECT_TRUE(wrote(run, {pmt, video}));
}

// CAT descriptors: a CA descriptor whose length runs past the loop is still
// read (its six bytes lie inside); one with fewer than six bytes before the
// CRC is not; a descriptor running past the loop hides what follows.
TEST(Hostile, CatDescriptorLengthsPastTheLoop) {
    const std::string taken = cat_report("00", "0x0005(5)", "0x0901(2305)");
    Bytes hiding = tsb::descriptor(0xC1, {0x01}, 255);
    tsb::append(hiding, tsb::ca_descriptor(0x0005, kEmmPid));
    const struct {
        const char* what;
        Bytes descriptors;
        std::string report;
    } cases[] = {
        {"CA descriptor length 255", tsb::ca_descriptor(0x0005, kEmmPid, {}, 255), taken},
        {"CA descriptor of four bytes", {0x09, 0x02, 0x00, 0x05}, kCatNotValid},
        {"descriptor length past the loop", hiding, kCatNotValid},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ToolRun run = report(with_nulls({psi_packet(kCatPid, tsb::cat_section(c.descriptors))}), false);
        EXPECT_TRUE(ended_with(run, 0));
        EXPECT_EQ(run.text, c.report + kDone);
    }
}

// SDT lengths past the service loop: the walk ends where a length would lead
// it out, after printing what it had read.
TEST(Hostile, SdtLengthsPastTheLoop) {
    const std::string id_only = service_id("0x0400(1024)");
    const Bytes nhk = tsb::service_descriptor(nhk_descriptor());
    tsb::ServiceDescriptor long_provider = nhk_descriptor();
    long_provider.provider_length = 200;
    tsb::ServiceDescriptor long_name = nhk_descriptor();
    long_name.name_length = 200;
    tsb::ServiceDescriptor long_descriptor = nhk_descriptor();
    long_descriptor.length = 255;
    Bytes hidden = tsb::descriptor(0xC1, {0x01, 0x02}, 255);
    tsb::append(hidden, nhk);
    tsb::SdtService long_loop = service(kProgram, nhk);
    long_loop.descriptors_loop_length = 4000;

    const struct {
        const char* what;
        std::vector<tsb::SdtService> services;
        std::string report;
    } cases[] = {
        {"descriptors_loop_length 4000", {long_loop}, kNhkService},
        {"descriptor_length past the loop", {service(kProgram, hidden)}, id_only},
        {"provider name past the loop", {service(kProgram, tsb::service_descriptor(long_provider))}, id_only},
        {"service name past the loop", {service(kProgram, tsb::service_descriptor(long_name))}, id_only},
        {"truncated service descriptor", {service(kProgram, {0x48, 0x03})}, id_only},
        // The names lie inside; the descriptor's length then ends both loops.
        {"service descriptor length 255",
         {service(kProgram, tsb::service_descriptor(long_descriptor)), service(0x0408, nhk)},
         kNhkService},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ToolRun run = report(with_nulls({psi_packet(kSdtPid, sdt_section(c.services))}), false);
        EXPECT_TRUE(ended_with(run, 0));
        EXPECT_EQ(run.text, sdt_head() + c.report + kSdtEnd + kDone);
    }
}

// The framing check needs 384 bytes; anything shorter fails before a packet
// is read, after the output file has been created. A partial last packet is
// never read.
TEST(Hostile, TruncatedFiles) {
    const Packet pat = pat_packet();
    const Packet pmt = pmt_packet();
    const Bytes whole = join({pat, pmt, pat});
    const std::string too_short = "Unexpected EOF detected.\nFile isn't MPEG2_TS or Timestamped-MPEG2_TS\n";
    for (size_t size : {size_t{0}, size_t{1}, size_t{187}, size_t{188}, size_t{383}}) {
        SCOPED_TRACE(size);
        const ToolRun run =
            run_on(Bytes(whole.begin(), whole.begin() + static_cast<long>(size)), {}, {kProgramArg}, true);
        EXPECT_TRUE(ended_with(run, 1));
        EXPECT_EQ(run.text, too_short);
        EXPECT_TRUE(wrote(run, {}));
    }
    // 384 bytes: two packets and the first 8 bytes of a third.
    Bytes file(whole.begin(), whole.begin() + 384);
    ToolRun run = run_on(file, {}, {kProgramArg}, true);
    EXPECT_TRUE(ended_with(run, 0));
    EXPECT_EQ(run.text, extraction_text(2));
    EXPECT_TRUE(wrote(run, {pmt}));

    // 192-byte records: two of them are exactly 384 bytes.
    tsb::Stream stamped;
    stamped.add(pat).add(pmt);
    const Bytes records = stamped.bytes(192);
    ASSERT_EQ(records.size(), 384u);
    run = run_on(records, {}, {kProgramArg}, true);
    EXPECT_TRUE(ended_with(run, 0));
    EXPECT_EQ(run.text, extraction_text(2));
    EXPECT_EQ(run.output, Bytes(records.begin() + 192, records.end()));

    // A partial PAT at the end is not read: its rewrite would show.
    const Packet video = payload_packet(kVideoPid, 0x41);
    file = join({pat, pmt, video});
    file.insert(file.end(), pat.begin(), pat.begin() + 100);
    run = run_on(file, {}, {kProgramArg}, true);
    EXPECT_TRUE(ended_with(run, 0));
    EXPECT_EQ(run.text, extraction_text(3));
    EXPECT_TRUE(wrote(run, {pmt, video}));
}

// A file of 0x47 bytes is framed as 188-byte packets of PID 0x0747 with the
// reserved adaptation_field_control 0: nothing is parsed or written.
TEST(Hostile, FileOfSyncBytesOnly) {
    const Bytes file(188 * 8 + 5, 0x47);
    ToolRun run = run_on(file, {}, {}, false);
    EXPECT_TRUE(ended_with(run, 0));
    EXPECT_EQ(run.text, kDone);
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{}, std::vector<std::string>{"-e"}}) {
        run = run_on(file, options, {kProgramArg}, true);
        EXPECT_TRUE(ended_with(run, 0));
        const std::string option_line =
            options.empty() ? "" : "option -e: Replace noon-target to NULL option enable\n";
        EXPECT_EQ(run.text, option_line + extraction_text(8));
        EXPECT_TRUE(wrote(run, {}));
    }
}

// Bytes of a fixed Mersenne Twister sequence (the engine's output is the
// same everywhere, unlike the library's distributions).
Bytes random_bytes(uint32_t seed, size_t count) {
    std::mt19937 engine(seed);
    Bytes bytes(count);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(engine() >> 24);
    return bytes;
}

// Random bytes after a valid start: every record whose first byte is not a
// sync byte is reported and written as it came (forced here, for the rare
// record that would start with 0x47); the trailing partial record is ignored.
TEST(Hostile, RandomBytesAfterAValidStart) {
    const Packet pmt = pmt_packet();
    const Packet video = payload_packet(kVideoPid, 0x51);
    Packets in = {pat_packet(), pmt, video};
    Packets expected = {pmt, video};
    std::map<size_t, std::string> messages;
    const Bytes noise = random_bytes(20240601, 300 * 188 + 77);
    for (size_t at_byte = 0; at_byte + 188 <= noise.size(); at_byte += 188) {
        Packet p;
        std::copy_n(noise.begin() + static_cast<long>(at_byte), 188, p.begin());
        if (p[0] == 0x47) p[0] = 0x46;
        char line[64];
        std::snprintf(line, sizeof line, "ERR: 0x47 sync byte error[%02X]\n", p[0]);
        messages[in.size()] = line;
        in.push_back(p);
        expected.push_back(p);
    }
    Bytes file = join(in);
    file.insert(file.end(), noise.end() - 77, noise.end());

    const ToolRun run = run_on(file, {}, {kProgramArg}, true);
    EXPECT_TRUE(ended_with(run, 0));
    EXPECT_EQ(run.text, extraction_text(in.size(), messages));
    EXPECT_TRUE(wrote(run, expected));
}

// Packets with a sync byte and random everything else on the table PIDs and
// the program's PIDs, with now and then an intact PAT and PMT: whatever the
// tool makes of them, it ends by itself with 0 (or 1 after a failed name
// conversion, said on stderr), and writes only packets of the input,
// single-program PATs made of input PATs, or null packets under -e.
TEST(Hostile, RandomPacketsOnTablePids) {
    const uint16_t pids[] = {0x0000, kCatPid, kSdtPid, kPmtPid, kVideoPid, kAudioPid, 0x1FFF};
    for (uint32_t seed = 1; seed <= 6; ++seed) {
        std::mt19937 engine(seed);
        Packets in;
        for (int i = 0; i < 400; ++i) {
            const uint32_t pick = engine();
            if (pick % 16 == 0) {
                in.push_back(pat_packet());
                in.push_back(pmt_packet());
                continue;
            }
            const Bytes body = random_bytes(engine(), 188);
            Packet p;
            std::copy(body.begin(), body.end(), p.begin());
            const uint16_t pid = pids[(pick >> 4) % 7];
            p[0] = 0x47;
            p[1] = static_cast<uint8_t>((p[1] & 0xE0) | pid >> 8);
            p[2] = static_cast<uint8_t>(pid);
            if (pick & 0x100) p[3] |= 0x10;             // mostly with payload
            if (pick & 0x200) p[4] = (pick >> 12) & 7;  // short pointer_field or adaptation field
            in.push_back(p);
        }
        for (const std::vector<std::string>& options :
             {std::vector<std::string>{}, std::vector<std::string>{"-e"},
              std::vector<std::string>{"-s", "-z"}}) {
            SCOPED_TRACE("seed " + std::to_string(seed) + " options " + std::to_string(options.size()));
            const ToolRun run = extract(in, options);
            ASSERT_FALSE(run.result.signaled) << "signal " << run.result.signal;
            if (run.result.exit_code == 0) {
                EXPECT_EQ(run.result.err, "");
                EXPECT_EQ(run.text.substr(run.text.size() - kDone.size()), kDone);
            } else {
                EXPECT_EQ(run.result.exit_code, 1);
                EXPECT_EQ(run.result.err, "Error at iconv()\n");
                EXPECT_EQ(run.text.find("Done."), std::string::npos);
            }
            EXPECT_TRUE(is_filtered_copy(in, run.output, !options.empty() && options[0] == "-e"));
        }
        const ToolRun shown = report(in);
        ASSERT_FALSE(shown.result.signaled) << "signal " << shown.result.signal;
        EXPECT_TRUE(shown.result.exit_code == 0 || shown.result.err == "Error at iconv()\n");
    }
}

// A PAT that gives the target PMT PID 0 is refused whole, every time.
TEST(Hostile, PatNamingPidZeroForTheTarget) {
    const Packets in = {pat_packet(0x0000), pmt_packet(), payload_packet(kVideoPid, 0x61),
                        pat_packet(0x0000)};
    const std::map<size_t, std::string> messages = {{0, at(0, "PID of PMT is zero. aborted.")},
                                                    {3, at(3, "PID of PMT is zero. aborted.")}};
    ToolRun run = extract(in);
    EXPECT_TRUE(ended_with(run, 0));
    EXPECT_EQ(run.text, extraction_text(in.size(), messages));
    EXPECT_TRUE(wrote(run, {}));

    run = report(in);
    EXPECT_TRUE(ended_with(run, 0));
    EXPECT_EQ(run.text, messages.at(0) + messages.at(3) + kDone);
}

// A PMT carried on the CAT's or the SDT's PID: the PMT handler takes every
// packet of that PID, so the table that belongs there is refused as a PMT
// and never read (its EMM PID never passes).
TEST(Hostile, PmtOnThePidOfAnotherTable) {
    const struct {
        uint16_t pid;
        Bytes other_table;
        std::string refusal;
    } cases[] = {
        {kCatPid, tsb::cat_section(tsb::ca_descriptor(0x0005, kEmmPid)), "Invalid PMT table id[1], aborted."},
        {kSdtPid, sdt_section({service(kProgram, tsb::service_descriptor(nhk_descriptor()))}),
         "Invalid PMT table id[66], aborted."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pid);
        const Packet pmt = pmt_packet(usual_pmt(), 0, c.pid);
        const Packet other = psi_packet(c.pid, c.other_table);
        const Packet later_pat = pat_packet(c.pid);
        const Packet video = payload_packet(kVideoPid, 0x71);
        const Packet emm = payload_packet(kEmmPid, 0x72);
        const Packets in = {pat_packet(c.pid), pmt, other, video, later_pat, emm};
        const ToolRun run = extract(in);
        EXPECT_TRUE(ended_with(run, 0));
        EXPECT_EQ(run.text, extraction_text(in.size(), {{2, at(2, c.refusal)}}));
        EXPECT_TRUE(wrote(run, {pmt, other, video, rewritten_pat(later_pat, kTsid, 0, kProgram, c.pid)}));
    }
}

// A PMT on the null PID: null packets then pass even under -d, and each one
// is a continuation packet that has the complete PMT processed once more.
TEST(Hostile, PmtOnTheNullPid) {
    const Packet null = tsb::null_packet();
    const Packet pmt = pmt_packet(usual_pmt(), 0, 0x1FFF);
    const Packet video = payload_packet(kVideoPid, 0x81);
    const Packet later_pat = pat_packet(0x1FFF);
    const Packets in = {pat_packet(0x1FFF), null, pmt, null, video, later_pat};

    ToolRun run = extract(in, {"-d"});
    EXPECT_TRUE(ended_with(run, 0));
    EXPECT_EQ(run.text,
              "option -d: Drop non-target or NULL Packets option enabled\n" + extraction_text(in.size()));
    EXPECT_TRUE(wrote(run, {pmt, null, video, rewritten_pat(later_pat, kTsid, 0, kProgram, 0x1FFF)}));

    run = report(in);
    EXPECT_TRUE(ended_with(run, 0));
    const std::string pmt_report = pmt_head() + kUsualVideoStream + kUsualAudioStream + "\n";
    EXPECT_EQ(run.text,
              pat_report("0x1FFF(8191)") + pmt_report + pmt_report + pat_report("0x1FFF(8191)") + kDone);
}

// A PMT that names PID 0 as an elementary stream: when the next version
// withdraws the old streams, PID 0 stays marked, so the PAT keeps passing
// (it would otherwise be dropped, or nulled under -e, for the rest of the run).
TEST(Hostile, PmtNamingThePatPid) {
    tsb::Pmt naming_zero = usual_pmt();
    naming_zero.streams[0].pid = 0x0000;
    const Packet first = pmt_packet(naming_zero, 0);
    const Packet second = pmt_packet(usual_pmt(), 1);
    const Packet pat_while_named = pat_packet();
    const Packet pat_after = pat_packet();
    const Packet video = payload_packet(kVideoPid, 0x91);
    const Packets in = {pat_packet(), first, pat_while_named, second, pat_after, video};

    ToolRun run = extract(in);
    EXPECT_TRUE(ended_with(run, 0));
    EXPECT_TRUE(wrote(run, {first, rewritten_pat(pat_while_named, kTsid, 0), second,
                            rewritten_pat(pat_after, kTsid, 0), video}));

    run = extract(in, {"-e"});
    EXPECT_TRUE(ended_with(run, 0));
    EXPECT_TRUE(wrote(run, {first, rewritten_pat(pat_while_named, kTsid, 0), second,
                            rewritten_pat(pat_after, kTsid, 0), video}));
}

// PAT and PMT change version on every packet, the PAT moving the program
// between two PMT PIDs and each PMT version carrying its own stream: every
// change is taken, and only the stream of the latest PMT passes.
TEST(Hostile, VersionFlipFlopOnEveryPacket) {
    const uint16_t pmt_pids[2] = {kPmtPid, 0x01E0};
    const uint16_t stream_pids[2] = {0x0100, 0x0101};
    Packets in;
    Packets expected;
    for (int round = 0; round < 6; ++round) {
        const uint8_t v = round % 2;
        tsb::Pmt pmt;
        pmt.program_number = kProgram;
        pmt.pcr_pid = stream_pids[v];
        pmt.streams = {{0x02, stream_pids[v], {}, std::nullopt}};
        const Packet pat = pat_packet(pmt_pids[v], v);
        const Packet pmt_p = pmt_packet(pmt, v, pmt_pids[v]);
        const Packet own = payload_packet(stream_pids[v], static_cast<uint8_t>(round));
        const Packet other = payload_packet(stream_pids[1 - v], static_cast<uint8_t>(0x80 + round));
        in.insert(in.end(), {pat, pmt_p, other, own});
        if (round > 0) expected.push_back(rewritten_pat(pat, kTsid, v, kProgram, pmt_pids[v]));
        expected.push_back(pmt_p);
        expected.push_back(own);
    }
    const ToolRun run = extract(in);
    EXPECT_TRUE(ended_with(run, 0));
    EXPECT_EQ(run.text, extraction_text(in.size()));
    EXPECT_TRUE(wrote(run, expected));
}

// The CAT's version flips on every CAT packet, moving the EMM between two
// PIDs: only the EMM of the latest CAT passes.
TEST(Hostile, CatVersionFlipFlopOnEveryPacket) {
    const uint16_t emm_pids[2] = {kEmmPid, 0x0902};
    const Packet pmt = pmt_packet();
    Packets in = {pat_packet(), pmt};
    Packets expected = {pmt};
    for (int round = 0; round < 6; ++round) {
        const uint8_t v = round % 2;
        const Packet cat =
            psi_packet(kCatPid, tsb::cat_section(tsb::ca_descriptor(0x0005, emm_pids[v]), version(v)));
        const Packet own = payload_packet(emm_pids[v], static_cast<uint8_t>(round));
        const Packet other = payload_packet(emm_pids[1 - v], static_cast<uint8_t>(0x80 + round));
        in.insert(in.end(), {cat, other, own});
        expected.insert(expected.end(), {cat, tsb::null_packet(), own});
    }
    const ToolRun run = extract(in, {"-e"});
    EXPECT_TRUE(ended_with(run, 0));
    EXPECT_TRUE(wrote(run, expected));
}

// The rewritten PAT needs 21 bytes behind a kept adaptation field: with a
// field of 162 bytes it ends at the packet's last byte; with 163 there is no
// room, and the PAT passes as it came.
TEST(Hostile, KeptAdaptationFieldLeavesNoRoomForTheRewrite) {
    const auto pat_behind_field = [](int field_length, const Bytes& section) {
        Bytes payload = {0x00};
        tsb::append(payload, section);
        return packet_with_field(0x0000, true, field_length, 0x02, payload);  // private data flag
    };
    // 162: a 20-byte PAT whose network entry the rewrite corrects to 0x0010.
    const Packet fits = pat_behind_field(162, pat_section(kPmtPid, 0, 0x001F));
    // 163: room for a 16-byte PAT of the target alone.
    const Packet no_room = pat_behind_field(163, tsb::pat_section(kTsid, {{kProgram, kPmtPid}}));
    const Packet pmt = pmt_packet();
    const ToolRun run = extract({pat_packet(), pmt, fits, no_room});
    EXPECT_TRUE(ended_with(run, 0));
    Packet rewritten = fits;
    const Bytes section = pat_section();
    std::copy(section.begin(), section.end(), rewritten.begin() + 168);
    EXPECT_TRUE(wrote(run, {pmt, rewritten, no_room}));
}

// A service name that cannot be converted ends the run with status 1 in both
// modes: what was written before stays in the output file, the SDT packet is
// not written, and the run does not claim to be done.
TEST(Hostile, FailedNameConversionEndsTheRun) {
    const Bytes invalid = {0x46, 0x7C, 0x19, 0xA2};  // a GR byte after SS2
    Bytes too_long;
    for (int i = 0; i < 86; ++i) tsb::append(too_long, {0x46, 0x7C});  // 258 bytes of UTF-8
    Bytes exactly_256;
    for (int i = 0; i < 85; ++i) tsb::append(exactly_256, {0x46, 0x7C});
    tsb::append(exactly_256, {0x89, 0x0E, 0x41});

    const Packet pmt = pmt_packet();
    const Packet video = payload_packet(kVideoPid, 0xA1);
    const auto sdt_with_name = [&](const Bytes& name) {
        tsb::ServiceDescriptor d = nhk_descriptor();
        d.name = name;
        return section_packets(kSdtPid, sdt_section({service(kProgram, tsb::service_descriptor(d))}));
    };
    const auto stream_with = [&](const Packets& sdt) {
        Packets in = {pat_packet(), pmt, video};
        in.insert(in.end(), sdt.begin(), sdt.end());
        in.push_back(video);
        return in;
    };
    for (const Bytes& name : {invalid, too_long}) {
        SCOPED_TRACE(name.size());
        const Packets sdt = sdt_with_name(name);
        const Packets in = stream_with(sdt);
        ToolRun run = extract(in);
        EXPECT_FALSE(run.result.signaled);
        EXPECT_EQ(run.result.exit_code, 1);
        EXPECT_EQ(run.result.err, "Error at iconv()\n");
        const size_t last_sdt = 2 + sdt.size();
        EXPECT_EQ(run.text, progress_text(in.size(), {}, last_sdt + 1));
        Packets written = {pmt, video};
        written.insert(written.end(), sdt.begin(), sdt.end() - 1);  // the last one ends the run
        EXPECT_TRUE(wrote(run, written));

        run = report(in, false);
        EXPECT_FALSE(run.result.signaled);
        EXPECT_EQ(run.result.exit_code, 1);
        EXPECT_EQ(run.result.err, "Error at iconv()\n");
        const std::string provider_lines = kNhkService.substr(0, kNhkService.rfind("   Service name:"));
        EXPECT_EQ(run.text, pat_report() + sdt_head() + provider_lines);
    }
    const Packets sdt = sdt_with_name(exactly_256);
    const ToolRun run = extract(stream_with(sdt));
    EXPECT_TRUE(ended_with(run, 0));
    Packets written = {pmt, video};
    written.insert(written.end(), sdt.begin(), sdt.end());
    written.push_back(video);
    EXPECT_TRUE(wrote(run, written));

    // Right behind an SDT of the same size whose names converted.
    Packets same_size = sdt_with_name({0x46, 0x7C, 0x46, 0x7C});
    const Packets failing = sdt_with_name(invalid);
    same_size.insert(same_size.end(), failing.begin(), failing.end());
    EXPECT_EQ(extract(stream_with(same_size)).result.err, "Error at iconv()\n");
}

}  // namespace
