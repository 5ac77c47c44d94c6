#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "app/command_line.h"

namespace {

struct CommandLineCase {
  const char* line;
  bool hasArgument;
  const char* argument;
};

TEST(SkipProgramName, FindsTheArgumentPartAsWindowsGivesIt) {
  const CommandLineCase cases[] = {
      {"kinetor.exe", false, ""},
      {"kinetor.exe ", true, ""},
      {"\"C:\\Program Files\\kinetor.exe\" C:\\my files\\a.txt", true, "C:\\my files\\a.txt"},
      {"kinetor.exe  script.txt", true, " script.txt"},
      {"kinetor.exe \"C:\\a b\\s.txt\"", true, "\"C:\\a b\\s.txt\""},
      {"\"C:\\never closed.exe script.txt", false, ""},
      {" \"\" \"\"  kinetor.exe s.txt", true, "s.txt"},
      {"C:\\\"odd dir\"\\k.exe x", true, "x"},
      {"k.exe\tx y", true, "x y"},
      {"", false, ""},
      {"   ", false, ""},
  };
  for (const auto& c : cases) {
    std::string buffer = c.line;
    char* arg = skipProgramName(buffer.data());
    if (!c.hasArgument) {
      EXPECT_EQ(arg, nullptr) << c.line;
    } else {
      ASSERT_NE(arg, nullptr) << c.line;
      EXPECT_STREQ(arg, c.argument) << c.line;
    }
  }
  EXPECT_EQ(skipProgramName(nullptr), nullptr);
}

TEST(UnquoteArgument, TakesTheQuotesOffOnePathInQuotesOnly) {
  const std::pair<const char*, const char*> cases[] = {
      {"\"C:\\my files\\s.txt\"", "C:\\my files\\s.txt"},
      {"\"C:\\a b\\s.txt\"  \t", "C:\\a b\\s.txt"},  // blanks after the closing quote
      {"C:\\my files\\s.txt", "C:\\my files\\s.txt"},
      {" \"C:\\s.txt\"", " \"C:\\s.txt\""},  // a blank first: not one quoted path
      {"\"C:\\s.txt", "\"C:\\s.txt"},        // never closed
      {"\"", "\""},
      {"\"\"", ""},
      {"", ""},
  };
  for (const auto& [line, argument] : cases) {
    std::string buffer = line;
    EXPECT_STREQ(unquoteArgument(buffer.data()), argument) << line;
  }
  EXPECT_EQ(unquoteArgument(nullptr), nullptr);
}

}  // namespace
