// The section-text reader on texts built here, read both from files (the real
// mapping) and from exact-size heap copies, so that a read one byte past the
// end of a text is caught by the address sanitizer.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/runtime.h"
#include "support/process.h"
#include "support/section_bytes.h"
#include "textfile/section_text.h"
#include "ui/state.h"

namespace {

// An exact-size heap copy of a text, opened as a section text.
class HeapText {
 public:
  explicit HeapText(const std::string& bytes)
      : bytes_(new uint8_t[bytes.size() == 0 ? 1 : bytes.size()]) {
    std::copy(bytes.begin(), bytes.end(), bytes_.get());
    opened_ = openSectionBytes(bytes_.get(), static_cast<uint32_t>(bytes.size()), text_);
  }
  ~HeapText() { closeSectionText(text_); }
  SectionText& text() { return text_; }
  bool opened() const { return opened_; }

 private:
  std::unique_ptr<uint8_t[]> bytes_;
  SectionText text_;
  bool opened_ = false;
};

std::string writeText(const std::string& bytes) {
  static const std::string dir = makeTempDir();
  static int counter = 0;
  std::string path = dir + "/text" + std::to_string(counter++) + ".txt";
  EXPECT_TRUE(writeFileBytes(path, bytes));
  return path;
}

std::vector<std::string> lineValues(const char* text, const char* section, int maxCount) {
  HeapText heap(text);
  EXPECT_TRUE(heap.opened());
  std::vector<std::string> values;
  if (!findSection(section, heap.text())) return {"<not found>"};
  std::vector<FrameRecord> records(static_cast<size_t>(maxCount));
  int count = readLineList(records.data(), heap.text(), maxCount);
  for (int i = 0; i < count; ++i) {
    values.push_back(records[i].path ? records[i].path : "<null>");
    freeBlock(records[i].path);
  }
  return values;
}

std::vector<uint32_t> hexValues(const std::string& text, const char* section) {
  HeapText heap(text);
  EXPECT_TRUE(heap.opened());
  if (!findSection(section, heap.text())) return {0xDEADBEEF};
  uint32_t values[kMaxEntries];
  int count = readHexList(values, heap.text());
  return std::vector<uint32_t>(values, values + count);
}

class SectionTextTest : public testing::Test {
 protected:
  void SetUp() override { resetAppState(); }
};

struct FindCase {
  const char* text;
  const char* name;
  bool found;
  const char* body;  // what follows the header line, when found
};

TEST_F(SectionTextTest, FindsHeadersByTheLineRules) {
  const FindCase cases[] = {
      {"[Trans]\r\nFF\r\n", "Trans", true, "FF\r\n"},
      {"[trans]\r\nFF\r\n", "Trans", true, "FF\r\n"},
      {"[TRANS]\r\n", "trans", true, ""},
      {"[ Trans]\r\n", "Trans", false, nullptr},
      {"[Trans ]\r\n", "Trans", false, nullptr},
      // The name must be matched whole; the search goes on to the later header.
      {"[TransColors]\r\nFF\r\n[Trans]\r\n1\r\n", "Trans", true, "1\r\n"},
      {"[TransColors]\r\n", "Trans", false, nullptr},
      {"[Trans] anything here\r\nAB\r\n", "Trans", true, "AB\r\n"},
      {"  \t [Fix]\r\n", "Fix", true, ""},
      {"\n\n\n[Fix]\n1\n", "Fix", true, "1\n"},
      {"x [Fix]\r\n", "Fix", false, nullptr},
      {"[[Fix]\r\n", "Fix", true, ""},
      {"[Other] [Fix]\r\n", "Fix", false, nullptr},
      {"[Fix", "Fix", false, nullptr},
      {"[Fi", "Fix", false, nullptr},
      {"junk\r\n[", "Fix", false, nullptr},
      {"[", "Fix", false, nullptr},
      {"[Fix]", "Fix", true, ""},
      // Only ASCII letters are compared without regard to case.
      {"[Tr@ns]\r\n", "Tr`ns", false, nullptr},
      {"[Tr@ns]\r\n", "TR@NS", true, ""},
      {"[A_1]\r\n", "a_1", true, ""},
      {"[\xC4]\r\n", "\xE4", false, nullptr},
      // The first of two equal headers counts.
      {"[BMP]\r\na\r\n[bmp]\r\nb\r\n", "BMP", true, "a\r\n[bmp]\r\nb\r\n"},
      // CR-only line ends make one line: only a header at the very start.
      {"[Fix]\r[Rpl]\r", "Fix", true, ""},
      {"[Fix]\r[Rpl]\r", "Rpl", false, nullptr},
      // LF-only line ends can be searched.
      {"[Fix]\nA\n[Rpl]\nB\n", "Rpl", true, "B\n"},
      // A line of blanks and then CR counts as a line starting with CR.
      {"  \r\n[Fix]\r\n", "Fix", true, ""},
  };
  for (const auto& c : cases) {
    HeapText heap(c.text);
    ASSERT_TRUE(heap.opened()) << c.text;
    SectionText& t = heap.text();
    bool found = findSection(c.name, t);
    EXPECT_EQ(found, c.found) << "text \"" << c.text << "\" name " << c.name;
    if (found && c.found) {
      std::string body(reinterpret_cast<const char*>(t.sectionStart),
                       t.textSize - static_cast<uint32_t>(t.sectionStart - t.textBase));
      EXPECT_EQ(body, c.body) << c.text;
    }
    if (!found) {
      EXPECT_EQ(t.sectionStart, t.textBase + t.textSize) << c.text;
    }
  }
}

struct HexCase {
  std::string text;
  std::vector<uint32_t> values;
};

TEST_F(SectionTextTest, ReadsOneNumberPerLineFromTheLongestHexRun) {
  const HexCase cases[] = {
      {"[C]\r\n0x1F\r\n", {0}},
      {"[C]\r\nff\r\nFF\r\nfF\r\n", {0xFF, 0xFF, 0xFF}},
      {"[C]\r\n   1A ; a comment 77\r\n", {0x1A}},
      {"[C]\r\n123456789\r\n", {0x23456789}},
      {"[C]\r\nFFFFFFFFFF\r\n", {0xFFFFFFFF}},
      {"[C]\r\nFix\r\n", {0xF}},
      {"[C]\r\n;FF\r\n#FF\r\n\r\n   \r\nxyz\r\nAB\r\n", {0xAB}},
      {"[C]\r\n1\r\n[D]\r\n2\r\n", {1}},
      {"[C]\r\n1\r\n  [not a header\r\n2\r\n", {1}},
      {"[C]\r\nFF00FF", {0xFF00FF}},  // last line without line end
      {"[C]", {}},
      {"[C]\r\n", {}},
      {"[C]\n10\n20\n", {0x10, 0x20}},
      {"[C]\r10\r20\r", {}},  // CR only: the body is empty
      {"[C]\r\n\t 0\r\n", {0}},
      {std::string("[C]\r\n\0"
                   "5\r\n",
                   9),
       {5}},  // NUL is a blank
  };
  for (const auto& c : cases) {
    EXPECT_EQ(hexValues(c.text, "C"), c.values) << c.text;
  }
}

TEST_F(SectionTextTest, NumberListStopsAtTheLimitAndLeavesTheRestAlone) {
  std::string text = "[C]\r\n";
  for (int i = 1; i <= 300; ++i) text += std::to_string(i) + "\r\n";
  HeapText heap(text);
  ASSERT_TRUE(findSection("C", heap.text()));
  uint32_t values[kMaxEntries];
  EXPECT_EQ(readHexList(values, heap.text()), 255);
  EXPECT_EQ(values[0], 0x1u);
  EXPECT_EQ(values[254], 0x255u);  // decimal digits read as hexadecimal

  // Entries beyond a short list keep what they held.
  HeapText small("[C]\r\n7\r\n");
  ASSERT_TRUE(findSection("C", small.text()));
  for (auto& v : values) v = 0xABCDEF;
  EXPECT_EQ(readHexList(values, small.text()), 1);
  EXPECT_EQ(values[0], 7u);
  EXPECT_EQ(values[1], 0xABCDEFu);
  EXPECT_EQ(values[254], 0xABCDEFu);
  // Reading does not move the section: the same list can be read again.
  EXPECT_EQ(readHexList(values, small.text()), 1);
}

struct LineCase {
  std::string text;
  int maxCount;
  std::vector<std::string> values;
};

TEST_F(SectionTextTest, ReadsOneValuePerLineTrimmedAndCut) {
  const std::string longValue(300, 'p');
  const std::string cutBlanks = std::string(255, 'q') + "    " + "tail";  // 263 characters
  const LineCase cases[] = {
      {"[B]\r\na.bmp\r\n\r\nb.bmp\r\n", 255, {"a.bmp", "", "b.bmp"}},
      {"[B]\r\n  lead and trail \t \r\n", 255, {"lead and trail"}},
      {"[B]\r\nC:\\my dir\\x.bmp\r\n[R]\r\nout\r\n", 255, {"C:\\my dir\\x.bmp"}},
      {"[B]\r\n" + longValue + "\r\n", 255, {std::string(259, 'p')}},
      // Cut first, then trimmed: the blanks before the cut go too.
      {"[B]\r\n" + cutBlanks + "\r\n", 255, {std::string(255, 'q')}},
      // LF-only line ends give the values of CR LF ends, an empty line too;
      // CR-only ends still make one line.
      {"[B]\na\nb\n\n", 255, {"a", "b", ""}},
      {"[B]\n  a \n \nb", 255, {"a", "", "b"}},
      {"[B]\ra\rb\r", 255, {}},
      {"[B]\r\na\r\n   ", 255, {"a"}},
      {"[B]\r\na\r\n   \r\n", 255, {"a", ""}},
      {"[B]\r\nlast", 255, {"last"}},
      {"[B]\r\n", 255, {}},
      {"[B]", 255, {}},
      {"[B]\r\none\r\ntwo\r\n", 1, {"one"}},
      {"[B]\r\n\xE9t\xE9.bmp\r\n", 255, {"\xE9t\xE9.bmp"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(lineValues(c.text.c_str(), "B", c.maxCount), c.values) << c.text;
  }
}

TEST_F(SectionTextTest, LineListStopsAtTheMaximumCount) {
  std::string text = "[B]\r\n";
  for (int i = 0; i < 300; ++i) text += "f" + std::to_string(i) + ".bmp\r\n";
  std::vector<std::string> values = lineValues(text.c_str(), "B", kMaxEntries);
  ASSERT_EQ(values.size(), 255u);
  EXPECT_EQ(values.front(), "f0.bmp");
  EXPECT_EQ(values.back(), "f254.bmp");
}

TEST_F(SectionTextTest, ValuesAreZeroTerminatedBlocksOfAPathsCapacity) {
  HeapText heap("[B]\r\nab\r\n");
  ASSERT_TRUE(findSection("B", heap.text()));
  FrameRecord records[1] = {};
  ASSERT_EQ(readLineList(records, heap.text(), 1), 1);
  ASSERT_NE(records[0].path, nullptr);
  // The block is zero-filled behind the value, up to its 260th byte.
  for (int i = 2; i < kPathCapacity; ++i) ASSERT_EQ(records[0].path[i], '\0') << i;
  freeBlock(records[0].path);
}

TEST_F(SectionTextTest, RefusedAllocationLeavesANullPathAndCountsTheLine) {
  HeapText heap("[B]\r\na\r\nb\r\n");
  ASSERT_TRUE(findSection("B", heap.text()));
  FrameRecord records[2] = {};
  AllocGate old = setAllocGate([](uint64_t) { return false; });
  int count = readLineList(records, heap.text(), 2);
  setAllocGate(old);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(records[0].path, nullptr);
  EXPECT_EQ(records[1].path, nullptr);
}

TEST_F(SectionTextTest, OpensFilesAndRefusesWhatCannotBeRead) {
  SectionText t;
  EXPECT_FALSE(openSectionText(nullptr, t));
  closeSectionText(t);
  EXPECT_FALSE(openSectionText("", t));
  closeSectionText(t);
  EXPECT_FALSE(openSectionText(writeText("").c_str(), t));
  closeSectionText(t);
  EXPECT_EQ(t.textBase, nullptr);
  EXPECT_FALSE(openSectionText((makeTempDir() + "/missing.txt").c_str(), t));
  closeSectionText(t);
  EXPECT_FALSE(openSectionText(makeTempDir().c_str(), t));  // a directory
  closeSectionText(t);

  std::string path = writeText("[Fix]\r\n[TransColors]\r\nff00ff\r\n");
  ASSERT_TRUE(openSectionText(path.c_str(), t));
  EXPECT_EQ(t.textSize, 30u);
  EXPECT_EQ(t.sectionStart, t.textBase);
  EXPECT_TRUE(findSection("fix", t));
  ASSERT_TRUE(findSection("TRANSCOLORS", t));
  uint32_t values[kMaxEntries];
  EXPECT_EQ(readHexList(values, t), 1);
  EXPECT_EQ(values[0], 0xFF00FFu);
  closeSectionText(t);
  EXPECT_EQ(t.textBase, nullptr);
  EXPECT_EQ(t.fileHandle, plat::kInvalidFile);
  closeSectionText(t);  // closing twice is harmless
}

TEST_F(SectionTextTest, SeesOnlyTheFirst196607BytesOfALongFile) {
  // A section whose header ends right at the cut, and one beyond it.
  std::string text(kMaxSectionTextSize - 7, ';');
  text += "\n[Fix]";  // the cut falls just after "]"
  ASSERT_EQ(text.size(), static_cast<size_t>(kMaxSectionTextSize) - 1);
  text += "\r\n1\r\n[Rpl]\r\n";
  text.resize(300000, ' ');
  text.replace(250000, 7, "[Late]\n");

  for (bool fromFile : {true, false}) {
    SCOPED_TRACE(fromFile ? "file" : "memory");
    SectionText t;
    std::unique_ptr<uint8_t[]> copy;
    if (fromFile) {
      ASSERT_TRUE(openSectionText(writeText(text).c_str(), t));
    } else {
      copy.reset(new uint8_t[text.size()]);
      std::copy(text.begin(), text.end(), copy.get());
      ASSERT_TRUE(openSectionBytes(copy.get(), static_cast<uint32_t>(text.size()), t));
    }
    EXPECT_EQ(t.textSize, kMaxSectionTextSize);
    EXPECT_TRUE(findSection("Fix", t));
    uint32_t values[kMaxEntries];
    EXPECT_EQ(readHexList(values, t), 0);  // the body lies beyond the cut
    EXPECT_FALSE(findSection("Rpl", t));
    EXPECT_FALSE(findSection("Late", t));
    closeSectionText(t);
  }
}

TEST_F(SectionTextTest, ListsOfAClosedOrUnsearchedTextAreEmpty) {
  SectionText t;
  uint32_t values[kMaxEntries];
  EXPECT_FALSE(findSection("Fix", t));
  EXPECT_EQ(readHexList(values, t), 0);
  FrameRecord records[1] = {};
  EXPECT_EQ(readLineList(records, t, 1), 0);
  // Right after opening, lists read from the top of the text.
  HeapText heap("A\r\nB\r\n[Fix]\r\n");
  EXPECT_EQ(readHexList(values, heap.text()), 2);
}

}  // namespace
