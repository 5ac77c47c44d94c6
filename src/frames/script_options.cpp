#include "frames/script_options.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "base/frame_record.h"

namespace {

// One line more than any section may hold, so that a list that is too long
// shows.
constexpr int kMaxLines = anifile::kMaxSteps + 1;
LineView g_lines[kMaxLines];

constexpr uint64_t kMaxHotspot = UINT16_MAX;
constexpr uint64_t kMaxRate = UINT32_MAX;

// The non-blank lines of the first section called `name` into g_lines; -1
// when the script has no such section.
int readSection(const char* name, SectionText& script) {
  if (!findSection(name, script)) return -1;
  return readLineViews(g_lines, script, kMaxLines);
}

bool fail(char (&problem)[kScriptProblemCapacity], const char* section, const LineView& line) {
  std::snprintf(problem, sizeof problem, "[%s]: %.*s", section, static_cast<int>(line.length),
                line.text);
  return false;
}

bool failWith(char (&problem)[kScriptProblemCapacity], const char* section, const char* what) {
  std::snprintf(problem, sizeof problem, "[%s]: %s", section, what);
  return false;
}

// Walks one line value: decimal numbers with blanks around them, and the
// separators and suffixes between them.
class LineScan {
 public:
  explicit LineScan(const LineView& line) : at_(line.text), end_(line.text + line.length) {}

  // A number no larger than `limit`; false for anything else, also for a
  // number too large, which is not read to its end.
  bool number(uint64_t limit, uint64_t& value) {
    skipBlanks();
    if (at_ == end_ || !isDigit(*at_)) return false;
    value = 0;
    while (at_ != end_ && isDigit(*at_)) {
      value = value * 10 + static_cast<uint64_t>(*at_ - '0');
      if (value > limit) return false;
      ++at_;
    }
    skipBlanks();
    return true;
  }

  // The given ASCII word (letters in any case) next, then blanks.
  bool word(const char* w) {
    const size_t n = std::strlen(w);
    if (static_cast<size_t>(end_ - at_) < n) return false;
    for (size_t i = 0; i < n; ++i) {
      char c = at_[i];
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
      if (c != w[i]) return false;
    }
    at_ += n;
    skipBlanks();
    return true;
  }

  bool done() const { return at_ == end_; }

