// Whole builds through buildAnimation: the written file read back, every
// message box, and the output file's fate when a build fails.
#include <algorithm>
#include <filesystem>
#include <set>
#include <string>

#include "frame_setup.h"
#include "image/pixels.h"
#include "image/png_file.h"

#ifndef _WIN32
#include <sys/resource.h>

#include <csignal>
#endif

namespace {

constexpr uint32_t kBack = 0x00FF00FF, kInk = 0x00204060, kRed = 0x00FF0000;

class BuildTest : public FrameTableTest {
 protected:
  std::string out() const { return path("out.anim"); }
  void setTransparent(std::initializer_list<uint32_t> dib) {
    int i = 0;
    for (uint32_t c : dib) appState.transColors[i++] = swapRedBlue(c);
    appState.transCount = i;
  }
  void setPairs(std::initializer_list<uint32_t> dib) {
    int i = 0;
    for (uint32_t c : dib) appState.replaceColors[i++] = swapRedBlue(c);
    appState.replaceCount = i;
  }
  void addThree24BitFrames() {
    addBmp(spec24(4, 4), solid(4, 4, kInk));
    addBmp(spec24(4, 4), solid(4, 4, kInk));
    addBmp(spec24(2, 2), solid(2, 2, kInk));
  }
  // A PNG frame with content inside a transparent border, so that the crop
  // has work, then frames of 24 and 8 bits that become 32-bit.
  void addAlphaFrames() {
    appState.optOptimize = 1;
    const std::string png = path("frame0.png");
    std::vector<uint8_t> rgba(4 * 4 * 3, 0);
    const uint8_t inside[] = {0x20, 0x40, 0x60, 0xFF, 0xFF, 0x00, 0x00, 0x80};
    std::copy(std::begin(inside), std::end(inside), rgba.begin() + 4 * 5);
    ASSERT_TRUE(writePngFile(png.c_str(), rgba, 4, 3, 4));
    addFramePath(png, 4, 3);
    addBmp(spec24(3, 3), solid(3, 3, kInk));
    addBmp(spec8(2, 2, {kInk, kBack}), {0, 1, 1, 0});
  }
  // Files left in the test directory besides the frames and the output.
  std::vector<std::string> strayFiles() {
    std::vector<std::string> stray;
    for (const auto& e : std::filesystem::directory_iterator(dir_)) {
      const std::string name = e.path().filename().string();
      if (name.rfind("frame", 0) != 0 && name != "out.anim") stray.push_back(name);
    }
    return stray;
  }
};

TEST_F(BuildTest, ThirtyTwoSquareEightBitFrameHasTheDocumentedSizes) {
  addBmp(spec8(32, 32, greyPalette(256)), solid(32, 32, 9));
  ASSERT_TRUE(buildAndRelease(out()));
  EXPECT_TRUE(takeShownErrors().empty());
  const std::string bytes = readFileBytes(out());
  EXPECT_EQ(bytes.size(), 2314u);
  const ParsedAni ani = parseFile(out());
  EXPECT_EQ(ani.riffSize, 2306u);
  EXPECT_EQ(ani.listSize, 2250u);
  ASSERT_EQ(ani.icons.size(), 1u);
  const ParsedIcon& icon = ani.icons[0];
  EXPECT_EQ(icon.chunkSize, 2238u);
  EXPECT_EQ(icon.bytesInResource, 2216u);
  EXPECT_EQ(icon.entryWidth, 32);
  EXPECT_EQ(icon.entryHeight, 32);
  EXPECT_EQ(icon.biHeight, 64);
  EXPECT_EQ(icon.colourRows.size(), 1024u);
  EXPECT_EQ(icon.maskRows.size(), 128u);
  EXPECT_FALSE(icon.padded);
  EXPECT_EQ(ani.chunkOrder, (std::vector<std::string>{"anih", "LIST"}));
  EXPECT_EQ(ani.frames, 1u);
  EXPECT_EQ(ani.steps, 1u);
  EXPECT_EQ(ani.displayRate, 10u);
  EXPECT_EQ(ani.flags, 1u);
  EXPECT_EQ(icon.colourAt(5, 5), greyPalette(256)[9]);
}

TEST_F(BuildTest, NoFramesGiveTheSixtyEightByteFile) {
  ASSERT_TRUE(buildAndRelease(out()));
  // No frames and no steps: well formed, but no loader takes it.
  const ParsedAni ani = parseFile(out(), 2);
  EXPECT_EQ(ani.defectOffsets, (std::vector<uint64_t>{24, 28}));
  EXPECT_EQ(ani.fileLength, 68u);
  EXPECT_EQ(ani.riffSize, 60u);
  EXPECT_EQ(ani.frames, 0u);
  EXPECT_EQ(ani.steps, 0u);
  EXPECT_EQ(ani.listSize, 4u);
}

TEST_F(BuildTest, TwentyFourBitWidthsThatAreNotMultiplesOfFourKeepTheirPixels) {
  struct Case {
    const char* what;
    bool optimize;
    int32_t w, h;
    int32_t expectW, expectH;
  } cases[] = {
      {"5x3 copied", false, 5, 3, 5, 3},
      {"7x2 copied", false, 7, 2, 7, 2},
      // The ink spans columns 1 to 5 (or 4); widened to 0 .. 7.
      {"6x4 cropped to its ink", true, 6, 4, 8, 3},
      {"5x3 cropped to its ink", true, 5, 3, 8, 2},
  };
  for (const auto& c : cases) {
    SetUp();
    appState.optOptimize = c.optimize;
    appState.optTransparent = 1;
    setTransparent({kBack});
    // Every pixel a colour of its own, with a transparent border on the left
    // and at the top, so that the crop has something to trim.
    std::vector<uint32_t> px(static_cast<size_t>(c.w) * c.h);
    for (int32_t y = 0; y < c.h; ++y)
      for (int32_t x = 0; x < c.w; ++x)
        px[static_cast<size_t>(y) * c.w + x] =
            (x == 0 || y == 0) ? kBack : static_cast<uint32_t>(0x010203 * (1 + x + 10 * y));
    addBmp(spec24(c.w, c.h), px);
    ASSERT_TRUE(buildAndRelease(out())) << c.what;
    const ParsedAni ani = parseFile(out());
    ASSERT_EQ(ani.icons.size(), 1u);
    const ParsedIcon& icon = ani.icons[0];
    ASSERT_EQ(icon.width(), c.expectW) << c.what;
    ASSERT_EQ(icon.height(), c.expectH) << c.what;
    // The crop's rectangle starts at column 0 (widened) and row 1.
    const int32_t dx = 0, dy = c.optimize ? 1 : 0;
    for (int32_t y = 0; y < icon.height(); ++y) {
      for (int32_t x = 0; x < icon.width(); ++x) {
        const int32_t sx = x + dx, sy = y + dy;
        const bool inSource = sx < c.w && sy < c.h;
        const uint32_t src = inSource ? px[static_cast<size_t>(sy) * c.w + sx] : 0;
        const bool transparent = inSource && src == kBack;
        EXPECT_EQ(icon.colourAt(x, y), transparent ? 0u : src) << c.what << " " << x << "," << y;
        EXPECT_EQ(icon.maskAt(x, y), transparent) << c.what << " " << x << "," << y;
      }
    }
    TearDown();
  }
}

TEST_F(BuildTest, TwentyFourBitReplacementAndMergeAsWritten) {
  constexpr uint32_t X = 0x00112233, Y = 0x00445566, Z = 0x00778899;
  struct Case {
    const char* what;
    std::initializer_list<uint32_t> pairs;
    bool merge;
    bool blackIsTransparent;
    // Frame 1 is 5 x 2 of X, Y, Z in turn (and black last); frame 2, 6 x 1
    // of Y and kBack, is merged onto it when asked. Rows top to bottom.
    std::vector<uint32_t> first, second;
  } cases[] = {
      // clang-format off
      {"X->Y then X->Z: the last wins", {X, Y, X, Z}, false, false,
       {Z, Y, Z, Z, Y, Z, Z, Y, Z, 0}, {Y, kBack, Y, kBack, Y, kBack}},
      {"X->Y then Y->Z: no chain", {X, Y, Y, Z}, false, false,
       {Y, Z, Z, Y, Z, Z, Y, Z, Z, 0}, {Z, kBack, Z, kBack, Z, kBack}},
      {"odd count: the last entry is unused", {X, Y, Z}, false, false,
       {Y, Y, Z, Y, Y, Z, Y, Y, Z, 0}, {Y, kBack, Y, kBack, Y, kBack}},
      {"from-colour with a top byte matches nothing", {X | 0x01000000u, Y}, false, false,
       {X, Y, Z, X, Y, Z, X, Y, Z, 0}, {Y, kBack, Y, kBack, Y, kBack}},
      {"to-colour's top byte is not stored", {X, Y | 0xFF000000u}, false, false,
       {Y, Y, Z, Y, Y, Z, Y, Y, Z, 0}, {Y, kBack, Y, kBack, Y, kBack}},
      // Merged, frame 2 takes frame 1's size: its transparent pixels and,
      // when black is transparent, the row it does not have show frame 1.
      {"merge, black opaque", {}, true, false,
       {X, Y, Z, X, Y, Z, X, Y, Z, 0}, {Y, Y, Y, X, Y, 0, 0, 0, 0, 0}},
      {"merge, black transparent", {}, true, true,
       {X, Y, Z, X, Y, Z, X, Y, Z, 0}, {Y, Y, Y, X, Y, Z, X, Y, Z, 0}},
      // clang-format on
  };
  for (const auto& c : cases) {
    SetUp();
    appState.optReplace = 1;
    appState.optMerge = c.merge ? 1 : 0;
    setPairs(c.pairs);
    // Listed, not switched on: the merge reads the list, the masks do not.
    if (c.blackIsTransparent) {
      setTransparent({kBack, 0});
    } else {
      setTransparent({kBack});
    }
    addBmp(spec24(5, 2), {X, Y, Z, X, Y, Z, X, Y, Z, 0});
    addBmp(spec24(6, 1), {Y, kBack, Y, kBack, Y, kBack});
    ASSERT_TRUE(buildAndRelease(out())) << c.what;
    const ParsedAni ani = parseFile(out());
    ASSERT_EQ(ani.icons.size(), 2u) << c.what;
    const std::vector<uint32_t>* expect[] = {&c.first, &c.second};
    for (size_t k = 0; k < 2; ++k) {
      const ParsedIcon& icon = ani.icons[k];
      const int32_t w = k == 0 || c.merge ? 5 : 6;
      const int32_t h = k == 0 || c.merge ? 2 : 1;
      ASSERT_EQ(icon.width(), w) << c.what << " frame " << k;
      ASSERT_EQ(icon.height(), h) << c.what << " frame " << k;
      for (int32_t i = 0; i < w * h; ++i) {
        EXPECT_EQ(icon.colourAt(i % w, i / w), (*expect[k])[static_cast<size_t>(i)])
            << c.what << " frame " << k << " pixel " << i;
      }
    }
    TearDown();
  }
}

TEST_F(BuildTest, EightBitPaletteFiltersTransparentFirstThenTheFirstMatchingPair) {
  struct Case {
    const char* what;
    std::initializer_list<uint32_t> trans;
    std::initializer_list<uint32_t> pairs;
    uint32_t expected;  // what entry 1 (kBack) becomes
  } cases[] = {
      {"transparent only", {kBack}, {}, 0},
      {"black to red after transparent", {kBack}, {0, kRed}, kRed},
      {"first pair wins", {}, {kBack, kRed, kBack, kInk}, kRed},
      {"no chaining", {}, {kBack, kInk, kInk, kRed}, kInk},
  };
  for (const auto& c : cases) {
    SetUp();
    appState.optTransparent = 1;
    appState.optReplace = 1;
    setTransparent(c.trans);
    setPairs(c.pairs);
    addBmp(spec8(4, 2, {0x00010101, kBack}), {0, 1, 1, 0, 1, 1, 0, 0});
    ASSERT_TRUE(buildAndRelease(out())) << c.what;
    const ParsedAni ani = parseFile(out());
    ASSERT_EQ(ani.icons.size(), 1u);
    const ParsedIcon& icon = ani.icons[0];
    EXPECT_EQ(icon.palette[1], c.expected) << c.what;
    EXPECT_EQ(icon.indexAt(1, 0), 1) << "pixels keep their index";
    EXPECT_EQ(icon.maskAt(1, 0), c.trans.size() != 0) << c.what;
    EXPECT_EQ(icon.maskAt(0, 0), false) << c.what;
    TearDown();
  }
}

TEST_F(BuildTest, ReplacementOnEightBitFramesShowsOnlyInThePalette) {
  appState.optReplace = 1;
  setPairs({kInk, kRed});
  addBmp(spec8(2, 2, {kInk, kBack}), {0, 1, 1, 0});
  ASSERT_TRUE(buildAndRelease(out()));
  const ParsedIcon icon = parseFile(out()).icons.at(0);
  EXPECT_EQ(icon.indexAt(0, 0), 0);
  EXPECT_EQ(icon.palette[0], kRed);
}

TEST_F(BuildTest, MergeAndMaskWorkOnTheMergedPixels) {
  appState.optMerge = 1;
  appState.optTransparent = 1;
  appState.optReplace = 1;
  setTransparent({kBack});
  // Replacement runs before the merge: frame 1's ink turns red and shows red
  // through frame 2's transparent pixels; frame 2's replaced colour becomes
  // transparent and takes frame 1's.
  setPairs({kInk, kRed, 0x00010203, kBack});
  addBmp(spec24(3, 1), {kInk, kBack, kInk});
  addBmp(spec24(3, 1), {kBack, 0x00010203, 0x00777777});
  ASSERT_TRUE(buildAndRelease(out()));
  const ParsedAni ani = parseFile(out());
  ASSERT_EQ(ani.icons.size(), 2u);
  const uint32_t f1[] = {kRed, 0, kRed};
  const bool m1[] = {false, true, false};
  const uint32_t f2[] = {kRed, 0, 0x00777777};
  const bool m2[] = {false, true, false};
  for (int x = 0; x < 3; ++x) {
    EXPECT_EQ(ani.icons[0].colourAt(x, 0), f1[x]) << x;
    EXPECT_EQ(ani.icons[0].maskAt(x, 0), m1[x]) << x;
    EXPECT_EQ(ani.icons[1].colourAt(x, 0), f2[x]) << x;
    EXPECT_EQ(ani.icons[1].maskAt(x, 0), m2[x]) << x;
  }
}

TEST_F(BuildTest, EveryRefusedFrameStopsTheBuildWithItsMessage) {
  struct Case {
    const char* what;
    int failing;  // 0-based frame that stops the build
    const char* caption;
  };
  const std::string ok24 = makeBmp(spec24(4, 4), solid(4, 4, kInk));
  const std::string ok8 = makeBmp(spec8(4, 4, greyPalette(4)), solid(4, 4, 1));
  const Case cases[] = {
      {"missing file", 2, "Can't load file"},
      {"not a bitmap", 2, "Can't load file"},
      {"8-bit after 24-bit", 1, "Mixed color depths"},
      {"preview size differs from the file", 3, "Can't load file"},
      // Checked with the others, then rewritten before its turn to be written.
      {"changed between its reads", 2, "Can't load file"},
  };
  // Rewrites that frame with other pixels while the next one is read:
  // after its own reading, before its turn to be written.
  static std::string rewritten, next;
  rewritten.clear();
  next.clear();
  const FrameReadHook previous = setFrameReadHook([](const char* p) {
    if (next == p && !rewritten.empty()) {
      writeFileBytes(rewritten, makeBmp(spec24(4, 4), solid(4, 4, kRed)));
      rewritten.clear();
    }
  });
  for (const auto& c : cases) {
    SetUp();
    const std::string existing = "the user's previous animation";
    ASSERT_TRUE(writeFileBytes(out(), existing));
    for (int k = 0; k < 5; ++k) {
      if (k != c.failing) {
        addFrameFile(ok24, 4, 4);
        continue;
      }
      const std::string what = c.what;
      if (what == "missing file") {
        addFramePath(path("gone.bmp"), 4, 4);
      } else if (what == "not a bitmap") {
        addFrameFile(std::string(100, 'x'), 4, 4);
      } else if (what == "8-bit after 24-bit") {
        addFrameFile(ok8, 4, 4);
      } else if (what == "changed between its reads") {
        rewritten = addFrameFile(ok24, 4, 4);
        next = path("frame" + std::to_string(k + 1) + ".bmp");
      } else {
        addFrameFile(ok24, 4, 5);
      }
    }
    const std::string failingPath = appState.frameTable[c.failing].path;
    EXPECT_FALSE(buildAnimation(out().c_str())) << c.what;
    const std::vector<ShownError> expected = {{c.caption, failingPath}};
    EXPECT_EQ(takeShownErrors(), expected) << c.what;
    for (int k = c.failing + 1; k < 5; ++k) {
      EXPECT_EQ(appState.frameTable[k].fileData, nullptr) << c.what << ": frame " << k;
    }
    releaseFrameBuffers();
    for (int k = 0; k < 5; ++k) {
      const FrameRecord& f = appState.frameTable[k];
      EXPECT_TRUE(f.path == nullptr && f.fileData == nullptr && f.header == nullptr &&
                  f.maskBits == nullptr && f.workPixels == nullptr)
          << c.what << ": frame " << k << " keeps a buffer";
    }
    EXPECT_EQ(readFileBytes(out()), existing) << c.what;
    EXPECT_TRUE(strayFiles().empty()) << c.what;
    TearDown();
  }
  setFrameReadHook(previous);
}

TEST_F(BuildTest, OutOfMemoryInAnyStepStopsBeforeTheFileIsWritten) {
  // Every allocation a build makes is refused in turn, so a new allocation
  // cannot slip past the sweep.
  AnimationOptions sized;
  sized.sizeCount = 2;
  sized.sizes[0] = 8;
  sized.sizes[1] = 2;
  struct Case {
    const char* what;
    bool alpha;  // the frames: those of addAlphaFrames, else of addThree24BitFrames
    const AnimationOptions* options;
    std::set<std::string> secondCaptions;  // what follows the memory box
  };
  const Case cases[] = {
      // The build reads, copies, merges and masks. Reading names the frame,
      // the mask names the frame, copy and merge show the memory box alone.
      {"three 24-bit frames, the third smaller, with replacement and merge",
       false,
       nullptr,
       {"Can't load file", "Can't make mask"}},
      // Promoted, settled, measured, cropped, merged, masked and sized.
      {"alpha, 24-bit and 8-bit frames with every step and two sizes",
       true,
       &sized,
       {"Can't load file"}},
  };
  static int calls, refused;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto prepare = [&] {
      SetUp();
      appState.optReplace = 1;
      appState.optMerge = 1;
      setPairs({kInk, kRed});
      if (c.alpha) {
        addAlphaFrames();
      } else {
        addThree24BitFrames();
      }
    };
    calls = 0;
    refused = -1;
    setAllocGate([](uint64_t) { return calls++ != refused; });
    prepare();
    calls = 0;
    ASSERT_TRUE(buildAnimation(out().c_str(), PreviewSize::kept, c.options));
    const int total = calls;
    TearDown();
    ASSERT_GT(total, 6) << "files, headers, copies, merge and masks";

    std::set<std::string> secondCaptions;
    int onlyOutOfMemory = 0;
    for (refused = 0; refused < total; ++refused) {
      prepare();
      setAllocGate([](uint64_t) { return calls++ != refused; });
      calls = 0;
      EXPECT_FALSE(buildAnimation(out().c_str(), PreviewSize::kept, c.options))
          << "allocation " << refused;
      std::vector<ShownError> shown = takeShownErrors();
      ASSERT_FALSE(shown.empty()) << "allocation " << refused;
      EXPECT_EQ(shown[0], (ShownError{"Error", "Out of memory"})) << "allocation " << refused;
      if (shown.size() == 1) ++onlyOutOfMemory;
      for (size_t e = 1; e < shown.size(); ++e) {
        secondCaptions.insert(shown[e].caption);
        EXPECT_NE(std::find(files_.begin(), files_.end(), shown[e].text), files_.end())
            << "allocation " << refused << " names no frame";
      }
      EXPECT_LE(shown.size(), 2u) << "allocation " << refused;
      EXPECT_FALSE(fileExists(out())) << "allocation " << refused;
      EXPECT_TRUE(strayFiles().empty()) << "allocation " << refused;
      releaseFrameBuffers();
      for (const FrameRecord& f : appState.frameTable) {
        EXPECT_TRUE(f.fileData == nullptr && f.header == nullptr && f.maskBits == nullptr &&
                    f.workPixels == nullptr)
            << "allocation " << refused << " leaves a buffer";
      }
      TearDown();
    }
    EXPECT_EQ(secondCaptions, c.secondCaptions);
    EXPECT_GT(onlyOutOfMemory, 0);
  }
}

