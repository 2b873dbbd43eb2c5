// The configuration lookup over files of line pairs.
#include "config/config_file.h"

#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <vector>

#include "config/value_cipher.h"
#include "support/temp_file.h"

namespace dorvek {
namespace {

std::string enc(const std::string& plain) {
  std::string text;
  encryptValue(plain, kConfigKey, text);
  return text;
}

std::string pair(const std::string& header, const std::string& entry) {
  return header + "\n" + entry + "\n";
}

// The four settings of a run, one pair each.
std::string exampleFile() {
  return pair(";DB;", "1;NET8;" + enc("db.intern")) + pair(";DB;", "2;SCHEMA;" + enc("zeit;")) +
         pair(";DB;", "3;LOGIN;" + enc("dorvek")) + pair(";DB;", "4;PASS;" + enc("ge heim"));
}

struct Request {
  std::string section;
  std::string key;
  int32_t number = 0;
};

struct Expected {
  std::string value;
  int32_t number = 0;
  std::optional<std::string> key = std::nullopt;
  std::optional<std::string> section = std::nullopt;
};

struct Case {
  std::string name;
  std::string file;
  Request request;
  Expected expected;
};

std::vector<Case> lookupCases() {
  const std::string ex = exampleFile();
  const std::string host = "1;NET8;" + enc("db.intern");
  const std::string crlf = "2;SCHEMA;" + enc("zeit;");
  std::string exCrLf;
  for (char c : ex) exCrLf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  const std::string longHeader = ";DB;" + std::string(195, 'x');  // 199 characters
  const std::string longKey(300, 'k');
  const std::string block384 = enc(std::string(192, 'v'));  // 24 blocks
  return {
      {"run order, first pair", ex, {"", "NET8"}, {"db.intern", 1, "NET8", "DB"}},
      {"second pair", ex, {"", "SCHEMA"}, {"zeit;", 2, "SCHEMA", "DB"}},
      {"last pair", ex, {"", "PASS"}, {"ge heim", 4}},
      {"no pair holds the key", ex, {"", "HOST"}, {"", 0, "", ""}},
      {"key compared exactly",
       pair(";DB;", "1;net8;" + enc("a")) + pair(";DB;", "2;NET8 ;" + enc("b")),
       {"", "NET8"},
       {""}},
      {"taken by section", ex, {"DB", "nothing", 7}, {"db.intern", 1}},
      {"taken by number", ex, {"x", "nothing", 3}, {"dorvek", 3, "LOGIN"}},
      {"CR LF line ends", exCrLf, {"", "SCHEMA"}, {"zeit;", 2, "SCHEMA", "DB"}},
      {"CR inside a line stays", pair(";D\rB;", host), {"D\rB", "x", 9}, {"db.intern", 1}},
      {"last entry line without LF",
       pair(";DB;", host) + ";DB;\n2;PASS;" + enc("pw"),
       {"", "PASS"},
       {"pw", 2}},
      {"empty file", "", {"", "NET8"}, {""}},
      {"a single line", host + "\n", {"", "NET8"}, {""}},
      {"odd line count: the last line is no pair",
       pair(";DB;", host) + "0;PASS;" + enc("pw") + "\n",
       {"", "PASS"},
       {""}},
      {"blank header line takes every lookup",
       pair(";DB;", host) + pair("", crlf) + ex,
       {"", "PASS"},
       {"zeit;", 2, "SCHEMA", ""}},
      {"header with one ';' takes every lookup",
       pair(";DB", crlf) + ex,
       {"", "NET8"},
       {"zeit;", 2, "SCHEMA", ""}},
      {"header ';;': section is the rest of the line",
       pair(";;DB;", "1;NET8;" + enc("a")),
       {"", "NET8"},
       {"a", 1, "NET8", ";DB;\n"}},
      {"header ';;' is not taken by section",
       pair(";;", "1;NET8;" + enc("a")) + ex,
       {"", "LOGIN"},
       {"dorvek", 3}},
      {"number 0", pair(";DB;", "0;LOGIN;" + enc("zero")) + ex, {"", "PASS"}, {"zero", 0}},
      {"number -0", pair(";DB;", "-0;LOGIN;" + enc("zero")) + ex, {"", "PASS"}, {"zero", 0}},
      {"number abc", pair(";DB;", "abc;LOGIN;" + enc("zero")) + ex, {"", "PASS"}, {"zero", 0}},
      {"entry line begins with ';'",
       pair(";DB;", ";LOGIN;" + enc("zero")) + ex,
       {"", "PASS"},
       {"zero", 0, "LOGIN"}},
      {"number 12x", pair(";DB;", "12x;A;" + enc("n")), {"-", "-", 12}, {"n", 12}},
      {"number with leading blanks",
       pair(";DB;", " \t 12;A;" + enc("n")),
       {"-", "-", 12},
       {"n", 12}},
      {"number +12", pair(";DB;", "+12;A;" + enc("n")), {"-", "-", 12}, {"n", 12}},
      {"number text longer than 11",
       pair(";DB;", "00000000000012;A;" + enc("n")),
       {"-", "-", 12},
       {"n", 12}},
      {"number clamped high",
       pair(";DB;", "99999999999;A;" + enc("n")),
       {"-", "-", INT32_MAX},
       {"n", INT32_MAX}},
      {"number clamped low",
       pair(";DB;", "-99999999999;A;" + enc("n")),
       {"-", "-", INT32_MIN},
       {"n", INT32_MIN}},
      {"adjacent ';' in the entry: never taken by key",
       pair(";DB;", "1;;NET8;" + enc("a")) + ex,
       {"", "NET8"},
       {"db.intern", 1}},
      {"adjacent ';': key is the rest with its LF",
       pair(";S;", "1;;NET8"),
       {"S", "-", 5},
       {"", 1, ";NET8\n"}},
      {"exactly one ';': number and value, empty key",
       pair(";S;", "7;" + enc("one")),
       {"S", "-", -1},
       {"one", 7, ""}},
      {"no ';': whole line is the value",
       pair(";S;", enc("whole")),
       {"S", "-", -1},
       {"whole", 0, ""}},
      {"no ';': never taken by number",
       pair(";DB;", enc("whole")) + ex,
       {"", "LOGIN"},
       {"dorvek", 3}},
      {"value keeps its ';'",
       pair(";DB;", "1;NET8;" + enc("12345678") + ";;"),
       {"", "NET8"},
       {"12345678", 1}},
      {"empty value field", pair(";DB;", "1;NET8;"), {"", "NET8"}, {"", 1, "NET8"}},
      {"header of 198 characters",
       pair(";DB;" + std::string(194, 'x'), host),
       {"", "NET8"},
       {"db.intern", 1, "NET8", "DB"}},
      // The LF of the long header is its entry line; then the old entry line
      // is a header (section NET8) and ";DB;" its entry (number 0).
      {"header of 199 characters shifts the pairs",
       pair(longHeader, host) + ex,
       {"", "NET8"},
       {"", 0, "DB", "NET8"}},
      {"entry of 398 characters",
       pair(";DB;", "1;NET8;" + block384 + "ABCDEFA") + ex,
       {"", "NET8"},
       {std::string(192, 'v'), 1}},
      // The LF left over is a blank header line, taken by section.
      {"entry of 399 characters shifts the pairs",
       pair(";DB;", "1;NET8;" + block384 + "ABCDEFAB") + ex,
       {"", "SCHEMA"},
       {"", 0, "DB", ""}},
      {"key longer than 200 kept whole",
       pair(";DB;", "1;" + longKey + ";" + enc("k")),
       {"", longKey},
       {"k", 1, longKey}},
      {"0x1A ends the file", pair(";DB;", host) + "\x1A" + ex, {"", "SCHEMA"}, {""}},
      {"zero byte ends a line's text",
       pair(";DB;", host + std::string("\0tail", 5)),
       {"", "NET8"},
       {"db.intern", 1}},
  };
}

TEST(ConfigLookup, FilesOfLinePairs) {
  testing::TempDir dir;
  for (const Case& c : lookupCases()) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.write("config.ini", c.file);
    const ConfigEntry e =
        lookupConfigValue(c.request.section, c.request.key, c.request.number, path.c_str());
    EXPECT_EQ(e.value, c.expected.value);
    EXPECT_EQ(e.number, c.expected.number);
    if (c.expected.key) {
      EXPECT_EQ(e.key, *c.expected.key);
    }
    if (c.expected.section) {
      EXPECT_EQ(e.section, *c.expected.section);
    }
  }
}

TEST(ConfigLookup, EveryLookupReadsFromTheTop) {
  testing::TempDir dir;
  const std::string path = dir.write("config.ini", exampleFile());
  const std::pair<const char*, const char*> order[] = {{"PASS", "ge heim"},   {"NET8", "db.intern"},
                                                       {"LOGIN", "dorvek"},   {"SCHEMA", "zeit;"},
                                                       {"NET8", "db.intern"}, {"PASS", "ge heim"}};
  for (const auto& [key, value] : order) {
    EXPECT_EQ(lookupConfigValue("", key, 0, path.c_str()).value, value) << key;
  }
}

TEST(ConfigLookup, MissingFileOrDirectoryYieldsNothing) {
  testing::TempDir dir;
  for (const std::string& path : {dir.path() + "/missing.ini", dir.path()}) {
    const ConfigEntry e = lookupConfigValue("", "NET8", 0, path.c_str());
    EXPECT_EQ(e.number, 0);
    EXPECT_EQ(e.section, "");
    EXPECT_EQ(e.key, "");
    EXPECT_EQ(e.value, "");
  }
}

}  // namespace
}  // namespace dorvek
