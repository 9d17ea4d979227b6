// Development-time generator of the two-byte character tables of the ARIB
// converter (src/arib_iconv/arib_tables.cpp).
//
//   aribgen tools/aribgen/additional_symbols.tsv > src/arib_iconv/arib_tables.cpp
//
// Sources: the C library's EUC-JP converter (JIS X 0208 rows 1-84, then the
// code page 932 forms for six cells), the additional kanji and symbols file
// (rows 85-86 and 90-94), and the C library's EUC-JISX0213 converter (the
// JIS X 0213 cells of plane 1 that JIS X 0208 leaves empty, and plane 2).
//
// Output layout, see arib_tables.h: each set maps row -> a row of the shared
// pool (row 0 is all unassigned), the pool holds one uint16 per cell, and
// cells that need a code point above the BMP or several code points go
// through a side table of code point runs.
#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int CELLS = 94;
constexpr int MAX_CELL_CODE_POINTS = 4;  // must match arib_tables.h
constexpr uint32_t WIDE_BASE = 0xD800;   // surrogate values never occur as code points
constexpr uint32_t WIDE_LIMIT = 0xE000;

using CodePoints = std::vector<char32_t>;
using Grid = std::vector<CodePoints>;  // CELLS * CELLS, index (row-1)*CELLS + (cell-1)

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "aribgen: %s\n", what.c_str());
    std::exit(1);
}

Grid make_grid() { return Grid(CELLS * CELLS); }
CodePoints& at(Grid& grid, int row, int cell) { return grid[(row - 1) * CELLS + (cell - 1)]; }

// Converts one coded character with `cd` into code points; empty when the
// converter rejects it (an unassigned cell).
CodePoints convert_cell(iconv_t cd, const std::vector<unsigned char>& bytes) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char in[4];
    std::memcpy(in, bytes.data(), bytes.size());
    unsigned char out[64];
    char* in_pos = in;
    size_t in_left = bytes.size();
    char* out_pos = reinterpret_cast<char*>(out);
    size_t out_left = sizeof out;
    if (iconv(cd, &in_pos, &in_left, &out_pos, &out_left) == static_cast<size_t>(-1) || in_left != 0)
        return {};
    if (iconv(cd, nullptr, nullptr, &out_pos, &out_left) == static_cast<size_t>(-1)) return {};
    CodePoints cps;
    for (unsigned char* p = out; p < reinterpret_cast<unsigned char*>(out_pos); p += 4)
        cps.push_back(p[0] | p[1] << 8 | p[2] << 16 | static_cast<char32_t>(p[3]) << 24);
    return cps;
}

iconv_t open_to_utf32(const char* from) {
    iconv_t cd = iconv_open("UTF-32LE", from);
    if (cd == reinterpret_cast<iconv_t>(-1)) fail(std::string("cannot open iconv from ") + from);
    return cd;
}

// JIS X 0208 rows 1-84 through EUC-JP, then the six cells where broadcast
// receivers show the code page 932 form.
void fill_jisx0208(Grid& kanji) {
    iconv_t cd = open_to_utf32("EUC-JP");
    for (int row = 1; row <= 84; ++row)
        for (int cell = 1; cell <= CELLS; ++cell)
            at(kanji, row, cell) = convert_cell(
                cd, {static_cast<unsigned char>(0xA0 + row), static_cast<unsigned char>(0xA0 + cell)});
    iconv_close(cd);

    struct Exception {
        int jis;
        char32_t from_converter;
        char32_t shown;
    };
    const Exception exceptions[] = {
        {0x2141, 0x301C, 0xFF5E}, {0x2142, 0x2016, 0x2225}, {0x215D, 0x2212, 0xFF0D},
        {0x2171, 0x00A2, 0xFFE0}, {0x2172, 0x00A3, 0xFFE1}, {0x224C, 0x00AC, 0xFFE2},
    };
    for (const Exception& e : exceptions) {
        CodePoints& cps = at(kanji, (e.jis >> 8) - 0x20, (e.jis & 0xFF) - 0x20);
        if (cps != CodePoints{e.from_converter})
            fail("EUC-JP converter gives an unexpected value for an exception cell");
        cps = {e.shown};
    }
}

