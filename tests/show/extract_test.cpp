// kinetor build -> kinetor-show --extract -> kinetor build of the extracted
// script gives the same bytes, for the kinds of file the build writes; the
// extracted script is run from another folder, so its frames are found
// beside it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/bmp_writer.h"
#include "support/process.h"

namespace {

std::string crlf(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

struct Frame {
  BmpLayout layout;
  PixelFn pixel;
};

uint32_t rings(int32_t x, int32_t y) { return static_cast<uint32_t>((x * x + y * y) % 7); }
uint32_t magentaCorner(int32_t x, int32_t y) {
  return x + y < 3 ? 0xFF00FFu : 0x102030u * static_cast<uint32_t>(1 + (x ^ y) % 5);
}
uint32_t colourBars(int32_t x, int32_t) { return 0x3060A0u + static_cast<uint32_t>(x) * 0x10101u; }

TEST(ExtractTest, ExtractingAndRebuildingGivesTheSameBytes) {
  BmpLayout eight;
  eight.bitCount = 8;
  eight.width = 5;
  eight.height = 3;
  eight.palette = greyPalette(256);
  eight.palette[3] = 0x0000FF00;  // green: the transparent colour below
  BmpLayout odd;                  // rows of 7 pixels are padded
  odd.width = 7;
  odd.height = 6;
  BmpLayout square;
  square.width = square.height = 8;
  const std::vector<std::string> transparentGreen = {"[Trans]", "[TransColors]", "FF00"};
  const std::vector<std::string> transparentMagenta = {"[Trans]", "[TransColors]", "FF00FF"};

  struct Case {
    const char* what;
    std::vector<Frame> frames;
    std::vector<std::string> sections;
    // When set, the built file's first mask bit is set on a grey pixel
    // before extracting, and stderr must say why the rebuild differs.
    const char* difference = nullptr;
  } cases[] = {
      {"8-bit, no options", {{eight, rings}, {eight, colourBars}}, {"[TransColors]"}},
      {"8-bit, a transparent palette colour and a rate per step",
       {{eight, rings}, {eight, rings}, {eight, colourBars}},
       {"[Rate]", "3", "200ms", "9", "[Trans]", "[TransColors]", "FF00"}},
      {"24-bit of odd width, a transparent colour and the hotspot",
       {{odd, magentaCorner}, {odd, colourBars}},
       [&] {
         std::vector<std::string> s = {"[Hotspot]", "4,2"};
         s.insert(s.end(), transparentMagenta.begin(), transparentMagenta.end());
         return s;
       }()},
      {"24-bit of two sizes, a sequence, one rate, title and author",
       {{square, magentaCorner}, {odd, rings}, {square, colourBars}},
       {"[Sequence]", "1", "2", "3", "2", "[Rate]", "500ms", "[Title]", "Busy dots", "[Author]",
        "Ann Example", "[TransColors]"}},
      {"sizes whose largest is the frames' own side, a hotspot",
       {{square, magentaCorner}, {square, colourBars}},
       [&] {
         std::vector<std::string> s = {"[Hotspot]", "5,3", "[Sizes]", "8, 6, 3"};
         s.insert(s.end(), transparentMagenta.begin(), transparentMagenta.end());
         return s;
       }()},
      {"24-bit, transparency on but no colour of it present",
       {{square, colourBars}, {square, colourBars}},
       transparentGreen},
      {"8-bit, a mask bit that no transparent colour explains",
       {{eight, rings}, {eight, colourBars}},
       {"[TransColors]"},
       "kinetor-show: not rebuilt as it is: frame 1: its mask is not one that a transparent "
       "colour gives\n"},
  };
  for (const Case& c : cases) {
    const std::string source = makeTempDir(), extracted = makeTempDir() + "/made";
    std::vector<std::string> script = {"[Result]", source + "/built.anim", "[BMP]"};
    for (size_t i = 0; i < c.frames.size(); ++i) {
      const std::string frame = source + "/f" + std::to_string(i) + ".bmp";
      ASSERT_TRUE(writeFileBytes(frame, makeBmp(c.frames[i].layout, c.frames[i].pixel)));
      script.push_back(frame);
    }
    script.insert(script.end(), c.sections.begin(), c.sections.end());
    ASSERT_TRUE(writeFileBytes(source + "/build.txt", crlf(script)));
    ProcessResult r = runKinetor(source + "/build.txt");
    ASSERT_EQ(r.exitCode, 1) << c.what << ": " << r.errorOutput;
    std::string built = readFileBytes(source + "/built.anim");
    if (c.difference != nullptr) {
      // The first frame's directory, header, palette and three rows of 8.
      const size_t mask = built.find("icon") + 8 + 22 + 40 + 1024 + 3 * 8;
      ASSERT_LT(mask, built.size());
      built[mask] = static_cast<char>(built[mask] | 0x80);
      ASSERT_TRUE(writeFileBytes(source + "/built.anim", built));
    }

    r = runProgram(KINETOR_SHOW_EXE, {"--extract", extracted, source + "/built.anim"});
    ASSERT_EQ(r.exitCode, 0) << c.what << ": " << r.errorOutput;
    std::erase(r.errorOutput, '\r');
    EXPECT_EQ(r.errorOutput, c.difference != nullptr ? c.difference : "") << c.what;
    if (c.difference != nullptr) continue;
    // Run from here, not from its folder: the output goes where the test
    // can find it, the frames are found beside the script.
    std::string rebuild = readFileBytes(extracted + "/build.txt");
    const std::string result = "[Result]\r\nbuilt.anim\r\n";
    ASSERT_EQ(rebuild.rfind(result, 0), 0u) << c.what << ":\n" << rebuild;
    rebuild.replace(0, result.size(), crlf({"[Result]", extracted + "/again.anim"}));
    ASSERT_TRUE(writeFileBytes(extracted + "/build.txt", rebuild));
    r = runKinetor(extracted + "/build.txt");
    ASSERT_EQ(r.exitCode, 1) << c.what << ": " << r.errorOutput << "\n" << rebuild;
    EXPECT_TRUE(readFileBytes(extracted + "/again.anim") == built) << c.what << ":\n" << rebuild;
  }
}

}  // namespace
