// The batch mode: the real program run on generated build scripts and frames,
// its output parsed back with a reader of the cursor format written here; and
// runBatchScript called in this process where a message box would block the
// real program.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ani/ani_reader.h"
#include "app/batch.h"
#include "base/temp_name.h"
#include "support/bmp_writer.h"
#include "support/process.h"
#include "support/recorder.h"
#include "support/riff_reader.h"
#include "ui/build_table.h"
#include "ui/preview.h"
#include "ui/state.h"

namespace fs = std::filesystem;

namespace {

// ---- Written cursors, read back by the tests' own parser -------------------

struct Cursor {
  bool valid = false;
  std::string problem;
  uint32_t frameCount = 0;
  uint32_t displayRate = 0;
  std::vector<ParsedIcon> frames;

  // 24-bit colour of (x, y), y from the top, in 0x00RRGGBB.
  uint32_t pixel(size_t frame, int32_t x, int32_t y) const { return frames[frame].colourAt(x, y); }
  bool maskBit(size_t frame, int32_t x, int32_t y) const { return frames[frame].maskAt(x, y); }
};

Cursor parseCursor(const std::string& bytes) {
  Cursor c;
  ParsedAni ani;
  c.valid = parseAni(bytes, ani, c.problem);
  c.frameCount = ani.frames;
  c.displayRate = ani.displayRate;
  c.frames = std::move(ani.icons);
  return c;
}

// ---- Scripts, frames and program copies ------------------------------------

std::string crlfLines(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& l : lines) out += l + "\r\n";
  return out;
}

// Frames of 8 x 8 pixels, 24 bits, magenta around a square whose colour
// and place tell the frames apart.
std::string frameBmp(int index) {
  BmpLayout layout;
  layout.width = 8;
  layout.height = 8;
  std::vector<uint32_t> px(64, 0xFF00FF);
  const uint32_t colour = 0x102030u * static_cast<uint32_t>(index % 7 + 1);
  const int32_t left = index % 4;
  for (int32_t y = 2; y < 6; ++y)
    for (int32_t x = left; x < left + 4; ++x) px[static_cast<size_t>(y) * 8 + x] = colour;
  return makeBmp(layout, px);
}

class BatchTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    frames_ = new std::vector<std::string>();
    dir_ = new std::string(makeTempDir());
    for (int i = 0; i < 4; ++i) {
      std::string path = *dir_ + "/frame" + std::to_string(i) + ".bmp";
      ASSERT_TRUE(writeFileBytes(path, frameBmp(i)));
      frames_->push_back(path);
    }
    // A copy of the program in a directory of its own, where no settings file
    // of anybody else can change what it builds.
    plainExe_ = new std::string(copyProgramInto(makeTempDir()));
#ifdef __linux__
    // Nor the user's own settings: the children look in an empty folder.
    setenv("XDG_CONFIG_HOME", makeTempDir().c_str(), 1);
#endif
  }
  static void TearDownTestSuite() {
    delete frames_;
    delete dir_;
    delete plainExe_;
  }
  void SetUp() override {
    resetAppState();
    takeShownErrors();
  }

  static std::string copyProgramInto(const std::string& dir) {
    std::string source = KINETOR_EXE;
#ifdef _WIN32
    if (!source.empty() && source[0] == '/') source = "Z:" + source;
#endif
    fs::path target = fs::path(dir) / fs::path(source).filename();
    fs::copy_file(source, target, fs::copy_options::overwrite_existing);
    return target.string();
  }

  std::string writeScript(const std::string& text) {
    std::string path = *dir_ + "/script" + std::to_string(counter_++) + ".txt";
    EXPECT_TRUE(writeFileBytes(path, text));
    return path;
  }
  std::string output(const std::string& name) { return *dir_ + "/" + name; }

  // A copy of the program whose settings make magenta transparent and trim
  // it: the four frames then share the crop (0, 2, 7, 5), 8 x 4 pixels.
  static const std::string& croppingExe() {
    static const std::string exe = [] {
      const std::string dir = makeTempDir();
      EXPECT_TRUE(writeFileBytes(dir + "/kinetor.ini",
                                 crlfLines({"[Resize]", "[Trans]", "[TransColors]", "FF00FF"})));
      return copyProgramInto(dir);
    }();
    return exe;
  }

  // A script that builds `out` from the four frames, followed by `sections`.
  std::string scriptWith(const std::string& out, const std::vector<std::string>& sections) {
    std::vector<std::string> lines = {"[Result]", out, "[BMP]"};
    lines.insert(lines.end(), frames_->begin(), frames_->end());
    lines.insert(lines.end(), sections.begin(), sections.end());
    return writeScript(crlfLines(lines));
  }

  static std::vector<std::string>* frames_;
  static std::string* dir_;
  static std::string* plainExe_;
  static int counter_;
};
std::vector<std::string>* BatchTest::frames_ = nullptr;
std::string* BatchTest::dir_ = nullptr;
std::string* BatchTest::plainExe_ = nullptr;
int BatchTest::counter_ = 0;

// ---- The real program --------------------------------------------------------

TEST_F(BatchTest, SectionsMayStandInEitherOrderAndAnyCase) {
  const std::string& a = (*frames_)[0];
  const std::string& b = (*frames_)[1];
  struct Case {
    const char* what;
    std::string script;
    std::string out;
  } cases[] = {
      {"result first", crlfLines({"[Result]", output("first.anim"), "[BMP]", a, b}),
       output("first.anim")},
      {"frames first", crlfLines({"[BMP]", a, b, "[Result]", output("second.anim")}),
       output("second.anim")},
      {"lower case, indented, other sections and comments",
       crlfLines({"; made by hand", "[Notes]", "x", "  [bmp] frames", "   " + a, b + "  \t",
                  "[result]", output("third.anim")}),
       output("third.anim")},
  };
  std::string reference;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ProcessResult r = runKinetorAt(*plainExe_, writeScript(c.script));
    EXPECT_EQ(r.exitCode, 1) << r.errorOutput;
    const std::string written = readFileBytes(c.out);
    Cursor cursor = parseCursor(written);
    ASSERT_TRUE(cursor.valid) << cursor.problem;
    EXPECT_EQ(cursor.frameCount, 2u);
    EXPECT_EQ(cursor.frames[0].width(), 8);
    EXPECT_EQ(cursor.frames[0].height(), 8);
    if (reference.empty()) reference = written;
    EXPECT_EQ(written, reference) << "the same frames must give the same file";
  }
}

TEST_F(BatchTest, OnlyTheFirstResultLineIsUsed) {
  const std::string first = output("only-first.anim");
  const std::string second = output("never-second.anim");
  ProcessResult r = runKinetorAt(
      *plainExe_,
      writeScript(crlfLines({"[Result]", first, second, "[BMP]", (*frames_)[0], (*frames_)[1]})));
  EXPECT_EQ(r.exitCode, 1) << r.errorOutput;
  EXPECT_TRUE(parseCursor(readFileBytes(first)).valid);
  EXPECT_FALSE(fileExists(second));
}

TEST_F(BatchTest, AnOutputPathWithoutExtensionIsWrittenAsItStands) {
  const std::string out = output("plainname");
  ProcessResult r = runKinetorAt(
      *plainExe_, writeScript(crlfLines({"[Result]", out, "[BMP]", (*frames_)[2], (*frames_)[3]})));
  EXPECT_EQ(r.exitCode, 1) << r.errorOutput;
  EXPECT_TRUE(parseCursor(readFileBytes(out)).valid);
  EXPECT_FALSE(fileExists(out + ".anim"));
}

