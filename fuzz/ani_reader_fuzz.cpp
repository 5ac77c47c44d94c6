// The cursor reader and checker over arbitrary bytes, then everything
// kinetor-show does with what it read: the printout, the decoded frames and
// the contact sheet. Whatever the input, every range the reader hands out
// lies inside the bytes.
#include <cstdlib>
#include <string>
#include <vector>

#include "ani/ani_reader.h"
#include "ani/cursor_reader.h"
#include "harness.h"
#include "image/pixels.h"
#include "seed_png.h"
#include "show/contact_sheet.h"
#include "show/cursor_bytes.h"
#include "show/report.h"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

bool inside(uint64_t at, uint64_t length, uint64_t size) {
  return at <= size && length <= size - at;
}

void put32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>(v >> (8 * i)));
}

void chunk(std::string& s, const char* id, const std::string& body) {
  s += std::string(id, 4);
  put32(s, static_cast<uint32_t>(body.size()));
  s += body;
  if (body.size() % 2 != 0) s.push_back('\0');
}

// One bitmap image: 40-byte header, palette, colour rows, mask.
std::string bitmapImage(int32_t w, int32_t h, uint16_t bits, uint32_t k) {
  const uint32_t entries = bits <= 8 ? 1u << bits : 0;
  const uint32_t stride = (static_cast<uint32_t>(w) * bits + 31) / 32 * 4;
  const uint32_t maskStride = (static_cast<uint32_t>(w) + 31) / 32 * 4;
  std::string s;
  put32(s, 40);
  put32(s, static_cast<uint32_t>(w));
  put32(s, static_cast<uint32_t>(2 * h));
  put32(s, 1u | uint32_t{bits} << 16);
  for (int i = 0; i < 6; ++i) put32(s, 0);
  for (uint32_t i = 0; i < entries; ++i) put32(s, i * 0x00102030u + k);
  for (uint32_t i = 0; i < stride * static_cast<uint32_t>(h); ++i)
    s.push_back(static_cast<char>(i * 7 + k));
  for (uint32_t i = 0; i < maskStride * static_cast<uint32_t>(h); ++i)
    s.push_back(static_cast<char>(i % 3 == 0 ? 0xF0 : 0));
  return s;
}

using cursorbytes::directory;

// One frame: a cursor directory with one bitmap image.
std::string icon(int32_t w, int32_t h, uint16_t bits, uint32_t k) {
  return directory(2, {{w, h, bitmapImage(w, h, bits, k)}});
}

// A frame of several sizes: bitmaps and PNG images.
std::string sizes(uint32_t k) {
  return directory(2, {{8, 8, bitmapImage(8, 8, 32, k)},
                       {4, 4, seeds::png(4, 4, 6, 8, k % 2 == 1)},
                       {6, 6, seeds::png(6, 6, 3, 4, false, true)},
                       {4, 4, bitmapImage(4, 4, 8, k)}});
}

