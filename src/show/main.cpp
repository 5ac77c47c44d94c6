// kinetor-show FILE [--png OUT.png] [--size N]: prints an animated cursor
// file (or a static cursor or icon), checks it as strictly as the strictest
// loaders and, when asked, draws every step into a PNG contact sheet, each
// frame by the image a loader takes at N x N pixels (32 by default). Exit
// code 0: no defect (warnings allowed); 1: defects, but frames could be
// read; 2: nothing could be read (or the command failed).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ani/ani_reader.h"
#include "platform/platform.h"
#include "show/contact_sheet.h"
#include "show/png_file.h"
#include "show/report.h"

namespace {

constexpr int kUnreadable = 2;
constexpr long kLargestSize = 256;  // of --size: the largest side an icon entry names

int usage() {
  std::fputs(
      "usage: kinetor-show FILE [--png OUT.png] [--size N]\n"
      "  prints and checks a RIFF 'ACON' animated cursor, or a static .cur or .ico;\n"
      "  --png draws every step over a light and a dark checkerboard into a contact\n"
      "  sheet; of frames with several images it draws the one nearest N x N pixels\n"
      "  (1 to 256; 32, as loaders do, without --size)\n"
      "  exit code 0: no defect (warnings allowed), 1: defects but the frames could be\n"
      "  read, 2: unreadable\n",
      stderr);
  return kUnreadable;
}

void fail(const std::string& text) { std::fprintf(stderr, "kinetor-show: %s\n", text.c_str()); }

bool readWholeFile(const char* path, std::vector<uint8_t>& bytes, std::string& why) {
  const plat::FileHandle file = plat::openForRead(path);
  if (file == plat::kInvalidFile) {
    why = "cannot open " + std::string(path);
    return false;
  }
  const int64_t size = plat::fileSize(file);
  bool ok = size >= 0 && static_cast<uint64_t>(size) <= anilimits::kFileBytes;
  if (!ok) {
    why = size < 0 ? "cannot tell the size of " + std::string(path)
                   : std::string(path) + " is larger than " +
                         std::to_string(anilimits::kFileBytes) + " bytes";
  } else {
    bytes.resize(static_cast<size_t>(size));
    ok = plat::readBytes(file, bytes.data(), static_cast<uint32_t>(size)) == size;
    if (!ok) why = "cannot read " + std::string(path);
  }
  plat::closeFile(file);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
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
  if (!readWholeFile(input, bytes, why)) {
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
