#include "db/connection.h"

#include <errmsg.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "db/booking_store.h"

namespace dorvek {

DbConnection::~DbConnection() {
  if (initialised_) mysql_close(&handle_);
}

void DbConnection::recordError() {
  const unsigned int number = mysql_errno(&handle_);
  // A failure the library gave no number for must not read as success.
  lastError_ = number != 0 ? static_cast<int32_t>(number) : -1;
  std::snprintf(lastMessage_, sizeof lastMessage_, "%s", mysql_error(&handle_));
}

int32_t DbConnection::connect(const char* user, const char* password, const char* host,
                              const char* database) {
  if (initialised_) {
    mysql_close(&handle_);
    initialised_ = false;
  }
  if (mysql_init(&handle_) == nullptr) {
    lastError_ = CR_OUT_OF_MEMORY;
    std::snprintf(lastMessage_, sizeof lastMessage_, "mysql_init failed");
    return lastError_;
  }
  initialised_ = true;
  mysql_options(&handle_, MYSQL_SET_CHARSET_NAME, "latin1");
  if (mysql_real_connect(&handle_, host, user, password, database, 0, nullptr, 0) == nullptr) {
    recordError();
    return lastError_;
  }
  QueryHandle autocommitOff(*this, "SET AUTOCOMMIT = 0");
  dbQuery(autocommitOff);
  return 0;
}

int32_t DbConnection::commit() {
  QueryHandle query(*this, "COMMIT");
  return dbQuery(query) == 0 ? 1 : 0;
}

std::string DbConnection::escape(std::string_view text) {
  std::string out(text.size() * 2 + 1, '\0');
  // Without a handle there is no character set yet; nothing can be sent
  // then anyway, but the text must still come out quoted safely.
  const unsigned long length =
      initialised_ ? mysql_real_escape_string(&handle_, out.data(), text.data(), text.size())
                   : mysql_escape_string(out.data(), text.data(), text.size());
  out.resize(std::min<size_t>(length, out.size() - 1));
  return out;
}

QueryHandle::~QueryHandle() {
  if (result != nullptr) mysql_free_result(result);
}

int32_t dbQuery(QueryHandle& query) {
  dbFreeResult(query);
  DbConnection& connection = query.connection;
  if (!connection.initialised_) {
    connection.lastError_ = CR_SERVER_GONE_ERROR;
    std::snprintf(connection.lastMessage_, sizeof connection.lastMessage_, "not connected");
    return connection.lastError_;
  }
  if (mysql_real_query(&connection.handle_, query.statement, std::strlen(query.statement)) != 0) {
    connection.recordError();
    return connection.lastError_;
  }
  query.result = mysql_store_result(&connection.handle_);
  if (mysql_errno(&connection.handle_) != 0) {
    connection.recordError();
    return -1;
  }
  return 0;
}

int32_t dbFetchRow(QueryHandle& query, MYSQL_ROW& row) {
  if (query.result == nullptr) return -1;
  // Asking the library past the last row is not needed: the count is known.
  if (static_cast<uint64_t>(query.rowsFetched) >= mysql_num_rows(query.result)) return kNoMoreRows;
  row = mysql_fetch_row(query.result);
  if (row == nullptr) {
    query.connection.recordError();
    return -1;
  }
  ++query.rowsFetched;
  return 0;
}

int32_t dbFreeResult(QueryHandle& query) {
  if (query.result == nullptr) return -1;
  mysql_free_result(query.result);
  query.result = nullptr;
  query.rowsFetched = 0;
  return 0;
}

}  // namespace dorvek
