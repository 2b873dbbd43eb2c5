// Test helpers: files with given bytes in a private temporary directory,
// and capturing what a function writes to a FILE*.
#ifndef DORVEK_TESTS_SUPPORT_TEMP_FILE_H_
#define DORVEK_TESTS_SUPPORT_TEMP_FILE_H_

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

namespace dorvek::testing {

// A temporary directory removed with everything in it when it goes.
class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/dorvek-test-XXXXXX";
    const char* made = mkdtemp(tmpl);
    path_ = made ? made : "/tmp";
  }
  ~TempDir() {
    std::string cmd = "rm -rf '" + path_ + "'";
    if (std::system(cmd.c_str()) != 0) {
    }
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }

  // Writes bytes to name inside the directory and returns the full path.
  std::string write(const std::string& name, const std::string& bytes) const {
    std::string p = path_ + "/" + name;
    std::ofstream(p, std::ios::binary) << bytes;
    return p;
  }

  static std::string read(const std::string& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  }

 private:
  std::string path_;
};

// A FILE* whose contents can be taken as a string.
class CapturedOutput {
 public:
  CapturedOutput() : file_(open_memstream(&data_, &size_)) {}
  ~CapturedOutput() {
    if (file_) std::fclose(file_);
    std::free(data_);
  }
  CapturedOutput(const CapturedOutput&) = delete;
  CapturedOutput& operator=(const CapturedOutput&) = delete;

  FILE* file() { return file_; }
  std::string text() {
    std::fflush(file_);
    return std::string(data_, size_);
  }

 private:
  char* data_ = nullptr;
  size_t size_ = 0;
  FILE* file_;
};

}  // namespace dorvek::testing

#endif  // DORVEK_TESTS_SUPPORT_TEMP_FILE_H_
