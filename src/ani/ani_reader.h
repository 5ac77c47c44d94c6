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

// Limits in one place: beyond them the reader stops listing or reading, so
// that no file can ask for an unreasonable amount of memory or time.
namespace anilimits {
constexpr uint64_t kFileBytes = uint64_t{1} << 28;  // files larger than this are not read
constexpr uint32_t kChunksListed = 65536;
constexpr uint32_t kFrames = 65536;
constexpr uint32_t kDefectsListed = 1000;
constexpr int kListDepth = 16;  // LISTs nested deeper are not walked
constexpr int32_t kFrameSide = 16384;
constexpr uint64_t kFramePixels = uint64_t{1} << 24;
constexpr uint32_t kTextBytes = 256;  // of an INFO title or author
}  // namespace anilimits

// What can be wrong with a file. Every defect carries the offset of the
// byte where it shows.
enum class AniDefectKind {
  NotRiff,
  NotAcon,
  RiffPastEnd,
  TrailingBytes,
  ChunkPastParent,
  StrayBytes,
  PadMissing,
  PadOutsideParent,
  PadNotZero,
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
  IconTooShort,
  DirReserved,
  DirType,
  DirCount,
  EntriesPastChunk,
  ImageOverlapsDirectory,
  ImageOffsetPastChunk,
  ImagePastChunk,
  PngImage,
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

// One "icon" chunk of the frame list. Offsets are file offsets; a frame is
// `readable` when its colour rows lie inside the file, so that it can be
// drawn (its mask may still be short: `maskBytesPresent`).
struct AniFrame {
  uint64_t chunkOffset = 0;
  uint32_t chunkSize = 0;
  IconDir dir = {};
  IconDirEntry entry = {};  // the first entry
  BitmapInfoHeader header = {};
  int32_t width = 0;
  int32_t height = 0;  // visible: half the stored height
  uint32_t paletteEntries = 0;
  uint64_t paletteAt = 0;
  uint64_t colourAt = 0;
  uint64_t colourBytes = 0;
  uint64_t maskAt = 0;
  uint64_t maskBytes = 0;
  uint64_t maskBytesPresent = 0;
  bool readable = false;
};

// The steps come from the "seq " and "rate" chunks when present, else from
// the header; they are read from the file on demand (see aniStepFrame).
struct AniFile {
  uint64_t fileSize = 0;
  bool isAcon = false;  // starts with "RIFF" ... "ACON"
  uint32_t riffSize = 0;

  bool hasHeader = false;
  uint64_t headerAt = 0;  // file offset of the "anih" body
  uint32_t headerChunkSize = 0;
  AniHeader header = {};

  bool hasFrameList = false;
  std::vector<AniFrame> frames;
  uint64_t framesNotRead = 0;  // icon chunks beyond the limit

  bool hasSeq = false;
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

// Reads and checks `size` bytes. Never fails: what cannot be read is a
// defect in the result.
void readAniFile(const uint8_t* data, uint64_t size, AniFile& out);

// The steps a loader plays, in order, with each step's frame and display
// time in jiffies (1/60 s).
uint32_t aniStepCount(const AniFile& file);
uint32_t aniStepFrame(const AniFile& file, const uint8_t* data, uint32_t step);
uint32_t aniStepJiffies(const AniFile& file, const uint8_t* data, uint32_t step);

// The verdict: 0 no defect, 1 defects but frames could be read, 2 nothing
// could be read.
int aniVerdict(const AniFile& file);

// One line for a defect: what is wrong, then what a loader will do with it.
std::string describeAniDefect(const AniDefect& defect);

// Decodes a readable frame into width * height pixels, top row first:
// `colour` gets the XOR colour 0x00RRGGBB (with the alpha byte in the top
// for 32-bit frames), `mask` one byte per pixel, 1 where the AND mask bit
// is set (mask bytes missing from the file count as 0). False when the
// frame is not readable.
bool decodeAniFrame(const uint8_t* data, uint64_t size, const AniFrame& frame, uint32_t* colour,
                    uint8_t* mask);

// True when a 32-bit frame carries an alpha channel; such frames are drawn
// by blending, and their mask is not used.
bool frameUsesAlpha(const AniFrame& frame, const uint32_t* colour);

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
