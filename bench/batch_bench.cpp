// Speed as the user meets it: the whole `kinetor build.txt` process on the
// fixture of fixture.h, against a floor process that reads every input file
// and writes one file (`cat` of the frames into a temporary file, which is
// then flushed and moved over the last one, as the build saves its output),
// alternating in one run.
//
//   kinetor_batch_bench [PAIRS]     (default 11 pairs, at least 9)
//   kinetor_batch_bench --fixture DIR   only writes the fixture and a copy of
//                                       the program into DIR, for profiling
//
// Prints the median of the per-pair time ratios, the medians of both times,
// and the candidate's peak resident set over the total input bytes.
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

}  // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  const bool fixtureOnly = argc > 2 && std::string(argv[1]) == "--fixture";
  const int pairs = std::max(9, argc > 1 && !fixtureOnly ? std::atoi(argv[1]) : 11);
  const fs::path dir =
      fixtureOnly ? fs::path(argv[2])
                  : fs::temp_directory_path() / ("kinetor-batch-bench-" + std::to_string(getpid()));
  fs::create_directories(dir);
  // The program reads its settings from beside itself, so a copy of it runs
  // from the fixture's folder.
  const fs::path program = dir / "kinetor";
  fs::copy_file(KINETOR_EXE, program, fs::copy_options::overwrite_existing);
  const fixture::Frames frames = fixture::writeFrames(dir.string());
  const std::string output = (dir / "out.anim").string();
  fixture::writeBatchFiles(dir.string(), frames, output);
  if (fixtureOnly) return 0;

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

  std::vector<double> ratios, builds, floors, buildCpu, floorCpu;
  long peakKb = 0;
  bool ok = true;
  for (int i = 0; i < pairs; ++i) {
    const Run b = runProcess(candidate, nullptr);
    const Run f = runFloor();
    ok = ok && b.exitCode == 1 && f.exitCode == 0;
    ratios.push_back(b.seconds / f.seconds);
    builds.push_back(b.seconds);
    floors.push_back(f.seconds);
    buildCpu.push_back(b.cpuSeconds);
    floorCpu.push_back(f.cpuSeconds);
    peakKb = std::max(peakKb, b.peakKb);
  }
  const double rss = static_cast<double>(peakKb) * 1024;
  std::printf("input: %d files, %llu bytes; output: %llu bytes\n", fixture::kFrames,
              static_cast<unsigned long long>(frames.inputBytes),
              static_cast<unsigned long long>(ok ? fs::file_size(output) : 0));
  std::printf("%d alternating pairs: kinetor %.2f ms, cat %.2f ms (medians)\n", pairs,
              median(builds) * 1e3, median(floors) * 1e3);
  std::printf("kinetor / cat: median %.2f, best %.2f, worst %.2f (goal <= 2)\n", median(ratios),
              *std::min_element(ratios.begin(), ratios.end()),
              *std::max_element(ratios.begin(), ratios.end()));
  std::printf("CPU time (user + system, medians): kinetor %.1f ms, cat %.1f ms\n",
              median(buildCpu) * 1e3, median(floorCpu) * 1e3);
  std::printf("kinetor peak RSS: %.2f MB = %.2f x the input (goal <= 2)\n", rss / 1e6,
              rss / static_cast<double>(frames.inputBytes));
  fs::remove_all(dir);
  if (!ok) {
    std::fprintf(stderr, "a run failed: kinetor must exit 1 (written), cat 0\n");
    return 1;
  }
  return 0;
}
