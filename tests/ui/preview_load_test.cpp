// The portable preview loader: every BMP layout a Windows bitmap loader takes,
// refusals that leave the record clear, and the transparency mask.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/runtime.h"
#include "support/bmp_writer.h"
#include "support/process.h"
#include "ui/preview.h"
#include "ui/state.h"

namespace {

class PreviewLoadTest : public testing::Test {
 protected:
  void SetUp() override {
    resetAppState();
    if (dir_.empty()) dir_ = makeTempDir();
  }
  void TearDown() override {
    appState.frameCount = kMaxEntries;
    releaseAllPreviews();
  }

  std::string writeFile(const std::string& bytes) {
    std::string path = dir_ + "/f" + std::to_string(counter_++) + ".bmp";
    EXPECT_TRUE(writeFileBytes(path, bytes));
    return path;
  }

  // Loads the bytes as frame 1 and returns its pixels, top row first.
  bool load(const std::string& bytes, std::vector<uint32_t>* pixels = nullptr) {
    bool ok = loadPreview(1, writeFile(bytes).c_str());
    const FrameRecord& r = appState.frameTable[0];
    if (ok && pixels != nullptr) {
      pixels->assign(r.previewImage, r.previewImage + static_cast<size_t>(r.width) * r.height);
    }
    return ok;
  }

  static void expectClear(const FrameRecord& r) {
    EXPECT_EQ(r.previewImage, nullptr);
    EXPECT_EQ(r.previewMask, nullptr);
    EXPECT_EQ(r.width, 0);
    EXPECT_EQ(r.height, 0);
  }

