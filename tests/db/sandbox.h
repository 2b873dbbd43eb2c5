// Test helpers for the sandbox server: a root session for setup and
// checks (the plain client library, not the code under test) and schemas
// of their own, loaded with sql/schema.sql and dropped afterwards.
#ifndef DORVEK_TESTS_DB_SANDBOX_H_
#define DORVEK_TESTS_DB_SANDBOX_H_

#include <gtest/gtest.h>
#include <mysql.h>

#include <optional>
#include <string>
#include <vector>

#include "db/connection.h"

namespace dorvek::testing {

// Empty when MYSQL_UNIX_PORT is set; else why the tests cannot run.
std::string sandboxMissing();

using Row = std::vector<std::optional<std::string>>;

class AdminSession {
 public:
  // socket: a server other than the one MYSQL_UNIX_PORT names (the client
  // library reads that variable only once per process).
  explicit AdminSession(const char* socket = nullptr);
  ~AdminSession();
  AdminSession(const AdminSession&) = delete;
  AdminSession& operator=(const AdminSession&) = delete;

  bool ok() const { return mysql_ != nullptr; }
  const std::string& error() const { return error_; }

  // Runs one or more statements; a refused one fails the test.
  void exec(const std::string& sql);
  std::vector<Row> rows(const std::string& sql);
  // The first column of the first row; "NULL" for SQL NULL, "" for no row.
  std::string value(const std::string& sql);

 private:
  MYSQL* mysql_ = nullptr;
  std::string error_;
};

// A schema with the two tables. Its name is unique, exactly `length`
// characters long, and holds `tag` (characters that need quoting, say).
class TestSchema {
 public:
  explicit TestSchema(AdminSession& admin, const std::string& tag = "", size_t length = 20);
  ~TestSchema();
  TestSchema(const TestSchema&) = delete;
  TestSchema& operator=(const TestSchema&) = delete;

  const std::string& name() const { return name_; }
  // `name` for use in statements.
  std::string quoted() const;

 private:
  AdminSession& admin_;
  std::string name_;
};

// A schema of its own, and the connection under test connected to it as
// root over the sandbox's socket.
class DbTest : public ::testing::Test {
 protected:
  void SetUp() override;
  // Ends the connection under test from the root session, as an operator
  // or a server restart would, and waits until the server has let it go.
  void killConnection();

  AdminSession admin;
  std::optional<TestSchema> schema;
  DbConnection connection;
};

}  // namespace dorvek::testing

#endif  // DORVEK_TESTS_DB_SANDBOX_H_