TEST_F(BuildTest, FileBeyondTheRiffSizesIsRefusedBeforeAllocating) {
  // 16000 x 2 and 2 x 8000 8-bit frames fit 65535 bytes each, but cropped to
  // their common 16000 x 8000 rectangle, 40 of them would need 5 GB.
  appState.optOptimize = 1;
  const std::string wide = makeBmp(spec8(16000, 2, greyPalette(2)), solid(16000, 2, 1));
  const std::string tall = makeBmp(spec8(2, 8000, greyPalette(2)), solid(2, 8000, 1));
  for (int k = 0; k < 40; ++k) {
    if (k % 2 == 0) {
      addFrameFile(wide, 16000, 2);
    } else {
      addFrameFile(tall, 2, 8000);
    }
  }
  static uint64_t largest;
  largest = 0;
  setAllocGate([](uint64_t n) {
    largest = std::max(largest, n);
    return true;
  });
  EXPECT_FALSE(buildAnimation(out().c_str()));
  setAllocGate(nullptr);
  EXPECT_LT(largest, uint64_t{65536});
  // Not a memory shortage: the file would pass the limits of a build.
  const std::vector<ShownError> expected = {{"Can't write file", out()}};
  EXPECT_EQ(takeShownErrors(), expected);
  EXPECT_FALSE(fileExists(out()));
}

