// Test entry: every error box goes to the recorder, so that no test can ever
// block on a modal box.
#include <gtest/gtest.h>

#include "support/recorder.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  installErrorRecorder();
  return RUN_ALL_TESTS();
}
