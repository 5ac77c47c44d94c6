// Written cursors loaded by the system's own loader: LoadImageA reads the
// file, user32's GetCursorFrameInfo reports its steps and rates, GetIconInfo
// a frame's hotspot and bitmaps, and DrawIconEx draws every step over two
// backgrounds, so that transparent pixels must show the background and
// opaque ones their own colour.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "ani/ani_reader.h"
#include "app/batch.h"
#include "frames/frame_setup.h"
#include "image/pixels.h"
#include "show/contact_sheet.h"
#include "ui/preview.h"
#include "ui/win32/preview_window.h"

namespace {

using GetCursorFrameInfoFn = HCURSOR(WINAPI*)(HCURSOR, DWORD, DWORD, DWORD*, DWORD*);

GetCursorFrameInfoFn cursorFrameInfo() {
  FARPROC proc = GetProcAddress(GetModuleHandleA("user32.dll"), "GetCursorFrameInfo");
  // Through the generic function type, which converts to any other.
  return reinterpret_cast<GetCursorFrameInfoFn>(reinterpret_cast<void (*)()>(proc));
}

constexpr uint32_t kBack = 0x00FF00FF;  // the transparent colour, DIB order
constexpr int kCanvas = 64;

// A top-down 32-bit surface to draw on, filled with one colour.
class Canvas {
 public:
  explicit Canvas(uint32_t fill) {
    dc_ = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    bitmap_ = createTopDownDib(dc_, kCanvas, kCanvas, &bits);
    bits_ = static_cast<uint32_t*>(bits);
    old_ = SelectObject(dc_, bitmap_);
    for (int i = 0; i < kCanvas * kCanvas; ++i) bits_[i] = fill;
  }
  ~Canvas() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  HDC dc() const { return dc_; }
  void set(int x, int y, uint32_t colour) { bits_[y * kCanvas + x] = colour; }
  uint32_t at(int x, int y) const {
    GdiFlush();
    return bits_[y * kCanvas + x] & 0x00FFFFFF;
  }

 private:
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
  uint32_t* bits_ = nullptr;
};

class CursorLoaderTest : public FrameTableTest {
 protected:
  void SetUp() override {
    FrameTableTest::SetUp();
    appState.optTransparent = 1;
    appState.transColors[0] = swapRedBlue(kBack);
    appState.transCount = 1;
  }
};

// Frame k of w x h: transparent pixels on the left, right and top edges and
// on a diagonal pattern, the others in colours that differ per frame and
// (within a 9 x 9 tile, so that an 8-bit palette can hold them) per pixel.
std::vector<uint32_t> picture(int32_t w, int32_t h, int k) {
  std::vector<uint32_t> px(static_cast<size_t>(w) * h);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      const bool ring = x == 0 || y == 0 || x == w - 1 || (x + y + k) % 4 == 0;
      px[static_cast<size_t>(y) * w + x] =
          ring ? kBack
               : static_cast<uint32_t>(0x200000 * (1 + k) + 0x001800 * (x % 9) + 0x11 * (y % 9));
    }
  }
  return px;
}

// An 8-bit frame of the same picture: index 0 is the transparent colour.
std::vector<uint32_t> paletteFor(const std::vector<uint32_t>& px, std::vector<uint32_t>& indices) {
  std::vector<uint32_t> palette = {kBack};
  for (uint32_t c : px) {
    size_t i = 0;
    while (i < palette.size() && palette[i] != c) ++i;
    if (i == palette.size()) palette.push_back(c);
    indices.push_back(static_cast<uint32_t>(i));
  }
  return palette;
}

struct Size {
  int32_t w, h;
};

// Draws step `step` over two backgrounds and compares the `written` frame
// with the `source` picture seen from (dx, dy), the crop's corner; pixels
// beyond the picture are black.
void expectDrawn(HCURSOR cursor, int step, const std::vector<uint32_t>& picture, Size source,
                 Size written, int32_t dx, int32_t dy, const std::string& what) {
  for (uint32_t background : {0x00FFFFFFu, 0x00123456u}) {
    Canvas canvas(background);
    ASSERT_TRUE(DrawIconEx(canvas.dc(), 0, 0, cursor, 0, 0, step, nullptr, DI_NORMAL)) << what;
    int wrong = 0;
    for (int32_t y = 0; y < written.h; ++y) {
      for (int32_t x = 0; x < written.w; ++x) {
        const int32_t sx = x + dx, sy = y + dy;
        const uint32_t src =
            sx < source.w && sy < source.h ? picture[static_cast<size_t>(sy) * source.w + sx] : 0;
        const uint32_t expected = src == kBack ? background : src;
        if (canvas.at(x, y) != expected && wrong++ < 5) {
          ADD_FAILURE() << what << " step " << step << " at " << x << "," << y << ": drawn "
                        << std::hex << canvas.at(x, y) << ", expected " << expected;
        }
      }
    }
    // Nothing is drawn beside the frame.
    EXPECT_EQ(canvas.at(written.w + 1, 1), background) << what;
    EXPECT_EQ(canvas.at(1, written.h + 1), background) << what;
  }
}

