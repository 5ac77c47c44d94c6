// A whole build from fuzzed frames and fuzzed settings. Whatever the input,
// the build either writes a complete file whose RIFF size matches its
// length, or reports failure and leaves neither the output nor a temporary
// file behind.
//
// Input: one byte of option bits, a count of transparent colours and one of
// replace entries (each colour 4 bytes, at most 16 of each), a frame count
// (1 to 4), then per frame a 2-byte length and that many bytes of file.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "base/runtime.h"
#include "harness.h"
#include "platform/platform.h"
#include "seed_bitmaps.h"
#include "seed_png.h"
#include "ui/build_table.h"
#include "ui/state.h"

namespace {

class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
  uint32_t word() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(byte()) << (8 * i);
    return v;
  }
  std::string bytes(size_t n) {
    n = std::min(n, size_ - at_);
    std::string s(reinterpret_cast<const char*>(data_ + at_), n);
    at_ += n;
    return s;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// A new file each time: rewriting a truncated file makes some file systems
// flush it to disk, which would slow every run down.
bool writeAll(const std::string& path, const std::string& bytes) {
  plat::removeFile(path.c_str());
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

bool exists(const std::string& path) {
  plat::FileHandle f = plat::openForRead(path.c_str());
  plat::closeFile(f);
  return f != plat::kInvalidFile;
}

int32_t le32(const std::string& s, size_t at) {
  if (s.size() < at + 4) return 0;
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i)
    v |= static_cast<uint32_t>(static_cast<uint8_t>(s[at + i])) << (8 * i);
  return static_cast<int32_t>(v);
}

void check(bool condition) {
  if (!condition) std::abort();
}

// Legitimate but huge crops would only measure the machine; blocks above
// this size are refused, which the build reports as out of memory.
constexpr uint64_t kLargestBlock = 8u << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string dir = [] {
    fuzzQuietErrors();
    setAllocGate([](uint64_t n) { return n <= kLargestBlock; });
    return fuzzScratchDir();
  }();
  const std::string out = dir + "/out.anim";
  plat::removeFile(out.c_str());

  Input in(data, size);
  resetAppState();
  const uint8_t options = in.byte();
  appState.optTransparent = options & 1;
  appState.optReplace = (options >> 1) & 1;
  appState.optMerge = (options >> 2) & 1;
  appState.optOptimize = (options >> 3) & 1;
  appState.transCount = in.byte() % 17;
  for (int i = 0; i < appState.transCount; ++i) appState.transColors[i] = in.word();
  appState.replaceCount = in.byte() % 17;
  for (int i = 0; i < appState.replaceCount; ++i) appState.replaceColors[i] = in.word();
  const int frames = 1 + in.byte() % 4;
  for (int k = 0; k < frames; ++k) {
    const size_t length = in.byte() | static_cast<size_t>(in.byte()) << 8;
    const std::string bytes = in.bytes(length);
    const std::string path = dir + "/frame" + std::to_string(k) + ".bmp";
    if (!writeAll(path, bytes)) return 0;
    FrameRecord& f = appState.frameTable[k];
    f.path = static_cast<char*>(allocZeroed(kPathCapacity));
    std::snprintf(f.path, kPathCapacity, "%s", path.c_str());
    // The preview loader's size: the header's, unless the input asks for a
    // stale one.
    const int32_t h = le32(bytes, 22);
    f.width =
        static_cast<int32_t>(static_cast<uint32_t>(le32(bytes, 18)) + ((options >> (4 + k)) & 1u));
    f.height = h < 0 ? (h == INT32_MIN ? 0 : -h) : h;
  }
  appState.frameCount = frames;

  const bool written = buildAnimation(out.c_str());
  releaseFrameBuffers();
  for (int k = 0; k < frames; ++k) check(appState.frameTable[k].fileData == nullptr);

  // No temporary file may outlive the build, whatever its name.
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    check(entry.path().filename().string().find('~') == std::string::npos);
  }
  if (!written) {
    check(!exists(out));
    return 0;
  }
  plat::FileHandle f = plat::openForRead(out.c_str());
  check(f != plat::kInvalidFile);
  const int64_t length = plat::fileSize(f);
  uint8_t head[8] = {};
  check(plat::readBytes(f, head, 8) == 8);
  plat::closeFile(f);
  const std::string h(reinterpret_cast<char*>(head), 8);
  check(h.compare(0, 4, "RIFF") == 0);
  check(static_cast<uint32_t>(le32(h, 4)) + int64_t{8} == length);
  return 0;
}

std::vector<std::string> kinetorFuzzSeeds() {
  auto frame = [](const std::string& bmp) {
    std::string s;
    s.push_back(static_cast<char>(bmp.size() & 0xFF));
    s.push_back(static_cast<char>(bmp.size() >> 8));
    return s + bmp;
  };
  auto settings = [](uint8_t options, int frames) {
    std::string s;
    s.push_back(static_cast<char>(options));
    s.push_back(2);  // transparent colours (COLORREF)
    seeds::put32(s, 0xFF00FF);
    seeds::put32(s, 0x000000);
    s.push_back(4);  // two replace pairs
    seeds::put32(s, 0x302010);
    seeds::put32(s, 0x0000FF);
    seeds::put32(s, 0x000000);
    seeds::put32(s, 0x00FF00);
    s.push_back(static_cast<char>(frames - 1));
    return s;
  };
  std::vector<std::string> out;
  out.push_back(settings(0x0F, 2) + frame(seeds::bitmap(6, 5, 24)) +
                frame(seeds::bitmap(5, 7, 24)));
  out.push_back(settings(0x0B, 3) + frame(seeds::bitmap(8, 8, 8)) +
                frame(seeds::bitmap(9, 4, 8, 124, 256)) + frame(seeds::bitmap(3, 3, 8, 40, 2)));
  out.push_back(settings(0x05, 1) + frame(seeds::bitmap(7, 3, 24, 108)));
  out.push_back(settings(0x08, 2) + frame(seeds::bitmap(4, -4, 24)) +
                frame(seeds::bitmap(4, 4, 24)));
  out.push_back(settings(0x1F, 2) + frame(seeds::bitmap(4, 4, 24)) + frame(seeds::bitmap(4, 4, 8)));
  // Frames with alpha among 8- and 24-bit ones, with every option.
  out.push_back(settings(0x0F, 3) + frame(seeds::bitmap32(6, 5)) + frame(seeds::png(5, 7, 6, 8)) +
                frame(seeds::bitmap(4, 4, 8)));
  out.push_back(settings(0x0B, 2) + frame(seeds::bitmap(7, 3, 24)) +
                frame(seeds::bitmap32(4, -6, true, 124)));
  return out;
}
