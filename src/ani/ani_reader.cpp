#include "ani/ani_reader.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/bytes.h"
#include "image/bmp_header.h"
#include "image/pixels.h"
#include "image/png_decode.h"

namespace {

using binio::ByteReader;
using Kind = AniDefectKind;

constexpr uint32_t kFlagIcon = 1;
constexpr uint32_t kFlagSequence = 2;
constexpr uint64_t kChunkHeader = sizeof(ChunkHeader);
constexpr uint16_t kIconType = 1;
constexpr uint16_t kCursorType = 2;
constexpr uint64_t kRiffPrefix = 12;  // "RIFF", size, form type

bool sameId(const char* a, const char* b) { return std::memcmp(a, b, 4) == 0; }

void copyId(char (&to)[5], const char* from) {
  std::memcpy(to, from, 4);
  to[4] = '\0';
}

// A chunk id that a writer would have written: four printable characters.
bool plausibleId(const ByteReader& in, uint64_t at) {
  if (!in.holds(at, 4)) return false;
  for (int i = 0; i < 4; ++i) {
    const uint8_t c = *in.at(at + i);
    if (c < 0x20 || c > 0x7E) return false;
  }
  return true;
}

struct Walk {
  const ByteReader in;
  AniFile& out;
  uint64_t firstIconAt = 0;  // where the frame list's chunks begin
  uint64_t seqChunkAt = 0;
  uint64_t rateChunkAt = 0;
  uint64_t images = 0;  // read so far, of all frames
  uint64_t pngPixelsDecoded = 0;
  uint64_t pngsNotDecoded = 0;
  uint64_t firstPngNotDecoded = 0;
  bool seenPng = false;
  bool seenOddChunk = false;

  void defect(uint64_t at, Kind kind, uint64_t a = 0, uint64_t b = 0, uint64_t c = 0,
              const char* id = nullptr, const char* parent = nullptr) {
    if (out.defects.size() >= anilimits::kDefectsListed) {
      ++out.defectsNotListed;
      return;
    }
    AniDefect d;
    d.offset = at;
    d.kind = kind;
    d.a = a;
    d.b = b;
    d.c = c;
    if (id != nullptr) copyId(d.id, id);
    if (parent != nullptr) copyId(d.parent, parent);
    out.defects.push_back(d);
  }

  uint32_t word(uint64_t at) const {
    uint32_t v = 0;
    in.u32le(at, v);
    return v;
  }

  enum class Level { Form, Frames, Info, Other };

  // Walks the chunks of [begin, end), the body of `parent`, calling visit()
  // for each; checks every size against the parent and the pad bytes that
  // keep chunks on even offsets.
  void walk(uint64_t begin, uint64_t end, const char* parent, int depth, Level level) {
    uint64_t at = begin;
    while (at < end) {
      if (end - at < kChunkHeader) {
        defect(at, Kind::StrayBytes, end - at, 0, 0, nullptr, parent);
        return;
      }
      const char* id = reinterpret_cast<const char*>(in.at(at));
      const uint32_t size = word(at + 4);
      const uint64_t body = at + kChunkHeader;
      uint64_t bodyEnd = body + size;
      const bool cut = bodyEnd > end;
      if (cut) {
        defect(at + 4, Kind::ChunkPastParent, size, bodyEnd - end, end, id, parent);
        bodyEnd = end;
      }
      listChunk(at, size, id, body, bodyEnd, depth);
      visit(level, id, at, size, body, bodyEnd, depth);

      uint64_t next = bodyEnd;
      if (size % 2 != 0 && !cut) {
        if (bodyEnd == end) {
          defect(bodyEnd, Kind::PadOutsideParent, size, 0, 0, id, parent);
        } else {
          const uint8_t pad = *in.at(bodyEnd);
          if (pad != 0 && plausibleId(in, bodyEnd) && end - bodyEnd >= kChunkHeader &&
              word(bodyEnd + 4) <= end - bodyEnd - kChunkHeader) {
            // The writer left the pad byte out: the next chunk is already
            // here, on an odd offset. Reading on from here shows the rest.
            defect(bodyEnd, Kind::PadMissing, size, 0, 0, id, nullptr);
          } else {
            if (pad != 0) defect(bodyEnd, Kind::PadNotZero, pad, 0, 0, id, nullptr);
            // Said once: it concerns the whole file.
            if (!seenOddChunk) defect(at + 4, Kind::OddChunkPadded, size, 0, 0, id, nullptr);
            seenOddChunk = true;
            next = bodyEnd + 1;
          }
        }
      }
      at = next;
    }
  }

