// Streams, runs and expected texts shared by the end-to-end tests of the PAT,
// section assembly, PMT, CAT, SDT, program extraction and hostile streams.
#ifndef TSNARROW_TESTS_E2E_PSI_HELPERS_H
#define TSNARROW_TESTS_E2E_PSI_HELPERS_H

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "e2e_cli_common.h"
#include "support.h"

namespace psi_e2e {

// Shared with the command-line tests.
using e2e::after_banner;
using e2e::extraction_text;
using e2e::payload_packet;
using e2e::progress_text;

// The program most tests follow, and a second one beside it.
constexpr uint16_t kProgram = 0x0400;
constexpr uint16_t kPmtPid = 0x01F0;
constexpr uint16_t kVideoPid = 0x0100;  // also the PCR PID
constexpr uint16_t kAudioPid = 0x0110;
constexpr uint16_t kOtherProgram = 0x0408;
constexpr uint16_t kOtherPmtPid = 0x01F1;
constexpr uint16_t kCaSystem = 0x0005;
constexpr uint16_t kEmmPid = 0x0901;
constexpr uint16_t kEcmPid = 0x0180;
constexpr uint16_t kCatPid = 0x0001;
constexpr uint16_t kSdtPid = 0x0011;

inline const std::string kPatTitle = "****************** PAT Information ******************\n";
inline const std::string kPmtTitle = "****************** PMT Information ******************\n";
inline const std::string kCatTitle = "****************** CAT Information ******************\n";
inline const std::string kDashes = "-----------------------------------------------------\n";
inline const std::string kDone = "\nDone.\n";

// ----------------------------------------------------------- report texts
// Values are passed as printed, e.g. "0x0400(1024)".

// Title, current_next_indicator, version and transport ID of a PAT report.
inline std::string pat_head(const std::string& version = "00", const std::string& transport_id = "0x0001(1)",
                            const std::string& current_next = "true") {
    return kPatTitle + " PAT Current_next_indicator : " + current_next + "\n Version      : " + version +
           "\n Transport ID : " + transport_id + "\n";
}
// One program of a PAT report, behind its dashes.
inline std::string pat_entry(const std::string& program, const std::string& pid) {
    return kDashes + "   Program#   : " + program + "\n     PID      : " + pid + "\n";
}
inline const std::string kNetworkEntry = pat_entry("0x0000(0)", "0x0010(16)");
// The three programs of usual_pat().
inline const std::string kUsualPatEntries =
    kNetworkEntry + pat_entry("0x0400(1024)", "0x01F0(496)") + pat_entry("0x0408(1032)", "0x01F1(497)");
// A PAT of version 1 that moves the program to PMT PID 0x01E0.
inline const std::string kMovedPatReport =
    pat_head("01") + kNetworkEntry + pat_entry("0x0400(1024)", "0x01E0(480)") + "\n";

// Title, current_next_indicator, version, program and PCR PID of a PMT report.
inline std::string pmt_head(const std::string& version = "00", const std::string& pcr_pid = "0x0100(256)",
                            const std::string& program = "0x0400(1024)",
                            const std::string& current_next = "true") {
    return kPmtTitle + " PMT Current_next_indicator : " + current_next + "\n Version      : " + version +
           "\n Program#     : " + program + "\n PCR PID      : " + pcr_pid + "\n";
}
inline std::string ecm_line(const std::string& pid) { return " ECM PID      : " + pid + "\n"; }
// One elementary stream of a PMT report, behind its dashes.
inline std::string pmt_stream(const std::string& pid, const std::string& type) {
    return kDashes + "   stream PID : " + pid + "\n   type       : " + type + "\n";
}
inline const std::string kMpeg2VideoType =
    "02: ITU-T Rec. H.262 | ISO/IEC 13818(MPEG-2)-2 Video or ISO/IEC 11172-2 constrained parameter video "
    "stream";
inline const std::string kAdtsAudioType = "15: ISO/IEC 13818(MPEG-2)-7 Audio with ADTS transport syntax";
inline const std::string kAvcVideoType =
    "27: AVC video as defined in ITU-T Rec. H.264 | ISO/IEC 14496(MPEG-4)-10 Video";
// The two streams of usual_pmt().
inline const std::string kUsualVideoStream = pmt_stream("0x0100(256)", kMpeg2VideoType);
inline const std::string kUsualAudioStream = pmt_stream("0x0110(272)", kAdtsAudioType);

// Title, current_next_indicator, version, CA_system_id and EMM PID of a CAT report.
inline std::string cat_report(const std::string& version, const std::string& ca_system_id,
                              const std::string& emm_pid, const std::string& current_next = "true") {
    return kCatTitle + " CAT Current_next_indicator : " + current_next + "\n Version      : " + version +
           "\n CA_system_id : " + ca_system_id + "\n EMM PID      : " + emm_pid + "\n\n";
}
inline const std::string kCatNotValid = kCatTitle + " CAT Not Valid\n";

// Title and version of an SDT report, e.g. "00(0x00)"; its closing line.
inline std::string sdt_head(const std::string& version = "00(0x00)") {
    return "****************** SDT Information ******************\n Version: " + version + "\n";
}
inline const std::string kSdtEnd = " \n";
// The line that opens a service of an SDT report, behind its dashes.
inline std::string service_id(const std::string& id) { return kDashes + "  Service ID: " + id + "\n"; }
// What a service descriptor prints: its type line, then the two names.
inline std::string service_names(const std::string& type_line, const std::string& provider,
                                 const std::string& name) {
    return type_line + "   Service provider name: " + provider + "\n   Service name:          " + name + "\n";
}
inline const std::string kDigitalTv = "   Service Type(01):      Digital television service\n";

// ---------------------------------------------------------------- sections

// Section options of this version (and current_next_indicator).
inline tsb::SectionOpts version(uint8_t v, bool current_next = true) {
    tsb::SectionOpts o;
    o.version = v;
    o.current_next = current_next;
    return o;
}
// `o` with a damaged CRC_32, with this section_number and last_section_number,
// or claiming this section_length.
inline tsb::SectionOpts bad_crc(tsb::SectionOpts o = {}) {
    o.bad_crc = true;
    return o;
}
inline tsb::SectionOpts numbered(uint8_t section_number, uint8_t last_section_number,
                                 tsb::SectionOpts o = {}) {
    o.section_number = section_number;
    o.last_section_number = last_section_number;
    return o;
}
inline tsb::SectionOpts claiming(int section_length, tsb::SectionOpts o = {}) {
    o.section_length = section_length;
    return o;
}

// A section of section_length 4 or more, too short for any table's fixed
// fields, whose last four bytes are the CRC of those before them: only such a
// built section passes the CRC check this short.
inline tsb::Bytes sealed_short_section(uint8_t table_id, int section_length) {
    tsb::Bytes s = {table_id, 0xB0, static_cast<uint8_t>(section_length)};
    s.resize(static_cast<size_t>(section_length) + 3 - 4, 0x00);
    const uint32_t crc = tsb::crc32(s);
    tsb::append(s, {static_cast<uint8_t>(crc >> 24), static_cast<uint8_t>(crc >> 16),
                    static_cast<uint8_t>(crc >> 8), static_cast<uint8_t>(crc)});
    return s;
}

// transport_stream_id 1: network 0x0010, 0x0400 -> 0x01F0, 0x0408 -> 0x01F1.
inline tsb::Bytes usual_pat(const tsb::SectionOpts& o = {}) {
    return tsb::pat_section(1, {{0, 0x0010}, {kProgram, kPmtPid}, {kOtherProgram, kOtherPmtPid}}, o);
}

// What report mode prints for usual_pat() with version 0.
inline const std::string kUsualPatReport = pat_head() + kUsualPatEntries + "\n";

// Program 0x0400: PCR 0x0100, MPEG-2 video 0x0100, ADTS audio 0x0110. The
// audio entry carries `es_info_bytes` of ES_info (never read by the tool),
// which lets a test give the section any length it needs.
inline tsb::Pmt usual_pmt(size_t es_info_bytes = 0) {
    tsb::Pmt pmt;
    pmt.program_number = kProgram;
    pmt.pcr_pid = kVideoPid;
    pmt.streams = {{0x02, kVideoPid, {}, std::nullopt},
                   {0x0F, kAudioPid, tsb::Bytes(es_info_bytes, 0x5A), std::nullopt}};
    return pmt;
}
constexpr int kUsualPmtSectionLength = 23;

// usual_pmt() grown to exactly `section_length`.
inline tsb::Bytes usual_pmt_section(int section_length = kUsualPmtSectionLength,
                                    const tsb::SectionOpts& o = {}) {
    if (section_length < kUsualPmtSectionLength) throw std::logic_error("PMT shorter than its entries");
    return tsb::pmt_section(usual_pmt(static_cast<size_t>(section_length - kUsualPmtSectionLength)), o);
}

// What report mode prints for usual_pmt() with version 0 and no ECM known.
inline const std::string kUsualPmtReport = pmt_head() + kUsualVideoStream + kUsualAudioStream + "\n";

// An entry of an SDT's service loop.
inline tsb::SdtService service(uint16_t id, const tsb::Bytes& descriptors,
                               std::optional<int> descriptors_loop_length = std::nullopt) {
    tsb::SdtService s{};
    s.service_id = id;
    s.descriptors = descriptors;
    s.descriptors_loop_length = descriptors_loop_length;
    return s;
}

// CAT with one CA descriptor: CA_system_id 0x0005, EMM PID 0x0901.
inline tsb::Bytes usual_cat(const tsb::SectionOpts& o = {}) {
    return tsb::cat_section(tsb::ca_descriptor(kCaSystem, kEmmPid), o);
}

// ----------------------------------------------------------------- packets

// One packet carrying the section(s) from a unit start; throws when more
// than one packet is needed.
inline tsb::Packet psi_packet(uint16_t pid, const tsb::Bytes& sections, const tsb::PsiOpts& opts = {},
                              uint8_t cc = 0) {
    tsb::Packets packets = tsb::psi_packets(pid, sections, cc, opts);
    if (packets.size() != 1) throw std::logic_error("the section needs more than one packet");
    return packets[0];
}

// A PAT packet; usual_pat() unless another section is given.
inline tsb::Packet pat_packet(const tsb::Bytes& section = usual_pat()) { return psi_packet(0x0000, section); }

// A unit-start packet with pointer_field, `before` and the section, behind
// `af` when one is given; whatever would pass byte 187 is cut off, so that
// sections too long for the packet can be offered.
inline tsb::Packet start_packet(uint16_t pid, const tsb::Bytes& section,
                                const std::optional<tsb::AdaptationField>& af = std::nullopt,
                                const tsb::Bytes& before = {}) {
    tsb::Bytes payload{static_cast<uint8_t>(before.size())};
    tsb::append(payload, before);
    tsb::append(payload, section);
    tsb::Header h;
    h.pid = pid;
    h.unit_start = true;
    h.afc = af ? 3 : 1;
    if (af) {
        tsb::AdaptationField field = *af;
        if (!field.length) field.length = static_cast<int>(tsb::adaptation_size(field) - 1);
        return tsb::make_packet(h, payload, field);
    }
    payload.resize(std::min(payload.size(), tsb::kPacketSize - 4));
    return tsb::make_packet(h, payload);
}

// A packet laid out by hand: header with the given unit start and
// adaptation_field_control, then `from4` from byte 4 on (cut at byte 187),
// 0xFF behind.
inline tsb::Packet raw_packet(uint16_t pid, bool unit_start, int afc, const tsb::Bytes& from4,
                              uint8_t cc = 0) {
    tsb::Packet p;
    p.fill(0xFF);
    p[0] = 0x47;
    p[1] = static_cast<uint8_t>((unit_start ? 0x40 : 0) | (pid >> 8 & 0x1F));
    p[2] = static_cast<uint8_t>(pid);
    p[3] = static_cast<uint8_t>((afc & 3) << 4 | (cc & 0x0F));
    std::copy_n(from4.begin(), std::min(from4.size(), tsb::kPacketSize - 4), p.begin() + 4);
    return p;
}

// Payload bytes from..from+count-1 of `bytes` in a continuation packet.
inline tsb::Packet continuation(uint16_t pid, const tsb::Bytes& bytes, size_t from, size_t count) {
    const size_t end = std::min(bytes.size(), from + count);
    return raw_packet(
        pid, false, 1,
        tsb::Bytes(bytes.begin() + static_cast<long>(from), bytes.begin() + static_cast<long>(end)));
}

// A PAT packet without unit start: the PAT handler only prints
// "%08llX: Unit start indicator is not set, aborted." for it, which marks
// where in the run the output around it was printed.
inline tsb::Packet marker_packet() { return raw_packet(0x0000, false, 1, {0x00}); }
inline std::string marker(int index) {
    char text[64];
    std::snprintf(text, sizeof text, "%08X: Unit start indicator is not set, aborted.", index);
    return text;
}

// The PAT as the tool rewrites `original` when it targets `program` on
// `pmt_pid`: original header bytes without the adaptation field bit, then a
// two-entry PAT (network entry 0x0010 and the program) made by the builder.
inline tsb::Packet rewritten_pat(const tsb::Packet& original, uint16_t transport_stream_id, uint8_t version,
                                 uint16_t program = kProgram, uint16_t pmt_pid = kPmtPid) {
    tsb::SectionOpts o;
    o.version = version;
    tsb::Packet p =
        psi_packet(0x0000, tsb::pat_section(transport_stream_id, {{0, 0x0010}, {program, pmt_pid}}, o));
    p[1] = original[1];
    p[2] = original[2];
    p[3] = static_cast<uint8_t>(original[3] & ~0x20);
    return p;
}

// "dump data = " and "%02X " for every byte of the packet.
inline std::string dump_line(const tsb::Packet& p) {
    std::string line = "dump data = ";
    char hex[4];
    for (uint8_t byte : p) {
        std::snprintf(hex, sizeof hex, "%02X ", byte);
        line += hex;
    }
    return line + "\n";
}

// -------------------------------------------------------------------- runs

struct Outcome {
    RunResult run;
    std::string text;  // standard output behind the banner
    tsb::Packets out;  // the extracted packets (extraction runs)
};

// Report mode: `input [program]`.
inline Outcome report(const std::string& input, int program = -1) {
    std::vector<std::string> args{input};
    if (program > 0) args.push_back(std::to_string(program));
    Outcome o;
    o.run = run_tool(args);
    o.text = after_banner(o.run.out);
    EXPECT_EQ(o.run.exit_code, 0) << o.run.out;
    return o;
}

// Report mode over the packets, written to a file in dir.
inline Outcome report(const TempDir& dir, const tsb::Packets& packets, int program = -1) {
    return report(write_packets(dir, packets), program);
}

// Extraction mode: `options... input program out.ts`, the output read back in
// `out_framing`.
inline Outcome extract(const TempDir& dir, const std::string& input, int program,
                       const std::vector<std::string>& options = {}, size_t out_framing = tsb::kPacketSize) {
    std::vector<std::string> args = options;
    const std::string output = dir.file("out.ts");
    args.insert(args.end(), {input, std::to_string(program), output});
    Outcome o;
    o.run = run_tool(args);
    o.text = after_banner(o.run.out);
    EXPECT_EQ(o.run.exit_code, 0) << o.run.out;
    if (file_exists(output)) o.out = read_packets(output, out_framing);
    return o;
}

inline Outcome extract(const TempDir& dir, const tsb::Packets& packets, int program = kProgram,
                       const std::vector<std::string>& options = {}) {
    return extract(dir, write_packets(dir, packets), program, options);
}

// The packets at the given indexes, in that order.
inline tsb::Packets pick(const tsb::Packets& packets, const std::vector<size_t>& indexes) {
    tsb::Packets picked;
    for (size_t i : indexes) picked.push_back(packets.at(i));
    return picked;
}

}  // namespace psi_e2e

#endif
