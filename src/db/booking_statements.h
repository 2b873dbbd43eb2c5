// The booking statements on the real connection. Every value from the
// booking file is escaped for the connection and the schema is quoted as an
// identifier, so no field can change a statement. Nothing here prints,
// waits or commits on its own; see db/booking_store.h for the results.
#ifndef DORVEK_DB_BOOKING_STATEMENTS_H_
#define DORVEK_DB_BOOKING_STATEMENTS_H_

#include <cstdint>
#include <string>

#include "db/booking_store.h"
#include "db/connection.h"

namespace dorvek {

class MysqlBookingStore final : public BookingStore {
 public:
  explicit MysqlBookingStore(DbConnection& connection) : connection_(connection) {}

  int32_t switchSchema(const char* schema) override;
  int32_t lookupFunctionCode(const char* schema, const char* oldCode,
                             std::string& newCode) override;
  int32_t bookingExists(const char* schema, const BookingRecord& booking) override;
  int32_t insertBooking(const char* schema, const BookingRecord& booking,
                        const char* terminalName) override;
  int32_t commit() override;
  int32_t lastError() const override { return lastError_; }

  // The text of the most recent statement, sent or refused as too long.
  const std::string& lastStatement() const { return statement_; }

 private:
  // Keeps the statement; kStatementTooLong when it exceeds limit, else 0.
  int32_t prepare(std::string statement, size_t limit);
  int32_t fail(int32_t code);
  // Runs the kept statement and fetches its first row: 0, kNoMoreRows or
  // the failure's code.
  int32_t firstRow(QueryHandle& query, MYSQL_ROW& row);

  DbConnection& connection_;
  std::string statement_;
  int32_t lastError_ = 0;
};

}  // namespace dorvek

#endif  // DORVEK_DB_BOOKING_STATEMENTS_H_
