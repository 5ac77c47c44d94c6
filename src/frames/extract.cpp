#include "frames/extract.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>

#include "ani/ani_options.h"
#include "ani/ani_reader.h"
#include "ani/cursor_reader.h"
#include "base/bytes.h"
#include "base/colour.h"
#include "base/safe_write.h"
#include "base/whole_file.h"
#include "frames/sizes.h"
#include "image/bitmap_format.h"
#include "image/frame_reader.h"
#include "image/pixels.h"
#include "image/png_file.h"
#include "platform/platform.h"

namespace {

constexpr uint32_t kNoColour = 0xFFFFFFFFu;
// Tried first as the see-through colour: what people draw masks in.
constexpr uint32_t kMagenta = 0x00FF00FFu;

std::string frameText(size_t frame) { return "frame " + std::to_string(frame + 1); }

bool maskBit(const cursor::Image& image, int64_t row, int64_t x) {
  const uint8_t* bits = image.mask.data() + maskStride(image.width) * row;
  return (bits[x / 8] & (0x80u >> (x % 8))) != 0;
}

// A mask the build can make has clear padding bits; one shorter than the
// picture reads as clear, as loaders read it.
bool maskPaddingClear(const cursor::Image& image) {
  const int64_t stride = maskStride(image.width);
  for (int64_t row = 0; row < image.height; ++row) {
    for (int64_t x = image.width; x < stride * 8; ++x) {
      if (maskBit(image, row, x)) return false;
    }
  }
  return true;
}

bool sizesHold(const cursor::Image& image) {
  if (image.width <= 0 || image.height <= 0) return false;
  return image.pixels.size() >=
             static_cast<uint64_t>(rowStride(image.width, image.depth, 32) * image.height) &&
         image.mask.size() >= static_cast<uint64_t>(maskStride(image.width) * image.height);
}

// The colour (DIB order) that the rebuild's transparency turns into the
// mask: one that no visible pixel of a frame has, and that no palette holds.
uint32_t pickSeeThroughColour(const cursor::Cursor& c) {
  std::vector<bool> used(size_t{1} << 24, false);
  for (const cursor::Frame& frame : c.frames) {
    const cursor::Image& image = frame.images.front();
    if (image.depth == 8) {
      for (uint32_t i = 0; i < kPaletteEntries; ++i) {
        used[binio::getLe32(image.palette.data() + 4 * i) & 0xFFFFFFu] = true;
      }
    } else if (image.depth == 24) {
      const int64_t stride = rowStride(image.width, 24, 32);
      for (int64_t row = 0; row < image.height; ++row) {
        const uint8_t* p = image.pixels.data() + stride * row;
        for (int64_t x = 0; x < image.width; ++x) {
          if (!maskBit(image, row, x)) used[load24(p + 3 * x)] = true;
        }
      }
    }
  }
  for (uint32_t k = 0; k < (uint32_t{1} << 24); ++k) {
    const uint32_t colour = (kMagenta + k) & 0xFFFFFFu;
    if (!used[colour]) return colour;
  }
  return kNoColour;
}

bool anyMaskBit(const cursor::Image& image) {
  for (int64_t row = 0; row < image.height; ++row) {
    for (int64_t x = 0; x < image.width; ++x) {
      if (maskBit(image, row, x)) return true;
    }
  }
  return false;
}

// A BMP of the picture as the build reads it back: its rows and palette,
// with the masked pixels (24-bit) or the masked palette entries (8-bit)
// given the see-through colour, so that the transparency step remakes the
// mask and blackens them again. Adds a difference when it cannot.
std::vector<uint8_t> bitmapFile(const cursor::Image& image, uint32_t seeThrough, size_t frame,
                                std::vector<std::string>& differences) {
  const bool eight = image.depth == 8;
  const uint32_t paletteBytes = eight ? kPaletteEntries * 4 : 0;
  const uint32_t offBits = bmpfile::kSize + bmpinfo::kSize + paletteBytes;
  const uint64_t stride = static_cast<uint64_t>(rowStride(image.width, image.depth, 32));
  const uint64_t rowsBytes = stride * static_cast<uint64_t>(image.height);
  std::vector<uint8_t> out(offBits + rowsBytes, 0);
  uint8_t* p = out.data();
  p[0] = 'B';
  p[1] = 'M';
  const uint64_t total = out.size();
  binio::putLe32(p + 2, total > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(total));
  binio::putLe32(p + bmpfile::kOffBits, offBits);
  uint8_t* info = p + bmpfile::kSize;
  binio::putLe32(info + bmpinfo::kSizeField, bmpinfo::kSize);
  binio::putLe32(info + bmpinfo::kWidth, static_cast<uint32_t>(image.width));
  binio::putLe32(info + bmpinfo::kHeight, static_cast<uint32_t>(image.height));
  // Carried into the cursor's header as they are, so kept here.
  binio::putLe16(info + bmpinfo::kPlanes, image.planes);
  binio::putLe16(info + bmpinfo::kBitCount, image.depth);
  binio::putLe32(info + bmpinfo::kSizeImage, image.sizeImage);
  uint8_t* palette = info + bmpinfo::kSize;
  if (eight) std::memcpy(palette, image.palette.data(), paletteBytes);
  uint8_t* rows = p + offBits;
  std::memcpy(rows, image.pixels.data(), static_cast<size_t>(rowsBytes));

  bool explained = maskPaddingClear(image);
  if (eight) {
    // Indices whose pixels are all masked and whose colour the build made
    // black take the see-through colour in the palette.
    bool masked[256] = {}, shown[256] = {};
    for (int64_t row = 0; row < image.height; ++row) {
      const uint8_t* r = rows + stride * static_cast<uint64_t>(row);
      for (int64_t x = 0; x < image.width; ++x)
        (maskBit(image, row, x) ? masked : shown)[r[x]] = true;
    }
    for (int i = 0; i < 256; ++i) {
      if (!masked[i]) continue;
      if (shown[i] || binio::getLe32(palette + 4 * i) != 0) {
        explained = false;
        continue;
      }
      binio::putLe32(palette + 4 * i, seeThrough);
    }
  } else if (image.depth == 24) {
    for (int64_t row = 0; row < image.height; ++row) {
      uint8_t* r = rows + stride * static_cast<uint64_t>(row);
      for (int64_t x = 0; x < image.width; ++x) {
        if (!maskBit(image, row, x)) continue;
        if (load24(r + 3 * x) != 0) explained = false;
        store24(r + 3 * x, seeThrough);
      }
    }
  }
  if (!explained) {
    differences.push_back(frameText(frame) +
                          ": its mask is not one that a transparent colour gives");
  }
  if (image.planes > 1) differences.push_back(frameText(frame) + ": more than one plane");
  if (out.size() > static_cast<uint64_t>(kMaxFrameFileSize)) {
    differences.push_back(frameText(frame) + ": larger than the " +
                          std::to_string(kMaxFrameFileSize) + " bytes a frame file may have");
  }
  return out;
}

// A picture with alpha, top row first, as red, green, blue and alpha.
std::vector<uint8_t> rgbaRows(const cursor::Image& image, size_t frame,
                              std::vector<std::string>& differences) {
  const auto w = static_cast<size_t>(image.width);
  const auto h = static_cast<size_t>(image.height);
  const auto stride = static_cast<size_t>(rowStride(image.width, 32, 32));
  std::vector<uint8_t> out(w * h * 4);
  bool maskFromAlpha = maskPaddingClear(image);
  for (size_t y = 0; y < h; ++y) {
    const size_t row = h - 1 - y;
    const uint8_t* in = image.pixels.data() + row * stride;
    for (size_t x = 0; x < w; ++x) {
      uint8_t* o = out.data() + (y * w + x) * 4;
      o[0] = in[4 * x + 2];
      o[1] = in[4 * x + 1];
      o[2] = in[4 * x];
      o[3] = in[4 * x + 3];
      if (maskBit(image, static_cast<int64_t>(row), static_cast<int64_t>(x)) != (o[3] == 0)) {
        maskFromAlpha = false;
      }
    }
  }
  if (!maskFromAlpha) {
    differences.push_back(frameText(frame) + ": its mask is not the one its alpha gives");
  }
  return out;
}

std::string joinPath(const char* folder, const std::string& name) {
  std::string path = folder;
  const char separator = path.find('\\') != std::string::npos ? '\\' : '/';
  if (!path.empty() && !plat::isPathSeparator(path.back())) path += separator;
  return path + name;
}

bool writeWhole(const std::string& path, const std::vector<uint8_t>& bytes, ExtractReport& report) {
  if (bytes.size() > UINT32_MAX ||
      !safeWriteWhole(path.c_str(), bytes.data(), static_cast<uint32_t>(bytes.size()))) {
    report.error = std::string("cannot write ") + path + ": " + plat::lastFileError();
    return false;
  }
  report.files.push_back(path);
  return true;
}

// A text the section reader gives back as it is: one line, no blanks at its
// ends that it would trim, not a section header.
bool keepsText(const std::string& text) {
  if (text.empty()) return true;
  if (text.size() > static_cast<size_t>(anifile::kMaxInfoText) || text.front() == '[') return false;
  const auto blank = [](char ch) { return ch == ' ' || ch == '\t'; };
  if (blank(text.front()) || blank(text.back())) return false;
  return text.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

// What a rebuild of the script cannot give as the file has it.
void noteStepDifferences(const cursor::Cursor& c, std::vector<std::string>& differences) {
  const size_t frames = c.frames.size();
  if (frames < 2 || frames > static_cast<size_t>(kMaxEntries)) {
    differences.push_back("a build takes 2 to " + std::to_string(kMaxEntries) +
                          " frames, the cursor has " + std::to_string(frames));
  }
  const size_t steps = c.steps.size();
  if (!c.sequenceChunk && steps != frames) {
    differences.push_back(std::to_string(steps) + " steps for " + std::to_string(frames) +
                          " frames without a sequence");
  }
  if (c.sequenceChunk && steps > static_cast<size_t>(anifile::kMaxSteps)) {
    differences.push_back("more than " + std::to_string(anifile::kMaxSteps) + " steps");
  }
  if (c.rateChunk && steps < 2) differences.push_back("a 'rate' chunk for fewer than two steps");
  for (size_t s = 0; s < steps; ++s) {
    if (c.steps[s].jiffies == 0) {
      differences.push_back("step " + std::to_string(s + 1) + " shows for 0 jiffies");
      break;
    }
  }
  for (size_t s = 0; s < steps; ++s) {
    if (c.steps[s].frame >= frames) {
      differences.push_back("step " + std::to_string(s + 1) + " shows a frame the file lacks");
      break;
    }
  }
  for (const std::string* text : {&c.title, &c.author}) {
    if (!keepsText(*text)) {
      differences.push_back(std::string(text == &c.title ? "the title" : "the author") +
                            " is not one line a script can hold as it is");
    }
  }
}

void addLine(std::string& script, const std::string& line) { script += line + "\r\n"; }

bool sameBytes(const cursor::Bytes& a, const cursor::Bytes& b) {
  return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size()) == 0);
}

