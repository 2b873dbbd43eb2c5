// dorVek: moves time-and-attendance bookings from a fixed-width file into
// the database.
#include <cstdio>
#include <cstring>

#include "transfer/booking_table.h"

namespace {

void printUsage() {
  std::fputs("Syntax: dorVek.exe [[VANTORIUM-Ini-Datei] [Quelle]", stdout);
  std::fputs(" [RZL-Berechnungsdatei]] [Terminalname]\n\n", stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) {
    printUsage();
    return -1;
  }
  char terminalName[dorvek::kTerminalNameWidth + 1] = {};
  if (argc == 5) std::strncpy(terminalName, argv[4], dorvek::kTerminalNameWidth);

  dorvek::BookingTable table;
  switch (dorvek::readBookingTable(argv[2], table, stdout)) {
    case dorvek::ReadResult::kRead:
      dorvek::sortBookingTable(table, stdout);
      break;
    case dorvek::ReadResult::kCannotOpen:
      break;
    case dorvek::ReadResult::kOutOfMemory:
      std::fflush(stdout);
      std::fputs("dorVek: Nicht genug Speicher fuer die Buchungstabelle.\n", stderr);
      return -1;
  }
  std::fputs("dorVek: Fertig.\n", stdout);
  return 0;
}
