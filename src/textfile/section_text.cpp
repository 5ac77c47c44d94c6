#include "textfile/section_text.h"

#include <cassert>
#include <cstring>

#include "base/runtime.h"

namespace {

constexpr uint8_t kCR = 13;
constexpr uint8_t kLF = 10;
// A line value holds at most this many characters (a path and its zero).
constexpr uint32_t kMaxValueLength = kPathCapacity - 1;

// Where a scan stands in a text: the next byte and how many are left. Each
// reading function keeps its own, so nothing outside the call sees it move.
struct Scan {
  const uint8_t* at = nullptr;
  uint32_t left = 0;

  // From `from`, which lies inside the text, to the end of the text.
  Scan(const SectionText& text, const uint8_t* from)
      : at(from), left(text.textSize - static_cast<uint32_t>(from - text.textBase)) {}

  bool atEnd() const { return left == 0; }
  uint8_t current() const { return *at; }
  void advance() {
    assert(left > 0);
    ++at;
    --left;
  }
};

// A line value ends at either byte, so that a text whose lines end in LF
// alone gives the same values as one whose lines end in CR LF.
bool isLineEnd(uint8_t c) { return c == kCR || c == kLF; }

// Blanks are the bytes 0 to 32 except the line ends. Stopping at an LF as
// well as at a CR lets a line of blanks count as an empty line whichever
// way the lines end.
void skipBlanks(Scan& s) {
  while (!s.atEnd() && !isLineEnd(s.current()) && s.current() <= 32) s.advance();
}

void skipToNextLine(Scan& s) {
  while (!s.atEnd()) {
    uint8_t c = s.current();
    s.advance();
    if (c == kLF) return;
  }
}

bool isHexDigit(uint8_t c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

uint32_t hexDigitValue(uint8_t c) {
  if (c <= '9') return c - '0';
  if (c <= 'F') return c - 'A' + 10;
  return c - 'a' + 10;
}

// Of a longer run only the last eight digits count: the higher ones fall off
// the 32-bit value.
uint32_t readHexNumber(Scan& s) {
  uint32_t value = 0;
  while (!s.atEnd() && isHexDigit(s.current())) {
    value = value * 16 + hexDigitValue(s.current());
    s.advance();
  }
  return value;
}

uint8_t asciiLower(uint8_t c) { return (c >= 'A' && c <= 'Z') ? static_cast<uint8_t>(c + 32) : c; }

// Compares the name at the cursor; on a match the cursor moves past it,
// otherwise it stays where it was.
bool matchName(Scan& s, const char* name) {
  const size_t length = std::strlen(name);
  if (length > s.left) return false;
  for (size_t i = 0; i < length; ++i) {
    if (asciiLower(s.at[i]) != asciiLower(static_cast<uint8_t>(name[i]))) {
      return false;
    }
  }
  s.at += length;
  s.left -= static_cast<uint32_t>(length);
  return true;
}

// The value from the cursor up to the next CR or LF (or the end of the
// text), cut to 259 characters and trimmed of trailing bytes of 32 or less.
// The cursor stops on the line end. `cut`, when given, tells whether the
// trimmed value was longer than what is kept.
LineView lineValueView(Scan& s, bool* cut = nullptr) {
  const uint8_t* start = s.at;
  while (!s.atEnd() && !isLineEnd(s.current())) s.advance();
  uint32_t length = static_cast<uint32_t>(s.at - start);
  uint32_t whole = length;
  while (whole > kMaxValueLength && start[whole - 1] <= 32) --whole;
  if (cut != nullptr) *cut = whole > kMaxValueLength;
  if (length > kMaxValueLength) length = kMaxValueLength;
  while (length > 0 && start[length - 1] <= 32) --length;
  return {reinterpret_cast<const char*>(start), length};
}

// The same value in a new 260-byte block; null when the heap refuses.
char* readLineValue(Scan& s, bool& cut) {
  const LineView line = lineValueView(s, &cut);
  auto* value = static_cast<char*>(allocZeroed(kPathCapacity));
  if (value != nullptr && line.length > 0) std::memcpy(value, line.text, line.length);
  return value;
}

}  // namespace

bool openSectionText(const char* fileName, SectionText& text) {
  text = SectionText{};
  if (fileName == nullptr || fileName[0] == '\0') return false;
  text.fileHandle = plat::openForRead(fileName);
  if (text.fileHandle == plat::kInvalidFile) return false;
  int64_t size = plat::fileSize(text.fileHandle);
  if (size < 0) size = 0;
  if (size > kMaxSectionTextSize) size = kMaxSectionTextSize;
  text.textSize = static_cast<uint32_t>(size);
  if (text.textSize == 0) return false;
  text.mappingHandle = plat::createReadMapping(text.fileHandle, text.textSize);
  if (text.mappingHandle == 0) return false;
  text.textBase = plat::mapView(text.mappingHandle, text.textSize);
  text.sectionStart = text.textBase;
  return text.textBase != nullptr;
}

void closeSectionText(SectionText& text) {
  // A text read from memory has no mapping and no file: nothing to give back.
  if (text.textBase != nullptr && text.mappingHandle != 0) {
    plat::unmapView(text.textBase, text.textSize);
  }
  if (text.mappingHandle != 0) plat::closeMapping(text.mappingHandle);
  if (text.fileHandle != plat::kInvalidFile) plat::closeFile(text.fileHandle);
  text = SectionText{};
}

bool findSection(const char* name, SectionText& text) {
  if (text.textBase == nullptr) return false;
  Scan s(text, text.textBase);
  while (!s.atEnd()) {
    skipBlanks(s);
    if (s.atEnd()) break;
    if (s.current() == '[') {
      s.advance();
      if (name != nullptr && matchName(s, name) && !s.atEnd() && s.current() == ']') {
        s.advance();
        skipToNextLine(s);
        text.sectionStart = s.at;
        return true;
      }
      // Not this header: whatever follows is looked at afresh, so a further
      // "[" after blanks is tried as a header of its own.
      continue;
    }
    skipToNextLine(s);
  }
  text.sectionStart = s.at;
  return false;
}

namespace {

// Walks the lines of the body of the section found last. At the first
// non-blank byte of each line it calls take(scan), which reads what it wants
// and answers false to stop; the body ends at a line that begins with "[".
template <typename Take>
void walkSectionBody(const SectionText& text, Take take) {
  Scan s(text, text.sectionStart);
  while (!s.atEnd()) {
    skipBlanks(s);
    if (s.atEnd() || s.current() == '[') return;
    if (!take(s)) return;
    skipToNextLine(s);
  }
}

}  // namespace

int readHexList(uint32_t (&values)[kMaxEntries], const SectionText& text) {
  if (text.textBase == nullptr || text.sectionStart == nullptr) return 0;
  int count = 0;
  walkSectionBody(text, [&](Scan& s) {
    if (isHexDigit(s.current())) values[count++] = readHexNumber(s);
    return count < kMaxEntries;
  });
  return count;
}

int readLineList(FrameRecord* records, const SectionText& text, int maxCount) {
  if (records == nullptr || maxCount <= 0) return 0;
  if (text.textBase == nullptr || text.sectionStart == nullptr) return 0;
  int count = 0;
  walkSectionBody(text, [&](Scan& s) {
    // A block left in the record by an earlier reader would otherwise be
    // lost; the table is normally empty here.
    releaseBlock(records[count].path);
    bool cut = false;
    records[count].path = readLineValue(s, cut);
    records[count].pathTooLong = cut ? 1 : 0;
    ++count;
    return count < maxCount;
  });
  return count;
}

int readLineViews(LineView* lines, const SectionText& text, int maxCount) {
  if (lines == nullptr || maxCount <= 0) return 0;
  if (text.textBase == nullptr || text.sectionStart == nullptr) return 0;
  int count = 0;
  walkSectionBody(text, [&](Scan& s) {
    const LineView line = lineValueView(s);
    if (line.length != 0) lines[count++] = line;
    return count < maxCount;
  });
  return count;
}
