// Reads any RIFF "ACON" animated cursor, ours or anybody's, and checks it as
// strictly as the strictest loaders do. The reader never trusts a size or a
// count from the file: every range is checked against the bytes present (in
// 64-bit arithmetic) before it is read, and what does not fit is reported
// as a defect instead of being read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ani/ani_format.h"
#include "image/bitmap_format.h"
#include "image/png_decode.h"

// Limits in one place: beyond them the reader stops listing or reading, so
// that no file can ask for an unreasonable amount of memory or time.
namespace anilimits {
constexpr uint64_t kFileBytes = uint64_t{1} << 28;  // files larger than this are not read
constexpr uint32_t kChunksListed = 65536;
constexpr uint32_t kFrames = 65536;
constexpr uint32_t kImages = 65536;                        // of all frames together
constexpr uint64_t kPngPixelsChecked = uint64_t{1} << 26;  // decoded while checking
constexpr uint32_t kDefectsListed = 1000;
constexpr int kListDepth = 16;  // LISTs nested deeper are not walked
constexpr int32_t kFrameSide = 16384;
constexpr uint64_t kFramePixels = uint64_t{1} << 24;
constexpr uint32_t kTextBytes = 256;  // of an INFO title or author
}  // namespace anilimits

// What can be wrong with a file, or worth knowing about it. Every finding
// carries the offset of the byte where it shows; aniSeverity() tells
// defects from warnings and notes.
enum class AniDefectKind {
  NotRiff,
  NotAcon,
  RiffPastEnd,
  RiffSizeCountsHeader,
  TrailingBytes,
  ChunkPastParent,
  StrayBytes,
  PadMissing,
  PadOutsideParent,
  PadNotZero,
  OddChunkPadded,
  DuplicateChunk,
  ListTooShort,
  AnihMissing,
  AnihSize,
  AnihHeaderSize,
  NoFrames,
  NoSteps,
  NotIconFrames,
  SequenceFlagWithoutSeq,
  SeqWithoutFlag,
  ZeroRate,
  TextNotTerminated,
  FramMissing,
  NotIconChunk,
  FramesMissing,
  FramesExtra,
  StepsDisagree,
  SeqCount,
  RateCount,
  NotWholeWords,
  SeqOutOfRange,
  TooManyFrames,
  TooManyImages,
  IconTooShort,
  DirReserved,
  DirType,
  DirCount,
  EntriesPastChunk,
  ImageOverlapsDirectory,
  ImageOffsetPastChunk,
  ImagePastChunk,
  PngImage,
  PngDamaged,
  PngNotChecked,
  HeaderSize,
  HeaderPastImage,
  BadWidth,
  BadHeight,
  OddHeight,
  Planes,
  Depth,
  Compression,
  FrameTooLarge,
  PaletteTooLarge,
  PalettePastImage,
  ColourPastImage,
  MaskPastImage,
  EntryWidth,
  EntryHeight,
  IndexPastPalette,
};

// Defects are what a loader refuses or shows wrongly; warnings what loaders
// read all the same, though not as the file says or not all alike; notes
// only inform.
enum class AniSeverity { Defect, Warning, Note };

AniSeverity aniSeverity(AniDefectKind kind);

struct AniDefect {
  uint64_t offset = 0;
  AniDefectKind kind = AniDefectKind::NotRiff;
  uint64_t a = 0, b = 0, c = 0;  // the numbers the description quotes
  char id[5] = {};               // the chunk concerned
  char parent[5] = {};           // and its parent
};

// One chunk of the tree, in file order.
struct AniChunk {
  uint64_t offset = 0;  // of the chunk header
  uint32_t size = 0;    // as written
  char id[5] = {};
  char listType[5] = {};  // for "RIFF" and "LIST"
  int depth = 0;
};

// One image of a frame's icon directory: a bitmap (header, palette, colour
// rows, AND mask) or a PNG file. Offsets are file offsets; an image is
// `readable` when it can be drawn: a bitmap's colour rows lie inside the
// file (its mask may still be short: `maskBytesPresent`), a PNG decodes.
struct AniImage {
  uint64_t entryAt = 0;  // its directory entry
  IconDirEntry entry = {};
  uint64_t imageAt = 0;
  uint64_t imageBytes = 0;  // present in the chunk
  bool png = false;
  BitmapInfoHeader header = {};  // of a bitmap
  int32_t width = 0;
  int32_t height = 0;  // visible: half a bitmap's stored height
  uint32_t depth = 0;  // bits per pixel as stored
  uint32_t paletteEntries = 0;
  uint64_t paletteAt = 0;
  uint64_t colourAt = 0;
  uint64_t colourBytes = 0;
  uint64_t maskAt = 0;
  uint64_t maskBytes = 0;
  uint64_t maskBytesPresent = 0;
  bool readable = false;
};

