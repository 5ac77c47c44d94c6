// kinetor-show's contact sheet against the system's own drawing: each step
// of the example, over the sheet's light and dark checkerboards, must be
// what DrawIconEx draws of the cursor LoadImageA loads from the same file.
#include <windows.h>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include "stb_image.h"

#include <cstdint>
#include <memory>

#include "show/contact_sheet.h"
#include "show/cursor_bytes.h"
#include "show/example_cursor.h"
#include "ui/win32/preview_window.h"

namespace {

// A top-down 32-bit surface of one frame's size.
class Canvas {
 public:
  Canvas(int width, int height) : width_(width) {
    dc_ = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    bitmap_ = createTopDownDib(dc_, width, height, &bits);
    bits_ = static_cast<uint32_t*>(bits);
    old_ = SelectObject(dc_, bitmap_);
  }
  ~Canvas() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  HDC dc() const { return dc_; }
  void set(int x, int y, uint32_t colour) { bits_[y * width_ + x] = colour; }
  uint32_t at(int x, int y) const {
    GdiFlush();
    return bits_[y * width_ + x] & 0x00FFFFFF;
  }

 private:
  int width_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
  uint32_t* bits_ = nullptr;
};

// White and green where the example's top rows are see-through, so that
// those pixels invert the background instead of showing it.
std::string withColourUnderTheMask(std::string bytes) {
  AniFile file;
  readAniFile(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), file);
  for (const AniFrame& frame : file.frames) {
    const AniImage& f = frame.images.at(0);
    const uint64_t stride = (uint64_t(f.width) * 3 + 3) / 4 * 4,
                   maskStride = (f.width + 31) / 32 * 4;
    for (int32_t y = 0; y < 12; ++y) {
      const uint64_t row = uint64_t(f.height - 1 - y);
      for (int32_t x = 0; x < f.width; ++x) {
        const auto maskByte = static_cast<uint8_t>(bytes[f.maskAt + row * maskStride + x / 8]);
        if (((maskByte >> (7 - x % 8)) & 1) == 0 || (x + y) % 3 == 2) continue;
        char* p = &bytes[f.colourAt + row * stride + 3 * uint64_t(x)];
        p[0] = p[2] = (x + y) % 3 == 0 ? '\xFF' : '\0';  // blue, red
        p[1] = '\xFF';                                   // green
      }
    }
  }
  return bytes;
}

// Two frames of several sizes, 32-bit with alpha 0 or 255 only, so that
// blending leaves no rounding to disagree on: a bitmap and a PNG at 32 x 32
// among other sizes, which loaders at 32 x 32 must pass over.
std::string withSeveralSizes() {
  using namespace cursorbytes;
  auto pattern = [](int w, int h, uint32_t argb) {
    std::string s = bitmapImage(w, h, 32, 0);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const uint32_t c = (x / 4 + y / 3) % 3 == 0 ? 0 : argb ^ uint32_t(x * 5 + y * 3);
        setLe32(s, 40 + 4 * size_t(y * w + x), (x + y) % 5 == 0 ? 0 : c | 0xFF000000u);
      }
    }
    return s;
  };
  return animated({directory(2, {{16, 16, pattern(16, 16, 0x00FF0000)},
                                 {32, 32, pattern(32, 32, 0x0000C040)},
                                 {48, 48, pattern(48, 48, 0x000000FF)}}),
                   directory(2, {{24, 24, pattern(24, 24, 0x00FF0000)},
                                 {32, 32, pngImage(32, 32, 0xFF8020A0)}})});
}

class ShowSheetTest : public ExampleCursorTest {};

TEST_F(ShowSheetTest, ContactSheetIsWhatDrawIconExDraws) {
  const std::string example = buildExample("example.anim");
  struct Case {
    const char* what;
    std::string bytes;
    uint32_t steps;
  } cases[] = {
      {"the example as built", example, 12},
      {"the example with colour under its mask", withColourUnderTheMask(example), 12},
      {"frames of several sizes, a PNG among them", withSeveralSizes(), 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string file = path("shown.anim"), png = path("shown.png");
    ASSERT_TRUE(writeFileBytes(file, c.bytes));
    const ProcessResult r = show({file, "--png", png});
    ASSERT_EQ(r.exitCode, 0) << r.output << r.errorOutput;

    AniFile ani;
    readAniFile(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size(), ani);
    SheetLayout layout;
    std::string why;
    ASSERT_TRUE(
        planContactSheet(ani, reinterpret_cast<const uint8_t*>(c.bytes.data()), layout, why));
    ASSERT_EQ(layout.steps, c.steps);
    const std::string encoded = readFileBytes(png);
    int width = 0, height = 0, channels = 0;
    std::unique_ptr<stbi_uc, void (*)(void*)> sheet(
        stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(encoded.data()),
                              static_cast<int>(encoded.size()), &width, &height, &channels, 3),
        stbi_image_free);
    ASSERT_NE(sheet, nullptr) << stbi_failure_reason();
    ASSERT_EQ(width, layout.width);
    ASSERT_EQ(height, layout.height);
    auto sheetAt = [&](int64_t x, int64_t y) {
      const stbi_uc* p = sheet.get() + 3 * (y * width + x);
      return uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
    };

    auto cursor = static_cast<HCURSOR>(
        LoadImageA(nullptr, file.c_str(), IMAGE_CURSOR, kLoaderSide, kLoaderSide, LR_LOADFROMFILE));
    ASSERT_NE(cursor, nullptr);
    int wrong = 0, compared = 0;
    for (uint32_t step = 0; step < layout.steps; ++step) {
      for (int band = 0; band < sheet::kBands; ++band) {
        Canvas canvas(layout.cellWidth, layout.cellHeight);
        for (int y = 0; y < layout.cellHeight; ++y) {
          for (int x = 0; x < layout.cellWidth; ++x) canvas.set(x, y, checkerColour(band, x, y));
        }
        ASSERT_TRUE(DrawIconEx(canvas.dc(), 0, 0, cursor, 0, 0, step, nullptr, DI_NORMAL));
        const int64_t left = sheetCellLeft(layout, step), top = sheetCellTop(layout, band);
        for (int y = 0; y < layout.cellHeight; ++y) {
          for (int x = 0; x < layout.cellWidth; ++x) {
            // Every sheet pixel of the frame pixel, scale x scale of them.
            for (int d = 0; d < layout.scale * layout.scale; ++d) {
              const uint32_t drawn = canvas.at(x, y);
              const uint32_t shown = sheetAt(left + x * layout.scale + d % layout.scale,
                                             top + y * layout.scale + d / layout.scale);
              ++compared;
              if (shown != drawn && wrong++ < 5) {
                ADD_FAILURE() << "step " << step << " band " << band << " at " << x << "," << y
                              << ": sheet " << std::hex << shown << ", DrawIconEx " << drawn;
              }
            }
          }
        }
      }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(compared, static_cast<int>(c.steps) * 2 * 96 * 96);
    DestroyCursor(cursor);
  }
}

}  // namespace