TEST_F(BatchTest, ThreeHundredFrameLinesGiveTheFirst255Frames) {
  std::vector<std::string> lines = {"[Result]", output("many.anim"), "[BMP]"};
  for (int i = 0; i < 300; ++i) lines.push_back((*frames_)[i % 4]);
  ProcessResult r = runKinetorAt(*plainExe_, writeScript(crlfLines(lines)), 120);
  EXPECT_EQ(r.exitCode, 1) << r.errorOutput;
  Cursor cursor = parseCursor(readFileBytes(output("many.anim")));
  ASSERT_TRUE(cursor.valid) << cursor.problem;
  EXPECT_EQ(cursor.frameCount, 255u);
  // Frames keep the order of the list: frame 254 is the list's line 255.
  EXPECT_EQ(cursor.frames[254].colourRows, cursor.frames[254 % 4].colourRows);
  EXPECT_NE(cursor.frames[1].colourRows, cursor.frames[0].colourRows);
}

struct FailureCase {
  const char* what;
  std::string script;  // "<none>": no script file at all
  const char* reason;  // expected in the POSIX diagnostic
};

TEST_F(BatchTest, ScriptsThatCannotBuildEndWithCodeTwoAndNoFile) {
  const std::string a = (*frames_)[0], b = (*frames_)[1];
  const std::string out = output("must-not-exist.anim");
  const FailureCase cases[] = {
      {"missing script", "<none>", "cannot read the build script"},
      {"empty script", "", "cannot read the build script"},
      {"no [Result]", crlfLines({"[BMP]", a, b}), "[Result]"},
      {"[Result] with no line", crlfLines({"[Result]", "[BMP]", a, b}), "[Result]"},
      {"[Result ] is not the header", crlfLines({"[Result ]", out, "[BMP]", a, b}), "[Result]"},
      {"one frame", crlfLines({"[Result]", out, "[BMP]", a}), "fewer than two frames"},
      {"no [BMP]", crlfLines({"[Result]", out}), "fewer than two frames"},
      {"empty [BMP]", crlfLines({"[Result]", out, "[BMP]"}), "fewer than two frames"},
      // CR-only line ends make one line: the second header is never found.
      {"CR-only line ends", "[Result]\r" + out + "\r[BMP]\r" + a + "\r" + b + "\r", "[Result]"},
      {"binary junk", std::string("\0\x01\xFF[\r\n\n[[", 9), "[Result]"},
#ifndef _WIN32
      {"a FIFO, which must not keep the program waiting", "<fifo>", "cannot read the build script"},
#endif
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string script =
        std::string(c.script) == "<none>" ? output("no-such-script.txt") : writeScript(c.script);
#ifndef _WIN32
    if (c.script == "<fifo>") {
      script = output("script.fifo");
      ASSERT_EQ(mkfifo(script.c_str(), 0600), 0);
    }
#endif
    ProcessResult r = runKinetorAt(*plainExe_, script, 30);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_FALSE(fileExists(out));
#ifndef _WIN32
    EXPECT_NE(r.errorOutput.find(c.reason), std::string::npos) << r.errorOutput;
    EXPECT_NE(r.errorOutput.find(script), std::string::npos) << r.errorOutput;
    EXPECT_EQ(r.errorOutput.find('\n'), r.errorOutput.size() - 1) << "one line: " << r.errorOutput;
#endif
  }
}

#ifndef _WIN32
// On Windows the same runs show message boxes; they are tested in-process
// below.
TEST_F(BatchTest, FrameErrorsAppearOnStandardErrorOnPosix) {
  const std::string out = output("stopped.anim");
  struct Case {
    const char* what;
    std::vector<std::string> frames;
    std::string expected;
  } cases[] = {
      {"an empty line in [BMP]", {(*frames_)[0], "", (*frames_)[1]}, "Can't load file: \n"},
      {"a missing frame",
       {(*frames_)[0], output("gone.bmp")},
       "Can't load file: " + output("gone.bmp") + "\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> lines = {"[Result]", out, "[BMP]"};
    lines.insert(lines.end(), c.frames.begin(), c.frames.end());
    ProcessResult r = runKinetorAt(*plainExe_, writeScript(crlfLines(lines)));
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.errorOutput.find(c.expected), 0u) << r.errorOutput;
    EXPECT_FALSE(fileExists(out));
  }
}
#endif

#ifndef _WIN32
// Frames that are not regular files or have no pixels, and paths too long
// to be held whole: each stops the run at once with its message, and
// nothing is written, neither under the name given nor under the cut one.
TEST_F(BatchTest, OddFramesAndOverlongPathsStopWithTheirMessage) {
  const std::string& a = (*frames_)[0];
  const std::string& b = (*frames_)[1];
  const std::string fifo = output("frame.fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  auto frameOfSize = [&](int32_t w, int32_t h) {
    BmpLayout layout;
    layout.width = w;
    layout.height = h;
    const std::string path = output("size" + std::to_string(w) + "x" + std::to_string(h) + ".bmp");
    EXPECT_TRUE(writeFileBytes(path, makeBmp(layout, std::vector<uint32_t>(w * h, 0))));
    return path;
  };
  // Paths of exactly 259 characters: one names a good frame.
  auto longest = [&](const std::string& ending) {
    const std::string start = output("");
    return start + std::string(kPathCapacity - 1 - start.size() - ending.size(), 'q') + ending;
  };
  const std::string longFrame = longest(".bmp");
  fs::copy_file(a, longFrame);
  const std::string longOut = longest(".anim");
  const std::string out = output("odd.anim");
  struct Case {
    const char* what;
    std::string result;
    std::vector<std::string> frames;
    std::string message;
  } cases[] = {
      {"a FIFO as a frame", out, {a, fifo}, "Can't load file: " + fifo},
      {"0 x 0 frames",
       out,
       {frameOfSize(0, 0), frameOfSize(0, 0)},
       "Can't load file: " + frameOfSize(0, 0)},
      {"a frame 8 wide and 0 high",
       out,
       {a, frameOfSize(8, 0)},
       "Can't load file: " + frameOfSize(8, 0)},
      {"a frame path that cut would name another frame",
       out,
       {a, longFrame + ".extra"},
       "Can't load file: " + longFrame},
      {"a result path that cut would name another file",
       longOut + ".extra",
       {a, b},
       "Can't write file: " + longOut},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> lines = {"[Result]", c.result, "[BMP]"};
    lines.insert(lines.end(), c.frames.begin(), c.frames.end());
    ProcessResult r = runKinetorAt(*plainExe_, writeScript(crlfLines(lines)), 20);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.errorOutput.find(c.message + "\n"), 0u) << r.errorOutput;
    EXPECT_FALSE(fileExists(c.result));
    EXPECT_FALSE(fileExists(out));
    EXPECT_FALSE(fileExists(longOut));
  }

  // A FIFO where the settings file belongs is no settings file.
  const std::string withFifo = makeTempDir();
  const std::string exe = copyProgramInto(withFifo);
  ASSERT_EQ(mkfifo((withFifo + "/kinetor.ini").c_str(), 0600), 0);
  ProcessResult r = runKinetorAt(exe, writeScript(crlfLines({"[Result]", out, "[BMP]", a, b})), 20);
  EXPECT_EQ(r.exitCode, 1) << r.errorOutput;
  EXPECT_TRUE(parseCursor(readFileBytes(out)).valid);
}
#endif

