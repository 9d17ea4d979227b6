// The "ARIB-B24" to "UTF-8" converter behind the iconv-compatible front.
#include "arib_iconv.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

namespace {

const iconv_t FAILED = reinterpret_cast<iconv_t>(-1);

// "46 7C 25 46" -> bytes.
std::string from_hex(const std::string& hex) {
    std::string bytes;
    std::istringstream words(hex);
    std::string word;
    while (words >> word) bytes.push_back(static_cast<char>(std::stoul(word, nullptr, 16)));
    return bytes;
}

std::string repeat(const std::string& part, int count) {
    std::string all;
    for (int i = 0; i < count; ++i) all += part;
    return all;
}

struct Conversion {
    size_t result;
    int error;           // errno when result is (size_t)-1, else 0
    size_t consumed;     // input bytes the call moved past
    std::string output;  // bytes written
    size_t output_left;  // free count after the call
};

// One call on a descriptor, as the SDT report makes it.
Conversion convert_with(iconv_t cd, const std::string& input, size_t output_size) {
    std::string in = input;
    char out[1024];
    char* in_pos = in.empty() ? out : &in[0];
    size_t in_left = in.size();
    char* out_pos = out;
    size_t out_left = output_size;
    errno = 0;
    Conversion c;
    c.result = arib_iconv(cd, &in_pos, &in_left, &out_pos, &out_left);
    c.error = c.result == static_cast<size_t>(-1) ? errno : 0;
    c.consumed = in.size() - in_left;
    c.output.assign(out, out_pos);
    c.output_left = out_left;
    EXPECT_EQ(c.output.size() + out_left, output_size) << "output position and free count disagree";
    return c;
}

// One name on a fresh descriptor.
Conversion convert(const std::string& input, size_t output_size = 256) {
    iconv_t cd = arib_iconv_open("UTF-8", "ARIB-B24");
    EXPECT_NE(cd, FAILED);
    Conversion c = convert_with(cd, input, output_size);
    EXPECT_EQ(arib_iconv_close(cd), 0);
    return c;
}

std::string decode(const std::string& hex) {
    const Conversion c = convert(from_hex(hex));
    EXPECT_EQ(c.result, 0u) << hex << " errno " << c.error;
    return c.output;
}

void expect_failure(const std::string& hex, int error, size_t consumed) {
    const Conversion c = convert(from_hex(hex));
    EXPECT_EQ(c.result, static_cast<size_t>(-1)) << hex;
    EXPECT_EQ(c.error, error) << hex;
    EXPECT_EQ(c.consumed, consumed) << hex;
}

// Whether the C library can convert from `encoding`. Only its built-in
// converters (UTF-8, UCS-4, ...) are there without the loadable ones, which
// the cross builds lack: static (i686) or their architecture's not installed.
bool libc_has(const char* encoding) {
    iconv_t cd = iconv_open("UTF-8", encoding);
    if (cd == FAILED) return false;
    iconv_close(cd);
    return true;
}

// The C library's reading of `bytes` in `encoding`, empty when it refuses them.
std::string libc_utf8(const char* encoding, const std::string& bytes) {
    iconv_t cd = iconv_open("UTF-8", encoding);
    if (cd == FAILED) return "open failed";
    std::string in = bytes;
    char out[64];
    char* in_pos = &in[0];
    size_t in_left = in.size();
    char* out_pos = out;
    size_t out_left = sizeof out;
    const size_t result = iconv(cd, &in_pos, &in_left, &out_pos, &out_left);
    iconv_close(cd);
    return result == static_cast<size_t>(-1) ? std::string() : std::string(out, out_pos);
}

std::string utf8_of(unsigned long code_point) {
    const char utf32[4] = {0, static_cast<char>(code_point >> 16), static_cast<char>(code_point >> 8),
                           static_cast<char>(code_point)};
    return libc_utf8("UTF-32BE", std::string(utf32, 4));
}

std::string two_bytes(int row, int cell) {
    return std::string{static_cast<char>(0x20 + row), static_cast<char>(0x20 + cell)};
}

struct Example {
    const char* hex;
    const char* text;
};

}  // namespace