TEST_F(BuildTest, FramesWithoutColumnsOrRowsStopTheBuildAtOnce) {
  // Zero-width rows take no bytes, so the file may claim any number of them;
  // a frame without pixels would give a cursor that nothing can show.
  for (int32_t rows : {1 << 30, 1, 0}) {
    for (int32_t columns : {0, 1}) {
      if (columns == 1 && rows != 0) continue;
      SetUp();
      appState.optMerge = 1;
      appState.optReplace = 1;
      appState.optTransparent = 1;
      setTransparent({kBack});
      setPairs({kInk, kRed});
      addBmp(spec24(4, 4), solid(4, 4, kInk));
      std::string bytes = makeBmp(spec24(columns, 1), std::vector<uint32_t>(columns, kInk));
      for (int i = 0; i < 4; ++i) bytes[22 + i] = static_cast<char>(rows >> (8 * i));
      const std::string empty = addFrameFile(bytes, columns, rows);
      EXPECT_FALSE(buildAndRelease(out())) << columns << " x " << rows;
      EXPECT_EQ(takeShownErrors(), (std::vector<ShownError>{{"Can't load file", empty}}));
      EXPECT_FALSE(fileExists(out()));
      TearDown();
    }
  }
}

TEST_F(BuildTest, OutputThatCannotBeCreatedOrMovedIsReported) {
  addBmp(spec24(4, 4), solid(4, 4, kInk));
  const std::string noDir = path("no-such-dir/out.anim");
  EXPECT_FALSE(buildAndRelease(noDir));
  EXPECT_EQ(takeShownErrors(), (std::vector<ShownError>{{"Can't write file", noDir}}));

  // A directory stands where the file should go: the move fails.
  const std::string blocked = path("blocked");
  std::filesystem::create_directory(blocked);
  refillPaths();
  EXPECT_FALSE(buildAndRelease(blocked));
  EXPECT_EQ(takeShownErrors(), (std::vector<ShownError>{{"Can't write file", blocked}}));
  EXPECT_TRUE(std::filesystem::is_directory(blocked));
  EXPECT_TRUE(std::filesystem::is_empty(blocked));
  EXPECT_EQ(strayFiles(), (std::vector<std::string>{"blocked"}));
}

