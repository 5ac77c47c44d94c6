// The preview loader's BMP decoder over arbitrary file bytes: decoded from an
// exact-size heap copy (a read past the end is caught), masked with a few
// transparent colours, and every eighth input also loaded from a real file.
#include <fstream>
#include <string>
#include <vector>

#include "base/runtime.h"
#include "harness.h"
#include "image/bmp_decode.h"
#include "ui/preview.h"
#include "ui/state.h"

namespace {

// Whether the mask and the image agree. Not traced for coverage: on the
// largest pictures the tracing of this check alone would cost a second.
#if defined(__clang__)
__attribute__((no_sanitize("coverage", "address")))
#endif
bool maskAgrees(const uint32_t* pixels, const uint8_t* mask, uint64_t count) {
  for (uint64_t i = 0; mask != nullptr && i < count; ++i) {
    if (mask[i] > 1 || (mask[i] == 1 && pixels[i] != 0) || pixels[i] > 0xFFFFFF) return false;
  }
  return true;
}

// Pictures above this many pixels are decoded from memory only: the same
// decode from a file would only double the time of a run.
constexpr uint64_t kLargestFileLoad = 1u << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  appState.optTransparent = 1;
  appState.transCount = 3;
  appState.transColors[0] = 0xFF00FF;
  appState.transColors[1] = 0x000000;
  appState.transColors[2] = 0x01FFFFFF;

  std::vector<uint8_t> copy(data, data + size);
  copy.shrink_to_fit();
  DecodedImage image;
  uint64_t pixelCount = 0;
  if (decodeBmp(copy.empty() ? nullptr : copy.data(), copy.size(), image)) {
    if (image.width <= 0 || image.height <= 0 || image.width > kMaxDecodedSide ||
        image.height > kMaxDecodedSide ||
        static_cast<uint64_t>(image.width) * static_cast<uint64_t>(image.height) >
            kMaxDecodedPixels) {
      __builtin_trap();
    }
    uint8_t* mask = nullptr;
    buildPreviewMask(image.pixels, image.width, image.height, &mask);
    pixelCount = static_cast<uint64_t>(image.width) * image.height;
    if (!maskAgrees(image.pixels, mask, pixelCount)) __builtin_trap();
    freeBlock(mask);
    freeBlock(image.pixels);
  } else if (image.pixels != nullptr || image.width != 0 || image.height != 0) {
    __builtin_trap();  // a failure must leave nothing behind
  }

  if (size % 8 == 0 && pixelCount <= kLargestFileLoad) {
    const std::string path = fuzzScratchDir() + "/preview.bmp";
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!loadPreview(1, path.c_str())) {
      const FrameRecord& r = appState.frameTable[0];
      if (r.previewImage != nullptr || r.previewMask != nullptr || r.width != 0 || r.height != 0) {
        __builtin_trap();
      }
    }
    releasePreview(1);
  }
  return 0;
}

namespace {

void put16(std::string& s, uint32_t v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void put32(std::string& s, uint32_t v) {
  put16(s, v & 0xFFFF);
  put16(s, v >> 16);
}

// A small BMP: file header, an info header of `headerSize` bytes (12 for the
// core header), `extra` (palette or masks), then the pixel data as given.
std::string bmp(uint32_t headerSize, int32_t width, int32_t height, uint16_t bitCount,
                uint32_t compression, uint32_t clrUsed, const std::string& extra,
                const std::string& pixels) {
  std::string s = "BM";
  const uint32_t offBits = 14 + headerSize + static_cast<uint32_t>(extra.size());
  put32(s, offBits + static_cast<uint32_t>(pixels.size()));
  put32(s, 0);
  put32(s, offBits);
  put32(s, headerSize);
  if (headerSize == 12) {
    put16(s, static_cast<uint32_t>(width));
    put16(s, static_cast<uint32_t>(height));
    put16(s, 1);
    put16(s, bitCount);
  } else {
    put32(s, static_cast<uint32_t>(width));
    put32(s, static_cast<uint32_t>(height));
    put16(s, 1);
    put16(s, bitCount);
    put32(s, compression);
    put32(s, static_cast<uint32_t>(pixels.size()));
    put32(s, 2835);
    put32(s, 2835);
    put32(s, clrUsed);
    put32(s, 0);
    if (headerSize >= 52) {
      put32(s, 0xF800);
      put32(s, 0x07E0);
      put32(s, 0x001F);
    }
    s.resize(14 + headerSize, '\0');
  }
  return s + extra + pixels;
}

std::string palette(int n, int entryBytes) {
  std::string p;
  for (int i = 0; i < n; ++i) {
    p.push_back(static_cast<char>(i * 40));
    p.push_back(static_cast<char>(255 - i * 30));
    p.push_back(static_cast<char>(i & 1 ? 255 : 0));
    if (entryBytes == 4) p.push_back('\0');
  }
  return p;
}

}  // namespace

std::vector<std::string> kinetorFuzzSeeds() {
  std::string rgb24;
  for (int i = 0; i < 4 * 4 * 3; ++i) rgb24.push_back(static_cast<char>(i % 3 == 0 ? 255 : i));
  std::string masks;
  put32(masks, 0xF800);
  put32(masks, 0x07E0);
  put32(masks, 0x001F);
  return {
      bmp(40, 4, 4, 24, 0, 0, "", rgb24),
      bmp(40, 4, -4, 24, 0, 0, "", rgb24),
      bmp(12, 4, 4, 24, 0, 0, "", rgb24),
      bmp(40, 5, 3, 8, 0, 4, palette(4, 4), std::string(24, '\x02')),
      bmp(12, 3, 2, 8, 0, 0, palette(256, 3), std::string(8, '\x07')),
      bmp(40, 9, 2, 1, 0, 2, palette(2, 4), std::string("\xA5\x80\x00\x00\x5A\x00\x00\x00", 8)),
      bmp(40, 3, 2, 4, 0, 16, palette(16, 4), std::string("\x12\x30\x00\x00\x45\x60\x00\x00", 8)),
      bmp(40, 2, 2, 16, 3, 0, masks, std::string("\xFF\xFF\x1F\x00\x00\xF8\xE0\x07", 8)),
      bmp(124, 2, 1, 32, 3, 0, "", std::string("\x11\x22\x33\x44\xFF\xFF\xFF\xFF", 8)),
      bmp(108, 2, 1, 16, 0, 0, "", std::string("\x00\x7C\x1F\x00", 4)),
      bmp(40, 4, 3, 8, 1, 4, palette(4, 4),
          std::string("\x03\x01\x01\x02\x00\x00\x00\x03\x03\x02\x01\x00\x00\x02\x02\x00\x02\x03"
                      "\x00\x01",
                      20)),
      bmp(40, 6, 2, 4, 2, 8, palette(8, 4),
          std::string("\x05\x12\x00\x00\x00\x05\x12\x34\x50\x00\x01\x60\x00\x01", 14)),
  };
}