TEST(AribExamples, DecodeByteForByte) {
    const Example examples[] = {
        {"23 4E 23 48 23 4B 41 6D 39 67 23 31 21 26 45 6C 35 7E", "ＮＨＫ総合１・東京"},
        {"46 7C 25 46 25 6C", "日テレ"},
        {"0E 4E 48 4B 0F 41 6D 39 67", "ＮＨＫ総合"},
        {"89 0E 57 4F 57 4F 57 8A 0F 25 57 25 69 25 24 25 60", "WOWOWプライム"},
        {"46 7C 1B 7C C6 EC", "日テレ"},
        {"23 42 23 53 E8 B7 E2 C8", "ＢＳよしもと"},
        {"23 4E 23 48 23 4B 20 23 42 23 53", "ＮＨＫ　ＢＳ"},
        {"25 4B 25 65 21 3C 25 39 23 37 7A 56", "ニュース７🈑"},
        {"37 6E 21 41 36 62", "月～金"},
        {"9B 37 20 53 46 7C 25 46 25 6C", "日テレ"},
        {"1B 28 20 41 21", "〓"},
    };
    for (const Example& e : examples) EXPECT_EQ(decode(e.hex), e.text) << e.hex;
    expect_failure("45 6C 35", EINVAL, 2);
}

TEST(AribKanjiSet, CodePage932FormsAndRowLimits) {
    EXPECT_EQ(decode("21 41 21 42 21 5D 21 71 21 72 22 4C"), "～∥－￠￡￢");
    EXPECT_EQ(decode("21 21 21 40 21 31 21 3D 21 44"), "　＼￣―…");
    EXPECT_EQ(decode("74 25 74 26"), "\u51DC\u7199");  // row 84 cells 5 and 6 of the 1990 edition
    EXPECT_EQ(decode("75 2F"), "\xF0\xA0\xAE\xB7");    // U+20BB7, 4 bytes of UTF-8
    EXPECT_EQ(decode("7A 50 7E 21"), "\U0001F14A\u2160");
    EXPECT_EQ(decode("7C 58 7C 5B 7C 5C"), "(vn)(cemb)");  // text substitutes, result 0
    for (const char* unassigned : {"22 2F", "29 21", "2F 7E", "4F 54", "74 27", "77 21", "79 7E"})
        expect_failure(unassigned, EILSEQ, 0);
}

TEST(AribKanjiSet, MatchesTheCLibraryAndTheAdditionalSymbolsFile) {
    if (!libc_has("EUC-JP")) GTEST_SKIP() << "the C library has no EUC-JP converter in this build";
    int compared = 0;
    for (int row = 1; row <= 84; ++row) {
        for (int cell = 1; cell <= 94; ++cell) {
            const std::string jis = two_bytes(row, cell);
            const int code = (row + 0x20) << 8 | (cell + 0x20);
            const bool exception = code == 0x2141 || code == 0x2142 || code == 0x215D || code == 0x2171 ||
                                   code == 0x2172 || code == 0x224C;
            const std::string expected =
                libc_utf8("EUC-JP", {static_cast<char>(jis[0] | 0x80), static_cast<char>(jis[1] | 0x80)});
            const Conversion c = convert(jis);
            if (expected.empty()) {
                EXPECT_EQ(c.error, EILSEQ) << std::hex << code;
            } else if (!exception) {
                EXPECT_EQ(c.output, expected) << std::hex << code;
                ++compared;
            }
        }
    }
    EXPECT_GT(compared, 6800);

    std::ifstream tsv(std::string(TSNARROW_SOURCE_DIR) + "/tools/aribgen/additional_symbols.tsv");
    ASSERT_TRUE(tsv.good());
    std::string line;
    std::getline(tsv, line);
    int rows = 0;
    while (std::getline(tsv, line)) {
        std::istringstream columns(line);
        std::string row, cell, jis, unicode;
        std::getline(columns, row, '\t');
        std::getline(columns, cell, '\t');
        std::getline(columns, jis, '\t');
        std::getline(columns, unicode, '\t');
        std::string expected;
        std::istringstream code_points(unicode);
        for (std::string cp; code_points >> cp;) expected += utf8_of(std::stoul(cp.substr(2), nullptr, 16));
        const std::string bytes = two_bytes(std::stoi(row), std::stoi(cell));
        EXPECT_EQ(decode(jis.substr(0, 2) + " " + jis.substr(2)), expected) << jis;
        EXPECT_EQ(convert("\x1B\x24\x3B" + bytes).output, expected) << jis;  // additional symbols set
        ++rows;
    }
    EXPECT_GT(rows, 500);
}

