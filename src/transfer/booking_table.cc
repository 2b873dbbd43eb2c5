#include "transfer/booking_table.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/text_input.h"

namespace dorvek {

BookingTable::~BookingTable() { std::free(records_); }

bool BookingTable::reserve(size_t n) {
  if (n <= capacity_) return true;
  if (n > SIZE_MAX / sizeof(BookingRecord)) return false;
  // BookingRecord is trivially copyable, so realloc may move it.
  void* grown = std::realloc(records_, n * sizeof(BookingRecord));
  if (grown == nullptr) return false;
  records_ = static_cast<BookingRecord*>(grown);
  capacity_ = n;
  return true;
}

BookingRecord* BookingTable::append() {
  if (size_ == capacity_ && !reserve(capacity_ < 1024 ? 1024 : capacity_ * 2)) {
    return nullptr;
  }
  BookingRecord* r = &records_[size_++];
  std::memset(r, 0, sizeof *r);
  return r;
}

namespace {

// Reads width characters into a zero-filled field. A zero byte ends the
// field's text; whatever followed it is cleared so the area compares whole.
size_t readField(TextInput& in, char* field, size_t width) {
  size_t got = in.read(field, width);
  if (void* zero = std::memchr(field, '\0', got)) {
    char* z = static_cast<char*>(zero);
    std::memset(z, 0, static_cast<size_t>(field + got - z));
  }
  return got;
}

// A booking line is at least its fixed part and a line end; a rough guess
// of the count lets the table reserve once for an ordinary file.
constexpr uint64_t kShortestUsualLine = 52;

}  // namespace

size_t readRestOfLine(TextInput& in, char* dst) {
  size_t n = 0;
  for (;;) {
    int c = in.get();
    if (c == TextInput::kEof || c == '\n') break;
    if (n == kRestOfLineMax) break;  // the 501st character is lost
    dst[n++] = static_cast<char>(c);
  }
  dst[n] = '\0';
  return n;
}

ReadResult readBookingTable(TextInput& in, BookingTable& table, FILE* out) {
  if (uint64_t hint = in.sizeHint(); hint > 0) {
    table.reserve(static_cast<size_t>(hint / kShortestUsualLine + 1));  // a failure only means growing later
  }
  char tail[kRestOfLineMax + 1];
  int32_t readCounter = 0;
  for (;;) {
    BookingRecord* r = table.append();
    if (r == nullptr) return ReadResult::kOutOfMemory;
    if (readField(in, r->schema, kSchemaWidth) < kSchemaWidth) {
      table.removeLast();
      break;
    }
    readField(in, r->personnelNumber, kPersonnelNumberWidth);
    readField(in, r->date, kDateWidth);
    readField(in, r->time, kTimeWidth);
    readField(in, r->functionType, kFunctionTypeWidth);
    readField(in, r->functionCode, kFunctionCodeWidth);
    readRestOfLine(in, tail);
    // Only the first kCostCentreWidth characters are kept; the record is
    // zero-filled, so the area stays clean behind them.
    std::memcpy(r->costCentre, tail, strnlen(tail, kCostCentreWidth));
    r->sequenceNumber = ++readCounter;
    printBooking(out, *r, "eingelesen");
  }
  return ReadResult::kRead;
}

ReadResult readBookingTable(const char* path, BookingTable& table, FILE* out) {
  TextInput in;
  if (!in.open(path)) return ReadResult::kCannotOpen;
  return readBookingTable(in, table, out);
}

namespace {

// The date dd.mm.yyyy as yyyymmdd; a text compared up to its first zero.
void dateKey(const char* date, char key[8]) {
  std::memcpy(key, date + 6, 4);
  std::memcpy(key + 4, date + 3, 2);
  std::memcpy(key + 6, date, 2);
  if (void* zero = std::memchr(key, '\0', 8)) {
    char* z = static_cast<char*>(zero);
    std::memset(z, 0, static_cast<size_t>(key + 8 - z));
  }
}

int sign(int v) { return (v > 0) - (v < 0); }

}  // namespace

int compareBookings(const BookingRecord& a, const BookingRecord& b) {
  // Areas are zero after their terminator, so memcmp orders them as texts.
  if (int c = std::memcmp(a.schema, b.schema, sizeof a.schema)) return sign(c);
  if (int c = std::memcmp(a.personnelNumber, b.personnelNumber, sizeof a.personnelNumber)) {
    return sign(c);
  }
  char ka[8], kb[8];
  dateKey(a.date, ka);
  dateKey(b.date, kb);
  if (int c = std::memcmp(ka, kb, 8)) return sign(c);
  if (int c = std::memcmp(a.time, b.time, sizeof a.time)) return sign(c);
  return (a.sequenceNumber > b.sequenceNumber) - (a.sequenceNumber < b.sequenceNumber);
}

void sortBookingTable(BookingTable& table, FILE* out) {
  std::sort(table.begin(), table.end(), [](const BookingRecord& a, const BookingRecord& b) {
    return compareBookings(a, b) < 0;
  });
  std::fputs("dorVek-Tabelle sortiert.\n", out);
}

void printBooking(FILE* out, const BookingRecord& r, const char* verb) {
  const char* fields[] = {r.schema,       r.personnelNumber, r.date,      r.time,
                          r.functionType, r.functionCode,    r.costCentre};
  for (size_t i = 0; i < 7; ++i) {
    if (i > 0) fwrite_unlocked(", ", 1, 2, out);
    fwrite_unlocked(fields[i], 1, std::strlen(fields[i]), out);
  }
  fwrite_unlocked(" ", 1, 1, out);
  fwrite_unlocked(verb, 1, std::strlen(verb), out);
  fwrite_unlocked(".\n", 1, 2, out);
}

}  // namespace dorvek
