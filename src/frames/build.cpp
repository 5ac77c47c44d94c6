#include "frames/build.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "ani/ani_format.h"
#include "ani/ani_writer.h"
#include "base/bytes.h"
#include "base/captions.h"
#include "base/frame_record.h"
#include "base/runtime.h"
#include "base/safe_write.h"
#include "cursor/cursor.h"
#include "frames/alpha_steps.h"
#include "frames/bounds.h"
#include "frames/colour_steps.h"
#include "frames/fused_steps.h"
#include "frames/mask.h"
#include "frames/sizes.h"
#include "image/bitmap_format.h"
#include "image/frame_reader.h"
#include "image/pixels.h"
#include "platform/platform.h"

namespace {

const char* pathText(const FrameRecord& f) { return f.path != nullptr ? f.path : ""; }

void refuseLoad(const FrameRecord& f, const char* why) {
  showError(caption::kCantLoadFile, pathText(f));
  explainFailure(why, pathText(f));
}

void refuseWrite(const char* outputPath, const char* why) {
  showError(caption::kCantWriteFile, outputPath);
  explainFailure(why, outputPath);
}

void reportMaskFailure(MaskOutcome outcome, const FrameRecord& f) {
  if (outcome == MaskOutcome::outOfMemory) showOutOfMemory();
  showError(caption::kCantMakeMask, pathText(f));
}

// Where the hotspot lies in the written frames.
struct Hotspot {
  uint16_t x = 0;
  uint16_t y = 0;
};

// A frame that the later steps cannot take, with the reason given.
bool refuseFrameSize(const FrameRecord& f) {
  // The bounds and the plain copy work from the preview's size; a file
  // changed since it was added would be read past its rows.
  const int64_t height = headerHeight(f.header);
  // A frame without pixels would make a cursor that nothing can show.
  const bool empty = headerWidth(f.header) == 0 || height == 0;
  if (empty || f.width != headerWidth(f.header) || f.height != (height < 0 ? -height : height)) {
    refuseLoad(f, empty ? "a BMP without pixels" : "changed since it was added");
    return true;
  }
  return false;
}

// Reads every frame in order and checks what the later steps rely on: one
// depth for all frames, and a preview size that still matches the file.
// Frames of 8 and 24 bits may be mixed only when some frame has alpha (all
// then become 32-bit): a mix is reported at its first frame unless a frame
// with alpha turns up before the end or before a frame that cannot be read.
// When the frames are to be cropped, each frame of the first one's depth is
// measured for `bounds` (the union of their content) once it has been
// checked; frames with alpha are measured later, by the alpha steps.
bool readAllFrames(const Settings& settings, std::span<FrameRecord> frames, PreviewSize preview,
                   ContentRect& bounds) {
  const int n = static_cast<int>(frames.size());
  uint16_t firstDepth = 0;
  int mixedAt = -1;  // the first frame whose depth differs from the first's
  bool alpha = false;
  int checked = 0;  // frames before this one had their sizes checked
  std::optional<BoundsUnion> content;
  auto mixed = [&] {
    if (mixedAt < 0 || alpha) return false;
    showError(caption::kMixedDepths, pathText(frames[mixedAt]));
    return true;
  };
  for (int k = 0; k < n; ++k) {
    FrameRecord& f = frames[k];
    // A cut path would name another file; it is not opened at all.
    if (f.pathTooLong) {
      if (!mixed()) refuseLoad(f, "path too long");
      return false;
    }
    const FrameRefusal why = readFrame(f, preview);
    if (why != FrameRefusal::none) {
      // Asked at once: for a file that did not open, it is the system's reason.
      const std::string reason = frameRefusalText(why);
      if (!mixed()) refuseLoad(f, reason.c_str());
      return false;
    }
    const uint16_t depth = headerBitCount(f.header);
    alpha = alpha || frameHasAlpha(f);
    if (k == 0) firstDepth = depth;
    if (depth != firstDepth && !frameHasAlpha(f) && mixedAt < 0) mixedAt = k;
    if (mixedAt >= 0 && !alpha) continue;
    // Frames read while a mix was pending are checked now, in order.
    for (; checked <= k; ++checked) {
      if (refuseFrameSize(frames[checked])) return false;
    }
    if (settings.optimize && !frameHasAlpha(f) && depth == firstDepth) {
      if (!content) content.emplace(settings, depth == 24);
      content->add(f);
    }
  }
  if (mixed()) return false;
  bounds = content ? content->result() : kEmptyRect;
  return true;
}

// What the remaining steps will write, worked out from the sizes every frame
// will have before anything is allocated for them.
struct OutputPlan {
  uint64_t fileBytes = 0;
  // Of those, the bytes of pictures at the sizes the script names: fixed by
  // the script, whatever the frames read, so they are not held to the
  // growth limit, only to the file's.
  uint64_t sizedBytes = 0;
  uint64_t pixelBytesRead = 0;
  int largest = 0;  // the frame with the most pixels, and its size as written
  int64_t largestW = 0;
  int64_t largestH = 0;
};

// `bits`: the depth every frame is written at (8, 24 or 32).
OutputPlan planOutput(const Settings& settings, std::span<const FrameRecord> frames, int bits,
                      const ContentRect& r, const AnimationOptions* options) {
  const int n = static_cast<int>(frames.size());
  const bool crop = settings.optimize && !rectIsEmpty(r);
  const bool merge = settings.merge && n >= 2;
  OutputPlan plan;
  // RIFF header, "ACON", "anih" chunk, LIST header and "fram"; the optional
  // chunks are counted at their largest: two step tables and two texts.
  plan.fileBytes = 12 + 44 + 12 + 2 * (8 + uint64_t{4} * anifile::kMaxSteps) + 12 +
                   2 * (8 + anifile::kMaxInfoText + 2);
  // A frame at several sizes: its directory, then one entry and one square
  // 32-bit picture per size.
  const int sizeCount =
      options != nullptr ? std::clamp(options->sizeCount, 0, anifile::kMaxSizes) : 0;
  uint64_t sizedFrame = sizeof(IconDir);
  for (int i = 0; i < sizeCount; ++i) sizedFrame += sizedImageBytes(options->sizes[i]);
  int64_t firstW = 0, firstH = 0;
  for (int k = 0; k < n; ++k) {
    const FrameRecord& f = frames[k];
    // Every size here comes from 32-bit header fields: the products stay
    // far inside 64 bits until the pixel limit has been checked.
    const int64_t readW = headerWidth(f.header);
    const int64_t readH = std::abs(int64_t{headerHeight(f.header)});
    plan.pixelBytesRead += static_cast<uint64_t>(rowStride(readW, bits, 32) * readH);
    int64_t w = crop ? int64_t{r.right} - r.left + 1 : readW;
    int64_t h = crop ? int64_t{r.bottom} - r.top + 1 : readH;
    if (k == 0) {
      firstW = w;
      firstH = h;
    } else if (merge) {
      w = firstW;
      h = firstH;
    }
    w = std::max<int64_t>(w, 0);
    h = std::max<int64_t>(h, 0);
    if (w * h > plan.largestW * plan.largestH) {
      plan.largest = k;
      plan.largestW = w;
      plan.largestH = h;
    }
    if (static_cast<uint64_t>(w * h) > buildlimits::kFramePixels) continue;
    if (sizeCount > 0) {
      plan.fileBytes += 8 + roundUpEven(sizedFrame);
      plan.sizedBytes += 8 + roundUpEven(sizedFrame);
      continue;
    }
    const int64_t pixelBytes = rowStride(w, bits, 32) * h;
    const int64_t maskBytes = maskStride(w) * h;
    plan.fileBytes += 8 + roundUpEven(iconChunkSize(pixelBytes, maskBytes, bits != 8));
  }
  return plan;
}

// Stops a build that would pass the limits, with the size and the limit.
bool withinLimits(const OutputPlan& plan, const char* outputPath) {
  using namespace buildlimits;
  char why[256];
  const auto pixels = static_cast<uint64_t>(plan.largestW * plan.largestH);
  const uint64_t grown = kGrowthPerPixelByte * std::max(plan.pixelBytesRead, kLeastPixelsRead);
  const uint64_t growing = plan.fileBytes - plan.sizedBytes;
  const uint64_t limit = growing > grown ? std::min(kFileBytes, grown) : kFileBytes;
  if (pixels > kFramePixels) {
    std::snprintf(why, sizeof why,
                  "frame %d would hold %llu pixels (%lld x %lld), more than the limit of %llu "
                  "(%llu x %llu)",
                  plan.largest + 1, static_cast<unsigned long long>(pixels),
                  static_cast<long long>(plan.largestW), static_cast<long long>(plan.largestH),
                  static_cast<unsigned long long>(kFramePixels),
                  static_cast<unsigned long long>(kFrameSide),
                  static_cast<unsigned long long>(kFrameSide));
  } else if (plan.fileBytes > kFileBytes || growing > grown) {
    std::snprintf(
        why, sizeof why, "the file would take %llu bytes, more than the limit of %llu (%s)",
        static_cast<unsigned long long>(plan.fileBytes), static_cast<unsigned long long>(limit),
        limit == kFileBytes ? "the largest file written" : "for frames of so few pixels");
  } else {
    return true;
  }
  refuseWrite(outputPath, why);
  return false;
}

// The script's hotspot lies on the frames as given; a crop shifts every
// frame's pixels by the rectangle's corner, and the hotspot goes with them.
// It must then lie inside every frame as written (after a crop and a merge,
// which gives later frames the first one's size).
bool placeHotspot(const Settings& settings, std::span<const FrameRecord> frames,
                  const AnimationOptions& options, const ContentRect& r, Hotspot& out) {
  const bool cropped = settings.optimize && !rectIsEmpty(r);
  const int64_t x = int64_t{options.hotspotX} - (cropped ? r.left : 0);
  const int64_t y = int64_t{options.hotspotY} - (cropped ? r.top : 0);
  const int n = static_cast<int>(frames.size());
  for (int k = 0; k < n; ++k) {
    const FrameRecord& f = frames[k];
    const int64_t w = headerWidth(f.header);
    const int64_t h = std::abs(int64_t{headerHeight(f.header)});
    if (x < 0 || y < 0 || x >= w || y >= h || x > UINT16_MAX || y > UINT16_MAX) {
      char text[kPathCapacity + 64];
      std::snprintf(text, sizeof text, "%d,%d is outside %s (%d x %u)", options.hotspotX,
                    options.hotspotY, pathText(f), headerWidth(f.header), static_cast<uint32_t>(h));
      showError("Hotspot outside the image", text);
      return false;
    }
  }
  out = {static_cast<uint16_t>(x), static_cast<uint16_t>(y)};
  return true;
}

// Takes in `r` the union of the frames' content (only a crop needs it; it is
// left empty without one) and leaves in it the rectangle the frames were
// cropped to (when they were).
bool processFrames(const Settings& settings, std::span<FrameRecord> frames, bool is24,
                   ContentRect& r, const char* outputPath, const AnimationOptions* script) {
  if (settings.optimize && is24) r = widenBoundsFor24Bit(r);
  if (!withinLimits(planOutput(settings, frames, is24 ? 24 : 8, r, script), outputPath)) {
    return false;
  }
  // The fused steps crop or copy each frame themselves, just before they take it.
  const bool fused = is24 && fusedStepsApply(settings, frames, r);
  if (!fused &&
      !(is24 ? cropOrCopyFrames24(settings, frames, r) : cropOrCopyFrames8(settings, frames, r))) {
    showOutOfMemory();
    return false;
  }
  if (fused) {
    const FusedOutcome outcome = runFusedSteps24(settings, frames, r);
    if (outcome.outOfMemory) {
      showOutOfMemory();
      return false;
    }
    if (outcome.mask != MaskOutcome::made) {
      reportMaskFailure(outcome.mask, frames[outcome.frame]);
      return false;
    }
    return true;
  }
  // 8-bit animations get their replacement in the palette as it is written.
  if (settings.replace && is24) applyColorReplacement(settings, frames);
  if (settings.merge &&
      !(is24 ? mergeWithFirstFrame24(settings, frames) : mergeWithFirstFrame8(settings, frames))) {
    showOutOfMemory();
    return false;
  }
  // Every mask comes before the file, whose first bytes need all sizes.
  const int n = static_cast<int>(frames.size());
  for (int k = 0; k < n; ++k) {
    FrameRecord& f = frames[k];
    const MaskOutcome outcome = buildMask(settings, f, is24);
    if (outcome == MaskOutcome::made) continue;
    reportMaskFailure(outcome, f);
    return false;
  }
  return true;
}

// The same for a build in which some frame has alpha: every frame becomes
// 32-bit, the colour lists act on alpha, and the masks come from it.
bool processAlphaFrames(const Settings& settings, std::span<FrameRecord> frames, ContentRect& r,
                        const char* outputPath, const AnimationOptions* script) {
  if (!promoteToAlpha(frames)) {
    showOutOfMemory();
    return false;
  }
  settleAlphaColours(settings, frames);
  r = settings.optimize ? unionAlphaBounds(frames) : kEmptyRect;
  if (!withinLimits(planOutput(settings, frames, 32, r, script), outputPath)) return false;
  const bool cropFailed = !rectIsEmpty(r) && !cropAlphaFrames(frames, r);
  if (cropFailed || (settings.merge && !mergeAlphaFrames(frames)) || !buildAlphaMasks(frames)) {
    showOutOfMemory();
    return false;
  }
  return true;
}

// The steps as the options give them: a sequence names each step's frame,
// and the rates give every step one time or each its own.
void takeSteps(const AnimationOptions& o, int frames, cursor::Cursor& c) {
  const int sequence = std::clamp(o.sequenceLength, 0, anifile::kMaxSteps);
  const int steps = sequence > 0 ? sequence : frames;
  const int rates = std::clamp(o.rateCount, 0, anifile::kMaxSteps);
  c.sequenceChunk = sequence > 0;
  c.rateChunk = rates > 1 && rates == steps;
  const uint32_t shared = rates > 0 ? o.rates[0] : anifile::kDisplayRate;
  c.steps = cursor::stepsInOrder(static_cast<size_t>(steps), shared);
  for (int i = 0; i < steps; ++i) {
    if (sequence > 0) c.steps[static_cast<size_t>(i)].frame = o.sequence[i];
    if (c.rateChunk) c.steps[static_cast<size_t>(i)].jiffies = o.rates[i];
  }
}

// One frame of the table as the cursor shows it; an 8-bit frame gets its
// colour step on the palette here.
cursor::Image takeImage(const Settings& settings, FrameRecord& f) {
  cursor::Image image;
  image.width = headerWidth(f.header);
  image.height = headerHeight(f.header);
  image.depth = headerBitCount(f.header);
  image.planes = binio::getLe16(f.header + bmpinfo::kPlanes);
  image.sizeImage = binio::getLe32(f.header + bmpinfo::kSizeImage);
  const auto pixelBytes = static_cast<size_t>(std::max(f.pixelBytes, 0));
  const auto maskBytes = static_cast<size_t>(std::max(f.maskBytes, 0));
  // Rows and masks in blocks of their own pass to the cursor as they are;
  // the table lets go of each before the cursor holds it, so that no block
  // has two owners even for a moment.
  if (f.pixels != nullptr && f.pixels == f.workPixels) {
    uint8_t* rows = f.workPixels;
    f.workPixels = nullptr;
    f.pixels = nullptr;
    image.pixels = cursor::Bytes::adopt(rows, pixelBytes, freeBlock);
  } else {
    image.pixels = cursor::Bytes(f.pixels, pixelBytes);
  }
  uint8_t* mask = f.maskBits;
  f.maskBits = nullptr;
  image.mask = cursor::Bytes::adopt(mask, maskBytes, freeBlock);
  // Rows left in the file's bytes were copied: the file goes back at once.
  releaseBlock(f.workPixels);
  releaseBlock(f.fileData);
  f.pixels = nullptr;
  if (image.depth == 8) {
    filterPalette8(settings, f.palette);
    image.palette = cursor::Bytes(f.palette, kPaletteEntries * 4);
  }
  return image;
}

// The finished frame table, with the options and the hotspot, as a cursor.
// False when its memory could not be had.
bool makeCursor(const Settings& settings, std::span<FrameRecord> frames,
                const AnimationOptions* options, const Hotspot& hotspot, cursor::Cursor& c) {
  static const AnimationOptions kPlain;
  const AnimationOptions& o = options != nullptr ? *options : kPlain;
  const int n = static_cast<int>(frames.size());
  try {
    c.frames.resize(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k) {
      c.frames[static_cast<size_t>(k)].images.push_back(takeImage(settings, frames[k]));
    }
    takeSteps(o, n, c);
    c.title = o.title;
    c.author = o.author;
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (cursor::Frame& frame : c.frames) {
    for (cursor::Image& image : frame.images) {
      image.hotspotX = hotspot.x;
      image.hotspotY = hotspot.y;
    }
  }
  return true;
}

}  // namespace

BuildResult build(const Settings& settings, std::span<const FrameSource> sources,
                  const BuildOptions& options) {
  BuildResult result;
  const char* outputPath = options.outputPath != nullptr ? options.outputPath : "";
  // The build's own table: every block it takes is given back on the way
  // out, whatever step stops it.
  std::vector<FrameRecord> table(sources.size(), FrameRecord{});
  struct Release {
    std::vector<FrameRecord>& table;
    ~Release() {
      for (FrameRecord& f : table) releaseFrameBlocks(f);
    }
  } release{table};
  for (size_t k = 0; k < sources.size(); ++k) {
    // Borrowed: the build reads the path and never frees it.
    table[k].path = const_cast<char*>(sources[k].path);
    table[k].pathTooLong = sources[k].pathTooLong ? 1 : 0;
    table[k].width = sources[k].width;
    table[k].height = sources[k].height;
  }
  const std::span<FrameRecord> frames(table);
  ContentRect bounds = kEmptyRect;
  const bool read = readAllFrames(settings, frames, options.preview, bounds);
  result.sizes.reserve(table.size());
  for (const FrameRecord& f : table) result.sizes.push_back({f.width, f.height});
  if (!read) return result;
  const bool is24 = !frames.empty() && headerBitCount(frames[0].header) == 24;
  const bool alpha = std::any_of(table.begin(), table.end(), frameHasAlpha);
  if (!(alpha ? processAlphaFrames(settings, frames, bounds, outputPath, options.script)
              : processFrames(settings, frames, is24, bounds, outputPath, options.script))) {
    return result;
  }
  Hotspot hotspot;
  if (options.script != nullptr && options.script->hasHotspot &&
      !placeHotspot(settings, frames, *options.script, bounds, hotspot)) {
    return result;
  }
  if (!makeCursor(settings, frames, options.script, hotspot, result.cursor) ||
      (options.script != nullptr && !sizeFrames(*options.script, result.cursor))) {
    showOutOfMemory();
    return result;
  }
  result.built = true;
  return result;
}

void releaseFrameBlocks(FrameRecord& f) {
  releaseBlock(f.fileData);
  releaseBlock(f.maskBits);
  releaseBlock(f.header);
  releaseBlock(f.workPixels);
  // The views pointed into the blocks just released.
  f.pixels = nullptr;
  f.palette = nullptr;
}

bool outputReplacesAFrame(const char* outputPath, std::span<const FrameSource> frames) {
  plat::FileIdentity output;
  if (!plat::fileIdentity(outputPath, output)) return false;
  for (const FrameSource& f : frames) {
    plat::FileIdentity frame;
    if (f.pathTooLong || !plat::fileIdentity(f.path, frame) || !(frame == output)) continue;
    showError(caption::kCantWriteFile, outputPath);
    explainFailure(kReplacesAnInput, f.path != nullptr ? f.path : "");
    return true;
  }
  return false;
}

bool saveCursor(const char* outputPath, const cursor::Cursor& c, bool staticCursor) {
  SafeWrite write;
  if (!beginSafeWrite(outputPath, write)) {
    refuseWrite(outputPath, plat::lastFileError());
    return false;
  }
  static const cursor::Frame kNoFrame;
  const bool written =
      staticCursor ? writeStaticCursor(c.frames.empty() ? kNoFrame : c.frames.front(), write.file)
                   : writeCursor(c, write.file);
  if (!endSafeWrite(write, outputPath, written)) {
    refuseWrite(outputPath, plat::lastFileError());
    return false;
  }
  return true;
}