TEST(AribJisPlanes, FollowJisX0213WithJisX0208CellsAsInTheKanjiSet) {
    if (!libc_has("EUC-JISX0213")) GTEST_SKIP() << "the C library has no EUC-JISX0213 converter in this build";
    int compared = 0;
    for (int row = 1; row <= 94; ++row) {
        for (int cell = 1; cell <= 94; ++cell) {
            const std::string jis = two_bytes(row, cell);
            const std::string euc = {static_cast<char>(jis[0] | 0x80), static_cast<char>(jis[1] | 0x80)};
            const std::string jisx0208 = row <= 84 ? convert(jis).output : std::string();
            const std::string plane1 = jisx0208.empty() ? libc_utf8("EUC-JISX0213", euc) : jisx0208;
            const std::string plane2 = libc_utf8("EUC-JISX0213", "\x8F" + euc);
            const Conversion c1 = convert("\x1B\x24\x39" + jis);
            const Conversion c2 = convert("\x1B\x24\x28\x3A" + jis);
            EXPECT_EQ(c1.output, plane1) << row << "-" << cell;
            EXPECT_EQ(c1.error, plane1.empty() ? EILSEQ : 0) << row << "-" << cell;
            EXPECT_EQ(c2.output, plane2) << row << "-" << cell;
            EXPECT_EQ(c2.error, plane2.empty() ? EILSEQ : 0) << row << "-" << cell;
            compared += !plane1.empty() + !plane2.empty();
        }
    }
    EXPECT_GT(compared, 11000);
    // A cell of two code points (base letter and combining mark) gives both.
    EXPECT_EQ(decode("1B 24 39 24 77"), "\u304B\u309A");
    EXPECT_EQ(decode("1B 24 3A 21 21"), "𠂉");
    // Plane 1 rows 85-94 are JIS X 0213, not the additional symbols.
    EXPECT_EQ(decode("1B 24 39 75 21"), "\u64C4");
    EXPECT_EQ(decode("1B 24 39 21 41"), "～");
}

TEST(AribOneByteSets, RangeBoundaries) {
    EXPECT_EQ(decode("0E 21 7D 5C 7E"), "！｝￥￣");                    // alphanumeric, normal size
    EXPECT_EQ(decode("89 0E 21 7D 5C 7E 30"), "!}¥‾0");                 // half size
    EXPECT_EQ(decode("1B 6E 21 73 74 77 78 79 7E"), "ぁん　ゝゞー・");  // hiragana via LS2
    EXPECT_EQ(decode("1B 6F 21 74 76 77 78 7A 7B 7C 7D"), "ァヴヶヽヾ。「」、");
    EXPECT_EQ(decode("1B 29 49 0E 21 31 5F"), "｡ｱﾟ");  // JIS X 0201 katakana
    EXPECT_EQ(decode("89 1B 29 49 0E 21"), "｡");       // not size dependent
    expect_failure("1B 29 49 0E 60", EILSEQ, 4);
    // Proportional sets read as their plain forms.
    EXPECT_EQ(decode("1B 28 36 41 1B 28 37 22 1B 28 38 22"), "Ａあア");
    EXPECT_EQ(decode("1B 28 32 21 1B 28 33 7E 1B 28 34 41 1B 28 35 41"), "〓〓〓〓");
}

TEST(AribDesignation, EveryFormLoadsTheNamedSlot) {
    EXPECT_EQ(decode("1B 28 4A 41"), "Ａ");                   // G0 one-byte
    EXPECT_EQ(decode("1B 29 30 0E 22"), "あ");                // G1
    EXPECT_EQ(decode("1B 2A 4A C1"), "Ａ");                   // G2, shown in GR
    EXPECT_EQ(decode("1B 2B 30 1B 7C A2"), "あ");             // G3 with LS3R
    EXPECT_EQ(decode("1B 28 4A 1B 24 42 46 7C"), "日");       // short two-byte form for G0
    EXPECT_EQ(decode("1B 28 4A 1B 24 28 42 46 7C"), "日");    // general spelling
    EXPECT_EQ(decode("1B 24 29 42 0E 46 7C"), "日");          // two-byte set into G1
    EXPECT_EQ(decode("1B 24 2A 42 C6 FC"), "日");             // into G2, GR bytes
    EXPECT_EQ(decode("1B 24 2B 42 1B 6F 46 7C"), "日");       // into G3
    EXPECT_EQ(decode("1B 29 20 4F 0E 21"), "〓");             // one-byte DRCS-15
    EXPECT_EQ(decode("1B 24 28 20 40 21 21 7E 7E"), "〓〓");  // DRCS-0: one per two bytes
    EXPECT_EQ(decode("1B 24 2B 20 40 1D 21 21"), "〓");
    for (const char* unknown : {"1B 50", "1B 28 42", "1B 28 39", "1B 24 4A", "1B 24 20 40", "1B 28 20 40",
                                "1B 28 20 71", "1B 24 28 20 41", "1B 24 2C 42"})
        expect_failure(std::string("46 7C ") + unknown, EILSEQ, 2);
}

