// kinetor-show through its real binary: the example reads back without a
// defect, and each planted defect is reported at the byte where it lies.
#include <gtest/gtest.h>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include "stb_image.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>

#include "show/contact_sheet.h"
#include "show/cursor_bytes.h"
#include "show/example_cursor.h"
#include "support/bmp_writer.h"

namespace {

using namespace cursorbytes;

// The offsets of the printout's "defect at N: ..." lines.
std::vector<uint64_t> defectOffsets(const std::string& output) {
  std::vector<uint64_t> offsets;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("defect at ", 0) == 0) offsets.push_back(std::stoull(line.substr(10)));
  }
  return offsets;
}

class ShowTest : public ExampleCursorTest {};

TEST_F(ShowTest, PlantedDefectsAreReportedWhereTheyLie) {
  const std::string base = buildExample("base.anim");
  const uint32_t iconSize = le32(base, 72);
  ASSERT_EQ(iconSize, 22u + 40 + 32 * 32 * 3 + 32 * 4) << "12 frames of 32 x 32, 24-bit";
  auto icon = [&](uint64_t k) { return 68 + k * (8 + iconSize); };
  auto resize = [](std::string& s, int64_t by) {
    setLe32(s, 4, static_cast<uint32_t>(le32(s, 4) + by));
  };
  const uint64_t seqEntry5 = base.size() + 8 + 5 * 4;
  const uint64_t lastMask = icon(11) + 8 + 22 + 40 + 32 * 32 * 3;

  struct Case {
    const char* what;
    std::function<void(std::string&)> plant;
    int exitCode;
    std::vector<uint64_t> offsets;
    // In the printout; for a file refused unread, the whole of stderr, with
    // FILE for the path given.
    const char* says;
    const char* given = "planted.anim";  // any other name names no file
    uint64_t grownTo = 0;                // sparsely, after planting
    bool extract = false;
  } cases[] = {
      {"the example as built", [](std::string&) {}, 0, {}, "defects: none"},
      {"a chunk size past its parent",
       [&](std::string& s) { setLe32(s, icon(11) + 4, iconSize + 100); },
       1,
       {icon(11) + 4},
       "chunk 'icon' of 3362 bytes runs 100 bytes past the end of its parent 'LIST'"},
      {"odd padding: an odd chunk without its pad byte",
       [&](std::string& s) {
         s.insert(56, std::string("note\3\0\0\0abc", 11));
         resize(s, 11);
       },
       1,
       {56 + 8 + 3},
       "chunk 'note' has the odd size 3 but no pad byte"},
      {"an INFO title without its closing zero",
       [&](std::string& s) {
         s.insert(56, std::string("LIST\x10\0\0\0INFOINAM\4\0\0\0Spin", 24));
         resize(s, 24);
       },
       1,
       {56 + 12 + 8 + 3},
       "title: \"Spin\""},
      {"a step count that disagrees",
       [](std::string& s) { setLe32(s, 28, 11); },
       1,
       {28},
       "'anih' promises 11 steps for 12 frames"},
      {"a sequence entry out of range",
       [&](std::string& s) {
         s += "seq ";
         append32(s, 12 * 4);
         for (uint32_t i = 0; i < 12; ++i) append32(s, i == 5 ? 12 : i);
         resize(s, 8 + 48);
         setLe32(s, 52, 3);  // flags: icon frames, with a sequence
       },
       1,
       {seqEntry5},
       "step 5 shows frame 12, but there are only 12 frames"},
      {"a truncated icon",
       [&](std::string& s) {
         setLe32(s, icon(11) + 4, iconSize - 100);
         setLe32(s, 60, le32(s, 60) - 100);
         resize(s, -100);
         s.resize(s.size() - 100);
       },
       1,
       {icon(11) + 22, lastMask},
       "image of 3240 bytes runs 100 bytes past the end of the 'icon' chunk"},
      {"an entry width that disagrees with its bitmap",
       [&](std::string& s) { s[icon(3) + 14] = 31; },
       1,
       {icon(3) + 14},
       "entry width 31 disagrees with the bitmap width 32"},
      {"not a cursor",
       [](std::string& s) { s.replace(8, 4, "AVI "); },
       2,
       {8},
       "the RIFF form is 'AVI ', not 'ACON'"},
      {"no such file",
       [](std::string&) {},
       2,
       {},
       "kinetor-show: cannot open FILE",
       "missing.anim"},
      {"no such file to extract",
       [](std::string&) {},
       2,
       {},
       "kinetor-show: cannot open FILE: no such file or folder",
       "missing.anim",
       0,
       true},
      {"a file larger than any cursor read",
       [](std::string&) {},
       2,
       {},
       "kinetor-show: FILE is larger than 268435456 bytes",
       "planted.anim",
       anilimits::kFileBytes + 1},
      {"a file larger than any cursor extracted",
       [](std::string&) {},
       2,
       {},
       "kinetor-show: FILE: too large a cursor",
       "planted.anim",
       anilimits::kFileBytes + 1,
       true},
  };
  for (const auto& c : cases) {
    std::string bytes = base;
    c.plant(bytes);
    const std::string file = path("planted.anim"), given = path(c.given);
    ASSERT_TRUE(writeFileBytes(file, bytes));
    if (c.grownTo != 0) std::filesystem::resize_file(file, c.grownTo);
    ProcessResult r = c.extract ? show({"--extract", path("extracted"), given}) : show({given});
    EXPECT_EQ(r.exitCode, c.exitCode) << c.what << "\n" << r.output << r.errorOutput;
    EXPECT_EQ(defectOffsets(r.output), c.offsets) << c.what << "\n" << r.output;
    std::string refusal = c.says;
    if (refusal.rfind("kinetor-show: ", 0) == 0) {
      refusal.replace(refusal.find("FILE"), 4, given);
      std::erase(r.errorOutput, '\r');
      EXPECT_EQ(r.errorOutput, refusal + "\n") << c.what;
      EXPECT_EQ(r.output, "") << c.what;
    } else {
      EXPECT_NE(r.output.find(c.says), std::string::npos) << c.what << "\n" << r.output;
    }
  }
}