bool samePicture(const cursor::Image& a, const cursor::Image& b) {
  return a.width == b.width && a.height == b.height && a.depth == b.depth &&
         a.hotspotX == b.hotspotX && a.hotspotY == b.hotspotY && a.planes == b.planes &&
         a.sizeImage == b.sizeImage && sameBytes(a.pixels, b.pixels) && sameBytes(a.mask, b.mask);
}

// The sides a [Sizes] line gives back, when the cursor is one a sized build
// wrote: every frame has the same square sides, largest first, and scaling
// each frame's largest picture as the build would gives every picture
// exactly. Empty otherwise: then only the first pictures are listed.
std::vector<uint16_t> rebuiltSizes(const cursor::Cursor& c) {
  const std::vector<cursor::Image>& first = c.frames.front().images;
  if (first.size() < 2 || first.size() > static_cast<size_t>(anifile::kMaxSizes)) return {};
  AnimationOptions options;
  for (size_t i = 0; i < first.size(); ++i) {
    const cursor::Image& image = first[i];
    if (image.width != image.height || image.width > anifile::kLargestSize ||
        (i > 0 && image.width >= first[i - 1].width)) {
      return {};
    }
    options.sizes[i] = static_cast<uint16_t>(image.width);
  }
  options.sizeCount = static_cast<int32_t>(first.size());
  cursor::Cursor trial;
  for (const cursor::Frame& frame : c.frames) {
    if (frame.images.size() != first.size() || frame.images.front().depth != 32) return {};
    trial.frames.push_back({{frame.images.front()}});
  }
  if (!sizeFrames(options, trial)) return {};
  for (size_t f = 0; f < c.frames.size(); ++f) {
    for (size_t i = 0; i < first.size(); ++i) {
      if (!samePicture(trial.frames[f].images[i], c.frames[f].images[i])) return {};
    }
  }
  return {options.sizes, options.sizes + options.sizeCount};
}