TEST(AribDesignation, DefaultMacrosRedesignateAndInvoke) {
    // Macro set into G3, then 0x6E: G0 katakana, G1 hiragana, G2 alphanumeric, LS0, LS2R.
    EXPECT_EQ(decode("1B 2B 20 70 1B 6F 6E 21 C1 0E 21"), "ァＡぁ");
    // Through SS3: 0x60 brings back Kanji, Alphanumeric and Hiragana.
    EXPECT_EQ(decode("1B 28 31 1B 2B 20 70 1D 60 46 7C 0E 41 0F E2"), "日Ａも");
    // 0x63: mosaics everywhere; other codes of the Macro set show nothing.
    EXPECT_EQ(decode("1B 2B 20 70 1D 63 21 0E 21 1D 70 1D 21"), "〓〓");
}

TEST(AribShifts, LockingShifts) {
    EXPECT_EQ(decode("0E 41 0F 46 7C"), "Ａ日");
    EXPECT_EQ(decode("1B 6E 22 1B 6F 22"), "あア");  // LS2, LS3
    EXPECT_EQ(decode("1B 7E C1 1B 7C C2 1B 7D C2"), "Ａヂぢ");
}

TEST(AribShifts, SingleShiftCoversOneWholeCharacter) {
    EXPECT_EQ(decode("19 22 46 7C"), "あ日");
    EXPECT_EQ(decode("1D 22 46 7C"), "ア日");  // only the character after SS3 is shifted
    // G3 holds a two-byte set, GL a one-byte set: SS3 takes both bytes from G3.
    EXPECT_EQ(decode("1B 24 2B 42 1B 28 4A 1D 46 7C 41"), "日Ａ");
    expect_failure("46 7C 19 A2", EILSEQ, 2);  // GR byte after SS2
    expect_failure("46 7C 1D 0F 22", EILSEQ, 2);
    expect_failure("46 7C 19 20", EILSEQ, 2);
    expect_failure("1B 24 2B 42 1D 46 FC", EILSEQ, 4);
}

TEST(AribSizes, AlphanumericsAndSpaceFollowTheSizeState) {
    EXPECT_EQ(decode("0E 41 20 89 41 20 8A 41 20 88 41 20"), "Ａ　A Ａ　A ");
    EXPECT_EQ(decode("0E 8B 60 41 20 8B 41 41 20 8B 6B 41"), "A Ａ　Ａ");
    EXPECT_EQ(decode("89 46 7C 1B 6E 22 1B 28 36 0F 5C"), "日あ¥");  // Kanji and kana ignore it
}

TEST(AribControls, ParametersAreSkipped) {
    const char* const controls[] = {
        // Without parameters.
        "00", "07", "08", "09", "0A", "0B", "0C", "0D", "18", "1E", "1F", "80", "83", "87", "99", "9A",
        // PAPF, APS, COL and CDC in both forms, FLC, POL, WMM, HLC.
        "16 41", "1C 41 42", "90 48", "90 20 41", "92 40", "92 20 4A", "91 47", "93 42", "94 45", "97 4F",
        // CSI with and without 0x20, the three TIME forms, macro definitions.
        "9B 37 20 53", "9B 31 37 30 3B 33 30 20 5F", "9B 5B", "9B 5C", "9B 6F", "9D 20 45", "9D 28 41",
        "9D 29 31 3B 32 20 43", "95 40 60 1B 28 4A 41 42 95 4F", "95 41 61 46 7C 95 4F", "95 4F"};
    for (const char* control : controls)
        EXPECT_EQ(decode(std::string("46 7C ") + control + " 46 7C"), "日日") << control;
}

