// End-to-end runs of the SDT handler: streams built here, the real binary run
// on them, and its whole standard output, standard error, exit status and
// output file compared with what the stream calls for.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e_psi_helpers.h"

namespace {

using psi_e2e::bad_crc;
using psi_e2e::claiming;
using psi_e2e::dump_line;
using psi_e2e::kDigitalTv;
using psi_e2e::kDone;
using psi_e2e::kSdtEnd;
using psi_e2e::kSdtPid;
using psi_e2e::numbered;
using psi_e2e::sdt_head;
using psi_e2e::sealed_short_section;
using psi_e2e::service;
using psi_e2e::service_id;
using psi_e2e::service_names;
using psi_e2e::version;

const std::string kBanner = "tsnarrow version 1.0.2 - MPEG-2 TS PSI reporter and program extractor\n";
const std::string kIconvError = "Error at iconv()\n";

constexpr uint16_t kPmtPid = 0x0100;
constexpr uint16_t kVideoPid = 0x0101;

// ARIB STD-B24 coded names.
const tsb::Bytes kNhk = {0x23, 0x4E, 0x23, 0x48, 0x23, 0x4B};  // ＮＨＫ
const tsb::Bytes kNhkSogoTokyo = {0x23, 0x4E, 0x23, 0x48, 0x23, 0x4B, 0x41, 0x6D, 0x39, 0x67,
                                  0x23, 0x31, 0x21, 0x26, 0x45, 0x6C, 0x35, 0x7E};  // ＮＨＫ総合１・東京
const tsb::Bytes kWowow = {0x23, 0x57, 0x23, 0x4F, 0x23, 0x57, 0x23, 0x4F, 0x23, 0x57};  // ＷＯＷＯＷ
// Half-size alphanumerics (MSZ, LS1) then katakana in the Kanji set: WOWOWプライム
const tsb::Bytes kWowowPrime = {0x89, 0x0E, 0x57, 0x4F, 0x57, 0x4F, 0x57, 0x8A, 0x0F,
                                0x25, 0x57, 0x25, 0x69, 0x25, 0x24, 0x25, 0x60};
// Katakana, a full-width digit and the boxed 字 of row 90: ニュース７🈑
const tsb::Bytes kNews7 = {0x25, 0x4B, 0x25, 0x65, 0x21, 0x3C, 0x25, 0x39, 0x23, 0x37, 0x7A, 0x56};
// A blank (SP) in normal size between ＮＨＫ and ＢＳ
const tsb::Bytes kNhkSpBs = {0x23, 0x4E, 0x23, 0x48, 0x23, 0x4B, 0x20, 0x23, 0x42, 0x23, 0x53};
// Ends inside a two-byte character.
const tsb::Bytes kCutKanji = {0x45, 0x6C, 0x35};

// A service descriptor of type 0x01 with these names, for a test to bend.
tsb::ServiceDescriptor named(const tsb::Bytes& provider, const tsb::Bytes& name) {
    tsb::ServiceDescriptor d;
    d.provider = provider;
    d.name = name;
    return d;
}

tsb::Bytes service_descriptor(uint8_t type, const tsb::Bytes& provider, const tsb::Bytes& name) {
    tsb::ServiceDescriptor d = named(provider, name);
    d.service_type = type;
    return tsb::service_descriptor(d);
}

tsb::Bytes concat(const std::vector<tsb::Bytes>& parts) {
    tsb::Bytes out;
    for (const tsb::Bytes& p : parts) tsb::append(out, p);
    return out;
}

// Builds the stream of one test (SDT sections and packets on PID 0x0011, the
// program that lets an extraction run write) and runs the tool on it.
class SdtRun : public ::testing::Test {
  public:
    // An SDT of the actual transport stream with these services.
    SdtRun& sdt(const std::vector<tsb::SdtService>& services, const tsb::SectionOpts& opts = {},
                uint8_t table_id = 0x42) {
        tsb::Sdt table;
        table.transport_stream_id = 0x4010;
        table.original_network_id = 0x0004;
        table.services = services;
        table.table_id = table_id;
        return section(tsb::sdt_section(table, opts));
    }
    // Any section on PID 0x0011, starting in a packet of its own.
    SdtRun& section(const tsb::Bytes& bytes) {
        stream_.psi(kSdtPid, bytes);
        return *this;
    }
    // A packet with payload_unit_start_indicator 0 on PID 0x0011.
    SdtRun& continuation() {
        tsb::Header h;
        h.pid = kSdtPid;
        stream_.add(tsb::make_packet(h, tsb::Bytes(184, 0x5A)));
        return *this;
    }
    // PAT and PMT of program 1 and one video packet: output starts at the PMT.
    SdtRun& program() {
        stream_.psi(0x0000, tsb::pat_section(0x4010, {{1, kPmtPid}}));
        tsb::Pmt pmt;
        pmt.program_number = 1;
        pmt.pcr_pid = kVideoPid;
        pmt.streams = {{0x02, kVideoPid, {}, std::nullopt}};
        stream_.psi(kPmtPid, tsb::pmt_section(pmt));
        return video();
    }
    SdtRun& video() {
        tsb::Header h;
        h.pid = kVideoPid;
        stream_.add(tsb::make_packet(h, tsb::Bytes(184, 0x33)));
        return *this;
    }

