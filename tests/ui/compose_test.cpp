#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/runtime.h"
#include "ui/compose.h"
#include "ui/preview.h"
#include "ui/state.h"

namespace {

// Distinct made-up colours, so that a pixel in the wrong place shows.
constexpr PreviewColours kColours = {0x00A0A0A0, 0x00101010, 0x00202020, 0x00F0F0F0, 0x00D0D0D0};
constexpr uint32_t kRed = 0x00FF0000;
constexpr uint32_t kGreen = 0x0000FF00;

struct Region {
  const char* what;
  int left, top, right, bottom;  // right and bottom exclusive
  uint32_t colour;
};

// A frame image of one colour with its mask.
struct TestFrame {
  std::vector<uint32_t> image;
  std::vector<uint8_t> mask;
  int32_t width;
  int32_t height;

  TestFrame(int32_t w, int32_t h, uint32_t colour)
      : image(static_cast<size_t>(w) * h, colour), mask(image.size(), 0), width(w), height(h) {}

  // Makes the pixel transparent the way the mask builder does.
  void clear(int32_t x, int32_t y) {
    image[static_cast<size_t>(y) * width + x] = 0;
    mask[static_cast<size_t>(y) * width + x] = 1;
  }
  ShownFrame shown() { return ShownFrame{image.data(), mask.data(), width, height}; }
  void putFirst() {
    FrameRecord& r = appState.frameTable[0];
    r.previewImage = image.data();
    r.previewMask = mask.data();
    r.width = width;
    r.height = height;
  }
};

class ComposeTest : public testing::Test {
 protected:
  void SetUp() override {
    resetAppState();
    surface_.assign(kPreviewSize * kPreviewSize, 0xDEADBEEF);
  }
  void TearDown() override { resetAppState(); }

  uint32_t at(int x, int y) const { return surface_[static_cast<size_t>(y) * kPreviewSize + x]; }

  void expectRegions(const std::vector<Region>& regions) {
    for (const auto& r : regions) {
      for (int y = r.top; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x) {
          ASSERT_EQ(at(x, y), r.colour) << r.what << " at (" << x << ", " << y << ")";
        }
      }
    }
  }

  // The sunken edge from (0, 0) to (r, b), both exclusive, and the face
  // colour beyond it.
  std::vector<Region> edgeRegions(int r, int b) {
    return {
        {"outer top", 0, 0, r - 1, 1, kColours.shadow},
        {"outer left", 0, 0, 1, b - 1, kColours.shadow},
        {"outer bottom", 0, b - 1, r, b, kColours.highlight},
        {"outer right", r - 1, 0, r, b, kColours.highlight},
        {"inner top", 1, 1, r - 2, 2, kColours.darkShadow},
        {"inner left", 1, 1, 2, b - 2, kColours.darkShadow},
        {"inner bottom", 1, b - 2, r - 1, b - 1, kColours.light},
        {"inner right", r - 2, 1, r - 1, b - 1, kColours.light},
        {"right of the edge", r, 0, kPreviewSize, kPreviewSize, kColours.face},
        {"below the edge", 0, b, r, kPreviewSize, kColours.face},
    };
  }

  std::vector<uint32_t> surface_;
};

TEST_F(ComposeTest, NothingShownIsAPlainFaceColouredSquare) {
  composePreview(surface_.data(), kColours);
  expectRegions({{"whole", 0, 0, kPreviewSize, kPreviewSize, kColours.face}});
}

TEST_F(ComposeTest, AFrameIsDrawnAtTwoTwoInsideASunkenEdge) {
  struct Case {
    int32_t width, height;
  };
  const Case cases[] = {{32, 32}, {1, 1}, {16, 48}, {252, 10}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
    TestFrame frame(c.width, c.height, kRed);
    appState.shownFrame = frame.shown();
    composePreview(surface_.data(), kColours);
    std::vector<Region> regions = edgeRegions(c.width + 4, c.height + 4);
    regions.push_back({"frame", 2, 2, 2 + c.width, 2 + c.height, kRed});
    expectRegions(regions);
  }
}

TEST_F(ComposeTest, TransparentPixelsShowTheFaceColour) {
  TestFrame frame(8, 8, kRed);
  frame.clear(0, 0);
  frame.clear(7, 3);
  appState.shownFrame = frame.shown();
  composePreview(surface_.data(), kColours);
  EXPECT_EQ(at(2, 2), kColours.face);
  EXPECT_EQ(at(9, 5), kColours.face);
  EXPECT_EQ(at(3, 2), kRed);
  EXPECT_EQ(at(9, 4), kRed);
}

