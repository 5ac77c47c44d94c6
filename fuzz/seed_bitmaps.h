// Small valid BMP files for the harnesses' seed inputs.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

namespace seeds {

inline void put16(std::string& s, uint32_t v) {
  s.push_back(static_cast<char>(v));
  s.push_back(static_cast<char>(v >> 8));
}

inline void put32(std::string& s, uint32_t v) {
  put16(s, v & 0xFFFF);
  put16(s, v >> 16);
}

// The file header and the first fields of an info header of `headerSize`
// bytes (the rest left 0), sizes and offsets to be filled in at the end.
inline std::string headers(int32_t w, int32_t h, int bits, uint32_t compression,
                           uint32_t headerSize, uint32_t colours) {
  std::string s = "BM";
  put32(s, 0);
  put32(s, 0);
  put32(s, 0);
  put32(s, headerSize);
  put32(s, static_cast<uint32_t>(w));
  put32(s, static_cast<uint32_t>(h));
  put16(s, 1);
  put16(s, static_cast<uint32_t>(bits));
  put32(s, compression);
  put32(s, 0);
  put32(s, 2835);
  put32(s, 2835);
  put32(s, colours);
  s.resize(14 + headerSize, '\0');
  return s;
}

// A w x h bitmap of 8 or 24 bits with a header of `headerSize` bytes, a
// palette of `colours` entries (8-bit) and a pattern that mixes a border
// colour with varied content, so that transparency and cropping have work.
inline std::string bitmap(int32_t w, int32_t h, int bits, uint32_t headerSize = 40,
                          uint32_t colours = 16) {
  std::string s = headers(w, h, bits, 0, headerSize, bits == 8 ? colours : 0);
  if (bits == 8) {
    for (uint32_t i = 0; i < colours; ++i) put32(s, i == 0 ? 0xFF00FF : i * 0x0F0F0F);
  }
  const uint32_t offBits = static_cast<uint32_t>(s.size());
  for (int i = 0; i < 4; ++i) s[10 + i] = static_cast<char>(offBits >> (8 * i));
  const int32_t rows = h < 0 ? -h : h;
  const uint32_t stride = ((static_cast<uint32_t>(w) * bits + 31) / 32) * 4;
  for (int32_t r = 0; r < rows; ++r) {
    std::string row(stride, '\0');
    for (int32_t x = 0; x < w; ++x) {
      const bool border = x == 0 || r == 0 || x == w - 1 || r == rows - 1;
      const uint32_t v = border ? 0 : static_cast<uint32_t>(x * 7 + r * 3) % colours;
      if (bits == 8) {
        row[x] = static_cast<char>(v);
      } else {
        const uint32_t c = border ? 0xFF00FF : v * 0x102030;
        row[3 * x] = static_cast<char>(c);
        row[3 * x + 1] = static_cast<char>(c >> 8);
        row[3 * x + 2] = static_cast<char>(c >> 16);
      }
    }
    s += row;
  }
  const uint32_t size = static_cast<uint32_t>(s.size());
  for (int i = 0; i < 4; ++i) s[2 + i] = static_cast<char>(size >> (8 * i));
  return s;
}

// A w x h bitmap of 32 bits: plain (`masks` false: alpha in the fourth
// byte) or with bit-field masks (blue, green, red, alpha as the bytes lie)
// in a header of `headerSize` bytes (56 and up hold the alpha mask). The
// alpha runs from 0 at the border to opaque inside.
inline std::string bitmap32(int32_t w, int32_t h, bool masks = false, uint32_t headerSize = 40) {
  std::string s = headers(w, h, 32, masks ? 3 : 0, headerSize, 0);
  if (masks) {
    std::string m;
    put32(m, 0x00FF0000);
    put32(m, 0x0000FF00);
    put32(m, 0x000000FF);
    put32(m, 0xFF000000);
    // Behind a 40-byte header only the three colour masks follow it.
    if (headerSize == 40)
      s += m.substr(0, 12);
    else
      s.replace(14 + 40, std::min<size_t>(16, headerSize - 40), m, 0,
                std::min<size_t>(16, headerSize - 40));
  }
  const uint32_t offBits = static_cast<uint32_t>(s.size());
  for (int i = 0; i < 4; ++i) s[10 + i] = static_cast<char>(offBits >> (8 * i));
  const int32_t rows = h < 0 ? -h : h;
  for (int32_t r = 0; r < rows; ++r) {
    for (int32_t x = 0; x < w; ++x) {
      const bool border = x == 0 || r == 0 || x == w - 1 || r == rows - 1;
      put32(s, (border ? 0u : 0x80000000u + static_cast<uint32_t>(x * 0x70000 + r * 0x30)));
    }
  }
  return s;
}

}  // namespace seeds
