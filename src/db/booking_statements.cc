#include "db/booking_statements.h"

#include <cstring>
#include <initializer_list>
#include <string_view>

namespace dorvek {
namespace {

constexpr const char* kSwitchFormat = "ALTER SESSION SET CURRENT_SCHEMA=%s";
constexpr const char* kLookupFormat = "SELECT FcdNew  FROM   %s  WHERE  FcdOld= '%s'";
constexpr const char* kExistsFormat =
    "SELECT BchPnr FROM  %s WHERE BchPnr = '%s' AND date_format(BchVon, '%%d.%%m.%%Y') = '%s'"
    " AND date_format(BchUhr,'%%H:%%i') = '%s' AND BchFkt = '%s'";
constexpr const char* kInsertFormat =
    "INSERT INTO %s (BchPnr, BchVon, BchUhr,BchFkt,BchFcd, BchTxt, BchSta, BchDat, BchErf,"
    " BchTrm, BchKst)  VALUES ('%s',date_format('%s','%%Y-%%m-%%d'), timestamp('%s'), '%s','%s',"
    " NULL, 1, now(), 'KALVORN','%s','%s')";

// Each %s takes the next argument as it is, each %% becomes one %.
std::string formatStatement(const char* format, std::initializer_list<std::string_view> args) {
  std::string out;
  const std::string_view* next = args.begin();
  for (const char* p = format; *p != '\0'; ++p) {
    if (p[0] == '%' && p[1] == 's' && next != args.end()) {
      out += *next++;
      ++p;
    } else if (p[0] == '%' && p[1] == '%') {
      out += '%';
      ++p;
    } else {
      out += *p;
    }
  }
  return out;
}

template <size_t N>
std::string_view field(const char (&area)[N]) {
  return std::string_view(area, strnlen(area, N));
}

// schema.table with the schema's outer blanks dropped and the schema quoted
// as an identifier, so the file's text names a schema and nothing else.
std::string tableName(const char* schema, const char* table) {
  std::string_view name(schema);
  const size_t first = name.find_first_not_of(' ');
  name = first == std::string_view::npos ? std::string_view() : name.substr(first);
  name = name.substr(0, name.find_last_not_of(' ') + 1);
  std::string out = "`";
  for (char c : name) {
    if (c == '`') out += '`';
    out += c;
  }
  out += "`.";
  out += table;
  return out;
}

// dd.mm.yyyy -> yyyy-mm-dd; a piece past the end of a short date is empty.
std::string isoDate(std::string_view date) {
  auto piece = [date](size_t pos, size_t count) {
    return pos < date.size() ? date.substr(pos, count) : std::string_view();
  };
  std::string out(piece(6, 4));
  out += '-';
  out += piece(3, 2);
  out += '-';
  out += piece(0, 2);
  return out;
}

}  // namespace

int32_t MysqlBookingStore::fail(int32_t code) {
  lastError_ = code;
  return code;
}

int32_t MysqlBookingStore::prepare(std::string statement, size_t limit) {
  statement_ = std::move(statement);
  return statement_.size() > limit ? fail(kStatementTooLong) : 0;
}

int32_t MysqlBookingStore::firstRow(QueryHandle& query, MYSQL_ROW& row) {
  int32_t code = dbQuery(query);
  if (code == 0) code = dbFetchRow(query, row);
  return code != 0 ? fail(code) : 0;
}

int32_t MysqlBookingStore::switchSchema(const char* schema) {
  // Servers of this kind refuse the statement, which counts as a switch
  // done; the tables are addressed through the schema instead.
  if (prepare(formatStatement(kSwitchFormat, {schema}), kMaxSwitchStatementLength) != 0) {
    return kStatementTooLong;
  }
  QueryHandle query(connection_, statement_.c_str());
  if (dbQuery(query) != 0) return 0;
  MYSQL_ROW row;
  return dbFetchRow(query, row) == 0 ? 1 : 0;
}

int32_t MysqlBookingStore::lookupFunctionCode(const char* schema, const char* oldCode,
                                              std::string& newCode) {
  const int32_t prepared =
      prepare(formatStatement(kLookupFormat, {tableName(schema, "Kvn131FcdUeb"),
                                              connection_.escape(oldCode)}),
              kMaxStatementLength);
  if (prepared != 0) return prepared;
  QueryHandle query(connection_, statement_.c_str());
  MYSQL_ROW row;
  const int32_t code = firstRow(query, row);
  if (code != 0) return code;
  if (row[0] == nullptr) return 0;  // NULL: the caller's code stays
  if (std::strlen(row[0]) > static_cast<size_t>(kFunctionCodeWidth)) {
    return fail(kFunctionCodeTooLong);
  }
  newCode = row[0];
  return 0;
}

int32_t MysqlBookingStore::bookingExists(const char* schema, const BookingRecord& booking) {
  const int32_t prepared = prepare(
      formatStatement(kExistsFormat, {tableName(schema, "Kvn321Bch"),
                                      connection_.escape(field(booking.personnelNumber)),
                                      connection_.escape(field(booking.date)),
                                      connection_.escape(field(booking.time)),
                                      connection_.escape(field(booking.functionType))}),
      kMaxStatementLength);
  if (prepared != 0) return prepared;
  QueryHandle query(connection_, statement_.c_str());
  MYSQL_ROW row;
  return firstRow(query, row);
}

int32_t MysqlBookingStore::insertBooking(const char* schema, const BookingRecord& booking,
                                         const char* terminalName) {
  const std::string date = isoDate(field(booking.date));
  std::string timestamp = date;
  timestamp += ' ';
  timestamp += field(booking.time);
  timestamp += ":00";
  const int32_t prepared = prepare(
      formatStatement(kInsertFormat, {tableName(schema, "Kvn321Bch"),
                                      connection_.escape(field(booking.personnelNumber)),
                                      connection_.escape(date), connection_.escape(timestamp),
                                      connection_.escape(field(booking.functionType)),
                                      connection_.escape(field(booking.functionCode)),
                                      connection_.escape(terminalName),
                                      connection_.escape(field(booking.costCentre))}),
      kMaxStatementLength);
  if (prepared != 0) return prepared;
  QueryHandle query(connection_, statement_.c_str());
  const int32_t code = dbQuery(query);
  return code != 0 ? fail(code) : 0;
}

int32_t MysqlBookingStore::commit() {
  if (connection_.commit() == 1) return 1;
  fail(connection_.lastError());
  return 0;
}

}  // namespace dorvek
