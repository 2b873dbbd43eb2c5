// The booking statements against the sandbox server, each test in schemas
// of its own. Test schema names are 20 characters long, so the lookup's
// table name is longer than 32 characters throughout.
#include "db/booking_statements.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "db/sandbox.h"

namespace dorvek {
namespace {

template <size_t N>
void copyField(char (&area)[N], const char* text) {
  std::snprintf(area, N, "%s", text);
}

BookingRecord makeBooking(const char* personnelNumber, const char* date, const char* time,
                          const char* functionType, const char* functionCode,
                          const char* costCentre) {
  BookingRecord booking{};
  copyField(booking.personnelNumber, personnelNumber);
  copyField(booking.date, date);
  copyField(booking.time, time);
  copyField(booking.functionType, functionType);
  copyField(booking.functionCode, functionCode);
  copyField(booking.costCentre, costCentre);
  return booking;
}

std::string hex(const std::string& bytes) {
  std::string out;
  char digits[3];
  for (unsigned char c : bytes) {
    std::snprintf(digits, sizeof digits, "%02X", c);
    out += digits;
  }
  return out;
}

class BookingStatementsTest : public testing::DbTest {
 protected:
  std::string bookings(const testing::TestSchema& in) const {
    return in.quoted() + ".Kvn321Bch";
  }
  std::string count(const testing::TestSchema& in) {
    return admin.value("SELECT COUNT(*) FROM " + bookings(in));
  }

