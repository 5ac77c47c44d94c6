// The merge of later 8-bit frames over the first, on palette indices.
#include "frames/palette_steps.h"
#include "frame_setup.h"
#include "image/bitmap_format.h"
#include "image/frame_reader.h"
#include "image/pixels.h"

namespace {

constexpr uint32_t X = 0x00112233, Y = 0x00445566, Z = 0x00778899, T = 0x00FF00FF;

class PaletteStepsTest : public FrameTableTest {
 protected:
  void readAll() {
    for (int k = 0; k < appState.frameCount; ++k) {
      readFrame(appState.frameTable[k]);
      ASSERT_NE(appState.frameTable[k].fileData, nullptr) << k;
    }
  }
  uint8_t at8(int k, int32_t x, int32_t y) {
    const FrameRecord& f = appState.frameTable[k];
    return getPixel8(f.pixels, headerWidth(f.header), headerHeight(f.header), x, y);
  }
};

TEST_F(PaletteStepsTest, EightBitMergeCarriesIndicesAndTestsTheLaterFramesPalette) {
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

}  // namespace