std::string cursorFile(int32_t w, int32_t h, uint16_t bits, uint32_t frames, bool seq, bool rate,
                       bool info, bool several = false) {
  const uint32_t steps = seq ? frames + 1 : frames;
  std::string anih;
  for (uint32_t v : {36u, frames, steps, 0u, 0u, 0u, 0u, 6u, seq ? 3u : 1u}) put32(anih, v);
  std::string body = "ACON";
  if (info) {
    std::string list = "INFO";
    chunk(list, "INAM", std::string("Seed\0", 5));
    chunk(list, "IART", std::string("Kinetor\0", 8));
    chunk(body, "LIST", list);
  }
  chunk(body, "anih", anih);
  if (rate) {
    std::string r;
    for (uint32_t i = 0; i < steps; ++i) put32(r, 3 + i);
    chunk(body, "rate", r);
  }
  if (seq) {
    std::string q;
    for (uint32_t i = 0; i < steps; ++i) put32(q, (i * 2) % frames);
    chunk(body, "seq ", q);
  }
  std::string list = "fram";
  for (uint32_t k = 0; k < frames; ++k)
    chunk(list, "icon", several ? sizes(k) : icon(w, h, bits, k));
  chunk(body, "LIST", list);
  std::string s;
  chunk(s, "RIFF", body);
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  AniFile file;
  readAniFile(data, size, file);
  for (const AniFrame& frame : file.frames) {
    check(frame.images.empty() || frame.drawnImage < frame.images.size());
    for (const AniImage& f : frame.images) {
      if (!f.readable) continue;
      check(f.width > 0 && f.height > 0);
      check(inside(f.imageAt, f.imageBytes, size));
      if (f.png) {
        check(f.width <= int32_t{pnglimits::kSide} && f.height <= int32_t{pnglimits::kSide});
        continue;
      }
      check(inside(f.paletteAt, uint64_t{f.paletteEntries} * 4, size));
      check(inside(f.colourAt, f.colourBytes, size) && f.colourAt >= f.paletteAt);
      check(inside(f.maskAt, f.maskBytesPresent, size) && f.maskBytesPresent <= f.maskBytes);
    }
  }
  for (size_t i = 1; i < file.defects.size(); ++i) {
    check(file.defects[i - 1].offset <= file.defects[i].offset);
  }
  check(file.defects.size() <= anilimits::kDefectsListed);
  const int verdict = aniVerdict(file);
  check(verdict >= 0 && verdict <= 2);
  for (const AniDefect& d : file.defects) {
    check(verdict != 0 || aniSeverity(d.kind) != AniSeverity::Defect);
  }
  const std::string printout = describeAniFile(file, data, "input");
  check(!printout.empty());

  // Another size's images, as --size picks them.
  if (size != 0) aniChooseImages(file, 1 + data[size - 1]);
  SheetLayout layout;
  std::string why;
  if (planContactSheet(file, data, layout, why) &&
      static_cast<uint64_t>(layout.width * layout.height) <= (uint64_t{1} << 20)) {
    std::vector<uint8_t> rgb;
    renderContactSheet(file, data, layout, rgb);
    check(rgb.size() == static_cast<size_t>(3 * layout.width * layout.height));
  }

  // The same bytes as the cursor model: every image it keeps holds the rows,
  // palette and mask its size needs.
  cursor::Cursor model;
  std::vector<std::string> notes;
  if (readCursor(data, size, model, why, notes)) {
    for (const cursor::Frame& frame : model.frames) {
      check(!frame.images.empty());
      for (const cursor::Image& image : frame.images) {
        check(image.depth == 8 || image.depth == 24 || image.depth == 32);
        check(image.pixels.size() ==
              static_cast<size_t>(rowStride(image.width, image.depth, 32) * image.height));
        check(image.mask.size() == static_cast<size_t>(maskStride(image.width) * image.height));
        check(image.depth != 8 || image.palette.size() == 1024);
      }
    }
  }
  return 0;
}

std::vector<std::string> kinetorFuzzSeeds() {
  std::vector<std::string> out;
  out.push_back(cursorFile(4, 4, 24, 2, false, false, false));
  out.push_back(cursorFile(5, 3, 8, 3, true, true, true));
  out.push_back(cursorFile(9, 2, 1, 2, false, true, false));
  out.push_back(cursorFile(3, 5, 4, 1, true, false, true));
  out.push_back(cursorFile(2, 2, 32, 2, false, false, true));
  std::string cut = cursorFile(6, 6, 24, 2, false, false, false);
  cut.resize(cut.size() - 7);
  out.push_back(cut);
  out.push_back(cursorFile(0, 0, 0, 2, false, true, false, true));
  // Static files: a cursor of several sizes, an icon of one.
  out.push_back(sizes(3));
  std::string ico = directory(1, {{16, 16, seeds::png(16, 16, 2, 16, true)}});
  out.push_back(ico);
  return out;
}