// What killed runs leave beside the output never keeps a later build from
// writing it, and a link placed at a temporary name is never written through.
TEST_F(BatchTest, LeftoverTemporaryFilesNeverBlockABuild) {
  const std::string out = output("leftovers.anim");
  const std::string victim = output("victim.txt");
  ASSERT_TRUE(writeFileBytes(victim, "keep"));
  std::vector<std::string> leftovers;
  for (int i = 0; i < 20; ++i) leftovers.push_back(out + ".~kinetor" + std::to_string(i) + ".tmp");
  // This process's own names come first when it builds in process below.
  char name[kTempPathCapacity];
  for (uint32_t n = 0; n < 6; ++n) {
    ASSERT_TRUE(tempNameBeside(out.c_str(), n, name));
    leftovers.push_back(name);
  }
  for (size_t i = 0; i < leftovers.size(); ++i) {
    const std::string& path = leftovers[i];
#ifndef _WIN32
    if (i % 3 == 1) {
      fs::create_symlink(victim, path);
      continue;
    }
#endif
    if (i % 3 == 2) {
      fs::create_directory(path);
    } else {
      ASSERT_TRUE(writeFileBytes(path, "left"));
    }
  }
  const std::string script =
      writeScript(crlfLines({"[Result]", out, "[BMP]", (*frames_)[0], (*frames_)[1]}));
  ProcessResult r = runKinetorAt(*plainExe_, script);
  EXPECT_EQ(r.exitCode, 1) << r.errorOutput;
  EXPECT_TRUE(parseCursor(readFileBytes(out)).valid);
  fs::remove(out);
  EXPECT_TRUE(runBatchScript(script.c_str()));
  EXPECT_TRUE(takeShownErrors().empty());
  EXPECT_TRUE(parseCursor(readFileBytes(out)).valid);
  releaseAllPreviews();

  EXPECT_EQ(readFileBytes(victim), "keep");
  size_t names = 0;
  for (const auto& entry : fs::directory_iterator(*dir_)) {
    names += entry.path().filename().string().rfind("leftovers.anim.", 0) == 0 ? 1 : 0;
  }
  EXPECT_EQ(names, leftovers.size()) << "leftovers are kept, and no new ones are left";
}

TEST_F(BatchTest, TheSettingsBesideTheProgramApplyTransparency) {
  const std::string withSettings = makeTempDir();
  const std::string exe = copyProgramInto(withSettings);
  ASSERT_TRUE(writeFileBytes(withSettings + "/kinetor.ini",
                             crlfLines({"[trans]", "[TransColors]", "ff00ff"})));
  const std::string script = writeScript(
      crlfLines({"[Result]", output("see-through.anim"), "[BMP]", (*frames_)[1], (*frames_)[2]}));
  const std::string plainScript = writeScript(
      crlfLines({"[Result]", output("opaque.anim"), "[BMP]", (*frames_)[1], (*frames_)[2]}));

  ProcessResult r = runKinetorAt(exe, script);
  EXPECT_EQ(r.exitCode, 1) << r.errorOutput;
  r = runKinetorAt(*plainExe_, plainScript);
  EXPECT_EQ(r.exitCode, 1) << r.errorOutput;
  Cursor seeThrough = parseCursor(readFileBytes(output("see-through.anim")));
  Cursor opaque = parseCursor(readFileBytes(output("opaque.anim")));
  ASSERT_TRUE(seeThrough.valid) << seeThrough.problem;
  ASSERT_TRUE(opaque.valid) << opaque.problem;
  ASSERT_EQ(seeThrough.frames.size(), 2u);

  for (size_t f = 0; f < 2; ++f) {
    const int32_t left = static_cast<int32_t>(f + 1) % 4;  // frames 1 and 2
    for (int32_t y = 0; y < 8; ++y) {
      for (int32_t x = 0; x < 8; ++x) {
        const bool inSquare = y >= 2 && y < 6 && x >= left && x < left + 4;
        SCOPED_TRACE("frame " + std::to_string(f) + " at " + std::to_string(x) + "," +
                     std::to_string(y));
        EXPECT_EQ(seeThrough.maskBit(f, x, y), !inSquare);
        EXPECT_EQ(seeThrough.pixel(f, x, y), inSquare ? opaque.pixel(f, x, y) : 0u);
        EXPECT_FALSE(opaque.maskBit(f, x, y));
        if (!inSquare) {
          EXPECT_EQ(opaque.pixel(f, x, y), 0xFF00FFu);
        }
      }
    }
  }
}

#ifndef _WIN32
// Windows cannot start a program from such a path through the old calls.
TEST_F(BatchTest, AProgramDirectoryTooLongForItsSettingsPathReadsNoSettings) {
  // Every level holds settings that switch transparency on, so that a cut-off
  // directory, which would name one of these levels, shows.
  const std::string settings = crlfLines({"[Trans]", "[TransColors]", "FF00FF"});
  std::string deep = makeTempDir();
  ASSERT_TRUE(writeFileBytes(deep + "/kinetor.ini", settings));
  while (deep.size() < 300) {
    deep += "/" + std::string(40, 'n');
    fs::create_directory(deep);
    ASSERT_TRUE(writeFileBytes(deep + "/kinetor.ini", settings));
  }
  const std::string exe = copyProgramInto(deep);
  const std::string out = output("deep.anim");
  ProcessResult r = runKinetorAt(
      exe, writeScript(crlfLines({"[Result]", out, "[BMP]", (*frames_)[0], (*frames_)[1]})));
  EXPECT_EQ(r.exitCode, 1) << r.errorOutput;
  Cursor cursor = parseCursor(readFileBytes(out));
  ASSERT_TRUE(cursor.valid) << cursor.problem;
  // The settings beside it were not read: magenta stays opaque.
  EXPECT_FALSE(cursor.maskBit(0, 0, 0));
  EXPECT_EQ(cursor.pixel(0, 0, 0), 0xFF00FFu);
}
#endif

TEST_F(BatchTest, TheBundledExampleBuildsASeeThroughSpinner) {
  std::string example = std::string(KINETOR_SOURCE_DIR) + "/examples/spinner/";
#ifdef _WIN32
  if (example[0] == '/') example = "Z:" + example;
#endif
  const std::string withSettings = makeTempDir();
  const std::string exe = copyProgramInto(withSettings);
  fs::copy_file(example + "kinetor.ini", withSettings + "/kinetor.ini");
  // The example's own script names its frames relative to its folder; this
  // one names the same frames wherever the test runs, followed by the
  // example's own hotspot and rate.
  std::vector<std::string> lines = {"[Result]", output("spinner.anim"), "[BMP]"};
  for (int i = 1; i <= 12; ++i) {
    lines.push_back(example + "frame" + (i < 10 ? "0" : "") + std::to_string(i) + ".bmp");
  }
  const std::string own = readFileBytes(example + "build.txt");
  ASSERT_NE(own.find("[Hotspot]"), std::string::npos);
  ProcessResult r =
      runKinetorAt(exe, writeScript(crlfLines(lines) + own.substr(own.find("[Hotspot]"))));
  EXPECT_EQ(r.exitCode, 1) << r.errorOutput;
  Cursor cursor = parseCursor(readFileBytes(output("spinner.anim")));
  ASSERT_TRUE(cursor.valid) << cursor.problem;
  ASSERT_EQ(cursor.frameCount, 12u);
  EXPECT_EQ(cursor.displayRate, 5u);
  for (size_t f = 0; f < 12; ++f) {
    SCOPED_TRACE("frame " + std::to_string(f + 1));
    EXPECT_EQ(cursor.frames[f].hotspotX, 16);
    EXPECT_EQ(cursor.frames[f].hotspotY, 16);
    ASSERT_EQ(cursor.frames[f].width(), 32);
    ASSERT_EQ(cursor.frames[f].height(), 32);
    EXPECT_EQ(cursor.frames[f].biBitCount, 24);
    int seeThrough = 0;
    for (int32_t y = 0; y < 32; ++y) {
      for (int32_t x = 0; x < 32; ++x) {
        // No magenta is left visible: the background is see-through and black.
        EXPECT_NE(cursor.pixel(f, x, y), 0xFF00FFu);
        if (cursor.maskBit(f, x, y)) {
          ++seeThrough;
          EXPECT_EQ(cursor.pixel(f, x, y), 0u);
        }
      }
    }
    EXPECT_TRUE(cursor.maskBit(f, 0, 0) && cursor.maskBit(f, 31, 31) && cursor.maskBit(f, 15, 15));
    EXPECT_GT(seeThrough, 32 * 32 / 2);
    EXPECT_LT(seeThrough, 32 * 32);
  }
  EXPECT_NE(cursor.frames[0].colourRows, cursor.frames[1].colourRows);
}

