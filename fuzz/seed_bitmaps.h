// Small valid BMP files for the harnesses' seed inputs.
#pragma once

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

// A w x h bitmap of 8 or 24 bits with a header of `headerSize` bytes, a
// palette of `colours` entries (8-bit) and a pattern that mixes a border
// colour with varied content, so that transparency and cropping have work.
inline std::string bitmap(int32_t w, int32_t h, int bits, uint32_t headerSize = 40,
                          uint32_t colours = 16) {
  std::string s = "BM";
  put32(s, 0);
  put32(s, 0);
  put32(s, 0);
  put32(s, headerSize);
  put32(s, static_cast<uint32_t>(w));
  put32(s, static_cast<uint32_t>(h));
  put16(s, 1);
  put16(s, static_cast<uint32_t>(bits));
  put32(s, 0);
  put32(s, 0);
  put32(s, 2835);
  put32(s, 2835);
  put32(s, bits == 8 ? colours : 0);
  put32(s, 0);
  s.resize(14 + headerSize, '\0');
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

}  // namespace seeds
