// Speed as the user meets it: the whole `kinetor build.txt` process on the
// fixture of fixture.h, against a floor process that reads every input file
// and writes one file (`cat` of the frames into a temporary file, which is
// then flushed and moved over the last one, as the build saves its output),
// alternating in one run.
//
//   kinetor_batch_bench [PAIRS]     (default 11 pairs, at least 9)
//   kinetor_batch_bench --fixture DIR [many]   only writes the fixture (flat,
//                                       or of many colours) and a copy of the
//                                       program into DIR, for profiling
//   kinetor_batch_bench --growth    time against frame count and side
//   kinetor_batch_bench --fixture DIR png   the PNG fixture with [Sizes]
//
// The PNG fixture's floor is this program run as
//   kinetor_batch_bench --png-floor BYTES FILE...
// which decodes every PNG with the build's own decoder and writes BYTES
// bytes (the output's size) to standard output, which the floor's run then
// flushes and moves into place as for cat.
//
// For each fixture, flat and of many colours: the median of the per-pair
// time ratios, the medians of both times, and the candidate's peak resident
// set over the total input bytes.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "fixture.h"
#include "image/png_decode.h"

extern char** environ;

namespace {

struct Run {
  double seconds = 0;
  double cpuSeconds = 0;  // user and system time: less swayed by other load
  long peakKb = 0;
  int exitCode = -1;
};

// Starts the program with standard output to `outPath` (or inherited), waits
// for it, and reports its wall time, exit code and peak resident set.
Run runProcess(const std::vector<std::string>& args, const char* outPath) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (outPath != nullptr) {
    posix_spawn_file_actions_addopen(&actions, 1, outPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  }
  Run run;
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.peakKb = usage.ru_maxrss;
    run.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  return run;
}

// What the build does after its last write, done here for the floor's
// copy: flush the file, move it over the target, flush the folder. Adds the
// time taken to the floor's run.
void replaceDurably(const std::string& temp, const std::string& target, Run& run) {
  const auto start = std::chrono::steady_clock::now();
  bool ok = false;
  const int fd = open(temp.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd >= 0) {
    ok = fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
  }
  ok = ok && std::rename(temp.c_str(), target.c_str()) == 0;
  const std::string folder = std::filesystem::path(target).parent_path().string();
  const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
  run.seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!ok) run.exitCode = -1;
}

// The PNG fixture's floor: what any build of those frames must do at least.
int pngFloor(uint64_t bytes, std::span<char* const> files) {
  std::vector<uint8_t> all;
  for (const char* path : files) {
    std::FILE* in = std::fopen(path, "rb");
    if (in == nullptr) return 1;
    std::vector<uint8_t> file(std::filesystem::file_size(path));
    const size_t read = std::fread(file.data(), 1, file.size(), in);
    std::fclose(in);
    PngHeader header;
    std::vector<uint8_t> bgra;
    if (read != file.size() || decodePng(file.data(), file.size(), header, bgra) != Failure::none) {
      return 1;
    }
    all.insert(all.end(), bgra.begin(), bgra.end());
  }
  if (all.empty()) all.push_back(0);
  for (uint64_t left = bytes; left > 0;) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(left, all.size()));
    if (std::fwrite(all.data(), 1, n, stdout) != n) return 1;
    left -= n;
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

struct Outcome {
  bool ok = true;
  double ratio = 0, worst = 0, best = 0;
  double build = 0, floor = 0, buildCpu = 0, floorCpu = 0;
  double rssOverInput = 0;
  uint64_t inputBytes = 0, outputBytes = 0;
};

