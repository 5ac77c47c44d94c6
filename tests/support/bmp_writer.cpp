#include "support/bmp_writer.h"

#include <cstdlib>

namespace {

void put16(std::string& s, uint16_t v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>(v >> 8));
}

void put32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

}  // namespace

uint32_t le32(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) {
    v |= static_cast<uint32_t>(static_cast<uint8_t>(s[at + i])) << (8 * i);
  }
  return v;
}

void setLe32(std::string& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

uint32_t bmpRowBytes(int32_t width, uint16_t bitCount) {
  uint64_t bits = static_cast<uint64_t>(width < 0 ? 0 : width) * bitCount;
  return static_cast<uint32_t>(((bits + 31) / 32) * 4);
}

std::vector<uint32_t> greyPalette(int n) {
  std::vector<uint32_t> p;
  for (int i = 0; i < n; ++i) {
    uint32_t g = n > 1 ? static_cast<uint32_t>(i * 255 / (n - 1)) : 0;
    p.push_back(g << 16 | g << 8 | g);
  }
  return p;
}

std::string makeBmp(const BmpLayout& layout, const std::vector<uint32_t>& px) {
  std::string out;
  out += "BM";
  put32(out, 0);  // bfSize, filled in below
  put32(out, 0);
  put32(out, 0);  // bfOffBits, filled in below
  const int32_t h = layout.height < 0 ? -layout.height : layout.height;
  const int32_t w = layout.width;
  if (layout.headerSize == 12) {
    put32(out, 12);
    put16(out, static_cast<uint16_t>(w));
    put16(out, static_cast<uint16_t>(layout.height));
    put16(out, layout.planes);
    put16(out, layout.bitCount);
  } else {
    size_t start = out.size();
    put32(out, layout.headerSize);
    put32(out, static_cast<uint32_t>(w));
    put32(out, static_cast<uint32_t>(layout.height));
    put16(out, layout.planes);
    put16(out, layout.bitCount);
    put32(out, layout.compression);
    put32(out, 0);     // biSizeImage
    put32(out, 2835);  // 72 dpi
    put32(out, 2835);
    put32(out, layout.clrUsed);
    put32(out, 0);
    if (layout.headerSize >= 52) {
      put32(out, layout.redMask);
      put32(out, layout.greenMask);
      put32(out, layout.blueMask);
    }
    if (layout.headerSize >= 56) put32(out, layout.alphaMask);
    while (out.size() < start + layout.headerSize) out.push_back('\0');
    if (layout.headerSize == 40 && layout.compression == 3) {
      put32(out, layout.redMask);
      put32(out, layout.greenMask);
      put32(out, layout.blueMask);
    }
  }
  for (uint32_t c : layout.palette) {
    if (layout.headerSize == 12) {
      out.push_back(static_cast<char>(c & 0xFF));
      out.push_back(static_cast<char>((c >> 8) & 0xFF));
      out.push_back(static_cast<char>((c >> 16) & 0xFF));
    } else {
      put32(out, c);
    }
  }
  out.append(layout.gapAfterPalette, '\0');
  uint32_t offBits = layout.offBitsOverride >= 0 ? static_cast<uint32_t>(layout.offBitsOverride)
                                                 : static_cast<uint32_t>(out.size());
  setLe32(out, 10, offBits);
  if (out.size() < offBits) out.resize(offBits, '\0');

  const uint32_t rowBytes = bmpRowBytes(w, layout.bitCount);
  for (int32_t r = 0; r < h; ++r) {
    // File row r is picture row h-1-r for bottom-up files.
    int32_t y = layout.height < 0 ? r : h - 1 - r;
    std::string row(rowBytes, '\0');
    for (int32_t x = 0; x < w; ++x) {
      uint32_t v = px[static_cast<size_t>(y) * w + x];
      switch (layout.bitCount) {
        case 1:
          if (v & 1) row[x / 8] = static_cast<char>(row[x / 8] | (0x80 >> (x % 8)));
          break;
        case 4:
          row[x / 2] = static_cast<char>(row[x / 2] | ((v & 0xF) << (x % 2 ? 0 : 4)));
          break;
        case 8:
          row[x] = static_cast<char>(v);
          break;
        case 16:
          row[2 * x] = static_cast<char>(v & 0xFF);
          row[2 * x + 1] = static_cast<char>((v >> 8) & 0xFF);
          break;
        case 24:
          row[3 * x] = static_cast<char>(v & 0xFF);
          row[3 * x + 1] = static_cast<char>((v >> 8) & 0xFF);
          row[3 * x + 2] = static_cast<char>((v >> 16) & 0xFF);
          break;
        case 32:
          for (int i = 0; i < 4; ++i) row[4 * x + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
          break;
        default:
          std::abort();
      }
    }
    out += row;
  }
  setLe32(out, 2, static_cast<uint32_t>(out.size()));
  return out;
}

std::string makeBmp(const BmpLayout& layout, PixelFn pixel) {
  const int32_t h = layout.height < 0 ? -layout.height : layout.height;
  std::vector<uint32_t> px(static_cast<size_t>(layout.width > 0 ? layout.width : 0) * h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < layout.width; ++x)
      px[static_cast<size_t>(y) * layout.width + x] = pixel(x, y);
  return makeBmp(layout, px);
}
