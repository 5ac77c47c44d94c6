// kinetor-show through its real binary: the example reads back without a
// defect, and each planted defect is reported at the byte where it lies.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "show/example_cursor.h"
#include "support/bmp_writer.h"

namespace {

void append32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>(v >> (8 * i)));
}

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
    const char* says;
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
  };
  for (const auto& c : cases) {
    std::string bytes = base;
    c.plant(bytes);
    const std::string file = path("planted.anim");
    ASSERT_TRUE(writeFileBytes(file, bytes));
    const ProcessResult r = show({file});
    EXPECT_EQ(r.exitCode, c.exitCode) << c.what << "\n" << r.output << r.errorOutput;
    EXPECT_EQ(defectOffsets(r.output), c.offsets) << c.what << "\n" << r.output;
    EXPECT_NE(r.output.find(c.says), std::string::npos) << c.what << "\n" << r.output;
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
  EXPECT_NE(usage.errorOutput.find("usage: kinetor-show FILE [--png OUT.png]"), std::string::npos);
  EXPECT_EQ(show({path("missing.anim")}).exitCode, 2);
}

}  // namespace