CodePoints parse_code_points(const std::string& text) {
    CodePoints cps;
    std::istringstream words(text);
    std::string word;
    while (words >> word) {
        if (word.size() < 3 || word.compare(0, 2, "U+") != 0) fail("bad code point: " + word);
        cps.push_back(static_cast<char32_t>(std::stoul(word.substr(2), nullptr, 16)));
    }
    return cps;
}

// Rows 85-86 and 90-94: columns row, cell, jis, unicode, char, name, status, note.
void fill_additional(Grid& kanji, const char* tsv_path) {
    std::ifstream tsv(tsv_path);
    if (!tsv) fail(std::string("cannot read ") + tsv_path);
    std::string line;
    std::getline(tsv, line);  // column names
    int count = 0;
    while (std::getline(tsv, line)) {
        if (line.empty()) continue;
        std::vector<std::string> fields;
        std::istringstream columns(line);
        std::string field;
        while (std::getline(columns, field, '\t')) fields.push_back(field);
        if (fields.size() < 4) fail("short line: " + line);
        const int row = std::stoi(fields[0]);
        const int cell = std::stoi(fields[1]);
        const bool row_ok = row == 85 || row == 86 || (row >= 90 && row <= 94);
        if (!row_ok || cell < 1 || cell > CELLS) fail("cell outside the additional rows: " + line);
        if (std::stoi(fields[2], nullptr, 16) != ((row + 0x20) << 8 | (cell + 0x20)))
            fail("jis column disagrees with row and cell: " + line);
        at(kanji, row, cell) = parse_code_points(fields[3]);
        ++count;
    }
    std::fprintf(stderr, "aribgen: %d additional cells\n", count);
}

// JIS X 0213 plane 1 cells that JIS X 0208 leaves empty (the others decode
// as in the Kanji set), and plane 2.
void fill_jisx0213(const Grid& kanji, Grid& plane1_extra, Grid& plane2) {
    iconv_t cd = open_to_utf32("EUC-JISX0213");
    int differing = 0;
    for (int row = 1; row <= CELLS; ++row) {
        for (int cell = 1; cell <= CELLS; ++cell) {
            const unsigned char r = 0xA0 + row, c = 0xA0 + cell;
            CodePoints cps = convert_cell(cd, {r, c});
            const CodePoints& jisx0208 = kanji[(row - 1) * CELLS + (cell - 1)];
            if (row <= 84 && !jisx0208.empty()) {
                if (cps != jisx0208) ++differing;
            } else {
                at(plane1_extra, row, cell) = cps;
            }
            at(plane2, row, cell) = convert_cell(cd, {0x8F, r, c});
        }
    }
    iconv_close(cd);
    std::fprintf(stderr, "aribgen: %d JIS X 0208 cells differ in EUC-JISX0213 (Kanji-set value kept)\n",
                 differing);
}

struct Output {
    std::vector<std::vector<uint16_t>> pool{std::vector<uint16_t>(CELLS, 0)};  // row 0: empty
    std::vector<std::string> pool_labels{"unassigned"};
    std::vector<std::pair<uint16_t, uint8_t>> wide;  // first, count
    std::vector<char32_t> wide_code_points;
    std::map<CodePoints, uint16_t> wide_index;
};

uint16_t encode_cell(Output& out, const CodePoints& cps) {
    if (cps.empty()) return 0;
    if (cps.size() > MAX_CELL_CODE_POINTS) fail("cell with too many code points");
    for (char32_t cp : cps)
        if (cp == 0 || cp > 0x10FFFF || (cp >= WIDE_BASE && cp < WIDE_LIMIT)) fail("bad code point");
    if (cps.size() == 1 && cps[0] <= 0xFFFF) return static_cast<uint16_t>(cps[0]);
    auto found = out.wide_index.find(cps);
    if (found != out.wide_index.end()) return found->second;
    if (WIDE_BASE + out.wide.size() >= WIDE_LIMIT) fail("side table full");
    const uint16_t value = static_cast<uint16_t>(WIDE_BASE + out.wide.size());
    out.wide.emplace_back(static_cast<uint16_t>(out.wide_code_points.size()),
                          static_cast<uint8_t>(cps.size()));
    out.wide_code_points.insert(out.wide_code_points.end(), cps.begin(), cps.end());
    out.wide_index.emplace(cps, value);
    return value;
}

