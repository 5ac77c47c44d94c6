// The tests' own harness, where a stuck dialog or a child that cannot be
// started would otherwise end a run without a reason.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "dialog_support.h"
#include "support/process.h"

namespace {

TEST(HarnessTest, ADialogLeftOpenFailsAtTheLimitAndIsClosed) {
  ModalResult modal;
  int answer = 0;
  EXPECT_NONFATAL_FAILURE(
      modal = driveModal(
          nullptr, [&] { answer = MessageBoxA(nullptr, "left open", "Stuck", MB_OKCANCEL); },
          [](HWND) {}, 1),
      "was still open after 1 s and was closed by force (driven; open then: \"Stuck\")");
  EXPECT_TRUE(modal.timedOut);
  EXPECT_EQ(modal.stuck, std::vector<std::string>{"Stuck"});
  EXPECT_EQ(answer, IDCANCEL);
}

TEST(HarnessTest, AChildThatCannotStartSaysWhy) {
  const std::string missing = makeTempDir() + "\\missing.exe";
  const ProcessResult r = runProgram(missing, {"a b"});
  EXPECT_EQ(r.exitCode, -1);
  EXPECT_NE(r.errorOutput.find("CreateProcess failed with error 2 ("), std::string::npos)
      << r.errorOutput;
  EXPECT_NE(r.errorOutput.find("for the command line \"" + missing + "\" \"a b\""),
            std::string::npos)
      << r.errorOutput;
}

}  // namespace