// Writes the fixture of `shape` into its own folder with a copy of the
// program beside its settings, then runs the build and the floor in turn.
Outcome measure(const fixture::Shape& shape, int pairs, const std::filesystem::path& dir) {
  namespace fs = std::filesystem;
  fs::create_directories(dir);
  // The program reads its settings from beside itself, so a copy of it runs
  // from the fixture's folder.
  const fs::path program = dir / "kinetor";
  fs::copy_file(KINETOR_EXE, program, fs::copy_options::overwrite_existing);
  const fixture::Frames frames = fixture::writeFrames(dir.string(), shape);
  const std::string output = (dir / "out.anim").string();
  fixture::writeBatchFiles(dir.string(), frames, output, shape.kind);

  const std::vector<std::string> candidate = {program.string(), (dir / "build.txt").string()};
  std::vector<std::string> floor = {"/bin/cat"};
  if (shape.kind == fixture::Kind::alphaPng) {
    // The floor writes as many bytes as the build: the size of its output.
    runProcess(candidate, nullptr);
    std::error_code error;
    const uint64_t bytes = fs::file_size(output, error);
    floor = {fs::read_symlink("/proc/self/exe").string(), "--png-floor",
             std::to_string(error ? 0 : bytes)};
  }
  floor.insert(floor.end(), frames.paths.begin(), frames.paths.end());
  const std::string floorOut = (dir / "floor.out").string();
  const std::string floorTemp = floorOut + ".tmp";
  const auto runFloor = [&] {
    Run run = runProcess(floor, floorTemp.c_str());
    replaceDurably(floorTemp, floorOut, run);
    return run;
  };

  // One of each first, so both start from a warm file cache.
  runProcess(candidate, nullptr);
  runFloor();

  Outcome o;
  std::vector<double> ratios, builds, floors, buildCpu, floorCpu;
  long peakKb = 0;
  for (int i = 0; i < pairs; ++i) {
    const Run b = runProcess(candidate, nullptr);
    const Run f = runFloor();
    o.ok = o.ok && b.exitCode == 1 && f.exitCode == 0;
    ratios.push_back(b.seconds / f.seconds);
    builds.push_back(b.seconds);
    floors.push_back(f.seconds);
    buildCpu.push_back(b.cpuSeconds);
    floorCpu.push_back(f.cpuSeconds);
    peakKb = std::max(peakKb, b.peakKb);
  }
  o.ratio = median(ratios);
  o.best = *std::min_element(ratios.begin(), ratios.end());
  o.worst = *std::max_element(ratios.begin(), ratios.end());
  o.build = median(builds);
  o.floor = median(floors);
  o.buildCpu = median(buildCpu);
  o.floorCpu = median(floorCpu);
  o.inputBytes = frames.inputBytes;
  o.outputBytes = o.ok ? fs::file_size(output) : 0;
  o.rssOverInput = static_cast<double>(peakKb) * 1024 / static_cast<double>(frames.inputBytes);
  fs::remove_all(dir);
  if (!o.ok) std::fprintf(stderr, "a run failed: kinetor must exit 1 (written), the floor 0\n");
  return o;
}

const char* kindName(fixture::Kind kind) {
  switch (kind) {
    case fixture::Kind::flat:
      return "flat";
    case fixture::Kind::manyColours:
      return "many colours";
    case fixture::Kind::alphaPng:
      return "PNG, sizes";
  }
  return "";
}

