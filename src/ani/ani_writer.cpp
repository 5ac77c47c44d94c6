#include "ani/ani_writer.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>
#include <vector>

#include "ani/ani_format.h"
#include "ani/ani_options.h"
#include "base/bytes.h"
#include "image/bitmap_format.h"

namespace {

constexpr uint64_t kImageHeader24 = bmpinfo::kSize;
constexpr uint64_t kImageHeader8 = bmpinfo::kSize + kPaletteEntries * 4;

// Small writes are gathered in `buffer`; `failed` remembers that any byte
// could not be written, so that the caller can refuse to keep the file.
struct Output {
  plat::FileHandle handle = plat::kInvalidFile;
  bool failed = false;
  uint32_t buffered = 0;
  std::vector<uint8_t> buffer = std::vector<uint8_t>(16384);
  uint64_t written = 0;  // bytes handed to the system
  uint64_t sent = 0;     // of those, the ones it was asked to write back
};

// Every saved file is flushed before it takes its name. Asking for the
// write-back once a stretch has been written lets the disk work while the
// rest is made, and leaves the flush little to wait for.
constexpr uint64_t kWriteBackStretch = uint64_t{1} << 20;

void wrote(Output& file, uint64_t count) {
  file.written += count;
  if (file.written - file.sent < kWriteBackStretch) return;
  plat::startWriteBack(file.handle, file.sent, file.written - file.sent);
  file.sent = file.written;
}

void flush(Output& file) {
  if (file.buffered != 0 && !plat::writeBytes(file.handle, file.buffer.data(), file.buffered)) {
    file.failed = true;
  }
  wrote(file, file.buffered);
  file.buffered = 0;
}

void put(Output& file, const void* data, uint64_t count) {
  if (count == 0) return;
  if (count > file.buffer.size() - file.buffered) {
    flush(file);
    if (count >= file.buffer.size()) {
      if (count > std::numeric_limits<uint32_t>::max() ||
          !plat::writeBytes(file.handle, data, static_cast<uint32_t>(count))) {
        file.failed = true;
      }
      wrote(file, count);
      return;
    }
  }
  std::memcpy(file.buffer.data() + file.buffered, data, static_cast<size_t>(count));
  file.buffered += static_cast<uint32_t>(count);
}

void putChunkHeader(Output& file, const char (&id)[5], uint64_t size) {
  uint8_t bytes[sizeof(ChunkHeader)];
  std::memcpy(bytes, id, 4);
  if (size > std::numeric_limits<uint32_t>::max()) file.failed = true;
  binio::putLe32(bytes + 4, static_cast<uint32_t>(size));
  put(file, bytes, sizeof bytes);
}

void putLe32(Output& file, uint32_t value) {
  uint8_t bytes[4];
  binio::putLe32(bytes, value);
  put(file, bytes, sizeof bytes);
}

// A text of the "INFO" list: zero-terminated, padded to an even size; the
// chunk's size counts the zero but not the pad. Empty texts are left out.
uint64_t infoTextSize(const std::string& text) {
  const auto length = static_cast<uint64_t>(
      std::min<size_t>(std::strlen(text.c_str()), static_cast<size_t>(anifile::kMaxInfoText)));
  return length == 0 ? 0 : length + 1;
}

uint64_t infoListSize(const cursor::Cursor& c) {
  uint64_t size = 0;
  for (const std::string* text : {&c.title, &c.author}) {
    const uint64_t body = infoTextSize(*text);
    if (body != 0) size += sizeof(ChunkHeader) + roundUpEven(body);
  }
  return size == 0 ? 0 : 4 + size;  // "INFO" and the texts
}

void putInfoText(Output& file, const char (&id)[5], const std::string& text) {
  const uint64_t body = infoTextSize(text);
  if (body == 0) return;
  putChunkHeader(file, id, body);
  put(file, text.data(), body - 1);
  const uint8_t zeros[2] = {};
  put(file, zeros, roundUpEven(body) - body + 1);
}

// Sides the byte cannot hold are written as 0, which loaders read as "256
// or more" and then take the size from the bitmap header.
uint8_t entrySide(int32_t side) {
  return side > anifile::kLargestEntrySide ? 0 : static_cast<uint8_t>(side);
}

// A frame without an image is written as an empty 8-bit one.
const cursor::Image kNoImage;

size_t imageCount(const cursor::Frame& frame) { return std::max<size_t>(frame.images.size(), 1); }

const cursor::Image& imageOf(const cursor::Frame& frame, size_t i) {
  return frame.images.empty() ? kNoImage : frame.images[i];
}

// Only 8-bit pictures (and the empty one) carry a palette.
bool hasPalette(const cursor::Image& image) { return image.depth <= 8; }

// Bytes of one picture: header, palette, colour rows and mask rows.
uint64_t imageSize(const cursor::Image& image) {
  return (hasPalette(image) ? kImageHeader8 : kImageHeader24) + image.pixels.size() +
         image.mask.size();
}

// Bytes of a frame's cursor resource: the directory, one entry per
// picture, then the pictures.
uint64_t resourceSize(const cursor::Frame& frame) {
  uint64_t size = sizeof(IconDir);
  for (size_t i = 0; i < imageCount(frame); ++i) {
    size += sizeof(IconDirEntry) + imageSize(imageOf(frame, i));
  }
  return size;
}

void putImage(Output& file, const cursor::Image& image) {
  // The header holds the colour rows and the mask rows.
  const auto doubledHeight = static_cast<int32_t>(static_cast<uint32_t>(image.height) * 2u);
  uint8_t header[bmpinfo::kSize] = {};
  binio::putLe32(header + bmpinfo::kSizeField, bmpinfo::kSize);
  binio::putLe32(header + bmpinfo::kWidth, static_cast<uint32_t>(image.width));
  binio::putLe32(header + bmpinfo::kHeight, static_cast<uint32_t>(doubledHeight));
  binio::putLe16(header + bmpinfo::kPlanes, image.planes);
  binio::putLe16(header + bmpinfo::kBitCount, image.depth);
  binio::putLe32(header + bmpinfo::kSizeImage, image.sizeImage);
  put(file, header, sizeof header);
  if (hasPalette(image)) {
    uint8_t palette[kPaletteEntries * 4] = {};
    if (!image.palette.empty()) {
      std::memcpy(palette, image.palette.data(), std::min(image.palette.size(), sizeof palette));
    }
    put(file, palette, sizeof palette);
  }
  put(file, image.pixels.data(), image.pixels.size());
  put(file, image.mask.data(), image.mask.size());
}

// A cursor resource as a .cur file holds it: the directory, then an entry
// per picture (each with its hotspot), then the pictures in that order.
void putResource(Output& file, const cursor::Frame& frame) {
  const size_t count = imageCount(frame);
  uint8_t dir[sizeof(IconDir)] = {};
  binio::putLe16(dir + offsetof(IconDir, type), anifile::kCursorType);
  binio::putLe16(dir + offsetof(IconDir, count), static_cast<uint16_t>(count));
  put(file, dir, sizeof dir);
  uint64_t offset = sizeof(IconDir) + sizeof(IconDirEntry) * count;
  for (size_t i = 0; i < count; ++i) {
    const cursor::Image& image = imageOf(frame, i);
    const auto doubledHeight = static_cast<int32_t>(static_cast<uint32_t>(image.height) * 2u);
    uint8_t entry[sizeof(IconDirEntry)] = {};
    entry[offsetof(IconDirEntry, width)] = entrySide(image.width);
    entry[offsetof(IconDirEntry, height)] = entrySide(doubledHeight / 2);
    binio::putLe16(entry + offsetof(IconDirEntry, hotspotX), image.hotspotX);
    binio::putLe16(entry + offsetof(IconDirEntry, hotspotY), image.hotspotY);
    binio::putLe32(entry + offsetof(IconDirEntry, bytesInResource),
                   static_cast<uint32_t>(imageSize(image)));
    binio::putLe32(entry + offsetof(IconDirEntry, imageOffset), static_cast<uint32_t>(offset));
    put(file, entry, sizeof entry);
    offset += imageSize(image);
  }
  for (size_t i = 0; i < count; ++i) putImage(file, imageOf(frame, i));
}

void putIconChunk(Output& file, const cursor::Frame& frame) {
  const uint64_t chunkSize = resourceSize(frame);
  putChunkHeader(file, "icon", chunkSize);
  putResource(file, frame);
  if (chunkSize % 2 != 0) {
    const uint8_t pad = 0;
    put(file, &pad, 1);
  }
}

// Everything before the first "icon" chunk. `frames` and `frameBytes` stand
// for the frames, which need not be in `c` yet.
void putHead(Output& file, const cursor::Cursor& c, uint32_t frames, uint64_t frameBytes) {
  const auto steps = static_cast<uint32_t>(c.steps.size());
  const uint64_t stepTable = uint64_t{4} * steps;
  const uint64_t listSize = 4 + frameBytes;  // "fram" and the chunks
  const uint64_t info = infoListSize(c);
  uint64_t riffSize = 4 + sizeof(ChunkHeader) + sizeof(AniHeader) + sizeof(ChunkHeader) + listSize;
  if (info != 0) riffSize += sizeof(ChunkHeader) + info;
  if (c.rateChunk) riffSize += sizeof(ChunkHeader) + stepTable;
  if (c.sequenceChunk) riffSize += sizeof(ChunkHeader) + stepTable;
  putChunkHeader(file, "RIFF", riffSize);
  put(file, "ACON", 4);

  if (info != 0) {
    putChunkHeader(file, "LIST", info);
    put(file, "INFO", 4);
    putInfoText(file, "INAM", c.title);
    putInfoText(file, "IART", c.author);
  }

  putChunkHeader(file, "anih", sizeof(AniHeader));
  uint8_t anih[sizeof(AniHeader)] = {};
  binio::putLe32(anih + offsetof(AniHeader, headerSize), sizeof(AniHeader));
  binio::putLe32(anih + offsetof(AniHeader, frames), frames);
  binio::putLe32(anih + offsetof(AniHeader, steps), steps);
  binio::putLe32(anih + offsetof(AniHeader, displayRate),
                 steps > 0 ? c.steps[0].jiffies : anifile::kDisplayRate);
  binio::putLe32(anih + offsetof(AniHeader, flags),
                 anifile::kAniFlagIcon | (c.sequenceChunk ? anifile::kAniFlagSequence : 0));
  put(file, anih, sizeof anih);

  if (c.rateChunk) {
    putChunkHeader(file, "rate", stepTable);
    for (const cursor::Step& step : c.steps) putLe32(file, step.jiffies);
  }
  if (c.sequenceChunk) {
    putChunkHeader(file, "seq ", stepTable);
    for (const cursor::Step& step : c.steps) putLe32(file, step.frame);
  }

  putChunkHeader(file, "LIST", listSize);
  put(file, "fram", 4);
}

}  // namespace

