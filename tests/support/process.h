// Runs a program with arguments, optional standard input and extra
// environment, and returns its stdout and stderr bytes and exit status.
#ifndef DORVEK_TESTS_SUPPORT_PROCESS_H_
#define DORVEK_TESTS_SUPPORT_PROCESS_H_

#include <string>
#include <utility>
#include <vector>

namespace dorvek::testing {

struct ProcessResult {
  std::string out;
  std::string err;
  int status = -1;  // exit status 0..255, or 128 + signal when killed
};

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& input = "",
                         const std::vector<std::pair<std::string, std::string>>& env = {});

}  // namespace dorvek::testing

#endif  // DORVEK_TESTS_SUPPORT_PROCESS_H_
