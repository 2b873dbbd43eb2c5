// The transfer loop against a scripted store: the outcomes a real server
// gives rarely or never (a switch that returns a row, a lost connection at
// the check, a failed commit, a statement too long), and the order of the
// calls, the pause included.
#include "transfer/transfer_loop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/text_input.h"
#include "support/temp_file.h"

namespace dorvek {
namespace {

std::string trimmed(const char* text) {
  std::string s(text);
  s.erase(s.find_last_not_of(' ') + 1);
  return s;
}

// Records every call as a short line; results come from the maps, keyed by
// the trimmed schema or personnel number.
class ScriptedStore final : public BookingStore {
 public:
  explicit ScriptedStore(std::vector<std::string>& events) : events_(events) {}

  std::map<std::string, int32_t> switchResults;                         // by schema
  std::map<std::string, std::pair<int32_t, std::string>> translations;  // by old code
  std::map<std::string, int32_t> existsResults;                         // by pnr
  std::map<std::string, int32_t> insertResults;                         // by pnr
  int failingCommit = 0;  // the n-th commit fails with kCommitError
  static constexpr int32_t kCommitError = 2013;

  int32_t switchSchema(const char* schema) override {
    events_.push_back("switch " + trimmed(schema));
    return result(switchResults, trimmed(schema), 0);
  }
  int32_t lookupFunctionCode(const char* schema, const char* oldCode,
                             std::string& newCode) override {
    events_.push_back("lookup " + trimmed(schema) + " " + oldCode);
    auto it = translations.find(oldCode);
    if (it == translations.end()) return kNoMoreRows;
    if (it->second.first == 0) newCode = it->second.second;
    return it->second.first;
  }
  int32_t bookingExists(const char* schema, const BookingRecord& b) override {
    events_.push_back("exists " + trimmed(schema) + " " + trimmed(b.personnelNumber));
    return result(existsResults, trimmed(b.personnelNumber), kNoMoreRows);
  }
  int32_t insertBooking(const char* schema, const BookingRecord& b,
                        const char* terminalName) override {
    events_.push_back("insert " + trimmed(schema) + " " + trimmed(b.personnelNumber) + " " +
                      b.functionCode + " " + terminalName);
    return result(insertResults, trimmed(b.personnelNumber), 0);
  }
  int32_t commit() override {
    events_.push_back("commit");
    return ++commits_ == failingCommit ? 0 : 1;
  }
  int32_t lastError() const override { return kCommitError; }

 private:
  static int32_t result(const std::map<std::string, int32_t>& m, const std::string& key,
                        int32_t otherwise) {
    auto it = m.find(key);
    return it == m.end() ? otherwise : it->second;
  }