TEST_F(BatchTest, OptionalSectionsShapeTheWrittenFile) {
  struct Case {
    const char* what;
    bool crop;
    std::vector<std::string> sections;
    std::vector<std::string> chunks;
    uint32_t steps, rate, flags;
    std::vector<uint32_t> rates, sequence;
    std::string title, author;
    uint16_t hotspotX, hotspotY;  // as written: moved with the crop
    int32_t height;
  } cases[] = {
      {"every section, cropped",
       true,
       {"[Hotspot]", " 3 , 4 ", "[Rate]", "100ms", "", "6", " 12 ", "1 MS", "[sequence]", "4", "1",
        "1", "2", "[Title]", "Busy", "[Author]", "Ann", "a second line is not read"},
       {"LIST", "anih", "rate", "seq ", "LIST"},
       4,
       6,
       3,
       {6, 6, 12, 1},
       {3, 0, 0, 1},
       "Busy",
       "Ann",
       3,
       2,
       4},
      {"one rate for every step, not cropped",
       false,
       {"[RATE]", "3", "[Hotspot]", "7,7"},
       {"anih", "LIST"},
       4,
       3,
       1,
       {},
       {},
       "",
       "",
       7,
       7,
       8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string& exe = c.crop ? croppingExe() : *plainExe_;
    const std::string out = output("sections.anim"), plain = output("no-sections.anim");
    ProcessResult r = runKinetorAt(exe, scriptWith(out, c.sections));
    ASSERT_EQ(r.exitCode, 1) << r.errorOutput;
    r = runKinetorAt(exe, scriptWith(plain, {}));
    ASSERT_EQ(r.exitCode, 1) << r.errorOutput;
    const std::string bytes = readFileBytes(out);
    ParsedAni ani;
    std::string problem;
    ASSERT_TRUE(parseAni(bytes, ani, problem)) << problem;
    EXPECT_EQ(ani.chunkOrder, c.chunks);
    EXPECT_EQ(ani.frames, 4u);
    EXPECT_EQ(ani.steps, c.steps);
    EXPECT_EQ(ani.displayRate, c.rate);
    EXPECT_EQ(ani.flags, c.flags);
    EXPECT_EQ(ani.rates, c.rates);
    EXPECT_EQ(ani.sequence, c.sequence);
    EXPECT_EQ(ani.title, c.title);
    EXPECT_EQ(ani.author, c.author);
    ASSERT_EQ(ani.icons.size(), 4u);
    for (const ParsedIcon& icon : ani.icons) {
      EXPECT_EQ(icon.hotspotX, c.hotspotX);
      EXPECT_EQ(icon.hotspotY, c.hotspotY);
      EXPECT_EQ(icon.height(), c.height);
    }
    if (c.chunks.size() == 2) {
      // Only the named bytes differ from the file the same frames give
      // without the sections: the rate in "anih" and each entry's hotspot.
      std::string expected = readFileBytes(plain);
      setLe32(expected, 20 + 28, c.rate);
      const size_t chunk = 8 + ((le32(expected, 68 + 4) + 1) & ~1u);
      for (size_t k = 0; k < 4; ++k) {
        setLe32(expected, 68 + k * chunk + 8 + 6 + 4, c.hotspotX | uint32_t{c.hotspotY} << 16);
      }
      EXPECT_EQ(bytes, expected);
    }
  }
}

std::string lfLines(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& l : lines) out += l + "\n";
  return out;
}

// Frame k of three, 8 x 6 pixels: magenta around an ink bar whose place
// tells the frames apart, and a red dot that replacement turns blue; palette
// indices (magenta, ink, red) for 8 bits. Rows negative: stored top-down.
std::string orientedFrame(int k, bool eightBit, bool topDown) {
  BmpLayout layout;
  layout.width = 8;
  layout.height = topDown ? -6 : 6;
  const uint32_t colours[] = {0xFF00FF, 0x336699, 0xFF0000};
  if (eightBit) {
    layout.bitCount = 8;
    layout.palette = {colours[0], colours[1], colours[2]};
    layout.clrUsed = 3;
  }
  std::vector<uint32_t> px(48, 0);
  for (int32_t y = k; y < k + 2; ++y)
    for (int32_t x = 1 + k; x < 5 + k; ++x) px[static_cast<size_t>(y) * 8 + x] = 1;
  px[static_cast<size_t>(5 - k) * 8 + 6] = 2;
  if (!eightBit)
    for (uint32_t& p : px) p = colours[p];
  return makeBmp(layout, px);
}

// 24-bit frames of magenta, with ink in the given columns and rows
// (inclusive).
std::string inkedFrame(int32_t w, int32_t h, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  BmpLayout layout;
  layout.width = w;
  layout.height = h;
  std::vector<uint32_t> px(static_cast<size_t>(w) * h, 0xFF00FF);
  for (int32_t y = y0; y <= y1; ++y)
    for (int32_t x = x0; x <= x1; ++x) px[static_cast<size_t>(y) * w + x] = 0x336699;
  return makeBmp(layout, px);
}

