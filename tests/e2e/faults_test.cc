// Faults of the server under real runs: a sandbox server of the test's own
// (other tests keep theirs), killed with SIGKILL mid-run, the program's
// connection killed from a second session, or down before the run. Every
// run is checked against the promise; after a fault the same file is run
// again until it goes through.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <optional>
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

// A server in a directory of its own. Its socket, which stays the same
// across a restart, is handed to the program through MYSQL_UNIX_PORT.
class PrivateServer {
 public:
  PrivateServer() : socket_(dir_.path() + "/mysqld.sock") {}
  ~PrivateServer() { script("stop"); }
  PrivateServer(const PrivateServer&) = delete;
  PrivateServer& operator=(const PrivateServer&) = delete;

  const char* socket() const { return socket_.c_str(); }
  testing::Environment environment() const { return {{"MYSQL_UNIX_PORT", socket_}}; }
  bool start() { return script("start"); }
  bool stop() { return script("stop"); }
  // SIGKILL by the server's own pid, and wait until it is gone.
  void kill9() {
    const pid_t pid = std::atoi(TempDir::read(dir_.path() + "/mariadbd.pid").c_str());
    ASSERT_GT(pid, 0);
    ASSERT_EQ(kill(pid, SIGKILL), 0);
    for (int i = 0; i < 500 && kill(pid, 0) == 0; ++i) usleep(10000);
  }

 private:
  bool script(const char* command) {
    const std::string line = std::string(DORVEK_SANDBOX_SCRIPT) + " " + command + " '" +
                             dir_.path() + "' >'" + dir_.path() + "/script.log' 2>&1";
    return std::system(line.c_str()) == 0;
  }

  TempDir dir_;
  std::string socket_;
};

// The id of the program's connection to the schema, once it is there.
std::string programConnection(testing::AdminSession& admin, const std::string& schema) {
  for (int i = 0; i < 500; ++i) {
    const std::string id = admin.value(
        "SELECT ID FROM information_schema.PROCESSLIST WHERE DB = '" + schema +
        "' AND ID <> CONNECTION_ID() LIMIT 1");
    if (!id.empty()) return id;
    usleep(10000);
  }
  return "";
}

enum class Fault { kServerKilled, kConnectionKilled };

struct FaultCase {
  const char* name;
  Fault fault;
  int faultyRuns;  // runs broken before one goes through
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

class FaultTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultTest, EveryRunKeepsThePromiseAndTheLastGoesThrough) {
  const FaultCase& c = GetParam();
  PrivateServer server;
  ASSERT_TRUE(server.start());
  std::optional<testing::AdminSession> admin(std::in_place, server.socket());
  ASSERT_TRUE(admin->ok()) << admin->error();
  // Made here, not by a helper that drops it when it goes: the session that
  // made it may die with the server.
  std::string name = "dvk_fault_" + std::to_string(getpid());
  name.resize(20, 'z');
  const std::string quoted = "`" + name + "`";
  const std::string schemaSql = TempDir::read(DORVEK_SCHEMA_SQL);
  ASSERT_FALSE(schemaSql.empty());
  admin->exec("CREATE DATABASE " + quoted + "; USE " + quoted + ";\n" + schemaSql);
  TempDir dir;
  const std::string config = dir.path() + "/dorvek.ini";
  testing::writeRootConfig(config, name);
  testing::RunLedger ledger(name, 200);
  const std::string bookings = dir.write("buchungen.txt", ledger.file());

  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  // Somewhere in the first few dozen bookings.
  std::uniform_int_distribution<int> delayMicros(0, 500000);
  for (int run = 0; run <= c.faultyRuns; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    const std::string list = dir.path() + "/rzl" + std::to_string(run) + ".txt";
    const bool faulty = run < c.faultyRuns;
    const size_t echoedBefore = ledger.echoed();
    const size_t storedBefore = ledger.stored();
    testing::ProcessResult r;
    {
      testing::StartedProcess program(DORVEK_PROGRAM, {config, bookings, list},
                                     server.environment());
      const std::string id = c.fault == Fault::kConnectionKilled ? programConnection(*admin, name)
                                                                  : "";
      if (faulty) {
        std::this_thread::sleep_for(std::chrono::microseconds(delayMicros(random)));
        if (c.fault == Fault::kServerKilled) {
          server.kill9();
        } else {
          ASSERT_FALSE(id.empty());
          admin->exec("KILL " + id);
        }
      }
      r = program.wait();
    }
    ledger.addRun(r.out, TempDir::read(list), r.err);
    // Bookings stored by earlier runs are reported, not stored again. They
    // come first in the file, so a run that wrote anything new, or went
    // through, has passed all of them; one broken early may not have.
    size_t duplicates = 0;
    for (size_t at = r.out.find("existiert schon"); at != std::string::npos;
         at = r.out.find("existiert schon", at + 1)) {
      ++duplicates;
    }
    if (!faulty || ledger.echoed() > echoedBefore) {
      EXPECT_EQ(duplicates, storedBefore);
    } else {
      EXPECT_LE(duplicates, storedBefore);
    }
    if (faulty) {
      EXPECT_EQ(r.status, 255);
      EXPECT_TRUE(r.err.starts_with("dorVek: ")) << r.err;
      EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
      EXPECT_EQ(r.out.find("dorVek: Fertig."), std::string::npos);
    } else {
      EXPECT_EQ(r.status, 0) << r.err;
      EXPECT_EQ(r.err, "");
    }
    if (c.fault == Fault::kServerKilled && faulty) {
      admin.reset();
      ASSERT_TRUE(server.start());
      admin.emplace(server.socket());
      ASSERT_TRUE(admin->ok()) << admin->error();
    }
    ledger.checkStored(*admin, quoted);
    if (::testing::Test::HasFailure()) break;
  }
  EXPECT_EQ(ledger.stored(), ledger.size());
  admin->exec("DROP DATABASE IF EXISTS " + quoted);
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultTest,
                         ::testing::Values(FaultCase{"ServerKilled", Fault::kServerKilled, 2},
                                           FaultCase{"ConnectionKilled",
                                                     Fault::kConnectionKilled, 3}),
                         [](const auto& info) { return std::string(info.param.name); });

// Nothing reached: no report, and the list of the last run stays.
TEST(ServerDown, BeforeTheRunLeavesOutputAndListAlone) {
  PrivateServer server;
  ASSERT_TRUE(server.start());
  ASSERT_TRUE(server.stop());
  TempDir dir;
  const std::string config = dir.path() + "/dorvek.ini";
  testing::writeRootConfig(config, "dorvek_weg");
  const std::string list = dir.write("rzl.txt", "alt\n");
  const testing::ProcessResult r = testing::runProcess(
      DORVEK_PROGRAM,
      {config, dir.write("buchungen.txt", testing::RunLedger("dorvek_weg", 3).file()), list}, "",
      server.environment());
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(r.err.starts_with("dorVek: ")) << r.err;
  EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
  EXPECT_EQ(TempDir::read(list), "alt\n");
}

}  // namespace
}  // namespace dorvek
