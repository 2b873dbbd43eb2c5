// The transfer loop: every booking of the sorted table through the
// database, with its reports, the pause before each insert, the commit, the
// recalculation list and the echo; then the end of the run.
#ifndef DORVEK_TRANSFER_TRANSFER_LOOP_H_
#define DORVEK_TRANSFER_TRANSFER_LOOP_H_

#include <cstdio>
#include <functional>
#include <string>

#include "db/booking_store.h"
#include "transfer/booking_record.h"
#include "transfer/booking_table.h"
#include "transfer/recalc_list.h"

namespace dorvek {

// Exit statuses. -1 reaches the calling shell as 255.
constexpr int kStatusDone = 0;
constexpr int kStatusFailed = -1;
constexpr int kStatusStatementTooLong = 1;

// The pause before every insert.
constexpr int kInsertPauseMillis = 15;

// The pause before each insert: at least kInsertPauseMillis, and barely
// more.
void pauseBeforeInsert();

// The key of the last line written to the recalculation list.
struct ListedKey {
  char schema[kSchemaWidth + 1] = {};
  char personnelNumber[kPersonnelNumberWidth + 1] = {};
  char date[kDateWidth + 1] = {};
};

// The transfer loop over a sorted table and the end of the run. Reports go
// to out (flushed after every booking), diagnostics as one line to err.
class TransferLoop {
 public:
  TransferLoop(BookingTable& table, BookingStore& store, const RecalcList& list,
               const char* terminalName, FILE* out, FILE* err);

  // Replaces the pause before each insert (tests).
  void setPause(std::function<void()> pause) { pause_ = std::move(pause); }
  // Replaces the question whether to stop before the next booking (tests);
  // by default stopRequested().
  void setStopCheck(std::function<bool()> check) { stopCheck_ = std::move(check); }

  // Every booking of the table in order; then, when the loop went through,
  // "dorVek: Fertig.\n" and the final COMMIT. Returns the exit status. A
  // stop asked for ends the run before the next booking begins, with one
  // line on err and kStatusFailed.
  int run();

  // "dorVek: Fertig.\n" and the final COMMIT, whose result does not matter:
  // every booking was committed on its own. kStatusDone.
  int finish();

 private:
  // kStatusDone to go on with the next booking, else the run's status.
  int transfer(size_t position, BookingRecord& booking);
  void printTranslation(const BookingRecord& booking, const char* newCode) const;
  void printDuplicate(const BookingRecord& booking) const;
  void printInsertError(const BookingRecord& booking, int32_t code) const;
  int statementTooLong(const char* what, size_t limit, const BookingRecord& booking) const;

  BookingTable& table_;
  BookingStore& store_;
  const RecalcList& list_;
  const char* terminalName;
  FILE* out_;
  FILE* err_;
  std::function<void()> pause_;
  std::function<bool()> stopCheck_;

  char currentSchema[kSchemaWidth + 1] = {};
  ListedKey lastListed;
  std::string newFunctionCode;
};

}  // namespace dorvek

#endif  // DORVEK_TRANSFER_TRANSFER_LOOP_H_