    // Report mode; the file gets at least the three packets framing detection reads.
    RunResult report(const std::vector<std::string>& options = {}, size_t framing = tsb::kPacketSize) {
        while (stream_.size() < 3) stream_.nulls(1);
        std::vector<std::string> args = options;
        args.push_back(write_stream(dir_, stream_, "in.ts", framing));
        return run_tool(args);
    }
    RunResult extract(const std::vector<std::string>& options = {}) {
        std::vector<std::string> args = options;
        args.push_back(write_stream(dir_, stream_));
        args.push_back("1");
        args.push_back(out_path());
        return run_tool(args);
    }
    std::string out_path() const { return dir_.file("out.ts"); }
    const tsb::Packet& packet(size_t index) const { return stream_.packets().at(index); }

    tsb::Stream stream_;
    TempDir dir_;
};

// Fixtures by theme; all build and run the same way.
using SdtReport = SdtRun;
using SdtNames = SdtRun;
using SdtChecks = SdtRun;
using SdtAssembly = SdtRun;
using SdtBounds = SdtRun;
using SdtExtraction = SdtRun;

void expect_success(const RunResult& r, const std::string& out) {
    EXPECT_FALSE(r.signaled);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, out);
    EXPECT_EQ(r.err, "");
}

void expect_iconv_failure(const RunResult& r, const std::string& out) {
    EXPECT_FALSE(r.signaled);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.out, out);
    EXPECT_EQ(r.err, kIconvError);
}

// The report lines of the services most tests carry.
const std::string kId0400 = service_id("0x0400(1024)");
const std::string kId0408 = service_id("0x0408(1032)");
const std::string kNhkSogoNames = service_names(kDigitalTv, "ＮＨＫ", "ＮＨＫ総合１・東京");
const std::string kNhkNhkNames = service_names(kDigitalTv, "ＮＨＫ", "ＮＨＫ");
const std::string kWowowPrimeNames = service_names(kDigitalTv, "ＷＯＷＯＷ", "WOWOWプライム");

// What a report run prints for one SDT of version 0 listing these services.
std::string one_sdt(const std::string& services) { return kBanner + sdt_head() + services + kSdtEnd + kDone; }

// ---------------------------------------------------------------- layout

TEST_F(SdtReport, TwoServicesEachWithOneServiceDescriptor) {
    sdt({service(0x0400, service_descriptor(0x01, kNhk, kNhkSogoTokyo)),
         service(0x0408, service_descriptor(0x01, kWowow, kWowowPrime))});
    expect_success(report(), one_sdt(kId0400 + kNhkSogoNames + kId0408 + kWowowPrimeNames));
}

