// The section-text reader over arbitrary bytes and section names, and the
// build script's optional sections read from the same text, for a static
// cursor when the text's [Result] names a .cur file and there is one frame,
// as the batch decides.
// Input: one control byte, then a name of (control & 15) bytes, then the text.
// The text is read from an exact-size heap copy, so that a read past its end
// is caught, and every fourth input also through a real file mapping.
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "base/runtime.h"
#include "frames/script_options.h"
#include "harness.h"
#include "support/section_bytes.h"
#include "textfile/section_text.h"
#include "ui/state.h"

namespace {

void readEverything(SectionText& text, const std::string& name, int maxLines) {
  static const char* const kNames[] = {
      "Result",       "BMP",     "Fix",  "Rpl",      "Trans", "Resize", "TransColors",
      "ReplaceColor", "Hotspot", "Rate", "Sequence", "Title", "Author", ""};
  static FrameRecord records[kMaxEntries];
  uint32_t values[kMaxEntries];
  std::vector<const char*> names(std::begin(kNames), std::end(kNames));
  names.push_back(name.c_str());
  for (const char* n : names) {
    findSection(n, text);
    readHexList(values, text);
    int count = readLineList(records, text, maxLines);
    for (int i = 0; i < count; ++i) {
      if (records[i].path != nullptr && std::strlen(records[i].path) >= kPathCapacity) {
        __builtin_trap();  // a value longer than a path: a buffer was overrun
      }
      releaseBlock(records[i].path);
    }
  }
  // Whatever the text, accepted options are what the writer can take.
  static AnimationOptions options;
  char problem[kScriptProblemCapacity];
  const int frames = maxLines;
  FrameRecord result{};
  if (findSection("Result", text)) readLineList(&result, text, 1);
  const bool staticCursor = result.path != nullptr && namesStaticCursor(result.path, frames);
  releaseBlock(result.path);
  if (readScriptOptions(text, frames, options, problem, staticCursor)) {
    const int steps = options.sequenceLength > 0 ? options.sequenceLength : frames;
    bool sane = options.sequenceLength <= anifile::kMaxSteps &&
                (options.rateCount == 0 || options.rateCount == 1 || options.rateCount == steps) &&
                std::strlen(options.title) <= anifile::kMaxInfoText &&
                std::strlen(options.author) <= anifile::kMaxInfoText && options.sizeCount >= 0 &&
                options.sizeCount <= anifile::kMaxSizes && options.staticCursor == staticCursor;
    for (int i = 0; i < options.sequenceLength; ++i) sane = sane && options.sequence[i] < frames;
    for (int i = 0; i < options.rateCount; ++i) sane = sane && options.rates[i] != 0;
    for (int i = 0; i < options.sizeCount; ++i) {
      sane = sane && options.sizes[i] >= 1 && options.sizes[i] <= anifile::kLargestSize;
      for (int j = 0; j < i; ++j) sane = sane && options.sizes[i] != options.sizes[j];
    }
    if (staticCursor) {
      sane = sane && options.rateCount == 0 && options.sequenceLength == 0 &&
             options.title[0] == '\0' && options.author[0] == '\0';
    }
    if (!sane) __builtin_trap();
  } else if (problem[0] != '[') {
    __builtin_trap();  // a refusal names its section
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t control = data[0];
  size_t nameLength = control & 15;
  if (nameLength > size - 1) nameLength = size - 1;
  std::string name(reinterpret_cast<const char*>(data + 1), nameLength);
  for (char& c : name) {
    if (c == '\0') c = 'x';  // names are C strings
  }
  const size_t textSize = size - 1 - nameLength;
  const int maxLines = 1 + ((control >> 4) * 17) % kMaxEntries;

  std::vector<uint8_t> copy(data + 1 + nameLength, data + size);
  copy.shrink_to_fit();
  SectionText text;
  if (openSectionBytes(copy.empty() ? nullptr : copy.data(), static_cast<uint32_t>(textSize),
                       text)) {
    readEverything(text, name, maxLines);
  }
  closeSectionText(text);

  if ((control & 0x30) == 0x30) {
    const std::string path = fuzzScratchDir() + "/section.txt";
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(copy.data()), static_cast<std::streamsize>(textSize));
    if (openSectionText(path.c_str(), text)) readEverything(text, name, maxLines);
    closeSectionText(text);
  }
  return 0;
}

std::vector<std::string> kinetorFuzzSeeds() {
  auto seed = [](uint8_t control, const std::string& name, const std::string& text) {
    return std::string(1, static_cast<char>((control & 0xF0) | name.size())) + name + text;
  };
  std::string manyColours = "[TransColors]\r\n";
  for (int i = 0; i < 300; ++i) manyColours += std::to_string(i * 7919) + "\r\n";
  std::string longLine = "[BMP]\r\n" + std::string(400, 'p') + "   \r\n";
  return {
      seed(0x30, "Result", "[Result]\r\nout.anim\r\n[BMP]\r\na.bmp\r\nb.bmp\r\n"),
      seed(0x00, "bmp", "[bmp]\r\na.bmp\r\n\r\n  b.bmp \r\n[result]\r\nx\r\n"),
      seed(0xF0, "Trans",
           "[Fix]\r\n[Trans]\r\n[TransColors]\r\nFF00FF\r\n[ReplaceColor]\r\nFF\r\nFF0000\r\n"),
      seed(0x10, "TransColors", manyColours),
      seed(0x30, "BMP", longLine),
      seed(0x20, "Fix", "[Fix]\r[Rpl]\r1\r2\r"),
      seed(0x30, "Rpl", "[Rpl]\n1A ; c\n0x1F\n123456789\n"),
      seed(0x00, "A", "[A"),
      seed(0x00, "Ab", "  [ab]"),
      seed(0x40, "X", "[[X]]\r\n   \r\n;\r\n#\r\n["),
      seed(0x30, "Rate",
           "[Hotspot]\r\n 3 , 4 \r\n[Rate]\r\n100ms\r\n\r\n6\r\n[Sequence]\r\n2\r\n1\r\n"
           "[Title]\r\nBusy\r\n[Author]\r\nAnn\r\n"),
      seed(0x10, "Sequence", "[sequence]\r\n1\r\n2\r\n0\r\n[rate]\r\n0 ms\r\n[hotspot]\r\n7;7\r\n"),
      seed(0x20, "Title", "[Title]\r\n" + std::string(300, 't') + "\r\n[Rate]\r\n99999999999\r\n"),
      // [Sizes]: one line of distinct sides from 1 to 256, at most eight.
      seed(0x10, "Sizes", "[Result]\r\nout.anim\r\n[Sizes]\r\n32, 48\r\n"),
      seed(0x30, "Sizes", "[sizes]\r\n 64 \r\n[Hotspot]\r\n1,1\r\n"),
      seed(0x20, "Sizes", "[Sizes]\r\n256,128,96,64,48,32,24,16\r\n"),
      seed(0x20, "Sizes", "[Sizes]\r\n256, 128, 96, 64, 48, 32, 24, 20, 16\r\n"),
      seed(0x10, "Sizes", "[Sizes]\r\n32, 48, 32\r\n"),
      seed(0x30, "Sizes", "[Sizes]\r\n0\r\n"),
      seed(0x10, "Sizes", "[Sizes]\r\n48, 257\r\n"),
      seed(0x20, "Sizes", "[Sizes]\r\n32, big\r\n[Rate]\r\n4\r\n"),
      seed(0x10, "Sizes", "[Sizes]\r\n\r\n[BMP]\r\na.bmp\r\n"),
      // One frame written as a .cur file: sizes, but no steps to time.
      seed(0x00, "Sizes", "[Result]\r\nstill.CUR\r\n[BMP]\r\na.bmp\r\n[Sizes]\r\n32, 48\r\n"),
      seed(0xF0, "Rate",
           "[Result]\r\nstill.cur\r\n[BMP]\r\na.bmp\r\n[Sizes]\r\n32\r\n[Rate]\r\n5\r\n"),
  };
}
