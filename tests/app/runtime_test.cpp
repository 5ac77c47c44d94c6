#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/runtime.h"

namespace {

struct CommandLineCase {
  const char* line;
  bool hasArgument;
  const char* argument;
};

TEST(SkipProgramName, FindsTheArgumentPartAsWindowsGivesIt) {
  const CommandLineCase cases[] = {
      {"kinetor.exe", false, ""},
      {"kinetor.exe ", true, ""},
      {"\"C:\\Program Files\\kinetor.exe\" C:\\my files\\a.txt", true, "C:\\my files\\a.txt"},
      {"kinetor.exe  script.txt", true, " script.txt"},
      {"kinetor.exe \"C:\\a b\\s.txt\"", true, "\"C:\\a b\\s.txt\""},
      {"\"C:\\never closed.exe script.txt", false, ""},
      {" \"\" \"\"  kinetor.exe s.txt", true, "s.txt"},
      {"C:\\\"odd dir\"\\k.exe x", true, "x"},
      {"k.exe\tx y", true, "x y"},
      {"", false, ""},
      {"   ", false, ""},
  };
  for (const auto& c : cases) {
    std::string buffer = c.line;
    char* arg = skipProgramName(buffer.data());
    if (!c.hasArgument) {
      EXPECT_EQ(arg, nullptr) << c.line;
    } else {
      ASSERT_NE(arg, nullptr) << c.line;
      EXPECT_STREQ(arg, c.argument) << c.line;
    }
  }
  EXPECT_EQ(skipProgramName(nullptr), nullptr);
}

TEST(Heap, BlocksAreZeroFilledAndNullReleaseIsHarmless) {
  for (uint64_t size : {uint64_t{1}, uint64_t{260}, uint64_t{65535}}) {
    auto* block = static_cast<unsigned char*>(allocZeroed(size));
    ASSERT_NE(block, nullptr);
    for (uint64_t i = 0; i < size; ++i) ASSERT_EQ(block[i], 0) << "byte " << i << " of " << size;
    freeBlock(block);
  }
  freeBlock(nullptr);
  unsigned char* held = static_cast<unsigned char*>(allocZeroed(8));
  releaseBlock(held);
  EXPECT_EQ(held, nullptr);
  releaseBlock(held);  // a second release must be harmless
}

TEST(Heap, RefusesSizesBeyondTheAddressSpace) {
  EXPECT_EQ(allocZeroed(~uint64_t{0}), nullptr);
  EXPECT_EQ(allocZeroed(uint64_t{1} << 63), nullptr);
}

TEST(Heap, GateRefusesAllocations) {
  AllocGate old = setAllocGate([](uint64_t) { return false; });
  EXPECT_EQ(allocZeroed(16), nullptr);
  setAllocGate(old);
  void* block = allocZeroed(16);
  EXPECT_NE(block, nullptr);
  freeBlock(block);
}

}  // namespace
