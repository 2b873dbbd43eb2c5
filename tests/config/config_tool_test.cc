// dorVek-config, run as an operator runs it; its files read by the lookup.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "config/config_file.h"
#include "config/value_cipher.h"
#include "support/process.h"
#include "support/temp_file.h"

namespace dorvek {
namespace {

using testing::ProcessResult;
using testing::runProcess;

ProcessResult tool(const std::vector<std::string>& args, const std::string& input = "") {
  return runProcess(DORVEK_CONFIG_TOOL, args, input);
}

std::string printable() {
  std::string s;
  for (int c = 0x20; c < 0x7F; ++c) s += static_cast<char>(c);
  return s;
}

struct Settings {
  std::string host, database, user, password;
};

ProcessResult writeConfig(const std::string& path, const Settings& s, const std::string& stdinText,
                          std::vector<std::string> extra = {}) {
  std::vector<std::string> args = {"write",  path,  "--host", s.host, "--database=" + s.database,
                                   "--user", s.user};
  args.insert(args.end(), extra.begin(), extra.end());
  return tool(args, stdinText);
}

mode_t modeOf(const std::string& path) {
  struct stat st {};
  stat(path.c_str(), &st);
  return st.st_mode & 07777;
}

TEST(ConfigTool, WrittenFileGivesTheRunItsFourSettings) {
  const Settings cases[] = {
      {"db.intern", "zeit", "dorvek", "geheim"},
      {" lead", "with blank ", "a user", "pass word "},
      {"a;b", ";", ";;x;", ";"},
      {printable(), printable(), printable(), printable()},
      {"", "d", "", ""},
      {std::string(192, 'h'), std::string(191, 'd'), std::string(192, 'u'), std::string(192, 'p')},
      {"h", "\xE4nderung", "\xFC", "\xC3\xA4\xC3\xB6"},
  };
  testing::TempDir dir;
  int n = 0;
  for (const Settings& s : cases) {
    SCOPED_TRACE(s.host);
    const std::string path = dir.path() + "/config" + std::to_string(++n) + ".ini";
    const ProcessResult r = writeConfig(path, s, s.password + "\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(modeOf(path), 0600u);
    EXPECT_EQ(lookupConfigValue("", "NET8", 0, path.c_str()).value, s.host);
    // The run drops the last character of SCHEMA.
    EXPECT_EQ(lookupConfigValue("", "SCHEMA", 0, path.c_str()).value, s.database + ";");
    EXPECT_EQ(lookupConfigValue("", "LOGIN", 0, path.c_str()).value, s.user);
    EXPECT_EQ(lookupConfigValue("", "PASS", 0, path.c_str()).value, s.password);
  }
}

TEST(ConfigTool, PasswordIsOneLineWithoutItsLineEnd) {
  const std::pair<std::string, std::string> cases[] = {
      {"pw\n", "pw"}, {"pw\r\n", "pw"}, {"pw", "pw"}, {"\n", ""}, {"", ""}, {" pw \n", " pw "}};
  testing::TempDir dir;
  for (const auto& [input, password] : cases) {
    SCOPED_TRACE(input);
    const std::string path = dir.path() + "/c.ini";
    const ProcessResult r = writeConfig(path, {"h", "d", "u", ""}, input, {"--force"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(lookupConfigValue("", "PASS", 0, path.c_str()).value, password);
  }
}

TEST(ConfigTool, ForceReplacesAndRestrictsTheFile) {
  testing::TempDir dir;
  const std::string path = dir.write("c.ini", "old");
  chmod(path.c_str(), 0644);
  const ProcessResult r = writeConfig(path, {"h", "neu", "u", ""}, "pw\n", {"--force"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(modeOf(path), 0600u);
  EXPECT_EQ(lookupConfigValue("", "SCHEMA", 0, path.c_str()).value, "neu;");
}

TEST(ConfigTool, ShowPrintsWhatTheRunReads) {
  testing::TempDir dir;
  const std::string path = dir.path() + "/c.ini";
  ASSERT_EQ(writeConfig(path, {"db host", "zeit", "dorvek", ""}, "ge;heim\n").status, 0);
  const std::string common =
      "Host (NET8):        \"db host\"\n"
      "Datenbank (SCHEMA): \"zeit\"\n"
      "Benutzer (LOGIN):   \"dorvek\"\n";
  ProcessResult r = tool({"show", path});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, common + "Passwort (PASS):    ********\n");
  EXPECT_EQ(r.err, "");
  r = tool({"show", "--show-password", path});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, common + "Passwort (PASS):    \"ge;heim\"\n");
}

TEST(ConfigTool, ShowFailsWhenTheRunWouldLackItsDatabase) {
  testing::TempDir dir;
  const std::string path = dir.write("c.ini", ";DB;\n1;NET8;\n");
  const ProcessResult r = tool({"show", path});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("Datenbank (SCHEMA): \"\"\n"), std::string::npos);
  EXPECT_EQ(r.err.rfind("dorVek-config: ", 0), 0u);
}

TEST(ConfigTool, EncryptAndDecryptSingleValues) {
  const std::string values[] = {"", "abc", "exactly8", "a value ; with blanks", printable()};
  for (const std::string& value : values) {
    SCOPED_TRACE(value);
    std::string expected;
    ASSERT_TRUE(encryptValue(value, kConfigKey, expected));
    const ProcessResult enc = tool({"encrypt"}, value + "\n");
    EXPECT_EQ(enc.status, 0);
    EXPECT_EQ(enc.out, expected + "\n");
    const ProcessResult dec = tool({"decrypt", expected});
    EXPECT_EQ(dec.status, 0);
    EXPECT_EQ(dec.out, value + "\n");
  }
}

TEST(ConfigTool, HelpExplainsOnStandardOutput) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--help"}, {"-h"}, {"write", "--help"}}) {
    const ProcessResult r = tool(args);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("dorVek-config write DATEI"), std::string::npos);
    EXPECT_EQ(r.err, "");
  }
}

TEST(ConfigTool, MisuseGivesOneLineAndAStatus) {
  testing::TempDir dir;
  const std::string existing = dir.write("existing.ini", "keep");
  const std::string fresh = dir.path() + "/fresh.ini";
  const std::string tooLong(193, 'x');
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string input;
    int status;
  };
  const std::vector<std::string> w = {"write",      fresh, "--host", "h",
                                      "--database", "d",   "--user", "u"};
  auto writeWith = [&w](std::vector<std::string> more) {
    std::vector<std::string> args = w;
    args.insert(args.end(), more.begin(), more.end());
    return args;
  };
  const Case cases[] = {
      {"no command", {}, "", 2},
      {"unknown command", {"make"}, "", 2},
      {"unknown option", writeWith({"--port", "3306"}), "pw\n", 2},
      {"option repeated", writeWith({"--host", "x"}), "pw\n", 2},
      {"option without its value",
       {"write", fresh, "--database", "d", "--user", "u", "--host"},
       "",
       2},
      {"flag with a value", writeWith({"--force=yes"}), "pw\n", 2},
      {"missing --user", {"write", fresh, "--host", "h", "--database", "d"}, "pw\n", 2},
      {"missing file argument", {"write", "--host", "h", "--database", "d", "--user", "u"}, "", 2},
      {"empty database",
       {"write", fresh, "--host", "h", "--database", "", "--user", "u"},
       "pw\n",
       2},
      {"existing file",
       {"write", existing, "--host", "h", "--database", "d", "--user", "u"},
       "pw\n",
       1},
      {"password with a zero byte", w, std::string("p\0w\n", 4), 1},
      {"password of two lines", w, "pw\nmore\n", 1},
      {"password with a CR", w, "p\rw\n", 1},
      {"host with a line end",
       {"write", fresh, "--host", "h\nx", "--database", "d", "--user", "u"},
       "pw\n",
       1},
      {"host too long",
       {"write", fresh, "--host", tooLong, "--database", "d", "--user", "u"},
       "",
       1},
      {"database too long",
       {"write", fresh, "--host", "h", "--database", std::string(192, 'd'), "--user", "u"},
       "",
       1},
      {"password too long", w, tooLong + "\n", 1},
      {"show missing file", {"show", dir.path() + "/missing.ini"}, "", 1},
      {"show a directory", {"show", dir.path()}, "", 1},
      {"show without file", {"show"}, "", 2},
      {"show unknown option", {"show", existing, "--all"}, "", 2},
      {"decrypt lower-case hex", {"decrypt", "a39f37f00a254ed8"}, "", 1},
      {"decrypt partial block", {"decrypt", "A39F37F00A254ED"}, "", 1},
      {"decrypt without text", {"decrypt"}, "", 2},
      {"encrypt with an argument", {"encrypt", "geheim"}, "", 2},
      {"encrypt a zero byte", {"encrypt"}, std::string("a\0b", 3), 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ProcessResult r = tool(c.args, c.input);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("dorVek-config: ", 0), 0u) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    EXPECT_NE(access(fresh.c_str(), F_OK), 0) << "a file was left behind";
    EXPECT_EQ(testing::TempDir::read(existing), "keep");
  }
}

}  // namespace
}  // namespace dorvek