TEST_F(ComposeTest, MergeDrawsTheFirstFrameUnderneath) {
  // First frame 32 x 32 green; shown frame 16 x 48 red with a transparent
  // column at x 5 that runs past the first frame's bottom.
  TestFrame first(32, 32, kGreen);
  first.clear(0, 0);
  first.clear(5, 0);
  first.putFirst();
  TestFrame shown(16, 48, kRed);
  for (int y = 0; y < 48; ++y) shown.clear(5, y);
  appState.shownFrame = shown.shown();

  struct Case {
    uint8_t merge;
    std::vector<Region> regions;
  };
  const Case cases[] = {
      {1,
       {{"shown frame", 2, 2, 7, 50, kRed},
        {"first frame through the shown one", 7, 3, 8, 34, kGreen},
        {"transparent in both", 7, 2, 8, 3, kColours.face},
        {"below the first frame", 7, 34, 8, 50, kColours.face},
        {"first frame beside the shown one", 18, 2, 34, 34, kGreen},
        {"first frame's own transparent pixel", 2, 2, 3, 3, kRed},
        {"inner right edge at 36", 34, 1, 35, 51, kColours.light},
        {"outer bottom edge at 52", 0, 51, 36, 52, kColours.highlight},
        {"beyond", 36, 0, 256, 256, kColours.face}}},
      {0,
       {{"shown frame", 2, 2, 7, 50, kRed},
        {"transparent column", 7, 2, 8, 50, kColours.face},
        {"no first frame", 20, 0, 256, 256, kColours.face}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "merge " << int{c.merge});
    appState.optMerge = c.merge;
    composePreview(surface_.data(), kColours);
    expectRegions(c.regions);
    expectRegions(c.merge ? edgeRegions(36, 52) : edgeRegions(20, 52));
  }
}

TEST_F(ComposeTest, MergeWithoutAFirstPreviewDrawsNothingUnderneath) {
  appState.optMerge = 1;
  TestFrame shown(10, 10, kRed);
  shown.clear(4, 4);
  appState.shownFrame = shown.shown();
  composePreview(surface_.data(), kColours);
  EXPECT_EQ(at(6, 6), kColours.face);
  expectRegions(edgeRegions(14, 14));
}

TEST_F(ComposeTest, TransparencyFollowsTheMaskBuilderSwitch) {
  // A frame with a red left half and a green right half; red is the one
  // transparent colour (COLORREF 0x0000FF).
  appState.transColors[0] = 0x000000FF;
  appState.transCount = 1;
  struct Case {
    uint8_t transparent;
    uint32_t leftHalf;
  };
  const Case cases[] = {{1, kColours.face}, {0, kRed}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "transparent " << int{c.transparent});
    appState.optTransparent = c.transparent;
    std::vector<uint32_t> image(16 * 16);
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 16; ++x) image[y * 16 + x] = x < 8 ? kRed : kGreen;
    }
    uint8_t* mask = nullptr;
    buildPreviewMask(image.data(), 16, 16, &mask);
    ASSERT_NE(mask, nullptr);
    appState.shownFrame = ShownFrame{image.data(), mask, 16, 16};
    composePreview(surface_.data(), kColours);
    expectRegions({{"left half", 2, 2, 10, 18, c.leftHalf}, {"right half", 10, 2, 18, 18, kGreen}});
    releaseBlock(mask);
  }
}

TEST_F(ComposeTest, AFrameLargerThanThePreviewIsCutOff) {
  TestFrame frame(300, 300, kRed);
  appState.shownFrame = frame.shown();
  composePreview(surface_.data(), kColours);
  // Only the left and top sides of the edge lie on the surface.
  expectRegions({{"outer top", 0, 0, 256, 1, kColours.shadow},
                 {"outer left", 0, 0, 1, 256, kColours.shadow},
                 {"inner top", 1, 1, 256, 2, kColours.darkShadow},
                 {"inner left", 1, 1, 2, 256, kColours.darkShadow},
                 {"frame", 2, 2, 256, 256, kRed}});
}

TEST_F(ComposeTest, AFrameWithoutAMaskIsOpaque) {
  TestFrame frame(4, 4, kRed);
  appState.shownFrame = ShownFrame{frame.image.data(), nullptr, 4, 4};
  composePreview(surface_.data(), kColours);
  expectRegions({{"frame", 2, 2, 6, 6, kRed}});
  expectRegions(edgeRegions(8, 8));
}

}  // namespace