// A cursor asked for in a new way must come out byte for byte as the same
// cursor asked for in a way that worked before: LF-only line ends, settings
// held by the script or in the user's folder, top-down frames with every
// option, and content one pixel thick with "Optimize image size".
TEST_F(BatchTest, NewWaysOfAskingGiveTheBytesOfTheOldWays) {
  const std::vector<std::string> see = {"[Trans]", "[TransColors]", "FF00FF"};
  // Magenta becomes green: a result far from the one above.
  const std::vector<std::string> green = {"[Rpl]", "[ReplaceColor]", "FF00FF", "FF00"};
  auto exeWith = [](const std::vector<std::string>& settings) {
    const std::string dir = makeTempDir();
    EXPECT_TRUE(writeFileBytes(dir + "/kinetor.ini", crlfLines(settings)));
    return copyProgramInto(dir);
  };
  const std::string seeExe = exeWith(see), greenExe = exeWith(green);
  const std::string seeUser = makeTempDir();
  fs::create_directory(seeUser + "/kinetor");
  ASSERT_TRUE(writeFileBytes(seeUser + "/kinetor/kinetor.ini", lfLines(see)));
  auto frameFile = [&](const std::string& name, const std::string& bytes) {
    EXPECT_TRUE(writeFileBytes(output(name), bytes));
    return output(name);
  };

  struct Run {
    std::string exe;
    std::vector<std::string> frames, sections;
    bool lf;
    std::string userDir;  // XDG_CONFIG_HOME for the run; "" leaves it
  };
  auto ask = [](const std::string& exe, const std::vector<std::string>& frames,
                const std::vector<std::string>& sections = {}, bool lf = false,
                const std::string& userDir = "") {
    return Run{exe, frames, sections, lf, userDir};
  };
  struct Case {
    std::string what;
    Run run, same;
  };
  const std::vector<std::string> two = {(*frames_)[0], (*frames_)[1]};
  std::vector<Case> cases = {
      {"LF-only line ends", ask(*plainExe_, two, {}, true), ask(*plainExe_, two)},
      {"settings in the script, over those beside the program", ask(greenExe, two, see),
       ask(seeExe, two)},
#ifdef __linux__
      {"the user's settings, none beside the program", ask(*plainExe_, two, {}, false, seeUser),
       ask(seeExe, two)},
      {"the settings beside the program before the user's", ask(greenExe, two, {}, false, seeUser),
       ask(greenExe, two)},
#endif
      // A column and a dot: trimmed to the column, widened to 4 pixels.
      {"content one pixel thick",
       ask(*plainExe_,
           {frameFile("column.bmp", inkedFrame(8, 8, 4, 0, 4, 7)),
            frameFile("dot.bmp", inkedFrame(8, 8, 4, 2, 4, 2))},
           {"[Resize]", "[TransColors]", "FF00FF"}),
       ask(*plainExe_,
           {frameFile("column-cut.bmp", inkedFrame(4, 8, 0, 0, 0, 7)),
            frameFile("dot-cut.bmp", inkedFrame(4, 8, 0, 2, 0, 2))},
           {"[TransColors]", "FF00FF"})},
  };
  for (int depth : {8, 24}) {
    std::vector<std::string> topDown, bottomUp;
    for (int k = 0; k < 3; ++k) {
      const std::string name = std::to_string(depth) + "-" + std::to_string(k);
      topDown.push_back(frameFile("down" + name + ".bmp", orientedFrame(k, depth == 8, true)));
      bottomUp.push_back(frameFile("up" + name + ".bmp", orientedFrame(k, depth == 8, false)));
    }
    for (int options = 0; options < 16; ++options) {
      std::vector<std::string> sections = {"[TransColors]", "FF00FF", "[ReplaceColor]", "FF",
                                           "FF0000"};
      std::string what = "top-down, " + std::to_string(depth) + " bits,";
      const char* names[] = {"[Trans]", "[Rpl]", "[Fix]", "[Resize]"};
      for (int bit = 0; bit < 4; ++bit) {
        if ((options >> bit & 1) == 0) continue;
        sections.push_back(names[bit]);
        what += std::string(" ") + names[bit];
      }
      cases.push_back(
          {what, ask(*plainExe_, topDown, sections), ask(*plainExe_, bottomUp, sections)});
    }
  }

  auto build = [&](const Run& run, const std::string& out) {
    std::vector<std::string> lines = {"[Result]", out, "[BMP]"};
    lines.insert(lines.end(), run.frames.begin(), run.frames.end());
    lines.insert(lines.end(), run.sections.begin(), run.sections.end());
    const std::string script = writeScript(run.lf ? lfLines(lines) : crlfLines(lines));
#ifdef __linux__
    const std::string suiteUser = std::getenv("XDG_CONFIG_HOME");
    if (!run.userDir.empty()) setenv("XDG_CONFIG_HOME", run.userDir.c_str(), 1);
    const ProcessResult r = runKinetorAt(run.exe, script);
    setenv("XDG_CONFIG_HOME", suiteUser.c_str(), 1);
#else
    const ProcessResult r = runKinetorAt(run.exe, script);
#endif
    EXPECT_EQ(r.exitCode, 1) << r.errorOutput;
    return readFileBytes(out);
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string bytes = build(c.run, output("asked-anew.anim"));
    const std::string expected = build(c.same, output("asked-before.anim"));
    ASSERT_TRUE(parseCursor(expected).valid);
    EXPECT_EQ(bytes, expected);
  }
}

// How a refused script ended: its exit code and the first message, as
// "caption: text".
struct Refusal {
  int exitCode;
  std::string message;
};

TEST_F(BatchTest, BadSectionsAndAStrayHotspotWriteNothing) {
  const std::string frame0 = (*frames_)[0];
  std::vector<std::string> longSequence = {"[Sequence]"};
  longSequence.resize(4098, "1");
  const std::string longTitle(256, 't');
  struct Case {
    const char* what;
    std::vector<std::string> sections;
    std::string message;
  } cases[] = {
      {"hotspot not X,Y", {"[Hotspot]", "3;4"}, "Bad build script: [Hotspot]: 3;4"},
      {"hotspot beyond 16 bits", {"[hotspot]", "70000,1"}, "Bad build script: [Hotspot]: 70000,1"},
      {"hotspot without a line", {"[Hotspot]", ""}, "Bad build script: [Hotspot]: no X,Y line"},
      {"a zero rate", {"[Rate]", "0"}, "Bad build script: [Rate]: 0"},
      {"zero milliseconds", {"[Rate]", "0 ms"}, "Bad build script: [Rate]: 0 ms"},
      {"a rate that is no number", {"[Rate]", "fast"}, "Bad build script: [Rate]: fast"},
      {"three rates for four frames",
       {"[Rate]", "1", "2", "3"},
       "Bad build script: [Rate]: 3 lines for 4 steps (give 1 or 4)"},
      {"two rates for three steps",
       {"[Sequence]", "1", "2", "3", "[Rate]", "1", "2"},
       "Bad build script: [Rate]: 2 lines for 3 steps (give 1 or 3)"},
      {"a frame number beyond the list", {"[Sequence]", "5"}, "Bad build script: [Sequence]: 5"},
      {"frame number 0", {"[Sequence]", "2", "0"}, "Bad build script: [Sequence]: 0"},
      {"4097 steps", longSequence, "Bad build script: [Sequence]: more than 4096 steps"},
      {"a title of 256 bytes", {"[Title]", longTitle}, "Bad build script: [Title]: " + longTitle},
      {"hotspot beside the frames",
       {"[Hotspot]", "8,3"},
       "Hotspot outside the image: 8,3 is outside " + frame0 + " (8 x 4)"},
      {"hotspot on a row the crop removes",
       {"[Hotspot]", "3,1"},
       "Hotspot outside the image: 3,1 is outside " + frame0 + " (8 x 4)"},
  };
  const std::string out = output("kept.anim");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(writeFileBytes(out, "an older file"));
    const std::string script = scriptWith(out, c.sections);
#ifdef _WIN32
    // The real program would wait for its message box to be closed; here
    // the same run goes through the batch entry, with the same settings.
    resetAppState();
    appState.optOptimize = 1;
    appState.optTransparent = 1;
    appState.transColors[0] = 0xFF00FF;
    appState.transCount = 1;
    const bool written = runBatchScript(script.c_str());
    releaseAllPreviews();
    const std::vector<ShownError> shown = takeShownErrors();
    const Refusal r{written ? 1 : 2, shown.empty() ? "" : shown[0].caption + ": " + shown[0].text};
#else
    const ProcessResult run = runKinetorAt(croppingExe(), script, 30);
    const Refusal r{run.exitCode, run.errorOutput.substr(0, run.errorOutput.find('\n'))};
#endif
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.message, c.message);
    EXPECT_EQ(readFileBytes(out), "an older file");
  }
}