// One "icon" chunk of the frame list, or the whole of a static cursor or
// icon file. Several images are the sizes of one frame; a loader draws one
// of them (aniChooseImages).
struct AniFrame {
  uint64_t chunkOffset = 0;
  uint32_t chunkSize = 0;
  IconDir dir = {};
  std::vector<AniImage> images;  // in directory order
  uint32_t drawnImage = 0;

  // The image a loader draws, when it can be drawn; else null.
  const AniImage* drawn() const {
    return drawnImage < images.size() && images[drawnImage].readable ? &images[drawnImage]
                                                                     : nullptr;
  }
};

// The steps come from the "seq " and "rate" chunks when present, else from
// the header; they are read from the file on demand (see aniStepFrame).
struct AniFile {
  uint64_t fileSize = 0;
  bool isAcon = false;  // starts with "RIFF" ... "ACON"
  // A static icon (1) or cursor (2) file: one frame, no chunks; loaders
  // show it as a cursor of one step. 0 for everything else.
  uint16_t staticType = 0;
  uint32_t riffSize = 0;

  bool hasHeader = false;
  uint64_t headerAt = 0;  // file offset of the "anih" body
  uint32_t headerChunkSize = 0;
  AniHeader header = {};

  bool hasFrameList = false;
  std::vector<AniFrame> frames;
  uint64_t framesNotRead = 0;  // icon chunks beyond the limit
  uint64_t imagesNotRead = 0;  // directory entries beyond the limit

  // Loaders follow a "seq " chunk only when the header's sequence flag
  // is set; `usesSeq` says they do.
  bool hasSeq = false;
  bool usesSeq = false;
  uint64_t seqAt = 0;  // file offset of the "seq " body
  uint32_t seqEntries = 0;
  bool hasRate = false;
  uint64_t rateAt = 0;
  uint32_t rateEntries = 0;

  std::string title;   // INFO "INAM"
  std::string author;  // INFO "IART"

  std::vector<AniChunk> chunks;
  uint64_t chunksNotListed = 0;
  std::vector<AniDefect> defects;  // ordered by offset
  uint64_t defectsNotListed = 0;
};

// Reads and checks `size` bytes: an animated cursor, or a static cursor or
// icon. Never fails: what cannot be read is a defect in the result. Each
// frame's drawn image is the one a loader takes at 32 x 32.
void readAniFile(const uint8_t* data, uint64_t size, AniFile& out);

// Picks in every frame the image a loader takes at `side` x `side` pixels:
// of the readable images, the nearest in size, then the deepest, then the
// first.
constexpr int32_t kLoaderSide = 32;
void aniChooseImages(AniFile& file, int32_t side);

// The steps a loader plays, in order, with each step's frame and display
// time in jiffies (1/60 s).
uint32_t aniStepCount(const AniFile& file);
uint32_t aniStepFrame(const AniFile& file, const uint8_t* data, uint32_t step);
uint32_t aniStepJiffies(const AniFile& file, const uint8_t* data, uint32_t step);

// The verdict: 0 no defect (warnings and notes allowed), 1 defects but
// frames could be read, 2 nothing could be read.
int aniVerdict(const AniFile& file);

// One line for a finding: what is wrong, then what a loader will do with it.
std::string describeAniDefect(const AniDefect& defect);

// Decodes a readable image into width * height pixels, top row first:
// `colour` gets the XOR colour 0x00RRGGBB (with the alpha byte in the top
// for 32-bit bitmaps and PNG images), `mask` one byte per pixel, 1 where
// the AND mask bit is set (mask bytes missing from the file count as 0; a
// PNG has none). False when the image cannot be decoded.
bool decodeAniFrame(const uint8_t* data, uint64_t size, const AniImage& image, uint32_t* colour,
                    uint8_t* mask);

// True when an image carries an alpha channel (a 32-bit bitmap whose alpha
// bytes are not all 0, or a PNG); such images are drawn by blending, and
// their mask is not used.
bool frameUsesAlpha(const AniImage& image, const uint32_t* colour);

// One pixel of a cursor drawn over `background` (0x00RRGGBB) as Windows
// draws it: the AND mask first, then the XOR colour, so that a set mask
// bit keeps the background and a non-black colour over it inverts those
// bits; alpha frames are blended instead.
constexpr uint32_t drawCursorPixel(uint32_t background, uint32_t colour, bool maskBit, bool alpha) {
  if (!alpha) return ((maskBit ? background : 0u) ^ colour) & 0x00FFFFFFu;
  const uint32_t a = colour >> 24;
  uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const uint32_t c = (colour >> shift) & 0xFF;
    const uint32_t b = (background >> shift) & 0xFF;
    out |= ((c * a + b * (255 - a) + 127) / 255) << shift;
  }
  return out;
}