TEST_F(SdtReport, EmptyServiceLoopPrintsTitleVersionAndClosingLine) {
    sdt({});
    ASSERT_EQ(packet(0)[7], 12);  // section_length
    expect_success(report(), one_sdt(""));
}

TEST_F(SdtReport, OneServiceFillingTheLoopExactlyGivesOneBlock) {
    // section_length 32: loop count 20, 15, 0; descriptor count 15, 0.
    sdt({service(0x0001, service_descriptor(0xC0, {0x23, 0x4E, 0x23, 0x48}, kNhk))});
    ASSERT_EQ(packet(0)[7], 32);
    ASSERT_EQ(packet(0)[5 + 11 + 4], 15);  // descriptors_loop_length
    ASSERT_EQ(packet(0)[5 + 16 + 1], 13);  // descriptor_length
    expect_success(report(),
                   one_sdt(service_id("0x0001(001)") +
                           service_names("   Service Type(C0):      Data service\n", "ＮＨ", "ＮＨＫ")));
}

TEST_F(SdtReport, ServiceWithoutDescriptorsPrintsItsIdOnly) {
    sdt({service(0x0400, {}), service(0x0410, service_descriptor(0x02, kNhk, kNews7))});
    expect_success(report(), one_sdt(kId0400 + service_id("0x0410(1040)") +
                                     service_names("   Service Type(02):      Digital audio service\n",
                                                   "ＮＨＫ", "ニュース７🈑")));
}

TEST_F(SdtReport, OtherDescriptorsAreSkippedAndEveryServiceDescriptorIsPrinted) {
    const tsb::Bytes logo = tsb::descriptor(0xCF, {0x01, 0x02, 0x03, 0x04, 0x05});
    const tsb::Bytes empty_body = tsb::descriptor(0xC1, {});
    sdt({service(0x0400, concat({logo, service_descriptor(0xA1, kNhk, kNhkSogoTokyo), empty_body,
                                 service_descriptor(0xAB, kWowow, kWowowPrime), logo})),
         service(0x0401, {})});  // the loop count must still reach this 5-byte entry
    expect_success(report(),
                   one_sdt(kId0400 +
                           service_names("   Service Type(A1):      Special video service\n", "ＮＨＫ",
                                         "ＮＨＫ総合１・東京") +
                           service_names("   Service Type(AB):      Server-type simultaneous service\n",
                                         "ＷＯＷＯＷ", "WOWOWプライム") +
                           service_id("0x0401(1025)")));
}

TEST_F(SdtReport, EmptyNamesPrintBareLabels) {
    sdt({service(0x0400, concat({service_descriptor(0x01, {}, kNhkSogoTokyo),
                                 service_descriptor(0xFF, kNhk, {}), service_descriptor(0x00, {}, {})}))});
    expect_success(
        report(), one_sdt(kId0400 + service_names(kDigitalTv, "", "ＮＨＫ総合１・東京") +
                          service_names("   Service Type(FF):      Not defined or Service provider defined\n",
                                        "ＮＨＫ", "") +
                          service_names("   Service Type(00):      Not defined or Service provider defined\n",
                                        "", "")));
}

TEST_F(SdtReport, VersionPrintedInDecimalAndHexadecimal) {
    sdt({}, version(17)).sdt({}, version(31, false));
    expect_success(report(),
                   kBanner + sdt_head("17(0x11)") + kSdtEnd + sdt_head("31(0x1F)") + kSdtEnd + kDone);
}

TEST_F(SdtReport, ServiceIdPrintedInHexadecimalAndThreeDigitDecimal) {
    sdt({service(0x0001, {}), service(0x0400, {}), service(0xFFFF, {}), service(0x0000, {})});
    expect_success(report(), one_sdt(service_id("0x0001(001)") + kId0400 + service_id("0xFFFF(65535)") +
                                     service_id("0x0000(000)")));
}