  void listChunk(uint64_t at, uint32_t size, const char* id, uint64_t body, uint64_t bodyEnd,
                 int depth) {
    if (out.chunks.size() >= anilimits::kChunksListed) {
      ++out.chunksNotListed;
      return;
    }
    AniChunk c;
    c.offset = at;
    c.size = size;
    c.depth = depth;
    copyId(c.id, id);
    if (sameId(id, "LIST") && bodyEnd - body >= 4) {
      copyId(c.listType, reinterpret_cast<const char*>(in.at(body)));
    }
    out.chunks.push_back(c);
  }

  void visit(Level level, const char* id, uint64_t at, uint32_t size, uint64_t body,
             uint64_t bodyEnd, int depth) {
    const bool isList = sameId(id, "LIST");
    if (isList && bodyEnd - body < 4) {
      defect(at + 4, Kind::ListTooShort, size, 0, 0, id, nullptr);
      return;
    }
    const char* type = isList ? reinterpret_cast<const char*>(in.at(body)) : nullptr;
    switch (level) {
      case Level::Form:
        if (sameId(id, "anih")) {
          readHeader(at, size, body, bodyEnd);
        } else if (isList && sameId(type, "fram")) {
          if (out.hasFrameList) {
            defect(at, Kind::DuplicateChunk, 0, 0, 0, "fram");
            walkList(body, bodyEnd, depth, Level::Other);
          } else {
            out.hasFrameList = true;
            firstIconAt = body + 4;
            walkList(body, bodyEnd, depth, Level::Frames);
          }
        } else if (isList && sameId(type, "INFO")) {
          walkList(body, bodyEnd, depth, Level::Info);
        } else if (isList) {
          walkList(body, bodyEnd, depth, Level::Other);
        } else if (sameId(id, "seq ")) {
          readWords(at, size, body, bodyEnd, out.hasSeq, out.seqAt, out.seqEntries, seqChunkAt);
        } else if (sameId(id, "rate")) {
          readWords(at, size, body, bodyEnd, out.hasRate, out.rateAt, out.rateEntries, rateChunkAt);
        }
        break;
      case Level::Frames:
        if (sameId(id, "icon")) {
          readIcon(at, size, body, bodyEnd);
        } else {
          defect(at, Kind::NotIconChunk, 0, 0, 0, id, nullptr);
          if (isList) walkList(body, bodyEnd, depth, Level::Other);
        }
        break;
      case Level::Info:
        if (sameId(id, "INAM")) {
          readText(id, body, bodyEnd, out.title);
        } else if (sameId(id, "IART")) {
          readText(id, body, bodyEnd, out.author);
        } else if (isList) {
          walkList(body, bodyEnd, depth, Level::Other);
        }
        break;
      case Level::Other:
        if (isList) walkList(body, bodyEnd, depth, Level::Other);
        break;
    }
  }

  void walkList(uint64_t body, uint64_t bodyEnd, int depth, Level level) {
    if (depth + 1 > anilimits::kListDepth) return;
    walk(body + 4, bodyEnd, "LIST", depth + 1, level);
  }

  // INFO texts are zero-terminated strings.
  void readText(const char* id, uint64_t body, uint64_t bodyEnd, std::string& to) {
    to.clear();
    uint64_t p = body;
    for (; p < bodyEnd && *in.at(p) != 0; ++p) {
      if (to.size() < anilimits::kTextBytes) to.push_back(static_cast<char>(*in.at(p)));
    }
    if (p == bodyEnd)
      defect(bodyEnd == body ? body : bodyEnd - 1, Kind::TextNotTerminated, 0, 0, 0, id);
  }

