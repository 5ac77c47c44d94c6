// The build: frame files, settings and options in, one animated cursor out.
#pragma once

#include <span>
#include <vector>

#include "ani/ani_options.h"
#include "base/build_settings.h"
#include "image/frame_reader.h"

// What one build may write. Cropping to the union of all frames and merging
// onto the first can make large frames of small files (a 16000 x 2 and a
// 2 x 16000 frame crop to 16000 x 16000 each), and the build holds every
// frame in memory before it writes: these bounds are checked on the sizes
// worked out in advance, before any of that memory is taken.
namespace buildlimits {
// The whole file: what kinetor-show and other careful readers accept.
constexpr uint64_t kFileBytes = uint64_t{256} << 20;
// Pixels of one frame as written, in all: 4096 x 4096 (a 16000 x 2 frame is
// fine).
constexpr uint64_t kFrameSide = 4096;
constexpr uint64_t kFramePixels = kFrameSide * kFrameSide;
// Growth: the file may take this many bytes for each byte of frame pixels
// read, counting at least kLeastPixelsRead of them, so that frames of less
// than 1 MB together never take more than 48 MiB (and well under a second).
// Pictures at the sizes a script names are not grown from the frames read:
// at most 8 of 256 x 256 pixels per frame, they count only against
// kFileBytes.
constexpr uint64_t kGrowthPerPixelByte = 48;
constexpr uint64_t kLeastPixelsRead = uint64_t{1} << 20;
}  // namespace buildlimits

// One frame file for a build, and the size its preview was decoded at (see
// PreviewSize).
struct FrameSource {
  const char* path = nullptr;
  bool pathTooLong = false;  // cut to fit: it would name another file
  int32_t width = 0;
  int32_t height = 0;
};

struct BuildOptions {
  // Where each frame's preview size comes from (see readFrame).
  PreviewSize preview = PreviewSize::kept;
  // A build script's hotspot, timing, sequence, title, author and sizes, if
  // any.
  const AnimationOptions* script = nullptr;
  // The output file, as the messages about it name it.
  const char* outputPath = "";
};

struct FrameSize {
  int32_t width = 0;
  int32_t height = 0;
};

struct BuildResult {
  bool built = false;  // the file was saved; false: the reason was shown to the user
  // Each frame's preview size as the build took it: measured ones from the
  // bytes read, so that the caller's list can keep them.
  std::vector<FrameSize> sizes;
};

// Reads every frame in order, checks them, runs the steps the settings ask
// for in the fixed order and saves the cursor. Failures are shown to the
// user. A hotspot that a frame as written does not hold stops the build.
// The file is written under a temporary name beside the target and moved
// over the target only when complete, so that a failed build never costs
// the user an existing file and leaves no half-written file behind. An
// animation (not a static cursor, which is a .cur file of the first frame)
// is written a frame at a time as the steps finish each: frames of 24 bits
// or with alpha are each finished just before they are written, 8-bit ones
// (small) are finished together and sized as they are written.
BuildResult buildAndSave(const Settings& settings, std::span<const FrameSource> frames,
                         const BuildOptions& options, bool staticCursor = false);

// The output replaces its target only when complete, but a target that is
// one of the frames would still lose that frame. Files are told apart by
// identity, so that a hard link or another spelling of a path is found too.
// True (and the refusal shown) when the output is one of the frames.
bool outputReplacesAFrame(const char* outputPath, std::span<const FrameSource> frames);

// Gives back every block a build took for the frame, all but its path.
void releaseFrameBlocks(FrameRecord& f);
