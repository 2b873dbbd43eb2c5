// The connection and statement handle against the sandbox server.
#include "db/connection.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "db/booking_store.h"
#include "db/sandbox.h"

namespace dorvek {
namespace {

using testing::DbTest;

struct ConnectFailure {
  const char* label;
  const char* password;
  const char* host;
  const char* database;  // nullptr: the test's own schema
  int32_t expected;
};

TEST(DbConnectionTest, RefusedConnectionGivesTheLibraryNumberAndStaysUnusable) {
  ASSERT_EQ(testing::sandboxMissing(), "");
  testing::AdminSession admin;
  ASSERT_TRUE(admin.ok()) << admin.error();
  testing::TestSchema schema(admin);
  const ConnectFailure cases[] = {
      {"wrong password", "Geheim'1", "localhost", nullptr, 1045},
      {"unknown database", "", "localhost", "dvk_no_such_database", 1049},
      // .invalid never resolves, so no packet leaves the machine.
      {"unknown host", "", "nonexistent.invalid", nullptr, 2005},
  };
  for (const ConnectFailure& c : cases) {
    SCOPED_TRACE(c.label);
    DbConnection connection;
    const char* database = c.database ? c.database : schema.name().c_str();
    EXPECT_EQ(connection.connect("root", c.password, c.host, database), c.expected);
    EXPECT_EQ(connection.lastError(), c.expected);
    EXPECT_STRNE(connection.lastErrorMessage(), "");
    if (c.password[0] != '\0') {
      EXPECT_EQ(std::strstr(connection.lastErrorMessage(), c.password), nullptr);
    }
    EXPECT_EQ(connection.commit(), 0);
  }
}

TEST(DbConnectionTest, NeverConnectedRefusesStatements) {
  DbConnection connection;
  QueryHandle query(connection, "SELECT 1");
  EXPECT_EQ(dbQuery(query), kServerGone);
  EXPECT_EQ(connection.commit(), 0);
}

TEST_F(DbTest, SessionIsLatin1WithoutAutocommit) {
  const struct {
    const char* statement;
    const char* expected;
  } cases[] = {
      {"SELECT @@autocommit", "0"},
      {"SELECT @@character_set_client", "latin1"},
      {"SELECT @@character_set_connection", "latin1"},
      {"SELECT @@character_set_results", "latin1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.statement);
    QueryHandle query(connection, c.statement);
    MYSQL_ROW row = nullptr;
    ASSERT_EQ(dbQuery(query), 0);
    ASSERT_EQ(dbFetchRow(query, row), 0);
    EXPECT_STREQ(row[0], c.expected);
  }
}

TEST_F(DbTest, StatementWithoutResultSetHasNothingToFetchOrFree) {
  const char* statements[] = {
      "INSERT INTO Kvn131FcdUeb (FcdOld, FcdNew) VALUES ('A', 'B')",
      "COMMIT",
  };
  for (const char* statement : statements) {
    SCOPED_TRACE(statement);
    QueryHandle query(connection, statement);
    MYSQL_ROW row = nullptr;
    EXPECT_EQ(dbQuery(query), 0);
    EXPECT_EQ(query.result, nullptr);
    EXPECT_EQ(dbFetchRow(query, row), -1);
    EXPECT_EQ(dbFreeResult(query), -1);
  }
}

TEST_F(DbTest, FetchHandsOutEachStoredRowThenNoMoreRows) {
  const struct {
    const char* label;
    const char* rows;  // inserted before the query, nullptr for none
    std::vector<const char*> expected;
  } cases[] = {
      {"no row", nullptr, {}},
      {"two rows", "('A1', 'N1'), ('A2', 'N2')", {"N1", "N2"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    admin.exec("DELETE FROM " + schema->quoted() + ".Kvn131FcdUeb");
    if (c.rows) {
      admin.exec("INSERT INTO " + schema->quoted() + ".Kvn131FcdUeb (FcdOld, FcdNew) VALUES " +
                 c.rows);
    }
    connection.commit();  // autocommit is off: end the snapshot of the case before
    QueryHandle query(connection, "SELECT FcdNew FROM Kvn131FcdUeb ORDER BY FcdOld");
    ASSERT_EQ(dbQuery(query), 0);
    MYSQL_ROW row = nullptr;
    for (const char* expected : c.expected) {
      ASSERT_EQ(dbFetchRow(query, row), 0);
      EXPECT_STREQ(row[0], expected);
    }
    // Past the last row the library is not asked again: the row stays.
    char* sentinel[] = {nullptr};
    row = sentinel;
    EXPECT_EQ(dbFetchRow(query, row), kNoMoreRows);
    EXPECT_EQ(row, sentinel);
    EXPECT_EQ(dbFreeResult(query), 0);
    EXPECT_EQ(dbFreeResult(query), -1);
    EXPECT_EQ(dbFetchRow(query, row), -1);
  }
}

TEST_F(DbTest, RefusedStatementGivesTheServerNumber) {
  QueryHandle query(connection, "SELECT * FROM NoSuchTable");
  MYSQL_ROW row = nullptr;
  EXPECT_EQ(dbQuery(query), 1146);
  EXPECT_EQ(connection.lastError(), 1146);
  EXPECT_EQ(dbFetchRow(query, row), -1);
}

// Under the sanitizer build a result left behind would show as a leak.
TEST_F(DbTest, StoredResultIsReleasedWhenTheHandleIsReusedOrGoes) {
  QueryHandle query(connection, "SELECT 1");
  ASSERT_EQ(dbQuery(query), 0);
  MYSQL_ROW row = nullptr;
  ASSERT_EQ(dbFetchRow(query, row), 0);
  ASSERT_EQ(dbQuery(query), 0);
  EXPECT_EQ(query.rowsFetched, 0u);
  EXPECT_EQ(dbFetchRow(query, row), 0);
}

TEST_F(DbTest, CommitMakesRowsVisibleAndFailsOnceTheConnectionIsGone) {
  const std::string count = "SELECT COUNT(*) FROM " + schema->quoted() + ".Kvn131FcdUeb";
  QueryHandle insert(connection, "INSERT INTO Kvn131FcdUeb (FcdOld, FcdNew) VALUES ('A', 'B')");
  ASSERT_EQ(dbQuery(insert), 0);
  EXPECT_EQ(admin.value(count), "0");
  EXPECT_EQ(connection.commit(), 1);
  EXPECT_EQ(admin.value(count), "1");

  killConnection();
  EXPECT_EQ(connection.commit(), 0);
  EXPECT_NE(connection.lastError(), 0);
}

}  // namespace
}  // namespace dorvek
