// Addressing of pixels and mask bits, and the colour order conversion.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "image/pixels.h"
#include "support/pixel_access.h"

namespace {

TEST(ColourOrder, SwapRedBlueExchangesTheOuterColourBytes) {
  struct Case {
    uint32_t in, out;
  } cases[] = {
      {0x000000FF, 0x00FF0000},  // COLORREF red becomes DIB red
      {0x04030201, 0x04010203},  // the top byte passes through
      {0x0000FF00, 0x0000FF00},
      {0xFF000000, 0xFF000000},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(swapRedBlue(c.in), c.out) << std::hex << c.in;
    EXPECT_EQ(swapRedBlue(swapRedBlue(c.in)), c.in);
  }
}

TEST(RowLengths, RowsArePaddedToFourBytes) {
  struct Case {
    int64_t width;
    int bits;
    int64_t bytes;
  } cases[] = {
      {1, 8, 4},  {3, 8, 4},  {4, 8, 4},   {5, 8, 8},    {30, 8, 32},  {32, 8, 32},
      {0, 8, 0},  {1, 24, 4}, {4, 24, 12}, {5, 24, 16},  {30, 24, 92}, {147, 24, 444},
      {0, 24, 0}, {1, 1, 4},  {33, 1, 8},  {256, 1, 32},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(rowStride(c.width, c.bits, 32), c.bytes) << c.width << " x " << c.bits;
  }
  struct MaskCase {
    int64_t width, bytes;
  } masks[] = {{0, 0}, {1, 4}, {32, 4}, {33, 8}, {256, 32}};
  for (const auto& c : masks) EXPECT_EQ(maskStride(c.width), c.bytes) << c.width;
}

TEST(PixelAccess, EightBitRowsAreBottomUp) {
  // 2 x 2 frame, rows of 4 bytes: byte i holds i.
  std::vector<uint8_t> buf(8);
  for (size_t i = 0; i < buf.size(); ++i) buf[i] = static_cast<uint8_t>(i);
  EXPECT_EQ(getPixel8(buf.data(), 2, 2, 1, 0), 5);
  EXPECT_EQ(getPixel8(buf.data(), 2, 2, 1, 1), 1);
  EXPECT_EQ(getPixel8(buf.data(), 2, 2, 0, 0), 4);
  setPixel8(buf.data(), 2, 2, 0, 1, 0xAB);
  EXPECT_EQ(buf[0], 0xAB);
}

TEST(PixelAccess, TwentyFourBitRowsFollowThePaddedRowLength) {
  struct Case {
    int32_t width, height, x, y;
    size_t firstByte;
  } cases[] = {
      {4, 2, 0, 0, 12},                                     // rows of 12 bytes need no padding
      {4, 2, 3, 1, 9},  {5, 2, 0, 0, 16},                   // 15 bytes of pixels, padded to 16
      {5, 2, 4, 0, 28}, {5, 2, 4, 1, 12}, {1, 3, 0, 0, 8},  // rows of 4 bytes
      {3, 2, 2, 0, 18},                                     // 9 bytes, padded to 12
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> buf(static_cast<size_t>(rowStride(c.width, 24, 32) * c.height));
    buf[c.firstByte] = 0x11;
    buf[c.firstByte + 1] = 0x22;
    buf[c.firstByte + 2] = 0x33;
    EXPECT_EQ(getPixel24(buf.data(), c.width, c.height, c.x, c.y), 0x00332211u)
        << c.width << "x" << c.height << " at " << c.x << "," << c.y;
    std::vector<uint8_t> written(buf.size());
    setPixel24(written.data(), c.width, c.height, c.x, c.y, 0xFF332211u);
    EXPECT_EQ(written, buf) << "the top byte is not stored";
  }
}

TEST(PixelAccess, PositionsOutsideTheFrameReadZeroAndWriteNothing) {
  const int32_t w = 3, h = 2;
  std::vector<uint8_t> buf8(static_cast<size_t>(rowStride(w, 8, 32) * h), 0x7F);
  std::vector<uint8_t> buf24(static_cast<size_t>(rowStride(w, 24, 32) * h), 0x7F);
  const std::vector<uint8_t> before8 = buf8, before24 = buf24;
  const int32_t outside[][2] = {{w, 0}, {0, h}, {-1, 0}, {0, -1}, {w, h}};
  for (const auto& p : outside) {
    EXPECT_EQ(getPixel8(buf8.data(), w, h, p[0], p[1]), 0);
    EXPECT_EQ(getPixel24(buf24.data(), w, h, p[0], p[1]), 0u);
    setPixel8(buf8.data(), w, h, p[0], p[1], 1);
    setPixel24(buf24.data(), w, h, p[0], p[1], 0x123456);
  }
  EXPECT_EQ(buf8, before8);
  EXPECT_EQ(buf24, before24);
  // A negative height (a top-down bitmap) has no position inside it.
  EXPECT_EQ(getPixel24(buf24.data(), w, -h, 0, 0), 0u);
}

TEST(MaskBits, LeftmostPixelIsTheHighBitAndRowsAreBottomUp) {
  const int32_t w = 10, h = 3;
  struct Case {
    int32_t x, y;
    size_t byte;
    uint8_t bit;
  } cases[] = {
      {0, 0, 8, 0x80},  // y = 0 is the last row in memory
      {9, 0, 9, 0x40},
      {0, 2, 0, 0x80},
      {7, 1, 4, 0x01},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> mask(static_cast<size_t>(maskStride(w) * h));
    setMaskBit(mask.data(), w, h, c.x, c.y);
    for (size_t i = 0; i < mask.size(); ++i) {
      EXPECT_EQ(mask[i], i == c.byte ? c.bit : 0) << c.x << "," << c.y << " byte " << i;
    }
  }
}

}  // namespace
