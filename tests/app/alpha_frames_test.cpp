// Frames with alpha through the real program: 32-bit BMPs of every layout
// and PNGs of every colour type, alone and among 8- and 24-bit frames, with
// each option; the written pictures are compared with what a plain model of
// the options, written here, expects. And the refusals, with their reasons.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "ani/ani_reader.h"
#include "image/png_file.h"
#include "support/bmp_writer.h"
#include "support/process.h"
#include "support/riff_reader.h"

namespace fs = std::filesystem;

namespace {

// ---- Pictures: top row first, 0xAARRGGBB ------------------------------------

struct Picture {
  int32_t w = 0;
  int32_t h = 0;
  std::vector<uint32_t> px;
  uint32_t& at(int32_t x, int32_t y) { return px[static_cast<size_t>(y) * w + x]; }
  uint32_t at(int32_t x, int32_t y) const { return px[static_cast<size_t>(y) * w + x]; }
};

// Varied colours and alphas, 0 and 255 among them.
Picture pattern(int32_t w, int32_t h, uint32_t salt) {
  Picture p{w, h, {}};
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t a = (x + y) % 3 == 0 ? 255 : (x * 40 + y * 70 + salt) % 256;
      p.px.push_back(a << 24 | ((x * 50 + salt) % 256) << 16 | ((y * 80 + salt * 3) % 256) << 8 |
                     ((x * y * 30 + salt) % 256));
    }
  }
  return p;
}

Picture opaque(Picture p) {
  for (uint32_t& c : p.px) c |= 0xFF000000u;
  return p;
}

Picture grey(Picture p) {
  for (uint32_t& c : p.px) c = (c & 0xFF000000u) | (c & 0xFF) * 0x010101u;
  return p;
}

void put16(std::string& s, uint32_t v) {
  s += static_cast<char>(v);
  s += static_cast<char>(v >> 8);
}
void put32(std::string& s, uint32_t v) {
  put16(s, v & 0xFFFF);
  put16(s, v >> 16);
}
void put32be(std::string& s, uint32_t v) {
  for (int i = 3; i >= 0; --i) s += static_cast<char>(v >> (8 * i));
}

// A 32-bit BMP: `masks` empty for BI_RGB (alpha in the fourth byte), else
// BI_BITFIELDS with these red, green, blue and alpha masks of 8 bits each
// (a 40-byte header carries no alpha mask).
std::string bmp32(const Picture& p, uint32_t headerSize, std::vector<uint32_t> masks,
                  bool topDown) {
  BmpLayout l;
  l.width = p.w;
  l.height = topDown ? -p.h : p.h;
  l.bitCount = 32;
  l.headerSize = headerSize;
  std::vector<uint32_t> px = p.px;
  if (!masks.empty()) {
    l.compression = 3;
    l.redMask = masks[0], l.greenMask = masks[1], l.blueMask = masks[2], l.alphaMask = masks[3];
    for (uint32_t& c : px) {
      const uint32_t v = c;
      c = 0;
      for (int i = 0; i < 4; ++i) {  // alpha, red, green, blue: from the top byte down
        const int shift = std::countr_zero(masks[(i + 3) % 4]);
        c |= ((v >> (24 - 8 * i)) & 0xFF) << shift;
      }
    }
  }
  return makeBmp(l, px);
}

// ---- PNG files, stored (uncompressed) deflate ----------------------------------

uint32_t crc32(const std::string& bytes, size_t from) {
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = from; i < bytes.size(); ++i) {
    c ^= static_cast<uint8_t>(bytes[i]);
    for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
  }
  return ~c;
}

void chunk(std::string& s, const char* type, const std::string& body) {
  put32be(s, static_cast<uint32_t>(body.size()));
  const size_t from = s.size();
  s += std::string(type, 4) + body;
  put32be(s, crc32(s, from));
}