  void readWords(uint64_t at, uint32_t size, uint64_t body, uint64_t bodyEnd, bool& has,
                 uint64_t& bodyAt, uint32_t& entries, uint64_t& chunkAt) {
    const char* id = reinterpret_cast<const char*>(in.at(at));
    if (has) {
      defect(at, Kind::DuplicateChunk, 0, 0, 0, id);
      return;
    }
    has = true;
    bodyAt = body;
    chunkAt = at;
    entries = static_cast<uint32_t>((bodyEnd - body) / 4);
    if (size % 4 != 0) defect(at + 4, Kind::NotWholeWords, size, 0, 0, id);
  }

  void readHeader(uint64_t at, uint32_t size, uint64_t body, uint64_t bodyEnd) {
    if (out.hasHeader) {
      defect(at, Kind::DuplicateChunk, 0, 0, 0, "anih");
      return;
    }
    out.hasHeader = true;
    out.headerAt = body;
    out.headerChunkSize = size;
    if (size != sizeof(AniHeader)) defect(at + 4, Kind::AnihSize, size);
    // Fields the chunk does not hold read as 0.
    uint32_t words[sizeof(AniHeader) / 4] = {};
    for (uint64_t i = 0; i < sizeof(AniHeader) / 4 && body + 4 * i + 4 <= bodyEnd; ++i) {
      words[i] = word(body + 4 * i);
    }
    AniHeader& h = out.header;
    h.headerSize = words[0];
    h.frames = words[1];
    h.steps = words[2];
    h.width = words[3];
    h.height = words[4];
    h.bitCount = words[5];
    h.planes = words[6];
    h.displayRate = words[7];
    h.flags = words[8];
    if (h.headerSize != sizeof(AniHeader)) defect(body, Kind::AnihHeaderSize, h.headerSize);
    if (h.frames == 0) defect(body + offsetof(AniHeader, frames), Kind::NoFrames);
    if (h.steps == 0) defect(body + offsetof(AniHeader, steps), Kind::NoSteps);
    if ((h.flags & kFlagIcon) == 0)
      defect(body + offsetof(AniHeader, flags), Kind::NotIconFrames, h.flags);
  }

  void readIcon(uint64_t at, uint32_t size, uint64_t body, uint64_t bodyEnd) {
    if (out.frames.size() >= anilimits::kFrames) {
      if (out.framesNotRead++ == 0) defect(at, Kind::TooManyFrames, anilimits::kFrames);
      return;
    }
    out.frames.emplace_back();
    AniFrame& f = out.frames.back();
    f.chunkOffset = at;
    f.chunkSize = size;
    checkIcon(f, body, bodyEnd);
  }

  // Each frame is an icon or cursor resource: a directory of entries, each
  // pointing at an image (a DIB with doubled height whose colour rows the
  // AND mask follows, or a PNG file). Several images are sizes of one frame.
  void checkIcon(AniFrame& f, uint64_t body, uint64_t bodyEnd) {
    const uint64_t avail = bodyEnd - body;
    if (avail < sizeof(IconDir)) {
      defect(body, Kind::IconTooShort, avail);
      return;
    }
    in.u16le(body + offsetof(IconDir, reserved), f.dir.reserved);
    in.u16le(body + offsetof(IconDir, type), f.dir.type);
    in.u16le(body + offsetof(IconDir, count), f.dir.count);
    if (f.dir.reserved != 0) defect(body, Kind::DirReserved, f.dir.reserved);
    if (f.dir.type != kIconType && f.dir.type != kCursorType) {
      defect(body + offsetof(IconDir, type), Kind::DirType, f.dir.type);
      return;
    }
    if (f.dir.count == 0) {
      defect(body + offsetof(IconDir, count), Kind::DirCount, f.dir.count);
      return;
    }
    const uint64_t dirBytes = sizeof(IconDir) + uint64_t{f.dir.count} * sizeof(IconDirEntry);
    if (dirBytes > avail) {
      defect(body + sizeof(IconDir), Kind::EntriesPastChunk, f.dir.count, dirBytes - avail);
    }
    const uint64_t entries =
        std::min<uint64_t>(f.dir.count, (avail - sizeof(IconDir)) / sizeof(IconDirEntry));
    for (uint64_t i = 0; i < entries; ++i) {
      if (images >= anilimits::kImages) {
        if (out.imagesNotRead++ == 0) defect(body, Kind::TooManyImages, anilimits::kImages);
        continue;
      }
      ++images;
      f.images.emplace_back();
      readEntry(f.images.back(), body, bodyEnd, dirBytes,
                body + sizeof(IconDir) + i * sizeof(IconDirEntry));
    }
  }

