// Whole-file byte helpers for tests.
#ifndef TSNARROW_TESTS_FILE_IO_H
#define TSNARROW_TESTS_FILE_IO_H

#include <cstdint>
#include <string>
#include <vector>

// The file's bytes; throws std::runtime_error when it cannot be read.
std::vector<uint8_t> read_bytes(const std::string& path);
// Creates or replaces the file; throws std::runtime_error on failure.
void write_bytes(const std::string& path, const std::vector<uint8_t>& data);
void write_text(const std::string& path, const std::string& text);
bool file_exists(const std::string& path);

#endif
