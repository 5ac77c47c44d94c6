// The AND mask and the byte counts of a frame.
#include "frames/mask.h"
#include "frame_setup.h"
#include "image/bitmap_format.h"
#include "image/frame_reader.h"
#include "image/pixels.h"

namespace {

constexpr uint32_t kBack = 0x00FF00FF, kInk = 0x00336699;

class MaskTest : public FrameTableTest {
 protected:
  FrameRecord& readOne(const BmpLayout& layout, const std::vector<uint32_t>& px) {
    addBmp(layout, px);
    FrameRecord& f = appState.frameTable[appState.frameCount - 1];
    readFrame(f);
    EXPECT_NE(f.fileData, nullptr);
    return f;
  }
  bool bit(const FrameRecord& f, int32_t x, int32_t y) {
    const int32_t w = headerWidth(f.header), h = headerHeight(f.header);
    const int64_t at = maskStride(w) * (h - 1 - y) + x / 8;
    return (f.maskBits[at] >> (7 - x % 8)) & 1;
  }
};

TEST_F(MaskTest, ByteCountsFollowThePaddedRows) {
  struct Case {
    BmpLayout layout;
    int32_t pixelBytes, maskBytes;
  } cases[] = {
      {spec24(32, 32), 3072, 128},
      {spec8(30, 2, greyPalette(2)), 64, 8},
      {spec24(30, 2), 184, 8},  // rows of 90 bytes padded to 92
      {spec24(5, 3), 48, 12},
      {spec24(0, 3), 0, 0},
      {spec8(7, 0, greyPalette(2)), 0, 0},
  };
  for (const auto& c : cases) {
    SetUp();
    const int32_t h = c.layout.height;
    FrameRecord& f = readOne(c.layout, solid(c.layout.width, h, 0));
    EXPECT_EQ(buildMask(currentSettings(), f, headerBitCount(f.header) == 24), Failure::none);
    EXPECT_EQ(f.pixelBytes, c.pixelBytes) << c.layout.width << "x" << h;
    EXPECT_EQ(f.maskBytes, c.maskBytes) << c.layout.width << "x" << h;
    EXPECT_NE(f.maskBits, nullptr);
    TearDown();
  }
}

TEST_F(MaskTest, TransparentTwentyFourBitPixelsTurnBlackAndGetTheirBit) {
  struct Case {
    const char* what;
    bool transparencyOn;
    std::vector<uint32_t> listed;  // DIB order
  } cases[] = {
      {"listed", true, {kBack}},
      {"listed twice with a stranger", true, {0x00010203, kBack, kBack}},
      {"black listed", true, {0}},
      {"transparency off", false, {kBack}},
      {"empty list", true, {}},
  };
  for (const auto& c : cases) {
    SetUp();
    appState.optTransparent = c.transparencyOn;
    for (size_t i = 0; i < c.listed.size(); ++i) appState.transColors[i] = swapRedBlue(c.listed[i]);
    appState.transCount = static_cast<int32_t>(c.listed.size());
    // 5 wide so that the rows carry padding.
    const std::vector<uint32_t> px = {kBack, kInk, 0, kBack, kInk, 0, kBack, kBack, kInk, 0};
    FrameRecord& f = readOne(spec24(5, 2), px);
    ASSERT_EQ(buildMask(currentSettings(), f, headerBitCount(f.header) == 24), Failure::none);
    auto listed = [&](uint32_t v) {
      if (!c.transparencyOn) return false;
      for (uint32_t t : c.listed)
        if (t == v) return true;
      return false;
    };
    for (int32_t i = 0; i < 10; ++i) {
      const int32_t x = i % 5, y = i / 5;
      const bool gone = listed(px[i]);
      EXPECT_EQ(bit(f, x, y), gone) << c.what << " " << x << "," << y;
      EXPECT_EQ(getPixel24(f.pixels, 5, 2, x, y), gone ? 0u : px[i]) << c.what;
    }
    TearDown();
  }
}

TEST_F(MaskTest, EightBitPixelsMatchThroughTheirPaletteEntry) {
  appState.optTransparent = 1;
  appState.transColors[0] = swapRedBlue(kBack);
  appState.transCount = 1;
  // Indices 1 and 3 hold the transparent colour; 2 holds it with a reserved
  // byte and does not match.
  const std::vector<uint32_t> palette = {kInk, kBack, kBack | 0x7F000000u, kBack};
  const std::vector<uint32_t> px = {0, 1, 2, 3, 3, 2, 1, 0, 1};
  FrameRecord& f = readOne(spec8(9, 1, palette), px);
  ASSERT_EQ(buildMask(currentSettings(), f, headerBitCount(f.header) == 24), Failure::none);
  for (int32_t x = 0; x < 9; ++x) {
    EXPECT_EQ(bit(f, x, 0), px[x] == 1 || px[x] == 3) << x;
    EXPECT_EQ(f.pixels[x], px[x]) << "indices stay as they were";
  }
}

TEST_F(MaskTest, TopLeftPixelIsTheHighBitOfTheLastRow) {
  appState.optTransparent = 1;
  appState.transColors[0] = swapRedBlue(kBack);
  appState.transCount = 1;
  std::vector<uint32_t> px = solid(3, 3, kInk);
  px[0] = kBack;
  FrameRecord& f = readOne(spec24(3, 3), px);
  ASSERT_EQ(buildMask(currentSettings(), f, headerBitCount(f.header) == 24), Failure::none);
  for (int32_t i = 0; i < f.maskBytes; ++i) EXPECT_EQ(f.maskBits[i], i == 8 ? 0x80 : 0) << i;
}

TEST_F(MaskTest, NegativeHeightAndRefusedBlocksMakeNoMask) {
  // The reader turns top-down rows over, so only a header changed after it
  // holds a negative height.
  FrameRecord& f = readOne(spec24(4, 4), solid(4, 4, kInk));
  setHeaderHeight(f.header, -4);
  EXPECT_EQ(buildMask(currentSettings(), f, headerBitCount(f.header) == 24), Failure::maskBadSize);
  EXPECT_EQ(f.maskBits, nullptr);
  setHeaderHeight(f.header, 4);
  setAllocGate([](uint64_t) { return false; });
  EXPECT_EQ(buildMask(currentSettings(), f, headerBitCount(f.header) == 24),
            Failure::maskOutOfMemory);
  setAllocGate(nullptr);
  EXPECT_EQ(f.maskBits, nullptr);
  EXPECT_EQ(f.pixelBytes, 48);
  EXPECT_EQ(f.maskBytes, 16);
}

}  // namespace
