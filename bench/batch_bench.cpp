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
#include <filesystem>
#include <string>
#include <vector>

#include "fixture.h"

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
  fixture::writeBatchFiles(dir.string(), frames, output);

  const std::vector<std::string> candidate = {program.string(), (dir / "build.txt").string()};
  std::vector<std::string> floor = {"/bin/cat"};
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
  if (!o.ok) std::fprintf(stderr, "a run failed: kinetor must exit 1 (written), cat 0\n");
  return o;
}

const char* kindName(fixture::Kind kind) {
  return kind == fixture::Kind::flat ? "flat" : "many colours";
}

// How the cost grows with the frame count and the frame side, on both kinds
// of picture. 147 pixels is the largest square 24-bit frame a BMP frame file
// may hold.
int growth(const std::filesystem::path& base) {
  struct Row {
    int frames, side;
  };
  const Row rows[] = {{32, 147}, {128, 147}, {255, 147}, {255, 32}, {255, 64}, {255, 128}};
  std::printf("| frames | side | pixels | kind | kinetor ms | cat ms | ratio | kinetor CPU ms |\n");
  std::printf("|---|---|---|---|---|---|---|---|\n");
  bool ok = true;
  for (const Row& r : rows) {
    for (fixture::Kind kind : {fixture::Kind::flat, fixture::Kind::manyColours}) {
      const Outcome o = measure({kind, r.frames, r.side}, 9, base / "growth");
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
  if (argc > 2 && std::string(argv[1]) == "--fixture") {
    fixture::Shape shape;
    if (argc > 3 && std::string(argv[3]) == "many") shape.kind = fixture::Kind::manyColours;
    const fs::path dir = argv[2];
    fs::create_directories(dir);
    fs::copy_file(KINETOR_EXE, dir / "kinetor", fs::copy_options::overwrite_existing);
    fixture::writeBatchFiles(dir.string(), fixture::writeFrames(dir.string(), shape),
                             (dir / "out.anim").string());
    return 0;
  }
  if (argc > 1 && std::string(argv[1]) == "--growth") {
    const int status = growth(base);
    fs::remove_all(base);
    return status;
  }
  const int pairs = std::max(9, argc > 1 ? std::atoi(argv[1]) : 11);
  bool ok = true;
  for (fixture::Kind kind : {fixture::Kind::flat, fixture::Kind::manyColours}) {
    const Outcome o = measure({kind}, pairs, base / "run");
    ok = ok && o.ok;
    std::printf("%s: %d files, %llu bytes in, %llu bytes out\n", kindName(kind), fixture::kFrames,
                static_cast<unsigned long long>(o.inputBytes),
                static_cast<unsigned long long>(o.outputBytes));
    std::printf("  %d alternating pairs: kinetor %.2f ms, cat %.2f ms (medians)\n", pairs,
                o.build * 1e3, o.floor * 1e3);
    std::printf("  kinetor / cat: median %.2f, best %.2f, worst %.2f (goal <= 1.5)\n", o.ratio,
                o.best, o.worst);
    std::printf("  CPU time (user + system, medians): kinetor %.1f ms, cat %.1f ms\n",
                o.buildCpu * 1e3, o.floorCpu * 1e3);
    std::printf("  kinetor peak RSS: %.2f x the input (goal <= 1.5)\n", o.rssOverInput);
  }
  fs::remove_all(base);
  return ok ? 0 : 1;
}
