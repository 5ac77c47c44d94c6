// Colour replacement in 24-bit pixels and the merge of later frames over the
// first.
#include "frames/colour_steps.h"
#include "frame_setup.h"
#include "image/bitmap_format.h"
#include "image/frame_reader.h"
#include "image/pixels.h"

namespace {

constexpr uint32_t X = 0x00112233, Y = 0x00445566, Z = 0x00778899, T = 0x00FF00FF;

class ColourStepsTest : public FrameTableTest {
 protected:
  void readAll() {
    for (int k = 0; k < appState.frameCount; ++k) {
      readFrame(appState.frameTable[k]);
      ASSERT_NE(appState.frameTable[k].fileData, nullptr) << k;
    }
  }
  void setPairs(std::initializer_list<uint32_t> dibColours) {
    int i = 0;
    for (uint32_t c : dibColours) appState.replaceColors[i++] = swapRedBlue(c);
    appState.replaceCount = i;
  }
  uint32_t at24(int k, int32_t x, int32_t y) {
    const FrameRecord& f = appState.frameTable[k];
    return getPixel24(f.pixels, headerWidth(f.header), headerHeight(f.header), x, y);
  }
  uint8_t at8(int k, int32_t x, int32_t y) {
    const FrameRecord& f = appState.frameTable[k];
    return getPixel8(f.pixels, headerWidth(f.header), headerHeight(f.header), x, y);
  }
};

TEST_F(ColourStepsTest, ReplacementAppliesTheLastPairAndNeverChains) {
  struct Case {
    const char* what;
    std::initializer_list<uint32_t> pairs;
    uint32_t xBecomes, yBecomes, zBecomes;
  } cases[] = {
      {"X->Y then X->Z: the last wins", {X, Y, X, Z}, Z, Y, Z},
      {"X->Y then Y->Z: no chain", {X, Y, Y, Z}, Y, Z, Z},
      {"odd count: the last entry is unused", {X, Y, Z}, Y, Y, Z},
      {"one entry: nothing changes", {X}, X, Y, Z},
      {"from-colour with a top byte matches nothing", {X | 0x01000000u, Y}, X, Y, Z},
      {"to-colour's top byte is not stored", {X, Y | 0xFF000000u}, Y, Y, Z},
  };
  for (const auto& c : cases) {
    SetUp();
    // 5 pixels wide: rows of 15 bytes padded to 16.
    addBmp(spec24(5, 2), {X, Y, Z, X, Y, Z, X, Y, Z, 0});
    readAll();
    setPairs(c.pairs);
    applyColorReplacement(currentSettings(), tableFrames());
    const uint32_t expect[] = {c.xBecomes, c.yBecomes, c.zBecomes};
    for (int i = 0; i < 9; ++i) {
      EXPECT_EQ(at24(0, i % 5, i / 5), expect[i % 3]) << c.what << " pixel " << i;
    }
    EXPECT_EQ(at24(0, 4, 1), 0u) << c.what;
    TearDown();
  }
}

TEST_F(ColourStepsTest, MergeTakesFirstFramePixelsWhereLaterFramesAreTransparent) {
  appState.transColors[0] = swapRedBlue(T);
  appState.transCount = 1;
  addBmp(spec24(3, 1), {X, X, X});
  addBmp(spec24(3, 1), {T, Y, T});
  addBmp(spec24(3, 1), {Z, T, T});
  readAll();
  ASSERT_TRUE(mergeWithFirstFrame24(currentSettings(), tableFrames()));
  const uint32_t expect[3][3] = {{X, X, X}, {X, Y, X}, {Z, X, X}};
  for (int k = 0; k < 3; ++k)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(at24(k, x, 0), expect[k][x]) << k << "," << x;
}

TEST_F(ColourStepsTest, MergeBringsLaterFramesToTheFirstFramesSize) {
  struct Case {
    const char* what;
    bool blackIsTransparent;
  } cases[] = {{"black opaque", false}, {"black transparent", true}};
  for (const auto& c : cases) {
    SetUp();
    appState.transColors[0] = swapRedBlue(T);
    appState.transColors[1] = 0;
    appState.transCount = c.blackIsTransparent ? 2 : 1;
    addBmp(spec24(3, 3), solid(3, 3, X));
    addBmp(spec24(5, 2), solid(5, 2, Y));  // wider and lower than frame 1
    readAll();
    ASSERT_TRUE(mergeWithFirstFrame24(currentSettings(), tableFrames()));
    const FrameRecord& f = appState.frameTable[1];
    EXPECT_EQ(headerWidth(f.header), 3);
    EXPECT_EQ(headerHeight(f.header), 3);
    for (int32_t y = 0; y < 3; ++y) {
      for (int32_t x = 0; x < 3; ++x) {
        const uint32_t expected = y < 2 ? Y : (c.blackIsTransparent ? X : 0u);
        EXPECT_EQ(at24(1, x, y), expected) << c.what << " " << x << "," << y;
      }
    }
    TearDown();
  }
}

TEST_F(ColourStepsTest, EightBitMergeCarriesIndicesAndTestsTheLaterFramesPalette) {
  appState.transColors[0] = swapRedBlue(T);
  appState.transCount = 1;
  // Frame 2's index 1 is transparent in its own palette; in frame 1's it is not.
  addBmp(spec8(4, 1, {X, Y, Z}), {0, 1, 2, 1});
  addBmp(spec8(4, 1, {X, T, Z}), {2, 1, 1, 0});
  readAll();
  ASSERT_TRUE(mergeWithFirstFrame8(currentSettings(), tableFrames()));
  const uint8_t expect[] = {2, 1, 2, 0};
  for (int x = 0; x < 4; ++x) EXPECT_EQ(at8(1, x, 0), expect[x]) << x;
  const uint8_t first[] = {0, 1, 2, 1};
  for (int x = 0; x < 4; ++x) EXPECT_EQ(at8(0, x, 0), first[x]) << "frame 1 is not changed";
}

TEST_F(ColourStepsTest, MergeWithOneFrameOrNoTransparentColoursKeepsEachFramesPicture) {
  addBmp(spec24(2, 1), {X, Y});
  readAll();
  uint8_t* const before = appState.frameTable[0].pixels;
  ASSERT_TRUE(mergeWithFirstFrame24(currentSettings(), tableFrames()));
  EXPECT_EQ(appState.frameTable[0].pixels, before);
  addBmp(spec24(2, 1), {0, Z});
  readFrame(appState.frameTable[1]);
  ASSERT_TRUE(mergeWithFirstFrame24(currentSettings(), tableFrames()));
  EXPECT_EQ(at24(1, 0, 0), 0u);
  EXPECT_EQ(at24(1, 1, 0), Z);
}

TEST_F(ColourStepsTest, MergeOfFramesOfTheFirstFramesSizeNeedsNoMemory) {
  appState.transColors[0] = swapRedBlue(T);
  appState.transCount = 1;
  addBmp(spec24(5, 2), solid(5, 2, X));
  addBmp(spec24(5, 2), {T, Y, T, Y, T, Y, T, Y, T, Y});
  addBmp(spec24(4, 2), solid(4, 2, Z));
  readAll();
  // Padding bytes of the rows in the file that a merged frame keeps are
  // cleared, as they would be in a new buffer.
  FrameRecord& second = appState.frameTable[1];
  second.pixels[15] = 0xEE;
  static int allocations;
  allocations = 0;
  setAllocGate([](uint64_t) { return allocations++ < 0; });
  EXPECT_FALSE(mergeWithFirstFrame24(currentSettings(), tableFrames()))
      << "the third frame needs a buffer of its own";
  setAllocGate(nullptr);
  EXPECT_EQ(allocations, 1);
  EXPECT_EQ(second.pixels[15], 0);
  const uint32_t expect[] = {X, Y, X, Y, X};
  for (int x = 0; x < 5; ++x) EXPECT_EQ(at24(1, x, 0), expect[x]) << x;
  ASSERT_TRUE(mergeWithFirstFrame24(currentSettings(), tableFrames()));
  EXPECT_EQ(headerWidth(appState.frameTable[2].header), 5);
  EXPECT_EQ(at24(2, 4, 1), 0u);
  EXPECT_EQ(at24(2, 3, 1), Z);
}

TEST_F(ColourStepsTest, ReplacementChangesTheRowsInPlaceAndLeavesPaddingAlone) {
  addBmp(spec24(5, 1), {X, Y, X, Z, X});
  readAll();
  FrameRecord& f = appState.frameTable[0];
  f.pixels[15] = 0xEE;  // the row's pad byte in the file
  setPairs({X, Z});
  setAllocGate([](uint64_t) { return false; });
  applyColorReplacement(currentSettings(), tableFrames());
  setAllocGate(nullptr);
  const uint32_t expect[] = {Z, Y, Z, Z, Z};
  for (int x = 0; x < 5; ++x) EXPECT_EQ(at24(0, x, 0), expect[x]) << x;
  EXPECT_EQ(f.pixels[15], 0xEE);
}

}  // namespace