TEST_F(SdtReport, EveryRepeatedSectionIsReportedAgain) {
    const tsb::SdtService s = service(0x0400, service_descriptor(0x01, kNhk, kNhkSogoTokyo));
    sdt({s}).sdt({s});
    const std::string block = sdt_head() + kId0400 + kNhkSogoNames + kSdtEnd;
    expect_success(report(), kBanner + block + block + kDone);
}

TEST_F(SdtReport, TimestampedInputGivesTheSameReport) {
    sdt({service(0x0408, service_descriptor(0x01, kWowow, kWowowPrime))});
    expect_success(report({}, tsb::kTimestampedSize), one_sdt(kId0408 + kWowowPrimeNames));
}

TEST_F(SdtReport, DropSiOptionStillReports) {
    sdt({service(0x0400, service_descriptor(0x01, kNhk, kNhkSogoTokyo))});
    expect_success(report({"-s"}), kBanner + "option -s: Drop SI option enabled\n" + sdt_head() + kId0400 +
                                       kNhkSogoNames + kSdtEnd + kDone);
}

// ---------------------------------------------------------------- names

TEST_F(SdtNames, DecodedToUtf8) {
    const tsb::Bytes nichi_tele_gr = {0x46, 0x7C, 0x1B, 0x7C, 0xC6, 0xEC};  // 日テレ via LS3R
    const tsb::Bytes bs_yoshimoto = {0x23, 0x42, 0x23, 0x53, 0xE8, 0xB7, 0xE2, 0xC8};
    sdt({service(0x0400, service_descriptor(0x01, kNhkSpBs, nichi_tele_gr)),
         service(0x0418, service_descriptor(0x01, {0x37, 0x6E, 0x21, 0x41, 0x36, 0x62}, bs_yoshimoto))});
    expect_success(report(),
                   one_sdt(kId0400 + service_names(kDigitalTv, "ＮＨＫ\u3000ＢＳ", "日テレ") +
                           service_id("0x0418(1048)") + service_names(kDigitalTv, "月～金", "ＢＳよしもと")));
}

// 亜 (0x3021) is three bytes of UTF-8; a half-size letter one.
tsb::Bytes kanji_then_half_size_letters(int kanji, const std::string& letters) {
    tsb::Bytes name;
    for (int i = 0; i < kanji; ++i) tsb::append(name, {0x30, 0x21});
    tsb::append(name, {0x89, 0x0E});  // MSZ, LS1
    name.insert(name.end(), letters.begin(), letters.end());
    return name;
}

std::string repeated(const std::string& text, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += text;
    return out;
}

TEST_F(SdtNames, NameOf256BytesOfUtf8IsPrinted) {
    sdt({service(0x0400, service_descriptor(0x01, {}, kanji_then_half_size_letters(85, "A")))});
    const std::string name = repeated("亜", 85) + "A";
    ASSERT_EQ(name.size(), 256u);
    expect_success(report(), one_sdt(kId0400 + service_names(kDigitalTv, "", name)));
}

TEST_F(SdtNames, NameOf257BytesOfUtf8EndsTheRun) {
    sdt({service(0x0400, service_descriptor(0x01, {}, kanji_then_half_size_letters(85, "AB")))});
    expect_iconv_failure(report(),
                         kBanner + sdt_head() + kId0400 + kDigitalTv + "   Service provider name: \n");
}

TEST_F(SdtNames, ProviderNameOf256BytesIsPrintedToo) {
    sdt({service(0x0400, service_descriptor(0x01, kanji_then_half_size_letters(85, "Z"), kNhk))});
    expect_success(report(),
                   one_sdt(kId0400 + service_names(kDigitalTv, repeated("亜", 85) + "Z", "ＮＨＫ")));
}

TEST_F(SdtNames, UnconvertibleProviderNameEndsTheRunAfterTheTypeLine) {
    sdt({service(0x0400, service_descriptor(0x01, kCutKanji, kNhk))});
    expect_iconv_failure(report(), kBanner + sdt_head() + kId0400 + kDigitalTv);
}

