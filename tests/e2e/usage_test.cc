// The built program, run as a scheduler would run it.
#include <gtest/gtest.h>

#include "support/process.h"
#include "support/temp_file.h"

namespace dorvek {
namespace {

const char kUsage[] =
    "Syntax: dorVek.exe [[VANTORIUM-Ini-Datei] [Quelle] [RZL-Berechnungsdatei]] [Terminalname]\n\n";

TEST(CommandLine, WrongArgumentCountPrintsUsageAndFails) {
  const std::vector<std::vector<std::string>> argumentLists = {
      {}, {"a"}, {"a", "b"}, {"a", "b", "c", "d", "e"}, {"a", "b", "c", "d", "e", "f"}};
  for (const auto& args : argumentLists) {
    SCOPED_TRACE(args.size());
    testing::ProcessResult r = testing::runProcess(DORVEK_PROGRAM, args);
    EXPECT_EQ(r.out, kUsage);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 255);
  }
}

}  // namespace
}  // namespace dorvek
