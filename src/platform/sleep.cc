#include "platform/sleep.h"

#include <cerrno>
#include <cstdint>
#include <ctime>

namespace dorvek {
namespace {

int64_t nowNanos() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return int64_t{t.tv_sec} * 1000000000 + t.tv_nsec;
}

}  // namespace

void sleepMillis(int milliseconds) {
  constexpr int64_t kAwakeNanos = 300000;
  const int64_t deadline = nowNanos() + int64_t{milliseconds} * 1000000;
  const int64_t wake = deadline - kAwakeNanos;
  const timespec until = {static_cast<time_t>(wake / 1000000000),
                          static_cast<long>(wake % 1000000000)};
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
  }
  while (nowNanos() < deadline) {
  }
}

}  // namespace dorvek
