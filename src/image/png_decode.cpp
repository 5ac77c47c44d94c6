#include "image/png_decode.h"

#include <climits>
#include <cstring>

#include "base/bytes.h"
#include "image/png_stb.h"

namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// The IHDR chunk must come first: length, type, 13 bytes of fields, CRC.
namespace ihdr {
constexpr uint64_t kLength = 8;
constexpr uint64_t kType = 12;
constexpr uint64_t kWidth = 16;
constexpr uint64_t kHeight = 20;
constexpr uint64_t kBitDepth = 24;
constexpr uint64_t kColourType = 25;
constexpr uint64_t kCompression = 26;
constexpr uint64_t kFilter = 27;
constexpr uint64_t kInterlace = 28;
constexpr uint32_t kFieldBytes = 13;
}  // namespace ihdr

bool u32be(const binio::ByteReader& in, uint64_t at, uint32_t& out) {
  if (!in.holds(at, 4)) return false;
  const uint8_t* p = in.at(at);
  out = uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
  return true;
}

uint32_t channels(uint8_t colourType) {
  switch (colourType) {
    case 2:
      return 3;
    case 4:
      return 2;
    case 6:
      return 4;
    default:
      return 1;  // grey, palette
  }
}

// The depths each colour type allows.
bool validDepth(uint8_t colourType, uint8_t depth) {
  switch (colourType) {
    case 0:
      return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case 3:
      return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case 2:
    case 4:
    case 6:
      return depth == 8 || depth == 16;
    default:
      return false;
  }
}

}  // namespace

bool hasPngSignature(const uint8_t* data, uint64_t size) {
  return size >= sizeof kSignature && std::memcmp(data, kSignature, sizeof kSignature) == 0;
}

uint32_t pngBitsPerPixel(const PngHeader& header) {
  return channels(header.colourType) * header.bitDepth;
}

Failure readPngHeader(const uint8_t* data, uint64_t size, PngHeader& header) {
  header = PngHeader{};
  if (!hasPngSignature(data, size)) return Failure::notBitmap;
  const binio::ByteReader in(data, size);
  uint32_t length = 0, width = 0, height = 0;
  if (!u32be(in, ihdr::kLength, length) || length != ihdr::kFieldBytes ||
      !in.holds(ihdr::kType, 4 + ihdr::kFieldBytes) ||
      std::memcmp(in.at(ihdr::kType), "IHDR", 4) != 0) {
    return Failure::damagedPng;
  }
  u32be(in, ihdr::kWidth, width);
  u32be(in, ihdr::kHeight, height);
  const uint8_t depth = *in.at(ihdr::kBitDepth), colourType = *in.at(ihdr::kColourType);
  const uint8_t interlace = *in.at(ihdr::kInterlace);
  if (width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX ||
      !validDepth(colourType, depth) || *in.at(ihdr::kCompression) != 0 ||
      *in.at(ihdr::kFilter) != 0 || interlace > 1) {
    return Failure::damagedPng;
  }
  header.width = width;
  header.height = height;
  header.bitDepth = depth;
  header.colourType = colourType;
  header.interlace = interlace;
  return width > pnglimits::kSide || height > pnglimits::kSide ? Failure::tooManyPixels
                                                               : Failure::none;
}

Failure decodePng(const uint8_t* data, uint64_t size, PngHeader& header,
                  std::vector<uint8_t>& bgra) {
  bgra.clear();
  const Failure why = readPngHeader(data, size, header);
  if (why != Failure::none) return why;
  // What the decoder takes as its length; a file this large holds no PNG
  // within the limits.
  if (size > INT_MAX) return Failure::tooManyPixels;
  int width = 0, height = 0;
  uint8_t* rgba = decodeStbPng(data, static_cast<int>(size), width, height);
  if (rgba == nullptr) return Failure::damagedPng;
  if (static_cast<uint32_t>(width) != header.width ||
      static_cast<uint32_t>(height) != header.height) {
    freeStbPng(rgba);
    return Failure::damagedPng;
  }
  const size_t pixels = size_t{header.width} * header.height;
  bgra.resize(4 * pixels);
  for (size_t i = 0; i < pixels; ++i) {
    bgra[4 * i] = rgba[4 * i + 2];
    bgra[4 * i + 1] = rgba[4 * i + 1];
    bgra[4 * i + 2] = rgba[4 * i];
    bgra[4 * i + 3] = rgba[4 * i + 3];
  }
  freeStbPng(rgba);
  return Failure::none;
}
