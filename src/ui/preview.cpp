#include "ui/preview.h"

#include <new>
#include <vector>

#include "base/bytes.h"
#include "base/colour.h"
#include "base/failure.h"
#include "base/runtime.h"
#include "image/bmp_decode.h"
#include "image/bmp_header.h"
#include "image/colour_lookup.h"
#include "image/png_decode.h"
#include "platform/platform.h"
#include "ui/state.h"

namespace {

FrameRecord* recordOf(int n) {
  if (n < 1 || n > kMaxEntries) return nullptr;
  return &appState.frameTable[n - 1];
}

// COLORREF (0x00BBGGRR) to the pixels' order (0x00RRGGBB). Colours are
// compared the way the display compares them, on their 24 colour bits only.
uint32_t previewColor(uint32_t colorRef) { return swapRedBlue(colorRef) & 0xFFFFFFu; }

// A PNG's pixels as the BMP decoder gives them, alpha in the top byte.
bool decodePngPreview(const uint8_t* data, uint32_t size, DecodedImage& image) {
  PngHeader header;
  std::vector<uint8_t> bgra;
  try {
    if (decodePng(data, size, header, bgra) != Failure::none) return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
  const uint64_t count = uint64_t{header.width} * header.height;
  auto* pixels = static_cast<uint32_t*>(allocZeroed(count * sizeof(uint32_t)));
  if (pixels == nullptr) return false;
  for (uint64_t i = 0; i < count; ++i) pixels[i] = binio::getLe32(&bgra[4 * i]);
  image.pixels = pixels;
  image.width = static_cast<int32_t>(header.width);
  image.height = static_cast<int32_t>(header.height);
  return true;
}

// The file's bytes, viewed read-only for the decoder. Pixels come with their
// alpha in the top byte, as the build reads them: bitmaps without alpha are
// opaque.
bool decodeFile(const char* path, DecodedImage& image) {
  plat::FileHandle file = plat::openForRead(path);
  if (file == plat::kInvalidFile) return false;
  bool decoded = false;
  const int64_t size = plat::fileSize(file);
  if (size > 0 && size <= int64_t{0xFFFFFFFF}) {
    const auto size32 = static_cast<uint32_t>(size);
    plat::MapHandle mapping = plat::createReadMapping(file, size32);
    const uint8_t* view = plat::mapView(mapping, size32);
    if (view != nullptr) {
      const binio::ByteReader in(view, size32);
      BmpHeader bmp;
      decoded = hasPngSignature(view, size32) ? decodePngPreview(view, size32, image)
                                              : parseBmpHeader(in, bmp) == Failure::none &&
                                                    decodeBmpWithAlpha(in, bmp, image);
      plat::unmapView(view, size32);
    }
    plat::closeMapping(mapping);
  }
  plat::closeFile(file);
  return decoded;
}

bool anyAlpha(const uint32_t* pixels, uint64_t count) {
  for (uint64_t p = 0; p < count; ++p) {
    if ((pixels[p] >> 24) != 0xFF) return true;
  }
  return false;
}

}  // namespace

void buildPreviewMask(uint32_t* image, int32_t width, int32_t height, uint8_t** mask) {
  *mask = nullptr;
  if (image == nullptr || width <= 0 || height <= 0) return;
  const uint64_t count = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  auto* bits = static_cast<uint8_t*>(allocZeroed(count));
  if (bits == nullptr) return;
  *mask = bits;
  if (!appState.optTransparent) return;
  const int colorCount = usedEntries(appState.transCount);
  if (colorCount == 0) return;
  ColourSet colors;
  for (int i = 0; i < colorCount; ++i) colors.add(previewColor(appState.transColors[i]));
  // Pictures are mostly runs of one colour: a pixel like the one before it
  // needs no look-up. Only the colour bits count, as in the build.
  uint32_t last = image[0];
  bool lastListed = colors.contains(last & 0xFFFFFFu);
  for (uint64_t p = 0; p < count; ++p) {
    if (image[p] != last) {
      last = image[p];
      lastListed = colors.contains(last & 0xFFFFFFu);
    }
    if (lastListed) {
      bits[p] = 1;
      image[p] = 0;
    }
  }
}

bool loadPreview(int n, const char* path) {
  FrameRecord* record = recordOf(n);
  if (record == nullptr) return false;
  // A reload replaces what the record held.
  releasePreview(n);
  if (path == nullptr || path[0] == '\0') return false;
  DecodedImage image;
  if (!decodeFile(path, image)) return false;
  const uint64_t count = static_cast<uint64_t>(image.width) * static_cast<uint64_t>(image.height);
  const bool withAlpha = anyAlpha(image.pixels, count);
  // The colour masks compare whole pixels of the opaque pictures.
  for (uint64_t p = 0; p < count && !withAlpha; ++p) image.pixels[p] &= 0xFFFFFFu;
  uint8_t* mask = nullptr;
  buildPreviewMask(image.pixels, image.width, image.height, &mask);
  if (mask == nullptr) {
    // Without its mask the preview could not be drawn; keep the fields all
    // set or all zero.
    freeBlock(image.pixels);
    return false;
  }
  // A transparent colour clears a pixel of a picture with alpha, as the
  // build does; what stays keeps how far it lets the background through.
  for (uint64_t p = 0; p < count && withAlpha; ++p) {
    const uint32_t alpha = image.pixels[p] >> 24;
    if (mask[p] != 0 || alpha == 0) {
      image.pixels[p] = kPreviewClear;
      mask[p] = 1;
    } else {
      image.pixels[p] = (0xFFu - alpha) << 24 | (image.pixels[p] & 0xFFFFFFu);
    }
  }
  record->previewImage = image.pixels;
  record->previewMask = mask;
  record->width = image.width;
  record->height = image.height;
  return true;
}

void releasePreview(int n) {
  FrameRecord* record = recordOf(n);
  if (record == nullptr) return;
  releaseBlock(record->previewImage);
  releaseBlock(record->previewMask);
  record->width = 0;
  record->height = 0;
}

void releaseAllPreviews() {
  const int count = frameTotal();
  for (int n = 1; n <= count; ++n) releasePreview(n);
  appState.frameCount = 0;
}
