// The settings file: what a save writes byte for byte, what a load makes of
// written and hand-written files, and the limits of the program directory.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <iterator>
#include <string>

#include "base/temp_name.h"
#include "platform/platform.h"
#include "support/process.h"
#include "ui/settings_state.h"
#include "ui/state.h"

namespace fs = std::filesystem;

namespace {

class SettingsTest : public testing::Test {
 protected:
  void SetUp() override {
    resetAppState();
    dir_ = makeTempDir();
    useDir(dir_);
  }
  // Points programDir at `dir`, with the separator the program expects.
  static void useDir(const std::string& dir) {
    std::string withSeparator = dir + "/";
    ASSERT_LT(withSeparator.size(), static_cast<size_t>(kPathCapacity));
    std::memcpy(appState.programDir, withSeparator.c_str(), withSeparator.size() + 1);
  }
  std::string settingsFile() const { return dir_ + "/kinetor.ini"; }
  std::string dir_;
};

struct SaveCase {
  const char* what;
  uint8_t merge, replace, transparent, optimize;
  std::vector<uint32_t> trans;
  std::vector<uint32_t> replaceColors;
  std::string file;
};

void setLists(const std::vector<uint32_t>& trans, const std::vector<uint32_t>& replace) {
  appState.transCount = static_cast<int32_t>(trans.size());
  for (size_t i = 0; i < trans.size(); ++i) appState.transColors[i] = trans[i];
  appState.replaceCount = static_cast<int32_t>(replace.size());
  for (size_t i = 0; i < replace.size(); ++i) appState.replaceColors[i] = replace[i];
}

TEST_F(SettingsTest, SaveWritesTheSectionsInTheirOrderWithUpperCaseHex) {
  const SaveCase cases[] = {
      {"everything off", 0, 0, 0, 0, {}, {}, ""},
      {"merge, transparent magenta, red to blue",
       1,
       0,
       1,
       0,
       {0xFF00FF},
       {0xFF, 0xFF0000},
       "[Fix]\r\n[Trans]\r\n[TransColors]\r\nFF00FF\r\n[ReplaceColor]\r\nFF\r\nFF0000\r\n"},
      {"all switches, no colours", 1, 1, 1, 1, {}, {}, "[Fix]\r\n[Rpl]\r\n[Trans]\r\n[Resize]\r\n"},
      {"lists without switches, black and odd count",
       0,
       0,
       0,
       0,
       {0, 0xABCDEF, 0xFFFFFFFF},
       {1, 2, 0x00A0B0C0},
       "[TransColors]\r\n0\r\nABCDEF\r\nFFFFFFFF\r\n[ReplaceColor]\r\n1\r\n2\r\nA0B0C0\r\n"},
      {"optimize only", 0, 0, 0, 1, {}, {}, "[Resize]\r\n"},
      {"replace only", 0, 1, 0, 0, {}, {0x10, 0x20}, "[Rpl]\r\n[ReplaceColor]\r\n10\r\n20\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    appState.optMerge = c.merge;
    appState.optReplace = c.replace;
    appState.optTransparent = c.transparent;
    appState.optOptimize = c.optimize;
    setLists(c.trans, c.replaceColors);
    ASSERT_TRUE(saveSettings());
    EXPECT_EQ(readFileBytes(settingsFile()), c.file);
    EXPECT_FALSE(fileExists(dir_ + "/kinetor.tmp"));
  }
}

TEST_F(SettingsTest, ASavedFileReadsBackTheSame) {
  appState.optMerge = 1;
  appState.optOptimize = 1;
  appState.optTransparent = 1;
  std::vector<uint32_t> trans, replace;
  for (uint32_t i = 0; i < 255; ++i) trans.push_back(i * 0x010203u);
  for (uint32_t i = 0; i < 7; ++i) replace.push_back(0xFFFFFF - i);
  setLists(trans, replace);
  ASSERT_TRUE(saveSettings());
  const AppState saved = appState;

  resetAppState();
  useDir(dir_);
  appState.frameCount = 9;
  ASSERT_TRUE(readSettingsFile());
  EXPECT_EQ(appState.optMerge, 1);
  EXPECT_EQ(appState.optReplace, 0);
  EXPECT_EQ(appState.optTransparent, 1);
  EXPECT_EQ(appState.optOptimize, 1);
  ASSERT_EQ(appState.transCount, 255);
  ASSERT_EQ(appState.replaceCount, 7);
  EXPECT_EQ(std::memcmp(appState.transColors, saved.transColors, sizeof saved.transColors), 0);
  EXPECT_EQ(std::memcmp(appState.replaceColors, saved.replaceColors, 7 * 4), 0);
}

struct LoadCase {
  const char* what;
  std::string file;
  uint8_t merge, replace, transparent, optimize;
  std::vector<uint32_t> trans;
  int replaceCount;
};

TEST_F(SettingsTest, LoadAcceptsTheWholeSectionSyntax) {
  std::string threeHundred = "[TransColors]\r\n";
  for (int i = 0; i < 300; ++i) threeHundred += "A" + std::to_string(i % 10) + "\r\n";
  std::vector<uint32_t> first255;
  for (int i = 0; i < 255; ++i) first255.push_back(0xA0u + static_cast<uint32_t>(i % 10));

  const LoadCase cases[] = {
      {"lower-case headers", "[trans]\r\n[transcolors]\r\nff00ff\r\n", 0, 0, 1, 0, {0xFF00FF}, 0},
      {"300 colours give 255", threeHundred, 0, 0, 0, 0, first255, 0},
      {"three replace lines", "[ReplaceColor]\r\n1\r\n2\r\n3\r\n", 0, 0, 0, 0, {}, 3},
      {"switch bodies ignored, any order, comments",
       "; settings\r\n[Resize]\r\nnonsense\r\n[Fix] on\r\n[TransColors]\r\n# c\r\n  00FF00 g\r\n",
       1,
       0,
       0,
       1,
       {0x00FF00},
       0},
      {"first of two headers wins",
       "[TransColors]\r\n1\r\n[TransColors]\r\n2\r\n3\r\n",
       0,
       0,
       0,
       0,
       {1},
       0},
      {"LF-only line ends", "[Rpl]\n[TransColors]\nFF\nFE\n", 0, 1, 0, 0, {0xFF, 0xFE}, 0},
      {"a header written [Trans ] is not the switch", "[Trans ]\r\n", 0, 0, 0, 0, {}, 0},
      {"[TransColors] alone does not switch transparency on",
       "[TransColors]\r\n1\r\n",
       0,
       0,
       0,
       0,
       {1},
       0},
      {"binary junk", std::string("\0\xFF[\x01\r\n]]\n\r[Fix", 13), 0, 0, 0, 0, {}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    resetAppState();
    useDir(dir_);
    ASSERT_TRUE(writeFileBytes(settingsFile(), c.file));
    EXPECT_TRUE(readSettingsFile());
    EXPECT_EQ(appState.optMerge, c.merge);
    EXPECT_EQ(appState.optReplace, c.replace);
    EXPECT_EQ(appState.optTransparent, c.transparent);
    EXPECT_EQ(appState.optOptimize, c.optimize);
    ASSERT_EQ(appState.transCount, static_cast<int32_t>(c.trans.size()));
    for (size_t i = 0; i < c.trans.size(); ++i) EXPECT_EQ(appState.transColors[i], c.trans[i]);
    EXPECT_EQ(appState.replaceCount, c.replaceCount);
  }
}

TEST_F(SettingsTest, AnEmptyOrMissingFileLeavesTheZeroState) {
  ASSERT_TRUE(saveSettings());  // all off: a 0-byte file
  EXPECT_EQ(readFileBytes(settingsFile()), "");
  EXPECT_TRUE(fileExists(settingsFile()));
  EXPECT_FALSE(readSettingsFile());
  EXPECT_EQ(appState.optTransparent, 0);
  EXPECT_EQ(appState.transCount, 0);

  fs::remove(settingsFile());
  EXPECT_FALSE(readSettingsFile());
  EXPECT_EQ(appState.optMerge, 0);
  EXPECT_EQ(appState.replaceCount, 0);
}

TEST_F(SettingsTest, ASaveWritesThroughNoLinkAndKeepsFilesWholeWhenItFails) {
  const std::string old = "[Fix]\r\n[TransColors]\r\nFF00FF\r\n";
  const std::string victim = dir_ + "/victim.txt";
  ASSERT_TRUE(writeFileBytes(settingsFile(), old));
  ASSERT_TRUE(writeFileBytes(victim, "keep"));
  // Names in the way of the save's own file: the fixed name of old versions
  // and this process's first names, as a file, a directory and links.
  std::vector<std::string> inTheWay = {dir_ + "/kinetor.tmp"};
  char name[kTempPathCapacity];
  for (uint32_t n = 0; n < 4; ++n) {
    ASSERT_TRUE(tempNameBeside(settingsFile().c_str(), n, name));
    inTheWay.push_back(name);
  }
  for (size_t i = 0; i < inTheWay.size(); ++i) {
#ifndef _WIN32
    if (i % 2 == 0) {
      fs::create_symlink(victim, inTheWay[i]);
      continue;
    }
#endif
    if (i == 1) {
      fs::create_directory(inTheWay[i]);
    } else {
      ASSERT_TRUE(writeFileBytes(inTheWay[i], "left"));
    }
  }
  appState.optOptimize = 1;
  ASSERT_TRUE(saveSettings());
  // A longer old file is replaced whole by a shorter new one.
  EXPECT_EQ(readFileBytes(settingsFile()), "[Resize]\r\n");
  EXPECT_EQ(readFileBytes(victim), "keep");
  for (const auto& path : inTheWay) EXPECT_TRUE(fs::exists(fs::symlink_status(path))) << path;
  const size_t names =
      static_cast<size_t>(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
  EXPECT_EQ(names, inTheWay.size() + 2) << "the save left a file of its own behind";

#ifndef _WIN32
  // A link at the settings name itself is replaced, not written through.
  fs::remove(settingsFile());
  fs::create_symlink(victim, settingsFile());
  ASSERT_TRUE(saveSettings());
  EXPECT_FALSE(fs::is_symlink(settingsFile()));
  EXPECT_EQ(readFileBytes(victim), "keep");
#endif

  // A directory holding a file where the settings belong: the save fails,
  // leaves it as it was and leaves no file of its own behind.
  fs::remove(settingsFile());
  fs::create_directory(settingsFile());
  ASSERT_TRUE(writeFileBytes(settingsFile() + "/inside", old));
  EXPECT_FALSE(saveSettings());
  EXPECT_EQ(readFileBytes(settingsFile() + "/inside"), old);
  EXPECT_EQ(
      static_cast<size_t>(std::distance(fs::directory_iterator(dir_), fs::directory_iterator())),
      names);

  // A directory that does not exist: nothing is written anywhere.
  useDir(dir_ + "/no/such/dir");
  EXPECT_FALSE(saveSettings());
  EXPECT_FALSE(fileExists(dir_ + "/no"));
}

TEST_F(SettingsTest, AProgramDirectoryTooLongForThePathIsNeitherReadNorWritten) {
  // Exactly the longest directory for which "kinetor.ini" still fits in 259
  // characters, and one character more.
  const size_t longest = kPathCapacity - 1 - std::strlen(settingsFileName);
  std::string dir = dir_;
  while (dir.size() + 1 < longest) {
    const size_t remaining = longest - 1 - dir.size();  // a separator and a name
    const size_t name = remaining > 62 ? 60 : remaining - 1;
    dir += "/" + std::string(name, 'd');
    ASSERT_TRUE(fs::create_directories(dir)) << dir;
  }
  ASSERT_EQ(dir.size() + 1, longest);

  useDir(dir);
  char path[kPathCapacity];
  ASSERT_TRUE(settingsFilePath(path));
  EXPECT_EQ(std::strlen(path), static_cast<size_t>(kPathCapacity - 1));
  appState.optTransparent = 1;
  ASSERT_TRUE(saveSettings());
  EXPECT_EQ(readFileBytes(dir + "/kinetor.ini"), "[Trans]\r\n");
  appState.optTransparent = 0;
  ASSERT_TRUE(readSettingsFile());
  EXPECT_EQ(appState.optTransparent, 1);

  // One character more: the path would not fit.
  std::string longer = dir + "e";
  ASSERT_TRUE(fs::create_directory(longer));
  ASSERT_TRUE(writeFileBytes(longer + "/kinetor.ini", "[Fix]\r\n"));
  useDir(longer);
  EXPECT_FALSE(settingsFilePath(path));
  EXPECT_STREQ(path, "");
  EXPECT_FALSE(readSettingsFile());
  EXPECT_EQ(appState.optMerge, 0);
  EXPECT_FALSE(saveSettings());
  EXPECT_EQ(readFileBytes(longer + "/kinetor.ini"), "[Fix]\r\n");

  // A programDir that fills its whole buffer is also handled.
  std::memset(appState.programDir, 'x', kPathCapacity - 1);
  appState.programDir[kPathCapacity - 1] = '\0';
  EXPECT_FALSE(settingsFilePath(path));
  EXPECT_FALSE(saveSettings());
}

TEST_F(SettingsTest, StartUpLoadFindsTheExecutablesDirectoryAndClearsTheFrames) {
  appState.frameCount = 17;
  loadSettings();
  EXPECT_EQ(appState.frameCount, 0);
  char exe[kPathCapacity];
  uint32_t length = plat::modulePath(exe, kPathCapacity);
  ASSERT_GT(length, 0u);
  ASSERT_LT(length, static_cast<uint32_t>(kPathCapacity)) << "test path too long for this check";
  const std::string dir = appState.programDir;
  ASSERT_FALSE(dir.empty());
  EXPECT_TRUE(plat::isPathSeparator(dir.back())) << dir;
  EXPECT_EQ(std::string(exe).substr(0, dir.size()), dir);
  EXPECT_EQ(std::string(exe).find_first_of("\\/", dir.size()), std::string::npos) << exe;
}

}  // namespace
