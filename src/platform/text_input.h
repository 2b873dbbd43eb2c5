// Buffered reading of a file in text mode, the same on every platform:
// a CR directly before a LF is dropped (any other CR stays), and a byte
// 0x1A ends the input. Every input file of the program is read through it.
#ifndef DORVEK_PLATFORM_TEXT_INPUT_H_
#define DORVEK_PLATFORM_TEXT_INPUT_H_

#include <cstddef>
#include <cstdint>

namespace dorvek {

class TextInput {
 public:
  static constexpr int kEof = -1;

  TextInput() = default;
  ~TextInput();
  TextInput(const TextInput&) = delete;
  TextInput& operator=(const TextInput&) = delete;

  // Opens a regular file (or pipe, device) for reading. A directory or a
  // path that cannot be opened gives false.
  bool open(const char* path);
  // Reads from a block of memory instead of a file (for tests and
  // fuzzing). The block must outlive the reading.
  bool openMemory(const void* data, size_t size);
  void close();
  bool isOpen() const { return fd_ >= 0 || memory_ != nullptr; }

  // Next character as 0..255, or kEof at the end of the input, at 0x1A or
  // after a read error (error() then tells which).
  int get() {
    if (pos_ + 1 < end_) {  // fast path: the byte after it is buffered too
      unsigned char c = buf_[pos_];
      if (c != '\r' && c != 0x1A) {
        ++pos_;
        return c;
      }
    }
    return getSlow();
  }

  // The buffered characters from the current position on that read as they
  // are (no CR, no 0x1A among them). May be empty even before the end of the
  // input; get() then takes the next character.
  const char* plainData() const { return reinterpret_cast<const char*>(buf_ + pos_); }
  size_t plainSize();
  // Skips n characters of the plain run. Precondition: n <= plainSize().
  void consume(size_t n) { pos_ += n; }

  // Reads up to n characters into dst; fewer only at the end of the input.
  size_t read(char* dst, size_t n);

  // Reads a line the way fgets does: characters up to and including the
  // next LF, at most cap - 1 of them, then a terminating zero. Returns the
  // count stored without the zero; 0 means nothing could be read.
  // Precondition: cap >= 2.
  size_t readLine(char* dst, size_t cap);

  bool error() const { return error_; }

 private:
  int getSlow();
  bool fill();  // keeps unread bytes, appends more; false when none came

  static constexpr size_t kBufferSize = 1 << 16;
  static constexpr size_t kScanWindow = 4096;
  int fd_ = -1;
  const unsigned char* memory_ = nullptr;  // the memory source, if any
  size_t memoryLeft_ = 0;
  bool ended_ = false;  // 0x1A seen, end of file or error
  bool error_ = false;
  unsigned char* buf_ = nullptr;
  size_t pos_ = 0;
  size_t end_ = 0;
  size_t special_ = 0;  // first CR or 0x1A at or after pos_, or end_
  bool specialValid_ = false;
};

}  // namespace dorvek

#endif  // DORVEK_PLATFORM_TEXT_INPUT_H_
