// readFrame over arbitrary file bytes. A file it accepts must hold every
// pixel row it promises; the later steps then walk those rows.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/runtime.h"
#include "frames/alpha_steps.h"
#include "frames/bounds.h"
#include "frames/mask.h"
#include "harness.h"
#include "image/bitmap_format.h"
#include "image/frame_reader.h"
#include "image/pixels.h"
#include "platform/platform.h"
#include "seed_bitmaps.h"
#include "seed_png.h"
#include "support/content_bounds.h"
#include "ui/build_table.h"
#include "ui/settings_state.h"
#include "ui/state.h"

namespace {

// A new file each time: rewriting a truncated file makes some file systems
// flush it to disk, which would slow every run down.
bool writeAll(const std::string& path, const uint8_t* data, size_t size) {
  plat::removeFile(path.c_str());
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

void check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = [] {
    fuzzQuietErrors();
    return fuzzScratchDir() + "/frame.bmp";
  }();
  if (!writeAll(path, data, size)) return 0;

  resetAppState();
  FrameRecord& f = appState.frameTable[0];
  f.path = static_cast<char*>(allocZeroed(kPathCapacity));
  std::snprintf(f.path, kPathCapacity, "%s", path.c_str());
  appState.frameCount = 1;
  const Failure why = readFrame(f);
  check((why == Failure::none) == (f.header != nullptr));
  if (f.header != nullptr && frameHasAlpha(f)) {
    // Decoded into the frame's own rows, within the limits.
    const int32_t w = headerWidth(f.header);
    const int32_t h = headerHeight(f.header);
    check(f.fileData == nullptr && f.pixels == f.workPixels && f.pixels != nullptr);
    check(w > 0 && h > 0 && w <= kMaxAlphaFrameSide && h <= kMaxAlphaFrameSide);
    appState.transColors[0] = swapRedBlue(0xFF00FF);
    appState.transCount = 1;
    appState.optTransparent = 1;
    settleAlphaColours(currentSettings(), {&f, 1});
    (void)unionAlphaBounds({&f, 1});
    check(buildAlphaMasks({&f, 1}));
  } else if (f.fileData != nullptr) {
    check(f.header != nullptr && f.palette == f.header + kPaletteOffset);
    const int32_t w = headerWidth(f.header);
    const int32_t h = headerHeight(f.header);
    const int64_t rows = h < 0 ? -int64_t{h} : h;
    const int64_t used = f.pixels - f.fileData;
    check(w >= 0 && used >= 0 && used <= static_cast<int64_t>(size));
    check(rows == 0 ||
          rowStride(w, headerBitCount(f.header), 32) * rows <= static_cast<int64_t>(size) - used);
    // Walk the rows the way the later steps do; the build stops at a frame
    // without pixels before them.
    if (w == 0 || rows == 0) {
      releaseFrameBuffers();
      return 0;
    }
    f.width = w;
    f.height = static_cast<int32_t>(rows);
    appState.transColors[0] = swapRedBlue(0xFF00FF);
    appState.transCount = 1;
    appState.optTransparent = 1;
    const bool is24 = headerBitCount(f.header) == 24;
    (void)unionContentBounds(currentSettings(), {&f, 1}, is24);
    (void)buildMask(currentSettings(), f, is24);
  }
  releaseFrameBuffers();
  return 0;
}

std::vector<std::string> kinetorFuzzSeeds() {
  std::vector<std::string> out;
  out.push_back(seeds::bitmap(4, 4, 24));
  out.push_back(seeds::bitmap(5, 3, 24));
  out.push_back(seeds::bitmap(7, 2, 8, 40, 16));
  out.push_back(seeds::bitmap(3, 3, 8, 124, 256));
  out.push_back(seeds::bitmap(6, -4, 24, 108));
  out.push_back(seeds::bitmap(0, 0, 8, 40, 2));
  std::string truncated = seeds::bitmap(9, 9, 24);
  truncated.resize(truncated.size() - 5);
  out.push_back(truncated);
  // The largest file read, and one byte more, which is refused.
  std::string largest = seeds::bitmap(85, 255, 24);
  largest.resize(65535, '\0');
  out.push_back(largest);
  out.push_back(largest + '\0');
  // Frames with alpha: plain and bit-field 32-bit bitmaps, top-down, PNGs.
  out.push_back(seeds::bitmap32(5, 4));
  out.push_back(seeds::bitmap32(6, -3, true, 124));
  out.push_back(seeds::bitmap32(3, 3, true, 40));
  out.push_back(seeds::bitmap32(4, 2, true, 56));
  out.push_back(seeds::png(6, 5, 6, 8));
  out.push_back(seeds::png(5, 4, 3, 4, true, true));
  out.push_back(seeds::png(7, 3, 0, 16, true));
  // Small files that declare pictures far beyond the limits.
  std::string wide = seeds::bitmap32(2, 2);
  for (int i = 0; i < 4; ++i) wide[18 + i] = wide[22 + i] = "\x00\xEA\x00\x00"[i];
  out.push_back(wide);
  std::string huge = seeds::png(2, 2, 6, 8);
  huge[16] = huge[20] = '\x7F';
  out.push_back(huge);
  return out;
}