struct CursorStream::Output : ::Output {};

uint64_t CursorStream::frameBytes(const cursor::Frame& frame) {
  return sizeof(ChunkHeader) + roundUpEven(resourceSize(frame));
}

CursorStream::CursorStream(plat::FileHandle file, const cursor::Cursor& head, uint32_t frames,
                           uint64_t frameBytes)
    : out_(std::make_unique<Output>()), announced_(frameBytes) {
  out_->handle = file;
  out_->failed = file == plat::kInvalidFile;
  putHead(*out_, head, frames, frameBytes);
}

CursorStream::~CursorStream() = default;

void CursorStream::put(const cursor::Frame& frame) {
  putIconChunk(*out_, frame);
  written_ += frameBytes(frame);
}

bool CursorStream::finish() {
  flush(*out_);
  return !out_->failed && written_ == announced_;
}

uint64_t iconChunkSize(int64_t pixelBytes, int64_t maskBytes, bool is24Bit) {
  const uint64_t image = (is24Bit ? kImageHeader24 : kImageHeader8) +
                         static_cast<uint64_t>(std::max<int64_t>(pixelBytes, 0)) +
                         static_cast<uint64_t>(std::max<int64_t>(maskBytes, 0));
  return anifile::kImageOffset + image;
}

bool writeCursor(const cursor::Cursor& c, plat::FileHandle handle) {
  if (handle == plat::kInvalidFile) return false;
  uint64_t frameBytes = 0;
  for (const cursor::Frame& frame : c.frames) frameBytes += CursorStream::frameBytes(frame);
  CursorStream stream(handle, c, static_cast<uint32_t>(c.frames.size()), frameBytes);
  for (const cursor::Frame& frame : c.frames) stream.put(frame);
  return stream.finish();
}

bool writeStaticCursor(const cursor::Frame& frame, plat::FileHandle handle) {
  if (handle == plat::kInvalidFile) return false;
  Output file;
  file.handle = handle;
  putResource(file, frame);
  flush(file);
  return !file.failed;
}

bool writeCursorFile(const cursor::Cursor& c, const char* path) {
  const plat::FileHandle handle = plat::createNewForWrite(path);
  if (handle == plat::kInvalidFile) return false;
  const bool written = writeCursor(c, handle);
  return plat::closeFile(handle) && written;
}