// How the cost grows with the frame count and the frame side, on every kind
// of picture. 147 pixels is the largest square 24-bit frame a BMP frame file
// may hold; larger sides are PNG frames (1024 is the largest, and 32 of them
// already make a file of over 130 MiB).
int growth(const std::filesystem::path& base) {
  using fixture::Kind;
  struct Row {
    int frames, side;
    std::vector<Kind> kinds;
  };
  const std::vector<Kind> bmp = {Kind::flat, Kind::manyColours};
  const std::vector<Row> rows = {{32, 147, bmp},
                                 {128, 147, bmp},
                                 {255, 147, bmp},
                                 {255, 32, bmp},
                                 {255, 64, bmp},
                                 {255, 128, bmp},
                                 {32, 128, {Kind::alphaPng}},
                                 {128, 128, {Kind::alphaPng}},
                                 {255, 128, {Kind::alphaPng}},
                                 {255, 256, {Kind::alphaPng}},
                                 {32, 1024, {Kind::alphaPng}}};
  std::printf(
      "| frames | side | pixels | kind | kinetor ms | floor ms | ratio | kinetor CPU ms |\n");
  std::printf("|---|---|---|---|---|---|---|---|\n");
  bool ok = true;
  for (const Row& r : rows) {
    for (Kind kind : r.kinds) {
      const Outcome o = measure({kind, r.frames, r.side}, r.side > 256 ? 5 : 9, base / "growth");
      ok = ok && o.ok;
      std::printf("| %d | %d | %lld | %s | %.1f | %.1f | %.2f | %.1f |\n", r.frames, r.side,
                  static_cast<long long>(r.frames) * r.side * r.side, kindName(kind), o.build * 1e3,
                  o.floor * 1e3, o.ratio, o.buildCpu * 1e3);
    }
  }
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  const fs::path base =
      fs::temp_directory_path() / ("kinetor-batch-bench-" + std::to_string(getpid()));
  if (argc > 2 && std::string(argv[1]) == "--png-floor") {
    return pngFloor(std::strtoull(argv[2], nullptr, 10),
                    std::span<char* const>(argv + 3, argv + argc));
  }
  if (argc > 2 && std::string(argv[1]) == "--fixture") {
    fixture::Shape shape;
    if (argc > 3 && std::string(argv[3]) == "many") shape.kind = fixture::Kind::manyColours;
    if (argc > 3 && std::string(argv[3]) == "png") shape.kind = fixture::Kind::alphaPng;
    const fs::path dir = argv[2];
    fs::create_directories(dir);
    fs::copy_file(KINETOR_EXE, dir / "kinetor", fs::copy_options::overwrite_existing);
    fixture::writeBatchFiles(dir.string(), fixture::writeFrames(dir.string(), shape),
                             (dir / "out.anim").string(), shape.kind);
    return 0;
  }
  if (argc > 1 && std::string(argv[1]) == "--growth") {
    const int status = growth(base);
    fs::remove_all(base);
    return status;
  }
  const int pairs = std::max(9, argc > 1 ? std::atoi(argv[1]) : 11);
  bool ok = true;
  for (fixture::Kind kind :
       {fixture::Kind::flat, fixture::Kind::manyColours, fixture::Kind::alphaPng}) {
    const bool png = kind == fixture::Kind::alphaPng;
    const Outcome o =
        measure({kind, fixture::kFrames, png ? 128 : fixture::kSide}, pairs, base / "run");
    ok = ok && o.ok;
    std::printf("%s: %d files, %llu bytes in, %llu bytes out\n", kindName(kind), fixture::kFrames,
                static_cast<unsigned long long>(o.inputBytes),
                static_cast<unsigned long long>(o.outputBytes));
    const char* floorName = png ? "decode + write" : "cat";
    if (png) std::printf("  128 x 128 PNG frames with [Sizes] %s\n", fixture::kSizesLine);
    std::printf("  %d alternating pairs: kinetor %.2f ms, %s %.2f ms (medians)\n", pairs,
                o.build * 1e3, floorName, o.floor * 1e3);
    std::printf("  kinetor / %s: median %.2f, best %.2f, worst %.2f (goal <= %s)\n", floorName,
                o.ratio, o.best, o.worst, png ? "2" : "1.5");
    std::printf("  CPU time (user + system, medians): kinetor %.1f ms, %s %.1f ms\n",
                o.buildCpu * 1e3, floorName, o.floorCpu * 1e3);
    if (png) {
      std::printf("  kinetor peak RSS: %.1f MiB\n",
                  o.rssOverInput * static_cast<double>(o.inputBytes) / (1 << 20));
    } else {
      std::printf("  kinetor peak RSS: %.2f x the input (goal <= 1.5)\n", o.rssOverInput);
    }
  }
  fs::remove_all(base);
  return ok ? 0 : 1;
}
