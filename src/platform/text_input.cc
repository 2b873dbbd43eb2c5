#include "platform/text_input.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dorvek {

TextInput::~TextInput() { close(); }

bool TextInput::open(const char* path) {
  close();
  int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return false;
  }
  buf_ = new (std::nothrow) unsigned char[kBufferSize];
  if (buf_ == nullptr) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  ended_ = error_ = false;
  pos_ = end_ = 0;
  return true;
}

bool TextInput::openMemory(const void* data, size_t size) {
  close();
  buf_ = new (std::nothrow) unsigned char[kBufferSize];
  if (buf_ == nullptr) return false;
  memory_ = static_cast<const unsigned char*>(data);
  memoryLeft_ = size;
  ended_ = error_ = false;
  pos_ = end_ = 0;
  return true;
}

void TextInput::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  memory_ = nullptr;
  memoryLeft_ = 0;
  delete[] buf_;
  buf_ = nullptr;
  pos_ = end_ = 0;
}

bool TextInput::fill() {
  if (ended_ || !isOpen()) return false;
  specialValid_ = false;
  if (pos_ > 0) {
    std::memmove(buf_, buf_ + pos_, end_ - pos_);
    end_ -= pos_;
    pos_ = 0;
  }
  if (memory_ != nullptr) {
    size_t n = std::min(memoryLeft_, kBufferSize - end_);
    if (n == 0) {
      ended_ = true;
      return false;
    }
    std::memcpy(buf_ + end_, memory_, n);
    memory_ += n;
    memoryLeft_ -= n;
    end_ += n;
    return true;
  }
  for (;;) {
    ssize_t n = ::read(fd_, buf_ + end_, kBufferSize - end_);
    if (n > 0) {
      end_ += static_cast<size_t>(n);
      return true;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) error_ = true;
    ended_ = true;
    return false;
  }
}

int TextInput::getSlow() {
  if (pos_ >= end_ && !fill()) return kEof;
  unsigned char c = buf_[pos_];
  if (c == 0x1A) {
    ended_ = true;
    pos_ = end_ = 0;
    specialValid_ = false;
    return kEof;
  }
  if (c == '\r') {
    if (pos_ + 1 >= end_) fill();  // need the next byte to decide
    if (pos_ + 1 < end_ && buf_[pos_ + 1] == '\n') {
      pos_ += 2;
      return '\n';
    }
  }
  ++pos_;
  return c;
}

size_t TextInput::plainSize() {
  if (pos_ >= end_ && !fill()) return 0;
  if (!specialValid_ || special_ <= pos_) {
    // A window, not the whole buffer: with CR LF line ends this runs once a
    // line, and must not rescan the rest of the buffer each time.
    size_t window = end_ - pos_ < kScanWindow ? end_ - pos_ : kScanWindow;
    const void* cr = std::memchr(buf_ + pos_, '\r', window);
    size_t limit = cr ? static_cast<size_t>(static_cast<const unsigned char*>(cr) - buf_) : pos_ + window;
    const void* sub = std::memchr(buf_ + pos_, 0x1A, limit - pos_);
    special_ = sub ? static_cast<size_t>(static_cast<const unsigned char*>(sub) - buf_) : limit;
    specialValid_ = true;
  }
  return special_ - pos_;
}

size_t TextInput::read(char* dst, size_t n) {
  size_t got = 0;
  while (got < n) {
    if (size_t run = plainSize()) {
      size_t take = run < n - got ? run : n - got;
      std::memcpy(dst + got, plainData(), take);
      consume(take);
      got += take;
      continue;
    }
    int c = get();
    if (c == kEof) break;
    dst[got++] = static_cast<char>(c);
  }
  return got;
}

size_t TextInput::readLine(char* dst, size_t cap) {
  size_t got = 0;
  while (got + 1 < cap) {
    int c = get();
    if (c == kEof) break;
    dst[got++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  dst[got] = '\0';
  return got;
}

}  // namespace dorvek
