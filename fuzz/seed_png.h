// Small PNG files for the harnesses' seed inputs, in every colour type and
// depth, with or without tRNS and interlacing. The image data is stored
// uncompressed (deflate stored blocks), which every decoder must read.
#pragma once

#include <cstdint>
#include <string>

namespace seeds {

inline void put32be(std::string& s, uint32_t v) {
  for (int i = 3; i >= 0; --i) s.push_back(static_cast<char>(v >> (8 * i)));
}

inline uint32_t crc32(const std::string& bytes, size_t from) {
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = from; i < bytes.size(); ++i) {
    c ^= static_cast<uint8_t>(bytes[i]);
    for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
  }
  return ~c;
}

inline void pngChunk(std::string& s, const char* type, const std::string& body) {
  put32be(s, static_cast<uint32_t>(body.size()));
  const size_t from = s.size();
  s += std::string(type, 4) + body;
  put32be(s, crc32(s, from));
}

// The filtered rows of one (sub)image of w x h pixels, filter type 0, with
// varied sample values.
inline std::string pngRows(uint32_t w, uint32_t h, uint32_t bitsPerPixel, uint32_t salt) {
  std::string raw;
  const uint32_t rowBytes = (w * bitsPerPixel + 7) / 8;
  for (uint32_t y = 0; y < h; ++y) {
    raw.push_back('\0');
    for (uint32_t i = 0; i < rowBytes; ++i)
      raw.push_back(static_cast<char>(i * 37 + y * 11 + salt));
  }
  return raw;
}

// colourType 0, 2, 3, 4 or 6 and a depth that it allows. A palette image
// gets 2^depth entries (and tRNS alpha for half of them when `trns`); grey
// and RGB images get a tRNS colour when `trns`.
inline std::string png(uint32_t w, uint32_t h, uint8_t colourType, uint8_t depth,
                       bool interlace = false, bool trns = false) {
  static const uint32_t kChannels[7] = {1, 0, 3, 1, 2, 0, 4};
  const uint32_t bpp = kChannels[colourType] * depth;
  std::string s("\x89PNG\r\n\x1A\n", 8);
  std::string ihdr;
  put32be(ihdr, w);
  put32be(ihdr, h);
  ihdr += static_cast<char>(depth);
  ihdr += static_cast<char>(colourType);
  ihdr += std::string("\0\0", 2);
  ihdr += static_cast<char>(interlace ? 1 : 0);
  pngChunk(s, "IHDR", ihdr);
  if (colourType == 3) {
    std::string plte, alpha;
    for (uint32_t i = 0; i < (1u << depth); ++i) {
      plte += static_cast<char>(i * 41);
      plte += static_cast<char>(255 - i * 13);
      plte += static_cast<char>(i * 7);
      alpha += static_cast<char>(i * 255 / ((1u << depth) - 1));
    }
    pngChunk(s, "PLTE", plte);
    if (trns) pngChunk(s, "tRNS", alpha.substr(0, alpha.size() / 2 + 1));
  } else if (trns && (colourType == 0 || colourType == 2)) {
    pngChunk(s, "tRNS", std::string(colourType == 0 ? 2 : 6, '\0'));
  }
  std::string raw;
  if (!interlace) {
    raw = pngRows(w, h, bpp, 0);
  } else {
    // Adam7: seven passes, each a smaller image of its own.
    static const uint32_t kPass[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                         {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    for (uint32_t p = 0; p < 7; ++p) {
      const uint32_t pw = (w + kPass[p][2] - 1 - kPass[p][0]) / kPass[p][2];
      const uint32_t ph = (h + kPass[p][3] - 1 - kPass[p][1]) / kPass[p][3];
      if (w > kPass[p][0] && h > kPass[p][1]) raw += pngRows(pw, ph, bpp, p);
    }
  }
  // zlib: header, stored blocks of at most 65535 bytes, Adler-32.
  std::string z("\x78\x01", 2);
  uint32_t a = 1, b = 0;
  for (const char c : raw) {
    a = (a + static_cast<uint8_t>(c)) % 65521;
    b = (b + a) % 65521;
  }
  size_t at = 0;
  do {
    const size_t n = raw.size() - at < 65535 ? raw.size() - at : 65535;
    z += static_cast<char>(at + n == raw.size() ? 1 : 0);
    z += static_cast<char>(n);
    z += static_cast<char>(n >> 8);
    z += static_cast<char>(~n);
    z += static_cast<char>(~n >> 8);
    z += raw.substr(at, n);
    at += n;
  } while (at < raw.size());
  put32be(z, b << 16 | a);
  pngChunk(s, "IDAT", z);
  pngChunk(s, "IEND", "");
  return s;
}

}  // namespace seeds