TEST_F(BuildTest, UnrelatedFileWithTheTemporaryNameIsNotTouched) {
  addBmp(spec24(4, 4), solid(4, 4, kInk));
  const std::string squatter = out() + ".~kinetor0.tmp";
  ASSERT_TRUE(writeFileBytes(squatter, "someone else's"));
  ASSERT_TRUE(buildAndRelease(out()));
  EXPECT_EQ(readFileBytes(squatter), "someone else's");
  EXPECT_EQ(parseFile(out()).icons.size(), 1u);
}

#ifndef _WIN32
TEST_F(BuildTest, WriteFailureLeavesTheExistingFileAndNoTemporaryFile) {
  // A file size limit makes the writes fail part-way.
  addBmp(spec24(40, 40), solid(40, 40, kInk));
  ASSERT_TRUE(writeFileBytes(out(), "keep me"));
  struct sigaction ignore {
  }, old{};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGXFSZ, &ignore, &old);
  rlimit before{};
  getrlimit(RLIMIT_FSIZE, &before);
  rlimit small = before;
  small.rlim_cur = 1000;
  setrlimit(RLIMIT_FSIZE, &small);
  const bool ok = buildAndRelease(out());
  setrlimit(RLIMIT_FSIZE, &before);
  sigaction(SIGXFSZ, &old, nullptr);
  EXPECT_FALSE(ok);
  EXPECT_EQ(takeShownErrors(), (std::vector<ShownError>{{"Can't write file", out()}}));
  EXPECT_EQ(readFileBytes(out()), "keep me");
  EXPECT_TRUE(strayFiles().empty());
}
#endif

