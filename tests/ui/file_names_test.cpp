#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ui/file_names.h"
#include "ui/state.h"

namespace {

TEST(FileNames, NameIsTheTextBehindTheLastSeparator) {
  struct Case {
    const char* path;
    const char* name;
  };
  const Case cases[] = {
      {"C:\\frames\\a.bmp", "a.bmp"},
      {"C:\\a.bmp", "a.bmp"},
      {"a.bmp", "a.bmp"},
      {"\\a.bmp", "a.bmp"},
      {"C:\\dir\\", ""},
      {"/tmp/x/b.bmp", "b.bmp"},
      {"", ""},
      {"C:\\d.x\\noext", "noext"},
  };
  for (const auto& c : cases) {
    EXPECT_STREQ(c.path + fileNamePart(c.path), c.name) << c.path;
  }
}

TEST(FileNames, JoinAddsOneBackslashAndRefusesWhatWouldNotFit) {
  const std::string dir250 = "C:\\" + std::string(247, 'd');
  struct Case {
    std::string directory;
    std::string name;
    bool fits;
    std::string joined;
  };
  const Case cases[] = {
      {"C:\\", "a.bmp", true, "C:\\a.bmp"},
      {"C:\\x", "a.bmp", true, "C:\\x\\a.bmp"},
      {"C:\\x\\", "a.bmp", true, "C:\\x\\a.bmp"},
      {"/tmp/x/", "a.bmp", true, "/tmp/x/a.bmp"},
      // 250 + 1 + 8 = 259 characters fit; one more does not.
      {dir250, "1234.bmp", true, dir250 + "\\1234.bmp"},
      {dir250, "12345.bmp", false, ""},
      {dir250 + "\\", "1234.bmp", true, dir250 + "\\1234.bmp"},
      {dir250 + "\\", "12345.bmp", false, ""},
  };
  for (const auto& c : cases) {
    char out[kPathCapacity];
    std::memset(out, 'x', sizeof out);
    EXPECT_EQ(joinSelectedPath(c.directory.c_str(), c.name.c_str(), out), c.fits) << c.joined;
    EXPECT_EQ(std::string(out), c.joined);
  }
}

TEST(FileNames, AnimNameKeepsAnAnimExtensionOfAnyCaseAndAppendsOtherwise) {
  const std::string long254(254, 'n');
  struct Case {
    std::string chosen;
    Failure result;
    std::string out;
  };
  const Case cases[] = {
      {"C:\\out.anim", Failure::none, "C:\\out.anim"},
      {"C:\\OUT.ANIM", Failure::none, "C:\\OUT.ANIM"},
      {"C:\\out.AnIm", Failure::none, "C:\\out.AnIm"},
      {"C:\\out.bmp", Failure::none, "C:\\out.bmp.anim"},
      {"C:\\out", Failure::none, "C:\\out.anim"},
      {"C:\\out.animx", Failure::none, "C:\\out.animx.anim"},
      {".anim", Failure::none, ".anim"},
      {"anim", Failure::none, "anim.anim"},
      {"abcd", Failure::none, "abcd.anim"},
      {"abc", Failure::nameTooShort, ""},
      {"", Failure::nameTooShort, ""},
      // 254 + 5 = 259 characters fit; 255 + 5 do not.
      {long254, Failure::none, long254 + ".anim"},
      {long254 + "n", Failure::nameTooLong, ""},
      {std::string(254, 'n') + ".anim", Failure::none, std::string(254, 'n') + ".anim"},
  };
  for (const auto& c : cases) {
    char out[kPathCapacity];
    EXPECT_EQ(makeAnimName(c.chosen.c_str(), out), c.result) << c.chosen;
    EXPECT_EQ(std::string(out), c.out) << c.chosen;
  }
}

TEST(FileNames, StartingFolderKeepsTheTextUpToTheLastBackslash) {
  struct Case {
    const char* text;
    const char* folder;
  };
  const Case cases[] = {
      {nullptr, ""},
      {"", ""},
      {"C:\\frames\\a.bmp", "C:\\frames\\"},
      {"C:\\a\\b\\c.anim", "C:\\a\\b\\"},
      // No backslash above position 3: the first four characters.
      {"C:\\a.bmp", "C:\\a"},
      {"abcdefg", "abcd"},
      {"ab", "ab"},
      {"\"C:\\my files\\x.bmp", "C:\\my files\\"},
  };
  for (const auto& c : cases) {
    char out[kPathCapacity];
    std::memset(out, 'x', sizeof out);
    startingFolder(c.text, out);
    EXPECT_STREQ(out, c.folder) << (c.text ? c.text : "(null)");
  }
  // A text longer than a path is cut to 259 characters first.
  const std::string longText = "C:\\" + std::string(300, 'z');
  char out[kPathCapacity];
  startingFolder(longText.c_str(), out);
  EXPECT_STREQ(out, "C:\\z");
}

}  // namespace
