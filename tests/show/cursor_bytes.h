// Cursor files made from the tests' own bytes: bitmap and PNG images,
// icon directories of several images, animated cursors around them. Include
// it in one source file per test program (it compiles stb_image_write).
#pragma once

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include "stb_image_write.h"

#include <cstdint>
#include <string>
#include <vector>

namespace cursorbytes {

inline void append32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>(v >> (8 * i)));
}

inline std::string riffChunk(const char* id, const std::string& body) {
  std::string s(id, 4);
  append32(s, static_cast<uint32_t>(body.size()));
  s += body;
  if (body.size() % 2 != 0) s.push_back('\0');
  return s;
}

// A bitmap image of one colour (BGRA, alpha used by 32-bit images) with an
// all-clear AND mask.
inline std::string bitmapImage(int32_t w, int32_t h, uint16_t bits, uint32_t colour) {
  std::string s;
  for (uint32_t v : {40u, static_cast<uint32_t>(w), static_cast<uint32_t>(2 * h),
                     1u | uint32_t{bits} << 16, 0u, 0u, 0u, 0u, 0u, 0u}) {
    append32(s, v);
  }
  const size_t stride = (static_cast<size_t>(w) * bits + 31) / 32 * 4;
  for (int32_t y = 0; y < h; ++y) {
    std::string row(stride, '\0');
    for (int32_t x = 0; x < w; ++x) {
      for (int b = 0; b < bits / 8; ++b) row[x * bits / 8 + b] = static_cast<char>(colour >> 8 * b);
    }
    s += row;
  }
  return s + std::string((static_cast<size_t>(w) + 31) / 32 * 4 * h, '\0');
}

// A PNG of one colour, 0xAARRGGBB, written by stb_image_write.
inline std::string pngImage(int w, int h, uint32_t argb) {
  std::vector<uint8_t> rgba;
  for (int i = 0; i < w * h; ++i) {
    for (int shift : {16, 8, 0, 24}) rgba.push_back(static_cast<uint8_t>(argb >> shift));
  }
  std::string png;
  stbi_write_png_to_func(
      [](void* to, void* data, int size) {
        static_cast<std::string*>(to)->append(static_cast<const char*>(data), size);
      },
      &png, w, h, 4, rgba.data(), w * 4);
  return png;
}

struct Image {
  int w, h;
  std::string bytes;
};

// An icon directory (type 1 icon, 2 cursor) of the images, each with the
// hotspot at its centre.
inline std::string directory(uint16_t type, const std::vector<Image>& images) {
  std::string s;
  append32(s, uint32_t{type} << 16);
  s += std::string(1, static_cast<char>(images.size())) + '\0';
  uint32_t at = 6 + 16 * static_cast<uint32_t>(images.size());
  for (const Image& im : images) {
    append32(s, static_cast<uint32_t>(im.w & 0xFF) | static_cast<uint32_t>(im.h & 0xFF) << 8);
    append32(s, static_cast<uint32_t>(im.w / 2) | static_cast<uint32_t>(im.h / 2) << 16);
    append32(s, static_cast<uint32_t>(im.bytes.size()));
    append32(s, at);
    at += static_cast<uint32_t>(im.bytes.size());
  }
  for (const Image& im : images) s += im.bytes;
  return s;
}

// An animated cursor of these frames, 10 jiffies each; `extra` chunks go
// between the header and the frame list.
inline std::string animated(const std::vector<std::string>& icons, uint32_t flags = 1,
                            const std::string& extra = "") {
  std::string anih;
  const auto n = static_cast<uint32_t>(icons.size());
  for (uint32_t v : {36u, n, n, 0u, 0u, 0u, 0u, 10u, flags}) append32(anih, v);
  std::string frames = "fram";
  for (const std::string& icon : icons) frames += riffChunk("icon", icon);
  return riffChunk("RIFF", "ACON" + riffChunk("anih", anih) + extra + riffChunk("LIST", frames));
}

}  // namespace cursorbytes
