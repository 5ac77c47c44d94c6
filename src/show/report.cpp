#include "show/report.h"

#include <algorithm>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>

namespace {

void add(std::string& out, const char* pattern, ...) {
  char line[512];
  va_list args;
  va_start(args, pattern);
  std::vsnprintf(line, sizeof line, pattern, args);
  va_end(args);
  out += line;
}

// Texts from the file, with anything unprintable escaped.
std::string printable(const std::string& text) {
  std::string s;
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
      s.push_back(static_cast<char>(c));
    } else {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\x%02X", c);
      s += esc;
    }
  }
  return s;
}

std::string chunkName(const AniChunk& c) {
  std::string s;
  for (int i = 0; i < 4; ++i) {
    const char ch = c.id[i];
    s.push_back(ch >= 0x20 && ch <= 0x7E ? ch : '?');
  }
  if (c.listType[0] != '\0') s += std::string(" '") + c.listType + "'";
  return s;
}

// Jiffies are 1/60 s.
uint64_t milliseconds(uint32_t jiffies) { return (uint64_t{jiffies} * 1000 + 30) / 60; }

std::string flagNames(uint32_t flags) {
  std::string s;
  if (flags & 1) s += "icon";
  if (flags & 2) s += s.empty() ? "sequence" : ", sequence";
  return s.empty() ? "none" : s;
}

void describeChunks(const AniFile& f, std::string& out) {
  add(out, "%-26s %10s  %8s\n", "chunks:", "offset", "size");
  for (const AniChunk& c : f.chunks) {
    const std::string name = std::string(static_cast<size_t>(2 * c.depth), ' ') + chunkName(c);
    add(out, "  %-24s %10" PRIu64 "  %8" PRIu32 "\n", name.c_str(), c.offset, c.size);
  }
  if (f.chunksNotListed != 0) add(out, "  ... %" PRIu64 " more chunks\n", f.chunksNotListed);
}

void describeHeader(const AniFile& f, std::string& out) {
  if (!f.hasHeader) return;
  const AniHeader& h = f.header;
  add(out,
      "anih at %" PRIu64 ": %" PRIu32 " frames, %" PRIu32 " steps, display rate %" PRIu32
      " jiffies (%" PRIu64 " ms), flags 0x%" PRIX32 " (%s)\n",
      f.headerAt, h.frames, h.steps, h.displayRate, milliseconds(h.displayRate), h.flags,
      flagNames(h.flags).c_str());
  add(out,
      "  size %" PRIu32 ", width %" PRIu32 ", height %" PRIu32 ", bit count %" PRIu32
      ", planes %" PRIu32 "\n",
      h.headerSize, h.width, h.height, h.bitCount, h.planes);
  if (!f.title.empty()) add(out, "title: \"%s\"\n", printable(f.title).c_str());
  if (!f.author.empty()) add(out, "author: \"%s\"\n", printable(f.author).c_str());
}

// One row per image. A frame's first row carries its number and offset;
// where a frame has several images, the one drawn is marked.
void describeImage(const AniFrame& fr, size_t k, size_t i, std::string& out) {
  const char* type = fr.dir.type == 2 ? "cursor" : fr.dir.type == 1 ? "icon" : "?";
  char lead[32];
  if (i == 0) {
    std::snprintf(lead, sizeof lead, "  %5zu %8" PRIu64, k, fr.chunkOffset);
  } else {
    std::snprintf(lead, sizeof lead, "  %5s %8s", "", "");
  }
  if (i >= fr.images.size() || !fr.images[i].readable) {
    add(out, "%s  %-6s  (cannot be read)\n", lead, type);
    return;
  }
  const AniImage& im = fr.images[i];
  char size[32], depth[16], hotspot[24], mask[16];
  std::snprintf(size, sizeof size, "%d x %d", im.width, im.height);
  std::snprintf(depth, sizeof depth, "%u-bit", static_cast<unsigned>(im.depth));
  // An icon resource has no hotspot: those two words are its planes and depth.
  if (fr.dir.type == 2) {
    std::snprintf(hotspot, sizeof hotspot, "%u, %u", static_cast<unsigned>(im.entry.hotspotX),
                  static_cast<unsigned>(im.entry.hotspotY));
  } else {
    std::snprintf(hotspot, sizeof hotspot, "centre");
  }
  std::snprintf(mask, sizeof mask, "%s",
                im.png                                ? "none, PNG"
                : im.maskBytesPresent == im.maskBytes ? "yes"
                : im.maskBytesPresent == 0            ? "missing"
                                                      : "cut short");
  const bool drawn = fr.images.size() > 1 && i == fr.drawnImage;
  add(out, "%s  %-6s  %-9s  %-6s  %-9s  %7" PRIu32 "  %s%s\n", lead, type, size, depth, hotspot,
      im.paletteEntries, mask, drawn ? "  (drawn)" : "");
}