// Builds that would pass the size limits, outputs that would replace an input,
// frames and outputs the system refuses, and a settings file that cannot be
// read: each run either stops with its box and nothing written (on POSIX the
// box's line comes first, then a kinetor: line with the reason), or builds;
// the inputs stay as they were either way.
TEST_F(BatchTest, LimitsAndRefusalsNameTheirReasonAndWriteNothing) {
  const std::string dir = makeTempDir();
  auto frame8 = [&](int32_t w, int32_t h) {
    BmpLayout layout;
    layout.width = w;
    layout.height = h;
    layout.bitCount = 8;
    layout.palette = greyPalette(2);
    const std::string path = dir + "/f" + std::to_string(w) + "x" + std::to_string(h) + ".bmp";
    EXPECT_TRUE(writeFileBytes(path, makeBmp(layout, std::vector<uint32_t>(size_t(w) * h, 1))));
    return path;
  };
  const std::string wide = frame8(16000, 2), tall = frame8(2, 16000);
  const std::string w4096 = frame8(4096, 2), t4096 = frame8(2, 4096);
  const std::string w4097 = frame8(4097, 2), t4097 = frame8(2, 4097);
  const std::string a = (*frames_)[0], b = (*frames_)[1];
  const std::string folder = dir + "/a folder";
  fs::create_directory(folder);
  const std::string text = dir + "/notes.bmp";
  ASSERT_TRUE(writeFileBytes(text, "these are notes, not a bitmap"));
  const std::string linked = dir + "/linked.bmp";
  fs::create_hard_link(b, linked);
  const std::string tooLong = dir + "/" + std::string(300, 'n') + ".anim";
  const std::string out = dir + "/out.anim";
  const std::string otherSpelling =
      fs::path(b).parent_path().string() + "/./" + fs::path(b).filename().string();
  const std::string grownLimit =
      std::to_string(buildlimits::kGrowthPerPixelByte * buildlimits::kLeastPixelsRead);

  // A program beside each kind of settings file.
  const std::string optimize = makeTempDir(), unreadable = makeTempDir();
  ASSERT_TRUE(writeFileBytes(optimize + "/kinetor.ini", crlfLines({"[Resize]"})));
  fs::create_directory(unreadable + "/kinetor.ini");
  const std::string optimizeExe = copyProgramInto(optimize);
  const std::string unreadableExe = copyProgramInto(unreadable);

  const std::string kScript = "<script>";  // the script's own path, once written
  struct Case {
    const char* what;
    const std::string& exe;
    std::string result;
    std::vector<std::string> frames;
    std::string box;     // "" when the build succeeds
    std::string reason;  // found in the kinetor: line that follows the box, or in the first
  } cases[] = {
      {"cropped to 16000 x 16000",
       optimizeExe,
       out,
       {wide, tall},
       "Can't write file: " + out,
       "frame 1 would hold 256000000 pixels (16000 x 16000), more than the limit of 16777216"},
      {"cropped to 4097 x 4097",
       optimizeExe,
       out,
       {w4097, t4097},
       "Can't write file: " + out,
       "frame 1 would hold 16785409 pixels (4097 x 4097), more than the limit of 16777216"},
      {"three frames of 4096 x 4096 from 24 KiB",
       optimizeExe,
       out,
       {w4096, t4096, w4096},
       "Can't write file: " + out,
       "bytes, more than the limit of " + grownLimit + " (for frames of so few pixels): " + out},
      {"two frames of 4096 x 4096", optimizeExe, out, {w4096, t4096}, "", ""},
      {"the output is a frame",
       *plainExe_,
       b,
       {a, b},
       "Can't write file: " + b,
       std::string(kReplacesAnInput) + ": " + b},
      {"the output is a frame spelled otherwise",
       *plainExe_,
       otherSpelling,
       {a, b},
       "Can't write file: " + otherSpelling,
       std::string(kReplacesAnInput) + ": " + b},
      {"the output is a hard link to a frame",
       *plainExe_,
       linked,
       {a, b},
       "Can't write file: " + linked,
       std::string(kReplacesAnInput) + ": " + b},
      {"the output is the script",
       *plainExe_,
       kScript,
       {a, b},
       "Can't write file: " + kScript,
       std::string(kReplacesAnInput) + ": " + kScript},
      {"the output is a folder",
       *plainExe_,
       folder,
       {a, b},
       "Can't write file: " + folder,
       "is a folder: " + folder},
      {"the output path is too long",
       *plainExe_,
       tooLong,
       {a, b},
       "Can't write file: " + tooLong.substr(0, kPathCapacity - 1),
       "path too long: " + tooLong.substr(0, kPathCapacity - 1)},
      {"a frame is a folder",
       *plainExe_,
       out,
       {a, folder},
       "Can't load file: " + folder,
       "is a folder: " + folder},
      {"a frame is not a BMP",
       *plainExe_,
       out,
       {text, a},
       "Can't load file: " + text,
       "not a BMP or PNG: " + text},
      {"a frame is missing",
       *plainExe_,
       out,
       {a, dir + "/gone.bmp"},
       "Can't load file: " + dir + "/gone.bmp",
       "no such file or folder: " + dir + "/gone.bmp"},
      {"the settings file is a folder",
       unreadableExe,
       out,
       {a, b},
       "",
       "settings file ignored (is a folder): " + unreadable + "/kinetor.ini"},
  };
  const std::string before = readFileBytes(b);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> lines = {"[Result]", c.result, "[BMP]"};
    lines.insert(lines.end(), c.frames.begin(), c.frames.end());
    const std::string script = writeScript(crlfLines(lines));
    if (c.result == kScript) {
      lines[1] = script;
      ASSERT_TRUE(writeFileBytes(script, crlfLines(lines)));
    }
    auto named = [&](std::string t) {
      const size_t at = t.find(kScript);
      return at == std::string::npos ? t : t.replace(at, kScript.size(), script);
    };
    const std::string scriptBytes = readFileBytes(script);
    fs::remove(out);
    ProcessResult r = runKinetorAt(c.exe, script);
    EXPECT_EQ(r.exitCode, c.box.empty() ? 1 : 2) << r.errorOutput;
#ifdef _WIN32
    EXPECT_EQ(r.boxes,
              c.box.empty() ? std::vector<std::string>{} : std::vector<std::string>{named(c.box)});
#else
    if (c.box.empty() && c.reason.empty()) {
      EXPECT_EQ(r.errorOutput, "");
    }
    const std::string prefix = c.box.empty() ? "kinetor: " : named(c.box) + "\nkinetor: ";
    EXPECT_EQ(r.errorOutput.rfind(prefix, 0), c.reason.empty() ? std::string::npos : 0u)
        << r.errorOutput;
    const std::string line = r.errorOutput.substr(0, r.errorOutput.find('\n', prefix.size()));
    EXPECT_NE(line.find(named(c.reason)), std::string::npos) << r.errorOutput;
#endif
    EXPECT_EQ(readFileBytes(b), before);
    EXPECT_EQ(readFileBytes(linked), before);
    EXPECT_EQ(readFileBytes(script), scriptBytes);
    if (!c.box.empty()) {
      EXPECT_FALSE(fileExists(out));
      continue;
    }
    // Whole and of the size its frames need; other tests check the content,
    // which would take long to read back from the large file here.
    std::string head(12, '\0');
    std::ifstream(out, std::ios::binary).read(head.data(), 12);
    const uint64_t size = fs::file_size(out);
    EXPECT_EQ(head.substr(8, 4), "ACON");
    EXPECT_EQ(le32(head, 4) + uint64_t{8}, size);
    EXPECT_GT(size, c.exe == optimizeExe ? 2u * 4096 * 4096 : 2u * 8 * 8 * 3);
  }
  fs::remove(out);
}

// ---- Sizes and static cursors ----------------------------------------------

// A frame as the test draws it, top row first: 0x00RRGGBB with magenta where
// the settings make it transparent, or (`argb`) a 32-bit frame's own alpha
// in the top byte.
struct Picture {
  int32_t w, h;
  std::vector<uint32_t> px;
  bool argb = false;
  uint32_t alpha(int32_t x, int32_t y) const {
    const uint32_t v = px[static_cast<size_t>(y) * w + x];
    return argb ? v >> 24 : v == 0xFF00FF ? 0 : 255;
  }
  uint32_t at(int32_t x, int32_t y) const { return px[static_cast<size_t>(y) * w + x] & 0xFFFFFF; }
};