TEST_F(CursorLoaderTest, SystemLoaderShowsEveryFrameOverAnyBackground) {
  auto frameInfo = cursorFrameInfo();
  ASSERT_NE(frameInfo, nullptr) << "user32 exports GetCursorFrameInfo";
  struct Case {
    const char* what;
    bool is24;
    bool optimize;
    int32_t w, h;
  } cases[] = {
      {"24-bit 5 x 7", true, false, 5, 7},
      {"24-bit 14 x 9, optimized (widened to 16 columns)", true, true, 14, 9},
      {"24-bit 32 x 32", true, false, 32, 32},
      {"8-bit 5 x 7", false, false, 5, 7},
      {"8-bit 30 x 17, optimized", false, true, 30, 17},
  };
  const int kFrames = 3;
  for (const auto& c : cases) {
    SetUp();
    appState.optOptimize = c.optimize;
    std::vector<std::vector<uint32_t>> pictures;
    for (int k = 0; k < kFrames; ++k) {
      pictures.push_back(picture(c.w, c.h, k));
      if (c.is24) {
        addBmp(spec24(c.w, c.h), pictures.back());
      } else {
        std::vector<uint32_t> indices;
        std::vector<uint32_t> palette = paletteFor(pictures.back(), indices);
        addBmp(spec8(c.w, c.h, palette), indices);
      }
    }
    const std::string file = path("cursor.ani");
    ASSERT_TRUE(buildAndRelease(file)) << c.what;
    const ParsedAni ani = parseFile(file);
    ASSERT_EQ(ani.icons.size(), static_cast<size_t>(kFrames));
    const int32_t ww = ani.icons[0].width(), wh = ani.icons[0].height();
    if (c.optimize) {
      EXPECT_EQ(ww, c.is24 ? 16 : c.w - 2) << c.what;
      EXPECT_EQ(wh, c.h - 1) << c.what;
    }
    // The crop's offset: the content of every frame starts at column 1 and
    // row 1; 24-bit crops are widened to start at column 0.
    const int32_t dx = c.optimize && !c.is24 ? 1 : 0;
    const int32_t dy = c.optimize ? 1 : 0;

    auto cursor = static_cast<HCURSOR>(
        LoadImageA(nullptr, file.c_str(), IMAGE_CURSOR, 0, 0, LR_LOADFROMFILE));
    ASSERT_NE(cursor, nullptr) << c.what;
    DWORD rate = 0, steps = 0;
    ASSERT_NE(frameInfo(cursor, 0, 0, &rate, &steps), nullptr) << c.what;
    EXPECT_EQ(steps, static_cast<DWORD>(kFrames)) << c.what;
    EXPECT_EQ(rate, 10u) << c.what;

    for (int k = 0; k < kFrames; ++k) {
      expectDrawn(cursor, k, pictures[k], {c.w, c.h}, {ww, wh}, dx, dy, c.what);
    }
    DestroyCursor(cursor);
    TearDown();
  }
}

TEST_F(CursorLoaderTest, SystemLoaderReadsAScriptsTimingOrderAndHotspot) {
  auto frameInfo = cursorFrameInfo();
  ASSERT_NE(frameInfo, nullptr);
  const Size source{14, 9};
  const std::string out = path("script.ani");
  std::vector<std::vector<uint32_t>> pictures;
  std::string script = "[Result]\r\n" + out + "\r\n[BMP]\r\n";
  for (int k = 0; k < 3; ++k) {
    pictures.push_back(picture(source.w, source.h, k));
    const std::string file = path("step" + std::to_string(k) + ".bmp");
    ASSERT_TRUE(writeFileBytes(file, makeBmp(spec24(source.w, source.h), pictures.back())));
    script += file + "\r\n";
  }
  script +=
      "[Hotspot]\r\n5,4\r\n[Rate]\r\n50ms\r\n2\r\n3\r\n4\r\n[Sequence]\r\n3\r\n1\r\n3\r\n2\r\n"
      "[Title]\r\nLoader\r\n[Author]\r\nWine\r\n";
  ASSERT_TRUE(writeFileBytes(path("build.txt"), script));
  // With the transparent magenta of SetUp: a crop to (0, 1, 15, 8), which
  // moves the hotspot up one row.
  appState.optOptimize = 1;
  ASSERT_TRUE(runBatchScript(path("build.txt").c_str()));
  releaseAllPreviews();
  EXPECT_TRUE(takeShownErrors().empty());

  auto cursor =
      static_cast<HCURSOR>(LoadImageA(nullptr, out.c_str(), IMAGE_CURSOR, 0, 0, LR_LOADFROMFILE));
  ASSERT_NE(cursor, nullptr);
  const DWORD rates[] = {3, 2, 3, 4};
  const int shows[] = {2, 0, 2, 1};
  for (int step = 0; step < 4; ++step) {
    DWORD rate = 0, steps = 0;
    HCURSOR frame = frameInfo(cursor, 0, step, &rate, &steps);
    ASSERT_NE(frame, nullptr) << step;
    EXPECT_EQ(steps, 4u);
    EXPECT_EQ(rate, rates[step]) << step;
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(frame, &info)) << step;
    EXPECT_FALSE(info.fIcon);
    EXPECT_EQ(info.xHotspot, 5u) << step;
    EXPECT_EQ(info.yHotspot, 3u) << step;
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    expectDrawn(cursor, step, pictures[shows[step]], source, {16, 8}, 0, 1,
                "step " + std::to_string(step));
  }
  DestroyCursor(cursor);
}

