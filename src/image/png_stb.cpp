#include "image/png_stb.h"

#include <cstdlib>

#include "image/png_decode.h"

namespace {

// Every block stb_image asks for goes through these, so that a zlib stream
// that expands without end is refused at the limit instead of filling the
// memory.
void* cappedMalloc(size_t bytes) {
  return bytes <= pnglimits::kBlockBytes ? std::malloc(bytes) : nullptr;
}

void* cappedRealloc(void* block, size_t bytes) {
  return bytes <= pnglimits::kBlockBytes ? std::realloc(block, bytes) : nullptr;
}

}  // namespace

#define STBI_MALLOC(bytes) cappedMalloc(bytes)
#define STBI_REALLOC(block, bytes) cappedRealloc(block, bytes)
#define STBI_FREE(block) std::free(block)
#define STBI_MAX_DIMENSIONS 1024
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#include "stb_image.h"

static_assert(STBI_MAX_DIMENSIONS == pnglimits::kSide);

uint8_t* decodeStbPng(const uint8_t* data, int size, int& width, int& height) {
  int channels = 0;
  return stbi_load_from_memory(data, size, &width, &height, &channels, 4);
}

void freeStbPng(uint8_t* pixels) { stbi_image_free(pixels); }