 private:
  static bool isDigit(char c) { return c >= '0' && c <= '9'; }
  void skipBlanks() {
    while (at_ != end_ && static_cast<uint8_t>(*at_) <= 32) ++at_;
  }
  const char* at_;
  const char* end_;
};

// "X,Y".
bool readHotspot(SectionText& script, AnimationOptions& o,
                 char (&problem)[kScriptProblemCapacity]) {
  const int count = readSection("Hotspot", script);
  if (count < 0) return true;
  if (count == 0) return failWith(problem, "Hotspot", "no X,Y line");
  LineScan scan(g_lines[0]);
  uint64_t x = 0, y = 0;
  if (!scan.number(kMaxHotspot, x) || !scan.word(",") || !scan.number(kMaxHotspot, y) ||
      !scan.done()) {
    return fail(problem, "Hotspot", g_lines[0]);
  }
  o.hasHotspot = true;
  o.hotspotX = static_cast<int32_t>(x);
  o.hotspotY = static_cast<int32_t>(y);
  return true;
}

// 1-based frame numbers, one step each.
bool readSequence(SectionText& script, int frameCount, AnimationOptions& o,
                  char (&problem)[kScriptProblemCapacity]) {
  const int count = readSection("Sequence", script);
  if (count < 0) return true;
  if (count == 0) return failWith(problem, "Sequence", "no frame numbers");
  if (count > anifile::kMaxSteps) return failWith(problem, "Sequence", "more than 4096 steps");
  for (int i = 0; i < count; ++i) {
    LineScan scan(g_lines[i]);
    uint64_t frame = 0;
    if (!scan.number(static_cast<uint64_t>(frameCount), frame) || !scan.done() || frame == 0) {
      return fail(problem, "Sequence", g_lines[i]);
    }
    o.sequence[i] = static_cast<uint8_t>(frame - 1);
  }
  o.sequenceLength = count;
  return true;
}

// Jiffies, or milliseconds rounded to the nearest jiffy (at least one).
bool readRates(SectionText& script, int frameCount, AnimationOptions& o,
               char (&problem)[kScriptProblemCapacity]) {
  const int count = readSection("Rate", script);
  if (count < 0) return true;
  const int steps = o.sequenceLength > 0 ? o.sequenceLength : frameCount;
  if (count != 1 && count != steps) {
    char what[80];
    if (count > anifile::kMaxSteps) {
      std::snprintf(what, sizeof what, "more than 4096 lines for %d steps", steps);
    } else {
      std::snprintf(what, sizeof what, "%d lines for %d steps (give 1 or %d)", count, steps, steps);
    }
    return failWith(problem, "Rate", what);
  }
  for (int i = 0; i < count; ++i) {
    LineScan scan(g_lines[i]);
    uint64_t value = 0;
    if (!scan.number(kMaxRate, value)) return fail(problem, "Rate", g_lines[i]);
    const bool millis = scan.word("ms");
    if (!scan.done() || value == 0) return fail(problem, "Rate", g_lines[i]);
    if (millis) value = jiffiesFromMs(value);
    o.rates[i] = static_cast<uint32_t>(value);
  }
  o.rateCount = count;
  return true;
}

// One line of sides, largest picture first or in any order: "32, 48, 64".
bool readSizes(SectionText& script, AnimationOptions& o, char (&problem)[kScriptProblemCapacity]) {
  const int count = readSection("Sizes", script);
  if (count < 0) return true;
  if (count == 0) return failWith(problem, "Sizes", "no line of sizes");
  LineScan scan(g_lines[0]);
  int n = 0;
  do {
    uint64_t side = 0;
    if (n == anifile::kMaxSizes || !scan.number(anifile::kLargestSize, side) || side == 0) {
      return fail(problem, "Sizes", g_lines[0]);
    }
    for (int i = 0; i < n; ++i) {
      if (o.sizes[i] == side) return fail(problem, "Sizes", g_lines[0]);
    }
    o.sizes[n++] = static_cast<uint16_t>(side);
  } while (scan.word(","));
  if (!scan.done()) return fail(problem, "Sizes", g_lines[0]);
  o.sizeCount = n;
  return true;
}

// A static cursor shows one picture for good: no steps to time or order,
// and no place for texts.
bool refuseStepsAndTexts(SectionText& script, char (&problem)[kScriptProblemCapacity]) {
  for (const char* section : {"Rate", "Sequence", "Title", "Author"}) {
    if (findSection(section, script)) {
      return failWith(problem, section, "a static cursor has no steps, timing or texts");
    }
  }
  return true;
}

// The first line, as it stands.
bool readText(SectionText& script, const char* section, char (&out)[anifile::kMaxInfoText + 1],
              char (&problem)[kScriptProblemCapacity]) {
  if (readSection(section, script) <= 0) return true;
  const LineView& line = g_lines[0];
  if (line.length > anifile::kMaxInfoText) return fail(problem, section, line);
  std::memcpy(out, line.text, line.length);
  out[line.length] = '\0';
  return true;
}

}  // namespace

bool readScriptOptions(SectionText& script, int frameCount, AnimationOptions& options,
                       char (&problem)[kScriptProblemCapacity], bool staticCursor) {
  problem[0] = '\0';
  options = AnimationOptions{};
  // Frame numbers are kept in a byte: the table never holds more frames.
  frameCount = std::clamp(frameCount, 0, kMaxEntries);
  options.staticCursor = staticCursor;
  if (staticCursor && !refuseStepsAndTexts(script, problem)) return false;
  // The step count that the rates must match depends on the sequence.
  return readHotspot(script, options, problem) && readSizes(script, options, problem) &&
         readSequence(script, frameCount, options, problem) &&
         readRates(script, frameCount, options, problem) &&
         readText(script, "Title", options.title, problem) &&
         readText(script, "Author", options.author, problem);
}

bool namesStaticCursor(const char* outputPath, int frameCount) {
  const size_t n = std::strlen(outputPath);
  if (frameCount != 1 || n < 4) return false;
  const char* ext = outputPath + n - 4;
  return ext[0] == '.' && (ext[1] | 0x20) == 'c' && (ext[2] | 0x20) == 'u' &&
         (ext[3] | 0x20) == 'r';
}
