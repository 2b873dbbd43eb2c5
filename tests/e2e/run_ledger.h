// The operator's promise, checked over a series of runs of one booking file
// that are stopped or broken from outside: everything echoed "geschrieben"
// is stored and listed, nothing else is stored, and nothing is stored
// twice. The one exception is the booking whose commit answer was lost
// (stderr says so): it may be stored without being echoed or listed.
#ifndef DORVEK_TESTS_E2E_RUN_LEDGER_H_
#define DORVEK_TESTS_E2E_RUN_LEDGER_H_

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "db/sandbox.h"
#include "support/process.h"

namespace dorvek::testing {

// Writes the configuration file with dorVek-config, as an operator would:
// root without a password on "localhost", so MYSQL_UNIX_PORT picks the
// server.
inline void writeRootConfig(const std::string& path, const std::string& database) {
  const ProcessResult r = runProcess(
      DORVEK_CONFIG_TOOL,
      {"write", path, "--host", "localhost", "--database", database, "--user", "root"}, "\n");
  ASSERT_EQ(r.status, 0) << r.err;
}

// Bookings of one schema, each of its own personnel number, so every
// stored booking has a list line of its own.
class RunLedger {
 public:
  RunLedger(const std::string& schema, int count) : schema_(schema) {
    schema_.resize(20, ' ');
    for (int i = 1; i <= count; ++i) numbers_.push_back(number(i));
  }

  // The booking file; booking i has personnel number i.
  std::string file() const {
    std::string text;
    for (const std::string& n : numbers_) text += schema_ + n + "05.03.200907:00KO   001K1\n";
    return text;
  }

  // One run's stdout, list and stderr: the list holds exactly the echoed
  // bookings, in order, and none of them was echoed by an earlier run.
  void addRun(const std::string& out, const std::string& list, const std::string& err = "") {
    const std::string lostCommit = "dorVek: COMMIT fuer Buchung ";
    if (err.starts_with(lostCommit)) {
      uncertain_.insert(number(std::atoi(err.c_str() + lostCommit.size())));
    }
    std::string expectedList;
    const std::string tail = ", 05.03.2009, 07:00, KO   , 001, K1 geschrieben.\n";
    const std::string head = schema_ + ", ";
    for (size_t at = out.find(tail); at != std::string::npos; at = out.find(tail, at + 1)) {
      ASSERT_GE(at, head.size() + 8);
      const std::string n = out.substr(at - 8, 8);
      ASSERT_EQ(out.compare(at - 8 - head.size(), head.size(), head), 0) << out;
      EXPECT_TRUE(echoed_.insert(n).second) << n << " echoed \"geschrieben\" a second time";
      expectedList += schema_ + "," + n + ",05.03.2009\n";
    }
    EXPECT_EQ(list, expectedList);
  }

  // The server holds the bookings echoed so far, each once, and no other
  // but those whose commit answer was lost.
  void checkStored(AdminSession& admin, const std::string& quotedSchema) {
    std::vector<std::string> stored;
    std::set<std::string> expected = echoed_;
    for (const Row& row : admin.rows("SELECT BchPnr FROM " + quotedSchema +
                                     ".Kvn321Bch ORDER BY BchPnr")) {
      const std::string n = row[0].value_or("NULL");
      // A later run may have stored and echoed it after all.
      if (!echoed_.contains(n) && uncertain_.contains(n)) {
        expected.insert(n);
        storedUnlisted_.insert(n);
      }
      stored.push_back(n);
    }
    EXPECT_EQ(stored, std::vector<std::string>(expected.begin(), expected.end()));
  }

  size_t echoed() const { return echoed_.size(); }
  // Echoed, or stored although its commit answer was lost.
  size_t stored() const { return echoed_.size() + storedUnlisted_.size(); }
  size_t size() const { return numbers_.size(); }

 private:
  static std::string number(int i) {
    const std::string digits = std::to_string(i);
    return std::string(8 - std::min<size_t>(digits.size(), 8), '0') + digits;
  }

  std::string schema_;
  std::vector<std::string> numbers_;
  std::set<std::string> echoed_;
  std::set<std::string> uncertain_;
  std::set<std::string> storedUnlisted_;
};

}  // namespace dorvek::testing

#endif  // DORVEK_TESTS_E2E_RUN_LEDGER_H_