std::string buildScript(const cursor::Cursor& c, const char* resultName,
                        const std::vector<std::string>& frameFiles, uint32_t seeThrough,
                        const std::vector<uint16_t>& sizes) {
  std::string s;
  addLine(s, "[Result]");
  addLine(s, resultName);
  addLine(s, "[BMP]");
  for (const std::string& name : frameFiles) addLine(s, name);
  const cursor::Image& first = c.frames.front().images.front();
  if (first.hotspotX != 0 || first.hotspotY != 0) {
    addLine(s, "[Hotspot]");
    addLine(s, std::to_string(first.hotspotX) + "," + std::to_string(first.hotspotY));
  }
  const uint32_t shared = c.steps.empty() ? anifile::kDisplayRate : c.steps.front().jiffies;
  if (c.rateChunk && c.steps.size() > 1) {
    addLine(s, "[Rate]");
    for (const cursor::Step& step : c.steps) addLine(s, std::to_string(step.jiffies));
  } else if (shared != anifile::kDisplayRate && shared != 0) {
    addLine(s, "[Rate]");
    addLine(s, std::to_string(shared));
  }
  if (c.sequenceChunk) {
    addLine(s, "[Sequence]");
    for (const cursor::Step& step : c.steps) addLine(s, std::to_string(uint64_t{step.frame} + 1));
  }
  if (!c.title.empty()) {
    addLine(s, "[Title]");
    addLine(s, c.title);
  }
  if (!c.author.empty()) {
    addLine(s, "[Author]");
    addLine(s, c.author);
  }
  if (!sizes.empty()) {
    std::string line;
    for (uint16_t side : sizes) line += (line.empty() ? "" : ", ") + std::to_string(side);
    addLine(s, "[Sizes]");
    addLine(s, line);
  }
  // The settings are the script's own, whatever kinetor.ini says: nothing
  // changes a pixel, and only the see-through colour, when a mask needs
  // it, is transparent.
  if (seeThrough != kNoColour) {
    addLine(s, "[Trans]");
    addLine(s, "[TransColors]");
    char hex[12];
    std::snprintf(hex, sizeof hex, "%X", static_cast<unsigned>(swapRedBlue(seeThrough)));
    addLine(s, hex);
  } else {
    addLine(s, "[TransColors]");
  }
  return s;
}

