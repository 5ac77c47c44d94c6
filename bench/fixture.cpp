#include "fixture.h"

#include <cstdio>

#include "base/colour.h"
#include "support/bmp_writer.h"

namespace fixture {

const uint32_t kTransparent[12] = {0xFF00FF, 0xFE01FE, 0xFD02FD, 0xFC03FC, 0x00FFFF, 0x01FEFE,
                                   0x02FDFD, 0x03FCFC, 0x808000, 0x818101, 0x828202, 0x838303};
const uint32_t kFrom[6] = {0x101010, 0x202020, 0x303030, 0x404040, 0x505050, 0x606060};
const uint32_t kTo[6] = {0xA01010, 0x10A010, 0x1010A0, 0xA0A010, 0x10A0A0, 0xA010A0};

namespace {

constexpr int kBorder = 6;

// Frame k: the border and the area outside a moving disc hold transparent
// colours (so they are trimmed and merged away); the disc holds the colours
// to replace and a gradient.
std::vector<uint32_t> framePixels(int k) {
  std::vector<uint32_t> px(static_cast<size_t>(kSide) * kSide);
  const int cx = 30 + (k * 7) % 87, cy = 30 + (k * 13) % 87;
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      uint32_t c;
      const bool border =
          x < kBorder || y < kBorder || x >= kSide - kBorder || y >= kSide - kBorder;
      const int dx = x - cx, dy = y - cy;
      if (border) {
        c = kTransparent[(x / 3 + y / 3) % 12];
      } else if (dx * dx + dy * dy > 900) {
        c = kTransparent[(x + k) % 12];
      } else if ((x + y) % 5 == 0) {
        c = kFrom[(x + y + k) % 6];
      } else {
        c = static_cast<uint32_t>((x * 1.7) + 1) << 16 | static_cast<uint32_t>(y) << 8 |
            static_cast<uint32_t>(k);
      }
      px[static_cast<size_t>(y) * kSide + x] = c;
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

Frames writeFrames(const std::string& dir) {
  Frames f;
  BmpLayout layout;
  layout.width = kSide;
  layout.height = kSide;
  layout.bitCount = 24;
  for (int k = 0; k < kFrames; ++k) {
    const std::string bytes = makeBmp(layout, framePixels(k));
    const std::string path = dir + "/frame" + std::to_string(k) + ".bmp";
    writeText(path, bytes);
    f.paths.push_back(path);
    f.inputBytes += bytes.size();
  }
  return f;
}

void writeBatchFiles(const std::string& dir, const Frames& frames, const std::string& output) {
  std::string ini = "[Fix]\r\n[Rpl]\r\n[Trans]\r\n[Resize]\r\n[TransColors]\r\n";
  for (uint32_t c : kTransparent) ini += hexLine(swapRedBlue(c));
  ini += "[ReplaceColor]\r\n";
  for (int i = 0; i < 6; ++i) ini += hexLine(swapRedBlue(kFrom[i])) + hexLine(swapRedBlue(kTo[i]));
  writeText(dir + "/kinetor.ini", ini);
  std::string script = "[Result]\r\n" + output + "\r\n[BMP]\r\n";
  for (const std::string& p : frames.paths) script += p + "\r\n";
  writeText(dir + "/build.txt", script);
}

}  // namespace fixture
