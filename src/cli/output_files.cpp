// Files that the run must not write over by another name: opening the input
// for writing would empty it before a packet is read, and the JSON document
// is written only when the run ends.
#include <sys/stat.h>

#include <cstdio>

#include "cli.h"

namespace {

struct FILE_ID {
    dev_t device;
    ino_t inode;
};

FILE_ID Kept_files[2];  // the input, the JSON document
int Kept_count = 0;

bool is_kept(const struct stat& file) {
    for (int i = 0; i < Kept_count; ++i) {
        if (file.st_dev == Kept_files[i].device && file.st_ino == Kept_files[i].inode) return true;
    }
    return false;
}

}  // namespace

void keep_file_apart(int fd) {
    struct stat file;
    if (Kept_count < 2 && fstat(fd, &file) == 0) Kept_files[Kept_count++] = {file.st_dev, file.st_ino};
}

bool names_kept_file(const char* path) {
    struct stat file;
    return stat(path, &file) == 0 && is_kept(file);
}

bool holds_kept_file(int fd) {
    struct stat file;
    return fstat(fd, &file) != 0 || is_kept(file);
}

FILE* create_output_file(const char* path) { return names_kept_file(path) ? nullptr : std::fopen(path, "w"); }
