#include "frames/build.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
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
#include "frames/fused_steps.h"
#include "frames/mask.h"
#include "frames/palette_steps.h"
#include "frames/pixel_buffers.h"
#include "frames/sizes.h"
#include "image/bitmap_format.h"
#include "image/frame_reader.h"
#include "image/pixels.h"
#include "platform/platform.h"

namespace {

const char* pathText(const FrameRecord& f) { return f.path != nullptr ? f.path : ""; }

void refuseLoad(const FrameRecord& f, Failure why) { reportFailure(why, pathText(f)); }

void refuseWrite(const char* outputPath, const char* why) {
  showError(caption::kCantWriteFile, outputPath);
  explainFailure(why, outputPath);
}

void reportMaskFailure(Failure why, const FrameRecord& f) {
  if (why == Failure::maskOutOfMemory) showOutOfMemory();
  reportFailure(why, pathText(f));
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
    refuseLoad(f, empty ? Failure::noPixels : Failure::changedSinceAdded);
    return true;
  }
  return false;
}

// Decoded frames (32-bit BMPs and PNGs) that a saved build keeps from their
// first reading until their turn to be written, so that the crop's look at
// every frame before the first is written need not decode them again: 32
// MiB holds a whole animation of 255 frames of 181 x 181, while a build of
// many large frames keeps within a small part of what the shipped 32-bit
// program can have. Frames beyond it give their pixels back and are decoded
// again at their turn.
constexpr uint64_t kKeptDecodedBytes = uint64_t{32} << 20;

// What a saved build learns of its frames before it writes the first one, so
// that frames may give their pixels back and be read again at their turn.
struct FirstReading {
  explicit FirstReading(size_t frames) : seen(frames), measured(frames), settled(frames) {}
  std::vector<FrameFileSeen> seen;
  // Frames with alpha whose content is in `bounds`, and those whose pixels
  // in hand have their colours settled (promoted to 32 bits first).
  std::vector<uint8_t> measured;
  std::vector<uint8_t> settled;
  std::unique_ptr<AlphaColours> colours;  // made at the first frame that needs it
  ContentRect bounds = kEmptyRect;        // of the frames measured
  uint64_t kept = 0;                      // decoded bytes kept
};

// The build's alpha colour steps, made once; false (and the box shown) when
// their memory cannot be had.
bool haveAlphaColours(const Settings& settings, FirstReading& reading) {
  if (reading.colours == nullptr) reading.colours.reset(new (std::nothrow) AlphaColours(settings));
  if (reading.colours != nullptr) return true;
  showOutOfMemory();
  return false;
}

// Whether the budget has room for the frame's 32-bit pixels, which it then
// holds.
bool keepWithinBudget(const FrameRecord& f, FirstReading& reading) {
  const auto bytes =
      static_cast<uint64_t>(pixelBufferBytes(headerWidth(f.header), headerHeight(f.header), 32));
  if (reading.kept + bytes > kKeptDecodedBytes) return false;
  reading.kept += bytes;
  return true;
}

// A frame gives back the pixels it holds (read or decoded), keeping its
// header, until it is read again (see inHand).
void givePixelsBack(FrameRecord& f) {
  releaseBlock(f.fileData);
  releaseBlock(f.workPixels);
  f.pixels = nullptr;
}

// Settles a frame's colours (promoted to 32 bits first) and adds what has
// alpha to the bounds; frames beyond the budget then give their pixels back
// and get their header as read again. False (and the box shown) when
// memory could not be had.
bool measureAlphaFrame(const Settings& settings, FrameRecord& f, size_t k, FirstReading& reading) {
  uint8_t asRead[bmpinfo::kSize];
  std::memcpy(asRead, f.header, sizeof asRead);
  if (!haveAlphaColours(settings, reading)) return false;
  if (!promoteFrameToAlpha(f)) {
    showOutOfMemory();
    return false;
  }
  reading.colours->settle(f);
  reading.bounds = unionRect(reading.bounds, alphaBounds(f));
  reading.measured[k] = 1;
  reading.settled[k] = 1;
  if (keepWithinBudget(f, reading)) return true;
  givePixelsBack(f);
  std::memcpy(f.header, asRead, sizeof asRead);
  reading.settled[k] = 0;
  return true;
}

