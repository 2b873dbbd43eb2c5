// dorVek: moves time-and-attendance bookings from a fixed-width file into
// the database.
#include <cstdio>
#include <cstring>

#include "transfer/booking_record.h"
#include "transfer/stop_signal.h"
#include "transfer/transfer_run.h"

namespace {

void printUsage() {
  std::fputs("Syntax: dorVek.exe [[VANTORIUM-Ini-Datei] [Quelle]", stdout);
  std::fputs(" [RZL-Berechnungsdatei]] [Terminalname]\n\n", stdout);
}

}  // namespace

int main(int argc, char** argv) {
  // Before anything else: until then SIGTERM ends the program wherever it
  // is, between a booking's commit and its list line too.
  dorvek::installStopHandlers();
  if (argc != 4 && argc != 5) {
    printUsage();
    return dorvek::kStatusFailed;
  }
  char terminalName[dorvek::kTerminalNameWidth + 1] = {};
  if (argc == 5) std::strncpy(terminalName, argv[4], dorvek::kTerminalNameWidth);
  return dorvek::runTransfer(argv[1], argv[2], argv[3], terminalName);
}