// Colour type 0 (grey), 2 (RGB), 3 (palette, with tRNS), 4 (grey + alpha) or
// 6 (RGBA); depth 8 or 16 (not for 3). 16-bit samples repeat the 8-bit value
// in both bytes, so that their high byte is it.
std::string png(const Picture& p, uint8_t type, uint8_t depth, bool interlace) {
  std::vector<uint32_t> palette;
  std::string samples;  // per pixel, in row order of the picture
  auto sample = [&](std::string& out, uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    if (depth == 16) out += static_cast<char>(v & 0xFF);
  };
  auto pixel = [&](std::string& out, uint32_t c) {
    switch (type) {
      case 0:
        sample(out, c);
        break;
      case 2:
        sample(out, c >> 16), sample(out, c >> 8), sample(out, c);
        break;
      case 3: {
        auto it = std::find(palette.begin(), palette.end(), c);
        if (it == palette.end()) it = palette.insert(palette.end(), c);
        out += static_cast<char>(it - palette.begin());
        break;
      }
      case 4:
        sample(out, c), sample(out, c >> 24);
        break;
      default:
        sample(out, c >> 16), sample(out, c >> 8), sample(out, c), sample(out, c >> 24);
    }
  };
  std::string raw;
  auto rows = [&](int32_t x0, int32_t y0, int32_t dx, int32_t dy) {
    for (int32_t y = y0; y < p.h; y += dy) {
      if (x0 >= p.w) break;
      raw += '\0';  // filter: none
      for (int32_t x = x0; x < p.w; x += dx) pixel(raw, p.at(x, y));
    }
  };
  if (interlace) {
    static const int32_t kPass[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                        {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    for (const auto& pass : kPass) rows(pass[0], pass[1], pass[2], pass[3]);
  } else {
    rows(0, 0, 1, 1);
  }
  std::string s("\x89PNG\r\n\x1A\n", 8);
  std::string ihdr;
  put32be(ihdr, static_cast<uint32_t>(p.w));
  put32be(ihdr, static_cast<uint32_t>(p.h));
  ihdr += static_cast<char>(depth);
  ihdr += static_cast<char>(type);
  ihdr += std::string(2, '\0');
  ihdr += static_cast<char>(interlace ? 1 : 0);
  chunk(s, "IHDR", ihdr);
  if (type == 3) {
    std::string plte, trns;
    for (uint32_t c : palette) {
      plte += static_cast<char>(c >> 16), plte += static_cast<char>(c >> 8);
      plte += static_cast<char>(c);
      trns += static_cast<char>(c >> 24);
    }
    chunk(s, "PLTE", plte);
    chunk(s, "tRNS", trns);
  }
  std::string z("\x78\x01", 2);
  uint32_t a = 1, b = 0;
  for (const char c : raw) {
    a = (a + static_cast<uint8_t>(c)) % 65521;
    b = (b + a) % 65521;
  }
  for (size_t at = 0; at < raw.size() || at == 0;) {
    const size_t n = std::min<size_t>(raw.size() - at, 65535);
    z += static_cast<char>(at + n == raw.size() ? 1 : 0);
    put16(z, static_cast<uint32_t>(n));
    put16(z, static_cast<uint32_t>(~n & 0xFFFF));
    z += raw.substr(at, n);
    at += n;
    if (n == 0) break;
  }
  put32be(z, b << 16 | a);
  chunk(s, "IDAT", z);
  chunk(s, "IEND", "");
  return s;
}

// ---- What the build should make of the frames ---------------------------------

struct Options {
  std::map<uint32_t, uint32_t> replace;  // 0x00RRGGBB to 0x00RRGGBB
  std::vector<uint32_t> transparent;     // 0x00RRGGBB
  bool merge = false;
  bool crop = false;
};

// The settings sections that ask for `o`; colours are written as the
// settings file keeps them, blue first.
std::vector<std::string> sectionsFor(const Options& o) {
  auto colorref = [](uint32_t rgb) {
    char text[16];
    std::snprintf(text, sizeof text, "%X",
                  (rgb & 0xFF) << 16 | (rgb & 0xFF00) | (rgb >> 16 & 0xFF));
    return std::string(text);
  };
  std::vector<std::string> out;
  if (!o.transparent.empty()) {
    out.insert(out.end(), {"[Trans]", "[TransColors]"});
    for (uint32_t c : o.transparent) out.push_back(colorref(c));
  }
  if (!o.replace.empty()) {
    out.insert(out.end(), {"[Rpl]", "[ReplaceColor]"});
    for (const auto& [from, to] : o.replace) {
      out.push_back(colorref(from));
      out.push_back(colorref(to));
    }
  }
  if (o.merge) out.push_back("[Fix]");
  if (o.crop) out.push_back("[Resize]");
  return out;
}

// Straight-alpha "over", in real numbers, rounded to the nearest value.
uint32_t over(uint32_t top, uint32_t under) {
  const double at = (top >> 24) / 255.0, au = (under >> 24) / 255.0;
  const double a = at + au * (1 - at);
  if (a == 0) return 0;
  uint32_t out = static_cast<uint32_t>(std::lround(a * 255)) << 24;
  for (int shift = 0; shift < 24; shift += 8) {
    const double c = (((top >> shift) & 0xFF) * at + ((under >> shift) & 0xFF) * au * (1 - at)) / a;
    out |= static_cast<uint32_t>(std::lround(c)) << shift;
  }
  return out;
}

std::vector<Picture> expect(std::vector<Picture> frames, const Options& o) {
  for (Picture& p : frames) {
    for (uint32_t& c : p.px) {
      uint32_t rgb = c & 0xFFFFFF;
      if (o.replace.count(rgb) != 0) rgb = o.replace.at(rgb);
      const bool gone = std::count(o.transparent.begin(), o.transparent.end(), rgb) != 0;
      c = gone || (c >> 24) == 0 ? 0 : (c & 0xFF000000u) | rgb;
    }
  }
  if (o.crop) {
    int32_t left = INT32_MAX, top = INT32_MAX, right = -1, bottom = -1;
    for (const Picture& p : frames) {
      for (int32_t y = 0; y < p.h; ++y) {
        for (int32_t x = 0; x < p.w; ++x) {
          if (p.at(x, y) >> 24 == 0) continue;
          left = std::min(left, x), top = std::min(top, y);
          right = std::max(right, x), bottom = std::max(bottom, y);
        }
      }
    }
    for (Picture& p : frames) {
      Picture cut{right - left + 1, bottom - top + 1, {}};
      for (int32_t y = top; y <= bottom; ++y) {
        for (int32_t x = left; x <= right; ++x) {
          cut.px.push_back(x < p.w && y < p.h ? p.at(x, y) : 0);
        }
      }
      p = cut;
    }
  }
  if (o.merge) {
    for (size_t k = 1; k < frames.size(); ++k) {
      Picture merged = frames[0];
      for (int32_t y = 0; y < merged.h; ++y) {
        for (int32_t x = 0; x < merged.w; ++x) {
          const Picture& own = frames[k];
          merged.at(x, y) = over(x < own.w && y < own.h ? own.at(x, y) : 0, frames[0].at(x, y));
        }
      }
      frames[k] = merged;
    }
  }
  return frames;
}

// The colour rows and mask rows a 32-bit picture is stored with.
std::string colourRows(const Picture& p) {
  std::string s;
  for (int32_t y = p.h - 1; y >= 0; --y) {
    for (int32_t x = 0; x < p.w; ++x) put32(s, p.at(x, y));
  }
  return s;
}

std::string maskRows(const Picture& p) {
  const size_t stride = (static_cast<size_t>(p.w) + 31) / 32 * 4;
  std::string s;
  for (int32_t y = p.h - 1; y >= 0; --y) {
    std::string row(stride, '\0');
    for (int32_t x = 0; x < p.w; ++x) {
      if (p.at(x, y) >> 24 == 0) row[x / 8] = static_cast<char>(row[x / 8] | (0x80 >> (x % 8)));
    }
    s += row;
  }
  return s;
}

std::string crlf(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& l : lines) out += l + "\r\n";
  return out;
}

std::string programCopy() {
  std::string source = KINETOR_EXE;
#ifdef _WIN32
  if (!source.empty() && source[0] == '/') source = "Z:" + source;
#endif
  const fs::path target = fs::path(makeTempDir()) / fs::path(source).filename();
  fs::copy_file(source, target, fs::copy_options::overwrite_existing);
  return target.string();
}

TEST(AlphaFrames, BuildThirtyTwoBitCursorsOrSayWhyNot) {
  const std::string dir = makeTempDir();
  const std::string exe = programCopy();
  int files = 0;
  // A frame file holding `bytes`, and the picture the build reads from it.
  struct Frame {
    std::string bytes;
    Picture read;
  };

  const Picture p43 = pattern(4, 3, 9), q43 = pattern(4, 3, 101), r43 = pattern(4, 3, 57);
  const Picture p99 = pattern(9, 9, 33), p53 = pattern(5, 3, 77);
  Picture zeroAlpha = p43;
  for (uint32_t& c : zeroAlpha.px) c &= 0x00FFFFFFu;
  // Alpha 0 keeps no colour: a loader that takes the mask sees the screen.
  auto cleared = [](Picture p) {
    for (uint32_t& c : p.px) c = c >> 24 == 0 ? 0 : c;
    return p;
  };
  // Masks for the bytes red, green, blue, alpha; and blue, green, red, alpha.
  const std::vector<uint32_t> rgbaMasks = {0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000};
  const std::vector<uint32_t> dibMasks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};

  const Frame plain{bmp32(p43, 40, {}, false), cleared(p43)};
  const Frame noAlpha{bmp32(zeroAlpha, 40, {}, false), opaque(p43)};
  const Frame v3{bmp32(q43, 56, dibMasks, false), cleared(q43)};
  const Frame v5TopDown{bmp32(r43, 124, rgbaMasks, true), cleared(r43)};
  const Frame fieldsNoAlpha{bmp32(q43, 40, rgbaMasks, false), opaque(q43)};
  const Frame pngRgba{png(p53, 6, 8, false), cleared(p53)};
  const Frame pngPalette{png(p43, 3, 8, false), cleared(p43)};
  const Frame pngRgb16{png(q43, 2, 16, false), opaque(q43)};
  const Frame pngGreyAlpha16{png(grey(p99), 4, 16, true), cleared(grey(p99))};
  const Frame pngGrey{png(grey(r43), 0, 8, false), opaque(grey(r43))};
  const Frame pngInterlaced{png(p99, 6, 8, true), cleared(p99)};
  // 24- and 8-bit frames become opaque 32-bit ones.
  BmpLayout layout24;
  layout24.width = 4;
  layout24.height = 3;
  std::vector<uint32_t> rgb24;
  for (uint32_t c : p43.px) rgb24.push_back(c & 0xFFFFFF);
  const Frame bmp24{makeBmp(layout24, rgb24), opaque(p43)};
  BmpLayout layout8 = layout24;
  layout8.bitCount = 8;
  layout8.palette = {0x102030, 0xFF00FF, 0xA0B0C0};
  layout8.clrUsed = 3;
  const std::vector<uint32_t> indices = {0, 1, 2, 1, 1, 1, 0, 2, 2, 0, 1, 1};
  Picture from8{4, 3, {}};
  for (uint32_t i : indices) from8.px.push_back(0xFF000000u | layout8.palette[i]);
  const Frame bmp8{makeBmp(layout8, indices), from8};

  // Options that touch the patterns' colours: the first pixel's colour of
  // p43 (alpha 255) and one of q43.
  const uint32_t c0 = p43.px[0] & 0xFFFFFF, c1 = q43.px[3] & 0xFFFFFF;
  Options trans, replace, merge, crop, all;
  trans.transparent = {c0, 0xFF00FF};
  replace.replace = {{c0, 0x123456}, {c1, 0xFEDCBA}};
  merge.merge = true;
  crop.crop = true;
  all = trans;
  all.replace = {{c1, 0xFEDCBA}};
  all.merge = all.crop = true;
  // Content only inside: the crop has work.
  Picture framed = pattern(6, 5, 5);
  for (int32_t y = 0; y < framed.h; ++y)
    for (int32_t x = 0; x < framed.w; ++x)
      if (x == 0 || y == 0 || x == 5 || y >= 3) framed.at(x, y) &= 0x00FFFFFFu;
  const Frame framedPng{png(framed, 6, 8, false), cleared(framed)};

  struct Case {
    const char* what;
    std::vector<Frame> frames;
    Options options;
    std::string refusal;  // "" when the build succeeds; else the reason given
    int refused = 0;      // the frame refused
  };
  std::vector<Case> cases = {
      {"32-bit BMPs: plain, all alpha 0, V3 and V5 bit fields, top-down",
       {plain, noAlpha, v3, v5TopDown, fieldsNoAlpha},
       {},
       "",
       0},
      {"PNGs: RGBA, palette + tRNS, 16-bit RGB, 16-bit grey + alpha interlaced, grey, "
       "interlaced RGBA",
       {pngRgba, pngPalette, pngRgb16, pngGreyAlpha16, pngGrey, pngInterlaced},
       {},
       "",
       0},
      {"24-bit, PNG and 8-bit frames mixed", {bmp24, pngRgba, bmp8}, {}, "", 0},
      {"8- and 24-bit frames mix once a frame has alpha", {bmp8, bmp24, plain}, trans, "", 0},
      {"transparent colours", {plain, v3, bmp24}, trans, "", 0},
      {"replacement keeps alpha", {plain, v3, pngPalette}, replace, "", 0},
      {"merge lays frames over the first", {plain, v3, pngRgba, pngInterlaced}, merge, "", 0},
      {"optimize crops to what has alpha", {framedPng, plain, pngRgba}, crop, "", 0},
      {"every option", {framedPng, plain, v3, bmp8}, all, "", 0},
  };
  Picture wide = pattern(1025, 1, 1);
  std::string truncatedPng = pngRgba.bytes.substr(0, pngRgba.bytes.size() - 30);
  BmpLayout layout16 = layout24;
  layout16.bitCount = 16;
  std::string hugeBmp = bmp32(pattern(2, 2, 0), 40, {}, false);
  hugeBmp.resize((size_t{16} << 20) + 1, '\0');
  std::string large24 = bmp24.bytes;
  large24.resize(70000, '\0');
  const std::vector<std::pair<std::string, std::string>> refusals = {
      {png(wide, 6, 8, false), "too large (more than 1024 x 1024 pixels)"},
      {bmp32(wide, 124, rgbaMasks, false), "too large (more than 1024 x 1024 pixels)"},
      {hugeBmp, "too large (a 32-bit BMP or a PNG of more than 16 MiB)"},
      {truncatedPng, "a damaged PNG"},
      {"plain words, not a picture", "not a BMP or PNG"},
      {makeBmp(layout16, rgb24), "a BMP of unsupported depth (not 8, 24 or 32 bits per pixel)"},
      // An 8- or 24-bit BMP keeps its limit, even beside frames with alpha.
      {large24, "not a BMP (not 12 to 65535 bytes long)"},
  };
  for (const auto& [bytes, why] : refusals) {
    cases.push_back({why.c_str(), {pngRgba, {bytes, {}}}, {}, why, 1});
  }

  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> lines = {"[Result]", dir + "/out" + std::to_string(files) + ".anim",
                                      "[BMP]"};
    const std::string out = lines[1];
    std::vector<std::string> paths;
    std::vector<Picture> read;
    for (const Frame& f : c.frames) {
      paths.push_back(dir + "/frame" + std::to_string(files++) + ".img");
      ASSERT_TRUE(writeFileBytes(paths.back(), f.bytes));
      lines.push_back(paths.back());
      read.push_back(f.read);
    }
    const std::vector<std::string> sections = sectionsFor(c.options);
    lines.insert(lines.end(), sections.begin(), sections.end());
    // A crop moves the hotspot with the pixels; elsewhere it stays.
    if (!c.options.crop) lines.insert(lines.end(), {"[Hotspot]", "1, 2"});
    const std::string script = dir + "/script" + std::to_string(files) + ".txt";
    ASSERT_TRUE(writeFileBytes(script, crlf(lines)));
    const ProcessResult r = runKinetorAt(exe, script);

    if (!c.refusal.empty()) {
      EXPECT_EQ(r.exitCode, 2);
      EXPECT_FALSE(fileExists(out));
      const std::string path = paths[static_cast<size_t>(c.refused)];
#ifdef _WIN32
      EXPECT_EQ(r.boxes, std::vector<std::string>{"Can't load file: " + path});
#else
      EXPECT_EQ(r.errorOutput.rfind(
                    "Can't load file: " + path + "\nkinetor: " + c.refusal + ": " + path + "\n", 0),
                0u)
          << r.errorOutput;
#endif
      continue;
    }
    EXPECT_EQ(r.exitCode, 1) << r.errorOutput;
    ParsedAni ani;
    std::string problem;
    ASSERT_TRUE(parseAni(readFileBytes(out), ani, problem)) << problem;
    const std::vector<Picture> want = expect(read, c.options);
    ASSERT_EQ(ani.icons.size(), want.size());
    for (size_t k = 0; k < want.size(); ++k) {
      SCOPED_TRACE("frame " + std::to_string(k + 1));
      const ParsedIcon& icon = ani.icons[k];
      const Picture& p = want[k];
      EXPECT_EQ(icon.biBitCount, 32);
      EXPECT_EQ(icon.biSize, 40u);
      EXPECT_EQ(icon.biWidth, p.w);
      EXPECT_EQ(icon.biHeight, 2 * p.h);
      EXPECT_TRUE(icon.palette.empty());
      EXPECT_EQ(icon.hotspotX, c.options.crop ? 0 : 1);
      EXPECT_EQ(icon.hotspotY, c.options.crop ? 0 : 2);
      EXPECT_EQ(icon.bytesInResource, 40u + 4u * p.w * p.h + maskRows(p).size());
      EXPECT_EQ(icon.colourRows, colourRows(p));
      EXPECT_EQ(icon.maskRows, maskRows(p));
    }
  }
}

