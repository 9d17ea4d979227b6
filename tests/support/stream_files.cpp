#include "stream_files.h"

#include <algorithm>
#include <stdexcept>

#include "file_io.h"

std::string write_stream(const TempDir& dir, const tsb::Stream& stream, const std::string& name,
                         size_t framing) {
    const std::string path = dir.file(name);
    stream.write(path, framing);
    return path;
}

std::string write_packets(const TempDir& dir, const tsb::Packets& packets, const std::string& name,
                          size_t framing) {
    tsb::Stream stream;
    stream.add(packets);
    return write_stream(dir, stream, name, framing);
}

tsb::Packets read_packets(const std::string& path, size_t framing) {
    const std::vector<uint8_t> data = read_bytes(path);
    if (data.size() % framing != 0) throw std::runtime_error(path + " is not a whole number of packets");
    tsb::Packets packets(data.size() / framing);
    const size_t skip = framing - tsb::kPacketSize;
    for (size_t i = 0; i < packets.size(); ++i)
        std::copy_n(data.begin() + static_cast<long>(i * framing + skip), tsb::kPacketSize,
                    packets[i].begin());
    return packets;
}

std::string sample_path() { return std::string(TSNARROW_SOURCE_DIR) + "/samples/sample.ts"; }
