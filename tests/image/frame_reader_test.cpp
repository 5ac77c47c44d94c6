// What the frame reader accepts, what it refuses, and what it leaves in the
// frame record.
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "frames/frame_setup.h"
#include "image/bitmap_format.h"
#include "image/frame_reader.h"

namespace {

void setLe16(std::string& s, size_t at, uint16_t v) {
  s[at] = static_cast<char>(v);
  s[at + 1] = static_cast<char>(v >> 8);
}

uint32_t blockLe32(const uint8_t* p, size_t at) {
  return static_cast<uint32_t>(p[at]) | static_cast<uint32_t>(p[at + 1]) << 8 |
         static_cast<uint32_t>(p[at + 2]) << 16 | static_cast<uint32_t>(p[at + 3]) << 24;
}

class ReadFrameTest : public FrameTableTest {
 protected:
  // Reads the bytes as frame 1 and tells why it was refused, if it was.
  Failure readWhy(const std::string& bytes) {
    releaseFrameBuffers();
    appState.frameCount = 0;
    files_.clear();
    addFrameFile(bytes, 0, 0);
    const Failure why = readFrame(appState.frameTable[0]);
    EXPECT_EQ(why == Failure::none, appState.frameTable[0].fileData != nullptr);
    return why;
  }
  bool readBytes(const std::string& bytes) { return readWhy(bytes) == Failure::none; }
  FrameRecord& frame() { return appState.frameTable[0]; }
};

std::string good8(int32_t w = 4, int32_t h = 4) {
  return makeBmp(spec8(w, h, greyPalette(256)), solid(w, h, 7));
}

std::string good24(int32_t w = 4, int32_t h = 4) {
  return makeBmp(spec24(w, h), solid(w, h, 0x123456));
}

TEST_F(ReadFrameTest, RefusesWhatTheLaterStepsCannotUse) {
  using R = Failure;
  struct Case {
    const char* what;
    std::string bytes;
    Failure why;
  };
  std::vector<Case> cases;
  cases.push_back({"valid 8-bit", good8(), R::none});
  cases.push_back({"valid 24-bit", good24(), R::none});
  cases.push_back({"11 bytes", good8().substr(0, 11), R::fileSize});
  {
    std::string s = good8();
    s.resize(65536, '\0');
    cases.push_back({"65536 bytes", s, R::fileSize});
    s.resize(65535);
    cases.push_back({"exactly 65535 bytes", s, R::none});
  }
  {
    std::string s = good8();
    s[0] = 'M';
    s[1] = 'B';
    cases.push_back({"starts MB", s, R::notBitmap});
  }
  for (size_t n = 12; n <= 17; ++n) {
    cases.push_back({"BM without room for biSize", good8().substr(0, n), R::notBitmap});
  }
  {
    std::string s = good8();
    setLe32(s, 14 + 16, 1);
    cases.push_back({"8-bit RLE", s, R::compressed});
  }
  for (uint16_t planes : {0, 2}) {
    std::string s = good24();
    setLe16(s, 14 + 12, planes);
    cases.push_back(
        {planes == 0 ? "zero planes" : "two planes", s, planes == 0 ? R::none : R::planes});
  }
  for (uint16_t bits : {1, 4, 16}) {
    BmpLayout sp = spec24(4, 4);
    sp.bitCount = bits;
    if (bits <= 8) sp.palette = greyPalette(1 << bits);
    cases.push_back({"other depth", makeBmp(sp, solid(4, 4, 1)), R::depth});
  }
  {
    // 256 colours need 1024 palette bytes behind the header.
    std::string s = good8(4, 0);
    cases.push_back({"palette complete", s, R::none});
    s.resize(s.size() - 4);
    setLe32(s, 10, static_cast<uint32_t>(s.size()));
    cases.push_back({"palette four bytes short", s, R::paletteOutsideFile});
  }
  for (uint32_t headerSize : {12u, 39u}) {
    std::string s = good24();
    setLe32(s, 14, headerSize);
    cases.push_back({"header shorter than 40 bytes", s, R::headerSize});
  }
  {
    std::string s = good24();
    setLe32(s, 14, static_cast<uint32_t>(s.size()));
    cases.push_back({"header beyond the file", s, R::headerPastEnd});
  }
  {
    BmpLayout sp = spec8(2, 2, greyPalette(257));
    sp.clrUsed = 257;
    cases.push_back({"more than 256 colours", makeBmp(sp, solid(2, 2, 0)), R::paletteTooLarge});
  }
  {
    std::string s = good24();
    setLe32(s, 14 + 4, static_cast<uint32_t>(-4));
    cases.push_back({"negative width", s, R::negativeWidth});
  }
  {
    std::string s = good24(5, 3);
    s.pop_back();
    cases.push_back({"last row one byte short", s, R::rowsOutsideFile});
    BmpLayout sp = spec24(5, 3);
    sp.offBitsOverride = 54 + 2;  // rows start later than the file allows
    std::string late = makeBmp(sp, solid(5, 3, 1));
    late.resize(54 + 16 * 3);
    setLe32(late, 10, 54 + 2);
    cases.push_back({"rows pushed past the end by bfOffBits", late, R::rowsOutsideFile});
    std::string far = good24();
    setLe32(far, 10, 0x7FFFFFF0u);
    cases.push_back({"bfOffBits beyond the file", far, R::rowsOutsideFile});
  }
  {
    std::string s = good24();
    setLe32(s, 14 + 4, 0x7FFFFFFF);
    cases.push_back({"huge width", s, R::rowsOutsideFile});
    std::string t = good24();
    setLe32(t, 14 + 8, 0x80000000u);
    cases.push_back({"most negative height", t, R::rowsOutsideFile});
  }
  cases.push_back({"top-down rows", makeBmp(spec24(4, -4), solid(4, 4, 1)), R::none});
  for (const auto& c : cases) {
    EXPECT_EQ(readWhy(c.bytes), c.why) << c.what;
    if (c.why != R::none) {
      EXPECT_EQ(frame().header, nullptr) << c.what;
    }
  }
  EXPECT_TRUE(takeShownErrors().empty()) << "refusals are silent in the reader";
}

TEST_F(ReadFrameTest, MissingFileLeavesTheRecordEmpty) {
  files_.push_back(path("missing.bmp"));
  appState.frameCount = 0;
  addFramePath(path("missing.bmp"), 4, 4);
  EXPECT_EQ(readFrame(frame()), Failure::cannotOpen);
  EXPECT_EQ(frame().fileData, nullptr);
  EXPECT_EQ(frame().header, nullptr);
  EXPECT_TRUE(takeShownErrors().empty());
}

#ifndef _WIN32
// Another program changes the frame between the moment its size is taken and
// the read (the reader's hook stands for it, so no timing is involved): the
// size and change time taken again after the read tell, and the build then
// stops at that frame. Windows lets nobody change a file while the reader
// holds it open, which it shares for reading only.
TEST_F(ReadFrameTest, AFrameThatChangesWhileItIsReadIsRefused) {
  namespace fs = std::filesystem;
  using R = Failure;
  struct Case {
    const char* what;
    FrameReadHook change;
    Failure why;
  } cases[] = {
      {"left alone", [](const char*) {}, R::none},
      // A later write time at the same size, as a rewrite in place leaves it.
      {"given a later write time",
       [](const char* p) {
         fs::last_write_time(p, fs::last_write_time(p) + std::chrono::hours(1));
       },
       R::changedWhileRead},
      {"grown by a byte", [](const char* p) { std::ofstream(p, std::ios::app) << 'x'; },
       R::changedWhileRead},
      {"cut short", [](const char* p) { fs::resize_file(p, 20); }, R::readFailed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const FrameReadHook previous = setFrameReadHook(c.change);
    EXPECT_EQ(readWhy(good24()), c.why);
    releaseFrameBuffers();
    appState.frameCount = 0;
    files_.clear();
    addBmp(spec24(4, 4), solid(4, 4, 0x123456));
    addBmp(spec24(4, 4), solid(4, 4, 0x654321));
    const bool built = buildAndRelease(path("out.anim"));
    setFrameReadHook(previous);
    EXPECT_EQ(built, c.why == R::none);
    std::vector<ShownError> shown;
    if (c.why != R::none) shown.push_back({"Can't load file", files_[0]});
    EXPECT_EQ(takeShownErrors(), shown);
  }
}
#endif

TEST_F(ReadFrameTest, CopiesHeaderAndPaletteAndPointsAtTheRows) {
  BmpLayout sp = spec8(3, 2, greyPalette(16));
  sp.gapAfterPalette = 10;
  const std::string bytes = makeBmp(sp, solid(3, 2, 5));
  ASSERT_TRUE(readBytes(bytes));
  const FrameRecord& f = frame();
  EXPECT_EQ(f.pixels, f.fileData + le32(bytes, 10));
  EXPECT_EQ(f.pixels[0], 5);
  EXPECT_EQ(f.palette, f.header + 40);
  EXPECT_EQ(blockLe32(f.header, 32), 16u) << "biClrUsed stays as written";
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(blockLe32(f.palette, 4 * static_cast<size_t>(i)), i < 16 ? sp.palette[i] : 0u)
        << "entry " << i;
  }
  EXPECT_EQ(std::memcmp(f.fileData, bytes.data(), bytes.size()), 0);
  EXPECT_EQ(headerBitCount(frame().header), 8);
}

TEST_F(ReadFrameTest, TwentyFourBitFileGetsTwoHundredFiftySixColoursAndNoPalette) {
  BmpLayout sp = spec24(4, 4);
  sp.palette = greyPalette(3);  // present but never read
  ASSERT_TRUE(readBytes(makeBmp(sp, solid(4, 4, 1))));
  EXPECT_EQ(blockLe32(frame().header, 32), 256u);
  for (size_t i = 0; i < 1024; ++i) ASSERT_EQ(frame().palette[i], 0) << i;
  EXPECT_EQ(headerBitCount(frame().header), 24);
}

TEST_F(ReadFrameTest, LongerHeadersKeepTheirFirstFortyBytesAndThePaletteBehindThem) {
  for (uint32_t headerSize : {108u, 124u}) {
    BmpLayout sp = spec8(2, 2, greyPalette(4));
    sp.headerSize = headerSize;
    const std::string bytes = makeBmp(sp, solid(2, 2, 3));
    ASSERT_TRUE(readBytes(bytes)) << headerSize;
    const uint8_t* h = frame().header;
    EXPECT_EQ(blockLe32(h, 0), 40u) << "the kept header is a 40-byte one";
    EXPECT_EQ(blockLe32(h, 4), 2u);
    EXPECT_EQ(blockLe32(h, 8), 2u);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(blockLe32(frame().palette, 4 * i), sp.palette[i]);
    EXPECT_EQ(blockLe32(frame().palette, 16), 0u);
  }
}

TEST_F(ReadFrameTest, EachFrameReadCarriesItsOwnDepth) {
  ASSERT_TRUE(readBytes(good8()));
  ASSERT_TRUE(readBytes(good24()));
  EXPECT_EQ(headerBitCount(frame().header), 24);
  ASSERT_TRUE(readBytes(good8()));
  EXPECT_EQ(headerBitCount(frame().header), 8);
}

TEST_F(ReadFrameTest, OutOfMemoryIsShownForTheFileAndForTheHeaderBlock) {
  const std::string bytes = good8();
  struct Case {
    uint64_t refusedSize;
  } cases[] = {{bytes.size()}, {kHeaderBlockSize}};
  for (const auto& c : cases) {
    static uint64_t refused;
    refused = c.refusedSize;
    setAllocGate([](uint64_t n) { return n != refused; });
    EXPECT_FALSE(readBytes(bytes)) << c.refusedSize;
    setAllocGate(nullptr);
    EXPECT_EQ(frame().header, nullptr);
    const std::vector<ShownError> expected = {{"Error", "Out of memory"}};
    EXPECT_EQ(takeShownErrors(), expected) << c.refusedSize;
  }
}

}  // namespace
