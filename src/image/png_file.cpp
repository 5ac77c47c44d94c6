#include "show/png_file.h"

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

bool writePngFile(const char* path, const std::vector<uint8_t>& rgb, int64_t width,
                  int64_t height) {
  constexpr int64_t kMost = std::numeric_limits<int>::max() / 3;
  if (width <= 0 || height <= 0 || width > kMost || height > kMost ||
      static_cast<uint64_t>(rgb.size()) != static_cast<uint64_t>(width * height * 3)) {
    return false;
  }
  std::vector<uint8_t> png;
  if (stbi_write_png_to_func(append, &png, static_cast<int>(width), static_cast<int>(height), 3,
                             rgb.data(), static_cast<int>(width * 3)) == 0 ||
      png.size() > std::numeric_limits<uint32_t>::max()) {
    return false;
  }
  // Replaced whole, like the cursor it shows: a full disk leaves the old
  // picture or none, and a link at the name is replaced, not written through.
  return safeWriteWhole(path, png.data(), static_cast<uint32_t>(png.size()));
}