TEST(AribControls, RepeatAppliesToTheNextCharacter) {
    EXPECT_EQ(decode("98 43 46 7C 46 7C"), "日日日日");
    EXPECT_EQ(decode("98 42 89 20 8A 20"), "  　");  // the size change in between does not cancel it
    EXPECT_EQ(decode("98 40 46 7C"), "日");          // "to the end of the line": once
    EXPECT_EQ(decode("98 45 7F 46 7C"), "日");       // DEL takes it and shows nothing
}

TEST(AribFailures, IncompleteInputStopsAtTheStartOfTheUnit) {
    const char* const truncated[] = {
        // ESC, CSI and TIME sequences.
        "1B", "1B 28", "1B 28 20", "1B 24", "1B 24 29", "1B 24 29 20", "9B", "9B 37", "9B 37 3B", "9B 37 20",
        "9D", "9D 29 31", "9D 29 31 20", "9D 20",
        // Single shifts, also over a two-byte set.
        "19", "1D", "1B 24 2B 42 1D 46",
        // Missing parameters, macro definitions without their end, half a character.
        "16", "1C 41", "90", "90 20", "92 20", "98", "8B", "95", "95 40 60 41", "95 41 60 46 7C 95", "45"};
    for (const char* tail : truncated) {
        const std::string bytes = from_hex(std::string("46 7C ") + tail);
        const Conversion c = convert(bytes);
        EXPECT_EQ(c.error, EINVAL) << tail;
        EXPECT_EQ(c.output, "日") << tail;
        // A designation that completes before the cut stays consumed.
        const size_t designation = std::string(tail).rfind("1B 24 2B 42 ", 0) == 0 ? 4 : 0;
        EXPECT_EQ(c.consumed, 2 + designation) << tail;
    }
}

TEST(AribFailures, InvalidBytesAreRefused) {
    for (int code : {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15,
                     0x17, 0x1A, 0x8C, 0x8D, 0x8E, 0x8F, 0x96, 0x9C, 0x9E, 0x9F, 0xA0, 0xFF}) {
        const Conversion c = convert(from_hex("46 7C") + static_cast<char>(code) + from_hex("46 7C"));
        EXPECT_EQ(c.error, EILSEQ) << std::hex << code;
        EXPECT_EQ(c.consumed, 2u) << std::hex << code;
    }
    // Second byte outside the first byte's area.
    for (const char* wrong : {"46 FC", "46 20", "46 7F", "46 1B"})
        expect_failure(std::string("46 7C ") + wrong, EILSEQ, 2);
    for (const char* wrong : {"C6 7C", "C6 A0", "C6 FF", "C6 9B"})  // Kanji set invoked into GR
        expect_failure(std::string("1B 24 2A 42 ") + wrong, EILSEQ, 4);
    // Control bytes or wrong finals where parameters belong.
    for (const char* bad : {"16 1B", "1C 41 0D", "9B 37 20 1B", "9B 37 41", "9D 41", "9D 29 31 5B", "95 42"})
        expect_failure(std::string("46 7C ") + bad, EILSEQ, 2);
}

TEST(AribOutput, ExactlyTwoHundredFiftySixBytesFit) {
    // 85 Kanji-set characters (255 bytes) and one half-size letter.
    const std::string fits = repeat(from_hex("46 7C"), 85) + from_hex("89 0E 41");
    Conversion c = convert(fits);
    EXPECT_EQ(c.result, 0u);
    EXPECT_EQ(c.output.size(), 256u);
    EXPECT_EQ(c.output_left, 0u);

    c = convert(fits + "B");
    EXPECT_EQ(c.error, E2BIG);
    EXPECT_EQ(c.consumed, fits.size());
    EXPECT_EQ(c.output.size(), 256u);

    c = convert(repeat(from_hex("46 7C"), 86));
    EXPECT_EQ(c.error, E2BIG);
    EXPECT_EQ(c.consumed, 170u);

    // A 4-byte character is written whole or not at all.
    c = convert(repeat(from_hex("46 7C"), 84) + from_hex("75 2F"));
    EXPECT_EQ(c.result, 0u);
    EXPECT_EQ(c.output.substr(252), "𠮷");
    c = convert(repeat(from_hex("46 7C"), 85) + from_hex("75 2F"));
    EXPECT_EQ(c.error, E2BIG);
    EXPECT_EQ(c.consumed, 170u);
    EXPECT_EQ(c.output_left, 1u);
}

