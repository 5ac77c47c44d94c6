// The PNG decoder over arbitrary bytes: it decodes exactly the images its
// header check lets through, within the limits, to width * height pixels.
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

#include "harness.h"
#include "image/png_decode.h"
#include "seed_png.h"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  PngHeader header, decoded;
  const Failure first = readPngHeader(data, size, header);
  std::vector<uint8_t> bgra;
  const Failure why = decodePng(data, size, decoded, bgra);
  check(why == Failure::none || bgra.empty());
  if (first != Failure::none) {
    check(why == first);
    return 0;
  }
  check(header.width <= pnglimits::kSide && header.height <= pnglimits::kSide);
  if (why == Failure::none) {
    check(decoded.width == header.width && decoded.height == header.height);
    check(bgra.size() == 4 * size_t{header.width} * header.height);
  }
  return 0;
}

std::vector<std::string> kinetorFuzzSeeds() {
  struct Kind {
    uint8_t colourType, depth;
  };
  static const Kind kKinds[] = {{0, 1}, {0, 2}, {0, 4}, {0, 8}, {0, 16}, {2, 8}, {2, 16}, {3, 1},
                                {3, 2}, {3, 4}, {3, 8}, {4, 8}, {4, 16}, {6, 8}, {6, 16}};
  std::vector<std::string> out;
  for (size_t i = 0; i < std::size(kKinds); ++i) {
    const Kind k = kKinds[i];
    out.push_back(seeds::png(5 + static_cast<uint32_t>(i % 4), 3 + static_cast<uint32_t>(i % 3),
                             k.colourType, k.depth, i % 2 == 1, i % 3 == 0));
  }
  // A file of a few bytes that declares an image far beyond the limits.
  std::string huge = seeds::png(2, 2, 6, 8);
  huge[16] = huge[20] = '\x7F';
  out.push_back(huge);
  return out;
}
