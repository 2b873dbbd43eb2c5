// The program's one connection to the server, and the statement handle
// through which every statement passes. Nothing here prints or exits; every
// outcome is a result code (see db/booking_store.h): 0 success, a positive
// error number of the library or server, -1 a failure without a number,
// kNoMoreRows when a stored result is exhausted.
#ifndef DORVEK_DB_CONNECTION_H_
#define DORVEK_DB_CONNECTION_H_

#include <mysql.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace dorvek {

struct QueryHandle;

class DbConnection {
 public:
  DbConnection() = default;
  ~DbConnection();
  DbConnection(const DbConnection&) = delete;
  DbConnection& operator=(const DbConnection&) = delete;

  // Connects with the latin1 character set (the booking file's bytes are
  // stored as the characters they stand for) and switches autocommit off.
  // Host "localhost" with no port or socket given lets MYSQL_UNIX_PORT and
  // MYSQL_TCP_PORT choose the server. 0, or the library's error number.
  int32_t connect(const char* user, const char* password, const char* host,
                  const char* database);

  // Sends COMMIT: 1 when the server accepted it, 0 otherwise.
  int32_t commit();

  // The error number and message of the most recent failing call; the
  // message is the library's own and never contains the password.
  int32_t lastError() const { return lastError_; }
  const char* lastErrorMessage() const { return lastMessage_; }

  // text escaped for a quoted literal in a statement on this connection.
  std::string escape(std::string_view text);

 private:
  friend int32_t dbQuery(QueryHandle& query);
  friend int32_t dbFetchRow(QueryHandle& query, MYSQL_ROW& row);

  void recordError();

  MYSQL handle_{};
  bool initialised_ = false;
  int32_t lastError_ = 0;
  char lastMessage_[MYSQL_ERRMSG_SIZE] = {};
};

// One statement on a connection and its stored result. The result is
// released by dbFreeResult or, at the latest, when the handle goes.
struct QueryHandle {
  QueryHandle(DbConnection& connection, const char* statement)
      : connection(connection), statement(statement) {}
  ~QueryHandle();
  QueryHandle(const QueryHandle&) = delete;
  QueryHandle& operator=(const QueryHandle&) = delete;

  DbConnection& connection;
  const char* statement;  // not owned
  MYSQL_RES* result = nullptr;
  uint32_t rowsFetched = 0;
};

// Runs the statement and stores its whole result (none for a statement
// without a result set). 0; the error number when the statement was
// refused; -1 when storing the result failed.
int32_t dbQuery(QueryHandle& query);

// Hands out the next row of the stored result (one text per column, null
// for SQL NULL; valid until the result is released). 0; kNoMoreRows when
// every row was handed out (row then untouched); -1 without a result or
// when fetching failed.
int32_t dbFetchRow(QueryHandle& query, MYSQL_ROW& row);

// Releases the stored result: 0, or -1 when the handle held none.
int32_t dbFreeResult(QueryHandle& query);

}  // namespace dorvek

#endif  // DORVEK_DB_CONNECTION_H_
