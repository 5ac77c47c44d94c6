#include "support/riff_reader.h"

#include <cstring>

namespace {

class Cursor {
 public:
  Cursor(const std::string& b, size_t start, size_t end) : b_(b), at_(start), end_(end) {}
  bool has(size_t n) const { return at_ <= end_ && n <= end_ - at_; }
  size_t at() const { return at_; }
  size_t left() const { return end_ - at_; }
  bool u8(uint8_t& v) {
    if (!has(1)) return false;
    v = static_cast<uint8_t>(b_[at_++]);
    return true;
  }
  bool u16(uint16_t& v) {
    if (!has(2)) return false;
    const auto lo = static_cast<uint8_t>(b_[at_++]);
    const auto hi = static_cast<uint8_t>(b_[at_++]);
    v = static_cast<uint16_t>(lo | hi << 8);
    return true;
  }
  bool u32(uint32_t& v) {
    if (!has(4)) return false;
    v = 0;
    for (int i = 0; i < 4; ++i)
      v |= static_cast<uint32_t>(static_cast<uint8_t>(b_[at_++])) << (8 * i);
    return true;
  }
  bool i32(int32_t& v) {
    uint32_t u;
    if (!u32(u)) return false;
    v = static_cast<int32_t>(u);
    return true;
  }
  bool id(std::string& v) {
    if (!has(4)) return false;
    v = b_.substr(at_, 4);
    at_ += 4;
    return true;
  }
  bool bytes(size_t n, std::string& v) {
    if (!has(n)) return false;
    v = b_.substr(at_, n);
    at_ += n;
    return true;
  }

 private:
  const std::string& b_;
  size_t at_;
  size_t end_;
};

bool fail(std::string& error, const std::string& why) {
  error = why;
  return false;
}

bool parseIcon(const std::string& bytes, size_t start, uint32_t size, ParsedIcon& icon,
               std::string& error) {
  Cursor c(bytes, start, start + size);
  if (!c.u16(icon.dirReserved) || !c.u16(icon.dirType) || !c.u16(icon.dirCount))
    return fail(error, "icon directory cut short");
  if (!c.u8(icon.entryWidth) || !c.u8(icon.entryHeight) || !c.u8(icon.entryColours) ||
      !c.u8(icon.entryReserved) || !c.u16(icon.hotspotX) || !c.u16(icon.hotspotY) ||
      !c.u32(icon.bytesInResource) || !c.u32(icon.imageOffset))
    return fail(error, "directory entry cut short");
  if (icon.imageOffset != 22) return fail(error, "image does not follow the entry");
  if (uint64_t{icon.bytesInResource} + 22 != size)
    return fail(error, "bytes in resource disagree with the chunk size");
  if (!c.u32(icon.biSize) || !c.i32(icon.biWidth) || !c.i32(icon.biHeight) ||
      !c.u16(icon.biPlanes) || !c.u16(icon.biBitCount) || !c.u32(icon.biCompression) ||
      !c.u32(icon.biSizeImage) || !c.i32(icon.biXPelsPerMeter) || !c.i32(icon.biYPelsPerMeter) ||
      !c.u32(icon.biClrUsed) || !c.u32(icon.biClrImportant))
    return fail(error, "bitmap header cut short");
  if (icon.biSize != 40) return fail(error, "bitmap header is not 40 bytes");
  if (icon.biBitCount != 8 && icon.biBitCount != 24) return fail(error, "unexpected depth");
  if (icon.biWidth < 0 || icon.biHeight < 0 || icon.biHeight % 2 != 0)
    return fail(error, "bad image size");
  if (icon.biBitCount == 8) {
    for (int i = 0; i < 256; ++i) {
      uint32_t e;
      if (!c.u32(e)) return fail(error, "palette cut short");
      icon.palette.push_back(e);
    }
  }
  const uint64_t rows = static_cast<uint64_t>(icon.height());
  const uint64_t colourBytes = uint64_t{dibRowBytes(icon.biWidth, icon.biBitCount)} * rows;
  const uint64_t maskBytes = uint64_t{dibRowBytes(icon.biWidth, 1)} * rows;
  if (colourBytes + maskBytes != c.left())
    return fail(error, "pixel and mask rows do not fill the image");
  c.bytes(static_cast<size_t>(colourBytes), icon.colourRows);
  c.bytes(static_cast<size_t>(maskBytes), icon.maskRows);
  return true;
}

}  // namespace

uint32_t dibRowBytes(int32_t width, int bitCount) {
  if (width <= 0) return 0;
  return static_cast<uint32_t>((uint64_t{static_cast<uint32_t>(width)} * bitCount + 31) / 32 * 4);
}