  void readEntry(AniImage& img, uint64_t body, uint64_t bodyEnd, uint64_t dirBytes, uint64_t e) {
    const uint64_t avail = bodyEnd - body;
    img.entryAt = e;
    IconDirEntry& entry = img.entry;
    in.u8(e + offsetof(IconDirEntry, width), entry.width);
    in.u8(e + offsetof(IconDirEntry, height), entry.height);
    in.u8(e + offsetof(IconDirEntry, colourCount), entry.colourCount);
    in.u8(e + offsetof(IconDirEntry, reserved), entry.reserved);
    in.u16le(e + offsetof(IconDirEntry, hotspotX), entry.hotspotX);
    in.u16le(e + offsetof(IconDirEntry, hotspotY), entry.hotspotY);
    in.u32le(e + offsetof(IconDirEntry, bytesInResource), entry.bytesInResource);
    in.u32le(e + offsetof(IconDirEntry, imageOffset), entry.imageOffset);

    const uint64_t offsetField = e + offsetof(IconDirEntry, imageOffset);
    if (entry.imageOffset < dirBytes) {
      defect(offsetField, Kind::ImageOverlapsDirectory, entry.imageOffset, dirBytes);
      return;
    }
    if (entry.imageOffset >= avail) {
      defect(offsetField, Kind::ImageOffsetPastChunk, entry.imageOffset, avail);
      return;
    }
    const uint64_t image = body + entry.imageOffset;
    uint64_t imageEnd = image + entry.bytesInResource;
    if (imageEnd > bodyEnd) {
      defect(e + offsetof(IconDirEntry, bytesInResource), Kind::ImagePastChunk,
             entry.bytesInResource, imageEnd - bodyEnd);
      imageEnd = bodyEnd;
    }
    img.imageAt = image;
    img.imageBytes = imageEnd - image;
    if (hasPngSignature(in.at(image), imageEnd - image)) {
      checkPng(img, image, imageEnd);
    } else {
      checkImage(img, image, imageEnd);
    }
  }

  // A PNG image (Windows Vista and later): its header is checked, and the
  // image decoded, as long as the decoding budget lasts.
  void checkPng(AniImage& img, uint64_t image, uint64_t imageEnd) {
    img.png = true;
    if (!seenPng) defect(image, Kind::PngImage);
    seenPng = true;
    PngHeader header;
    const Failure why = readPngHeader(in.at(image), imageEnd - image, header);
    if (why == Failure::tooManyPixels) {
      defect(image, Kind::FrameTooLarge, header.width, header.height);
      return;
    }
    if (why != Failure::none) {
      defect(image, Kind::PngDamaged);
      return;
    }
    img.width = static_cast<int32_t>(header.width);
    img.height = static_cast<int32_t>(header.height);
    img.depth = pngBitsPerPixel(header);
    const uint64_t pixels = uint64_t{header.width} * header.height;
    if (pngPixelsDecoded + pixels <= anilimits::kPngPixelsChecked) {
      pngPixelsDecoded += pixels;
      std::vector<uint8_t> bgra;
      if (decodePng(in.at(image), imageEnd - image, header, bgra) != Failure::none) {
        defect(image, Kind::PngDamaged);
        return;
      }
    } else if (pngsNotDecoded++ == 0) {
      firstPngNotDecoded = image;
    }
    img.readable = true;
    checkEntrySize(img);
  }

