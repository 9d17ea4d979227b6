// Extraction runs end to end: which packets reach the output, in which order
// and in which form, under each option; on a small hand-built stream and on
// generated multi-program streams with mid-stream PAT and PMT changes.
#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "e2e_psi_helpers.h"

using namespace psi_e2e;

namespace {

// ------------------------------------------------------- the road, by hand

// One of each kind of packet a run meets, in an order that shows what is
// written before and after the first PMT.
enum RoadPacket : size_t {
    kFirstPat,
    kEarlySdt,
    kEarlyVideo,
    kOtherPmt,
    kPmt,
    kVideo,
    kAudio,
    kOtherVideo,
    kEcm,
    kEarlyEmm,
    kCat,
    kEmm,
    kNit,
    kSdt,
    kEit,
    kTot,
    kBit,
    kEit26,
    kEit27,
    kNull,
    kPat,
    kOtherEcm,
    kRst,
    kLastVideo,
    kRoadSize
};
constexpr size_t kNulled = kRoadSize;  // stands for a null packet in an expected list

tsb::Packets road() {
    tsb::Pmt pmt = usual_pmt();
    pmt.program_info = tsb::ca_descriptor(kCaSystem, kEcmPid);
    tsb::Pmt other;
    other.program_number = kOtherProgram;
    other.pcr_pid = 0x0120;
    other.streams = {{0x1B, 0x0120, {}, std::nullopt}};
    const tsb::Bytes sdt = tsb::sdt_section(tsb::Sdt{});
    tsb::Packets in(kRoadSize);
    in[kFirstPat] = psi_packet(0x0000, usual_pat());
    in[kEarlySdt] = psi_packet(0x0011, sdt);
    in[kEarlyVideo] = payload_packet(kVideoPid, 0xB0);
    in[kOtherPmt] = psi_packet(kOtherPmtPid, tsb::pmt_section(other));
    in[kPmt] = psi_packet(kPmtPid, tsb::pmt_section(pmt));
    in[kVideo] = payload_packet(kVideoPid, 0xB1, 1);
    in[kAudio] = payload_packet(kAudioPid, 0xB2);
    in[kOtherVideo] = payload_packet(0x0120, 0xB3);
    in[kEcm] = payload_packet(kEcmPid, 0xB4);
    in[kEarlyEmm] = payload_packet(kEmmPid, 0xB5);
    in[kCat] = psi_packet(0x0001, usual_cat());
    in[kEmm] = payload_packet(kEmmPid, 0xB6, 1);
    in[kNit] = payload_packet(0x0010, 0xB7);
    in[kSdt] = psi_packet(0x0011, sdt, {}, 1);
    in[kEit] = payload_packet(0x0012, 0xB8);
    in[kTot] = payload_packet(0x0014, 0xB9);
    in[kBit] = payload_packet(0x0024, 0xBA);
    in[kEit26] = payload_packet(0x0026, 0xBB);
    in[kEit27] = payload_packet(0x0027, 0xBC);
    in[kNull] = tsb::null_packet();
    in[kPat] = psi_packet(0x0000, usual_pat(), {}, 1);
    in[kOtherEcm] = payload_packet(0x0181, 0xBD);
    in[kRst] = payload_packet(0x0013, 0xBE);
    in[kLastVideo] = payload_packet(kVideoPid, 0xBF, 2);
    return in;
}

// The expected output: road packets by index, the PAT as rewritten, kNulled
// as a null packet.
tsb::Packets road_output(const tsb::Packets& in, const std::vector<size_t>& indexes) {
    tsb::Packets out;
    for (size_t i : indexes) {
        if (i == kNulled) {
            out.push_back(tsb::null_packet());
        } else {
            out.push_back(i == kPat ? rewritten_pat(in[i], 1, 0) : in[i]);
        }
    }
    return out;
}

const std::string kDropSiLine = "option -s: Drop SI option enabled\n";
const std::string kNullsLine = "option -e: Replace noon-target to NULL option enable\n";

struct RoadCase {
    std::vector<std::string> options;
    std::string option_lines;
    std::vector<size_t> output;
};

const RoadCase kRoadCases[] = {
    {{},
     "",
     {kPmt, kVideo, kAudio, kEcm, kCat, kEmm, kNit, kSdt, kEit, kTot, kBit, kEit26, kEit27, kPat,
      kLastVideo}},
    {{"-s"}, kDropSiLine, {kPmt, kVideo, kAudio, kEcm, kEmm, kPat, kLastVideo}},
    {{"-D"},
     "option -D: Drop non-target option enabled\n",
     {kPmt, kVideo, kAudio, kEcm, kCat, kEmm, kNit, kSdt, kEit, kTot, kBit, kEit26, kEit27, kNull, kPat,
      kLastVideo}},
    {{"-D", "-d"},
     "option -D: Drop non-target option enabled\noption -d: Drop non-target or NULL Packets option enabled\n",
     {kPmt, kVideo, kAudio, kEcm, kCat, kEmm, kNit, kSdt, kEit, kTot, kBit, kEit26, kEit27, kPat,
      kLastVideo}},
    {{"-e"}, kNullsLine, {kPmt,   kVideo, kAudio, kNulled, kEcm,    kNulled,   kCat,
                          kEmm,   kNit,   kSdt,   kEit,    kTot,    kBit,      kEit26,
                          kEit27, kNull,  kPat,   kNulled, kNulled, kLastVideo}},
    {{"-e", "-s"}, kNullsLine + kDropSiLine, {kPmt,    kVideo,  kAudio,  kNulled, kEcm,    kNulled,   kNulled,
                                              kEmm,    kNulled, kNulled, kNulled, kNulled, kNulled,   kNulled,
                                              kNulled, kNull,   kPat,    kNulled, kNulled, kLastVideo}},
};

TEST(ExtractRoad, EachOptionWritesItsPacketsInStreamOrder) {
    const tsb::Packets in = road();
    for (const RoadCase& c : kRoadCases) {
        SCOPED_TRACE(c.option_lines);
        TempDir dir;
        const Outcome o = extract(dir, in, kProgram, c.options);
        EXPECT_EQ(o.text, extraction_text(in.size(), {}, c.option_lines));
        EXPECT_EQ(o.out, road_output(in, c.output));
    }
}

// 192-byte records keep their timestamps, or lose them with -r.
TEST(ExtractRoad, TimestampedInputKeepsOrDropsTheTimestamps) {
    const tsb::Packets in = road();
    tsb::Stream stream;
    stream.add(in);
    const std::vector<size_t> kept = kRoadCases[0].output;
    const tsb::Packets expected = road_output(in, kept);
    {
        TempDir dir;
        const std::string input = write_stream(dir, stream, "in192.ts", tsb::kTimestampedSize);
        const Outcome o = extract(dir, input, kProgram, {}, tsb::kTimestampedSize);
        EXPECT_EQ(o.text, extraction_text(in.size()));
        tsb::Bytes records;
        for (size_t k = 0; k < kept.size(); ++k)
            tsb::append(records, tsb::timestamped(expected[k],
                                                  stream.first_timestamp + static_cast<uint32_t>(kept[k]) *
                                                                               stream.timestamp_step));
        EXPECT_EQ(read_bytes(dir.file("out.ts")), records);
    }
    {
        TempDir dir;
        const std::string input = write_stream(dir, stream, "in192.ts", tsb::kTimestampedSize);
        const Outcome o = extract(dir, input, kProgram, {"-r"});
        EXPECT_EQ(o.text,
                  extraction_text(
                      in.size(), {},
                      "option -r: Remove Timestamp from MPEG2-TTS packet(Converts MPEG2-TTS to MPEG2-TS\n"));
        EXPECT_EQ(read_bytes(dir.file("out.ts")).size(), kept.size() * tsb::kPacketSize);
        EXPECT_EQ(o.out, expected);
    }
}

TEST(ExtractRoad, WithoutAPmtForTheProgramNothingIsWritten) {
    TempDir dir;
    const Outcome o = extract(dir, road(), 0x0410);
    EXPECT_EQ(o.text, extraction_text(kRoadSize));
    EXPECT_TRUE(file_exists(dir.file("out.ts")));
    EXPECT_TRUE(o.out.empty());
}

// The same small stream in report mode: with a program, its PAT, CAT and PMT;
// without, the PAT and CAT only, since no PMT PID is ever known.
TEST(ExtractReportMode, PatCatAndPmtOfTheSmallStream) {
    const std::string pat =
        "****************** PAT Information ******************\n"
        " PAT Current_next_indicator : true\n"
        " Version      : 00\n"
        " Transport ID : 0x0001(1)\n"
        "-----------------------------------------------------\n"
        "   Program#   : 0x0000(0)\n"
        "     PID      : 0x0010(16)\n"
        "-----------------------------------------------------\n"
        "   Program#   : 0x0400(1024)\n"
        "     PID      : 0x01F0(496)\n"
        "-----------------------------------------------------\n"
        "   Program#   : 0x0408(1032)\n"
        "     PID      : 0x01F1(497)\n"
        "\n";
    const std::string pmt =
        "****************** PMT Information ******************\n"
        " PMT Current_next_indicator : true\n"
        " Version      : 00\n"
        " Program#     : 0x0400(1024)\n"
        " PCR PID      : 0x0100(256)\n"
        " ECM PID      : 0x0180(384)\n"
        "-----------------------------------------------------\n"
        "   stream PID : 0x0100(256)\n"
        "   type       : 02: ITU-T Rec. H.262 | ISO/IEC 13818(MPEG-2)-2 Video or ISO/IEC 11172-2 constrained "
        "parameter video stream\n"
        "-----------------------------------------------------\n"
        "   stream PID : 0x0110(272)\n"
        "   type       : 15: ISO/IEC 13818(MPEG-2)-7 Audio with ADTS transport syntax\n"
        "\n";
    const std::string cat =
        "****************** CAT Information ******************\n"
        " CAT Current_next_indicator : true\n"
        " Version      : 00\n"
        " CA_system_id : 0x0005(5)\n"
        " EMM PID      : 0x0901(2305)\n"
        "\n";
    // The SDT packets are left out: their report is not the subject here.
    tsb::Packets in = road();
    in.erase(in.begin() + kSdt);
    in.erase(in.begin() + kEarlySdt);
    TempDir dir;
    const std::string input = write_packets(dir, in);
    EXPECT_EQ(report(input, kProgram).text, pat + pmt + cat + pat + "\nDone.\n");
    EXPECT_EQ(report(input).text, pat + cat + pat + "\nDone.\n");
}

// ------------------------------------------------------ generated streams

constexpr uint16_t kTsgenTransportStreamId = 0x4010;
const std::set<uint16_t> kSiPids = {0x0001, 0x0010, 0x0011, 0x0012, 0x0014, 0x0024, 0x0026, 0x0027};

using e2e::tsgen_path;

// Program index i of a generated stream, with the PIDs its plan gives it
// before and after the change in the middle of the stream.
struct GeneratedProgram {
    uint16_t number;
    uint16_t pmt_pid;             // in PAT version 0
    uint16_t moved_pmt_pid;       // in PAT version 1
    std::set<uint16_t> own_pids;  // PCR, elementary streams, ECM, of both PMT versions
};

GeneratedProgram generated_program(int i) {
    const auto n = static_cast<uint16_t>(i);
    const auto pmt_pid = static_cast<uint16_t>(0x01F0 + n);
    GeneratedProgram p{static_cast<uint16_t>(0x0400 + 8 * n),
                       pmt_pid,
                       i == 1 ? static_cast<uint16_t>(0x01E1) : pmt_pid,
                       {static_cast<uint16_t>(0x0100 + 0x10 * n), static_cast<uint16_t>(0x0101 + 0x10 * n),
                        static_cast<uint16_t>(0x0180 + n)}};
    if (i == 0) p.own_pids.insert(0x0102);  // the audio moves
    return p;
}

class ExtractGenerated : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = std::make_unique<TempDir>();
        for (const auto& [name, extra] :
             {std::pair<std::string, std::string>{"in.ts", ""}, {"in192.ts", "-t"}}) {
            std::vector<std::string> args = {"-c", "-s", "2M"};
            if (!extra.empty()) args.push_back(extra);
            args.push_back(dir_->file(name));
            const RunResult r = run_program(tsgen_path(), args);
            ASSERT_EQ(r.exit_code, 0) << tsgen_path() << ": " << r.err;
        }
        input_ = read_packets(dir_->file("in.ts"));
    }
    static void TearDownTestSuite() { dir_.reset(); }

    static std::string input_path() { return dir_->file("in.ts"); }

    // Index of the packet that completes the first PMT on pmt_pid.
    static size_t first_pmt_end(uint16_t pmt_pid) {
        size_t i = 0;
        while (i < input_.size() && !(tsb::pid_of(input_[i]) == pmt_pid && tsb::unit_start_of(input_[i])))
            ++i;
        if (i == input_.size()) {
            ADD_FAILURE() << "no PMT on " << pmt_pid;
            return i;
        }
        EXPECT_EQ(input_[i][3] & 0x30, 0x10);  // payload only: pointer_field at byte 4
        EXPECT_EQ(input_[i][4], 0);
        const int total = ((input_[i][6] & 0x0F) << 8 | input_[i][7]) + 3;
        int have = 183;
        while (have < total) {
            ++i;
            while (i < input_.size() && tsb::pid_of(input_[i]) != pmt_pid) ++i;
            have += 184;
        }
        return i;
    }

    static std::unique_ptr<TempDir> dir_;
    static tsb::Packets input_;
};
std::unique_ptr<TempDir> ExtractGenerated::dir_;
tsb::Packets ExtractGenerated::input_;