TEST_F(SdtNames, UnconvertibleServiceNameEndsTheRunAfterTheProviderLine) {
    // 0x2F21: row 15 is empty in the Kanji set.
    sdt({service(0x0400, service_descriptor(0x01, kNhk, {0x23, 0x4E, 0x2F, 0x21})),
         service(0x0408, service_descriptor(0x01, kWowow, kWowowPrime))});
    expect_iconv_failure(report(),
                         kBanner + sdt_head() + kId0400 + kDigitalTv + "   Service provider name: ＮＨＫ\n");
}

TEST_F(SdtNames, EachNameStartsFromTheInitialState) {
    // The provider ends in half size with the alphanumerics invoked into GL;
    // the service name must still read 0x23 0x4E as a Kanji-set character.
    sdt({service(0x0400, service_descriptor(0x01, {0x89, 0x0E, 0x4E, 0x48, 0x4B}, kNhkSpBs))});
    expect_success(report(), one_sdt(kId0400 + service_names(kDigitalTv, "NHK", "ＮＨＫ\u3000ＢＳ")));
}

// ---------------------------------------------------------------- checks

TEST_F(SdtChecks, SectionNumbersOtherThanZeroAreRefused) {
    const tsb::SdtService s = service(0x0400, service_descriptor(0x01, kNhk, kCutKanji));
    sdt({s}, numbered(0, 1)).sdt({s}, numbered(1, 1));
    expect_success(report(), kBanner +
                                 "00000000: SDT section# is wrong section#:[0], last#[1], aborted."
                                 "00000001: SDT section# is wrong section#:[1], last#[1], aborted." +
                                 kDone);
}

TEST_F(SdtChecks, CrcFailureDumpsThePacketThatCompletedTheSection) {
    // About 200 bytes: the section ends in the second packet.
    sdt({service(0x0400, concat({tsb::descriptor(0xC1, tsb::Bytes(160, 0x11)),
                                 service_descriptor(0x01, kNhk, kNhkSogoTokyo)}))},
        bad_crc());
    ASSERT_EQ(stream_.size(), 2u);
    continuation();  // the complete, damaged section goes through the check again
    expect_success(report(), kBanner + "00000001: SDT CRC32 is wrong, aborted." + dump_line(packet(1)) +
                                 "00000002: SDT CRC32 is wrong, aborted." + dump_line(packet(2)) + kDone);
}

TEST_F(SdtChecks, CrcDumpStartsAtTheSyncByteOfATimestampedPacket) {
    sdt({service(0x0400, service_descriptor(0x01, kNhk, kNhkSogoTokyo))}, bad_crc());
    const RunResult r = report({}, tsb::kTimestampedSize);
    expect_success(r, kBanner + "00000000: SDT CRC32 is wrong, aborted." + dump_line(packet(0)) + kDone);
}

// Too short for its fixed fields: the CRC fails, unless the section was built
// to pass it.
TEST_F(SdtChecks, SectionTooShortForItsFixedFieldsIsRefusedAfterTheCrc) {
    sdt({}, claiming(11)).sdt({}, claiming(0)).section(sealed_short_section(0x42, 11));
    expect_success(report(), kBanner + "00000000: SDT CRC32 is wrong, aborted." + dump_line(packet(0)) +
                                 "00000001: SDT CRC32 is wrong, aborted." + dump_line(packet(1)) +
                                 "00000002: SDT length is too short [11], aborted." + kDone);
}

TEST_F(SdtChecks, SectionTooLongToHoldIsDroppedWithItsContinuations) {
    sdt({service(0x0400, service_descriptor(0x01, kNhk, kNhk))});
    sdt({}, claiming(1022));
    continuation().continuation();
    // A continuation must not bring back the section held before the long one.
    expect_success(report(), kBanner + sdt_head() + kId0400 + kNhkNhkNames + kSdtEnd +
                                 "00000001: SDT length is too long [1022], aborted." + kDone);
}

