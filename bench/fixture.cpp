#include "fixture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "base/colour.h"
#include "image/png_file.h"
#include "support/bmp_writer.h"

namespace fixture {

const uint32_t kTransparent[12] = {0xFF00FF, 0xFE01FE, 0xFD02FD, 0xFC03FC, 0x00FFFF, 0x01FEFE,
                                   0x02FDFD, 0x03FCFC, 0x808000, 0x818101, 0x828202, 0x838303};
const uint32_t kFrom[6] = {0x101010, 0x202020, 0x303030, 0x404040, 0x505050, 0x606060};
const uint32_t kTo[6] = {0xA01010, 0x10A010, 0x1010A0, 0xA0A010, 0x10A0A0, 0xA010A0};

namespace {

constexpr int kBorder = 6;

// A small fixed generator, so that every run and machine sees the same
// pictures.
uint32_t nextRandom(uint32_t& state) {
  state ^= state << 13;
  state ^= state >> 17;
  state ^= state << 5;
  return state;
}

// Frame k: the border and the area outside a moving disc hold transparent
// colours (so they are trimmed and merged away); the disc holds the colours
// to replace and a gradient. With many colours, the gradient and two in
// five of the pixels outside the disc become noise.
std::vector<uint32_t> framePixels(const Shape& shape, int k) {
  const int side = shape.side;
  const bool noisy = shape.kind == Kind::manyColours;
  std::vector<uint32_t> px(static_cast<size_t>(side) * side);
  // At 147 pixels: a disc of radius 30 whose centre wanders over 87 pixels.
  const int radius = side * 30 / kSide;
  const int cx = radius + (k * 7) % std::max(1, side * 87 / kSide);
  const int cy = radius + (k * 13) % std::max(1, side * 87 / kSide);
  uint32_t random = 0x9E3779B9u + static_cast<uint32_t>(k);
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) {
      uint32_t c;
      const bool border = x < kBorder || y < kBorder || x >= side - kBorder || y >= side - kBorder;
      const int dx = x - cx, dy = y - cy;
      const uint32_t r = noisy ? nextRandom(random) : 0;
      if (border) {
        c = kTransparent[(x / 3 + y / 3) % 12];
      } else if (dx * dx + dy * dy > radius * radius) {
        c = noisy && r % 5 < 2 ? r >> 8 : kTransparent[(x + k) % 12];
      } else if ((x + y) % 5 == 0) {
        c = kFrom[(x + y + k) % 6];
      } else if (noisy) {
        c = r >> 8;
      } else {
        c = static_cast<uint32_t>((x * 1.7) + 1) << 16 | static_cast<uint32_t>(y) << 8 |
            static_cast<uint32_t>(k);
      }
      px[static_cast<size_t>(y) * side + x] = c;
    }
  }
  return px;
}

// Frame k of a PNG fixture: a disc wandering as above, of a gradient with a
// quarter of its pixels noise, whose edge fades out over a tenth of the side,
// on a fully transparent ground. Red, green, blue and alpha, top row first.
std::vector<uint8_t> alphaPixels(const Shape& shape, int k) {
  const int side = shape.side;
  std::vector<uint8_t> px(static_cast<size_t>(side) * side * 4);
  const double radius = side * 0.35, fade = std::max(1.0, side * 0.1);
  const double cx = radius + (k * 7) % std::max(1, side / 4);
  const double cy = radius + (k * 13) % std::max(1, side / 4);
  uint32_t random = 0x2545F491u + static_cast<uint32_t>(k);
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) {
      uint8_t* p = &px[(static_cast<size_t>(y) * side + x) * 4];
      const double d = std::sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy));
      const double a = std::clamp((radius - d) / fade, 0.0, 1.0);
      const uint32_t r = nextRandom(random);
      const bool noise = r % 4 == 0;
      p[0] = static_cast<uint8_t>(noise ? r >> 8 : x * 255 / side);
      p[1] = static_cast<uint8_t>(noise ? r >> 16 : y * 255 / side);
      p[2] = static_cast<uint8_t>(noise ? r >> 24 : k);
      p[3] = static_cast<uint8_t>(a * 255 + 0.5);
    }
  }
  return px;
}

void writeText(const std::string& path, const std::string& text) {
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return;
  std::fwrite(text.data(), 1, text.size(), out);
  std::fclose(out);
}

std::string hexLine(uint32_t colorRef) {
  char text[16];
  std::snprintf(text, sizeof text, "%X\r\n", static_cast<unsigned>(colorRef));
  return text;
}

}  // namespace

Frames writeFrames(const std::string& dir, const Shape& shape) {
  Frames f;
  if (shape.kind == Kind::alphaPng) {
    for (int k = 0; k < shape.frames; ++k) {
      const std::string path = dir + "/frame" + std::to_string(k) + ".png";
      writePngFile(path.c_str(), alphaPixels(shape, k), shape.side, shape.side, 4);
      f.paths.push_back(path);
      f.inputBytes += std::filesystem::file_size(path);
    }
    return f;
  }
  BmpLayout layout;
  layout.width = shape.side;
  layout.height = shape.side;
  layout.bitCount = 24;
  for (int k = 0; k < shape.frames; ++k) {
    const std::string bytes = makeBmp(layout, framePixels(shape, k));
    const std::string path = dir + "/frame" + std::to_string(k) + ".bmp";
    writeText(path, bytes);
    f.paths.push_back(path);
    f.inputBytes += bytes.size();
  }
  return f;
}

void writeBatchFiles(const std::string& dir, const Frames& frames, const std::string& output,
                     Kind kind) {
  std::string ini;
  if (kind != Kind::alphaPng) {
    ini = "[Fix]\r\n[Rpl]\r\n[Trans]\r\n[Resize]\r\n[TransColors]\r\n";
    for (uint32_t c : kTransparent) ini += hexLine(swapRedBlue(c));
    ini += "[ReplaceColor]\r\n";
    for (int i = 0; i < 6; ++i) {
      ini += hexLine(swapRedBlue(kFrom[i])) + hexLine(swapRedBlue(kTo[i]));
    }
  }
  writeText(dir + "/kinetor.ini", ini);
  std::string script = "[Result]\r\n" + output + "\r\n[BMP]\r\n";
  for (const std::string& p : frames.paths) script += p + "\r\n";
  if (kind == Kind::alphaPng) script += std::string("[Sizes]\r\n") + kSizesLine + "\r\n";
  writeText(dir + "/build.txt", script);
}

}  // namespace fixture
