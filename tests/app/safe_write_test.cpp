// How the real programs replace their output: whole and on the disk before
// the old file goes, with the old file's permission bits, and without
// temporary files that outlive a killed run.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/bmp_writer.h"
#include "support/process.h"

namespace fs = std::filesystem;

namespace {

// A path as this process's file calls take it (Wine reaches "/" as Z:).
std::string hostPath(std::string path) {
#ifdef _WIN32
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
#endif
  return path;
}

// A frame as large as a frame may be (147 x 147 at 24 bits, 65322 bytes),
// so that few frames make a long write.
std::string writeLargeFrame(const std::string& dir) {
  BmpLayout layout;
  layout.width = 147;
  layout.height = 147;
  const std::string path = dir + "/large.bmp";
  EXPECT_TRUE(writeFileBytes(path, makeBmp(layout, [](int32_t x, int32_t y) {
                               return static_cast<uint32_t>(x * 0x010305 + y * 0x070100);
                             })));
  return path;
}

std::string writeScript(const std::string& path, const std::string& output,
                        const std::string& frame, int frames) {
  std::string text = "[Result]\r\n" + output + "\r\n[BMP]\r\n";
  for (int i = 0; i < frames; ++i) text += frame + "\r\n";
  EXPECT_TRUE(writeFileBytes(path, text));
  return path;
}

std::vector<std::string> namesIn(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// A build removes what runs of its own target that no longer run left
// behind, and nothing else. No process has an id this high: Linux stops
// below 2^22 and Windows ids are far smaller.
TEST(SafeWrite, ABuildRemovesTheTemporaryFilesOfEndedRunsOfItsTarget) {
  const std::string dir = hostPath(makeTempDir());
  const std::string out = dir + "/out.anim";
  const std::string frame = writeLargeFrame(dir);
  const std::string script = writeScript(dir + "/build.txt", out, frame, 2);
  const std::string ended = std::to_string((1u << 22) + 4);
  const std::string running = std::to_string(plat::processId());
  const std::vector<std::string> gone = {"out.anim.~kinetor" + ended + "-0.tmp",
                                         "out.anim.~kinetor" + ended + "-17.tmp"};
  const std::vector<std::string> kept = {
      "out.anim.~kinetor" + running + "-0.tmp",  // its process still runs
      "other.anim.~kinetor" + ended + "-0.tmp",  // another target's
      "out.anim.~kinetor" + ended + "-1.tmp.bak",
      "out.anim.~kinetor" + ended + ".tmp",
      "out.anim.~kinetorx-0.tmp",
  };
  for (const auto& names : {gone, kept}) {
    for (const auto& name : names) ASSERT_TRUE(writeFileBytes(dir + "/" + name, "left"));
  }
  std::vector<std::string> expected = kept;
  expected.insert(expected.end(), {"build.txt", "large.bmp", "out.anim"});
  std::sort(expected.begin(), expected.end());

  const ProcessResult r = runKinetor(script);
  EXPECT_EQ(r.exitCode, 1) << r.errorOutput;
  EXPECT_EQ(namesIn(dir), expected);
  EXPECT_EQ(readFileBytes(out).substr(0, 4), "RIFF");
}

#ifndef _WIN32
mode_t modeOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 0777 : 0;
}

// The old file's permission bits stay (also the bits of a file that a link
// at the name leads to); a new file gets what the umask leaves of 0666. A
// link at the name is replaced by the new file, never written through.
TEST(SafeWrite, ReplacedFilesKeepTheirPermissionBitsAndLinksAreNotFollowed) {
  const std::string dir = makeTempDir();
  const std::string frame = writeLargeFrame(dir);
  const mode_t umaskNow = ::umask(0);
  ::umask(umaskNow);
  const std::string linked = dir + "/linked.txt";
  ASSERT_TRUE(writeFileBytes(linked, "keep"));
  ::chmod(linked.c_str(), 0640);

  struct Case {
    const char* name;
    mode_t oldMode;  // 0: no old file
    bool link;
    mode_t expected;
  };
  const Case cases[] = {{"private.anim", 0600, false, 0600},
                        {"shared.anim", 0664, false, 0664},
                        {"new.anim", 0, false, static_cast<mode_t>(0666 & ~umaskNow)},
                        {"link.anim", 0, true, 0640}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string out = dir + "/" + c.name;
    if (c.link) fs::create_symlink(linked, out);
    if (c.oldMode != 0) {
      ASSERT_TRUE(writeFileBytes(out, "old"));
      ::chmod(out.c_str(), c.oldMode);
    }
    const std::string script = writeScript(dir + "/build.txt", out, frame, 2);
    const ProcessResult r = runKinetor(script);
    EXPECT_EQ(r.exitCode, 1) << r.errorOutput;
    EXPECT_EQ(modeOf(out), c.expected);
    EXPECT_FALSE(fs::is_symlink(out));
    // kinetor-show's picture is replaced the same way.
    const std::string png = out + ".png";
    if (c.link) fs::create_symlink(linked, png);
    if (c.oldMode != 0) {
      ASSERT_TRUE(writeFileBytes(png, "old"));
      ::chmod(png.c_str(), c.oldMode);
    }
    const ProcessResult shown = runProgram(KINETOR_SHOW_EXE, {out, "--png", png});
    EXPECT_EQ(shown.exitCode, 0) << shown.errorOutput;
    EXPECT_EQ(modeOf(png), c.expected);
    EXPECT_EQ(readFileBytes(png).substr(1, 3), "PNG");
  }
  EXPECT_EQ(readFileBytes(linked), "keep");
}

// Starts the program on `script` with the ending signals at their default
// actions, as a shell starts it.
pid_t startKinetor(const std::string& script) {
  const pid_t pid = fork();
  if (pid == 0) {
    for (int s : {SIGINT, SIGTERM, SIGHUP}) signal(s, SIG_DFL);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    execl(KINETOR_EXE, KINETOR_EXE, script.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

// Ctrl-C, SIGTERM and SIGHUP that arrive while the output is written remove
// the temporary file and leave the old file. The signal goes out as soon as
// the temporary file shows; a build that has moved it over the target by
// then is run again with more frames.
TEST(SafeWrite, EndingSignalsDuringTheWriteLeaveNoTemporaryFile) {
  const std::string dir = makeTempDir();
  const std::string frame = writeLargeFrame(dir);
  const std::string out = dir + "/out.anim";
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(strsignal(signal));
    bool caught = false;
    for (int frames : {32, 96, 255, 255, 255}) {
      if (caught) break;
      ASSERT_TRUE(writeFileBytes(out, "old"));
      const std::string script = writeScript(dir + "/build.txt", out, frame, frames);
      const pid_t pid = startKinetor(script);
      ASSERT_GT(pid, 0);
      const std::string temp = out + ".~kinetor" + std::to_string(pid) + "-0.tmp";
      int status = 0;
      pid_t ended = 0;
      while ((ended = waitpid(pid, &status, WNOHANG)) == 0) {
        if (fileExists(temp)) {
          kill(pid, signal);
          ended = waitpid(pid, &status, 0);
          break;
        }
        sched_yield();
      }
      ASSERT_EQ(ended, pid);
      EXPECT_FALSE(fileExists(temp)) << "frames: " << frames;
      caught = WIFSIGNALED(status) && WTERMSIG(status) == signal && readFileBytes(out) == "old";
    }
    if (!caught) GTEST_SKIP() << "skipped: every build moved its file in place before the signal";
  }
  EXPECT_EQ(namesIn(dir), (std::vector<std::string>{"build.txt", "large.bmp", "out.anim"}));
}
#endif

#ifdef __linux__
// Runs a shell command quietly; true when it succeeded.
bool run(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// The file system is left unmounted whatever the test's outcome.
struct Mount {
  std::string point;
  ~Mount() { run("umount " + point); }
};

// Cuts the power to the file system at `point`, as far as it can tell: no
// write reaches its disk any more, and with `flushLog` false neither does
// the part of its journal it still holds.
bool cutPower(const std::string& point, bool flushLog) {
  const unsigned long kShutdown = _IOR('X', 125, uint32_t);
  uint32_t flags = flushLog ? 1 : 2;
  const int fd = open(point.c_str(), O_RDONLY | O_DIRECTORY);
  const bool cut = fd >= 0 && ioctl(fd, kShutdown, &flags) == 0;
  if (fd >= 0) close(fd);
  return cut;
}

// A build over an old file, and the power cut the moment the program has
// ended: after the file system is mounted again, the target is the whole
// new file, with the old file's permission bits.
TEST(SafeWrite, APowerCutRightAfterABuildKeepsTheWholeNewFile) {
  if (geteuid() != 0) GTEST_SKIP() << "skipped: mounting a test file system needs root";
  const std::string dir = makeTempDir();
  const std::string image = dir + "/ext4.img", point = dir + "/mnt";
  fs::create_directory(point);
  if (!run("truncate -s 32M " + image) || !run("mkfs.ext4 -q -F " + image)) {
    GTEST_SKIP() << "skipped: mkfs.ext4 (e2fsprogs) cannot make a test file system";
  }
  Mount mount{point};
  if (!run("mount -o loop,noauto_da_alloc " + image + " " + point)) {
    GTEST_SKIP() << "skipped: this machine cannot mount a file system from an image";
  }
  const std::string frame = writeLargeFrame(dir);
  const std::string reference = dir + "/reference.anim";
  ASSERT_EQ(runKinetor(writeScript(dir + "/ref.txt", reference, frame, 16)).exitCode, 1);
  const std::string expected = readFileBytes(reference);
  ASSERT_GT(expected.size(), 1000000u);

  const std::string out = point + "/out.anim";
  const std::string script = writeScript(dir + "/build.txt", out, frame, 16);
  for (bool flushLog : {false, true}) {
    SCOPED_TRACE(flushLog ? "journal flushed" : "journal lost");
    // An old file of the same size, on the disk before the build starts.
    ASSERT_TRUE(writeFileBytes(out, std::string(expected.size(), 'o')));
    ASSERT_EQ(chmod(out.c_str(), 0600), 0);
    ASSERT_TRUE(run("sync -f " + point));
    ASSERT_EQ(runKinetor(script).exitCode, 1);
    if (!cutPower(point, flushLog)) GTEST_SKIP() << "skipped: the file system refuses a shutdown";
    ASSERT_TRUE(run("umount " + point));
    ASSERT_TRUE(run("mount -o loop,noauto_da_alloc " + image + " " + point));
    EXPECT_TRUE(readFileBytes(out) == expected) << "size " << readFileBytes(out).size();
    EXPECT_EQ(modeOf(out), 0600u);
    EXPECT_EQ(namesIn(point), (std::vector<std::string>{"lost+found", "out.anim"}));
  }
}
#endif

}  // namespace