TEST_F(SdtChecks, LongestSectionThatFitsIsReported) {
    // section_length 1021 over six packets: one service, one large private
    // descriptor skipped, and a service descriptor at the very end.
    const tsb::Bytes sd = service_descriptor(0xA4, kNhk, kNhkSogoTokyo);
    const int filler = 1021 - 12 - 5 - static_cast<int>(sd.size()) - 2 * 4;
    sdt({service(0x0400, concat({tsb::descriptor(0xC1, tsb::Bytes(255, 0x22)),
                                 tsb::descriptor(0xC1, tsb::Bytes(255, 0x22)),
                                 tsb::descriptor(0xC1, tsb::Bytes(255, 0x22)),
                                 tsb::descriptor(0xC1, tsb::Bytes(filler - 255 * 3, 0x22)), sd}))});
    ASSERT_EQ((packet(0)[6] & 0x0F) << 8 | packet(0)[7], 1021);
    expect_success(
        report(), one_sdt(kId0400 + service_names("   Service Type(A4):      Engineering service\n", "ＮＨＫ",
                                                  "ＮＨＫ総合１・東京")));
}

TEST_F(SdtChecks, PacketWithoutPayloadIsReported) {
    tsb::Header h;
    h.pid = kSdtPid;
    h.unit_start = true;
    h.afc = 2;
    tsb::AdaptationField af;
    af.fill = true;
    stream_.add(tsb::make_packet(h, {}, af));
    sdt({});
    expect_success(report(),
                   kBanner + "00000000: Payload does not exist, aborted." + sdt_head() + kSdtEnd + kDone);
}

// ---------------------------------------------------------------- assembly

tsb::SdtService service_with_padding(uint16_t id, const std::vector<int>& padding_sizes,
                                     const tsb::Bytes& sd) {
    std::vector<tsb::Bytes> parts;
    for (int size : padding_sizes) parts.push_back(tsb::descriptor(0xC1, tsb::Bytes(size, 0x44)));
    parts.push_back(sd);
    return service(id, concat(parts));
}

TEST_F(SdtAssembly, SectionOverThreePacketsIsReportedAfterTheThird) {
    sdt({service_with_padding(0x0408, {250, 200}, service_descriptor(0x01, kWowow, kWowowPrime))});
    ASSERT_EQ(stream_.size(), 3u);
    // Start packets of the other stream's SDT between the parts leave the
    // pending section alone and show when the report comes.
    const tsb::Packets parts = stream_.packets();
    stream_.packets().clear();
    stream_.add(parts[0]);
    sdt({}, {}, 0x46);
    stream_.add(parts[1]);
    sdt({}, {}, 0x46);
    stream_.add(parts[2]);
    expect_success(report(), kBanner + "00000001: Invalid SDT table id[70], aborted." +
                                 "00000003: Invalid SDT table id[70], aborted." + sdt_head() + kId0408 +
                                 kWowowPrimeNames + kSdtEnd + kDone);
}

TEST_F(SdtAssembly, ContinuationAfterCompleteSectionRepeatsTheReport) {
    sdt({service(0x0400, service_descriptor(0x01, kNhk, kNhkSogoTokyo))}).continuation();
    const std::string block = sdt_head() + kId0400 + kNhkSogoNames + kSdtEnd;
    expect_success(report(), kBanner + block + block + kDone);
}

TEST_F(SdtAssembly, ContinuationBeforeAnySectionPrintsNothing) {
    continuation().continuation().sdt({});
    expect_success(report(), one_sdt(""));
}

TEST_F(SdtAssembly, BatStartLeavesTheHeldSectionInPlace) {
    sdt({service(0x0400, service_descriptor(0x01, kNhk, kNhk))});
    section(tsb::long_section(0x4A, 0x0001, {0xF0, 0x00, 0xF0, 0x00}));
    continuation();
    const std::string block = sdt_head() + kId0400 + kNhkNhkNames + kSdtEnd;
    expect_success(report(),
                   kBanner + block + "00000001: Invalid SDT table id[74], aborted." + block + kDone);
}

// ---------------------------------------------------------------- bounds