// Maps each row of `grid` to a pool row (0 when the row is empty).
std::vector<int> add_rows(Output& out, const Grid& grid, const char* set_name) {
    std::vector<int> index(CELLS, 0);
    for (int row = 1; row <= CELLS; ++row) {
        std::vector<uint16_t> values(CELLS);
        bool any = false;
        for (int cell = 1; cell <= CELLS; ++cell) {
            values[cell - 1] = encode_cell(out, grid[(row - 1) * CELLS + (cell - 1)]);
            any = any || values[cell - 1] != 0;
        }
        if (!any) continue;
        if (out.pool.size() > 255) fail("row pool exceeds 8-bit index");
        index[row - 1] = static_cast<int>(out.pool.size());
        out.pool.push_back(values);
        out.pool_labels.push_back(std::string(set_name) + " row " + std::to_string(row));
    }
    return index;
}

void print_row_index(const char* name, const std::vector<int>& index) {
    std::printf("\nconst uint8_t %s[ARIB_ROWS] = {", name);
    for (int i = 0; i < CELLS; ++i) std::printf("%s%d,", i % 20 == 0 ? "\n    " : " ", index[i]);
    std::printf("\n};\n");
}

void print_tables(const Output& out, const std::vector<int>& kanji, const std::vector<int>& plane1,
                  const std::vector<int>& plane2) {
    std::printf("// Regenerate: <build>/tools/aribgen tools/aribgen/additional_symbols.tsv > %s\n",
                "src/arib_iconv/arib_tables.cpp");
    std::printf("// (from the source root, after building the aribgen target). Generated: do not edit.\n");
    std::printf("// clang-format off\n");
    std::printf("#include \"arib_tables.h\"\n");
    std::printf("\nconst uint16_t ARIB_ROW_POOL[%zu][ARIB_CELLS] = {\n", out.pool.size());
    for (size_t r = 0; r < out.pool.size(); ++r) {
        std::printf("    {  // %zu: %s", r, out.pool_labels[r].c_str());
        for (int i = 0; i < CELLS; ++i)
            std::printf("%s0x%04X,", i % 12 == 0 ? "\n        " : " ", out.pool[r][i]);
        std::printf("\n    },\n");
    }
    std::printf("};\n");
    print_row_index("ARIB_KANJI_ROWS", kanji);
    print_row_index("ARIB_PLANE1_EXTRA_ROWS", plane1);
    print_row_index("ARIB_PLANE2_ROWS", plane2);
    std::printf("\nconst ARIB_WIDE_CELL ARIB_WIDE_CELLS[%zu] = {", out.wide.size());
    for (size_t i = 0; i < out.wide.size(); ++i)
        std::printf("%s{%u, %u},", i % 8 == 0 ? "\n    " : " ", out.wide[i].first, out.wide[i].second);
    std::printf("\n};\n");
    std::printf("\nconst char32_t ARIB_WIDE_CODE_POINTS[%zu] = {", out.wide_code_points.size());
    for (size_t i = 0; i < out.wide_code_points.size(); ++i)
        std::printf("%s0x%05X,", i % 10 == 0 ? "\n    " : " ",
                    static_cast<unsigned>(out.wide_code_points[i]));
    std::printf("\n};\n");
    std::printf("// clang-format on\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) fail("usage: aribgen additional_symbols.tsv > arib_tables.cpp");
    Grid kanji = make_grid(), plane1_extra = make_grid(), plane2 = make_grid();
    fill_jisx0208(kanji);
    fill_additional(kanji, argv[1]);
    fill_jisx0213(kanji, plane1_extra, plane2);

    Output out;
    const std::vector<int> kanji_rows = add_rows(out, kanji, "Kanji");
    const std::vector<int> plane1_rows = add_rows(out, plane1_extra, "plane 1 extra");
    const std::vector<int> plane2_rows = add_rows(out, plane2, "plane 2");
    print_tables(out, kanji_rows, plane1_rows, plane2_rows);
    std::fprintf(stderr, "aribgen: %zu pool rows, %zu wide cells, %zu wide code points\n", out.pool.size(),
                 out.wide.size(), out.wide_code_points.size());
    return 0;
}