void describeFrames(const AniFile& f, std::string& out) {
  add(out, "frames: %zu\n", f.frames.size() + static_cast<size_t>(f.framesNotRead));
  if (f.frames.empty()) return;
  add(out, "  frame   offset  type    size       depth   hotspot    palette  mask\n");
  for (size_t k = 0; k < f.frames.size(); ++k) {
    const AniFrame& fr = f.frames[k];
    for (size_t i = 0; i < std::max<size_t>(fr.images.size(), 1); ++i) describeImage(fr, k, i, out);
  }
}

void describeSteps(const AniFile& f, const uint8_t* data, std::string& out) {
  const uint32_t steps = aniStepCount(f);
  add(out, "steps: %" PRIu32 " (frames from %s, times from %s)\n", steps,
      f.usesSeq ? "'seq '" : "the frame order", f.hasRate ? "'rate'" : "the header");
  if (steps == 0) return;
  add(out, "   step  frame  jiffies      ms\n");
  for (uint32_t s = 0; s < steps; ++s) {
    const uint32_t j = aniStepJiffies(f, data, s);
    add(out, "  %5" PRIu32 "  %5" PRIu32 "  %7" PRIu32 "  %6" PRIu64 "\n", s,
        aniStepFrame(f, data, s), j, milliseconds(j));
  }
}

}  // namespace

std::string defectLine(const AniDefect& d) {
  static const char* const kWords[] = {"defect", "warning", "note"};
  std::string s;
  add(s, "%s at %" PRIu64 ": ", kWords[static_cast<int>(aniSeverity(d.kind))], d.offset);
  return s + describeAniDefect(d) + "\n";
}

std::string describeAniFile(const AniFile& f, const uint8_t* data, const char* name) {
  std::string out;
  add(out, "%s: %" PRIu64 " bytes\n", name, f.fileSize);
  if (f.isAcon) {
    describeChunks(f, out);
    describeHeader(f, out);
    describeFrames(f, out);
    describeSteps(f, data, out);
  } else if (f.staticType != 0) {
    add(out,
        "static %s (resource type %u), not an animated cursor: loaders show it as a cursor of "
        "one step\n",
        f.staticType == 2 ? "cursor, a .cur file" : "icon, an .ico file",
        static_cast<unsigned>(f.staticType));
    describeFrames(f, out);
  }
  // Defects first, then warnings, then notes, each in file order.
  uint64_t defects = f.defectsNotListed;
  for (const AniDefect& d : f.defects) defects += aniSeverity(d.kind) == AniSeverity::Defect;
  if (defects == 0) {
    out += "defects: none\n";
  } else {
    add(out, "defects: %" PRIu64 "\n", defects);
  }
  for (const AniSeverity severity :
       {AniSeverity::Defect, AniSeverity::Warning, AniSeverity::Note}) {
    for (const AniDefect& d : f.defects) {
      if (aniSeverity(d.kind) == severity) out += defectLine(d);
    }
    if (severity == AniSeverity::Defect && f.defectsNotListed != 0) {
      add(out, "... %" PRIu64 " more defects\n", f.defectsNotListed);
    }
  }
  return out;
}