bool extractInto(const cursor::Cursor& c, const char* folder, const char* resultName,
                 ExtractReport& report) {
  if (c.frames.empty() || std::any_of(c.frames.begin(), c.frames.end(),
                                      [](const cursor::Frame& f) { return f.images.empty(); })) {
    report.error = "the cursor has a frame without an image";
    return false;
  }
  for (const cursor::Frame& frame : c.frames) {
    for (const cursor::Image& image : frame.images) {
      if (!sizesHold(image) || (image.depth != 8 && image.depth != 24 && image.depth != 32) ||
          (image.depth == 8 && image.palette.size() < kPaletteEntries * 4)) {
        report.error = "the cursor holds an image that cannot be written";
        return false;
      }
    }
  }
  if (!plat::makeFolder(folder)) {
    report.error = std::string("cannot make the folder ") + folder + ": " + plat::lastFileError();
    return false;
  }
  std::vector<std::string>& differences = report.differences;
  noteStepDifferences(c, differences);
  const cursor::Image& first = c.frames.front().images.front();
  const std::vector<uint16_t> sizes = rebuiltSizes(c);
  bool needsMask = false;
  for (size_t f = 0; f < c.frames.size(); ++f) {
    const cursor::Image& image = c.frames[f].images.front();
    if (image.depth != 32 && anyMaskBit(image)) needsMask = true;
    if (image.depth != first.depth) {
      differences.push_back(frameText(f) + ": its depth differs from the first frame's");
    }
    if (image.hotspotX != first.hotspotX || image.hotspotY != first.hotspotY) {
      differences.push_back(frameText(f) + ": its hotspot differs from the first frame's");
    }
    if (c.frames[f].images.size() > 1 && sizes.empty()) {
      differences.push_back(frameText(f) + ": " + std::to_string(c.frames[f].images.size()) +
                            " images; the script lists the first");
    }
  }
  const uint32_t seeThrough = needsMask ? pickSeeThroughColour(c) : kNoColour;
  if (needsMask && seeThrough == kNoColour) {
    differences.push_back("the frames use every colour: none is left to stand for the mask");
  }

  const int digits = std::max<int>(2, static_cast<int>(std::to_string(c.frames.size()).size()));
  std::vector<std::string> listed;
  for (size_t f = 0; f < c.frames.size(); ++f) {
    for (size_t i = 0; i < c.frames[f].images.size(); ++i) {
      const cursor::Image& image = c.frames[f].images[i];
      const std::string number = std::to_string(f + 1);
      std::string name =
          "frame" + std::string(static_cast<size_t>(digits) - number.size(), '0') + number;
      if (i > 0) name += "-" + std::to_string(i + 1);
      std::vector<std::string> unused;
      std::vector<std::string>& notes = i == 0 ? differences : unused;
      bool written;
      if (image.depth == 32) {
        name += ".png";
        const std::string path = joinPath(folder, name);
        written =
            writePngFile(path.c_str(), rgbaRows(image, f, notes), image.width, image.height, 4);
        if (written) {
          report.files.push_back(path);
        } else {
          report.error = "cannot write " + path;
        }
      } else {
        name += ".bmp";
        written = writeWhole(joinPath(folder, name),
                             bitmapFile(image, seeThrough == kNoColour ? 0 : seeThrough, f, notes),
                             report);
      }
      if (!written) return false;
      if (i == 0) listed.push_back(name);
    }
  }
  const std::string script = buildScript(c, resultName, listed, seeThrough, sizes);
  report.scriptPath = joinPath(folder, kExtractScriptName);
  return writeWhole(report.scriptPath, std::vector<uint8_t>(script.begin(), script.end()), report);
}

