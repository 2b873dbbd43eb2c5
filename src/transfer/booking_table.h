// The in-memory table of bookings: reading the booking file, the order of
// the table and the sort.
#ifndef DORVEK_TRANSFER_BOOKING_TABLE_H_
#define DORVEK_TRANSFER_BOOKING_TABLE_H_

#include <cstddef>
#include <cstdio>
#include <string>

#include "transfer/booking_record.h"

namespace dorvek {

class TextInput;

// A growable array of BookingRecord with its count.
class BookingTable {
 public:
  BookingTable() = default;
  ~BookingTable();
  BookingTable(const BookingTable&) = delete;
  BookingTable& operator=(const BookingTable&) = delete;

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  BookingRecord& operator[](size_t i) { return records_[i]; }
  const BookingRecord& operator[](size_t i) const { return records_[i]; }
  BookingRecord* begin() { return records_; }
  BookingRecord* end() { return records_ + size_; }

  // Makes room for at least n records. False when memory runs out.
  bool reserve(size_t n);
  // Appends a zero-filled record. Null when memory runs out.
  BookingRecord* append();
  void removeLast() { --size_; }
  void clear() { size_ = 0; }

 private:
  BookingRecord* records_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

enum class ReadResult {
  kRead,          // file read to its end (possibly no booking)
  kCannotOpen,    // nothing read, nothing printed
  kOutOfMemory,   // the table could not grow; the bookings so far are kept
};

// Reads every booking of the file at path into table, numbering them from 1
// and echoing each with "eingelesen" on out.
ReadResult readBookingTable(const char* path, BookingTable& table, FILE* out);

// Same, from an open input (for tests and fuzzing).
ReadResult readBookingTable(TextInput& in, BookingTable& table, FILE* out);

// The rest of the line: up to 500 characters; the line end is consumed when
// reached, the 501st character is consumed and lost. Returns the count
// stored in dst (which needs room for 501 bytes, terminator included).
size_t readRestOfLine(TextInput& in, char* dst);
constexpr size_t kRestOfLineMax = 500;

// The table's order: schema, personnel number, date as yyyymmdd, time,
// sequence number. -1, 0 or 1.
int compareBookings(const BookingRecord& a, const BookingRecord& b);

// Sorts by compareBookings, then prints "dorVek-Tabelle sortiert.\n" on out.
void sortBookingTable(BookingTable& table, FILE* out);

// Writes "<schema>, <pnr>, <date>, <time>, <type>, <code>, <cost> <verb>.\n".
void printBooking(FILE* out, const BookingRecord& r, const char* verb);

}  // namespace dorvek

#endif  // DORVEK_TRANSFER_BOOKING_TABLE_H_
