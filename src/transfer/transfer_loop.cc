#include "transfer/transfer_loop.h"

#include <cstring>
#include <string_view>

#include "platform/sleep.h"
#include "transfer/stop_signal.h"

namespace dorvek {
namespace {

// Bookings of this schema go to the main schema.
constexpr char kMappedPrefix[] = "DBO";
constexpr char kMainSchema[] = "VANTORIUM           ";
static_assert(sizeof kMainSchema == kSchemaWidth + 1);

template <size_t N>
void copyField(char (&area)[N], std::string_view text) {
  std::memset(area, 0, N);
  std::memcpy(area, text.data(), text.size() < N - 1 ? text.size() : N - 1);
}

}  // namespace

void pauseBeforeInsert() { sleepMillis(kInsertPauseMillis); }

TransferLoop::TransferLoop(BookingTable& table, BookingStore& store, const RecalcList& list,
                           const char* terminalName, FILE* out, FILE* err)
    : table_(table),
      store_(store),
      list_(list),
      terminalName(terminalName),
      out_(out),
      err_(err),
      pause_(pauseBeforeInsert),
      stopCheck_(stopRequested) {}

int TransferLoop::run() {
  // Empty, so the first booking always switches.
  std::memset(currentSchema, 0, sizeof currentSchema);
  lastListed = ListedKey{};
  for (size_t i = 0; i < table_.size(); ++i) {
    // Only here, between bookings: a booking stopped after its commit would
    // be stored but never listed, and a re-run would skip it as a duplicate.
    if (stopCheck_()) {
      std::fflush(out_);
      std::fprintf(err_, "dorVek: Abbruch auf Signal: %zu von %zu Buchungen bearbeitet.\n", i,
                   table_.size());
      return kStatusFailed;
    }
    const int status = transfer(i, table_[i]);
    // A run that is stopped from outside leaves a log of how far it came.
    std::fflush(out_);
    if (status != kStatusDone) return status;
  }
  return finish();
}

int TransferLoop::finish() {
  std::fputs("dorVek: Fertig.\n", out_);
  std::fflush(out_);
  store_.commit();
  return kStatusDone;
}

int TransferLoop::transfer(size_t position, BookingRecord& booking) {
  if (std::strncmp(booking.schema, kMappedPrefix, 3) == 0) copyField(booking.schema, kMainSchema);

  if (std::strcmp(booking.schema, currentSchema) != 0) {
    copyField(currentSchema, booking.schema);
    const int32_t code = store_.switchSchema(currentSchema);
    if (code == kStatementTooLong)
      return statementTooLong("Schemawechsel", kMaxSwitchStatementLength, booking);
    if (code != 0) {
      // Only the first booking after the change is dropped: the next ones
      // find currentSchema equal and go on.
      std::fprintf(out_, "- Schema konnte nicht gewechselt werden: %s\n", currentSchema);
      return kStatusDone;
    }
  }

  newFunctionCode.clear();
  int32_t code = store_.lookupFunctionCode(currentSchema, booking.functionCode, newFunctionCode);
  if (code == kStatementTooLong)
    return statementTooLong("Funktionscode-Suche", kMaxStatementLength, booking);
  if (code == 0) {
    printTranslation(booking, newFunctionCode.c_str());
    copyField(booking.functionCode, newFunctionCode);
  }

  code = store_.bookingExists(currentSchema, booking);
  if (code == kStatementTooLong)
    return statementTooLong("Dublettenpruefung", kMaxStatementLength, booking);
  if (code == 0) {
    printDuplicate(booking);
    return kStatusDone;
  }
  if (code == kServerGone) {
    std::fprintf(err_,
                 "dorVek: Verbindung zum Datenbankserver verloren (Fehler %d), Abbruch vor "
                 "Buchung %d.\n",
                 code, booking.sequenceNumber);
    return kStatusFailed;
  }

  pause_();
  // A copy, so nothing the insert does can reach the table.
  const BookingRecord inserted = booking;
  code = store_.insertBooking(currentSchema, inserted, terminalName);
  if (code == kStatementTooLong) return statementTooLong("Einfuegen", kMaxStatementLength, booking);
  if (code != 0) {
    printInsertError(booking, code);
    if (code == kDuplicateKey) return kStatusDone;
    std::fprintf(err_, "dorVek: SQL-Fehler %d beim Einfuegen von Buchung %d, Abbruch.\n", code,
                 booking.sequenceNumber);
    return kStatusFailed;
  }

  // A booking is stored only once its commit went through.
  if (store_.commit() != 1) {
    code = store_.lastError();
    printInsertError(booking, code);
    std::fprintf(err_,
                 "dorVek: COMMIT fuer Buchung %d fehlgeschlagen (Fehler %d), Buchung "
                 "moeglicherweise nicht gespeichert, Abbruch.\n",
                 booking.sequenceNumber, code);
    return kStatusFailed;
  }

  const bool last = position + 1 == table_.size();
  if (last || std::strcmp(booking.schema, lastListed.schema) != 0 ||
      std::strcmp(booking.personnelNumber, lastListed.personnelNumber) != 0 ||
      std::strcmp(booking.date, lastListed.date) != 0) {
    copyField(lastListed.schema, booking.schema);
    copyField(lastListed.personnelNumber, booking.personnelNumber);
    copyField(lastListed.date, booking.date);
    if (const int error = list_.append(booking.schema, booking.personnelNumber, booking.date)) {
      // Stored but never recalculated, and a re-run would skip it as a
      // duplicate: the caller has to know.
      std::fprintf(err_,
                   "dorVek: Zeile \"%s,%s,%s\" nicht in die RZL-Berechnungsdatei %s "
                   "geschrieben (%s); Buchung %d ist gespeichert, Abbruch.\n",
                   booking.schema, booking.personnelNumber, booking.date, list_.path().c_str(),
                   std::strerror(error), booking.sequenceNumber);
      return kStatusFailed;
    }
  }

  printBooking(out_, booking, "geschrieben");
  return kStatusDone;
}

void TransferLoop::printTranslation(const BookingRecord& b, const char* newCode) const {
  std::fprintf(out_,
               "Funktionscode umsetzen:\n Schema:         %s\n Personalnummer: %s\n"
               " Datum:          %s\n Uhrzeit:        %s\n Funktionstyp:   %s\n"
               " Meldungsart:    %s (alt)  =>  %s (neu)\n Terminalname:   %s\n"
               " Kostenstelle:   %s\n\n",
               b.schema, b.personnelNumber, b.date, b.time, b.functionType, b.functionCode, newCode,
               terminalName, b.costCentre);
}

void TransferLoop::printDuplicate(const BookingRecord& b) const {
  std::fprintf(out_,
               "Buchungs-Fehler:\n Schema:         %s\n Personalnummer: %s\n"
               " Datum:          %s\n Uhrzeit:        %s\n Funktionstyp:   %s\n"
               " Meldungsart:    %s\n Terminalname:   %s\n Kostenstelle:   %s\n"
               " Fehler: Buchung mit dem Schl\xFC"
               "ssel existiert schon \n",
               b.schema, b.personnelNumber, b.date, b.time, b.functionType, b.functionCode,
               terminalName, b.costCentre);
}

void TransferLoop::printInsertError(const BookingRecord& b, int32_t code) const {
  std::fprintf(out_,
               "Buchungs-Fehler:\n Schema:         %s\n Personalnummer: %s\n"
               " Datum:          %s\n Uhrzeit:        %s\n Funktionstyp:   %s\n"
               " Meldungsart:    %s\n Terminalname:   %s\n Kostenstelle:   %s\n"
               " SQL-Fehler: %d\n\n---\n",
               b.schema, b.personnelNumber, b.date, b.time, b.functionType, b.functionCode,
               terminalName, b.costCentre, static_cast<int>(code));
}

int TransferLoop::statementTooLong(const char* what, size_t limit,
                                   const BookingRecord& booking) const {
  std::fprintf(err_,
               "dorVek: Anweisung (%s) fuer Buchung %d passt nicht in %zu Zeichen, nichts "
               "gesendet, Abbruch.\n",
               what, booking.sequenceNumber, limit);
  return kStatusStatementTooLong;
}

}  // namespace dorvek
