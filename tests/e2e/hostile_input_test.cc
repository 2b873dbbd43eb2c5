// Hostile input, end to end: booking files, configuration files and
// terminal names an operator would never write on purpose. Each run ends
// with its status and never with a crash or a sanitizer report; whatever
// is echoed "geschrieben" is stored exactly as read, nothing else is
// stored, and no text from the input changes a statement.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "db/sandbox.h"
#include "support/process.h"
#include "support/temp_file.h"

namespace dorvek {
namespace {

using testing::AdminSession;
using testing::TempDir;
using testing::TestSchema;

enum class ConfigKind { kGood, kGarbage, kOverlongLines, kOnlyHost };

struct HostileCase {
  const char* name = "";
  std::string bookings = {};  // "{S}" stands for the schema as a booking carries it
  bool bookingFileIsDirectory = false;
  ConfigKind config = ConfigKind::kGood;
  std::vector<std::string> args = {};  // beyond the three paths: the terminal name
  int status = 0;
  // Expected stored rows "BchPnr|BchFkt|BchFcd|BchTrm|BchKst" in key order;
  // unset: only that stored rows match the "geschrieben" echoes in number.
  std::vector<std::string> rows = {};
  bool checkRows = false;
};

std::string fixed(const std::string& pnr, const std::string& type, const std::string& code) {
  return std::string("{S}") + pnr + "05.03.200907:30" + type + code;
}

std::string randomBytes(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(rng());
  return s;
}

std::string highBytes() {
  std::string s;
  for (int c = 0x80; c <= 0xFF; ++c) s.push_back(static_cast<char>(c));
  return s;
}

const std::string kInjection = "x'); DROP TABLE Kvn321Bch; --";

std::vector<HostileCase> cases() {
  const std::string high = highBytes();
  return {
      {.name = "quotes backslashes and printf conversions in every field",
       .bookings = fixed("1'2\\%s%n", "%n'\\ ", "'\\%") + "%s%n%x%p'\"\\\\\n" +
                   fixed("00000002", "KO   ", "A01") + kInjection + "\n",
       .args = {"T'%n\\%s"},
       .rows = {"00000002|KO   |A01|T'%n\\%s|" + kInjection, "1'2\\%s%n|%n'\\ |'\\%|T'%n\\%s|%s%n%x%p'\"\\\\"},
       .checkRows = true},
      {.name = "a zero byte ends its field and 0x1A ends the file",
       .bookings = fixed("00000001", "KO   ", "A01") + std::string("ab\0cd\n", 6) +
                   fixed("00000002", "KO   ", "A01") + "vor\x1A" + fixed("00000003", "KO   ", "A01") + "\n",
       .rows = {"00000001|KO   |A01||ab", "00000002|KO   |A01||vor"},
       .checkRows = true},
      {.name = "bytes 0x80 to 0xFF are stored as they are",
       .bookings = fixed("00000001", "KO   ", "A01") + high.substr(0, 34) + "\n" +
                   fixed("00000002", "KO   ", "A01") + high.substr(34, 34) + "\n" +
                   fixed("00000003", "KO   ", "A01") + high.substr(68, 34) + "\n" +
                   fixed("00000004", "KO   ", "A01") + high.substr(102) + "\n",
       .rows = {"00000001|KO   |A01||" + high.substr(0, 34), "00000002|KO   |A01||" + high.substr(34, 34),
                "00000003|KO   |A01||" + high.substr(68, 34), "00000004|KO   |A01||" + high.substr(102)},
       .checkRows = true},
      {.name = "a line of 10000 characters becomes bookings the server refuses",
       .bookings = fixed("00000001", "KO   ", "A01") + std::string(10000, 'x') + "\n",
       .status = 255},
      {.name = "a megabyte of binary garbage", .bookings = randomBytes(1 << 20, 1), .status = 255},
      {.name = "an empty file", .bookings = "", .rows = {}, .checkRows = true},
      {.name = "a directory as the booking file", .bookingFileIsDirectory = true, .rows = {}, .checkRows = true},
      {.name = "a configuration file of garbage",
       .bookings = fixed("00000001", "KO   ", "A01") + "\n",
       .config = ConfigKind::kGarbage,
       .status = 255,
       .rows = {},
       .checkRows = true},
      {.name = "a configuration file of overlong lines",
       .bookings = fixed("00000001", "KO   ", "A01") + "\n",
       .config = ConfigKind::kOverlongLines,
       .status = 255,
       .rows = {},
       .checkRows = true},
      {.name = "a configuration file without the database name",
       .bookings = fixed("00000001", "KO   ", "A01") + "\n",
       .config = ConfigKind::kOnlyHost,
       .status = 255,
       .rows = {},
       .checkRows = true},
      {.name = "an over-long terminal name is cut to 255 characters",
       .bookings = fixed("00000001", "KO   ", "A01") + "K\n",
       .args = {std::string(300, 'T')},
       .rows = {std::string("00000001|KO   |A01|") + std::string(255, 'T') + "|K"},
       .checkRows = true},
  };
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

size_t countLines(const std::string& text, const std::string& ending) {
  size_t n = 0;
  for (size_t at = 0; (at = text.find(ending, at)) != std::string::npos; at += ending.size()) ++n;
  return n;
}

TEST(HostileInput, EndsWithItsStatusAndStoresOnlyWhatItEchoed) {
  ASSERT_EQ(testing::sandboxMissing(), "");
  AdminSession admin;
  ASSERT_TRUE(admin.ok()) << admin.error();
  for (const HostileCase& c : cases()) {
    SCOPED_TRACE(c.name);
    TestSchema schema(admin);
    TempDir dir;
    const std::string config = dir.path() + "/dorvek.ini";
    if (c.config == ConfigKind::kGood) {
      testing::ProcessResult w = testing::runProcess(
          DORVEK_CONFIG_TOOL,
          {"write", config, "--host", "localhost", "--database", schema.name(), "--user", "root"}, "\n");
      ASSERT_EQ(w.status, 0) << w.err;
    } else {
      testing::ProcessResult w = testing::runProcess(
          DORVEK_CONFIG_TOOL,
          {"write", dir.path() + "/good.ini", "--host", "localhost", "--database", schema.name(),
           "--user", "root"},
          "\n");
      ASSERT_EQ(w.status, 0) << w.err;
      const std::string full = TempDir::read(dir.path() + "/good.ini");
      std::string bytes;
      if (c.config == ConfigKind::kGarbage) bytes = randomBytes(4096, 2);
      if (c.config == ConfigKind::kOverlongLines) {
        for (int i = 0; i < 8; ++i) bytes += std::string(10000, static_cast<char>('A' + i)) + ";;\n";
      }
      if (c.config == ConfigKind::kOnlyHost) {
        bytes = full.substr(0, full.find(";DB;\n2;"));  // the NET8 pair alone
      }
      dir.write("dorvek.ini", bytes);
    }
    std::string bookingPath = dir.path() + "/buchungen";
    if (c.bookingFileIsDirectory) {
      bookingPath = dir.path();
    } else {
      std::string padded = schema.name();
      padded.resize(20, ' ');
      dir.write("buchungen", replaceAll(c.bookings, "{S}", padded));
    }
    std::vector<std::string> args = {config, bookingPath, dir.path() + "/rzl.txt"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const testing::ProcessResult r = testing::runProcess(DORVEK_PROGRAM, args);

    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_EQ(r.err.find("Sanitizer"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("runtime error"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.empty(), c.status == 0) << r.err;
    if (c.status == 0) {
      EXPECT_TRUE(r.out.ends_with("dorVek: Fertig.\n"));
    }
    // The tables are still there and hold exactly the echoed bookings.
    const std::string stored =
        admin.value("SELECT COUNT(*) FROM " + schema.quoted() + ".Kvn321Bch");
    EXPECT_EQ(stored, std::to_string(countLines(r.out, " geschrieben.\n")));
    if (c.checkRows) {
      std::vector<std::string> rows;
      for (const testing::Row& row :
           admin.rows("SELECT BchPnr, BchFkt, BchFcd, BchTrm, BchKst FROM " + schema.quoted() +
                      ".Kvn321Bch ORDER BY BchPnr")) {
        std::string joined;
        for (size_t i = 0; i < row.size(); ++i) {
          joined += i ? "|" : "";
          joined += row[i].value_or("NULL");
        }
        rows.push_back(joined);
      }
      EXPECT_EQ(rows, c.rows);
    }
  }
}

}  // namespace
}  // namespace dorvek