  void checkImage(AniImage& f, uint64_t image, uint64_t imageEnd) {
    const uint64_t avail = imageEnd - image;
    BitmapInfoHeader& h = f.header;
    if (avail < 4) {
      defect(image, Kind::HeaderPastImage, avail, bmpinfo::kSize);
      return;
    }
    h.size = word(image);
    const bool longer = h.size == 108 || h.size == 124;  // V4 and V5 headers
    if (h.size != bmpinfo::kSize) {
      defect(image, Kind::HeaderSize, h.size);
      if (!longer) return;
    }
    if (avail < h.size) {
      defect(image, Kind::HeaderPastImage, avail, h.size);
      return;
    }
    // The header lies whole inside the image: at least its 40 bytes.
    readInfoHeader(in, image, h);

    if (h.planes != 1) defect(image + bmpinfo::kPlanes, Kind::Planes, h.planes);
    const uint16_t bits = h.bitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) {
      defect(image + bmpinfo::kBitCount, Kind::Depth, bits);
      return;
    }
    if (h.compression != 0) {
      defect(image + bmpinfo::kCompression, Kind::Compression, h.compression);
      return;
    }
    // The palette holds biClrUsed entries, or for up to 8 bits, when that
    // is 0, as many as the depth can index; the rows follow it.
    const uint64_t most = bits <= 8 ? uint64_t{1} << bits : 0;
    const uint64_t entries = h.clrUsed != 0 ? h.clrUsed : most;
    if (bits <= 8 && h.clrUsed > most) {
      defect(image + bmpinfo::kClrUsed, Kind::PaletteTooLarge, h.clrUsed, most, bits);
    }
    f.paletteAt = image + h.size;
    if (entries * 4 > imageEnd - f.paletteAt) {
      defect(f.paletteAt, Kind::PalettePastImage, entries, imageEnd - f.paletteAt);
      return;
    }
    f.paletteEntries = static_cast<uint32_t>(entries);

    if (h.width <= 0) {
      defect(image + bmpinfo::kWidth, Kind::BadWidth, static_cast<uint32_t>(h.width));
      return;
    }
    if (h.height < 2) {
      defect(image + bmpinfo::kHeight, Kind::BadHeight, static_cast<uint32_t>(h.height));
      return;
    }
    if (h.height % 2 != 0) defect(image + bmpinfo::kHeight, Kind::OddHeight, h.height);
    f.width = h.width;
    f.height = h.height / 2;
    if (f.width > anilimits::kFrameSide || f.height > anilimits::kFrameSide ||
        uint64_t(f.width) * uint64_t(f.height) > anilimits::kFramePixels) {
      defect(image + bmpinfo::kWidth, Kind::FrameTooLarge, f.width, f.height);
      return;
    }
    f.colourAt = f.paletteAt + entries * 4;
    f.colourBytes = static_cast<uint64_t>(rowStride(f.width, bits, 32)) * uint64_t(f.height);
    if (f.colourBytes > imageEnd - f.colourAt) {
      defect(f.colourAt, Kind::ColourPastImage, f.colourBytes, imageEnd - f.colourAt);
      return;
    }
    f.maskAt = f.colourAt + f.colourBytes;
    f.maskBytes = static_cast<uint64_t>(maskStride(f.width)) * uint64_t(f.height);
    f.maskBytesPresent = std::min(f.maskBytes, imageEnd - f.maskAt);
    if (f.maskBytesPresent < f.maskBytes) {
      defect(f.maskAt, Kind::MaskPastImage, f.maskBytes, f.maskBytesPresent);
    }
    f.readable = true;
    f.depth = bits;
    checkEntrySize(f);
    if (bits <= 8 && entries < most) checkIndices(f, bits);
  }

  void checkEntrySize(const AniImage& f) {
    // 0 in an entry's width or height stands for 256.
    const uint32_t entryWidth = f.entry.width == 0 ? 256 : f.entry.width;
    const uint32_t entryHeight = f.entry.height == 0 ? 256 : f.entry.height;
    if (entryWidth != static_cast<uint32_t>(std::min(f.width, 256))) {
      defect(f.entryAt + offsetof(IconDirEntry, width), Kind::EntryWidth, f.entry.width, f.width);
    }
    if (entryHeight != static_cast<uint32_t>(std::min(f.height, 256))) {
      defect(f.entryAt + offsetof(IconDirEntry, height), Kind::EntryHeight, f.entry.height,
             f.height);
    }
  }

