// Runs a program with arguments, optional standard input and extra
// environment, and returns its stdout and stderr bytes and exit status.
#ifndef DORVEK_TESTS_SUPPORT_PROCESS_H_
#define DORVEK_TESTS_SUPPORT_PROCESS_H_

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

namespace dorvek::testing {

struct ProcessResult {
  std::string out;
  std::string err;
  int status = -1;  // exit status 0..255, or 128 + signal when killed
};

using Environment = std::vector<std::pair<std::string, std::string>>;

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& input = "", const Environment& env = {});

// A program started but not yet waited for, so that a test can signal it
// while it runs. Standard input is empty; the destructor waits too.
class StartedProcess {
 public:
  StartedProcess(const std::string& program, const std::vector<std::string>& args,
                 const Environment& env = {});
  ~StartedProcess();
  StartedProcess(const StartedProcess&) = delete;
  StartedProcess& operator=(const StartedProcess&) = delete;

  pid_t pid() const { return pid_; }
  // Collects both outputs until the program ends, then its status.
  ProcessResult wait();

 private:
  friend ProcessResult runProcess(const std::string&, const std::vector<std::string>&,
                                  const std::string&, const Environment&);
  StartedProcess(const std::string& program, const std::vector<std::string>& args,
                 const std::string& input, const Environment& env);

  pid_t pid_ = -1;
  int in_ = -1, out_ = -1, err_ = -1;
  std::string input_;
};

}  // namespace dorvek::testing

#endif  // DORVEK_TESTS_SUPPORT_PROCESS_H_
