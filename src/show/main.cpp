// kinetor-show FILE [--png OUT.png] [--size N]: prints an animated cursor
// file (or a static cursor or icon), checks it as strictly as the strictest
// loaders and, when asked, draws every step into a PNG contact sheet, each
// frame by the image a loader takes at N x N pixels (32 by default). Exit
// code 0: no defect (warnings allowed); 1: defects, but frames could be
// read; 2: nothing could be read (or the command failed).
// kinetor-show --extract DIR FILE: writes the cursor's pictures and a
// build.txt that rebuilds it into DIR; exit code 0 when written, 2 when not.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ani/ani_reader.h"
#include "base/whole_file.h"
#include "frames/extract.h"
#include "image/png_file.h"
#include "show/contact_sheet.h"
#include "show/report.h"

namespace {

constexpr int kUnreadable = 2;
constexpr long kLargestSize = 256;  // of --size: the largest side an icon entry names

int usage() {
  std::fputs(
      "usage: kinetor-show FILE [--png OUT.png] [--size N]\n"
      "       kinetor-show --extract DIR FILE\n"
      "  prints and checks a RIFF 'ACON' animated cursor, or a static .cur or .ico;\n"
      "  --png draws every step over a light and a dark checkerboard into a contact\n"
      "  sheet; of frames with several images it draws the one nearest N x N pixels\n"
      "  (1 to 256; 32, as loaders do, without --size)\n"
      "  exit code 0: no defect (warnings allowed), 1: defects but the frames could be\n"
      "  read, 2: unreadable\n"
      "  --extract writes the cursor's frames (PNG with alpha, else BMP) and a build.txt\n"
      "  that rebuilds it into DIR (made when missing); exit code 0 when written, else 2\n",
      stderr);
  return kUnreadable;
}

void fail(const std::string& text) { std::fprintf(stderr, "kinetor-show: %s\n", text.c_str()); }

bool readCursorFile(const char* path, std::vector<uint8_t>& bytes, std::string& why) {
  switch (readWholeFile(path, anilimits::kFileBytes, bytes)) {
    case WholeFile::read:
      return true;
    case WholeFile::cannotOpen:
      why = "cannot open " + std::string(path);
      break;
    case WholeFile::sizeUnknown:
      why = "cannot tell the size of " + std::string(path);
      break;
    case WholeFile::tooLarge:
      why =
          std::string(path) + " is larger than " + std::to_string(anilimits::kFileBytes) + " bytes";
      break;
    case WholeFile::outOfMemory:
      why = "out of memory";
      break;
    case WholeFile::readFailed:
      why = "cannot read " + std::string(path);
      break;
  }
  return false;
}

int extract(const char* folder, const char* input) {
  ExtractReport report;
  if (!extractCursorFile(input, folder, report)) {
    fail(report.error);
    return kUnreadable;
  }
  for (const std::string& line : report.differences) {
    std::fprintf(stderr, "kinetor-show: not rebuilt as it is: %s\n", line.c_str());
  }
  std::printf("extracted %s: %zu frame files and %s\n", input, report.files.size() - 1,
              report.scriptPath.c_str());
  std::fflush(stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "--extract") == 0) {
    return argc == 4 ? extract(argv[2], argv[3]) : usage();
  }
  const char* input = nullptr;
  const char* png = nullptr;
  long side = kLoaderSide;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--png") == 0 && i + 1 < argc) {
      png = argv[++i];
    } else if (std::strcmp(argv[i], "--size") == 0 && i + 1 < argc) {
      char* end = nullptr;
      side = std::strtol(argv[++i], &end, 10);
      if (*end != '\0' || side < 1 || side > kLargestSize) return usage();
    } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
      return usage();
    } else if (input == nullptr) {
      input = argv[i];
    } else {
      return usage();
    }
  }
  if (input == nullptr) return usage();

  std::vector<uint8_t> bytes;
  std::string why;
  if (!readCursorFile(input, bytes, why)) {
    fail(why);
    return kUnreadable;
  }
  AniFile file;
  readAniFile(bytes.data(), bytes.size(), file);
  if (side != kLoaderSide) aniChooseImages(file, static_cast<int32_t>(side));
  std::fputs(describeAniFile(file, bytes.data(), input).c_str(), stdout);
  int verdict = aniVerdict(file);

  if (png != nullptr) {
    SheetLayout layout;
    std::vector<uint8_t> rgb;
    if (!planContactSheet(file, bytes.data(), layout, why)) {
      fail("no contact sheet: " + why);
      return kUnreadable;
    }
    renderContactSheet(file, bytes.data(), layout, rgb);
    if (!writePngFile(png, rgb, layout.width, layout.height)) {
      fail("cannot write " + std::string(png));
      return kUnreadable;
    }
    std::printf("contact sheet: %s (%lld x %lld pixels, %u steps, frames scaled %dx)\n", png,
                static_cast<long long>(layout.width), static_cast<long long>(layout.height),
                layout.steps, layout.scale);
  }
  std::fflush(stdout);
  return verdict;
}
