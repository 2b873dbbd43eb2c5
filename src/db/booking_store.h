// What the transfer run needs of the database for one booking. The real
// store runs the booking statements over the one connection; tests of the
// transfer loop may substitute their own.
#ifndef DORVEK_DB_BOOKING_STORE_H_
#define DORVEK_DB_BOOKING_STORE_H_

#include <cstdint>
#include <string>

#include "transfer/booking_record.h"

namespace dorvek {

// Result codes: 0 success; a positive number is the client library's or
// server's error number; -1 a failure without a number.
constexpr int32_t kNoMoreRows = 1032;
constexpr int32_t kDuplicateKey = 1062;
constexpr int32_t kServerGone = 2006;
// A statement text would exceed kMaxStatementLength (the schema switch:
// kMaxSwitchStatementLength); nothing was sent.
constexpr int32_t kStatementTooLong = -2;
constexpr size_t kMaxStatementLength = 1000;
constexpr size_t kMaxSwitchStatementLength = 200;
// FcdNew is longer than a booking's function code can hold; the booking
// keeps its code (the run treats this like a missing translation).
constexpr int32_t kFunctionCodeTooLong = -3;

// The lookup, the duplicate check and the insert address schema's tables,
// with the schema's blanks at both ends ignored.
class BookingStore {
 public:
  virtual ~BookingStore() = default;

  // Sends the schema-switch statement. 1 when it produced a row (the switch
  // counts as rejected), kStatementTooLong when the statement would exceed
  // kMaxSwitchStatementLength (nothing sent), 0 in every other case.
  virtual int32_t switchSchema(const char* schema) = 0;

  // Looks oldCode up in schema's translation table. 0 when a row was found
  // (newCode then holds FcdNew, or is left as it was when FcdNew is NULL);
  // kNoMoreRows when none; kFunctionCodeTooLong (newCode left as it was)
  // when FcdNew exceeds kFunctionCodeWidth; else an error code or
  // kStatementTooLong.
  virtual int32_t lookupFunctionCode(const char* schema, const char* oldCode,
                                     std::string& newCode) = 0;

  // 0 when an equal booking is stored in schema's booking table;
  // kNoMoreRows when none; else an error code (kServerGone when the
  // connection has gone) or kStatementTooLong.
  virtual int32_t bookingExists(const char* schema, const BookingRecord& booking) = 0;

  // Inserts the booking into schema's booking table; nothing is committed.
  // 0 when inserted; else the error code (kDuplicateKey for a duplicate
  // key) or kStatementTooLong.
  virtual int32_t insertBooking(const char* schema, const BookingRecord& booking,
                                const char* terminalName) = 0;

  // Commits. 1 when the server accepted it, 0 otherwise (lastError() then
  // tells the error number).
  virtual int32_t commit() = 0;

  // The error number of the most recent failing call.
  virtual int32_t lastError() const = 0;
};

}  // namespace dorvek

#endif  // DORVEK_DB_BOOKING_STORE_H_
