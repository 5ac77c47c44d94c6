#include "image/png_file.h"

#include <limits>

#include "base/safe_write.h"

// The encoder is compiled here, with its functions private to this file.
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include "stb_image_write.h"

namespace {

void append(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<uint8_t>*>(context);
  const auto* bytes = static_cast<const uint8_t*>(data);
  out->insert(out->end(), bytes, bytes + size);
}

}  // namespace

bool writePngFile(const char* path, const std::vector<uint8_t>& pixels, int64_t width,
                  int64_t height, int channels) {
  if (channels != 3 && channels != 4) return false;
  const int64_t most = std::numeric_limits<int>::max() / channels;
  if (width <= 0 || height <= 0 || width > most || height > most ||
      static_cast<uint64_t>(pixels.size()) != static_cast<uint64_t>(width * height * channels)) {
    return false;
  }
  std::vector<uint8_t> png;
  if (stbi_write_png_to_func(append, &png, static_cast<int>(width), static_cast<int>(height),
                             channels, pixels.data(), static_cast<int>(width * channels)) == 0 ||
      png.size() > std::numeric_limits<uint32_t>::max()) {
    return false;
  }
  // Replaced whole, like the cursor it shows: a full disk leaves the old
  // picture or none, and a link at the name is replaced, not written through.
  return safeWriteWhole(path, png.data(), static_cast<uint32_t>(png.size()));
}
