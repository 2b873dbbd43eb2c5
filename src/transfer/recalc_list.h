// The recalculation list: one line "schema,personnel number,date" for each
// employee-day the run stored bookings for, read by the separate
// recalculation afterwards. Opened and closed around every use, so each
// line is complete in the file as soon as it is written.
#ifndef DORVEK_TRANSFER_RECALC_LIST_H_
#define DORVEK_TRANSFER_RECALC_LIST_H_

#include <string>

namespace dorvek {

class RecalcList {
 public:
  explicit RecalcList(std::string path) : path_(std::move(path)) {}

  // Creates the file empty, or empties it. 0, or the errno of the failure.
  int create() const;

  // Appends "schema,personnelNumber,date\n". 0 when the line is in the file
  // (opened, written and closed); otherwise the errno of the failure.
  int append(const char* schema, const char* personnelNumber, const char* date) const;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace dorvek

#endif  // DORVEK_TRANSFER_RECALC_LIST_H_