  MysqlBookingStore store{connection};
  BookingRecord booking = makeBooking("00004711", "05.03.2009", "07:30", "KOM  ", "K1", "Kst 1");
};

TEST_F(BookingStatementsTest, InsertStoresIsoDateAndTimestampAndTheCheckFindsIt) {
  const char* schemaName = schema->name().c_str();
  EXPECT_EQ(store.bookingExists(schemaName, booking), kNoMoreRows);
  ASSERT_EQ(store.insertBooking(schemaName, booking, "Terminal 7"), 0);
  EXPECT_EQ(store.bookingExists(schemaName, booking), 0);
  EXPECT_EQ(count(*schema), "0") << "nothing is committed by the insert";
  ASSERT_EQ(store.commit(), 1);

  const std::vector<testing::Row> rows = admin.rows(
      "SELECT BchPnr, BchVon, BchUhr, HEX(BchFkt), BchFcd, BchTxt, BchSta, BchErf, BchTrm,"
      " BchKst, ABS(TIMESTAMPDIFF(SECOND, BchDat, NOW())) < 60 FROM " + bookings(*schema));
  ASSERT_EQ(rows.size(), 1u);
  const testing::Row expected = {"00004711",   "2009-03-05", "2009-03-05 07:30:00",
                                 hex("KOM  "), "K1",         std::nullopt,
                                 "1",          "KALVORN",    "Terminal 7",
                                 "Kst 1",      "1"};
  EXPECT_EQ(rows[0], expected);
}

TEST_F(BookingStatementsTest, StatementTextsKeepTheirBlanks) {
  const std::string table = "`" + schema->name() + "`.";
  std::string newCode;
  const struct {
    const char* label;
    std::function<int32_t()> run;
    std::string expected;
  } cases[] = {
      {"switch", [&] { return store.switchSchema("VANTORIUM           "); },
       "ALTER SESSION SET CURRENT_SCHEMA=VANTORIUM           "},
      {"lookup", [&] { return store.lookupFunctionCode(schema->name().c_str(), "K1", newCode); },
       "SELECT FcdNew  FROM   " + table + "Kvn131FcdUeb  WHERE  FcdOld= 'K1'"},
      {"duplicate check", [&] { return store.bookingExists(schema->name().c_str(), booking); },
       "SELECT BchPnr FROM  " + table +
           "Kvn321Bch WHERE BchPnr = '00004711' AND date_format(BchVon, '%d.%m.%Y') ="
           " '05.03.2009' AND date_format(BchUhr,'%H:%i') = '07:30' AND BchFkt = 'KOM  '"},
      {"insert", [&] { return store.insertBooking(schema->name().c_str(), booking, ""); },
       "INSERT INTO " + table +
           "Kvn321Bch (BchPnr, BchVon, BchUhr,BchFkt,BchFcd, BchTxt, BchSta, BchDat, BchErf,"
           " BchTrm, BchKst)  VALUES ('00004711',date_format('2009-03-05','%Y-%m-%d'),"
           " timestamp('2009-03-05 07:30:00'), 'KOM  ','K1', NULL, 1, now(), 'KALVORN','',"
           "'Kst 1')"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    c.run();
    EXPECT_EQ(store.lastStatement(), c.expected);
  }
}

TEST_F(BookingStatementsTest, DuplicateKeyIsRefusedAndLeavesTheTableAsItWas) {
  const char* schemaName = schema->name().c_str();
  ASSERT_EQ(store.insertBooking(schemaName, booking, ""), 0);
  ASSERT_EQ(store.commit(), 1);
  BookingRecord again = booking;
  std::strcpy(again.costCentre, "other");
  EXPECT_EQ(store.insertBooking(schemaName, again, "other"), kDuplicateKey);
  EXPECT_EQ(store.lastError(), kDuplicateKey);
  ASSERT_EQ(store.commit(), 1);
  EXPECT_EQ(admin.value("SELECT CONCAT(COUNT(*), ' ', MAX(BchKst)) FROM " + bookings(*schema)),
            "1 Kst 1");
}

TEST_F(BookingStatementsTest, SwitchIsRefusedByTheServerAndCountsAsDone) {
  for (const char* schemaName : {"VANTORIUM           ", "A'B`C; DROP DATABASE x"}) {
    SCOPED_TRACE(schemaName);
    EXPECT_EQ(store.switchSchema(schemaName), 0);
  }
}

TEST_F(BookingStatementsTest, LostConnectionAtTheDuplicateCheckIsServerGone) {
  killConnection();
  EXPECT_EQ(store.bookingExists(schema->name().c_str(), booking), kServerGone);
}

TEST_F(BookingStatementsTest, LookupTakesTheFirstTranslationAndLeavesTheCodeOtherwise) {
  // Wider than the reference schema's column, as an operator's table may be.
  admin.exec("ALTER TABLE " + schema->quoted() + ".Kvn131FcdUeb MODIFY FcdNew VARCHAR(8) NULL");
  const struct {
    const char* label;
    const char* rows;
    int32_t expected;
    const char* newCode;  // "-": left as it was
  } cases[] = {
      {"found", "('K1', 'N1')", 0, "N1"},
      {"missing", "('K2', 'N2')", kNoMoreRows, "-"},
      {"NULL", "('K1', NULL)", 0, "-"},
      {"two rows: the first wins", "('K1', 'N1'), ('K1', 'N2')", 0, "N1"},
      {"longer than a function code", "('K1', 'N123')", kFunctionCodeTooLong, "-"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    admin.exec("DELETE FROM " + schema->quoted() + ".Kvn131FcdUeb; INSERT INTO " +
               schema->quoted() + ".Kvn131FcdUeb (FcdOld, FcdNew) VALUES " + c.rows);
    connection.commit();  // autocommit is off: end the snapshot of the case before
    std::string newCode = "-";
    EXPECT_EQ(store.lookupFunctionCode(schema->name().c_str(), "K1", newCode), c.expected);
    EXPECT_EQ(newCode, c.newCode);
  }
}

TEST_F(BookingStatementsTest, SchemaIsTrimmedAndQuotedForEveryTable) {
  const struct {
    const char* label;
    const char* tag;
    size_t length;
    const char* leading;
    size_t paddedTo;  // trailing blanks up to this length
  } cases[] = {
      {"padded with blanks to 20 characters", "", 0, "", 20},
      {"20 characters", "", 20, "", 0},
      {"blanks at both ends", "", 0, "  ", 24},
      {"backtick and quote in the name", "`'", 20, "", 21},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    testing::TestSchema other(admin, c.tag, c.length);
    admin.exec("INSERT INTO " + other.quoted() + ".Kvn131FcdUeb (FcdOld, FcdNew) VALUES ('K1', 'N1')");
    std::string spelled = c.leading + other.name();
    spelled.resize(std::max(spelled.size(), c.paddedTo), ' ');
    std::string newCode;
    EXPECT_EQ(store.lookupFunctionCode(spelled.c_str(), "K1", newCode), 0);
    EXPECT_EQ(newCode, "N1");
    EXPECT_EQ(store.insertBooking(spelled.c_str(), booking, ""), 0);
    EXPECT_EQ(store.bookingExists(spelled.c_str(), booking), 0);
    ASSERT_EQ(store.commit(), 1);
    EXPECT_EQ(count(other), "1");
  }
  EXPECT_EQ(count(*schema), "0");
}

TEST_F(BookingStatementsTest, DuplicateCheckLooksInTheSchemaTheInsertWritesTo) {
  testing::TestSchema other(admin);
  const char* connectSchema = schema->name().c_str();
  const char* bookingSchema = other.name().c_str();
  ASSERT_EQ(store.insertBooking(connectSchema, booking, ""), 0);
  ASSERT_EQ(store.commit(), 1);

  EXPECT_EQ(store.bookingExists(bookingSchema, booking), kNoMoreRows);
  EXPECT_EQ(store.insertBooking(bookingSchema, booking, ""), 0);
  EXPECT_EQ(store.bookingExists(bookingSchema, booking), 0);
  ASSERT_EQ(store.commit(), 1);
  EXPECT_EQ(count(*schema), "1");
  EXPECT_EQ(count(other), "1");
}

TEST_F(BookingStatementsTest, TextsAreStoredVerbatim) {
  const struct {
    const char* label;
    const char* personnelNumber;
    const char* terminalName;
    const char* costCentre;
  } cases[] = {
      {"no terminal name", "1", "", "Kst 1"},
      {"quote, backslash and 0xFC", "2", "Term'\\\xFC", "K'st\\\xFC\"x"},
      {"cost centre of 34 characters", "3", "T", "1234567890123456789012345678901234"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    copyField(booking.personnelNumber, c.personnelNumber);
    copyField(booking.costCentre, c.costCentre);
    ASSERT_EQ(store.insertBooking(schema->name().c_str(), booking, c.terminalName), 0);
    ASSERT_EQ(store.commit(), 1);
    const std::vector<testing::Row> rows =
        admin.rows("SELECT HEX(BchTrm), HEX(BchKst) FROM " + bookings(*schema) +
                   " WHERE BchPnr = '" + c.personnelNumber + "'");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0], (testing::Row{hex(c.terminalName), hex(c.costCentre)}));
  }
}

TEST_F(BookingStatementsTest, QuotesInFieldsCannotWidenAQuery) {
  const char* schemaName = schema->name().c_str();
  ASSERT_EQ(store.insertBooking(schemaName, booking, ""), 0);
  ASSERT_EQ(store.commit(), 1);
  admin.exec("INSERT INTO " + schema->quoted() + ".Kvn131FcdUeb (FcdOld, FcdNew) VALUES ('K1', 'N1')");
  BookingRecord other = booking;
  copyField(other.personnelNumber, "x'OR'1");
  std::string newCode;
  // Unescaped, each of these would match the stored row.
  const struct {
    const char* label;
    std::function<int32_t()> run;
  } cases[] = {
      {"personnel number", [&] { return store.bookingExists(schemaName, other); }},
      {"function code", [&] { return store.lookupFunctionCode(schemaName, "'|'", newCode); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(c.run(), kNoMoreRows);
  }
}

TEST_F(BookingStatementsTest, InsertOfMoreThan1000CharactersIsNotSent) {
  // Booking fields cannot reach the limit; a terminal name given to the
  // store unchecked can, with a column wide enough to take it.
  admin.exec("ALTER TABLE " + bookings(*schema) + " MODIFY BchTrm VARCHAR(1000) NOT NULL");
  const char* schemaName = schema->name().c_str();
  BookingRecord measured = booking;
  copyField(measured.personnelNumber, "1");
  ASSERT_EQ(store.insertBooking(schemaName, measured, ""), 0);
  const size_t base = store.lastStatement().size();
  ASSERT_LT(base, 700u);
  const struct {
    const char* label;
    const char* personnelNumber;
    std::string terminalName;
    int32_t expected;
  } cases[] = {
      {"exactly 1000", "2", std::string(1000 - base, 'T'), 0},
      {"1001", "3", std::string(1001 - base, 'T'), kStatementTooLong},
      {"1001 once a quote is escaped", "4", "'" + std::string(999 - base, 'T'), kStatementTooLong},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    copyField(measured.personnelNumber, c.personnelNumber);
    EXPECT_EQ(store.insertBooking(schemaName, measured, c.terminalName.c_str()), c.expected);
  }
  EXPECT_EQ(store.lastError(), kStatementTooLong);
  EXPECT_EQ(store.lastStatement().size(), 1001u);
  ASSERT_EQ(store.commit(), 1);
  EXPECT_EQ(admin.value("SELECT GROUP_CONCAT(BchPnr ORDER BY BchPnr) FROM " + bookings(*schema)),
            "1,2");
}

TEST_F(BookingStatementsTest, OverlongSchemaIsRefusedBeforeSending) {
  // The switch statement's own limit is 200 characters, 33 of them fixed.
  const std::string atSwitchLimit(200 - 33, 'S');
  const std::string overSwitchLimit(201 - 33, 'S');
  const std::string overLimit(kMaxStatementLength, 'S');
  std::string newCode;
  const struct {
    const char* label;
    std::function<int32_t()> run;
    int32_t expected;
  } cases[] = {
      {"switch of 200", [&] { return store.switchSchema(atSwitchLimit.c_str()); }, 0},
      {"switch of 201", [&] { return store.switchSchema(overSwitchLimit.c_str()); },
       kStatementTooLong},
      {"lookup", [&] { return store.lookupFunctionCode(overLimit.c_str(), "K1", newCode); },
       kStatementTooLong},
      {"duplicate check", [&] { return store.bookingExists(overLimit.c_str(), booking); },
       kStatementTooLong},
      {"insert", [&] { return store.insertBooking(overLimit.c_str(), booking, ""); },
       kStatementTooLong},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(c.run(), c.expected);
  }
}

}  // namespace
}  // namespace dorvek