TEST_F(CursorLoaderTest, FramesWiderThan255PixelsLoadAtTheirSize) {
  auto frameInfo = cursorFrameInfo();
  ASSERT_NE(frameInfo, nullptr);
  for (int k = 0; k < 3; ++k) {
    std::vector<uint32_t> indices;
    const std::vector<uint32_t> palette = paletteFor(picture(300, 100, k), indices);
    addBmp(spec8(300, 100, palette), indices);
  }
  const std::string file = path("wide.ani");
  ASSERT_TRUE(buildAndRelease(file));
  EXPECT_EQ(parseFile(file).icons[0].entryWidth, 0);
  auto cursor =
      static_cast<HCURSOR>(LoadImageA(nullptr, file.c_str(), IMAGE_CURSOR, 0, 0, LR_LOADFROMFILE));
  ASSERT_NE(cursor, nullptr);
  for (int step = 0; step < 3; ++step) {
    DWORD rate = 0, steps = 0;
    HCURSOR frame = frameInfo(cursor, 0, step, &rate, &steps);
    ASSERT_NE(frame, nullptr) << step;
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(frame, &info)) << step;
    BITMAP colour{};
    ASSERT_NE(info.hbmColor, nullptr) << step;
    ASSERT_NE(GetObjectA(info.hbmColor, sizeof colour, &colour), 0) << step;
    EXPECT_EQ(colour.bmWidth, 300) << step;
    EXPECT_EQ(colour.bmHeight, 100) << step;
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
  }
  DestroyCursor(cursor);
}