  static std::string dir_;
  int counter_ = 0;
};
std::string PreviewLoadTest::dir_;

// A picture whose every pixel differs and whose rows and columns cannot be
// confused: index or colour of (x, y).
uint32_t indexAt(int32_t x, int32_t y, int colors) {
  return static_cast<uint32_t>(x * 3 + y * 7) % static_cast<uint32_t>(colors);
}

std::vector<uint32_t> colourPalette(int n) {
  std::vector<uint32_t> p;
  // Distinct colours with all three channels in use; the reserved byte is set
  // on purpose, since the loader must ignore it.
  for (int i = 0; i < n; ++i) {
    p.push_back(0xAB000000u | static_cast<uint32_t>((i * 37) & 0xFF) << 16 |
                static_cast<uint32_t>((255 - i) & 0xFF) << 8 | static_cast<uint32_t>(i * 5 & 0xFF));
  }
  return p;
}

struct PaletteCase {
  uint16_t bitCount;
  uint32_t headerSize;
  int32_t width;
  int32_t height;  // negative: top-down
  int paletteSize;
  uint32_t gap;
};

TEST_F(PreviewLoadTest, LoadsPaletteBitmapsOfEveryDepthHeaderAndOrientation) {
  const PaletteCase cases[] = {
      {1, 40, 13, 5, 2, 0},  {1, 12, 9, 3, 2, 0},     {1, 40, 33, -4, 2, 0},  {4, 40, 7, 6, 16, 0},
      {4, 12, 5, 2, 16, 0},  {4, 124, 3, -3, 16, 6},  {4, 40, 6, 2, 5, 0},    {8, 40, 5, 4, 256, 0},
      {8, 12, 3, 3, 256, 0}, {8, 108, 6, -2, 200, 0}, {8, 124, 1, 1, 256, 0}, {8, 40, 9, 3, 12, 10},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("depth " + std::to_string(c.bitCount) + " header " + std::to_string(c.headerSize) +
                 " size " + std::to_string(c.width) + "x" + std::to_string(c.height));
    BmpLayout layout;
    layout.bitCount = c.bitCount;
    layout.headerSize = c.headerSize;
    layout.width = c.width;
    layout.height = c.height;
    layout.palette = colourPalette(c.paletteSize);
    layout.clrUsed = c.paletteSize == (1 << c.bitCount) ? 0 : static_cast<uint32_t>(c.paletteSize);
    layout.gapAfterPalette = c.gap;
    const int32_t rows = c.height < 0 ? -c.height : c.height;
    std::vector<uint32_t> indices;
    for (int32_t y = 0; y < rows; ++y)
      for (int32_t x = 0; x < c.width; ++x) indices.push_back(indexAt(x, y, c.paletteSize));

    std::vector<uint32_t> pixels;
    ASSERT_TRUE(load(makeBmp(layout, indices), &pixels));
    EXPECT_EQ(appState.frameTable[0].width, c.width);
    EXPECT_EQ(appState.frameTable[0].height, rows);
    for (size_t i = 0; i < indices.size(); ++i) {
      ASSERT_EQ(pixels[i], layout.palette[indices[i]] & 0xFFFFFF) << "pixel " << i;
    }
  }
}

struct DirectCase {
  const char* what;
  uint16_t bitCount;
  uint32_t headerSize;
  uint32_t compression;
  uint32_t masks[3];
  int32_t height;
  std::vector<std::pair<uint32_t, uint32_t>> pixels;  // raw value, colour expected
};

TEST_F(PreviewLoadTest, LoadsDirectColourBitmapsWithTheirMasks) {
  const DirectCase cases[] = {
      {"24-bit",
       24,
       40,
       0,
       {},
       3,
       {{0x123456, 0x123456}, {0xFF0000, 0xFF0000}, {0x0000FF, 0x0000FF}, {0, 0}}},
      {"24-bit top-down, V5", 24, 124, 0, {}, -2, {{0xABCDEF, 0xABCDEF}, {0x010203, 0x010203}}},
      {"24-bit core", 24, 12, 0, {}, 2, {{0x00FF80, 0x00FF80}, {0x7F7F7F, 0x7F7F7F}}},
      // The fourth byte of a 32-bit pixel is its alpha: 255 opaque, 0 clear
      // (the background shows through), in between let through by 255 - alpha.
      {"32-bit",
       32,
       40,
       0,
       {},
       2,
       {{0xFF102030, 0x102030}, {0x00FFFFFF, kPreviewClear}, {0x40ABCDEF, 0xBFABCDEF}}},
      // Alpha 0 everywhere: the byte was left clear, the picture is opaque.
      {"32-bit, fourth byte unused",
       32,
       40,
       0,
       {},
       2,
       {{0x00102030, 0x102030}, {0x00FFFFFF, 0xFFFFFF}}},
      // 5-5-5: five bits abcde widen to abcdeabc.
      {"16-bit 5-5-5",
       16,
       40,
       0,
       {},
       2,
       {{0x7FFF, 0xFFFFFF},
        {0x7C00, 0xFF0000},
        {0x0001, 0x000008},
        {0x0210, 0x008484},
        {0x8000, 0x000000}}},
      {"16-bit 5-6-5 bit fields",
       16,
       40,
       3,
       {0xF800, 0x07E0, 0x001F},
       -2,
       {{0xFFFF, 0xFFFFFF}, {0x07E0, 0x00FF00}, {0x0020, 0x000400}, {0x8000, 0x840000}}},
      {"16-bit 4-4-4 fields in a V4 header",
       16,
       108,
       3,
       {0x0F00, 0x00F0, 0x000F},
       2,
       {{0x0F00, 0xFF0000}, {0x0081, 0x008811}, {0xF000, 0x000000}}},
      {"32-bit fields, colour in the upper bytes",
       32,
       40,
       3,
       {0xFF000000, 0x00FF0000, 0x0000FF00},
       2,
       {{0x11223344, 0x112233}, {0x000000FF, 0x000000}}},
      {"32-bit 10-10-10 fields in a V5 header",
       32,
       124,
       3,
       {0x3FF00000, 0x000FFC00, 0x000003FF},
       2,
       {{0x3FF00000, 0xFF0000}, {0x00000200, 0x000080}, {0x00080000 | 0x3FF, 0x0080FF}}},
      {"32-bit with a zero mask",
       32,
       52,
       3,
       {0, 0x0000FF00, 0x000000FF},
       1,
       {{0xFFFFFF, 0x00FFFF}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    BmpLayout layout;
    layout.bitCount = c.bitCount;
    layout.headerSize = c.headerSize;
    layout.compression = c.compression;
    layout.redMask = c.masks[0];
    layout.greenMask = c.masks[1];
    layout.blueMask = c.masks[2];
    const int32_t rows = c.height < 0 ? -c.height : c.height;
    layout.height = c.height;
    layout.width = static_cast<int32_t>(c.pixels.size());
    // Row y holds the raw values shifted by y places, so that a row read in
    // the wrong order shows.
    std::vector<uint32_t> raw, expected;
    for (int32_t y = 0; y < rows; ++y) {
      for (size_t x = 0; x < c.pixels.size(); ++x) {
        const auto& p = c.pixels[(x + static_cast<size_t>(y)) % c.pixels.size()];
        raw.push_back(p.first);
        expected.push_back(p.second);
      }
    }
    std::vector<uint32_t> pixels;
    ASSERT_TRUE(load(makeBmp(layout, raw), &pixels));
    EXPECT_EQ(appState.frameTable[0].height, rows);
    EXPECT_EQ(pixels, expected);
  }
}

TEST_F(PreviewLoadTest, PixelsStartAtTheFileOffsetOrBehindThePalette) {
  BmpLayout layout;
  layout.bitCount = 8;
  layout.width = 2;
  layout.height = 2;
  layout.palette = colourPalette(4);
  layout.clrUsed = 4;
  const std::vector<uint32_t> indices = {0, 1, 2, 3};
  std::vector<uint32_t> pixels;

  // An offset of 0 means "directly behind the palette".
  layout.offBitsOverride = 0;
  ASSERT_TRUE(load(makeBmp(layout, indices), &pixels));
  EXPECT_EQ(pixels[3], layout.palette[3] & 0xFFFFFF);

  // Behind a 40-byte header the bit-field masks come before the rows.
  BmpLayout fields;
  fields.bitCount = 16;
  fields.compression = 3;
  fields.width = 2;
  fields.height = 1;
  fields.redMask = 0xF800;
  fields.greenMask = 0x07E0;
  fields.blueMask = 0x001F;
  fields.offBitsOverride = 0;
  ASSERT_TRUE(load(makeBmp(fields, std::vector<uint32_t>{0xF800, 0x001F}), &pixels));
  EXPECT_EQ(pixels, (std::vector<uint32_t>{0xFF0000, 0x0000FF}));

  // With a gap, only the offset tells where the rows are; the gap's bytes
  // (index 0xEE would be black) must not be read as pixels.
  layout.offBitsOverride = -1;
  layout.gapAfterPalette = 8;
  std::string bytes = makeBmp(layout, indices);
  for (size_t i = 14 + 40 + 16; i < 14 + 40 + 16 + 8; ++i) bytes[i] = '\xEE';
  ASSERT_TRUE(load(bytes, &pixels));
  EXPECT_EQ(pixels[0], layout.palette[0] & 0xFFFFFF);

  // Indices beyond a short palette show black.
  layout.gapAfterPalette = 0;
  layout.palette.resize(2);
  layout.clrUsed = 2;
  ASSERT_TRUE(load(makeBmp(layout, indices), &pixels));
  EXPECT_EQ(pixels, (std::vector<uint32_t>{layout.palette[0] & 0xFFFFFF,
                                           layout.palette[1] & 0xFFFFFF, 0x000000, 0x000000}));
}

std::string withPixelData(BmpLayout layout, const std::string& data) {
  const int32_t rows = layout.height < 0 ? -layout.height : layout.height;
  std::string bytes =
      makeBmp(layout, std::vector<uint32_t>(static_cast<size_t>(layout.width) * rows, 0));
  uint32_t offBits = static_cast<uint8_t>(bytes[10]) | static_cast<uint8_t>(bytes[11]) << 8;
  return bytes.substr(0, offBits) + data;
}

struct RleCase {
  const char* what;
  uint32_t compression;  // 1 = RLE8, 2 = RLE4
  int32_t width, height;
  std::string data;
  std::vector<int> expected;  // palette index per pixel, top row first; -1 = black
};

TEST_F(PreviewLoadTest, DecodesRunLengthBitmapsWithinTheirBounds) {
  using std::string;
  const RleCase cases[] = {
      {"RLE8 runs, literal, delta, end",
       1,
       4,
       3,
       // bottom row: 3 x 1, 1 x 2, end of line
       string("\x03\x01\x01\x02\x00\x00", 6) +
           // middle row: literal 3, 2, 1 (padded), end of line
           string("\x00\x03\x03\x02\x01\x00\x00\x00", 8) +
           // top row: move 2 right, 2 x 3, end of bitmap
           string("\x00\x02\x02\x00\x02\x03\x00\x01", 8),
       {-1, -1, 3, 3, 3, 2, 1, -1, 1, 1, 1, 2}},
      {"RLE8 runs past the edge are cut",
       1,
       2,
       2,
       string("\x05\x01\x00\x00\x01\x02\x00\x01", 8),
       {2, -1, 1, 1}},
      {"RLE8 data ending early keeps what was decoded",
       1,
       3,
       2,
       string("\x02\x03\x00\x03\x01", 5),
       {-1, -1, -1, 3, 3, -1}},
      {"RLE8 delta beyond the top ends the picture",
       1,
       2,
       2,
       string("\x00\x02\x00\x09\x01\x01", 6),
       {-1, -1, -1, -1}},
      {"RLE4 runs alternate their two indices",
       2,
       5,
       2,
       string("\x05\x12\x00\x00", 4) + string("\x00\x03\x31\x20\x00\x01", 6),
       {3, 1, 2, -1, -1, 1, 2, 1, 2, 1}},
      // Five literal indices take three bytes and a pad byte (0xFF, not a code).
      {"RLE4 odd literal is padded to a word",
       2,
       6,
       1,
       string("\x00\x05\x12\x34\x50\xFF\x01\x60", 8),
       {1, 2, 3, 4, 5, 6}},
  };
  const std::vector<uint32_t> palette = colourPalette(16);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    BmpLayout layout;
    layout.width = c.width;
    layout.height = c.height;
    layout.bitCount = c.compression == 1 ? 8 : 4;
    layout.compression = c.compression;
    layout.palette = palette;
    layout.clrUsed = 16;
    std::vector<uint32_t> pixels;
    ASSERT_TRUE(load(withPixelData(layout, c.data), &pixels));
    std::vector<uint32_t> expected;
    for (int i : c.expected) expected.push_back(i < 0 ? 0 : palette[i] & 0xFFFFFF);
    EXPECT_EQ(pixels, expected);
  }
}

std::string validBmp() {
  BmpLayout layout;
  layout.width = 4;
  layout.height = 4;
  return makeBmp(layout, [](int32_t x, int32_t y) { return static_cast<uint32_t>(x * 50 + y); });
}

struct RefusalCase {
  const char* what;
  std::string bytes;
};

std::vector<RefusalCase> refusals() {
  std::vector<RefusalCase> out;
  auto changed = [](size_t at, uint32_t value) {
    std::string s = validBmp();
    setLe32(s, at, value);
    return s;
  };
  auto layout = [](auto adjust) {
    BmpLayout s;
    s.width = 4;
    s.height = 2;
    adjust(s);
    const int32_t rows = s.height < 0 ? -s.height : s.height;
    return makeBmp(s,
                   std::vector<uint32_t>(
                       static_cast<size_t>(s.width > 0 ? s.width : 0) * (rows > 0 ? rows : 0), 0));
  };
  std::string mb = validBmp();
  mb[0] = 'M';
  mb[1] = 'B';
  out.push_back({"not BM", mb});
  out.push_back({"file header only", validBmp().substr(0, 14)});
  out.push_back({"header cut short", validBmp().substr(0, 30)});
  out.push_back({"last row cut short", validBmp().substr(0, validBmp().size() - 1)});
  out.push_back({"header size 20", changed(14, 20)});
  out.push_back({"header size 64", changed(14, 64)});
  out.push_back({"width 0", changed(18, 0)});
  out.push_back({"negative width", changed(18, 0xFFFFFFFF)});
  out.push_back({"height 0", changed(22, 0)});
  out.push_back({"height INT32_MIN", changed(22, 0x80000000)});
  out.push_back({"width 16385", changed(18, 16385)});
  out.push_back({"rows beyond the file", changed(22, 1000)});
  out.push_back({"offset beyond the file", changed(10, 0x7FFFFFFF)});
  out.push_back({"offset leaves too few rows", changed(10, 60)});
  out.push_back({"JPEG compression", changed(30, 4)});
  out.push_back({"PNG compression", changed(30, 5)});
  out.push_back({"RLE8 on 24 bits", changed(30, 1)});
  out.push_back({"bit fields on 24 bits", changed(30, 3)});
  out.push_back({"two planes", layout([](BmpLayout& s) { s.planes = 2; })});
  out.push_back({"depth 2", [] {
                   std::string s = validBmp();
                   s[28] = 2;
                   return s;
                 }()});
  out.push_back({"depth 0", [] {
                   std::string s = validBmp();
                   s[28] = 0;
                   return s;
                 }()});
  out.push_back({"RLE8 top-down", layout([](BmpLayout& s) {
                   s.bitCount = 8;
                   s.compression = 1;
                   s.height = -2;
                   s.palette = colourPalette(256);
                 })});
  out.push_back({"RLE4 on 8 bits", layout([](BmpLayout& s) {
                   s.bitCount = 8;
                   s.compression = 2;
                   s.palette = colourPalette(256);
                 })});
  out.push_back({"palette beyond the file", layout([](BmpLayout& s) {
                   s.bitCount = 8;
                   s.clrUsed = 0;
                   s.palette = colourPalette(2);
                   s.offBitsOverride = 14 + 40 + 8;
                 })});
  out.push_back({"bit field masks beyond the file", [] {
                   std::string s = validBmp().substr(0, 14 + 40) + "\x01";
                   s[28] = 32;
                   s[30] = 3;
                   return s;
                 }()});
  out.push_back({"16-bit core header", layout([](BmpLayout& s) {
                   s.bitCount = 16;
                   s.headerSize = 12;
                 })});
  out.push_back({"RLE8 picture larger than allowed", [] {
                   std::string b = "BM" + std::string(12, '\0');
                   std::string h(40, '\0');
                   setLe32(h, 0, 40);
                   setLe32(h, 4, 16384);
                   setLe32(h, 8, 4097);
                   h[12] = 1;
                   h[14] = 8;
                   h[16] = 1;
                   b += h + std::string(1024, '\0') + std::string("\x00\x01", 2);
                   return b;
                 }()});
  return out;
}

TEST_F(PreviewLoadTest, RefusesWhatItCannotDecodeAndLeavesTheFieldsZero) {
  for (const auto& c : refusals()) {
    SCOPED_TRACE(c.what);
    // A preview loaded before must not survive a failed reload.
    ASSERT_TRUE(load(validBmp()));
    EXPECT_FALSE(load(c.bytes));
    expectClear(appState.frameTable[0]);
  }
  EXPECT_FALSE(loadPreview(1, (dir_ + "/missing.bmp").c_str()));
  EXPECT_FALSE(loadPreview(1, ""));
  EXPECT_FALSE(loadPreview(1, nullptr));
  EXPECT_FALSE(loadPreview(1, dir_.c_str()));
  expectClear(appState.frameTable[0]);
  // Frame numbers outside the table touch nothing.
  std::string path = writeFile(validBmp());
  EXPECT_FALSE(loadPreview(0, path.c_str()));
  EXPECT_FALSE(loadPreview(256, path.c_str()));
  EXPECT_FALSE(loadPreview(-1, path.c_str()));
  EXPECT_TRUE(loadPreview(255, path.c_str()));
  EXPECT_EQ(appState.frameTable[254].width, 4);
}

TEST_F(PreviewLoadTest, TheLargestSidesAndPicturesAreAccepted) {
  // RLE8 files of a few bytes that declare large pictures: a side of up to
  // 16384 pixels, and up to 4096 x 4096 pixels in all, whatever the file's size.
  struct Case {
    int32_t width, height;
    bool accepted;
  } cases[] = {{16384, 1, true},    {16385, 1, false},   {4096, 4096, true},   {16384, 1024, true},
               {4097, 4096, false}, {8192, 8192, false}, {16384, 16384, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
    BmpLayout s;
    s.width = 1;
    s.height = 1;
    s.bitCount = 8;
    s.compression = 1;
    s.palette = colourPalette(256);
    std::string bytes = withPixelData(s, std::string("\x02\x05\x00\x01", 4));
    setLe32(bytes, 18, static_cast<uint32_t>(c.width));
    setLe32(bytes, 22, static_cast<uint32_t>(c.height));
    ASSERT_EQ(load(bytes), c.accepted);
    const FrameRecord& r = appState.frameTable[0];
    if (!c.accepted) continue;
    ASSERT_EQ(r.width, c.width);
    ASSERT_EQ(r.height, c.height);
    // The codes fill the bottom row's first two pixels; the rest is black.
    const uint32_t* bottom = r.previewImage + static_cast<size_t>(c.height - 1) * c.width;
    EXPECT_EQ(bottom[1], s.palette[5] & 0xFFFFFF);
    EXPECT_EQ(bottom[2], 0u);
  }
}

struct MaskCase {
  const char* what;
  uint8_t transparent;
  std::vector<uint32_t> colors;   // COLORREF values
  std::vector<uint32_t> picture;  // 0x00RRGGBB, one row
  std::vector<uint8_t> mask;
};

TEST_F(PreviewLoadTest, MaskMarksExactlyTheTransparentColoursAndBlackensThem) {
  const uint32_t red = 0xFF0000, blue = 0x0000FF, magenta = 0xFF00FF, near = 0xFE00FF;
  const MaskCase cases[] = {
      {"magenta", 1, {0xFF00FF}, {magenta, near, red, magenta}, {1, 0, 0, 1}},
      // The lists hold COLORREF values: 0x0000FF is red.
      {"colour order", 1, {0x0000FF}, {red, blue}, {1, 0}},
      {"several colours", 1, {0x123456, 0xFF0000, 0x0000FF}, {red, blue, magenta}, {1, 1, 0}},
      {"black itself", 1, {0}, {0, red, 0}, {1, 0, 1}},
      {"switched off", 0, {0xFF00FF}, {magenta, red}, {0, 0}},
      {"switched on, no colours", 1, {}, {magenta, red}, {0, 0}},
      // A COLORREF's top byte is not colour: only the 24 colour bits count.
      {"top byte ignored", 1, {0x02FF0000}, {blue, red}, {1, 0}},
      {"listed twice", 1, {0xFF00FF, 0xFF00FF}, {magenta, blue}, {1, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    appState.optTransparent = c.transparent;
    appState.transCount = static_cast<int32_t>(c.colors.size());
    for (size_t i = 0; i < c.colors.size(); ++i) appState.transColors[i] = c.colors[i];
    BmpLayout layout;
    layout.width = static_cast<int32_t>(c.picture.size());
    layout.height = 1;
    std::vector<uint32_t> pixels;
    ASSERT_TRUE(load(makeBmp(layout, c.picture), &pixels));
    const FrameRecord& r = appState.frameTable[0];
    ASSERT_NE(r.previewMask, nullptr);
    EXPECT_EQ(std::vector<uint8_t>(r.previewMask, r.previewMask + c.picture.size()), c.mask);
    for (size_t i = 0; i < c.picture.size(); ++i) {
      EXPECT_EQ(pixels[i], c.mask[i] ? 0u : c.picture[i]) << "pixel " << i;
    }
  }
}

TEST_F(PreviewLoadTest, PaletteFramesMatchByTheirEntriesColour) {
  // Two indices with the same colour both match; the reserved byte of an
  // entry does not stop a match on the screen.
  BmpLayout layout;
  layout.bitCount = 8;
  layout.width = 3;
  layout.height = 1;
  layout.palette = {0x00FF00FF, 0x7FFF00FF, 0x00000000};
  layout.clrUsed = 3;
  appState.optTransparent = 1;
  appState.transCount = 1;
  appState.transColors[0] = 0xFF00FF;
  ASSERT_TRUE(load(makeBmp(layout, std::vector<uint32_t>{0, 1, 2})));
  const FrameRecord& r = appState.frameTable[0];
  EXPECT_EQ(std::vector<uint8_t>(r.previewMask, r.previewMask + 3),
            (std::vector<uint8_t>{1, 1, 0}));
}

TEST_F(PreviewLoadTest, RefusedMemoryLeavesNoHalfPreview) {
  const std::string path = writeFile(validBmp());  // 4 x 4: image 64 bytes, mask 16
  for (uint64_t refused : {uint64_t{64}, uint64_t{16}}) {
    static uint64_t g_refused;
    g_refused = refused;
    AllocGate old = setAllocGate([](uint64_t bytes) { return bytes != g_refused; });
    EXPECT_FALSE(loadPreview(1, path.c_str())) << refused;
    setAllocGate(old);
    expectClear(appState.frameTable[0]);
  }
  EXPECT_TRUE(loadPreview(1, path.c_str()));
}

TEST_F(PreviewLoadTest, ReleaseClearsTheFieldsAndIsHarmlessTwice) {
  const std::string path = writeFile(validBmp());
  for (int n = 1; n <= 3; ++n) ASSERT_TRUE(loadPreview(n, path.c_str()));
  releasePreview(2);
  expectClear(appState.frameTable[1]);
  releasePreview(2);
  releasePreview(0);
  releasePreview(256);
  EXPECT_NE(appState.frameTable[0].previewImage, nullptr);
  appState.frameCount = 3;
  releaseAllPreviews();
  EXPECT_EQ(appState.frameCount, 0);
  for (int i = 0; i < 3; ++i) expectClear(appState.frameTable[i]);

  uint8_t unused = 0;
  uint8_t* mask = &unused;
  buildPreviewMask(nullptr, 4, 4, &mask);
  EXPECT_EQ(mask, nullptr);
}

}  // namespace
