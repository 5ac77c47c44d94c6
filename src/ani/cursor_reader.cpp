#include "ani/cursor_reader.h"

#include <algorithm>
#include <new>

#include "ani/ani_format.h"
#include "ani/ani_reader.h"
#include "base/bytes.h"
#include "image/bitmap_format.h"
#include "image/pixels.h"

namespace {

std::string frameName(size_t frame, size_t image) {
  return "frame " + std::to_string(frame + 1) + " image " + std::to_string(image + 1);
}

// A bitmap of a depth the model holds: its rows, palette and mask as the
// file has them. A palette is filled up to 256 entries and a short mask
// with clear bits, as loaders read them.
cursor::Image copyBitmap(const binio::ByteReader& in, const AniImage& a) {
  cursor::Image image;
  image.width = a.width;
  image.height = a.height;
  image.depth = static_cast<uint16_t>(a.depth);
  image.planes = a.header.planes;
  image.sizeImage = a.header.sizeImage;
  image.pixels = cursor::Bytes(in.at(a.colourAt), static_cast<size_t>(a.colourBytes));
  if (a.depth == 8) {
    uint8_t palette[kPaletteEntries * 4] = {};
    in.copy(a.paletteAt, std::min<uint64_t>(a.paletteEntries, kPaletteEntries) * 4, palette);
    image.palette = cursor::Bytes(palette, sizeof palette);
  }
  std::vector<uint8_t> mask(static_cast<size_t>(a.maskBytes), 0);
  in.copy(a.maskAt, a.maskBytesPresent, mask.data());
  image.mask = cursor::Bytes(mask.data(), mask.size());
  return image;
}

// Any other picture, decoded into 32 bits: where the picture has no alpha
// of its own, the AND mask gives it (a set bit is see-through).
bool decodeToAlpha(const uint8_t* data, uint64_t size, const AniImage& a, cursor::Image& image) {
  const auto w = static_cast<size_t>(a.width);
  const auto h = static_cast<size_t>(a.height);
  std::vector<uint32_t> colour(w * h);
  std::vector<uint8_t> maskBytes(w * h);
  if (!decodeAniFrame(data, size, a, colour.data(), maskBytes.data())) return false;
  const bool alpha = frameUsesAlpha(a, colour.data());
  const auto stride = static_cast<size_t>(rowStride(a.width, 32, 32));
  const auto maskRow = static_cast<size_t>(maskStride(a.width));
  std::vector<uint8_t> rows(stride * h);
  std::vector<uint8_t> mask(maskRow * h, 0);
  for (size_t y = 0; y < h; ++y) {
    const size_t row = h - 1 - y;  // stored bottom row first
    for (size_t x = 0; x < w; ++x) {
      const uint32_t c = colour[y * w + x];
      const uint8_t a8 = alpha ? static_cast<uint8_t>(c >> 24) : (maskBytes[y * w + x] ? 0 : 255);
      uint8_t* p = rows.data() + row * stride + 4 * x;
      p[0] = static_cast<uint8_t>(c);
      p[1] = static_cast<uint8_t>(c >> 8);
      p[2] = static_cast<uint8_t>(c >> 16);
      p[3] = a8;
      if (a8 == 0) mask[row * maskRow + x / 8] |= static_cast<uint8_t>(0x80u >> (x % 8));
    }
  }
  image.width = a.width;
  image.height = a.height;
  image.depth = 32;
  image.pixels = cursor::Bytes(rows.data(), rows.size());
  image.mask = cursor::Bytes(mask.data(), mask.size());
  return true;
}

bool keepsBytes(const AniImage& a) {
  return !a.png && a.header.compression == 0 && (a.depth == 8 || a.depth == 24 || a.depth == 32);
}

bool readFrames(const uint8_t* data, uint64_t size, const AniFile& file, cursor::Cursor& out,
                std::string& why, std::vector<std::string>& notes) {
  const binio::ByteReader in(data, size);
  // Decoded pictures take memory the file's size does not bound.
  uint64_t decodedPixels = 0;
  out.frames.resize(file.frames.size());
  for (size_t f = 0; f < file.frames.size(); ++f) {
    const AniFrame& frame = file.frames[f];
    for (size_t i = 0; i < frame.images.size(); ++i) {
      const AniImage& a = frame.images[i];
      if (!a.readable) {
        notes.push_back(frameName(f, i) + " cannot be read and is left out");
        continue;
      }
      cursor::Image image;
      if (keepsBytes(a)) {
        image = copyBitmap(in, a);
      } else {
        decodedPixels += uint64_t(a.width) * uint64_t(a.height);
        if (decodedPixels > anilimits::kPngPixelsChecked || !decodeToAlpha(data, size, a, image)) {
          notes.push_back(frameName(f, i) + " cannot be decoded and is left out");
          continue;
        }
        notes.push_back(
            frameName(f, i) +
            (a.png ? " is a PNG image" : " is a bitmap of " + std::to_string(a.depth) + " bits") +
            ", read as 32 bits with alpha");
      }
      // An icon's entry holds planes and depth where a cursor's holds the
      // hotspot.
      if (file.staticType != 1) {
        image.hotspotX = a.entry.hotspotX;
        image.hotspotY = a.entry.hotspotY;
      }
      out.frames[f].images.push_back(std::move(image));
    }
    if (out.frames[f].images.empty()) {
      why = "frame " + std::to_string(f + 1) + " has no image that can be read";
      return false;
    }
  }
  return true;
}

}  // namespace

bool readCursor(const uint8_t* data, uint64_t size, cursor::Cursor& out, std::string& why,
                std::vector<std::string>& notes) {
  out = cursor::Cursor{};
  AniFile file;
  readAniFile(data, size, file);
  if (aniVerdict(file) == 2) {
    why = "not a cursor that can be read";
    return false;
  }
  try {
    if (!readFrames(data, size, file, out, why, notes)) return false;
    const uint32_t steps = aniStepCount(file);
    out.steps.resize(steps);
    for (uint32_t s = 0; s < steps; ++s) {
      // A static cursor has no time of its own: it gets the one a build
      // gives every step.
      const uint32_t jiffies =
          file.staticType != 0 ? anifile::kDisplayRate : aniStepJiffies(file, data, s);
      out.steps[s] = {aniStepFrame(file, data, s), jiffies};
    }
  } catch (const std::bad_alloc&) {
    why = "out of memory";
    return false;
  }
  if (file.hasSeq && !file.usesSeq) {
    notes.push_back("the 'seq ' chunk is ignored, as loaders do: the header has no sequence flag");
  }
  out.sequenceChunk = file.usesSeq;
  out.rateChunk = file.hasRate;
  out.title = file.title;
  out.author = file.author;
  return true;
}
