#include "image/row_unpacker.h"

RowUnpacker::Channel::Channel(uint32_t m) : mask(m) {
  if (m == 0) return;
  while (((m >> shift) & 1) == 0) ++shift;
  const uint32_t v = m >> shift;
  while (bits < 32 && (v >> bits) != 0) ++bits;
}

uint32_t RowUnpacker::Channel::value(uint32_t pixel) const {
  if (bits == 0) return 0;
  const uint32_t v = (pixel & mask) >> shift;
  if (bits >= 8) return (v >> (bits - 8)) & 0xFF;
  uint32_t wide = 0;
  int filled = 0;
  while (filled < 8) {
    wide = (wide << bits) | v;
    filled += bits;
  }
  return (wide >> (filled - 8)) & 0xFF;
}

RowUnpacker::RowUnpacker(uint16_t bits, const uint32_t* palette, uint32_t paletteCount,
                         const uint32_t (&masks)[4])
    : bits_(bits),
      palette_(palette),
      paletteCount_(palette != nullptr ? paletteCount : 0),
      red_(masks[0]),
      green_(masks[1]),
      blue_(masks[2]),
      alpha_(masks[3]) {
  const bool alpha = masks[3] == 0xFF000000u;
  plain32_ = bits == 32 && masks[0] == 0x00FF0000u && masks[1] == 0x0000FF00u &&
             masks[2] == 0x000000FFu && (alpha || masks[3] == 0);
  plainKeep_ = alpha ? 0xFFFFFFFFu : 0x00FFFFFFu;
}

void RowUnpacker::unpack(const uint8_t* row, int32_t width, uint32_t* out) const {
  for (int32_t x = 0; x < width; ++x) {
    uint32_t c = 0;
    switch (bits_) {
      case 1:
        c = colour((row[x >> 3] >> (7 - (x & 7))) & 1);
        break;
      case 4:
        c = colour((x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4);
        break;
      case 8:
        c = colour(row[x]);
        break;
      case 16: {
        const uint32_t v = row[2 * x] | static_cast<uint32_t>(row[2 * x + 1]) << 8;
        c = red_.value(v) << 16 | green_.value(v) << 8 | blue_.value(v);
        break;
      }
      case 24:
        c = static_cast<uint32_t>(row[3 * x + 2]) << 16 |
            static_cast<uint32_t>(row[3 * x + 1]) << 8 | row[3 * x];
        break;
      default: {  // 32
        const uint8_t* p = row + 4 * static_cast<int64_t>(x);
        const uint32_t v = p[0] | static_cast<uint32_t>(p[1]) << 8 |
                           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
        c = plain32_ ? v & plainKeep_
                     : alpha_.value(v) << 24 | red_.value(v) << 16 | green_.value(v) << 8 |
                           blue_.value(v);
      }
    }
    out[x] = c;
  }
}