// What a square picture of `side` must hold, worked out in floating point
// from the areas each of its pixels covers: (alpha << 24) | colour.
uint32_t expectedSized(const Picture& p, int32_t side, int32_t x, int32_t y) {
  const int32_t longer = std::max(p.w, p.h);
  const auto scaled = [&](int32_t n) {
    return n == longer ? side
                       : std::max(1, static_cast<int32_t>(std::lround(double(n) * side / longer)));
  };
  const int32_t w = scaled(p.w), h = scaled(p.h);
  const int32_t px = x - (side - w) / 2, py = y - (side - h) / 2;
  if (px < 0 || py < 0 || px >= w || py >= h) return 0;
  if (side >= longer) {  // enlarged (or copied): the pixel under the centre
    const int32_t sx = (2 * px + 1) * p.w / (2 * w), sy = (2 * py + 1) * p.h / (2 * h);
    return p.alpha(sx, sy) == 0 ? 0 : p.alpha(sx, sy) << 24 | p.at(sx, sy);
  }
  const double x0 = double(px) * p.w / w, x1 = double(px + 1) * p.w / w;
  const double y0 = double(py) * p.h / h, y1 = double(py + 1) * p.h / h;
  double area = 0, shown = 0, c[3] = {};
  for (int32_t sy = 0; sy < p.h; ++sy) {
    for (int32_t sx = 0; sx < p.w; ++sx) {
      const double a = std::max(0.0, std::min(x1, sx + 1.0) - std::max(x0, double(sx))) *
                       std::max(0.0, std::min(y1, sy + 1.0) - std::max(y0, double(sy)));
      area += a;
      const double seen = a * p.alpha(sx, sy) / 255;
      shown += seen;
      for (int k = 0; k < 3; ++k) c[k] += seen * ((p.at(sx, sy) >> (8 * k)) & 0xFF);
    }
  }
  const auto alpha = static_cast<uint32_t>(std::lround(255 * shown / area));
  if (alpha == 0) return 0;
  uint32_t out = alpha << 24;
  for (int k = 0; k < 3; ++k) out |= static_cast<uint32_t>(std::lround(c[k] / shown)) << (8 * k);
  return out;
}

