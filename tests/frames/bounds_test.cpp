// Content bounds, their union, the 24-bit widening and the crop or copy.
#include "frames/bounds.h"
#include "frame_setup.h"
#include "image/bitmap_format.h"
#include "image/frame_reader.h"
#include "image/pixels.h"

namespace {

// The 24-bit steps crop or copy each frame just before they take it; here
// every frame is taken in turn.
bool cropOrCopyFrames24(const Settings& settings, std::span<FrameRecord> frames,
                        const ContentRect& r) {
  for (FrameRecord& f : frames) {
    if (!cropOrCopyFrame(settings, f, r, 24)) return false;
  }
  return true;
}

constexpr uint32_t kBack = 0x00FF00FF;  // DIB magenta, the transparent colour
constexpr uint32_t kInk = 0x00102030;

class BoundsTest : public FrameTableTest {
 protected:
  void SetUp() override {
    FrameTableTest::SetUp();
    appState.transColors[0] = swapRedBlue(kBack);
    appState.transCount = 1;
  }
  void readAll() {
    for (int k = 0; k < appState.frameCount; ++k) {
      readFrame(appState.frameTable[k]);
      ASSERT_NE(appState.frameTable[k].fileData, nullptr) << k;
    }
  }
};

// A w x h 24-bit picture of the background with ink in the block
// [x0, x1] x [y0, y1] (inclusive; empty when x1 < x0).
std::vector<uint32_t> block(int32_t w, int32_t h, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  std::vector<uint32_t> px = solid(w, h, kBack);
  for (int32_t y = y0; y <= y1; ++y)
    for (int32_t x = x0; x <= x1; ++x) px[static_cast<size_t>(y) * w + x] = kInk;
  return px;
}

TEST_F(BoundsTest, FrameBoundsFollowTheFourScans) {
  struct Case {
    const char* what;
    int32_t w, h;
    std::vector<uint32_t> px;
    int transCount;
    ContentRect expected;
  } cases[] = {
      {"ink block", 32, 32, block(32, 32, 8, 4, 15, 19), 1, {8, 4, 15, 19}},
      {"no transparent colours", 6, 5, block(6, 5, 2, 2, 2, 2), 0, {0, 0, 5, 4}},
      {"all transparent", 6, 5, solid(6, 5, kBack), 1, kEmptyRect},
      {"a single dot", 1, 1, solid(1, 1, kInk), 1, {0, 0, 0, 0}},
      {"a single row", 7, 3, block(7, 3, 1, 1, 5, 1), 1, {1, 1, 5, 1}},
      {"single column", 6, 5, block(6, 5, 3, 0, 3, 4), 1, {3, 0, 3, 4}},
      {"ink in the last column only", 6, 5, block(6, 5, 5, 1, 5, 2), 1, {5, 1, 5, 2}},
      {"ink in column 0 only", 6, 5, block(6, 5, 0, 1, 0, 3), 1, {0, 1, 0, 3}},
      {"taller than wide, ink at the bottom right", 3, 9, block(3, 9, 2, 8, 2, 8), 1, {2, 8, 2, 8}},
      {"whole frame", 4, 4, solid(4, 4, kInk), 1, {0, 0, 3, 3}},
  };
  for (auto& c : cases) {
    SetUp();
    appState.transCount = c.transCount;
    addBmp(spec24(c.w, c.h), c.px);
    readAll();
    EXPECT_EQ(findContentBounds24(currentSettings(), appState.frameTable[0]), c.expected) << c.what;
    TearDown();
  }
}

TEST_F(BoundsTest, EightBitBoundsTestThePaletteEntryWithItsReservedByte) {
  // Index 1 is the background, index 2 the same colour with a reserved byte,
  // which is not a match.
  std::vector<uint32_t> palette = {kInk, kBack, kBack | 0x01000000u};
  std::vector<uint32_t> px = solid(8, 6, 1);
  px[2 * 8 + 3] = 2;
  px[4 * 8 + 5] = 0;
  addBmp(spec8(8, 6, palette), px);
  readAll();
  EXPECT_EQ(findContentBounds8(currentSettings(), appState.frameTable[0]),
            (ContentRect{3, 2, 5, 4}));
}

TEST_F(BoundsTest, ScansUseTheColourListEvenWithTransparencyOff) {
  appState.optTransparent = 0;
  addBmp(spec24(10, 10), block(10, 10, 2, 3, 6, 7));
  readAll();
  EXPECT_EQ(unionContentBounds(currentSettings(), tableFrames(), tableIs24()),
            (ContentRect{2, 3, 6, 7}));
}

TEST_F(BoundsTest, UnionKeepsThinRectanglesAndSkipsEmptyOnes) {
  struct Case {
    ContentRect a, b, expected;
  } cases[] = {
      {{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}}, {{5, 4, 0, 0}, {1, 1, 3, 3}, {1, 1, 3, 3}},
      {{1, 1, 3, 3}, {2, 2, 2, 9}, {1, 1, 3, 9}},  // one column wide: counted
      {{1, 1, 3, 3}, {2, 0, 8, 2}, {1, 0, 8, 3}}, {{4, 4, 1, 1}, {7, 7, 2, 2}, kEmptyRect},
      {kEmptyRect, {6, 6, 6, 6}, {6, 6, 6, 6}},
  };
  for (const auto& c : cases) EXPECT_EQ(unionRect(c.a, c.b), c.expected);
}

TEST_F(BoundsTest, UnionOverFramesSkipsOnlyFullyTransparentFrames) {
  addBmp(spec24(12, 12), block(12, 12, 2, 2, 4, 4));
  addBmp(spec24(12, 12), solid(12, 12, kBack));
  addBmp(spec24(12, 12), block(12, 12, 6, 1, 6, 9));  // one column
  addBmp(spec24(12, 12), block(12, 12, 3, 5, 9, 7));
  readAll();
  EXPECT_EQ(unionContentBounds(currentSettings(), tableFrames(), tableIs24()),
            (ContentRect{2, 1, 9, 9}));
}

TEST_F(BoundsTest, TwentyFourBitWideningRoundsToMultiplesOfFour) {
  struct Case {
    ContentRect in, out;
  } cases[] = {
      {{5, 2, 29, 20}, {4, 2, 31, 20}}, {{8, 4, 15, 19}, {8, 4, 15, 19}},
      {{0, 0, 29, 9}, {0, 0, 31, 9}},   {{0, 0, 0, 0}, {0, 0, 3, 0}},
      {{-1, -1, 0, 0}, {0, -1, 3, 0}},  {{1, 0, 1, 5}, {0, 0, 3, 5}},
      {kEmptyRect, kEmptyRect},
  };
  for (const auto& c : cases) EXPECT_EQ(widenBoundsFor24Bit(c.in), c.out);
}

TEST_F(BoundsTest, CopyDuplicatesThePixelsWhenNotOptimizing) {
  appState.transCount = 0;
  addBmp(spec24(5, 3), block(5, 3, 1, 1, 3, 1));
  readAll();
  const FrameRecord& f = appState.frameTable[0];
  const std::vector<uint8_t> before(f.pixels, f.pixels + 16 * 3);
  ASSERT_TRUE(cropOrCopyFrames24(currentSettings(), tableFrames(), {0, 0, 1, 1}));
  ASSERT_NE(f.workPixels, nullptr);
  EXPECT_EQ(f.pixels, f.workPixels);
  EXPECT_EQ(std::vector<uint8_t>(f.pixels, f.pixels + 16 * 3), before)
      << "rows keep their padded length";
  EXPECT_EQ(headerWidth(f.header), 5);
  EXPECT_EQ(headerHeight(f.header), 3);
}

TEST_F(BoundsTest, CropTrimsEveryFrameToTheSameRectangle) {
  appState.optOptimize = 1;
  addBmp(spec24(6, 4), block(6, 4, 1, 1, 4, 2));
  addBmp(spec24(3, 3), solid(3, 3, kInk));  // smaller frame: the rest reads 0
  readAll();
  const ContentRect r{1, 1, 4, 2};
  ASSERT_TRUE(cropOrCopyFrames24(currentSettings(), tableFrames(), r));
  for (int k = 0; k < 2; ++k) {
    const FrameRecord& f = appState.frameTable[k];
    ASSERT_EQ(headerWidth(f.header), 4);
    ASSERT_EQ(headerHeight(f.header), 2);
    for (int32_t y = 0; y < 2; ++y) {
      for (int32_t x = 0; x < 4; ++x) {
        const bool inside = k == 0 || (1 + x < 3 && 1 + y < 3);
        EXPECT_EQ(getPixel24(f.pixels, 4, 2, x, y), inside ? kInk : 0u)
            << "frame " << k << " at " << x << "," << y;
      }
    }
  }
}

TEST_F(BoundsTest, EmptyRectangleLeavesFramesUncroppedWhenOptimizing) {
  appState.optOptimize = 1;
  addBmp(spec24(4, 4), solid(4, 4, kBack));
  readAll();
  const FrameRecord& f = appState.frameTable[0];
  uint8_t* const inFile = f.pixels;
  ASSERT_TRUE(
      cropOrCopyFrames24(currentSettings(), tableFrames(),
                         unionContentBounds(currentSettings(), tableFrames(), tableIs24())));
  EXPECT_EQ(f.pixels, inFile);
  EXPECT_EQ(f.workPixels, nullptr);
  EXPECT_EQ(headerWidth(f.header), 4);
}

TEST_F(BoundsTest, EightBitCropIsNotWidened) {
  appState.optOptimize = 1;
  std::vector<uint32_t> palette = {kBack, kInk};
  std::vector<uint32_t> px = solid(32, 24, 0);
  px[2 * 32 + 5] = 1;
  px[20 * 32 + 29] = 1;
  addBmp(spec8(32, 24, palette), px);
  readAll();
  const ContentRect r = unionContentBounds(currentSettings(), tableFrames(), tableIs24());
  EXPECT_EQ(r, (ContentRect{5, 2, 29, 20}));
  ASSERT_TRUE(cropOrCopyFrames8(currentSettings(), tableFrames(), r));
  const FrameRecord& f = appState.frameTable[0];
  EXPECT_EQ(headerWidth(f.header), 25);
  EXPECT_EQ(headerHeight(f.header), 19);
  EXPECT_EQ(getPixel8(f.pixels, 25, 19, 0, 0), 1);
  EXPECT_EQ(getPixel8(f.pixels, 25, 19, 24, 18), 1);
  EXPECT_EQ(getPixel8(f.pixels, 25, 19, 1, 0), 0);
}

TEST_F(BoundsTest, CropBufferThatCannotBeHadIsReported) {
  appState.optOptimize = 1;
  addBmp(spec24(8, 8), block(8, 8, 1, 1, 5, 5));
  readAll();
  setAllocGate([](uint64_t) { return false; });
  EXPECT_FALSE(cropOrCopyFrames24(currentSettings(), tableFrames(), {0, 0, 7, 7}));
  appState.optOptimize = 0;
  EXPECT_FALSE(cropOrCopyFrames24(currentSettings(), tableFrames(), {0, 0, 7, 7}));
  setAllocGate(nullptr);
}

}  // namespace
