// The in-memory table of bookings: reading the booking file, the order of
// the table and the sort.
#ifndef DORVEK_TRANSFER_BOOKING_TABLE_H_
#define DORVEK_TRANSFER_BOOKING_TABLE_H_

#include <cstddef>
#include <cstdio>
#include <cstdint>
#include <vector>

#include "transfer/booking_record.h"

namespace dorvek {

class TextInput;

// A growable array of BookingRecord with its count. Records stay where they
// were read; once sorted, position i is the i-th record in the table's order.
class BookingTable {
 public:
  BookingTable() = default;
  ~BookingTable();
  BookingTable(const BookingTable&) = delete;
  BookingTable& operator=(const BookingTable&) = delete;

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  BookingRecord& operator[](size_t i) { return records_[order_.empty() ? i : order_[i]]; }
  const BookingRecord& operator[](size_t i) const {
    return records_[order_.empty() ? i : order_[i]];
  }

  template <typename Table, typename Record>
  class Iterator {
   public:
    Iterator(Table* table, size_t i) : table_(table), i_(i) {}
    Record& operator*() const { return (*table_)[i_]; }
    Iterator& operator++() {
      ++i_;
      return *this;
    }
    bool operator!=(const Iterator& other) const { return i_ != other.i_; }

   private:
    Table* table_;
    size_t i_;
  };
  Iterator<BookingTable, BookingRecord> begin() { return {this, 0}; }
  Iterator<BookingTable, BookingRecord> end() { return {this, size_}; }
  Iterator<const BookingTable, const BookingRecord> begin() const { return {this, 0}; }
  Iterator<const BookingTable, const BookingRecord> end() const { return {this, size_}; }

  // Makes room for at least n records. False when memory runs out.
  bool reserve(size_t n);
  // Appends a zero-filled record at the end, in file order (an earlier sort
  // is forgotten). Null when memory runs out.
  BookingRecord* append();
  // Precondition: not empty, and nothing sorted since the last append.
  void removeLast() { --size_; }
  // Gives back the room beyond size(); keeps the records.
  void shrinkToFit();
  size_t capacity() const { return capacity_; }
  // Bytes held for the records and their order.
  size_t memoryBytes() const {
    return capacity_ * sizeof(BookingRecord) + order_.capacity() * sizeof(uint32_t);
  }

 private:
  friend void sortBookingTable(BookingTable& table, FILE* out);

  BookingRecord* records_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
  std::vector<uint32_t> order_;  // empty: file order
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