#ifdef PEAK_RSS_EXE
TEST(AlphaFrames, ManyLargeFramesAreWrittenInBoundedMemory) {
  // 40 frames of 1024 x 1024 take 160 MiB decoded; the build holds the frame
  // in hand and a bounded share of the others. Frames repeat every 8 (one of
  // each 8 a small 24-bit BMP), so that frames kept from their first reading
  // and frames read again at their turn must come out alike.
  constexpr int kFrames = 40, kSide = 1024, kRepeat = 8;
  constexpr long kPeakBoundKb = 100 * 1024;
  const std::string dir = makeTempDir();
  const std::string exe = programCopy();
  std::vector<std::string> paths;
  for (int k = 0; k < kFrames; ++k) {
    const int kind = k % kRepeat;
    paths.push_back(dir + "/f" + std::to_string(k) + (kind == 3 ? ".bmp" : ".png"));
    if (k >= kRepeat) {
      fs::copy_file(paths[static_cast<size_t>(kind)], paths.back());
      continue;
    }
    const Picture p = pattern(64, 48, static_cast<uint32_t>(40 * kind));
    if (kind == 3) {
      BmpLayout l;
      l.width = p.w;
      l.height = p.h;
      std::vector<uint32_t> rgb;
      for (uint32_t c : p.px) rgb.push_back(c & 0xFFFFFF);
      ASSERT_TRUE(writeFileBytes(paths.back(), makeBmp(l, rgb)));
      continue;
    }
    // Transparent but for the pattern, placed by frame: little to store.
    std::vector<uint8_t> rgba(size_t{4} * kSide * kSide, 0);
    for (int32_t y = 0; y < p.h; ++y) {
      for (int32_t x = 0; x < p.w; ++x) {
        const uint32_t c = p.at(x, y);
        uint8_t* out = &rgba[4 * (size_t{kSide} * (100 + 60 * kind + y) + 300 + 50 * kind + x)];
        out[0] = static_cast<uint8_t>(c >> 16), out[1] = static_cast<uint8_t>(c >> 8);
        out[2] = static_cast<uint8_t>(c), out[3] = static_cast<uint8_t>(c >> 24);
      }
    }
    ASSERT_TRUE(writePngFile(paths.back().c_str(), rgba, kSide, kSide, 4));
  }
  Options all;
  all.transparent = {pattern(64, 48, 40).px[5] & 0xFFFFFF};
  all.replace = {{pattern(64, 48, 80).px[7] & 0xFFFFFF, 0x123456}};
  all.merge = all.crop = true;
  const std::vector<std::pair<const char*, Options>> cases = {{"no option", {}},
                                                              {"every option", all}};
  // The program's sanitizer gives freed memory back at once, as its heap
  // does without one.
  const char* sanitizer = std::getenv("ASAN_OPTIONS");
  const std::string saved = sanitizer != nullptr ? sanitizer : "";
  setenv("ASAN_OPTIONS", (saved + (saved.empty() ? "" : ":") + "quarantine_size_mb=0").c_str(), 1);
  for (const auto& [what, options] : cases) {
    SCOPED_TRACE(what);
    std::vector<std::string> lines = {"[Result]", dir + "/" + what + ".anim", "[BMP]"};
    lines.insert(lines.end(), paths.begin(), paths.end());
    const std::vector<std::string> sections = sectionsFor(options);
    lines.insert(lines.end(), sections.begin(), sections.end());
    lines.insert(lines.end(), {"[Sizes]", "32, 48"});
    const std::string script = dir + "/" + what + ".txt";
    ASSERT_TRUE(writeFileBytes(script, crlf(lines)));
    const ProcessResult r = runProgram(PEAK_RSS_EXE, {exe, script}, 600);
    EXPECT_EQ(r.exitCode, 1) << r.errorOutput;
    const size_t at = r.errorOutput.rfind("peak-rss-kb ");
    ASSERT_NE(at, std::string::npos) << r.errorOutput;
    const long peakKb = std::atol(r.errorOutput.c_str() + at + 12);
    EXPECT_GT(peakKb, 0);
    EXPECT_LT(peakKb, kPeakBoundKb);
    const std::string bytes = readFileBytes(lines[1]);
    AniFile file;
    readAniFile(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), file);
    ASSERT_EQ(aniVerdict(file), 0);
    ASSERT_EQ(file.frames.size(), size_t{kFrames});
    auto chunk = [&](size_t k) {
      EXPECT_EQ(file.frames[k].images.size(), 2u);
      return bytes.substr(file.frames[k].chunkOffset, file.frames[k].chunkSize);
    };
    EXPECT_NE(chunk(1), chunk(2)) << "frames differ";
    // A merged frame 8 lies over itself; the frames after it repeat theirs.
    for (size_t k = kRepeat + 1; k < kFrames; ++k) {
      EXPECT_EQ(chunk(k), chunk(k - kRepeat)) << "frame " << k;
    }
  }
  setenv("ASAN_OPTIONS", saved.c_str(), 1);
}
#endif

}  // namespace
