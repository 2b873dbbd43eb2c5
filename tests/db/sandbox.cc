#include "db/sandbox.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace dorvek::testing {

std::string sandboxMissing() {
  if (std::getenv("MYSQL_UNIX_PORT") != nullptr) return "";
  return "MYSQL_UNIX_PORT is not set: start the sandbox server with "
         "scripts/sandbox-db.sh start DIR and source DIR/env (scripts/test.sh does both)";
}

AdminSession::AdminSession(const char* socket) {
  MYSQL* mysql = mysql_init(nullptr);
  mysql_options(mysql, MYSQL_SET_CHARSET_NAME, "latin1");
  if (mysql_real_connect(mysql, "localhost", "root", "", nullptr, 0, socket,
                         CLIENT_MULTI_STATEMENTS) == nullptr) {
    error_ = std::string("root session to the sandbox server: ") + mysql_error(mysql);
    mysql_close(mysql);
    return;
  }
  mysql_ = mysql;
}

AdminSession::~AdminSession() {
  if (mysql_ != nullptr) mysql_close(mysql_);
}

std::vector<Row> AdminSession::rows(const std::string& sql) {
  std::vector<Row> out;
  if (mysql_ == nullptr) {
    ADD_FAILURE() << error_;
    return out;
  }
  if (mysql_real_query(mysql_, sql.data(), sql.size()) != 0) {
    ADD_FAILURE() << sql << ": " << mysql_error(mysql_);
    return out;
  }
  int status = 0;
  do {
    if (MYSQL_RES* result = mysql_store_result(mysql_)) {
      const unsigned int columns = mysql_num_fields(result);
      while (MYSQL_ROW row = mysql_fetch_row(result)) {
        const unsigned long* lengths = mysql_fetch_lengths(result);
        Row& r = out.emplace_back();
        for (unsigned int i = 0; i < columns; ++i) {
          if (row[i] == nullptr) {
            r.emplace_back();
          } else {
            r.emplace_back(std::string(row[i], lengths[i]));
          }
        }
      }
      mysql_free_result(result);
    }
    status = mysql_next_result(mysql_);
  } while (status == 0);
  if (status > 0) ADD_FAILURE() << sql << ": " << mysql_error(mysql_);
  return out;
}

void AdminSession::exec(const std::string& sql) { rows(sql); }

std::string AdminSession::value(const std::string& sql) {
  const std::vector<Row> result = rows(sql);
  if (result.empty() || result[0].empty()) return "";
  return result[0][0].value_or("NULL");
}

TestSchema::TestSchema(AdminSession& admin, const std::string& tag, size_t length)
    : admin_(admin) {
  static int created = 0;
  name_ = "dvk" + tag + "_" + std::to_string(getpid()) + "_" + std::to_string(++created) + "_";
  name_.resize(std::max(length, name_.size()), 'z');
  std::ifstream file(DORVEK_SCHEMA_SQL);
  std::stringstream sql;
  sql << file.rdbuf();
  EXPECT_FALSE(sql.str().empty()) << "cannot read " << DORVEK_SCHEMA_SQL;
  admin_.exec("DROP DATABASE IF EXISTS " + quoted() + "; CREATE DATABASE " + quoted());
  admin_.exec("USE " + quoted() + ";\n" + sql.str());
}

TestSchema::~TestSchema() { admin_.exec("DROP DATABASE IF EXISTS " + quoted()); }

std::string TestSchema::quoted() const {
  std::string out = "`";
  for (char c : name_) {
    if (c == '`') out += '`';
    out += c;
  }
  return out + "`";
}

void DbTest::SetUp() {
  const std::string missing = sandboxMissing();
  ASSERT_EQ(missing, "");
  ASSERT_TRUE(admin.ok()) << admin.error();
  schema.emplace(admin);
  ASSERT_EQ(connection.connect("root", "", "localhost", schema->name().c_str()), 0)
      << connection.lastErrorMessage();
}

void DbTest::killConnection() {
  QueryHandle query(connection, "SELECT CONNECTION_ID()");
  MYSQL_ROW row = nullptr;
  ASSERT_EQ(dbQuery(query), 0);
  ASSERT_EQ(dbFetchRow(query, row), 0);
  const std::string id = row[0];
  admin.exec("KILL " + id);
  for (int i = 0; i < 200; ++i) {
    if (admin.value("SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE ID = " + id) == "0") {
      return;
    }
    usleep(10000);
  }
  FAIL() << "connection " << id << " still there after KILL";
}

}  // namespace dorvek::testing
