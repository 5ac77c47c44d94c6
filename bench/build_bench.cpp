// The steps of the build in process, on the fixture of fixture.h (the
// whole-process measure that users meet is batch_bench.cpp):
//
//   BM_Build  the whole buildAnimation (read, process, write) and the release
//   BM_Floor  reading the same files and writing as many bytes as the build
//
// After the runs it prints the ratio of the two and the peak heap use of one
// build, measured with glibc's mallinfo2 (bytes in use, sampled at every
// allocation the build makes) against the total size of the input files.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "base/colour.h"
#include "base/runtime.h"
#include "fixture.h"
#include "platform/platform.h"
#include "ui/build_table.h"
#include "ui/state.h"

namespace {

using fixture::kFrames;
using fixture::kSide;

struct Fixture {
  std::string dir;
  std::vector<std::string> paths;
  std::string output;
  std::string floorOutput;
  uint64_t inputBytes = 0;
  uint64_t outputBytes = 0;
};

Fixture& bench() {
  static Fixture f;
  return f;
}

void prepareInput() {
  Fixture& f = bench();
  if (!f.paths.empty()) return;
  f.dir = (std::filesystem::temp_directory_path() / "kinetor-bench").string();
  std::filesystem::remove_all(f.dir);
  std::filesystem::create_directories(f.dir);
  const fixture::Frames frames = fixture::writeFrames(f.dir);
  f.paths = frames.paths;
  f.inputBytes = frames.inputBytes;
  f.output = f.dir + "/out.anim";
  f.floorOutput = f.dir + "/floor.anim";

  resetAppState();
  appState.optTransparent = 1;
  appState.optReplace = 1;
  appState.optMerge = 1;
  appState.optOptimize = 1;
  for (int i = 0; i < 12; ++i) appState.transColors[i] = swapRedBlue(fixture::kTransparent[i]);
  appState.transCount = 12;
  for (int i = 0; i < 6; ++i) {
    appState.replaceColors[2 * i] = swapRedBlue(fixture::kFrom[i]);
    appState.replaceColors[2 * i + 1] = swapRedBlue(fixture::kTo[i]);
  }
  appState.replaceCount = 12;
  appState.frameCount = kFrames;
  for (int k = 0; k < kFrames; ++k) {
    appState.frameTable[k].width = kSide;
    appState.frameTable[k].height = kSide;
  }
}

// What the editor does before each build: the paths go into the table.
void fillPaths() {
  const Fixture& f = bench();
  for (int k = 0; k < kFrames; ++k) {
    char* block = static_cast<char*>(allocZeroed(kPathCapacity));
    std::memcpy(block, f.paths[k].c_str(), f.paths[k].size());
    appState.frameTable[k].path = block;
  }
}

bool buildOnce() {
  fillPaths();
  const bool ok = buildAnimation(bench().output.c_str());
  releaseFrameBuffers();
  return ok;
}

uint64_t fnv1a(const std::string& path) {
  std::FILE* in = std::fopen(path.c_str(), "rb");
  uint64_t h = 1469598103934665603ull;
  for (int c; in != nullptr && (c = std::fgetc(in)) != EOF;)
    h = (h ^ static_cast<uint8_t>(c)) * 1099511628211ull;
  if (in != nullptr) std::fclose(in);
  return h;
}

void BM_Build(benchmark::State& state) {
  prepareInput();
  for (auto _ : state) {
    if (!buildOnce()) state.SkipWithError("the build failed");
  }
  bench().outputBytes = std::filesystem::file_size(bench().output);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bench().inputBytes));
}

void BM_Floor(benchmark::State& state) {
  prepareInput();
  Fixture& f = bench();
  if (f.outputBytes == 0) {
    buildOnce();
    f.outputBytes = std::filesystem::file_size(f.output);
  }
  std::vector<uint8_t*> blocks(kFrames);
  const uint64_t piece = f.outputBytes / kFrames;
  for (auto _ : state) {
    // Read every frame whole into a block of its own.
    for (int k = 0; k < kFrames; ++k) {
      plat::FileHandle in = plat::openForRead(f.paths[k].c_str());
      const auto size = static_cast<uint32_t>(plat::fileSize(in));
      blocks[k] = static_cast<uint8_t*>(allocZeroed(size));
      plat::readBytes(in, blocks[k], size);
      plat::closeFile(in);
    }
    // Write as many bytes, one frame's share at a time, under a temporary
    // name flushed and moved over the target as the build does.
    const std::string temp = f.floorOutput + ".tmp";
    plat::FileHandle out = plat::createNewForWrite(temp.c_str());
    uint64_t left = f.outputBytes;
    for (int k = 0; left > 0; k = (k + 1) % kFrames) {
      const uint32_t n =
          static_cast<uint32_t>(std::min<uint64_t>(left, std::min<uint64_t>(piece, 65000)));
      plat::writeBytes(out, blocks[k], n == 0 ? static_cast<uint32_t>(left) : n);
      left -= n == 0 ? left : n;
    }
    plat::flushFile(out);
    plat::closeFile(out);
    plat::replaceFile(temp.c_str(), f.floorOutput.c_str());
    for (auto& b : blocks) releaseBlock(b);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.inputBytes));
}

BENCHMARK(BM_Floor)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_Build)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Keeps each run's mean time per iteration for the closing summary.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> seconds;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      if (r.iterations > 0) {
        const std::string name = r.benchmark_name();
        seconds[name.substr(0, name.find('/'))] =
            r.real_accumulated_time / static_cast<double>(r.iterations);
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

// Peak heap in use during one build, sampled before every allocation.
uint64_t g_heapBase = 0, g_heapPeak = 0;
uint64_t heapInUse() {
  const struct mallinfo2 mi = mallinfo2();
  return mi.uordblks + mi.hblkhd;
}

uint64_t peakHeapOfOneBuild() {
  g_heapBase = heapInUse();
  g_heapPeak = g_heapBase;
  AllocGate old = setAllocGate([](uint64_t bytes) {
    const uint64_t now = heapInUse() + bytes;
    if (now > g_heapPeak) g_heapPeak = now;
    return true;
  });
  buildOnce();
  setAllocGate(old);
  const uint64_t after = heapInUse();
  if (after > g_heapPeak) g_heapPeak = after;
  return g_heapPeak - g_heapBase;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  prepareInput();
  const Fixture& f = bench();
  const uint64_t peak = peakHeapOfOneBuild();
  std::printf("\ninput: %d files, %llu bytes; output: %llu bytes, FNV-1a %016llx\n", kFrames,
              static_cast<unsigned long long>(f.inputBytes),
              static_cast<unsigned long long>(std::filesystem::file_size(f.output)),
              static_cast<unsigned long long>(fnv1a(f.output)));
  const auto build = reporter.seconds.find("BM_Build");
  const auto floor = reporter.seconds.find("BM_Floor");
  if (build != reporter.seconds.end() && floor != reporter.seconds.end()) {
    std::printf("build %.2f ms, floor %.2f ms: build / floor = %.2f (goal <= 2)\n",
                build->second * 1e3, floor->second * 1e3, build->second / floor->second);
  }
  std::printf("peak heap during one build: %.2f MB = %.2f x the input (goal < 3)\n",
              static_cast<double>(peak) / 1e6,
              static_cast<double>(peak) / static_cast<double>(f.inputBytes));
  std::filesystem::remove_all(f.dir);
  return 0;
}
