#include "transfer/recalc_list.h"

#include <cerrno>
#include <cstdio>

namespace dorvek {
namespace {

// errno of the failure, or EIO where the library left none.
int failure() { return errno != 0 ? errno : EIO; }

}  // namespace

int RecalcList::create() const {
  errno = 0;
  FILE* f = std::fopen(path_.c_str(), "w");
  if (f == nullptr) return failure();
  return std::fclose(f) == 0 ? 0 : failure();
}

int RecalcList::append(const char* schema, const char* personnelNumber, const char* date) const {
  errno = 0;
  FILE* f = std::fopen(path_.c_str(), "a");
  if (f == nullptr) return failure();
  // A full disk often shows only when the buffer is written at the close.
  const bool written = std::fprintf(f, "%s,%s,%s\n", schema, personnelNumber, date) >= 0;
  int error = written ? 0 : failure();
  if (std::fclose(f) != 0 && error == 0) error = failure();
  return error;
}

}  // namespace dorvek
