// SIGTERM and SIGINT at random moments of real runs against the sandbox
// server: each run finishes the booking in hand and stops; the same file is
// run again until a run goes through. Every run is checked against the
// promise, so each stop is also a re-run after a stop.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <string>
#include <thread>

#include "db/sandbox.h"
#include "e2e/run_ledger.h"
#include "support/process.h"
#include "support/temp_file.h"

namespace dorvek {
namespace {

using testing::TempDir;

struct SignalCase {
  const char* name;
  int signal;
};

class StopSignalTest : public ::testing::TestWithParam<SignalCase> {};

TEST_P(StopSignalTest, EveryRunKeepsThePromiseAndTheLastGoesThrough) {
  const std::string missing = testing::sandboxMissing();
  if (!missing.empty()) FAIL() << missing;
  testing::AdminSession admin;
  ASSERT_TRUE(admin.ok()) << admin.error();
  testing::TestSchema schema(admin);
  TempDir dir;
  const std::string config = dir.path() + "/dorvek.ini";
  testing::writeRootConfig(config, schema.name());
  testing::RunLedger ledger(schema.name(), 300);
  const std::string bookings = dir.write("buchungen.txt", ledger.file());

  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  // From before the handler is in place until well into the loop. Runs
  // are stopped for a few seconds (dozens of times), then one goes through.
  std::uniform_int_distribution<int> delayMicros(0, 300000);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  int stopped = 0;
  for (int run = 0;; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    const std::string list = dir.path() + "/rzl" + std::to_string(run) + ".txt";
    const bool signalled = std::chrono::steady_clock::now() < deadline;
    testing::ProcessResult r;
    {
      testing::StartedProcess program(DORVEK_PROGRAM, {config, bookings, list});
      if (signalled) {
        std::this_thread::sleep_for(std::chrono::microseconds(delayMicros(random)));
        // The program is not reaped before wait(): the pid is still its own.
        kill(program.pid(), GetParam().signal);
      }
      r = program.wait();
    }
    ledger.addRun(r.out, TempDir::read(list));
    ledger.checkStored(admin, schema.quoted());
    if (r.status == 0) {
      EXPECT_EQ(r.err, "");
      EXPECT_TRUE(r.out.ends_with("dorVek: Fertig.\n")) << r.out;
      break;
    }
    ASSERT_TRUE(signalled) << r.err;
    if (r.status == 128 + GetParam().signal) {
      // Killed before main() set up the handler: nothing done at all.
      EXPECT_EQ(r.out, "");
      continue;
    }
    ASSERT_EQ(r.status, 255) << r.err;
    ++stopped;
    EXPECT_TRUE(r.err.starts_with("dorVek: Abbruch auf Signal: ")) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    EXPECT_EQ(r.out.find("dorVek: Fertig."), std::string::npos);
    if (::testing::Test::HasFailure()) break;
  }
  EXPECT_EQ(ledger.echoed(), ledger.size());
  EXPECT_GT(stopped, 0);
}

INSTANTIATE_TEST_SUITE_P(Signals, StopSignalTest,
                         ::testing::Values(SignalCase{"Term", SIGTERM},
                                           SignalCase{"Int", SIGINT}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace dorvek
