// A private temporary directory that is removed with everything in it.
#ifndef TSNARROW_TESTS_TEMP_DIR_H
#define TSNARROW_TESTS_TEMP_DIR_H

#include <string>

class TempDir {
  public:
    // Creates $TMPDIR/tsnarrow-test-XXXXXX (or under /tmp); throws on failure.
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // path()/name
    std::string file(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

#endif
