#include "support/riff_reader.h"

#include "ani/ani_reader.h"
#include "image/pixels.h"
#include "support/bmp_writer.h"

namespace {

// The frame's first image: the writer writes one per frame.
ParsedIcon iconOf(const std::string& bytes, const AniFrame& frame) {
  ParsedIcon icon;
  icon.chunkSize = frame.chunkSize;
  icon.padded = frame.chunkSize % 2 != 0;
  icon.dirReserved = frame.dir.reserved;
  icon.dirType = frame.dir.type;
  icon.dirCount = frame.dir.count;
  const AniImage f = frame.images.empty() ? AniImage{} : frame.images[0];
  icon.entryWidth = f.entry.width;
  icon.entryHeight = f.entry.height;
  icon.entryColours = f.entry.colourCount;
  icon.entryReserved = f.entry.reserved;
  icon.hotspotX = f.entry.hotspotX;
  icon.hotspotY = f.entry.hotspotY;
  icon.bytesInResource = f.entry.bytesInResource;
  icon.imageOffset = f.entry.imageOffset;
  const BitmapInfoHeader& h = f.header;
  icon.biSize = h.size;
  icon.biWidth = h.width;
  icon.biHeight = h.height;
  icon.biPlanes = h.planes;
  icon.biBitCount = h.bitCount;
  icon.biCompression = h.compression;
  icon.biSizeImage = h.sizeImage;
  icon.biXPelsPerMeter = h.xPelsPerMeter;
  icon.biYPelsPerMeter = h.yPelsPerMeter;
  icon.biClrUsed = h.clrUsed;
  icon.biClrImportant = h.clrImportant;
  for (uint32_t i = 0; i < f.paletteEntries && h.bitCount <= 8; ++i) {
    icon.palette.push_back(le32(bytes, f.paletteAt + 4 * i));
  }
  icon.colourRows = bytes.substr(f.colourAt, f.colourBytes);
  icon.maskRows = bytes.substr(f.maskAt, f.maskBytesPresent);
  if (!f.readable) return icon;
  const size_t n = static_cast<size_t>(f.width) * static_cast<size_t>(f.height);
  icon.colours.resize(n);
  icon.mask.resize(n);
  decodeAniFrame(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), f,
                 icon.colours.data(), icon.mask.data());
  return icon;
}

}  // namespace

uint8_t ParsedIcon::indexAt(int32_t x, int32_t y) const {
  const int64_t row = height() - 1 - y;
  return static_cast<uint8_t>(
      colourRows.at(static_cast<size_t>(row * rowStride(biWidth, 8, 32) + x)));
}

uint32_t ParsedIcon::colourAt(int32_t x, int32_t y) const {
  return colours.at(static_cast<size_t>(y) * width() + x) & 0x00FFFFFFu;
}

bool ParsedIcon::maskAt(int32_t x, int32_t y) const {
  return mask.at(static_cast<size_t>(y) * width() + x) != 0;
}

bool parseAni(const std::string& bytes, ParsedAni& out, std::string& error) {
  out = ParsedAni{};
  out.fileLength = bytes.size();
  AniFile file;
  readAniFile(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), file);
  out.riffSize = file.riffSize;
  out.anihSize = file.headerChunkSize;
  const AniHeader& h = file.header;
  out.headerSize = h.headerSize;
  out.frames = h.frames;
  out.steps = h.steps;
  out.width = h.width;
  out.height = h.height;
  out.bitCount = h.bitCount;
  out.planes = h.planes;
  out.displayRate = h.displayRate;
  out.flags = h.flags;
  for (const AniChunk& c : file.chunks) {
    if (c.depth != 1) continue;
    out.chunkOrder.push_back(c.id);
    if (std::string(c.id) == "LIST" && std::string(c.listType) == "fram") out.listSize = c.size;
  }
  for (uint32_t i = 0; file.hasRate && i < file.rateEntries; ++i) {
    out.rates.push_back(le32(bytes, file.rateAt + 4 * i));
  }
  for (uint32_t i = 0; file.hasSeq && i < file.seqEntries; ++i) {
    out.sequence.push_back(le32(bytes, file.seqAt + 4 * i));
  }
  out.title = file.title;
  out.author = file.author;
  for (const AniFrame& f : file.frames) out.icons.push_back(iconOf(bytes, f));
  error.clear();
  for (const AniDefect& d : file.defects) {
    if (aniSeverity(d.kind) != AniSeverity::Defect) continue;
    out.defectOffsets.push_back(d.offset);
    error += "defect at " + std::to_string(d.offset) + ": " + describeAniDefect(d) + "\n";
  }
  return out.defectOffsets.empty();
}
