// The real program, run as a user runs it.
#include <gtest/gtest.h>

#include "support/process.h"

namespace {

TEST(ProgramExit, MissingScriptEndsAtOnceWithCodeTwo) {
  std::string dir = makeTempDir();
  ProcessResult r = runKinetor(dir + "/no-such-script.txt", 30);
  EXPECT_EQ(r.exitCode, 2);
}

#ifndef _WIN32
TEST(ProgramExit, NoArgumentExplainsTheBatchModeOnPosix) {
  ProcessResult r = runKinetor("");
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.errorOutput.find("kinetor SCRIPT"), std::string::npos) << r.errorOutput;
  // One line only.
  EXPECT_EQ(r.errorOutput.find('\n'), r.errorOutput.size() - 1) << r.errorOutput;
}
#endif

}  // namespace
