#include "file_io.h"

#include <sys/stat.h>

#include <fstream>
#include <stdexcept>

// In large pieces: byte by byte, a file of a few MB takes a second under the
// sanitizers.
std::vector<uint8_t> read_bytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) throw std::runtime_error("cannot open " + path);
    constexpr size_t kPiece = 1 << 20;
    std::vector<uint8_t> data;
    size_t got = 0;
    do {
        data.resize(got + kPiece);
        f.read(reinterpret_cast<char*>(data.data() + got), kPiece);
        got += static_cast<size_t>(f.gcount());
    } while (f);
    data.resize(got);
    if (f.bad()) throw std::runtime_error("cannot read " + path);
    return data;
}

namespace {

void write_raw(const std::string& path, const char* data, size_t size) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(data, static_cast<std::streamsize>(size));
    f.close();
    if (!f) throw std::runtime_error("cannot write " + path);
}

}  // namespace

void write_bytes(const std::string& path, const std::vector<uint8_t>& data) {
    write_raw(path, reinterpret_cast<const char*>(data.data()), data.size());
}

void write_text(const std::string& path, const std::string& text) {
    write_raw(path, text.data(), text.size());
}

bool file_exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}
