#include "ani/ani_writer.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>

#include "ani/ani_format.h"
#include "base/bytes.h"
#include "image/bitmap_format.h"
#include "image/colour_lookup.h"
#include "image/pixels.h"

namespace {

constexpr uint64_t kImageHeader24 = bmpinfo::kSize;
constexpr uint64_t kImageHeader8 = bmpinfo::kSize + kPaletteEntries * 4;

void flush(AnimationFile& file) {
  if (file.buffered != 0 && !plat::writeBytes(file.handle, file.buffer, file.buffered)) {
    file.failed = true;
  }
  file.buffered = 0;
}

void put(AnimationFile& file, const void* data, uint64_t count) {
  if (count == 0) return;
  if (count > sizeof file.buffer - file.buffered) {
    flush(file);
    if (count >= sizeof file.buffer) {
      if (count > std::numeric_limits<uint32_t>::max() ||
          !plat::writeBytes(file.handle, data, static_cast<uint32_t>(count))) {
        file.failed = true;
      }
      return;
    }
  }
  std::memcpy(file.buffer + file.buffered, data, static_cast<size_t>(count));
  file.buffered += static_cast<uint32_t>(count);
}

void putChunkHeader(AnimationFile& file, const char (&id)[5], uint64_t size) {
  uint8_t bytes[sizeof(ChunkHeader)];
  std::memcpy(bytes, id, 4);
  if (size > std::numeric_limits<uint32_t>::max()) file.failed = true;
  binio::putLe32(bytes + 4, static_cast<uint32_t>(size));
  put(file, bytes, sizeof bytes);
}

void putLe32(AnimationFile& file, uint32_t value) {
  uint8_t bytes[4];
  binio::putLe32(bytes, value);
  put(file, bytes, sizeof bytes);
}

// A text of the "INFO" list: zero-terminated, padded to an even size; the
// chunk's size counts the zero but not the pad. Empty texts are left out.
uint64_t infoTextSize(const char* text) {
  const auto length =
      static_cast<uint64_t>(std::find(text, text + anifile::kMaxInfoText, '\0') - text);
  return length == 0 ? 0 : length + 1;
}

uint64_t infoListSize(const AnimationOptions& o) {
  uint64_t size = 0;
  for (const char* text : {o.title, o.author}) {
    const uint64_t body = infoTextSize(text);
    if (body != 0) size += sizeof(ChunkHeader) + roundUpEven(body);
  }
  return size == 0 ? 0 : 4 + size;  // "INFO" and the texts
}

void putInfoText(AnimationFile& file, const char (&id)[5], const char* text) {
  const uint64_t body = infoTextSize(text);
  if (body == 0) return;
  putChunkHeader(file, id, body);
  put(file, text, body - 1);
  const uint8_t zeros[2] = {};
  put(file, zeros, roundUpEven(body) - body + 1);
}

// Sides the byte cannot hold are written as 0, which loaders read as "256
// or more" and then take the size from the bitmap header.
uint8_t entrySide(int32_t side) {
  return side > anifile::kLargestEntrySide ? 0 : static_cast<uint8_t>(side);
}

uint64_t frameChunkSize(const FrameRecord& f) {
  return iconChunkSize(f.pixelBytes, f.maskBytes, appState.is24Bit != 0);
}

// Transparent colours turn black first, then the first replace pair whose
// "from" colour equals the entry (as left by the first filter) applies.
void filterPalette(uint8_t* palette) {
  const int trans = appState.optTransparent ? usedEntries(appState.transCount) : 0;
  const int pairs = appState.optReplace ? usedEntries(appState.replaceCount) / 2 : 0;
  for (uint32_t i = 0; i < kPaletteEntries; ++i) {
    uint32_t entry = binio::getLe32(palette + 4 * i);
    for (int t = 0; t < trans; ++t) {
      if (swapRedBlue(appState.transColors[t]) == entry) {
        entry = 0;
        break;
      }
    }
    for (int k = 0; k < pairs; ++k) {
      if (swapRedBlue(appState.replaceColors[2 * k]) == entry) {
        entry = swapRedBlue(appState.replaceColors[2 * k + 1]);
        break;
      }
    }
    binio::putLe32(palette + 4 * i, entry);
  }
}

}  // namespace

uint64_t iconChunkSize(int64_t pixelBytes, int64_t maskBytes, bool is24Bit) {
  const uint64_t image = (is24Bit ? kImageHeader24 : kImageHeader8) +
                         static_cast<uint64_t>(std::max<int64_t>(pixelBytes, 0)) +
                         static_cast<uint64_t>(std::max<int64_t>(maskBytes, 0));
  return anifile::kImageOffset + image;
}

bool createAnimationFile(AnimationFile& file, const char* path, const AnimationOptions* options) {
  return startAnimationFile(file, plat::createNewForWrite(path), options);
}

