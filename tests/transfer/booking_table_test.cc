#include "transfer/booking_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <string>
#include <vector>

#include "platform/text_input.h"
#include "support/temp_file.h"

namespace dorvek {
namespace {

// A booking line from its fields, padded or cut to the column widths.
std::string line(const std::string& schema, const std::string& pnr, const std::string& date,
                 const std::string& time, const std::string& type, const std::string& code,
                 const std::string& cost) {
  auto col = [](std::string s, size_t w) {
    s.resize(w, ' ');
    return s;
  };
  return col(schema, 20) + col(pnr, 8) + col(date, 10) + col(time, 5) + col(type, 5) +
         col(code, 3) + cost;
}

const std::string kFixed = line("ABC", "00000001", "05.03.2009", "07:30", "KO", "A01", "");

struct Read {
  ReadResult result;
  std::vector<BookingRecord> records;
  std::string output;
};

Read readBytes(const std::string& bytes) {
  testing::TempDir dir;
  testing::CapturedOutput out;
  BookingTable table;
  Read r;
  r.result = readBookingTable(dir.write("buchungen.txt", bytes).c_str(), table, out.file());
  for (const BookingRecord& rec : table) r.records.push_back(rec);
  r.output = out.text();
  return r;
}

struct Expected {
  std::string schema, personnelNumber, date, time, functionType, functionCode, costCentre;
};

struct ReaderCase {
  const char* name;
  std::string bytes;
  std::vector<Expected> bookings;
};

TEST(ReadBookingTable, CutsLinesIntoFields) {
  const std::string tail500(500, 'k');
  const std::string longTail = std::string(500, 'k') + "X" + kFixed.substr(0, 51) + "rest";
  const ReaderCase cases[] = {
      {"crlf line end leaves no cr in the cost centre",
       kFixed + "Kst 1\r\n",
       {{"ABC                 ", "00000001", "05.03.2009", "07:30", "KO   ", "A01", "Kst 1"}}},
      {"a lone cr stays part of the cost centre",
       kFixed + "Kst\r1\n",
       {{"ABC                 ", "00000001", "05.03.2009", "07:30", "KO   ", "A01", "Kst\r1"}}},
      {"0x1a ends the file",
       kFixed + "eins\n" + kFixed + "zw\x1A" "ei\n" + kFixed + "drei\n",
       {{"ABC                 ", "00000001", "05.03.2009", "07:30", "KO   ", "A01", "eins"},
        {"ABC                 ", "00000001", "05.03.2009", "07:30", "KO   ", "A01", "zw"}}},
      {"a zero byte ends its field",
       line("AB", std::string("123\0" "5678", 8), "05.03.2009", "07:30", "KO", "A01", "x") + "\n",
       {{"AB                  ", "123", "05.03.2009", "07:30", "KO   ", "A01", "x"}}},
      {"a line of exactly 51 characters has an empty cost centre",
       kFixed + "\n",
       {{"ABC                 ", "00000001", "05.03.2009", "07:30", "KO   ", "A01", ""}}},
      {"a long tail keeps 34 characters and consumes its line end",
       kFixed + tail500 + "\n" + kFixed + "b\n",
       {{"ABC                 ", "00000001", "05.03.2009", "07:30", "KO   ", "A01", tail500.substr(0, 34)},
        {"ABC                 ", "00000001", "05.03.2009", "07:30", "KO   ", "A01", "b"}}},
      {"past 500 the 501st is lost and the rest starts the next booking",
       kFixed + longTail + "\n",
       {{"ABC                 ", "00000001", "05.03.2009", "07:30", "KO   ", "A01", tail500.substr(0, 34)},
        {"ABC                 ", "00000001", "05.03.2009", "07:30", "KO   ", "A01", "rest"}}},
      {"a short last line is no booking",
       kFixed + "a\n" + "ABC\n",
       {{"ABC                 ", "00000001", "05.03.2009", "07:30", "KO   ", "A01", "a"}}},
      {"a lone line end after the last booking is no booking",
       kFixed + "a\n\n",
       {{"ABC                 ", "00000001", "05.03.2009", "07:30", "KO   ", "A01", "a"}}},
      {"a last line ending inside the fixed fields",
       kFixed + "a\n" + kFixed.substr(0, 31),
       {{"ABC                 ", "00000001", "05.03.2009", "07:30", "KO   ", "A01", "a"},
        {"ABC                 ", "00000001", "05.", "", "", "", ""}}},
      {"a line end inside the fixed fields runs into the next line",
       "ABC                 123\n" + kFixed + "\n",
       {{"ABC                 ", "123\nABC ", "          ", "     ", " 0000", "000", "105.03.200907:30KO   A01"}}},
      {"a last line without a line end", kFixed + "x",
       {{"ABC                 ", "00000001", "05.03.2009", "07:30", "KO   ", "A01", "x"}}},
      {"an empty file", "", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Read r = readBytes(c.bytes);
    EXPECT_EQ(r.result, ReadResult::kRead);
    ASSERT_EQ(r.records.size(), c.bookings.size());
    for (size_t i = 0; i < c.bookings.size(); ++i) {
      const BookingRecord& got = r.records[i];
      const Expected& want = c.bookings[i];
      EXPECT_EQ(got.schema, want.schema);
      EXPECT_EQ(got.personnelNumber, want.personnelNumber);
      EXPECT_EQ(got.date, want.date);
      EXPECT_EQ(got.time, want.time);
      EXPECT_EQ(got.functionType, want.functionType);
      EXPECT_EQ(got.functionCode, want.functionCode);
      EXPECT_EQ(got.costCentre, want.costCentre);
      EXPECT_EQ(got.sequenceNumber, static_cast<int32_t>(i + 1));
    }
  }
}

TEST(ReadBookingTable, EchoesEveryBookingByteForByte) {
  Read r = readBytes(kFixed + "Kst \xFC\r\n" + line("X", "2", "1", "", "", "", "") + "\n");
  EXPECT_EQ(r.output,
            "ABC                 , 00000001, 05.03.2009, 07:30, KO   , A01, Kst \xFC eingelesen.\n"
            "X                   , 2       , 1         ,      ,      ,    ,  eingelesen.\n");
}

TEST(ReadBookingTable, MissingFileIsNotOpenedAndPrintsNothing) {
  testing::TempDir dir;
  testing::CapturedOutput out;
  BookingTable table;
  EXPECT_EQ(readBookingTable((dir.path() + "/fehlt.txt").c_str(), table, out.file()),
            ReadResult::kCannotOpen);
  EXPECT_EQ(readBookingTable(dir.path().c_str(), table, out.file()), ReadResult::kCannotOpen);
  EXPECT_TRUE(table.empty());
  EXPECT_EQ(out.text(), "");
}

TEST(ReadRestOfLine, StopsAtLineEndOrAfter500) {
  testing::TempDir dir;
  TextInput in;
  ASSERT_TRUE(in.open(dir.write("f", std::string(500, 'a') + "\n" + std::string(500, 'b') + "Cd\n").c_str()));
  char buf[kRestOfLineMax + 1];
  EXPECT_EQ(readRestOfLine(in, buf), 500u);
  EXPECT_EQ(std::string(buf), std::string(500, 'a'));
  EXPECT_EQ(readRestOfLine(in, buf), 500u);  // 'C' is consumed and lost
  EXPECT_EQ(std::string(buf), std::string(500, 'b'));
  EXPECT_EQ(readRestOfLine(in, buf), 1u);
  EXPECT_STREQ(buf, "d");
  EXPECT_EQ(readRestOfLine(in, buf), 0u);
}

// Schemas, personnel numbers, dates and times of bookings in file order, and
// the file positions (from 1) in the order the sort must give.
struct OrderCase {
  const char* name;
  std::vector<std::vector<std::string>> bookings;  // schema, pnr, date, time
  std::vector<int32_t> sorted;
};

TEST(SortBookingTable, OrdersBySchemaPersonDateTimeThenFileOrder) {
  const OrderCase cases[] = {
      {"dates compare as year, month, day; equal keys keep file order",
       {{"A", "1", "12.01.2009", "07:30"}, {"A", "1", "31.12.2008", "07:30"},
        {"A", "1", "12.01.2009", "07:30"}},
       {2, 1, 3}},
      {"day and month do not outrank the year",
       {{"A", "1", "01.01.2010", "00:00"}, {"A", "1", "31.12.2009", "23:59"},
        {"A", "1", "15.06.2009", "12:00"}},
       {3, 2, 1}},
      {"schema before personnel number before date before time",
       {{"B", "1", "01.01.2000", "00:00"}, {"A", "2", "01.01.2000", "00:00"},
        {"A", "1", "02.01.2000", "00:00"}, {"A", "1", "01.01.2000", "08:00"},
        {"A", "1", "01.01.2000", "07:00"}},
       {5, 4, 3, 2, 1}},
      {"lower-case dbo sorts after DBO and after other capitals",
       {{"dbo", "1", "01.01.2000", "00:00"}, {"DBO", "1", "01.01.2000", "00:00"},
        {"EFG", "1", "01.01.2000", "00:00"}},
       {2, 3, 1}},
      {"bytes compare unsigned",
       {{"\xFC", "1", "01.01.2000", "00:00"}, {"Z", "1", "01.01.2000", "00:00"}},
       {2, 1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string file;
    for (const auto& b : c.bookings) file += line(b[0], b[1], b[2], b[3], "KO", "A01", "") + "\n";
    testing::TempDir dir;
    testing::CapturedOutput out;
    BookingTable table;
    ASSERT_EQ(readBookingTable(dir.write("f", file).c_str(), table, out.file()), ReadResult::kRead);
    sortBookingTable(table, out.file());
    std::vector<int32_t> order;
    for (const BookingRecord& r : table) order.push_back(r.sequenceNumber);
    EXPECT_EQ(order, c.sorted);
    EXPECT_TRUE(out.text().ends_with("eingelesen.\ndorVek-Tabelle sortiert.\n"));
  }
}

TEST(CompareBookings, IsAntisymmetricAndIgnoresTheOtherFields) {
  BookingRecord a{}, b{};
  std::strcpy(a.schema, "A");
  std::strcpy(b.schema, "A");
  std::strcpy(a.costCentre, "zzz");
  std::strcpy(b.functionType, "KO");
  a.sequenceNumber = 1;
  b.sequenceNumber = 2;
  EXPECT_EQ(compareBookings(a, b), -1);
  EXPECT_EQ(compareBookings(b, a), 1);
  EXPECT_EQ(compareBookings(a, a), 0);
  // A short date compares only up to the first missing character of its key.
  std::strcpy(a.date, "05.03.");
  std::strcpy(b.date, "04.02.");
  EXPECT_EQ(compareBookings(a, b), -1);  // both keys are empty, so the sequence decides
}

// The sort takes a fast path for the usual table (digits, few schemas) and
// a general one otherwise; both must give exactly the order of
// compareBookings.
TEST(SortBookingTable, EveryPathGivesTheOrderOfCompareBookings) {
  struct Shape {
    const char* name;
    int schemas;
    bool oddField;  // one booking with a blank in its personnel number
    bool shortDates;
  };
  const Shape shapes[] = {
      {"digits and few schemas", 3, false, false},
      {"one odd personnel number", 3, true, false},
      {"more schemas than the fast path ranks", 70, false, false},
      {"dates cut short", 2, false, true},
  };
  std::mt19937 rng(7);
  for (const Shape& shape : shapes) {
    SCOPED_TRACE(shape.name);
    std::string file;
    for (int i = 0; i < 3000; ++i) {
      char pnr[16], date[16], time[8];
      std::snprintf(pnr, sizeof pnr, "%08u", static_cast<unsigned>(rng() % 40));
      std::snprintf(date, sizeof date, "%02u.%02u.%04u", static_cast<unsigned>(1 + rng() % 28),
                    static_cast<unsigned>(1 + rng() % 12), static_cast<unsigned>(2008 + rng() % 3));
      std::snprintf(time, sizeof time, "%02u:%02u", static_cast<unsigned>(rng() % 24),
                    static_cast<unsigned>(rng() % 4 * 15));
      std::string d = date;
      if (shape.shortDates && rng() % 4 == 0) d[rng() % 10] = '\0';  // the date's text ends there
      std::string p = pnr;
      if (shape.oddField && i == 1500) p = "  12 4  ";
      std::string schema = "S";
      schema += std::to_string(rng() % shape.schemas);
      file += line(schema, p, d, time, "KO", "A01", "") + "\n";
    }
    testing::TempDir dir;
    testing::CapturedOutput out;
    BookingTable table;
    ASSERT_EQ(readBookingTable(dir.write("f", file).c_str(), table, out.file()), ReadResult::kRead);
    std::vector<BookingRecord> expected;
    for (const BookingRecord& r : table) expected.push_back(r);
    std::sort(expected.begin(), expected.end(),
              [](const BookingRecord& a, const BookingRecord& b) { return compareBookings(a, b) < 0; });
    sortBookingTable(table, out.file());
    ASSERT_EQ(table.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
      ASSERT_EQ(table[i].sequenceNumber, expected[i].sequenceNumber) << "position " << i;
    }
  }
}

TEST(SortBookingTable, EmptyTableStillReportsSorted) {
  BookingTable table;
  testing::CapturedOutput out;
  sortBookingTable(table, out.file());
  EXPECT_EQ(out.text(), "dorVek-Tabelle sortiert.\n");
}

}  // namespace
}  // namespace dorvek

namespace dorvek {
namespace {

// Running out of memory while the table grows must end the reading with a
// result, not a crash. The address space of a child process is limited so
// that a large file cannot fit. (The sanitizers reserve address space of
// their own, so this runs only in the plain build.)
#if !defined(__SANITIZE_ADDRESS__)
TEST(ReadBookingTable, RunningOutOfMemoryIsAResult) {
  testing::TempDir dir;
  std::string oneLine = line("ABC", "00000001", "05.03.2009", "07:30", "KO", "A01", "x") + "\n";
  std::string file;
  file.reserve(oneLine.size() * 700000);
  for (int i = 0; i < 700000; ++i) file += oneLine;  // 67 MB of records
  const std::string path = dir.write("gross.txt", file);
  file.clear();
  file.shrink_to_fit();

  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    rlimit limit{};
    getrlimit(RLIMIT_AS, &limit);
    // Room for the program as it is plus 24 MB: far less than the table.
    long pages = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
      if (std::fscanf(f, "%ld", &pages) != 1) pages = 0;
      std::fclose(f);
    }
    limit.rlim_cur = static_cast<rlim_t>(pages) * 4096 + (24 << 20);
    setrlimit(RLIMIT_AS, &limit);
    FILE* devNull = std::fopen("/dev/null", "w");
    BookingTable table;
    ReadResult r = readBookingTable(path.c_str(), table, devNull);
    _exit(r == ReadResult::kOutOfMemory && table.size() > 0 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "the child crashed";
  EXPECT_EQ(WEXITSTATUS(status), 0);
}
#endif

}  // namespace
}  // namespace dorvek
