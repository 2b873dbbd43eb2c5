// The transfer run: settings from the configuration file, the connection,
// the recalculation list, reading and sorting the booking file, then every
// booking through the database, and the exit status.
#ifndef DORVEK_TRANSFER_TRANSFER_RUN_H_
#define DORVEK_TRANSFER_TRANSFER_RUN_H_

#include <string>

#include "transfer/transfer_loop.h"

namespace dorvek {

// The connection settings, from the keys NET8, SCHEMA (without its last
// character), LOGIN and PASS.
struct RunSettings {
  std::string hostName;
  std::string databaseName;
  std::string userName;
  std::string password;
};

// Reads the four settings from the configuration file. False when the
// database name comes out empty (a SCHEMA value of fewer than two
// characters, a missing key or a missing file).
bool loadRunSettings(const char* configPath, RunSettings& settings);

// The whole run after the argument check. terminalName is empty when the
// fourth argument is missing. Returns the exit status.
int runTransfer(const char* configPath, const char* sourcePath, const char* listPath,
                const char* terminalName);

}  // namespace dorvek

#endif  // DORVEK_TRANSFER_TRANSFER_RUN_H_