TEST_F(SdtBounds, ServiceEntryHeaderPastTheLoopEndsTheWalk) {
    // Two stray bytes after the first service: no room for another header.
    tsb::SdtService first = service(0x0400, concat({service_descriptor(0x01, kNhk, kNhk), {0x04, 0x10}}));
    first.descriptors_loop_length = static_cast<int>(first.descriptors.size()) - 2;
    sdt({first});
    expect_success(report(), one_sdt(kId0400 + kNhkNhkNames));
}

TEST_F(SdtBounds, DescriptorLoopLengthPastTheLoop) {
    sdt({service(0x0400, service_descriptor(0x01, kNhk, kNhk), 0x0FFF)});
    expect_success(report(), one_sdt(kId0400 + kNhkNhkNames));
}

TEST_F(SdtBounds, DescriptorHeaderCutByTheLoopEnd) {
    // One byte left in the loop where a descriptor header would begin.
    sdt({service(0x0400, concat({service_descriptor(0x01, kNhk, kNhk), {0x48}}))});
    expect_success(report(), one_sdt(kId0400 + kNhkNhkNames));
}

TEST_F(SdtBounds, OtherDescriptorLengthPastTheLoop) {
    sdt({service(0x0400,
                 concat({tsb::descriptor(0xC1, {0x01, 0x02}, 0xFF), service_descriptor(0x01, kNhk, kNhk)})),
         service(0x0408, service_descriptor(0x01, kWowow, kWowowPrime))});
    expect_success(report(), one_sdt(kId0400));
}

TEST_F(SdtBounds, ServiceDescriptorLengthUnderstatedStillMovesPastTheNames) {
    // descriptor_length 3 for N 6, M 6: the walk goes on after the service
    // name, but the counts take 2 + 3 only.
    tsb::ServiceDescriptor short_length = named(kNhk, kNhk);
    short_length.length = 3;
    const tsb::Bytes second = service_descriptor(0xA5, kWowow, kWowowPrime);
    const tsb::Bytes first = tsb::service_descriptor(short_length);
    sdt({service(0x0400, concat({first, second}))});
    expect_success(report(), one_sdt(kId0400 + kNhkNhkNames +
                                     service_names("   Service Type(A5):      Promotion video service\n",
                                                   "ＷＯＷＯＷ", "WOWOWプライム")));
}

TEST_F(SdtBounds, ServiceDescriptorCutBeforeItsProviderLength) {
    sdt({service(0x0400, {0x48, 0x0D, 0x01})});
    expect_success(report(), one_sdt(kId0400));
}

TEST_F(SdtBounds, ServiceDescriptorCutBeforeItsType) {
    sdt({service(0x0400, {0x48, 0x0D})});
    expect_success(report(), one_sdt(kId0400));
}

TEST_F(SdtBounds, ProviderNameLengthPastTheLoop) {
    tsb::ServiceDescriptor d = named(kNhk, kNhk);
    d.provider_length = 200;
    sdt({service(0x0400, service_descriptor(0x01, kWowow, kWowowPrime)),
         service(0x0408, tsb::service_descriptor(d))});
    expect_success(report(), one_sdt(kId0400 + kWowowPrimeNames + kId0408));
}

TEST_F(SdtBounds, ProviderNameReachingTheLoopEndLeavesNoServiceNameLength) {
    // N covers the rest of the loop exactly: M would be the first CRC byte.
    tsb::ServiceDescriptor d = named(kNhk, {});
    d.provider_length = 6;
    tsb::Bytes bytes = tsb::service_descriptor(d);
    bytes.pop_back();  // drop M
    sdt({service(0x0400, bytes)});
    expect_success(report(), one_sdt(kId0400));
}

TEST_F(SdtBounds, ServiceNameLengthPastTheLoop) {
    tsb::ServiceDescriptor d = named(kNhk, kNhk);
    d.name_length = 7;  // one byte beyond the loop, into the CRC
    sdt({service(0x0400, tsb::service_descriptor(d))});
    expect_success(report(), one_sdt(kId0400));
}