// Reads every frame in order and checks what the later steps rely on: one
// depth for all frames, and a preview size that still matches the file.
// Frames of 8 and 24 bits may be mixed only when some frame has alpha (all
// then become 32-bit): a mix is reported at its first frame unless a frame
// with alpha turns up before the end or before a frame that cannot be read.
// When the frames are to be cropped, each frame of the first one's depth is
// measured for `bounds` (the union of their content) once it has been
// checked; frames with alpha are measured later, by the alpha steps.
// With `reading` (a saved build), 24-bit frames of a 24-bit first frame give
// their pixels back once measured, keeping their headers, and so do frames
// with alpha beyond the budget of decoded bytes: they are read again, and
// must then be what `reading.seen` says, when their turn comes. Frames with
// alpha are then measured for a crop as they are read, so that they need
// not be decoded for it again.
bool readAllFrames(const Settings& settings, std::span<FrameRecord> frames, PreviewSize preview,
                   ContentRect& bounds, FirstReading* reading) {
  const int n = static_cast<int>(frames.size());
  uint16_t firstDepth = 0;
  int mixedAt = -1;  // the first frame whose depth differs from the first's
  bool alpha = false;
  int checked = 0;  // frames before this one had their sizes checked
  std::optional<BoundsUnion> content;
  auto mixed = [&] {
    if (mixedAt < 0 || alpha) return false;
    reportFailure(Failure::mixedDepths, pathText(frames[mixedAt]));
    return true;
  };
  for (int k = 0; k < n; ++k) {
    FrameRecord& f = frames[k];
    // A cut path would name another file; it is not opened at all.
    if (f.pathTooLong) {
      if (!mixed()) refuseLoad(f, Failure::pathTooLong);
      return false;
    }
    const Failure why =
        reading == nullptr ? readFrame(f, preview) : readFrame(f, preview, reading->seen[k]);
    if (why != Failure::none) {
      if (!mixed()) refuseLoad(f, why);
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
    // Once a frame has alpha, the alpha steps measure the frames instead.
    if (settings.optimize && !alpha && depth == firstDepth) {
      if (!content) content.emplace(settings, depth == 24);
      content->add(f);
    }
    if (reading == nullptr) continue;
    if (depth == 24 && firstDepth == 24 && !frameHasAlpha(f)) {
      givePixelsBack(f);
    } else if (frameHasAlpha(f) && settings.optimize) {
      content.reset();  // its colour table is the alpha steps' too
      if (!measureAlphaFrame(settings, f, static_cast<size_t>(k), *reading)) return false;
    } else if (frameHasAlpha(f) && !keepWithinBudget(f, *reading)) {
      givePixelsBack(f);
    }
  }
  if (mixed()) return false;
  bounds = content ? content->result() : kEmptyRect;
  return true;
}

// The size frame k is written at: the crop gives every frame the
// rectangle's, the merge gives later frames the first one's. The same from
// the headers as read and from those the steps left.
struct Side {
  int64_t w = 0;
  int64_t h = 0;
};
Side writtenSide(const Settings& settings, std::span<const FrameRecord> frames,
                 const ContentRect& r, size_t k) {
  if (settings.optimize && !rectIsEmpty(r)) {
    return {int64_t{r.right} - r.left + 1, int64_t{r.bottom} - r.top + 1};
  }
  const FrameRecord& f = frames[settings.merge && frames.size() >= 2 ? 0 : k];
  return {headerWidth(f.header), std::abs(int64_t{headerHeight(f.header)})};
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
  // Of fileBytes, the frames' "icon" chunks.
  uint64_t frameBytes = 0;
  int largest = 0;  // the frame with the most pixels, and its size as written
  int64_t largestW = 0;
  int64_t largestH = 0;
};

// `bits`: the depth every frame is written at (8, 24 or 32).
OutputPlan planOutput(const Settings& settings, std::span<const FrameRecord> frames, int bits,
                      const ContentRect& r, const AnimationOptions* options) {
  const int n = static_cast<int>(frames.size());
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
  for (int k = 0; k < n; ++k) {
    const FrameRecord& f = frames[k];
    // Every size here comes from 32-bit header fields: the products stay
    // far inside 64 bits until the pixel limit has been checked.
    const int64_t readW = headerWidth(f.header);
    const int64_t readH = std::abs(int64_t{headerHeight(f.header)});
    plan.pixelBytesRead += static_cast<uint64_t>(rowStride(readW, bits, 32) * readH);
    const Side side = writtenSide(settings, frames, r, static_cast<size_t>(k));
    const int64_t w = std::max<int64_t>(side.w, 0);
    const int64_t h = std::max<int64_t>(side.h, 0);
    if (w * h > plan.largestW * plan.largestH) {
      plan.largest = k;
      plan.largestW = w;
      plan.largestH = h;
    }
    if (static_cast<uint64_t>(w * h) > buildlimits::kFramePixels) continue;
    if (sizeCount > 0) {
      plan.fileBytes += 8 + roundUpEven(sizedFrame);
      plan.sizedBytes += 8 + roundUpEven(sizedFrame);
      plan.frameBytes += 8 + roundUpEven(sizedFrame);
      continue;
    }
    const int64_t pixelBytes = rowStride(w, bits, 32) * h;
    const int64_t maskBytes = maskStride(w) * h;
    const uint64_t chunk = 8 + roundUpEven(iconChunkSize(pixelBytes, maskBytes, bits != 8));
    plan.fileBytes += chunk;
    plan.frameBytes += chunk;
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
  for (size_t k = 0; k < frames.size(); ++k) {
    const auto [w, h] = writtenSide(settings, frames, r, k);
    if (x < 0 || y < 0 || x >= w || y >= h || x > UINT16_MAX || y > UINT16_MAX) {
      char text[kPathCapacity + 64];
      std::snprintf(text, sizeof text, "%d,%d is outside %s (%d x %u)", options.hotspotX,
                    options.hotspotY, pathText(frames[k]), static_cast<int32_t>(w),
                    static_cast<uint32_t>(h));
      reportFailure(Failure::hotspotOutside, text);
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
  if (is24) {
    // One walk over each frame: its crop or copy, colour replacement, the
    // merge and its mask, while its pixels are still in the cache.
    const FusedOutcome outcome = runFusedSteps24(settings, frames, r);
    if (outcome.why == Failure::outOfMemory) {
      showOutOfMemory();
      return false;
    }
    if (outcome.why != Failure::none) {
      reportMaskFailure(outcome.why, frames[outcome.frame]);
      return false;
    }
    return true;
  }
  // 8-bit animations get their replacement in the palette (takeImage).
  if (!cropOrCopyFrames8(settings, frames, r) ||
      (settings.merge && !mergeWithFirstFrame8(settings, frames))) {
    showOutOfMemory();
    return false;
  }
  // Every mask comes before the file, whose first bytes need all sizes.
  const int n = static_cast<int>(frames.size());
  for (int k = 0; k < n; ++k) {
    FrameRecord& f = frames[k];
    const Failure outcome = buildMask(settings, f, false);
    if (outcome == Failure::none) continue;
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
// colour step on the palette here. A frame that later steps still read
// (the first one, when others are merged over it while written) is `kept`:
// its bytes are copied and its blocks stay.
cursor::Image takeImage(const Settings& settings, FrameRecord& f, bool kept = false) {
  cursor::Image image;
  image.width = headerWidth(f.header);
  image.height = headerHeight(f.header);
  image.depth = headerBitCount(f.header);
  image.planes = binio::getLe16(f.header + bmpinfo::kPlanes);
  image.sizeImage = binio::getLe32(f.header + bmpinfo::kSizeImage);
  const auto pixelBytes = static_cast<size_t>(std::max(f.pixelBytes, 0));
  const auto maskBytes = static_cast<size_t>(std::max(f.maskBytes, 0));
  if (kept) {
    image.pixels = cursor::Bytes(f.pixels, pixelBytes);
    image.mask = cursor::Bytes(f.maskBits, maskBytes);
    return image;
  }
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

// The cursor's steps and texts, from the script's options if any.
void takeHead(const AnimationOptions* options, int frames, cursor::Cursor& c) {
  static const AnimationOptions kPlain;
  const AnimationOptions& o = options != nullptr ? *options : kPlain;
  takeSteps(o, frames, c);
  c.title = o.title;
  c.author = o.author;
}

void placeOn(cursor::Frame& frame, const Hotspot& hotspot) {
  for (cursor::Image& image : frame.images) {
    image.hotspotX = hotspot.x;
    image.hotspotY = hotspot.y;
  }
}

// The finished frame table, with the options and the hotspot, as a cursor.
// False when its memory could not be had.
bool makeCursor(const Settings& settings, std::span<FrameRecord> frames,
                const AnimationOptions* options, const Hotspot& hotspot, cursor::Cursor& c) {
  const int n = static_cast<int>(frames.size());
  try {
    c.frames.resize(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k) {
      c.frames[static_cast<size_t>(k)].images.push_back(takeImage(settings, frames[k]));
    }
    takeHead(options, n, c);
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (cursor::Frame& frame : c.frames) placeOn(frame, hotspot);
  return true;
}

// Reads a frame whose pixels were given back after the first reading, into
// the frame with the header it kept. The file must hold what it held then:
// the bounds and the sizes already written were taken from it.
Failure readAgain(FrameRecord& f, const FrameFileSeen& seen) {
  FrameRecord again{};
  again.path = f.path;
  again.width = f.width;
  again.height = f.height;
  FrameFileSeen now;
  Failure why = readFrame(again, PreviewSize::kept, now);
  if (why == Failure::none && !(now == seen)) why = Failure::changedWhileRead;
  if (why == Failure::none) {
    // A frame with alpha comes back decoded into a buffer of its own.
    f.fileData = again.fileData;
    f.workPixels = again.workPixels;
    f.pixels = again.pixels;
    again.fileData = nullptr;
    again.workPixels = nullptr;
  }
  releaseFrameBlocks(again);
  return why;
}

// Brings back the pixels a frame gave back after its first reading; false
// (and the reason shown) when it cannot be.
bool inHand(FrameRecord& f, const FrameFileSeen& seen) {
  if (f.pixels != nullptr) return true;
  const Failure why = readAgain(f, seen);
  if (why == Failure::none) return true;
  refuseLoad(f, why);
  return false;
}

// The same for every frame, for steps that need all frames at once.
bool readAllAgain(std::span<FrameRecord> frames, std::span<const FrameFileSeen> seen) {
  for (size_t k = 0; k < seen.size(); ++k) {
    if (!inHand(frames[k], seen[k])) return false;
  }
  return true;
}

// Writes the animation a frame at a time: `make(k, frame)` finishes frame k
// just before it is written (false when it stopped, with the reason shown),
// and the frame is let go after, so that the build holds the frame in hand
// and what the steps keep, whatever the count, and the disk gets the first
// frames while later ones are made. False (and the reason shown) when the
// file was not written.
template <class MakeFrame>
bool streamFrames(size_t count, const cursor::Cursor& head, uint64_t frameBytes,
                  const char* outputPath, MakeFrame make) {
  SafeWrite write;
  if (!beginSafeWrite(outputPath, write)) {
    refuseWrite(outputPath, plat::lastFileError());
    return false;
  }
  bool framesDone = true;
  bool written = false;
  try {
    CursorStream stream(write.file, head, static_cast<uint32_t>(count), frameBytes);
    for (size_t k = 0; k < count && framesDone; ++k) {
      cursor::Frame frame;
      framesDone = make(k, frame);
      if (framesDone) stream.put(frame);
    }
    written = framesDone && stream.finish();
  } catch (const std::bad_alloc&) {
    showOutOfMemory();
    framesDone = false;
  }
  if (!endSafeWrite(write, outputPath, written) && framesDone) {
    refuseWrite(outputPath, plat::lastFileError());
    return false;
  }
  return written;
}

// The frame's pictures at the script's sizes (when it names any); false
// (and the box shown) when their memory could not be had.
bool sizeAsAsked(const AnimationOptions* script, cursor::Frame& frame) {
  if (script == nullptr || sizeFrame(*script, frame)) return true;
  showOutOfMemory();
  return false;
}

// What every streamed build settles before its first frame: the limits, the
// hotspot and the cursor's steps and texts. False (and the reason shown)
// when the build stops there.
bool prepareStream(const Settings& settings, std::span<const FrameRecord> frames, int bits,
                   const ContentRect& r, const BuildOptions& options, const char* outputPath,
                   OutputPlan& plan, Hotspot& hotspot, cursor::Cursor& head) {
  plan = planOutput(settings, frames, bits, r, options.script);
  if (!withinLimits(plan, outputPath) ||
      (options.script != nullptr && options.script->hasHotspot &&
       !placeHotspot(settings, frames, *options.script, r, hotspot))) {
    return false;
  }
  try {
    takeHead(options.script, static_cast<int>(frames.size()), head);
  } catch (const std::bad_alloc&) {
    showOutOfMemory();
    return false;
  }
  return true;
}

// A 24-bit animation that is saved: each frame is read again, goes through
// its steps over the first (kept) and into the file.
bool streamFrames24(const Settings& settings, std::span<FrameRecord> frames,
                    std::span<const FrameFileSeen> seen, ContentRect r, const BuildOptions& options,
                    const char* outputPath) {
  if (settings.optimize) r = widenBoundsFor24Bit(r);
  OutputPlan plan;
  Hotspot hotspot;
  cursor::Cursor head;
  if (!prepareStream(settings, frames, 24, r, options, outputPath, plan, hotspot, head)) {
    return false;
  }
  std::unique_ptr<FusedSteps24> steps;
  try {
    steps = std::make_unique<FusedSteps24>(settings, frames.size());
  } catch (const std::bad_alloc&) {
    showOutOfMemory();
    return false;
  }
  return streamFrames(
      frames.size(), head, plan.frameBytes, outputPath, [&](size_t k, cursor::Frame& frame) {
        FrameRecord& f = frames[k];
        if (!inHand(f, seen[k])) return false;
        const bool under = steps->merging() && k == 0;
        const Failure why = steps->run(f, steps->merging() && k > 0 ? &frames[0] : nullptr, r);
        if (why == Failure::outOfMemory) {
          showOutOfMemory();
          return false;
        }
        if (why != Failure::none) {
          reportMaskFailure(why, f);
          return false;
        }
        frame.images.push_back(takeImage(settings, f, under));
        placeOn(frame, hotspot);
        return sizeAsAsked(options.script, frame);
      });
}

// Measures, for the crop, the frames the first reading did not: those of 8
// and 24 bits in a build that has alpha.
bool measureTheRest(const Settings& settings, std::span<FrameRecord> frames,
                    FirstReading& reading) {
  for (size_t k = 0; k < frames.size(); ++k) {
    if (reading.measured[k] != 0) continue;
    if (!inHand(frames[k], reading.seen[k]) ||
        !measureAlphaFrame(settings, frames[k], k, reading)) {
      return false;
    }
  }
  return true;
}

// An animation with alpha that is saved: the crop's bounds come first (from
// every frame), then each frame is promoted, has its colours settled, is
// cropped, laid over the first (kept), masked, sized, written and let go.
bool streamAlphaFrames(const Settings& settings, std::span<FrameRecord> frames,
                       FirstReading& reading, const BuildOptions& options, const char* outputPath) {
  if (settings.optimize && !measureTheRest(settings, frames, reading)) return false;
  const ContentRect r = settings.optimize ? reading.bounds : kEmptyRect;
  OutputPlan plan;
  Hotspot hotspot;
  cursor::Cursor head;
  if (!prepareStream(settings, frames, 32, r, options, outputPath, plan, hotspot, head) ||
      !haveAlphaColours(settings, reading)) {
    return false;
  }
  const bool merging = settings.merge && frames.size() >= 2;
  return streamFrames(
      frames.size(), head, plan.frameBytes, outputPath, [&](size_t k, cursor::Frame& frame) {
        FrameRecord& f = frames[k];
        if (!inHand(f, reading.seen[k])) return false;
        const bool settled = reading.settled[k] != 0;
        if (!settled && !promoteFrameToAlpha(f)) {
          showOutOfMemory();
          return false;
        }
        if (!settled) reading.colours->settle(f);
        if ((!rectIsEmpty(r) && !cropAlphaFrame(f, r)) ||
            (merging && k > 0 && !mergeAlphaFrame(frames[0], f)) || !buildAlphaMask(f)) {
          showOutOfMemory();
          return false;
        }
        frame.images.push_back(takeImage(settings, f, merging && k == 0));
        placeOn(frame, hotspot);
        return sizeAsAsked(options.script, frame);
      });
}

// Writes the whole cursor under a temporary name beside the target and moves
// it over the target only when complete (a static cursor as a .cur file of
// the first frame). False (and the failure shown) when it was not written.
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

}  // namespace

BuildResult buildAndSave(const Settings& settings, std::span<const FrameSource> sources,
                         const BuildOptions& options, bool staticCursor) {
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
  // A static cursor is made from the whole cursor; an animation may be
  // written as it is made.
  const bool mayStream = !staticCursor;
  std::optional<FirstReading> reading;
  try {
    if (mayStream) reading.emplace(table.size());
  } catch (const std::bad_alloc&) {
    showOutOfMemory();
    return result;
  }
  FirstReading* const first = reading ? &*reading : nullptr;
  ContentRect bounds = kEmptyRect;
  const bool read = readAllFrames(settings, frames, options.preview, bounds, first);
  result.sizes.reserve(table.size());
  for (const FrameRecord& f : table) result.sizes.push_back({f.width, f.height});
  if (!read) return result;
  const bool is24 = !frames.empty() && headerBitCount(frames[0].header) == 24;
  const bool alpha = std::any_of(table.begin(), table.end(), frameHasAlpha);
  if (first != nullptr && alpha) {
    result.built = streamAlphaFrames(settings, frames, *first, options, outputPath);
    return result;
  }
  if (first != nullptr && is24) {
    result.built = streamFrames24(settings, frames, first->seen, bounds, options, outputPath);
    return result;
  }
  // What is left is an 8-bit animation or a static cursor: every frame is
  // held.
  if (first != nullptr && !readAllAgain(frames, first->seen)) return result;
  if (!(alpha ? processAlphaFrames(settings, frames, bounds, outputPath, options.script)
              : processFrames(settings, frames, is24, bounds, outputPath, options.script))) {
    return result;
  }
  Hotspot hotspot;
  if (options.script != nullptr && options.script->hasHotspot &&
      !placeHotspot(settings, frames, *options.script, bounds, hotspot)) {
    return result;
  }
  // 8-bit frames are small, but their pictures at the sizes are not: when
  // saved, each frame is sized just before it is written.
  const bool sized = options.script != nullptr && options.script->sizeCount > 0;
  cursor::Cursor cursor;
  if (!makeCursor(settings, frames, options.script, hotspot, cursor) ||
      (sized && !mayStream && !sizeFrames(*options.script, cursor))) {
    showOutOfMemory();
    return result;
  }
  if (mayStream && sized) {
    const OutputPlan plan = planOutput(settings, frames, 8, bounds, options.script);
    result.built = streamFrames(cursor.frames.size(), cursor, plan.frameBytes, outputPath,
                                [&](size_t k, cursor::Frame& frame) {
                                  frame = std::move(cursor.frames[k]);
                                  return sizeAsAsked(options.script, frame);
                                });
    return result;
  }
  result.built = saveCursor(outputPath, cursor, staticCursor);
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
    reportFailure(Failure::replacesAnInput, outputPath, f.path != nullptr ? f.path : "");
    return true;
  }
  return false;
}
