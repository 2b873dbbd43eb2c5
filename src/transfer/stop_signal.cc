#include "transfer/stop_signal.h"

#include <csignal>

namespace dorvek {
namespace {

volatile std::sig_atomic_t stopFlag = 0;

extern "C" void onStopSignal(int) { stopFlag = 1; }

}  // namespace

bool installStopHandlers() {
  struct sigaction action = {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  // Reads and writes on the server connection carry on instead of failing.
  action.sa_flags = SA_RESTART;
  return sigaction(SIGTERM, &action, nullptr) == 0 && sigaction(SIGINT, &action, nullptr) == 0;
}

bool stopRequested() { return stopFlag != 0; }

}  // namespace dorvek