TEST_F(ShowTest, PrintsTheExampleAndDrawsItsContactSheet) {
  const std::string file = path("spinner.anim");
  buildExample("spinner.anim");
  const std::string png = path("spinner.png");
  const ProcessResult r = show({file, "--png", png});
  EXPECT_EQ(r.exitCode, 0) << r.output << r.errorOutput;
  for (const char* line : {
           "anih at 20: 12 frames, 12 steps, display rate 5 jiffies (83 ms), flags 0x1 (icon)",
           "      0       68  cursor  32 x 32    24-bit  16, 16           0  yes",
           "     11     11        5      83",
           "defects: none",
           "(1256 x 216 pixels, 12 steps, frames scaled 3x)",
       }) {
    EXPECT_NE(r.output.find(line), std::string::npos) << line << "\n" << r.output;
  }
  // Margins of 8 around and between 12 cells of 96 x 96, two bands.
  const std::string bytes = readFileBytes(png);
  ASSERT_GT(bytes.size(), 24u);
  EXPECT_EQ(bytes.substr(0, 8), std::string("\x89PNG\r\n\x1A\n", 8));
  auto be32 = [&](size_t at) {
    return uint32_t{static_cast<uint8_t>(bytes[at])} << 24 |
           uint32_t{static_cast<uint8_t>(bytes[at + 1])} << 16 |
           uint32_t{static_cast<uint8_t>(bytes[at + 2])} << 8 | static_cast<uint8_t>(bytes[at + 3]);
  };
  EXPECT_EQ(be32(16), 8u + 12 * (96 + 8));
  EXPECT_EQ(be32(20), 8u + 2 * (96 + 8));

  const ProcessResult usage = show({});
  EXPECT_EQ(usage.exitCode, 2);
  EXPECT_EQ(show({file, "--size", "0"}).exitCode, 2);
  EXPECT_NE(usage.errorOutput.find("usage: kinetor-show FILE [--png OUT.png]"), std::string::npos);
  EXPECT_EQ(show({path("missing.anim")}).exitCode, 2);
}

}  // namespace