TEST_F(ExtractGenerated, EveryProgramPassesTheIndependentCheckUnderEachOption) {
    const std::vector<std::vector<std::string>> option_sets = {{}, {"-e"}, {"-s"}, {"-e", "-s"}};
    for (int i = 0; i < 4; ++i) {
        for (const auto& options : option_sets) {
            const int number = generated_program(i).number;
            std::string trace = "program " + std::to_string(number);
            for (const std::string& option : options) trace += " " + option;
            SCOPED_TRACE(trace);
            TempDir dir;
            const Outcome o = extract(dir, input_path(), number, options);
            EXPECT_FALSE(o.out.empty());
            const tscheck::Report check =
                tscheck::check_extracted_files(dir.file("out.ts"), input_path(), number);
            EXPECT_TRUE(check.ok) << check.verdict();
        }
    }
}

// From the packet that completes the program's first PMT on, the output is
// the input with every packet outside the program's plan nulled (-e) or
// left out, the PATs rewritten; the PIDs moved in mid-stream follow.
TEST_F(ExtractGenerated, TheOutputFollowsTheProgramsPidPlanAcrossTheChange) {
    for (int i = 0; i < 4; ++i) {
        const GeneratedProgram program = generated_program(i);
        SCOPED_TRACE("program " + std::to_string(program.number));
        const size_t start = first_pmt_end(program.pmt_pid);
        for (const bool drop_si : {false, true}) {
            for (const bool nulls : {false, true}) {
                tsb::Packets expected;
                std::map<uint16_t, size_t> expected_counts;
                bool cat_seen = false;
                for (size_t k = 0; k < input_.size(); ++k) {
                    const tsb::Packet& p = input_[k];
                    const uint16_t pid = tsb::pid_of(p);
                    cat_seen = cat_seen || pid == 0x0001;
                    if (k < start) continue;
                    const bool passes = pid == 0x0000 || (pid == kEmmPid && cat_seen) ||
                                        pid == program.pmt_pid || pid == program.moved_pmt_pid ||
                                        program.own_pids.count(pid) || (!drop_si && kSiPids.count(pid)) ||
                                        (nulls && pid == tsb::kNullPid);
                    if (pid == 0x0000) {
                        ASSERT_EQ(p[4], 0);
                        const auto version = static_cast<uint8_t>((p[10] >> 1) & 0x1F);
                        const uint16_t pmt_pid = version == 0 ? program.pmt_pid : program.moved_pmt_pid;
                        expected.push_back(
                            rewritten_pat(p, kTsgenTransportStreamId, version, program.number, pmt_pid));
                    } else if (passes) {
                        expected.push_back(p);
                    } else if (nulls) {
                        expected.push_back(tsb::null_packet());
                    }
                    if (passes) ++expected_counts[pid];
                }
                std::vector<std::string> options;
                if (nulls) options.push_back("-e");
                if (drop_si) options.push_back("-s");
                TempDir dir;
                const Outcome o = extract(dir, input_path(), program.number, options);
                EXPECT_EQ(o.text, extraction_text(input_.size(), {},
                                                  (nulls ? kNullsLine : "") + (drop_si ? kDropSiLine : "")));
                ASSERT_EQ(o.out.size(), expected.size());
                EXPECT_TRUE(o.out == expected) << "drop_si " << drop_si << " nulls " << nulls;
                EXPECT_GT(expected_counts[program.pmt_pid], 0u);
                EXPECT_GT(expected_counts[program.moved_pmt_pid], 0u);
                EXPECT_GT(expected_counts[kEmmPid], 0u);
                for (uint16_t pid : program.own_pids) EXPECT_GT(expected_counts[pid], 0u) << pid;
            }
        }
    }
}

TEST_F(ExtractGenerated, TimestampedStreamWithAndWithoutItsTimestamps) {
    const std::string input = dir_->file("in192.ts");
    TempDir kept_dir;
    const Outcome kept = extract(kept_dir, input, kProgram, {}, tsb::kTimestampedSize);
    const tscheck::Report check = tscheck::check_extracted_files(kept_dir.file("out.ts"), input, kProgram);
    EXPECT_TRUE(check.ok) << check.verdict();
    ASSERT_FALSE(kept.out.empty());

    TempDir stripped_dir;
    const Outcome stripped = extract(stripped_dir, input, kProgram, {"-r"});
    EXPECT_EQ(read_bytes(stripped_dir.file("out.ts")).size(), kept.out.size() * tsb::kPacketSize);
    EXPECT_TRUE(stripped.out == kept.out);
}

}  // namespace