bool startAnimationFile(AnimationFile& file, plat::FileHandle handle,
                        const AnimationOptions* options) {
  file.handle = handle;
  file.failed = false;
  file.buffered = 0;
  if (file.handle == plat::kInvalidFile) return false;

  static const AnimationOptions kPlain;
  const AnimationOptions& o = options != nullptr ? *options : kPlain;
  const int frames = frameTotal();
  const int sequence = std::clamp(o.sequenceLength, 0, anifile::kMaxSteps);
  const int steps = sequence > 0 ? sequence : frames;
  const int rates = std::clamp(o.rateCount, 0, anifile::kMaxSteps);
  // One rate serves every step from "anih"; a chunk only when each step has
  // its own.
  const bool rateChunk = rates > 1 && rates == steps;

  uint64_t listSize = 4;  // "fram"
  for (int k = 0; k < frames; ++k) {
    listSize += sizeof(ChunkHeader) + roundUpEven(frameChunkSize(appState.frameTable[k]));
  }
  const uint64_t info = infoListSize(o);
  const uint64_t stepTable = uint64_t{4} * static_cast<uint64_t>(steps);
  uint64_t riffSize = 4 + sizeof(ChunkHeader) + sizeof(AniHeader) + sizeof(ChunkHeader) + listSize;
  if (info != 0) riffSize += sizeof(ChunkHeader) + info;
  if (rateChunk) riffSize += sizeof(ChunkHeader) + stepTable;
  if (sequence > 0) riffSize += sizeof(ChunkHeader) + stepTable;
  putChunkHeader(file, "RIFF", riffSize);
  put(file, "ACON", 4);

  if (info != 0) {
    putChunkHeader(file, "LIST", info);
    put(file, "INFO", 4);
    putInfoText(file, "INAM", o.title);
    putInfoText(file, "IART", o.author);
  }

  putChunkHeader(file, "anih", sizeof(AniHeader));
  uint8_t anih[sizeof(AniHeader)] = {};
  binio::putLe32(anih + offsetof(AniHeader, headerSize), sizeof(AniHeader));
  binio::putLe32(anih + offsetof(AniHeader, frames), static_cast<uint32_t>(frames));
  binio::putLe32(anih + offsetof(AniHeader, steps), static_cast<uint32_t>(steps));
  binio::putLe32(anih + offsetof(AniHeader, displayRate),
                 rates > 0 ? o.rates[0] : anifile::kDisplayRate);
  binio::putLe32(anih + offsetof(AniHeader, flags),
                 anifile::kAniFlagIcon | (sequence > 0 ? anifile::kAniFlagSequence : 0));
  put(file, anih, sizeof anih);

  if (rateChunk) {
    putChunkHeader(file, "rate", stepTable);
    for (int i = 0; i < steps; ++i) putLe32(file, o.rates[i]);
  }
  if (sequence > 0) {
    putChunkHeader(file, "seq ", stepTable);
    for (int i = 0; i < sequence; ++i) putLe32(file, o.sequence[i]);
  }

  putChunkHeader(file, "LIST", listSize);
  put(file, "fram", 4);
  return true;
}

void writeIconChunk(AnimationFile& file, FrameRecord& frame, uint16_t hotspotX, uint16_t hotspotY) {
  if (file.handle == plat::kInvalidFile) return;
  const bool is24 = appState.is24Bit != 0;
  const uint64_t chunkSize = frameChunkSize(frame);
  putChunkHeader(file, "icon", chunkSize);

  uint8_t dir[anifile::kImageOffset] = {};
  binio::putLe16(dir + offsetof(IconDir, type), anifile::kCursorType);
  binio::putLe16(dir + offsetof(IconDir, count), 1);
  uint8_t* entry = dir + sizeof(IconDir);
  const int32_t doubledHeight = headerHeight(frame.header);
  entry[offsetof(IconDirEntry, width)] = entrySide(headerWidth(frame.header));
  entry[offsetof(IconDirEntry, height)] = entrySide(doubledHeight / 2);
  binio::putLe16(entry + offsetof(IconDirEntry, hotspotX), hotspotX);
  binio::putLe16(entry + offsetof(IconDirEntry, hotspotY), hotspotY);
  binio::putLe32(entry + offsetof(IconDirEntry, bytesInResource),
                 static_cast<uint32_t>(chunkSize - anifile::kImageOffset));
  binio::putLe32(entry + offsetof(IconDirEntry, imageOffset), anifile::kImageOffset);
  put(file, dir, sizeof dir);

  std::memset(frame.header + bmpinfo::kXPelsPerMeter, 0, bmpinfo::kSize - bmpinfo::kXPelsPerMeter);
  put(file, frame.header, bmpinfo::kSize);
  if (!is24) {
    filterPalette(frame.palette);
    put(file, frame.palette, kPaletteEntries * 4);
  }
  put(file, frame.pixels, static_cast<uint64_t>(std::max(frame.pixelBytes, 0)));
  put(file, frame.maskBits, static_cast<uint64_t>(std::max(frame.maskBytes, 0)));
  if (chunkSize % 2 != 0) {
    const uint8_t pad = 0;
    put(file, &pad, 1);
  }
}

bool finishAnimationFile(AnimationFile& file) {
  if (file.handle == plat::kInvalidFile) return false;
  flush(file);
  file.handle = plat::kInvalidFile;
  return !file.failed;
}

bool closeAnimationFile(AnimationFile& file) {
  const plat::FileHandle handle = file.handle;
  const bool written = finishAnimationFile(file);
  return plat::closeFile(handle) && written;
}