  std::vector<std::string>& events_;
  int commits_ = 0;
};

// A booking of 01.02.2009 07:00, type KO, code 001, cost centre K1.
std::string booking(const std::string& schema, const std::string& pnr) {
  std::string s = schema, p = pnr;
  s.resize(20, ' ');
  p.resize(8, ' ');
  return s + p + "01.02.200907:00KO   001K1\n";
}

std::string written(const std::string& schema, const std::string& pnr) {
  std::string s = schema, p = pnr;
  s.resize(20, ' ');
  p.resize(8, ' ');
  return s + ", " + p + ", 01.02.2009, 07:00, KO   , 001, K1 geschrieben.\n";
}

std::string listed(const std::string& schema, const std::string& pnr) {
  std::string s = schema, p = pnr;
  s.resize(20, ' ');
  p.resize(8, ' ');
  return s + "," + p + ",01.02.2009\n";
}

// The inserted booking's calls, pause included, with the code it carries.
std::vector<std::string> stored(const std::string& schema, const std::string& pnr,
                                const std::string& code = "001") {
  return {"lookup " + schema + " 001", "exists " + schema + " " + pnr, "pause",
          "insert " + schema + " " + pnr + " " + code + " T1", "commit"};
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

struct LoopCase {
  const char* name;
  std::string bookings;  // the file, already in table order
  std::function<void(ScriptedStore&)> script;
  bool listOnFullDevice;
  std::string out;
  std::string list;
  std::vector<std::string> events;
  int status;
  std::string errNames;  // empty: stderr stays empty; else a text it holds
};

void PrintTo(const LoopCase& c, std::ostream* os) { *os << c.name; }

const char kDuplicateA3[] =
    "Buchungs-Fehler:\n"
    " Schema:         A                   \n"
    " Personalnummer: 3       \n"
    " Datum:          01.02.2009\n"
    " Uhrzeit:        07:00\n"
    " Funktionstyp:   KO   \n"
    " Meldungsart:    001\n"
    " Terminalname:   T1\n"
    " Kostenstelle:   K1\n"
    " Fehler: Buchung mit dem Schl\xFCssel existiert schon \n";

const char kCommitFailedA1[] =
    "Buchungs-Fehler:\n"
    " Schema:         A                   \n"
    " Personalnummer: 1       \n"
    " Datum:          01.02.2009\n"
    " Uhrzeit:        07:00\n"
    " Funktionstyp:   KO   \n"
    " Meldungsart:    001\n"
    " Terminalname:   T1\n"
    " Kostenstelle:   K1\n"
    " SQL-Fehler: 2013\n\n---\n";

const std::vector<LoopCase> kCases = {
    {"SwitchReturningRowDropsOnlyFirstBookingOfSchema",
     booking("A", "1") + booking("B", "2") + booking("B", "3"),
     [](ScriptedStore& s) { s.switchResults["B"] = 1; }, false,
     written("A", "1") + "- Schema konnte nicht gewechselt werden: B                   \n" +
         written("B", "3") + "dorVek: Fertig.\n",
     listed("A", "1") + listed("B", "3"),
     std::vector<std::string>{"switch A"} + stored("A", "1") +
         std::vector<std::string>{"switch B"} + stored("B", "3") +
         std::vector<std::string>{"commit"},
     0, ""},
    {"DuplicateCostsNoPauseAndOtherCheckErrorsLeadToInsert",
     booking("A", "1") + booking("A", "2") + booking("A", "3"),
     [](ScriptedStore& s) {
       s.existsResults["2"] = -1;
       s.existsResults["3"] = 0;
     },
     false, written("A", "1") + written("A", "2") + kDuplicateA3 + "dorVek: Fertig.\n",
     listed("A", "1") + listed("A", "2"),
     std::vector<std::string>{"switch A"} + stored("A", "1") + stored("A", "2") +
         std::vector<std::string>{"lookup A 001", "exists A 3", "commit"},
     0, ""},
    {"FunctionCodeTooLongIsNoTranslation", booking("A", "1"),
     [](ScriptedStore& s) {
       s.translations["001"] = {kFunctionCodeTooLong, ""};
     },
     false, written("A", "1") + "dorVek: Fertig.\n", listed("A", "1"),
     std::vector<std::string>{"switch A"} + stored("A", "1") + std::vector<std::string>{"commit"},
     0, ""},
    {"FailedCommitIsNotStored", booking("A", "1") + booking("A", "2"),
     [](ScriptedStore& s) { s.failingCommit = 1; }, false, kCommitFailedA1, "",
     std::vector<std::string>{"switch A"} + stored("A", "1"), -1, "2013"},
    {"ServerGoneAtCheckEndsWithoutInsert", booking("A", "1") + booking("A", "2"),
     [](ScriptedStore& s) { s.existsResults["2"] = kServerGone; }, false, written("A", "1"),
     listed("A", "1"),
     std::vector<std::string>{"switch A"} + stored("A", "1") +
         std::vector<std::string>{"lookup A 001", "exists A 2"},
     -1, "2006"},
    {"ListLineNotWrittenEndsAfterCommitWithoutEcho", booking("A", "1") + booking("A", "2"), nullptr,
     true, "", "", std::vector<std::string>{"switch A"} + stored("A", "1"), -1,
     "\"A                   ,1       ,01.02.2009\""},
    {"SwitchStatementTooLong",
     booking("A", "1"),
     [](ScriptedStore& s) { s.switchResults["A"] = kStatementTooLong; },
     false,
     "",
     "",
     {"switch A"},
     1,
     "Schemawechsel"},
    {"LookupStatementTooLong",
     booking("A", "1"),
     [](ScriptedStore& s) {
       s.translations["001"] = {kStatementTooLong, ""};
     },
     false,
     "",
     "",
     {"switch A", "lookup A 001"},
     1,
     "Funktionscode"},
    {"CheckStatementTooLong",
     booking("A", "1"),
     [](ScriptedStore& s) { s.existsResults["1"] = kStatementTooLong; },
     false,
     "",
     "",
     {"switch A", "lookup A 001", "exists A 1"},
     1,
     "Dubletten"},
    {"InsertStatementTooLongAfterAStoredBooking", booking("A", "1") + booking("A", "2"),
     [](ScriptedStore& s) { s.insertResults["2"] = kStatementTooLong; }, false, written("A", "1"),
     listed("A", "1"),
     std::vector<std::string>{"switch A"} + stored("A", "1") +
         std::vector<std::string>{"lookup A 001", "exists A 2", "pause", "insert A 2 001 T1"},
     1, "Einfuegen"},
};

class TransferLoopTest : public ::testing::TestWithParam<LoopCase> {};

TEST_P(TransferLoopTest, Runs) {
  const LoopCase& c = GetParam();
  testing::TempDir dir;
  const std::string listPath = c.listOnFullDevice ? "/dev/full" : dir.write("rzl.txt", "");

  BookingTable table;
  TextInput in;
  ASSERT_TRUE(in.openMemory(c.bookings.data(), c.bookings.size()));
  testing::CapturedOutput reading;
  ASSERT_EQ(readBookingTable(in, table, reading.file()), ReadResult::kRead);

  std::vector<std::string> events;
  ScriptedStore store(events);
  if (c.script) c.script(store);
  const RecalcList list(listPath);
  testing::CapturedOutput out, err;
  TransferLoop loop(table, store, list, "T1", out.file(), err.file());
  loop.setPause([&events] { events.push_back("pause"); });

  EXPECT_EQ(loop.run(), c.status);
  EXPECT_EQ(out.text(), c.out);
  EXPECT_EQ(events, c.events);
  if (!c.listOnFullDevice) {
    EXPECT_EQ(testing::TempDir::read(listPath), c.list);
  }
  const std::string e = err.text();
  if (c.errNames.empty()) {
    EXPECT_EQ(e, "");
  } else {
    EXPECT_EQ(e.rfind("dorVek: ", 0), 0u) << e;
    EXPECT_EQ(std::count(e.begin(), e.end(), '\n'), 1) << e;
    EXPECT_EQ(e.back(), '\n');
    EXPECT_NE(e.find(c.errNames), std::string::npos) << e;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, TransferLoopTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A stop asked for while a booking is in hand: that booking is finished
// (commit, list line, echo), the next one never begins.
struct StopCase {
  const char* name;
  int askedDuringBooking;  // 0: already before the loop
  std::string out;
  std::string list;
  int status;
  std::string err;
};

void PrintTo(const StopCase& c, std::ostream* os) { *os << c.name; }

class TransferLoopStopTest : public ::testing::TestWithParam<StopCase> {};

TEST_P(TransferLoopStopTest, FinishesBookingInHand) {
  const StopCase& c = GetParam();
  testing::TempDir dir;
  const std::string listPath = dir.write("rzl.txt", "");
  const std::string bookings = booking("A", "1") + booking("A", "2") + booking("A", "3");
  BookingTable table;
  TextInput in;
  ASSERT_TRUE(in.openMemory(bookings.data(), bookings.size()));
  testing::CapturedOutput reading;
  ASSERT_EQ(readBookingTable(in, table, reading.file()), ReadResult::kRead);

  std::vector<std::string> events;
  ScriptedStore store(events);
  const RecalcList list(listPath);
  testing::CapturedOutput out, err;
  TransferLoop loop(table, store, list, "T1", out.file(), err.file());
  int pauses = 0;
  bool asked = c.askedDuringBooking == 0;
  loop.setPause([&] { asked = asked || ++pauses == c.askedDuringBooking; });
  loop.setStopCheck([&] { return asked; });

  EXPECT_EQ(loop.run(), c.status);
  EXPECT_EQ(out.text(), c.out);
  EXPECT_EQ(testing::TempDir::read(listPath), c.list);
  EXPECT_EQ(err.text(), c.err);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TransferLoopStopTest,
    ::testing::Values(
        StopCase{"BeforeTheFirstBooking", 0, "", "", -1,
                 "dorVek: Abbruch auf Signal: 0 von 3 Buchungen bearbeitet.\n"},
        StopCase{"DuringTheSecondBooking", 2, written("A", "1") + written("A", "2"),
                 listed("A", "1") + listed("A", "2"), -1,
                 "dorVek: Abbruch auf Signal: 2 von 3 Buchungen bearbeitet.\n"},
        StopCase{"DuringTheLastBookingTheRunEndsNormally", 3,
                 written("A", "1") + written("A", "2") + written("A", "3") + "dorVek: Fertig.\n",
                 listed("A", "1") + listed("A", "2") + listed("A", "3"), 0, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// The pause ends early on purpose and waits out the rest awake: it must
// still never be shorter than asked.
TEST(PauseBeforeInsert, NeverShorterThanFifteenMilliseconds) {
  for (int i = 0; i < 5; ++i) {
    const auto start = std::chrono::steady_clock::now();
    pauseBeforeInsert();
    EXPECT_GE(std::chrono::steady_clock::now() - start,
              std::chrono::milliseconds(kInsertPauseMillis));
  }
}

}  // namespace
}  // namespace dorvek