// Cursors with pictures at several sizes: the loader takes the picture of
// the size asked for in every frame, with that picture's hotspot, and draws
// it as kinetor-show's contact sheet does, partly transparent edges included.
// A .cur of one frame loads as a static cursor with its hotspot.
TEST_F(CursorLoaderTest, SizedPicturesLoadAtEachSizeAndDrawAsTheSheetShowsThem) {
  auto frameInfo = cursorFrameInfo();
  ASSERT_NE(frameInfo, nullptr);
  struct Hotspot {
    int32_t side;
    uint32_t x, y;
  };
  struct Case {
    const char* what;
    int depth;
    const char* result;
    int frames;
    Size source;
    std::vector<Hotspot> hotspots;  // worked out by hand from 5,4 on the source
  } cases[] = {
      {"24-bit frames", 24, "sized24.ani", 3, {14, 9}, {{32, 11, 14}, {48, 17, 21}, {64, 22, 29}}},
      {"8-bit frames", 8, "sized8.ani", 2, {14, 9}, {{32, 11, 14}, {48, 17, 21}, {64, 22, 29}}},
      {"32-bit frames with alpha of their own",
       32,
       "sized32.ani",
       2,
       {14, 9},
       {{32, 11, 14}, {48, 17, 21}, {64, 22, 29}}},
      {"24-bit frames shrunk: partly transparent edges",
       24,
       "shrunk.ani",
       2,
       {100, 70},
       {{32, 1, 6}, {48, 2, 8}, {64, 3, 11}}},
      {"a static cursor", 24, "static.cur", 1, {14, 9}, {{32, 11, 14}, {48, 17, 21}, {64, 22, 29}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string out = path(c.result);
    std::string script = "[Result]\r\n" + out + "\r\n[BMP]\r\n";
    const Size source = c.source;
    for (int k = 0; k < c.frames; ++k) {
      std::vector<uint32_t> px = picture(source.w, source.h, k);
      const std::string file = path(std::string(c.result) + std::to_string(k) + ".bmp");
      std::vector<uint32_t> indices;
      const std::vector<uint32_t> palette = paletteFor(px, indices);
      if (c.depth == 32) {
        // Alpha in three steps; the transparent colour is alpha 0 already.
        for (size_t i = 0; i < px.size(); ++i) {
          px[i] = px[i] == kBack ? 0 : (0x55u * (1 + i % 3)) << 24 | px[i];
        }
      }
      BmpLayout layout = spec24(source.w, source.h);
      layout.bitCount = static_cast<uint16_t>(c.depth);
      ASSERT_TRUE(writeFileBytes(file, c.depth == 8
                                           ? makeBmp(spec8(source.w, source.h, palette), indices)
                                           : makeBmp(layout, px)));
      script += file + "\r\n";
    }
    script += "[Hotspot]\r\n5,4\r\n[Sizes]\r\n32, 48, 64\r\n";
    ASSERT_TRUE(writeFileBytes(path("sized.txt"), script));
    ASSERT_TRUE(runBatchScript(path("sized.txt").c_str()));
    releaseAllPreviews();
    ASSERT_TRUE(takeShownErrors().empty());

    const std::string bytes = readFileBytes(out);
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    for (const Hotspot& want : c.hotspots) {
      SCOPED_TRACE(want.side);
      AniFile ani;
      readAniFile(data, bytes.size(), ani);
      aniChooseImages(ani, want.side);
      SheetLayout layout;
      std::string why;
      ASSERT_TRUE(planContactSheet(ani, data, layout, why)) << why;
      std::vector<uint8_t> sheet;
      renderContactSheet(ani, data, layout, sheet);

      auto cursor = static_cast<HCURSOR>(
          LoadImageA(nullptr, out.c_str(), IMAGE_CURSOR, want.side, want.side, LR_LOADFROMFILE));
      ASSERT_NE(cursor, nullptr);
      for (int step = 0; step < c.frames; ++step) {
        DWORD rate = 0, steps = 0;
        HCURSOR frame = c.frames == 1 ? cursor : frameInfo(cursor, 0, step, &rate, &steps);
        ASSERT_NE(frame, nullptr) << step;
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(frame, &info)) << step;
        EXPECT_EQ(info.xHotspot, want.x) << step;
        EXPECT_EQ(info.yHotspot, want.y) << step;
        BITMAP colour{};
        ASSERT_NE(info.hbmColor, nullptr) << step;
        ASSERT_NE(GetObjectA(info.hbmColor, sizeof colour, &colour), 0) << step;
        EXPECT_EQ(colour.bmWidth, want.side) << step;
        EXPECT_EQ(colour.bmHeight, want.side) << step;
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);

        ASSERT_EQ(layout.cellWidth, want.side);
        // Partly transparent pixels may differ by one step per channel: the
        // system blends premultiplied colours, rounding twice, the sheet
        // rounds once.
        const AniImage* drawn = ani.frames[static_cast<size_t>(step)].drawn();
        ASSERT_NE(drawn, nullptr);
        std::vector<uint32_t> pixels(static_cast<size_t>(want.side) * want.side);
        std::vector<uint8_t> mask(pixels.size());
        ASSERT_TRUE(decodeAniFrame(data, bytes.size(), *drawn, pixels.data(), mask.data()));
        int wrong = 0;
        for (int band = 0; band < sheet::kBands; ++band) {
          Canvas canvas(0);
          for (int y = 0; y < kCanvas; ++y) {
            for (int x = 0; x < kCanvas; ++x) canvas.set(x, y, checkerColour(band, x, y));
          }
          ASSERT_TRUE(DrawIconEx(canvas.dc(), 0, 0, cursor, 0, 0, step, nullptr, DI_NORMAL));
          const int64_t left = sheetCellLeft(layout, step), top = sheetCellTop(layout, band);
          for (int y = 0; y < want.side; ++y) {
            for (int x = 0; x < want.side; ++x) {
              const uint8_t* p = sheet.data() + 3 * ((top + y * layout.scale) * layout.width +
                                                     left + x * layout.scale);
              const uint32_t shown = uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
              const uint32_t alpha = pixels[static_cast<size_t>(y) * want.side + x] >> 24;
              const int slack = alpha == 0 || alpha == 255 ? 0 : 1;
              bool same = true;
              for (int shift = 0; shift < 24; shift += 8) {
                const int d = int((canvas.at(x, y) >> shift) & 0xFF) - int((shown >> shift) & 0xFF);
                same = same && std::abs(d) <= slack;
              }
              if (!same && wrong++ < 5) {
                ADD_FAILURE() << "step " << step << " band " << band << " at " << x << "," << y
                              << ": sheet " << std::hex << shown << ", DrawIconEx "
                              << canvas.at(x, y);
              }
            }
          }
        }
      }
      DestroyCursor(cursor);
    }
  }
}

}  // namespace
