#include <gtest/gtest.h>

#include <cstdint>

#include "base/runtime.h"

namespace {

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
