#include "transfer/booking_table.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <sys/mman.h>

#include "platform/text_input.h"

namespace dorvek {

// The table lives in its own anonymous mapping: it grows by remapping (no
// copy) and asks for huge pages, which saves most page faults on a large file.
namespace {

constexpr size_t kHugePage = size_t{2} << 20;

size_t roundToHugePages(size_t bytes) { return (bytes + kHugePage - 1) / kHugePage * kHugePage; }

}  // namespace

BookingTable::~BookingTable() {
  if (records_ != nullptr) munmap(records_, capacity_ * sizeof(BookingRecord));
}

bool BookingTable::reserve(size_t n) {
  if (n <= capacity_) return true;
  if (n > SIZE_MAX / sizeof(BookingRecord) - kHugePage) return false;
  size_t bytes = roundToHugePages(n * sizeof(BookingRecord));
  void* grown;
  if (records_ == nullptr) {
    grown = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  } else {
    grown = mremap(records_, capacity_ * sizeof(BookingRecord), bytes, MREMAP_MAYMOVE);
  }
  if (grown == MAP_FAILED) return false;
  madvise(grown, bytes, MADV_HUGEPAGE);  // only advice; fine if refused
  records_ = static_cast<BookingRecord*>(grown);
  capacity_ = bytes / sizeof(BookingRecord);
  return true;
}

void BookingTable::shrinkToFit() {
  if (records_ == nullptr) return;
  size_t bytes = roundToHugePages(size_ * sizeof(BookingRecord));
  size_t mapped = capacity_ * sizeof(BookingRecord);
  if (bytes == 0) {
    munmap(records_, mapped);
    records_ = nullptr;
    capacity_ = 0;
  } else if (bytes < mapped && mremap(records_, mapped, bytes, 0) != MAP_FAILED) {
    capacity_ = bytes / sizeof(BookingRecord);
  }
}

BookingRecord* BookingTable::append() {
  order_.clear();
  if (size_ == capacity_ && !reserve(capacity_ * 2 + 1)) {
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

}  // namespace

size_t readRestOfLine(TextInput& in, char* dst) {
  size_t n = 0;
  for (;;) {
    size_t run = in.plainSize();
    if (run == 0) {
      int c = in.get();
      if (c == TextInput::kEof || c == '\n') break;
      if (n == kRestOfLineMax) break;  // the 501st character is lost
      dst[n++] = static_cast<char>(c);
      continue;
    }
    const char* p = in.plainData();
    size_t room = kRestOfLineMax - n;
    size_t look = run < room + 1 ? run : room + 1;
    if (const void* lf = std::memchr(p, '\n', look)) {
      size_t k = static_cast<size_t>(static_cast<const char*>(lf) - p);
      std::memcpy(dst + n, p, k);
      n += k;
      in.consume(k + 1);
      break;
    }
    if (run > room) {  // the line goes on past 500: keep 500, lose the 501st
      std::memcpy(dst + n, p, room);
      n += room;
      in.consume(room + 1);
      break;
    }
    std::memcpy(dst + n, p, run);
    n += run;
    in.consume(run);
  }
  dst[n] = '\0';
  return n;
}

ReadResult readBookingTable(TextInput& in, BookingTable& table, FILE* out) {
  char tail[kRestOfLineMax + 1];
  int32_t readCounter = 0;
  for (;;) {
    BookingRecord* r = table.append();
    if (r == nullptr) {
      table.shrinkToFit();
      return ReadResult::kOutOfMemory;
    }
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
  // What the last doubling left over is given back.
  table.shrinkToFit();
  return ReadResult::kRead;
}

ReadResult readBookingTable(const char* path, BookingTable& table, FILE* out) {
  TextInput in;
  if (!in.open(path)) return ReadResult::kCannotOpen;
  return readBookingTable(in, table, out);
}

namespace {

// Big-endian loads: comparing them as integers orders bytes as memcmp does.
inline uint64_t load8(const char* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return __builtin_bswap64(v);
}
inline uint64_t load5(const char* p) {
  uint64_t v = 0;
  std::memcpy(&v, p, 5);
  return __builtin_bswap64(v);
}

inline uint16_t load2(const char* p) {
  uint16_t v;
  std::memcpy(&v, p, 2);
  return __builtin_bswap16(v);
}

// The date dd.mm.yyyy as yyyymmdd, a text that ends at its first zero.
inline uint64_t dateKey(const char* date) {
  if (date[kDateWidth - 1] != '\0') {
    // Ten characters, so no zero among them (a field is zero after its end).
    uint64_t b = load8(date);  // d d . m m . y y
    return (b & 0xFFFF) << 48 | uint64_t{load2(date + 8)} << 32 |
           ((b >> 24) & 0xFFFF) << 16 | b >> 48;
  }
  char key[8];
  std::memcpy(key, date + 6, 4);
  std::memcpy(key + 4, date + 3, 2);
  std::memcpy(key + 6, date, 2);
  uint64_t v = load8(key);
  for (int shift = 56; shift > 0; shift -= 8) {
    if (((v >> shift) & 0xFF) == 0) return v >> shift << shift;  // the text ends here
  }
  return v;
}

inline int order(uint64_t a, uint64_t b) { return (a > b) - (a < b); }

}  // namespace

int compareBookings(const BookingRecord& a, const BookingRecord& b) {
  // Areas are zero after their terminator, so whole areas order as texts.
  static_assert(sizeof a.schema == 21 && sizeof a.personnelNumber == 9 && sizeof a.time == 6);
  if (int c = order(load8(a.schema), load8(b.schema))) return c;
  if (int c = order(load8(a.schema + 8), load8(b.schema + 8))) return c;
  if (int c = order(load5(a.schema + 16), load5(b.schema + 16))) return c;
  if (int c = order(load8(a.personnelNumber), load8(b.personnelNumber))) return c;
  if (int c = order(dateKey(a.date), dateKey(b.date))) return c;
  if (int c = order(load5(a.time), load5(b.time))) return c;
  return (a.sequenceNumber > b.sequenceNumber) - (a.sequenceNumber < b.sequenceNumber);
}

namespace {

// The usual table packs its whole order key into 128 bits: a rank for the
// schema (few distinct ones), then personnel number, date and time read as
// numbers when they are all digits (digits of one width compare as numbers
// do), then the sequence number. Sorting those keys and moving each record
// once is much faster than sorting the records. Any table that does not
// fit this shape takes the plain sort; both give the same order.
using PackedKey = unsigned __int128;
constexpr size_t kMaxPackedSchemas = 64;

bool readDigits(const char* p, int n, uint64_t& value) {
  value = 0;
  for (int i = 0; i < n; ++i) {
    unsigned d = static_cast<unsigned char>(p[i]) - unsigned{'0'};
    if (d > 9) return false;
    value = value * 10 + d;
  }
  return true;
}

bool packKeys(const BookingTable& table, std::vector<PackedKey>& keys) {
  const size_t n = table.size();
  if (n > size_t{INT32_MAX}) return false;
  std::vector<const char*> schemas;  // distinct, then sorted
  for (size_t i = 0; i < n; ++i) {
    const BookingRecord& r = table[i];
    if (!schemas.empty() && std::memcmp(schemas.back(), r.schema, sizeof r.schema) == 0) continue;
    auto same = [&r](const char* s) { return std::memcmp(s, r.schema, sizeof r.schema) == 0; };
    if (std::find_if(schemas.begin(), schemas.end(), same) != schemas.end()) continue;
    if (schemas.size() == kMaxPackedSchemas) return false;
    schemas.push_back(r.schema);
  }
  std::sort(schemas.begin(), schemas.end(), [](const char* a, const char* b) {
    return std::memcmp(a, b, sizeof BookingRecord::schema) < 0;
  });
  keys.resize(n);
  for (size_t i = 0; i < n; ++i) {
    const BookingRecord& r = table[i];
    if (r.sequenceNumber != static_cast<int32_t>(i + 1)) return false;
    uint64_t pnr, year, month, day, hours, minutes;
    if (!readDigits(r.personnelNumber, 8, pnr) || !readDigits(r.date + 6, 4, year) ||
        !readDigits(r.date + 3, 2, month) || !readDigits(r.date, 2, day) ||
        !readDigits(r.time, 2, hours) || r.time[2] != ':' || !readDigits(r.time + 3, 2, minutes)) {
      return false;
    }
    uint64_t rank = 0;
    while (std::memcmp(schemas[rank], r.schema, sizeof r.schema) != 0) ++rank;
    // High word: 6 bits rank, 27 bits each for personnel number and date.
    // Low word: time, then the position, which follows the sequence number.
    uint64_t high = rank << 58 | pnr << 31 | (year * 10000 + month * 100 + day) << 4;
    uint64_t low = (hours * 100 + minutes) << 32 | static_cast<uint32_t>(i);
    keys[i] = PackedKey{high} << 64 | low;
  }
  return true;
}

}  // namespace

void sortBookingTable(BookingTable& table, FILE* out) {
  const size_t n = table.size();
  table.order_.clear();
  // The order is kept as positions; the records are never moved. Should
  // memory run short, the records are sorted where they are instead.
  try {
    std::vector<uint32_t> order;
    if (n <= UINT32_MAX) order.resize(n);
    std::vector<PackedKey> keys;
    if (n <= UINT32_MAX && packKeys(table, keys)) {
      std::sort(keys.begin(), keys.end());
      for (size_t i = 0; i < n; ++i) order[i] = static_cast<uint32_t>(keys[i]);
      table.order_ = std::move(order);
    } else if (n <= UINT32_MAX) {
      for (size_t i = 0; i < n; ++i) order[i] = static_cast<uint32_t>(i);
      const BookingRecord* records = table.records_;
      std::sort(order.begin(), order.end(), [records](uint32_t a, uint32_t b) {
        return compareBookings(records[a], records[b]) < 0;
      });
      table.order_ = std::move(order);
    }
  } catch (const std::bad_alloc&) {
    table.order_.clear();
  }
  if (table.order_.empty() && n > 1) {
    std::sort(table.records_, table.records_ + n,
              [](const BookingRecord& a, const BookingRecord& b) { return compareBookings(a, b) < 0; });
  }
  std::fputs("dorVek-Tabelle sortiert.\n", out);
}

void printBooking(FILE* out, const BookingRecord& r, const char* verb) {
  // Assembled first and written once: the echo runs for every booking.
  char line[sizeof(BookingRecord) + 64];
  char* p = line;
  auto put = [&p](const char* text, size_t cap) {
    size_t n = strnlen(text, cap);
    std::memcpy(p, text, n);
    p += n;
  };
  const char* fields[] = {r.schema,       r.personnelNumber, r.date,      r.time,
                          r.functionType, r.functionCode,    r.costCentre};
  const size_t caps[] = {sizeof r.schema,       sizeof r.personnelNumber, sizeof r.date,
                         sizeof r.time,         sizeof r.functionType,    sizeof r.functionCode,
                         sizeof r.costCentre};
  for (size_t i = 0; i < 7; ++i) {
    if (i > 0) put(", ", 2);
    put(fields[i], caps[i]);
  }
  put(" ", 1);
  put(verb, 32);
  put(".\n", 2);
  fwrite_unlocked(line, 1, static_cast<size_t>(p - line), out);
}

}  // namespace dorvek
