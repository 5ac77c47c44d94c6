#include "frames/sizes.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <new>
#include <vector>

#include "frames/mask.h"
#include "image/bitmap_format.h"
#include "image/pixels.h"

namespace {

// A picture as blue, green, red and straight alpha per pixel, top row first.
struct Straight {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> px;

  const uint8_t* at(int64_t x, int64_t y) const { return px.data() + 4 * (y * width + x); }
};

bool maskBitSet(const cursor::Image& image, int64_t row, int64_t x) {
  const uint64_t at = static_cast<uint64_t>(maskStride(image.width) * row + x / 8);
  return at < image.mask.size() && (image.mask.data()[at] & (0x80u >> (x % 8))) != 0;
}

// The picture's pixels as they show: palette colours looked up, and 8- and
// 24-bit pixels under a set mask bit transparent. False for a depth the
// step does not know or rows that the picture does not hold.
bool straighten(const cursor::Image& image, Straight& out) {
  const int64_t w = image.width, h = image.height;
  const int32_t bits = image.depth;
  if (w <= 0 || h <= 0 || (bits != 8 && bits != 24 && bits != 32)) return false;
  const int64_t stride = rowStride(w, bits, 32);
  if (static_cast<uint64_t>(stride * h) > image.pixels.size()) return false;
  out.width = image.width;
  out.height = image.height;
  out.px.assign(static_cast<size_t>(w * h * 4), 0);
  const uint8_t* palette = image.palette.data();
  const size_t paletteEntries = image.palette.size() / 4;
  for (int64_t y = 0; y < h; ++y) {
    const int64_t row = h - 1 - y;  // rows are stored bottom row first
    const uint8_t* src = image.pixels.data() + stride * row;
    uint8_t* dst = out.px.data() + 4 * w * y;
    for (int64_t x = 0; x < w; ++x, dst += 4) {
      if (bits == 32) {
        std::memcpy(dst, src + 4 * x, 4);
        continue;
      }
      if (bits == 24) {
        std::memcpy(dst, src + 3 * x, 3);
      } else if (src[x] < paletteEntries) {
        std::memcpy(dst, palette + 4 * size_t{src[x]}, 3);
      }
      dst[3] = maskBitSet(image, row, x) ? 0 : 255;
    }
  }
  return true;
}

// The scaled picture's place on the square: rows bottom row first.
struct Target {
  uint8_t* px = nullptr;
  int64_t stride = 0;
  int32_t side = 0;
  int32_t left = 0;
  int32_t top = 0;