TEST(AribState, NothingCarriesOverBetweenDescriptors) {
    iconv_t first = arib_iconv_open("UTF-8", "ARIB-B24");
    ASSERT_NE(first, FAILED);
    Conversion c = convert_with(first, from_hex("0E 89 1B 7C 1B 28 4A 1B 2A 31 98 45"), 256);
    EXPECT_EQ(c.result, 0u);
    // The state stays within one descriptor from call to call...
    EXPECT_EQ(convert_with(first, "A", 256).output, "AAAAA");
    EXPECT_EQ(arib_iconv_close(first), 0);
    // ...but a new descriptor starts from the initial state.
    iconv_t second = arib_iconv_open("UTF-8", "ARIB-B24");
    ASSERT_NE(second, FAILED);
    EXPECT_EQ(convert_with(second, from_hex("23 41 20 E8 0E 41"), 256).output, "Ａ　よＡ");
    // A call without input resets the descriptor.
    convert_with(second, from_hex("89 1B 28 31"), 256);
    char* no_input = nullptr;
    EXPECT_EQ(arib_iconv(second, &no_input, nullptr, nullptr, nullptr), 0u);
    EXPECT_EQ(convert_with(second, from_hex("23 41 20"), 256).output, "Ａ　");
    // A unit that does not fit leaves the state as it was before it: the
    // repeat is still pending.
    c = convert_with(second, from_hex("0E 98 43 41"), 8);
    EXPECT_EQ(c.error, E2BIG);
    EXPECT_EQ(c.consumed, 3u);
    EXPECT_EQ(convert_with(second, "A", 256).output, "ＡＡＡ");
    EXPECT_EQ(arib_iconv_close(second), 0);
}

TEST(AribRouting, OtherPairsGoToTheCLibrary) {
    iconv_t cd = arib_iconv_open("UTF-8", "UCS-4");  // built into the C library: there in every build
    ASSERT_NE(cd, FAILED);
    Conversion c = convert_with(cd, std::string("\0\0\x65\xE5\0\0\x67\x2C", 8), 256);
    EXPECT_EQ(c.result, 0u);
    EXPECT_EQ(c.output, "日本");
    c = convert_with(cd, std::string("\0\0\x65", 3), 256);
    EXPECT_EQ(c.error, EINVAL);
    EXPECT_EQ(arib_iconv_close(cd), 0);

    // Names are matched without regard to case; "UTF8" is accepted too.
    cd = arib_iconv_open("utf8", "arib-b24");
    ASSERT_NE(cd, FAILED);
    EXPECT_EQ(convert_with(cd, from_hex("0E 41"), 256).output, "Ａ");
    EXPECT_EQ(arib_iconv_close(cd), 0);

    errno = 0;
    EXPECT_EQ(arib_iconv_open("UTF-8", "NO-SUCH-CODING"), FAILED);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(arib_iconv_open("UTF-16", "ARIB-B24"), FAILED);
    char* in = nullptr;
    size_t left = 0;
    EXPECT_EQ(arib_iconv(FAILED, &in, &left, nullptr, nullptr), static_cast<size_t>(-1));
    EXPECT_EQ(errno, EBADF);
}

TEST(AribPool, ExhaustionFailsLikeIconvOpen) {
    iconv_t open[64];
    int count = 0;
    while (count < 64) {
        errno = 0;
        open[count] = arib_iconv_open("UTF-8", "ARIB-B24");
        if (open[count] == FAILED) break;
        ++count;
    }
    ASSERT_GE(count, 1);
    ASSERT_LT(count, 64);
    EXPECT_TRUE(errno == EMFILE || errno == ENOMEM);
    // The C library's converters are not affected, and every open one works.
    iconv_t libc = arib_iconv_open("UTF-8", "UCS-4");
    EXPECT_NE(libc, FAILED);
    EXPECT_EQ(arib_iconv_close(libc), 0);
    for (int i = 0; i < count; ++i) EXPECT_EQ(convert_with(open[i], from_hex("46 7C"), 256).output, "日");
    // Closing one frees a place; closing twice is refused.
    EXPECT_EQ(arib_iconv_close(open[0]), 0);
    EXPECT_EQ(arib_iconv_close(open[0]), -1);
    EXPECT_EQ(errno, EBADF);
    open[0] = arib_iconv_open("UTF-8", "ARIB-B24");
    EXPECT_NE(open[0], FAILED);
    for (int i = 0; i < count; ++i) EXPECT_EQ(arib_iconv_close(open[i]), 0);
}