bool readCursorFile(const char* path, std::vector<uint8_t>& bytes, std::string& why) {
  switch (readWholeFile(path, anilimits::kFileBytes, bytes)) {
    case WholeFile::read:
      return true;
    case WholeFile::cannotOpen:
      why = std::string("cannot open ") + path + ": " + plat::lastFileError();
      break;
    case WholeFile::sizeUnknown:
      why = std::string(path) + ": its size cannot be told";
      break;
    case WholeFile::tooLarge:
      why = std::string(path) + ": too large a cursor";
      break;
    case WholeFile::outOfMemory:
      why = "out of memory";
      break;
    case WholeFile::readFailed:
      why = std::string("cannot read ") + path;
      break;
  }
  return false;
}

}  // namespace

std::string cursorStem(const char* path) {
  std::string name = path;
  size_t start = name.size();
  while (start > 0 && !plat::isPathSeparator(name[start - 1])) --start;
  name.erase(0, start);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name.empty() ? "cursor" : name;
}

bool extractCursor(const cursor::Cursor& c, const char* folder, const char* resultName,
                   ExtractReport& report) {
  try {
    return extractInto(c, folder, resultName, report);
  } catch (const std::bad_alloc&) {
    report.error = "out of memory";
    return false;
  }
}

bool extractCursorFile(const char* cursorPath, const char* folder, ExtractReport& report) {
  cursor::Cursor c;
  try {
    std::vector<uint8_t> bytes;
    if (!readCursorFile(cursorPath, bytes, report.error)) return false;
    if (!readCursor(bytes.data(), bytes.size(), c, report.error, report.differences)) {
      report.error = std::string(cursorPath) + ": " + report.error;
      return false;
    }
  } catch (const std::bad_alloc&) {
    report.error = "out of memory";
    return false;
  }
  const std::string resultName = cursorStem(cursorPath) + ".anim";
  return extractCursor(c, folder, resultName.c_str(), report);
}