TEST_F(BuildTest, TwoBuildsInARowGiveIdenticalFilesAndEmptyBuildFields) {
  appState.optOptimize = 1;
  appState.optTransparent = 1;
  appState.optMerge = 1;
  setTransparent({kBack});
  std::vector<uint32_t> px = solid(9, 7, kBack);
  for (int32_t i = 10; i < 40; i += 3) px[i] = kInk;
  addBmp(spec24(9, 7), px);
  addBmp(spec24(9, 7), solid(9, 7, kRed));
  ASSERT_TRUE(buildAndRelease(out()));
  const std::string first = readFileBytes(out());
  for (int k = 0; k < 2; ++k) {
    const FrameRecord& f = appState.frameTable[k];
    EXPECT_TRUE(f.path == nullptr && f.fileData == nullptr && f.header == nullptr &&
                f.maskBits == nullptr && f.workPixels == nullptr && f.pixels == nullptr &&
                f.palette == nullptr);
  }
  refillPaths();
  ASSERT_TRUE(buildAndRelease(out()));
  EXPECT_EQ(readFileBytes(out()), first);
  // The header of the written frames carries twice the cropped height.
  const ParsedAni ani = parseFile(out());
  EXPECT_EQ(ani.icons[0].biHeight, 2 * ani.icons[0].height());
}

TEST_F(BuildTest, BuildAfterAStoppedOneStartsAfresh) {
  const std::string frame = makeBmp(spec24(4, 4), solid(4, 4, kInk));
  for (int k = 0; k < 5; ++k) addFrameFile(frame, 4, 4);
  std::filesystem::rename(files_[2], path("away.bmp"));
  EXPECT_FALSE(buildAndRelease(out()));
  EXPECT_EQ(takeShownErrors(), (std::vector<ShownError>{{"Can't load file", files_[2]}}));
  EXPECT_FALSE(fileExists(out()));
  std::filesystem::rename(path("away.bmp"), files_[2]);
  refillPaths();
  EXPECT_TRUE(buildAndRelease(out()));
  EXPECT_TRUE(takeShownErrors().empty());
  EXPECT_EQ(parseFile(out()).icons.size(), 5u);
}

}  // namespace