namespace {

TEST_F(ShowTest, ReadsModernCursorsAndWarnsWithoutFailing) {
  const std::string opaque = directory(2, {{24, 24, bitmapImage(24, 24, 24, 0x00336699)}});
  const std::string sizes = directory(2, {{16, 16, bitmapImage(16, 16, 32, 0xFF0000FF)},
                                          {32, 32, bitmapImage(32, 32, 24, 0x0000FF00)},
                                          {32, 32, bitmapImage(32, 32, 32, 0xFFFF0000)},
                                          {48, 48, pngImage(48, 48, 0x80000000)}});
  std::string countsHeader = animated({opaque});
  setLe32(countsHeader, 4, static_cast<uint32_t>(countsHeader.size()));
  std::string seq;
  for (uint32_t v : {1u, 1u}) append32(seq, v);
  // An odd chunk: the image's last byte lies outside what the entry counts.
  const std::string odd = animated({opaque + '\0', opaque});
  std::string huge = directory(2, {{0, 0, pngImage(4, 4, 0xFF000000)}});
  setLe32(huge, 22 + 16, 0x60EA0000);  // IHDR width 60000, big-endian
  setLe32(huge, 22 + 20, 0x60EA0000);

  struct Case {
    const char* what;
    const char* name;
    std::string bytes;
    std::vector<std::string> options;
    int exitCode;
    std::vector<std::string> lines;
    uint32_t drawn;  // the sheet's first frame pixel over the light band, when not 0
  } cases[] = {
      {"a PNG image in an icon chunk",
       "png.anim",
       animated({directory(2, {{40, 40, pngImage(40, 40, 0xFF2040C0)}})}),
       {},
       0,
       {"      0       68  cursor  40 x 40    32-bit  20, 20           0  none, PNG\n",
        "defects: none\nnote at 98: PNG image (Windows Vista and later)\n"},
       0x2040C0},
      {"several images: the one a loader takes at 32 x 32",
       "sizes.anim",
       animated({sizes}),
       {},
       0,
       {"      0       68  cursor  16 x 16    32-bit  8, 8             0  yes\n",
        "                  cursor  32 x 32    24-bit  16, 16           0  yes\n",
        "                  cursor  32 x 32    32-bit  16, 16           0  yes  (drawn)\n",
        "                  cursor  48 x 48    32-bit  24, 24           0  none, PNG\n",
        "defects: none\n"},
       0xFF0000},
      {"several images: the one nearest --size",
       "sizes.anim",
       animated({sizes}),
       {"--size", "44"},
       0,
       {"  cursor  48 x 48    32-bit  24, 24           0  none, PNG  (drawn)\n"},
       0x7F7F7F},  // black at alpha 128 over white
      {"a static cursor renamed .ani",
       "static.ani",
       sizes,
       {},
       0,
       {"static cursor, a .cur file (resource type 2), not an animated cursor: loaders show it "
        "as a cursor of one step\n",
        "defects: none\n"},
       0xFF0000},
      {"a RIFF size that counts its own header",
       "header.anim",
       countsHeader,
       {},
       0,
       {"defects: none\nwarning at 4: RIFF size " + std::to_string(countsHeader.size()) +
        " counts the 8-byte RIFF header too; loaders read the file all the same\n"},
       0x336699},
      {"a sequence flag without a 'seq ' chunk",
       "flag.anim",
       animated({opaque, opaque}, 3),
       {},
       0,
       {"defects: none\nwarning at 52: 'anih' flags 0x3 announce a sequence, but there is no "
        "'seq ' chunk; loaders play the frames in order\n"},
       0},
      {"a 'seq ' chunk without the flag",
       "seq.anim",
       animated({opaque, sizes}, 1, riffChunk("seq ", seq)),
       {},
       0,
       {"steps: 2 (frames from the frame order, times from the header)\n",
        "      1      1       10     167\n",
        "warning at 56: a 'seq ' chunk, but the 'anih' flags 0x1 lack the sequence bit (2); "
        "loaders ignore the chunk and play the frames in order, as drawn here\n"},
       0x336699},
      {"an odd chunk followed by its pad byte",
       "odd.anim",
       odd,
       {},
       0,
       {"defects: none\nwarning at 72: chunk 'icon' has the odd size " +
        std::to_string(opaque.size() + 1) +
        " and is followed by its pad byte, as RIFF wants; Wine 8 keeps only the first frame of "
        "such files\n"},
       0x336699},
      {"a small file that declares a huge PNG",
       "huge.anim",
       animated({huge}),
       {},
       2,
       {"defect at 98: frame of 60000 x 60000 pixels is larger than this tool reads"},
       0},
  };
  for (const auto& c : cases) {
    const std::string file = path(c.name), png = path("sheet.png");
    ASSERT_TRUE(writeFileBytes(file, c.bytes));
    std::vector<std::string> arguments = {file, "--png", png};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    const ProcessResult r = show(arguments);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.what << "\n" << r.output << r.errorOutput;
    for (const std::string& line : c.lines) {
      EXPECT_NE(r.output.find(line), std::string::npos) << c.what << ": " << line << "\n"
                                                        << r.output;
    }
    if (c.drawn == 0) continue;
    const std::string encoded = readFileBytes(png);
    int width = 0, height = 0, channels = 0;
    std::unique_ptr<stbi_uc, void (*)(void*)> picture(
        stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(encoded.data()),
                              static_cast<int>(encoded.size()), &width, &height, &channels, 3),
        stbi_image_free);
    ASSERT_NE(picture, nullptr) << c.what;
    const stbi_uc* p = picture.get() + 3 * (sheet::kMargin * width + sheet::kMargin);
    EXPECT_EQ(uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2], c.drawn) << c.what;
  }
}

}  // namespace