  uint8_t* at(int32_t x, int32_t y) const {
    return px + stride * (side - 1 - (top + y)) + 4 * int64_t{left + x};
  }
};

// The source pixels one new pixel covers along one side, with the length of
// each overlap. Lengths are counted in units of 1/to of a source pixel, so
// that they are whole numbers and those of every new pixel add up to `from`.
struct Span {
  int32_t first = 0;
  std::vector<int64_t> weights;
};

std::vector<Span> areaSpans(int32_t from, int32_t to) {
  std::vector<Span> spans(static_cast<size_t>(to));
  for (int64_t t = 0; t < to; ++t) {
    const int64_t start = t * from, end = (t + 1) * from;
    Span& span = spans[static_cast<size_t>(t)];
    span.first = static_cast<int32_t>(start / to);
    for (int64_t i = span.first; i * to < end; ++i) {
      span.weights.push_back(std::min(end, (i + 1) * to) - std::max(start, i * to));
    }
  }
  return spans;
}

// Averages the covered areas, each weighted by its alpha: a colour counts as
// much as it shows, so fully transparent pixels give the edge no colour.
void shrink(const Straight& src, int32_t w, int32_t h, const Target& dst) {
  const std::vector<Span> columns = areaSpans(src.width, w);
  const std::vector<Span> rows = areaSpans(src.height, h);
  const uint64_t whole = static_cast<uint64_t>(src.width) * static_cast<uint64_t>(src.height);
  for (int32_t y = 0; y < h; ++y) {
    const Span& row = rows[static_cast<size_t>(y)];
    for (int32_t x = 0; x < w; ++x) {
      const Span& column = columns[static_cast<size_t>(x)];
      uint64_t alpha = 0, colour[3] = {};
      for (size_t j = 0; j < row.weights.size(); ++j) {
        const uint8_t* p = src.at(column.first, row.first + static_cast<int64_t>(j));
        for (size_t i = 0; i < column.weights.size(); ++i, p += 4) {
          const uint64_t a =
              static_cast<uint64_t>(row.weights[j] * column.weights[i]) * uint64_t{p[3]};
          alpha += a;
          for (int c = 0; c < 3; ++c) colour[c] += a * p[c];
        }
      }
      uint8_t* out = dst.at(x, y);
      out[3] = static_cast<uint8_t>((alpha + whole / 2) / whole);
      // A pixel that shows nothing keeps black under its mask bit, so that
      // loaders without alpha show the screen there.
      if (out[3] == 0) continue;
      for (int c = 0; c < 3; ++c) out[c] = static_cast<uint8_t>((colour[c] + alpha / 2) / alpha);
    }
  }
}

// Each new pixel takes the source pixel under its centre.
void enlarge(const Straight& src, int32_t w, int32_t h, const Target& dst) {
  for (int32_t y = 0; y < h; ++y) {
    const int64_t sy = (int64_t{2} * y + 1) * src.height / (int64_t{2} * h);
    for (int32_t x = 0; x < w; ++x) {
      const int64_t sx = (int64_t{2} * x + 1) * src.width / (int64_t{2} * w);
      std::memcpy(dst.at(x, y), src.at(sx, sy), 4);
    }
  }
}

bool scaleStraight(const Straight& src, const cursor::Image& source, int32_t side,
                   cursor::Image& out) {
  const int64_t longer = std::max(src.width, src.height);
  // The longer side becomes `side`, the other keeps the proportion, rounded.
  const auto scaled = [&](int32_t n) {
    return static_cast<int32_t>(std::max<int64_t>(1, (n * int64_t{side} + longer / 2) / longer));
  };
  const int32_t w = src.width == longer ? side : scaled(src.width);
  const int32_t h = src.height == longer ? side : scaled(src.height);
  const int32_t left = (side - w) / 2, top = (side - h) / 2;

  const int64_t stride = int64_t{side} * 4;
  const int64_t maskRow = maskStride(side);
  std::vector<uint8_t> px(static_cast<size_t>(stride * side), 0);
  std::vector<uint8_t> mask(static_cast<size_t>(maskRow * side), 0);
  const Target dst{px.data(), stride, side, left, top};
  if (longer == side) {
    for (int32_t y = 0; y < h; ++y)
      std::memcpy(dst.at(0, y), src.at(0, y), static_cast<size_t>(w) * 4);
  } else if (longer > side) {
    shrink(src, w, h, dst);
  } else {
    enlarge(src, w, h, dst);
  }
  maskFromAlpha(px.data(), stride, side, side, mask.data());

  out = cursor::Image{};
  out.width = side;
  out.height = side;
  out.depth = 32;
  out.planes = 1;
  out.sizeImage = static_cast<uint32_t>(px.size() + mask.size());
  // The pixel the hotspot lies on, scaled as the pixels are, rounded down.
  const auto place = [&](uint16_t at, int32_t from, int32_t to, int32_t offset) {
    const int64_t p = offset + int64_t{at} * to / from;
    return static_cast<uint16_t>(std::clamp<int64_t>(p, 0, side - 1));
  };
  out.hotspotX = place(source.hotspotX, src.width, w, left);
  out.hotspotY = place(source.hotspotY, src.height, h, top);
  out.pixels = cursor::Bytes(px.data(), px.size());
  out.mask = cursor::Bytes(mask.data(), mask.size());
  return true;
}

}  // namespace

uint64_t sizedImageBytes(int32_t side) {
  const auto s = static_cast<uint64_t>(std::max(side, 0));
  return 16 + bmpinfo::kSize + 4 * s * s + static_cast<uint64_t>(maskStride(side)) * s;
}

bool sizeFrame(const AnimationOptions& options, cursor::Frame& frame) {
  const int count = std::clamp(options.sizeCount, 0, anifile::kMaxSizes);
  if (count == 0 || frame.images.empty()) return true;
  try {
    std::vector<int32_t> sides(options.sizes, options.sizes + count);
    std::sort(sides.begin(), sides.end(), std::greater<>());
    // Read until the sized pictures take its place, so it needs no copy.
    const cursor::Image& source = frame.images.front();
    Straight src;
    if (!straighten(source, src)) return false;
    std::vector<cursor::Image> sized(sides.size());
    for (size_t i = 0; i < sides.size(); ++i) {
      if (sides[i] <= 0 || sides[i] > anifile::kLargestSize ||
          !scaleStraight(src, source, sides[i], sized[i])) {
        return false;
      }
    }
    frame.images = std::move(sized);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

bool sizeFrames(const AnimationOptions& options, cursor::Cursor& c) {
  return std::all_of(c.frames.begin(), c.frames.end(),
                     [&](cursor::Frame& frame) { return sizeFrame(options, frame); });
}
