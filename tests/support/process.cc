#include "support/process.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace dorvek::testing {

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& input, const Environment& env) {
  return StartedProcess(program, args, input, env).wait();
}

StartedProcess::StartedProcess(const std::string& program, const std::vector<std::string>& args,
                               const Environment& env)
    : StartedProcess(program, args, "", env) {}

StartedProcess::StartedProcess(const std::string& program, const std::vector<std::string>& args,
                               const std::string& input, const Environment& env)
    : input_(input) {
  int in[2], out[2], err[2];
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
    return;
  }
  pid_ = fork();
  if (pid_ == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    // The child starts as from a terminal, whatever the test runner was
    // started with: a shell's background job inherits SIGINT ignored, and
    // wait() ignores SIGPIPE here.
    for (int s : {SIGINT, SIGTERM, SIGQUIT, SIGPIPE}) signal(s, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  in_ = in[1];
  out_ = out[0];
  err_ = err[0];
}

StartedProcess::~StartedProcess() {
  if (pid_ > 0) wait();
}

ProcessResult StartedProcess::wait() {
  ProcessResult result;
  if (pid_ <= 0) return result;
  // Feed stdin and drain both outputs together so no pipe can fill up.
  signal(SIGPIPE, SIG_IGN);
  size_t written = 0;
  if (input_.empty()) {
    close(in_);
    in_ = -1;
  }
  bool outOpen = true, errOpen = true;
  char buf[65536];
  while (outOpen || errOpen) {
    pollfd fds[3];
    int n = 0;
    if (outOpen) fds[n++] = {out_, POLLIN, 0};
    if (errOpen) fds[n++] = {err_, POLLIN, 0};
    if (in_ >= 0) fds[n++] = {in_, POLLOUT, 0};
    if (poll(fds, n, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < n; ++i) {
      if (fds[i].revents == 0) continue;
      if (fds[i].fd == in_) {
        ssize_t w = write(in_, input_.data() + written, input_.size() - written);
        if (w > 0) written += static_cast<size_t>(w);
        if (w < 0 || written == input_.size()) {
          close(in_);
          in_ = -1;
        }
        continue;
      }
      ssize_t r = read(fds[i].fd, buf, sizeof buf);
      bool isOut = fds[i].fd == out_;
      if (r > 0) {
        (isOut ? result.out : result.err).append(buf, static_cast<size_t>(r));
      } else {
        (isOut ? outOpen : errOpen) = false;
      }
    }
  }
  if (in_ >= 0) close(in_);
  close(out_);
  close(err_);
  in_ = out_ = err_ = -1;
  int status = 0;
  while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

}  // namespace dorvek::testing
