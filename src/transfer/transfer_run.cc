#include "transfer/transfer_run.h"

#include <cstring>

#include "config/config_file.h"
#include "db/booking_statements.h"
#include "db/connection.h"

namespace dorvek {
namespace {

std::string configValue(const char* configPath, const char* key) {
  return lookupConfigValue("", key, 0, configPath).value;
}

// The library's message on one line, whatever it holds.
std::string oneLine(const char* message) {
  std::string line = message != nullptr ? message : "";
  for (char& c : line) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return line;
}

}  // namespace

bool loadRunSettings(const char* configPath, RunSettings& settings) {
  settings.hostName = configValue(configPath, "NET8");
  const std::string schema = configValue(configPath, "SCHEMA");
  settings.databaseName = schema.empty() ? "" : schema.substr(0, schema.size() - 1);
  settings.userName = configValue(configPath, "LOGIN");
  settings.password = configValue(configPath, "PASS");
  return !settings.databaseName.empty();
}

int runTransfer(const char* configPath, const char* sourcePath, const char* listPath,
                const char* terminalName) {
  RunSettings settings;
  if (!loadRunSettings(configPath, settings)) {
    std::fprintf(stderr,
                 "dorVek: Kein Datenbankname in %s (Schluessel SCHEMA fehlt oder hat weniger "
                 "als 2 Zeichen, oder die Datei fehlt).\n",
                 configPath);
    return kStatusFailed;
  }

  DbConnection connection;
  if (const int32_t code =
          connection.connect(settings.userName.c_str(), settings.password.c_str(),
                             settings.hostName.c_str(), settings.databaseName.c_str())) {
    std::fprintf(stderr,
                 "dorVek: Keine Verbindung zur Datenbank %s auf \"%s\" als \"%s\": Fehler %d: "
                 "%s\n",
                 settings.databaseName.c_str(), settings.hostName.c_str(),
                 settings.userName.c_str(), code, oneLine(connection.lastErrorMessage()).c_str());
    return kStatusFailed;
  }

  const RecalcList list(listPath);
  if (const int error = list.create()) {
    std::fprintf(stderr, "dorVek: RZL-Berechnungsdatei %s kann nicht angelegt werden (%s).\n",
                 listPath, std::strerror(error));
    return kStatusFailed;
  }

  BookingTable table;
  MysqlBookingStore store(connection);
  TransferLoop loop(table, store, list, terminalName, stdout, stderr);
  switch (readBookingTable(sourcePath, table, stdout)) {
    case ReadResult::kRead:
      break;
    case ReadResult::kCannotOpen:
      return loop.finish();
    case ReadResult::kOutOfMemory:
      std::fflush(stdout);
      std::fputs("dorVek: Nicht genug Speicher fuer die Buchungstabelle.\n", stderr);
      return kStatusFailed;
  }
  sortBookingTable(table, stdout);
  return loop.run();
}

}  // namespace dorvek