TEST_F(SdtBounds, ServiceNameEndingExactlyAtTheLoopEndIsPrinted) {
    tsb::ServiceDescriptor d = named(kNhk, kNhkSogoTokyo);
    d.length = 200;  // overstated: the names decide where the walk goes
    sdt({service(0x0400, tsb::service_descriptor(d), 200)});
    expect_success(report(), one_sdt(kId0400 + kNhkSogoNames));
}

TEST_F(SdtBounds, HostileLengthsInExtractionModeEndQuietly) {
    // The provider is never reached: the service name runs past the loop.
    tsb::ServiceDescriptor d = named(kCutKanji, kNhk);
    d.name_length = 0xFF;
    program();
    sdt({service(0x0400, tsb::service_descriptor(d), 0x0FFF)});
    const RunResult r = extract();
    expect_success(r, kBanner + "\r  0 %\r 25 %\r 50 %\r 75 %\r100 %" + kDone);
    EXPECT_EQ(read_packets(out_path()), (tsb::Packets{packet(1), packet(2), packet(3)}));
}

// ---------------------------------------------------------------- extraction

TEST_F(SdtExtraction, ValidSectionPrintsNoReportAndIsWritten) {
    program();
    sdt({service(0x0400, service_descriptor(0x01, kNhk, kNhkSogoTokyo))});
    video();
    expect_success(extract(), kBanner + "\r  0 %\r 20 %\r 40 %\r 60 %\r 80 %\r100 %" + kDone);
    EXPECT_EQ(read_packets(out_path()), (tsb::Packets{packet(1), packet(2), packet(3), packet(4)}));
}

TEST_F(SdtExtraction, MessagesStillAppear) {
    program();
    sdt({}, bad_crc()).sdt({}, numbered(1, 1));
    expect_success(extract(), kBanner + "\r  0 %\r 20 %\r 40 %\r 60 %00000003: SDT CRC32 is wrong, aborted." +
                                  dump_line(packet(3)) +
                                  "\r 80 %00000004: SDT section# is wrong section#:[1], last#[1], aborted."
                                  "\r100 %" +
                                  kDone);
    EXPECT_EQ(read_packets(out_path()), (tsb::Packets{packet(1), packet(2), packet(3), packet(4)}));
}

TEST_F(SdtExtraction, UnconvertibleNameEndsTheRunAndKeepsWhatWasWritten) {
    program();
    sdt({service(0x0400, service_descriptor(0x01, kNhk, kNhk))});
    sdt({service(0x0400, service_descriptor(0x01, kNhk, kCutKanji))});
    video();
    expect_iconv_failure(extract(), kBanner + "\r  0 %\r 16 %\r 33 %\r 50 %\r 66 %");
    EXPECT_EQ(read_packets(out_path()), (tsb::Packets{packet(1), packet(2), packet(3)}));
}

TEST_F(SdtExtraction, DropSiStillConvertsNames) {
    program();
    sdt({service(0x0400, service_descriptor(0x01, kNhk, kNhk))});
    sdt({service(0x0400, service_descriptor(0x01, kanji_then_half_size_letters(85, "AB"), kNhk))});
    video();
    ASSERT_EQ(stream_.size(), 7u);  // the long name takes packets 4 and 5
    expect_iconv_failure(extract({"-s"}), kBanner + "option -s: Drop SI option enabled\n" +
                                              "\r  0 %\r 14 %\r 28 %\r 42 %\r 57 %\r 71 %");
    EXPECT_EQ(read_packets(out_path()), (tsb::Packets{packet(1), packet(2)}));
}

TEST_F(SdtExtraction, DropSiStillPrintsMessages) {
    program();
    sdt({}, bad_crc());
    expect_success(extract({"-s"}), kBanner + "option -s: Drop SI option enabled\n" +
                                        "\r  0 %\r 25 %\r 50 %\r 75 %00000003: SDT CRC32 is wrong, aborted." +
                                        dump_line(packet(3)) + "\r100 %" + kDone);
    EXPECT_EQ(read_packets(out_path()), (tsb::Packets{packet(1), packet(2)}));
}

}  // namespace
