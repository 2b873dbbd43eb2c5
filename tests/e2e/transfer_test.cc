// The built program against the sandbox server: one table of runs, each in
// schemas of its own, created fresh from sql/schema.sql. In the texts, {X}
// stands for schema X as a booking carries it (20 characters, blanks
// included) and [X] for its name on the server.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "config/value_cipher.h"
#include "db/sandbox.h"
#include "support/process.h"
#include "support/temp_file.h"

namespace dorvek {
namespace {

using testing::AdminSession;
using testing::TempDir;

enum class Config { kGood, kWrongPassword, kOneCharacterSchema, kNoFile };
enum class List { kFile, kFullDevice, kInMissingDirectory };

struct Scenario {
  const char* name = "";
  std::vector<std::string> schemas = {};     // the first one is the connection's database
  std::string setup = {};                    // statements run before the program
  std::optional<std::string> bookings = {};  // none: the booking file is missing
  std::string terminalName = {};             // empty: three arguments
  Config config = Config::kGood;
  List list = List::kFile;
  std::string out = {};
  std::string listAfter = {};  // the list held "alt\n" before the run
  std::map<std::string, std::vector<std::string>> rows = {};  // "pnr|von|uhr|fkt|fcd|trm|kst"
  int status = 0;
  bool errEmpty = true;
};

void PrintTo(const Scenario& c, std::ostream* os) { *os << c.name; }

const std::string kSorted = "dorVek-Tabelle sortiert.\n";
const std::string kDone = "dorVek: Fertig.\n";
const std::string kOldList = "alt\n";
const std::string kPassword = "Geheim-4711";
const std::string kOneBooking = "{A}0000000105.03.200907:30KO   001K1\n";

std::string serverName(const std::string& schema) {
  return schema == "VANTORIUM" ? schema : schema + "_" + std::to_string(getpid());
}

std::string expand(std::string text, const std::vector<std::string>& schemas) {
  for (const std::string& s : schemas) {
    std::string padded = serverName(s);
    padded.resize(20, ' ');
    for (const auto& [from, to] :
         {std::pair{"{" + s + "}", padded}, std::pair{"[" + s + "]", serverName(s)}}) {
      for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
        text.replace(at, from.size(), to);
        at += to.size();
      }
    }
  }
  return text;
}

std::string readFile(const char* path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// Writes the configuration file with dorVek-config, as an operator would.
void writeConfig(const std::string& path, const std::string& database,
                 const std::string& password) {
  const testing::ProcessResult r = testing::runProcess(
      DORVEK_CONFIG_TOOL,
      {"write", path, "--host", "localhost", "--database", database, "--user", "root"},
      password + "\n");
  ASSERT_EQ(r.status, 0) << r.err;
}

// A SCHEMA value of one character, which the tool would never write: the
// pairs written directly, each value enciphered.
void writeConfigWithOneCharacterSchema(const std::string& path) {
  std::ofstream file(path, std::ios::binary);
  int number = 0;
  for (const auto& [key, value] : {std::pair<std::string, std::string>{"NET8", "localhost"},
                                   {"SCHEMA", ";"},
                                   {"LOGIN", "root"},
                                   {"PASS", ""}}) {
    std::string hex;
    ASSERT_TRUE(encryptValue(value, kConfigKey, hex));
    file << ";DB;\n" << ++number << ";" << key << ";" << hex << "\n";
  }
}

const std::vector<Scenario> kScenarios = {
    {.name = "ConnectionFailureLeavesListAndSaysWhy",
     .schemas = {"A"},
     .bookings = kOneBooking,
     .config = Config::kWrongPassword,
     .out = "",
     .listAfter = kOldList,
     .rows = {{"A", {}}},
     .status = 255,
     .errEmpty = false},
    {.name = "OneCharacterSchemaValueStopsBeforeConnecting",
     .schemas = {"A"},
     .bookings = kOneBooking,
     .config = Config::kOneCharacterSchema,
     .listAfter = kOldList,
     .rows = {{"A", {}}},
     .status = 255,
     .errEmpty = false},
    {.name = "MissingConfigurationFileStopsBeforeConnecting",
     .schemas = {"A"},
     .bookings = kOneBooking,
     .config = Config::kNoFile,
     .listAfter = kOldList,
     .rows = {{"A", {}}},
     .status = 255,
     .errEmpty = false},
    {.name = "ListThatCannotBeCreatedStopsBeforeReading",
     .schemas = {"A"},
     .bookings = kOneBooking,
     .list = List::kInMissingDirectory,
     .rows = {{"A", {}}},
     .status = 255,
     .errEmpty = false},
    {.name = "MissingBookingFile", .schemas = {"A"}, .out = kDone, .listAfter = ""},
    {.name = "EmptyBookingFile",
     .schemas = {"A"},
     .bookings = "",
     .out = kSorted + kDone,
     .listAfter = ""},
    {.name = "TwoSchemasSortedWithTerminalAndLatin1CostCentre",
     .schemas = {"A", "B"},
     .bookings = "{B}0000000105.03.200907:30KO   001K1\n"
                 "{A}0000000105.03.200908:00GE   002K\xFC"
                 "che\r\n"
                 "{A}0000000105.03.200907:30KO   001K1",
     .terminalName = "T7",
     .out = "{B}, 00000001, 05.03.2009, 07:30, KO   , 001, K1 eingelesen.\n"
            "{A}, 00000001, 05.03.2009, 08:00, GE   , 002, K\xFC"
            "che eingelesen.\n"
            "{A}, 00000001, 05.03.2009, 07:30, KO   , 001, K1 eingelesen.\n" +
            kSorted +
            "{A}, 00000001, 05.03.2009, 07:30, KO   , 001, K1 geschrieben.\n"
            "{A}, 00000001, 05.03.2009, 08:00, GE   , 002, K\xFC"
            "che geschrieben.\n"
            "{B}, 00000001, 05.03.2009, 07:30, KO   , 001, K1 geschrieben.\n" +
            kDone,
     .listAfter = "{A},00000001,05.03.2009\n{B},00000001,05.03.2009\n",
     .rows = {{"A",
               {"00000001|2009-03-05|2009-03-05 07:30:00|KO   |001|T7|K1",
                "00000001|2009-03-05|2009-03-05 08:00:00|GE   |002|T7|K\xFC"
                "che"}},
              {"B", {"00000001|2009-03-05|2009-03-05 07:30:00|KO   |001|T7|K1"}}}},
    {.name = "DboMappedAfterReadingLowerCaseNot",
     .schemas = {"VANTORIUM", "dbo"},
     .bookings = "{dbo}0000000305.03.200907:30KO   001K1\n"
                 "DBOX                0000000205.03.200907:30KO   001K1\n"
                 "DBO                 0000000105.03.200907:30KO   001K1\n",
     .out = "{dbo}, 00000003, 05.03.2009, 07:30, KO   , 001, K1 eingelesen.\n"
            "DBOX                , 00000002, 05.03.2009, 07:30, KO   , 001, K1 eingelesen.\n"
            "DBO                 , 00000001, 05.03.2009, 07:30, KO   , 001, K1 eingelesen.\n" +
            kSorted +
            "VANTORIUM           , 00000001, 05.03.2009, 07:30, KO   , 001, K1 geschrieben.\n"
            "VANTORIUM           , 00000002, 05.03.2009, 07:30, KO   , 001, K1 geschrieben.\n"
            "{dbo}, 00000003, 05.03.2009, 07:30, KO   , 001, K1 geschrieben.\n" +
            kDone,
     .listAfter = "VANTORIUM           ,00000001,05.03.2009\n"
                  "VANTORIUM           ,00000002,05.03.2009\n"
                  "{dbo},00000003,05.03.2009\n",
     .rows = {{"VANTORIUM",
               {"00000001|2009-03-05|2009-03-05 07:30:00|KO   |001||K1",
                "00000002|2009-03-05|2009-03-05 07:30:00|KO   |001||K1"}},
              {"dbo", {"00000003|2009-03-05|2009-03-05 07:30:00|KO   |001||K1"}}}},
    {.name = "DboThenOtherSchemaThenVantorium",
     .schemas = {"VANTORIUM", "EFG"},
     .bookings = "VANTORIUM           0000000305.03.200907:30KO   001K1\n"
                 "{EFG}0000000205.03.200907:30KO   001K1\n"
                 "DBO                 0000000105.03.200907:30KO   001K1\n",
     .out = "VANTORIUM           , 00000003, 05.03.2009, 07:30, KO   , 001, K1 eingelesen.\n"
            "{EFG}, 00000002, 05.03.2009, 07:30, KO   , 001, K1 eingelesen.\n"
            "DBO                 , 00000001, 05.03.2009, 07:30, KO   , 001, K1 eingelesen.\n" +
            kSorted +
            "VANTORIUM           , 00000001, 05.03.2009, 07:30, KO   , 001, K1 geschrieben.\n"
            "{EFG}, 00000002, 05.03.2009, 07:30, KO   , 001, K1 geschrieben.\n"
            "VANTORIUM           , 00000003, 05.03.2009, 07:30, KO   , 001, K1 geschrieben.\n" +
            kDone,
     .listAfter = "VANTORIUM           ,00000001,05.03.2009\n{EFG},00000002,05.03.2009\n"
                  "VANTORIUM           ,00000003,05.03.2009\n",
     .rows = {{"VANTORIUM",
               {"00000001|2009-03-05|2009-03-05 07:30:00|KO   |001||K1",
                "00000003|2009-03-05|2009-03-05 07:30:00|KO   |001||K1"}},
              {"EFG", {"00000002|2009-03-05|2009-03-05 07:30:00|KO   |001||K1"}}}},
    {.name = "TranslationReportedAlsoWhenCodeStaysTheSame",
     .schemas = {"A"},
     .setup = "INSERT INTO [A].Kvn131FcdUeb VALUES ('001', '001'), ('002', 'X02')",
     .bookings = "{A}0000000105.03.200907:30KO   001K1\n"
                 "{A}0000000105.03.200908:00KO   002K1\n"
                 "{A}0000000105.03.200909:00KO   003K1\n",
     .out = "{A}, 00000001, 05.03.2009, 07:30, KO   , 001, K1 eingelesen.\n"
            "{A}, 00000001, 05.03.2009, 08:00, KO   , 002, K1 eingelesen.\n"
            "{A}, 00000001, 05.03.2009, 09:00, KO   , 003, K1 eingelesen.\n" +
            kSorted +
            "Funktionscode umsetzen:\n"
            " Schema:         {A}\n"
            " Personalnummer: 00000001\n"
            " Datum:          05.03.2009\n"
            " Uhrzeit:        07:30\n"
            " Funktionstyp:   KO   \n"
            " Meldungsart:    001 (alt)  =>  001 (neu)\n"
            " Terminalname:   \n"
            " Kostenstelle:   K1\n\n"
            "{A}, 00000001, 05.03.2009, 07:30, KO   , 001, K1 geschrieben.\n"
            "Funktionscode umsetzen:\n"
            " Schema:         {A}\n"
            " Personalnummer: 00000001\n"
            " Datum:          05.03.2009\n"
            " Uhrzeit:        08:00\n"
            " Funktionstyp:   KO   \n"
            " Meldungsart:    002 (alt)  =>  X02 (neu)\n"
            " Terminalname:   \n"
            " Kostenstelle:   K1\n\n"
            "{A}, 00000001, 05.03.2009, 08:00, KO   , X02, K1 geschrieben.\n"
            "{A}, 00000001, 05.03.2009, 09:00, KO   , 003, K1 geschrieben.\n" +
            kDone,
     .listAfter = "{A},00000001,05.03.2009\n{A},00000001,05.03.2009\n",
     .rows = {{"A",
               {"00000001|2009-03-05|2009-03-05 07:30:00|KO   |001||K1",
                "00000001|2009-03-05|2009-03-05 08:00:00|KO   |X02||K1",
                "00000001|2009-03-05|2009-03-05 09:00:00|KO   |003||K1"}}}},
    {.name = "DuplicatesDroppedWithoutListLineAlsoAtTheEnd",
     .schemas = {"A"},
     .setup = "INSERT INTO [A].Kvn321Bch VALUES "
              "('00000001', '2009-03-05', '2009-03-05 07:30:00', 'KO', '009', NULL, 1, now(),"
              " 'KALVORN', 'alt', 'K0'),"
              "('00000002', '2009-03-05', '2009-03-05 07:30:00', 'KO', '009', NULL, 1, now(),"
              " 'KALVORN', 'alt', 'K0')",
     .bookings = "{A}0000000105.03.200907:00KO   001K1\n"
                 "{A}0000000105.03.200907:30KO   001K1\n"
                 "{A}0000000105.03.200908:00KO   001K1\n"
                 "{A}0000000205.03.200907:30KO   001K1\n",
     .terminalName = "T1",
     .out = "{A}, 00000001, 05.03.2009, 07:00, KO   , 001, K1 eingelesen.\n"
            "{A}, 00000001, 05.03.2009, 07:30, KO   , 001, K1 eingelesen.\n"
            "{A}, 00000001, 05.03.2009, 08:00, KO   , 001, K1 eingelesen.\n"
            "{A}, 00000002, 05.03.2009, 07:30, KO   , 001, K1 eingelesen.\n" +
            kSorted +
            "{A}, 00000001, 05.03.2009, 07:00, KO   , 001, K1 geschrieben.\n"
            "Buchungs-Fehler:\n"
            " Schema:         {A}\n"
            " Personalnummer: 00000001\n"
            " Datum:          05.03.2009\n"
            " Uhrzeit:        07:30\n"
            " Funktionstyp:   KO   \n"
            " Meldungsart:    001\n"
            " Terminalname:   T1\n"
            " Kostenstelle:   K1\n"
            " Fehler: Buchung mit dem Schl\xFC"
            "ssel existiert schon \n"
            "{A}, 00000001, 05.03.2009, 08:00, KO   , 001, K1 geschrieben.\n"
            "Buchungs-Fehler:\n"
            " Schema:         {A}\n"
            " Personalnummer: 00000002\n"
            " Datum:          05.03.2009\n"
            " Uhrzeit:        07:30\n"
            " Funktionstyp:   KO   \n"
            " Meldungsart:    001\n"
            " Terminalname:   T1\n"
            " Kostenstelle:   K1\n"
            " Fehler: Buchung mit dem Schl\xFC"
            "ssel existiert schon \n" +
            kDone,
     .listAfter = "{A},00000001,05.03.2009\n",
     .rows = {{"A",
               {"00000001|2009-03-05|2009-03-05 07:00:00|KO   |001|T1|K1",
                "00000001|2009-03-05|2009-03-05 07:30:00|KO|009|alt|K0",
                "00000001|2009-03-05|2009-03-05 08:00:00|KO   |001|T1|K1",
                "00000002|2009-03-05|2009-03-05 07:30:00|KO|009|alt|K0"}}}},
    {.name = "DuplicateKeyAtInsertReportedThenNextBooking",
     .schemas = {"A"},
     .setup = "INSERT INTO [A].Kvn321Bch VALUES "
              "('00000001', '2009-03-05', '2009-03-05 07:30:00', 'KO', '009', NULL, 1, now(),"
              " 'KALVORN', 'alt', 'K0')",
     // The check compares the date as written, the insert reads only its
     // digits: the server's unique key is what refuses this one.
     .bookings = "{A}0000000105-03-200907:30KO   001K1\n"
                 "{A}0000000205.03.200907:30KO   001K1\n",
     .out = "{A}, 00000001, 05-03-2009, 07:30, KO   , 001, K1 eingelesen.\n"
            "{A}, 00000002, 05.03.2009, 07:30, KO   , 001, K1 eingelesen.\n" +
            kSorted +
            "Buchungs-Fehler:\n"
            " Schema:         {A}\n"
            " Personalnummer: 00000001\n"
            " Datum:          05-03-2009\n"
            " Uhrzeit:        07:30\n"
            " Funktionstyp:   KO   \n"
            " Meldungsart:    001\n"
            " Terminalname:   \n"
            " Kostenstelle:   K1\n"
            " SQL-Fehler: 1062\n\n---\n"
            "{A}, 00000002, 05.03.2009, 07:30, KO   , 001, K1 geschrieben.\n" +
            kDone,
     .listAfter = "{A},00000002,05.03.2009\n",
     .rows = {{"A",
               {"00000001|2009-03-05|2009-03-05 07:30:00|KO|009|alt|K0",
                "00000002|2009-03-05|2009-03-05 07:30:00|KO   |001||K1"}}}},
    {.name = "ThreeOfOneKeyAtTheEndListTheirLineTwice",
     .schemas = {"A"},
     .bookings = "{A}0000000105.03.200907:00KO   001K1\n"
                 "{A}0000000206.03.200907:00KO   001K1\n"
                 "{A}0000000206.03.200912:00GE   001K1\n"
                 "{A}0000000206.03.200916:00GE   001K1\n",
     .out = "{A}, 00000001, 05.03.2009, 07:00, KO   , 001, K1 eingelesen.\n"
            "{A}, 00000002, 06.03.2009, 07:00, KO   , 001, K1 eingelesen.\n"
            "{A}, 00000002, 06.03.2009, 12:00, GE   , 001, K1 eingelesen.\n"
            "{A}, 00000002, 06.03.2009, 16:00, GE   , 001, K1 eingelesen.\n" +
            kSorted +
            "{A}, 00000001, 05.03.2009, 07:00, KO   , 001, K1 geschrieben.\n"
            "{A}, 00000002, 06.03.2009, 07:00, KO   , 001, K1 geschrieben.\n"
            "{A}, 00000002, 06.03.2009, 12:00, GE   , 001, K1 geschrieben.\n"
            "{A}, 00000002, 06.03.2009, 16:00, GE   , 001, K1 geschrieben.\n" +
            kDone,
     .listAfter = "{A},00000001,05.03.2009\n{A},00000002,06.03.2009\n{A},00000002,06.03.2009\n",
     .rows = {{"A",
               {"00000001|2009-03-05|2009-03-05 07:00:00|KO   |001||K1",
                "00000002|2009-03-06|2009-03-06 07:00:00|KO   |001||K1",
                "00000002|2009-03-06|2009-03-06 12:00:00|GE   |001||K1",
                "00000002|2009-03-06|2009-03-06 16:00:00|GE   |001||K1"}}}},
    {.name = "InsertErrorEndsRunWithEveryEchoedBookingStoredAndListed",
     .schemas = {"A"},
     .bookings = "{A}0000000105.03.200907:00KO   001K1\n"
                 "{A}0000000299.99.200907:00KO   001K1\n"
                 "{A}0000000305.03.200907:00KO   001K1\n",
     .out = "{A}, 00000001, 05.03.2009, 07:00, KO   , 001, K1 eingelesen.\n"
            "{A}, 00000002, 99.99.2009, 07:00, KO   , 001, K1 eingelesen.\n"
            "{A}, 00000003, 05.03.2009, 07:00, KO   , 001, K1 eingelesen.\n" +
            kSorted +
            "{A}, 00000001, 05.03.2009, 07:00, KO   , 001, K1 geschrieben.\n"
            "Buchungs-Fehler:\n"
            " Schema:         {A}\n"
            " Personalnummer: 00000002\n"
            " Datum:          99.99.2009\n"
            " Uhrzeit:        07:00\n"
            " Funktionstyp:   KO   \n"
            " Meldungsart:    001\n"
            " Terminalname:   \n"
            " Kostenstelle:   K1\n"
            " SQL-Fehler: 1292\n\n---\n",
     .listAfter = "{A},00000001,05.03.2009\n",
     .rows = {{"A", {"00000001|2009-03-05|2009-03-05 07:00:00|KO   |001||K1"}}},
     .status = 255,
     .errEmpty = false},
    {.name = "ListLineThatCannotBeWrittenEndsRunWithoutEcho",
     .schemas = {"A"},
     .bookings = "{A}0000000105.03.200907:00KO   001K1\n"
                 "{A}0000000205.03.200907:00KO   001K1\n",
     .list = List::kFullDevice,
     .out = "{A}, 00000001, 05.03.2009, 07:00, KO   , 001, K1 eingelesen.\n"
            "{A}, 00000002, 05.03.2009, 07:00, KO   , 001, K1 eingelesen.\n" +
            kSorted,
     .rows = {{"A", {"00000001|2009-03-05|2009-03-05 07:00:00|KO   |001||K1"}}},
     .status = 255,
     .errEmpty = false},
};

std::vector<std::string> storedRows(AdminSession& admin, const std::string& schema) {
  std::vector<std::string> out;
  for (const testing::Row& row :
       admin.rows("SELECT BchPnr, BchVon, BchUhr, BchFkt, BchFcd, BchTrm, BchKst FROM `" + schema +
                  "`.Kvn321Bch ORDER BY BchPnr, BchUhr")) {
    std::string text;
    for (const auto& column : row) {
      if (!text.empty()) text += '|';
      text += column.value_or("NULL");
    }
    out.push_back(text);
  }
  return out;
}

class TransferRunTest : public ::testing::TestWithParam<Scenario> {};

TEST_P(TransferRunTest, Runs) {
  const std::string missing = testing::sandboxMissing();
  if (!missing.empty()) FAIL() << missing;
  const Scenario& s = GetParam();
  AdminSession admin;
  ASSERT_TRUE(admin.ok()) << admin.error();

  const std::string schemaSql = readFile(DORVEK_SCHEMA_SQL);
  ASSERT_FALSE(schemaSql.empty());
  for (const std::string& schema : s.schemas) {
    const std::string name = "`" + serverName(schema) + "`";
    admin.exec("DROP DATABASE IF EXISTS " + name + "; CREATE DATABASE " + name + "; USE " + name +
               ";\n" + schemaSql);
  }
  if (!s.setup.empty()) admin.exec(expand(s.setup, s.schemas));

  TempDir dir;
  const std::string configPath = dir.path() + "/dorvek.ini";
  switch (s.config) {
    case Config::kGood:
      writeConfig(configPath, serverName(s.schemas[0]), "");
      break;
    case Config::kWrongPassword:
      writeConfig(configPath, serverName(s.schemas[0]), kPassword);
      break;
    case Config::kOneCharacterSchema:
      writeConfigWithOneCharacterSchema(configPath);
      break;
    case Config::kNoFile:
      break;
  }
  const std::string bookingPath = s.bookings
                                      ? dir.write("buchungen.txt", expand(*s.bookings, s.schemas))
                                      : dir.path() + "/fehlt.txt";
  std::string listPath = dir.write("rzl.txt", kOldList);
  if (s.list == List::kFullDevice) listPath = "/dev/full";
  if (s.list == List::kInMissingDirectory) listPath = dir.path() + "/fehlt/rzl.txt";
  std::vector<std::string> args = {configPath, bookingPath, listPath};
  if (!s.terminalName.empty()) args.push_back(s.terminalName);

  const testing::ProcessResult r = testing::runProcess(DORVEK_PROGRAM, args);

  EXPECT_EQ(r.status, s.status);
  EXPECT_EQ(r.out, expand(s.out, s.schemas));
  if (s.list == List::kFile) {
    EXPECT_EQ(TempDir::read(listPath), expand(s.listAfter, s.schemas));
  }
  if (s.errEmpty) {
    EXPECT_EQ(r.err, "");
  } else {
    // One line of ours, never the password.
    EXPECT_EQ(r.err.rfind("dorVek: ", 0), 0u) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    EXPECT_EQ(r.err.find(kPassword), std::string::npos) << r.err;
  }
  for (const auto& [schema, rows] : s.rows) {
    std::vector<std::string> expected;
    for (const std::string& row : rows) expected.push_back(expand(row, s.schemas));
    EXPECT_EQ(storedRows(admin, serverName(schema)), expected) << schema;
  }
  for (const std::string& schema : s.schemas) {
    admin.exec("DROP DATABASE IF EXISTS `" + serverName(schema) + "`");
  }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, TransferRunTest, ::testing::ValuesIn(kScenarios),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace dorvek