TEST_F(BatchTest, SizesGiveEveryFrameSquare32BitPicturesAndCurFilesAreStaticCursors) {
  const uint32_t M = 0xFF00FF, R = 0xC02010, B = 0x2040E0, G = 0x30A060;
  // 8-bit, 6 x 4: magenta around two colours.
  const Picture wide{
      6, 4, {M, M, M, M, M, M, M, R, R, B, B, M, M, R, G, B, B, M, M, M, M, M, M, M}};
  // 24-bit, 4 x 4 pixel art with a transparent corner.
  const Picture art{4, 4, {M, R, B, G, R, B, G, R, B, G, R, B, G, R, B, G}};
  // 24-bit, 8 x 8: one colour on a transparent surround.
  Picture solid{8, 8, std::vector<uint32_t>(64, M)};
  for (int32_t y = 2; y < 7; ++y)
    for (int32_t x = 1; x < 6; ++x) solid.px[static_cast<size_t>(y) * 8 + x] = 0x3366CC;
  const auto write = [&](const Picture& p, const char* name, bool eightBit) {
    BmpLayout layout;
    layout.width = p.w;
    layout.height = p.h;
    std::vector<uint32_t> values = p.px;
    if (eightBit) {
      layout.bitCount = 8;
      for (uint32_t& v : values) {
        const auto found = std::find(layout.palette.begin(), layout.palette.end(), v);
        if (found == layout.palette.end()) layout.palette.push_back(v);
        v = static_cast<uint32_t>(std::find(layout.palette.begin(), layout.palette.end(), v) -
                                  layout.palette.begin());
      }
      layout.palette.resize(256);  // 8-bit frames carry a whole palette
    }
    const std::string path = output(name);
    EXPECT_TRUE(writeFileBytes(path, makeBmp(layout, values)));
    return path;
  };
  const std::string wide8 = write(wide, "wide8.bmp", true);
  const std::string art24 = write(art, "art24.bmp", false);
  const std::string solid24 = write(solid, "solid24.bmp", false);
  // 32-bit, 6 x 6: alpha of its own, from clear through half to opaque.
  Picture halves{6, 6, {}, true};
  for (int32_t i = 0; i < 36; ++i) {
    const uint32_t a = static_cast<uint32_t>(i % 5) * 255 / 4;
    halves.px.push_back(a == 0 ? 0 : a << 24 | (0x102030u * static_cast<uint32_t>(i % 7 + 1)));
  }
  const std::string halves32 = [&] {
    BmpLayout layout;
    layout.width = layout.height = 6;
    layout.bitCount = 32;
    const std::string path = output("halves32.bmp");
    EXPECT_TRUE(writeFileBytes(path, makeBmp(layout, halves.px)));
    return path;
  }();
  // Transparency only, no crop: the pictures keep the frames' proportions.
  static const std::string exe = [] {
    const std::string dir = makeTempDir();
    EXPECT_TRUE(
        writeFileBytes(dir + "/kinetor.ini", crlfLines({"[Trans]", "[TransColors]", "FF00FF"})));
    return copyProgramInto(dir);
  }();

  struct Image {
    int32_t side;
    uint16_t hotX, hotY;
  };
  struct Case {
    const char* what;
    const char* result;
    std::vector<std::pair<std::string, const Picture*>> frames;
    std::vector<std::string> sections;
    std::string refusal;        // empty: the file is written
    uint16_t staticType;        // 0: an animation
    std::vector<Image> images;  // of every frame, in file order; empty: as given
  } cases[] = {
      {"8-bit, non-square: larger, equal, smaller; hotspot scaled",
       "wide.anim",
       {{wide8, &wide}, {wide8, &wide}},
       {"[Hotspot]", "3,2", "[Sizes]", "6, 3, 12"},
       "",
       0,
       {{12, 6, 6}, {6, 3, 3}, {3, 1, 1}}},
      {"24-bit pixel art: whole and uneven enlargements, a copy",
       "art.anim",
       {{art24, &art}, {art24, &art}},
       {"[sizes]", " 4 ,12,8,6 ", "[Hotspot]", "3,3"},
       "",
       0,
       {{12, 9, 9}, {8, 6, 6}, {6, 4, 4}, {4, 3, 3}}},
      {"one colour shrunk by uneven ratios: no fringe",
       "solid.anim",
       {{solid24, &solid}, {art24, &art}},
       {"[Sizes]", "3,5,7"},
       "",
       0,
       {{7, 0, 0}, {5, 0, 0}, {3, 0, 0}}},
      {"32-bit frames with alpha of their own",
       "halves.anim",
       {{halves32, &halves}, {halves32, &halves}},
       {"[Sizes]", "4, 6, 9"},
       "",
       0,
       {{9, 0, 0}, {6, 0, 0}, {4, 0, 0}}},
      {"a .cur of one frame: a static cursor at each size",
       "static.cur",
       {{solid24, &solid}},
       {"[Hotspot]", "3,4", "[Sizes]", "16, 32"},
       "",
       2,
       {{32, 12, 16}, {16, 6, 8}}},
      {"a .CUR of one frame without sizes: the frame as it is",
       "plain.CUR",
       {{art24, &art}},
       {"[Hotspot]", "1,2"},
       "",
       2,
       {}},
      {"a .cur of two frames is an animation",
       "two.cur",
       {{art24, &art}, {art24, &art}},
       {},
       "",
       0,
       {}},
      {"size 0",
       "x.anim",
       {{art24, &art}, {art24, &art}},
       {"[Sizes]", "0, 32"},
       "Bad build script: [Sizes]: 0, 32",
       0,
       {}},
      {"size 257",
       "x.anim",
       {{art24, &art}, {art24, &art}},
       {"[Sizes]", "257"},
       "Bad build script: [Sizes]: 257",
       0,
       {}},
      {"a repeat",
       "x.anim",
       {{art24, &art}, {art24, &art}},
       {"[Sizes]", "32,48,32"},
       "Bad build script: [Sizes]: 32,48,32",
       0,
       {}},
      {"nine sizes",
       "x.anim",
       {{art24, &art}, {art24, &art}},
       {"[Sizes]", "1,2,3,4,5,6,7,8,9"},
       "Bad build script: [Sizes]: 1,2,3,4,5,6,7,8,9",
       0,
       {}},
      {"no comma",
       "x.anim",
       {{art24, &art}, {art24, &art}},
       {"[Sizes]", "32 48"},
       "Bad build script: [Sizes]: 32 48",
       0,
       {}},
      {"a trailing comma",
       "x.anim",
       {{art24, &art}, {art24, &art}},
       {"[Sizes]", "32,"},
       "Bad build script: [Sizes]: 32,",
       0,
       {}},
      {"no line",
       "x.anim",
       {{art24, &art}, {art24, &art}},
       {"[Sizes]"},
       "Bad build script: [Sizes]: no line of sizes",
       0,
       {}},
      {"a static cursor with a rate",
       "x.cur",
       {{art24, &art}},
       {"[Rate]", "5"},
       "Bad build script: [Rate]: a static cursor has no steps, timing or texts",
       0,
       {}},
      {"a static cursor with a sequence",
       "x.cur",
       {{art24, &art}},
       {"[Sequence]", "1"},
       "Bad build script: [Sequence]: a static cursor has no steps, timing or texts",
       0,
       {}},
      {"a static cursor with a title",
       "x.cur",
       {{art24, &art}},
       {"[Title]", "t"},
       "Bad build script: [Title]: a static cursor has no steps, timing or texts",
       0,
       {}},
      {"a static cursor with an author",
       "x.cur",
       {{art24, &art}},
       {"[Author]"},
       "Bad build script: [Author]: a static cursor has no steps, timing or texts",
       0,
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string out = output(c.result);
    std::vector<std::string> lines = {"[Result]", out, "[BMP]"};
    for (const auto& f : c.frames) lines.push_back(f.first);
    lines.insert(lines.end(), c.sections.begin(), c.sections.end());
    const std::string script = writeScript(crlfLines(lines));
#ifdef _WIN32
    // A refusal would wait for its message box: the batch entry runs here,
    // with the same settings.
    resetAppState();
    appState.optTransparent = 1;
    appState.transColors[0] = 0xFF00FF;
    appState.transCount = 1;
    const bool written = runBatchScript(script.c_str());
    releaseAllPreviews();
    const std::vector<ShownError> shown = takeShownErrors();
    const Refusal r{written ? 1 : 2, shown.empty() ? "" : shown[0].caption + ": " + shown[0].text};
#else
    const ProcessResult run = runKinetorAt(exe, script, 30);
    const Refusal r{run.exitCode, run.errorOutput.substr(0, run.errorOutput.find('\n'))};
#endif
    if (!c.refusal.empty()) {
      EXPECT_EQ(r.exitCode, 2);
      EXPECT_EQ(r.message, c.refusal);
      EXPECT_FALSE(fileExists(out));
      continue;
    }
    ASSERT_EQ(r.exitCode, 1) << r.message;
    const std::string bytes = readFileBytes(out);
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    AniFile file;
    readAniFile(data, bytes.size(), file);
    ASSERT_EQ(aniVerdict(file), 0);
    EXPECT_EQ(file.staticType, c.staticType);
    ASSERT_EQ(file.frames.size(), c.frames.size());
    for (size_t k = 0; k < c.frames.size(); ++k) {
      const Picture& p = *c.frames[k].second;
      const std::vector<AniImage>& images = file.frames[k].images;
      if (c.images.empty()) {
        ASSERT_EQ(images.size(), 1u);
        EXPECT_EQ(images[0].width, p.w);
        EXPECT_NE(images[0].depth, 32u);
        continue;
      }
      ASSERT_EQ(images.size(), c.images.size());
      for (size_t i = 0; i < images.size(); ++i) {
        const Image& want = c.images[i];
        const AniImage& got = images[i];
        SCOPED_TRACE("frame " + std::to_string(k) + ", side " + std::to_string(want.side));
        ASSERT_EQ(got.width, want.side);
        ASSERT_EQ(got.height, want.side);
        EXPECT_EQ(got.depth, 32u);
        if (k == 0) {
          EXPECT_EQ(got.entry.hotspotX, want.hotX);
          EXPECT_EQ(got.entry.hotspotY, want.hotY);
        }
        std::vector<uint32_t> colour(static_cast<size_t>(want.side) * want.side);
        std::vector<uint8_t> mask(colour.size());
        ASSERT_TRUE(decodeAniFrame(data, bytes.size(), got, colour.data(), mask.data()));
        const bool oneColour = &p == &solid;
        int wrong = 0;
        for (int32_t y = 0; y < want.side; ++y) {
          for (int32_t x = 0; x < want.side; ++x) {
            const uint32_t is = colour[static_cast<size_t>(y) * want.side + x];
            const uint32_t expected = expectedSized(p, want.side, x, y);
            const bool masked = mask[static_cast<size_t>(y) * want.side + x] != 0;
            bool right = masked == (is >> 24 == 0) && (is >> 24 != 0 || is == 0);
            for (int shift = 0; shift < 32; shift += 8) {
              right = right &&
                      std::abs(int((is >> shift) & 0xFF) - int((expected >> shift) & 0xFF)) <= 1;
            }
            if (oneColour && is >> 24 != 0) right = right && (is & 0xFFFFFF) == 0x3366CC;
            if (!right && wrong++ < 4) {
              ADD_FAILURE() << x << "," << y << ": " << std::hex << is << " (mask " << masked
                            << "), expected " << expected;
            }
          }
        }
      }
    }
  }
}

// ---- In this process ---------------------------------------------------------

// The batch keeps its frames to itself: the editor's list stays empty
// whatever the run does, and LeakSanitizer sees every path read given back.
TEST_F(BatchTest, TheBatchLeavesTheEditorsListAlone) {
  const std::string stopped = output("in-process-stopped.anim");
  const std::string good = output("in-process.anim");
  std::vector<std::string> all = {"[Result]", good, "[BMP]"};
  for (const auto& f : *frames_) all.push_back(f);
  struct Case {
    std::string script;
    bool written;
    std::vector<ShownError> shown;
  } cases[] = {
      {writeScript(crlfLines({"[Result]", stopped, "[BMP]", (*frames_)[0], "  ", (*frames_)[1]})),
       false,
       {{"Can't load file", ""}}},
      {writeScript(crlfLines(all)), true, {}},
      {writeScript(crlfLines({"[Result]", output("x.anim"), "[BMP]", "a.bmp"})), false, {}},
      {"", false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    EXPECT_EQ(runBatchScript(c.script.c_str()), c.written);
    EXPECT_EQ(takeShownErrors(), c.shown);
    EXPECT_EQ(appState.frameCount, 0);
    EXPECT_EQ(appState.frameTable[0].path, nullptr);
  }
  EXPECT_FALSE(runBatchScript(nullptr));
  EXPECT_FALSE(fileExists(stopped));
  Cursor cursor = parseCursor(readFileBytes(good));
  ASSERT_TRUE(cursor.valid) << cursor.problem;
  EXPECT_EQ(cursor.frameCount, 4u);
}

}  // namespace