  // Pixels whose index lies past a short palette.
  void checkIndices(const AniImage& f, uint16_t bits) {
    const uint64_t stride = static_cast<uint64_t>(rowStride(f.width, bits, 32));
    uint64_t count = 0;
    for (int32_t row = 0; row < f.height; ++row) {
      const uint8_t* p = in.at(f.colourAt + stride * uint64_t(row));
      for (int32_t x = 0; x < f.width; ++x) {
        const uint64_t bit = uint64_t(x) * bits;
        const uint32_t index = (p[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
        if (index >= f.paletteEntries) ++count;
      }
    }
    if (count != 0) defect(f.colourAt, Kind::IndexPastPalette, count, f.paletteEntries);
  }

  // What the chunks say about each other, once all are read.
  void crossCheck() {
    if (pngsNotDecoded != 0) defect(firstPngNotDecoded, Kind::PngNotChecked, pngsNotDecoded);
    if (!out.hasHeader) defect(kRiffPrefix, Kind::AnihMissing);
    if (!out.hasFrameList) defect(kRiffPrefix, Kind::FramMissing);
    const uint64_t icons = out.frames.size() + out.framesNotRead;
    if (!out.hasHeader) return;
    const AniHeader& h = out.header;
    const uint64_t at = out.headerAt;
    if (out.hasFrameList && h.frames != 0 && h.frames != icons) {
      defect(at + offsetof(AniHeader, frames),
             h.frames > icons ? Kind::FramesMissing : Kind::FramesExtra, h.frames, icons);
    }
    if ((h.flags & kFlagSequence) != 0 && !out.hasSeq) {
      defect(at + offsetof(AniHeader, flags), Kind::SequenceFlagWithoutSeq, h.flags);
    }
    if (out.hasSeq && (h.flags & kFlagSequence) == 0)
      defect(seqChunkAt, Kind::SeqWithoutFlag, h.flags);
    out.usesSeq = out.hasSeq && (h.flags & kFlagSequence) != 0;
    if (out.usesSeq) {
      if (out.seqEntries != h.steps)
        defect(seqChunkAt + 4, Kind::SeqCount, out.seqEntries, h.steps);
      const uint64_t frames = h.frames != 0 ? h.frames : icons;
      for (uint32_t i = 0; i < out.seqEntries; ++i) {
        const uint32_t v = word(out.seqAt + 4 * uint64_t{i});
        if (v >= frames) defect(out.seqAt + 4 * uint64_t{i}, Kind::SeqOutOfRange, i, v, frames);
      }
    } else if (h.steps != 0 && h.frames != 0 && h.steps != h.frames) {
      defect(at + offsetof(AniHeader, steps), Kind::StepsDisagree, h.steps, h.frames);
    }
    if (out.hasRate) {
      if (out.rateEntries != h.steps)
        defect(rateChunkAt + 4, Kind::RateCount, out.rateEntries, h.steps);
      for (uint32_t i = 0; i < out.rateEntries; ++i) {
        if (word(out.rateAt + 4 * uint64_t{i}) == 0)
          defect(out.rateAt + 4 * uint64_t{i}, Kind::ZeroRate, i, 0, 0, "rate");
      }
    } else if (h.displayRate == 0) {
      defect(at + offsetof(AniHeader, displayRate), Kind::ZeroRate, 0);
    }
  }
};

// A static icon or cursor file: an icon directory at the very start.
bool isStaticFile(const uint8_t* data, uint64_t size) {
  if (size < sizeof(IconDir) || binio::getLe16(data) != 0) return false;
  const uint16_t type = binio::getLe16(data + offsetof(IconDir, type));
  return type == kIconType || type == kCursorType;
}

void finish(AniFile& out) {
  std::stable_sort(out.defects.begin(), out.defects.end(),
                   [](const AniDefect& a, const AniDefect& b) { return a.offset < b.offset; });
  aniChooseImages(out, kLoaderSide);
}

}  // namespace

void readAniFile(const uint8_t* data, uint64_t size, AniFile& out) {
  out = AniFile{};
  out.fileSize = size;
  Walk w{ByteReader(data, size), out};
  if (isStaticFile(data, size)) {
    // The whole file is what an "icon" chunk holds.
    out.staticType = binio::getLe16(data + offsetof(IconDir, type));
    out.frames.emplace_back();
    out.frames.back().chunkSize = static_cast<uint32_t>(std::min<uint64_t>(size, UINT32_MAX));
    w.checkIcon(out.frames.back(), 0, size);
    finish(out);
    return;
  }
  if (size < kRiffPrefix || std::memcmp(data, "RIFF", 4) != 0) {
    w.defect(0, Kind::NotRiff);
    return;
  }
  if (std::memcmp(data + 8, "ACON", 4) != 0) {
    w.defect(8, Kind::NotAcon, 0, 0, 0, reinterpret_cast<const char*>(data + 8));
    return;
  }
  out.isAcon = true;
  out.riffSize = w.word(4);
  uint64_t end = uint64_t{8} + out.riffSize;
  if (out.riffSize == size) {
    w.defect(4, Kind::RiffSizeCountsHeader, out.riffSize);
    end = size;
  } else if (end > size) {
    w.defect(4, Kind::RiffPastEnd, out.riffSize, end - size, size);
    end = size;
  } else if (end < size) {
    w.defect(end, Kind::TrailingBytes, size - end);
  }
  if (end < kRiffPrefix) end = kRiffPrefix;
  AniChunk riff;
  riff.size = out.riffSize;
  copyId(riff.id, "RIFF");
  copyId(riff.listType, "ACON");
  out.chunks.push_back(riff);
  w.walk(kRiffPrefix, end, "RIFF", 1, Walk::Level::Form);
  w.crossCheck();
  finish(out);
}

void aniChooseImages(AniFile& file, int32_t side) {
  for (AniFrame& f : file.frames) {
    f.drawnImage = 0;
    uint64_t best = UINT64_MAX;
    uint32_t bestDepth = 0;
    for (size_t i = 0; i < f.images.size(); ++i) {
      const AniImage& img = f.images[i];
      if (!img.readable) continue;
      const uint64_t distance = static_cast<uint64_t>(std::abs(int64_t{img.width} - side)) +
                                static_cast<uint64_t>(std::abs(int64_t{img.height} - side));
      if (distance < best || (distance == best && img.depth > bestDepth)) {
        best = distance;
        bestDepth = img.depth;
        f.drawnImage = static_cast<uint32_t>(i);
      }
    }
  }
}

uint32_t aniStepCount(const AniFile& file) {
  const uint32_t frames = static_cast<uint32_t>(file.frames.size());
  if (file.staticType != 0) return frames;
  const uint32_t available = file.usesSeq ? file.seqEntries : frames;
  const uint32_t steps = std::min(file.header.steps, available);
  // A header that promises no steps still has frames worth showing.
  return steps != 0 ? steps : available;
}

uint32_t aniStepFrame(const AniFile& file, const uint8_t* data, uint32_t step) {
  if (!file.usesSeq) return step;
  uint32_t v = 0xFFFFFFFFu;
  ByteReader(data, file.fileSize).u32le(file.seqAt + 4 * uint64_t{step}, v);
  return step < file.seqEntries ? v : 0xFFFFFFFFu;
}

uint32_t aniStepJiffies(const AniFile& file, const uint8_t* data, uint32_t step) {
  uint32_t v = file.header.displayRate;
  if (file.hasRate && step < file.rateEntries) {
    ByteReader(data, file.fileSize).u32le(file.rateAt + 4 * uint64_t{step}, v);
  }
  return v;
}

int aniVerdict(const AniFile& file) {
  const bool anyFrame = std::any_of(file.frames.begin(), file.frames.end(),
                                    [](const AniFrame& f) { return f.drawn() != nullptr; });
  const bool animated = file.isAcon && file.hasHeader;
  if ((!animated && file.staticType == 0) || !anyFrame) return 2;
  const bool defects =
      std::any_of(file.defects.begin(), file.defects.end(),
                  [](const AniDefect& d) { return aniSeverity(d.kind) == AniSeverity::Defect; });
  return defects || file.defectsNotListed != 0 ? 1 : 0;
}
