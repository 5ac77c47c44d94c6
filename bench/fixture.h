// The case that matters for speed: 255 frames of 147 x 147 pixels at 24 bits
// (the largest square that fits a 65535-byte file), 12 transparent colours
// and 6 replace pairs that all occur in the frames, a transparent border,
// and every option on. Two kinds of picture: flat areas of few colours, and
// the same layout with noise (as photographs and anti-aliased edges have),
// where more than 30 % of the pixels are of random colours. A third kind
// stands for the modern cursor: PNG frames with soft alpha edges, written at
// several sizes, with no colour option on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fixture {

constexpr int kFrames = 255;
constexpr int kSide = 147;

// In DIB order (0x00RRGGBB).
extern const uint32_t kTransparent[12];
extern const uint32_t kFrom[6];
extern const uint32_t kTo[6];

enum class Kind { flat, manyColours, alphaPng };

// The sizes an alphaPng build script asks for.
constexpr const char kSizesLine[] = "32, 48, 64, 96, 128";

// The default is the headline case; other counts and sides show how the
// cost grows.
struct Shape {
  Kind kind = Kind::flat;
  int frames = kFrames;
  int side = kSide;
};

struct Frames {
  std::vector<std::string> paths;
  uint64_t inputBytes = 0;
};

// Writes the frames into `dir` (which must exist).
Frames writeFrames(const std::string& dir, const Shape& shape = {});

// Writes `dir`/kinetor.ini with every option and colour on (none for
// alphaPng), and the build script `dir`/build.txt naming `output` and every
// frame (and, for alphaPng, the sizes).
void writeBatchFiles(const std::string& dir, const Frames& frames, const std::string& output,
                     Kind kind = Kind::flat);

}  // namespace fixture