uint8_t ParsedIcon::indexAt(int32_t x, int32_t y) const {
  size_t row = static_cast<size_t>(height() - 1 - y);
  return static_cast<uint8_t>(colourRows[row * dibRowBytes(biWidth, 8) + x]);
}

uint32_t ParsedIcon::colourAt(int32_t x, int32_t y) const {
  if (biBitCount == 8) return palette[indexAt(x, y)];
  size_t row = static_cast<size_t>(height() - 1 - y);
  size_t at = row * dibRowBytes(biWidth, 24) + static_cast<size_t>(x) * 3;
  auto byte = [&](size_t i) { return static_cast<uint32_t>(static_cast<uint8_t>(colourRows[i])); };
  return byte(at) | byte(at + 1) << 8 | byte(at + 2) << 16;
}

bool ParsedIcon::maskAt(int32_t x, int32_t y) const {
  size_t row = static_cast<size_t>(height() - 1 - y);
  auto b = static_cast<uint8_t>(maskRows[row * dibRowBytes(biWidth, 1) + x / 8]);
  return (b >> (7 - x % 8)) & 1;
}

bool parseAni(const std::string& bytes, ParsedAni& out, std::string& error) {
  out = ParsedAni{};
  out.fileLength = bytes.size();
  Cursor c(bytes, 0, bytes.size());
  std::string id;
  if (!c.id(id) || id != "RIFF") return fail(error, "no RIFF header");
  if (!c.u32(out.riffSize)) return fail(error, "RIFF size missing");
  if (uint64_t{out.riffSize} + 8 != bytes.size())
    return fail(error, "RIFF size does not match the file length");
  if (!c.id(id) || id != "ACON") return fail(error, "form type is not ACON");
  while (c.left() > 0) {
    uint32_t size;
    if (!c.id(id) || !c.u32(size)) return fail(error, "chunk header cut short");
    if (!c.has(size)) return fail(error, "chunk " + id + " runs past the end");
    out.chunkOrder.push_back(id);
    const size_t body = c.at();
    if (id == "anih") {
      out.anihSize = size;
      Cursor a(bytes, body, body + size);
      if (size != 36 || !a.u32(out.headerSize) || !a.u32(out.frames) || !a.u32(out.steps) ||
          !a.u32(out.width) || !a.u32(out.height) || !a.u32(out.bitCount) || !a.u32(out.planes) ||
          !a.u32(out.displayRate) || !a.u32(out.flags))
        return fail(error, "bad anih chunk");
    } else if (id == "rate" || id == "seq ") {
      std::vector<uint32_t>& table = id == "rate" ? out.rates : out.sequence;
      Cursor t(bytes, body, body + size);
      if (size % 4 != 0) return fail(error, id + " is not a table of words");
      for (uint32_t v; t.u32(v);) table.push_back(v);
    } else if (id == "LIST" && size >= 4 && bytes.compare(body, 4, "INFO") == 0) {
      Cursor l(bytes, body + 4, body + size);
      while (l.left() > 0) {
        uint32_t textSize;
        std::string text, pad;
        if (!l.id(id) || !l.u32(textSize) || !l.bytes(textSize, text) ||
            !l.bytes(textSize % 2, pad))
          return fail(error, "INFO text cut short");
        if (text.empty() || text.back() != '\0' || pad.find_first_not_of('\0') != pad.npos)
          return fail(error, "INFO text " + id + " is not zero-terminated and padded");
        text.pop_back();
        if (id == "INAM") out.title = text;
        if (id == "IART") out.author = text;
      }
    } else if (id == "LIST") {
      out.listSize = size;
      Cursor l(bytes, body, body + size);
      std::string type;
      if (!l.id(type) || type != "fram") return fail(error, "LIST is not fram");
      while (l.left() > 0) {
        uint32_t iconSize;
        if (!l.id(id) || !l.u32(iconSize)) return fail(error, "icon header cut short");
        if (id != "icon") return fail(error, "unexpected chunk in the frame list: " + id);
        if (!l.has(iconSize)) return fail(error, "icon chunk runs past the list");
        ParsedIcon icon;
        icon.chunkSize = iconSize;
        if (!parseIcon(bytes, l.at(), iconSize, icon, error)) return false;
        std::string skip;
        l.bytes(iconSize, skip);
        if (iconSize % 2 != 0) {
          uint8_t pad;
          if (!l.u8(pad)) return fail(error, "pad byte missing");
          if (pad != 0) return fail(error, "pad byte is not zero");
          icon.padded = true;
        }
        out.icons.push_back(std::move(icon));
      }
    }
    std::string skip;
    c.bytes(size + (size % 2), skip);
    if (size % 2 != 0 && skip.size() != size + 1u) return fail(error, "chunk pad missing");
  }
  return true;
}
