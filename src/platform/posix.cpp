// Linux/macOS counterpart of win32.cpp: plain file descriptors, calloc.
#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#if defined(__APPLE__)
#include <mach-o/dyld.h>
#endif

#include "platform/platform.h"

namespace plat {

namespace {
char g_heapToken;
}  // namespace

FileHandle openForRead(const char* path) {
  if (path == nullptr) return kInvalidFile;
  // Without O_NONBLOCK a FIFO would wait here for a writer forever. Only
  // regular files are read: directories, FIFOs and devices are refused.
  int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return kInvalidFile;
  struct stat st {};
  const bool examined = ::fstat(fd, &st) == 0;
  if (!examined || !S_ISREG(st.st_mode)) {
    // Told apart for lastFileError: a folder, or some other kind of file.
    const int why = !examined ? errno : S_ISDIR(st.st_mode) ? EISDIR : ENXIO;
    ::close(fd);
    errno = why;
    return kInvalidFile;
  }
  // O_NONBLOCK stays: it changes nothing for a regular file's reads.
  return fd;
}

int64_t fileSize(FileHandle file) {
  struct stat st {};
  if (file == kInvalidFile || ::fstat(static_cast<int>(file), &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

uint32_t readBytes(FileHandle file, void* buffer, uint32_t count) {
  uint32_t done = 0;
  auto* out = static_cast<char*>(buffer);
  while (done < count) {
    ssize_t n = ::read(static_cast<int>(file), out + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<uint32_t>(n);
  }
  return done;
}

FileHandle createNewForWrite(const char* path) {
  if (path == nullptr || path[0] == '\0') return kInvalidFile;
  // Private until it is complete: whoever opens a file keeps what the
  // permissions allowed at that moment, so a copy of a private file must
  // not pass through wider ones. takePermissionsOf widens it at the end.
  int fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  return fd < 0 ? kInvalidFile : fd;
}

bool writeBytes(FileHandle file, const void* data, uint32_t count) {
  if (file == kInvalidFile) return false;
  uint32_t done = 0;
  const auto* in = static_cast<const char*>(data);
  while (done < count) {
    ssize_t n = ::write(static_cast<int>(file), in + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<uint32_t>(n);
  }
  return true;
}

bool closeFile(FileHandle file) {
  if (file == kInvalidFile) return true;
  return ::close(static_cast<int>(file)) == 0;
}

bool replaceFile(const char* from, const char* to) {
  if (::rename(from, to) != 0) return false;
  // The new name lives in the folder, which is a file of its own: until it
  // is on disk, a crash may bring back the old entry. Where the folder
  // cannot be flushed, the move still happened: either entry then names a
  // whole file, so the result is not turned into a failure.
  const char* slash = std::strrchr(to, '/');
  const std::string folder = slash == nullptr ? "." : std::string(to, slash + 1);
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
  return true;
}

bool removeFile(const char* path) { return ::unlink(path) == 0; }

bool nameTaken(const char* path) {
  struct stat st {};
  return path != nullptr && ::lstat(path, &st) == 0;
}

bool makeFolder(const char* path) {
  if (path == nullptr) return false;
  if (::mkdir(path, 0777) == 0) return true;
  struct stat st {};
  return errno == EEXIST && ::stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

bool tempFolder(char* buffer, uint32_t capacity) {
  const char* dir = std::getenv("TMPDIR");
  if (dir == nullptr || dir[0] == '\0') dir = "/tmp";
  const size_t length = std::strlen(dir);
  const bool separator = dir[length - 1] == '/';
  if (capacity == 0 || length + (separator ? 1 : 2) > capacity) {
    if (capacity != 0) buffer[0] = '\0';
    return false;
  }
  std::memcpy(buffer, dir, length);
  if (!separator) buffer[length] = '/';
  buffer[length + (separator ? 0 : 1)] = '\0';
  return true;
}

uint32_t processId() { return static_cast<uint32_t>(::getpid()); }

bool flushFile(FileHandle file) {
  if (file == kInvalidFile) return false;
  int result;
  do {
    result = ::fsync(static_cast<int>(file));
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

void startWriteBack(FileHandle file, uint64_t offset, uint64_t count) {
  if (file == kInvalidFile || offset > INT64_MAX || count > INT64_MAX) return;
  // Not waiting: a failure shows up in the flush that follows.
  ::sync_file_range(static_cast<int>(file), static_cast<off_t>(offset), static_cast<off_t>(count),
                    SYNC_FILE_RANGE_WRITE);
}

NameHolder whatHolds(const char* path) {
  struct stat st {};
  if (path == nullptr) return NameHolder::nothing;
  if (::stat(path, &st) == 0 || (::lstat(path, &st) == 0 && !S_ISLNK(st.st_mode))) {
    if (S_ISREG(st.st_mode)) return NameHolder::file;
    // Left for lastFileError, which a refused target reports.
    errno = S_ISDIR(st.st_mode) ? EISDIR : ENXIO;
    return NameHolder::other;
  }
  // A link that leads nowhere is replaced like a missing file.
  return NameHolder::nothing;
}

void takePermissionsOf(FileHandle file, const char* target) {
  if (file == kInvalidFile) return;
  struct stat st {};
  mode_t mode;
  if (target != nullptr && ::stat(target, &st) == 0 && S_ISREG(st.st_mode)) {
    mode = st.st_mode & 0777;
  } else {
    // The umask can only be read by setting it; one thread runs here.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  // Where the system refuses, the file stays private: never wider than meant.
  ::fchmod(static_cast<int>(file), mode);
}

namespace {

// What the signal handler reads: the path is complete before `armed` is set
// and stays untouched while it is.
char g_interruptPath[PATH_MAX];
volatile sig_atomic_t g_interruptArmed = 0;

void removeThenEnd(int signal) {
  if (g_interruptArmed != 0) ::unlink(g_interruptPath);
  // SA_RESETHAND has put the default action back: the signal, raised once
  // more, ends the process as it would have without this handler.
  ::raise(signal);
}

void catchEndingSignals() {
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction old {};
    // A signal ignored from the start (nohup) stays ignored.
    if (::sigaction(signal, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = removeThenEnd;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    ::sigaction(signal, &action, nullptr);
  }
}

}  // namespace

void removeOnInterrupt(const char* path) {
  g_interruptArmed = 0;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  if (path == nullptr) return;
  const size_t length = std::strlen(path);
  if (length >= sizeof g_interruptPath) return;
  static const bool caught = (catchEndingSignals(), true);
  (void)caught;
  std::memcpy(g_interruptPath, path, length + 1);
  std::atomic_signal_fence(std::memory_order_seq_cst);
  g_interruptArmed = 1;
}

bool forEachName(const char* folder, void (*visit)(const char* name, void* context),
                 void* context) {
  DIR* dir = ::opendir(folder == nullptr || folder[0] == '\0' ? "." : folder);
  if (dir == nullptr) return false;
  while (const dirent* entry = ::readdir(dir)) visit(entry->d_name, context);
  ::closedir(dir);
  return true;
}

bool processRuns(uint32_t id) {
  // 0 and values past pid_t would name a group or nothing: left alone.
  if (id == 0 || id > static_cast<uint32_t>(INT_MAX)) return true;
  return ::kill(static_cast<pid_t>(id), 0) == 0 || errno != ESRCH;
}

// Here a "view" is a copy in memory. Another program may truncate a file
// while it is mapped, and touching a mapped page past the new end kills the
// process with SIGBUS; a copy cannot change under the reader. The handle
// carries the descriptor plus one so that 0 still means "none".
MapHandle createReadMapping(FileHandle file, uint32_t size) {
  if (file == kInvalidFile || size == 0) return 0;
  return file + 1;
}

const uint8_t* mapView(MapHandle mapping, uint32_t size) {
  if (mapping == 0 || size == 0) return nullptr;
  auto* copy = static_cast<uint8_t*>(std::malloc(size));
  if (copy == nullptr) return nullptr;
  const int fd = static_cast<int>(mapping - 1);
  uint32_t done = 0;
  while (done < size) {
    ssize_t n = ::pread(fd, copy + done, size - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<uint32_t>(n);
  }
  // A file that shrank since its size was taken is not the file that was
  // measured: the caller treats it as unreadable.
  if (done != size) {
    std::free(copy);
    return nullptr;
  }
  return copy;
}

void unmapView(const uint8_t* view, uint32_t) { std::free(const_cast<uint8_t*>(view)); }

void closeMapping(MapHandle) {}

// The C heap has no handle; any non-null token stands for it. A build
// touches tens of megabytes of fresh heap, which the kernel would map a
// 4 KiB page (and one fault) at a time: the heap grows in 32 MiB steps
// instead, and where transparent huge pages are on offer it asks for them,
// so the same memory comes in 2 MiB pieces.
void* processHeap() {
#if defined(__GLIBC__) && defined(MADV_HUGEPAGE)
  static const bool tuned = [] {
    constexpr size_t kStep = size_t{32} << 20;
    constexpr uintptr_t kHuge = uintptr_t{2} << 20;
    mallopt(M_MMAP_THRESHOLD, static_cast<int>(kStep));
    mallopt(M_TOP_PAD, static_cast<int>(kStep));
    mallopt(M_TRIM_THRESHOLD, static_cast<int>(2 * kStep));
    // One block of a step's size moves the heap's end a step out now.
    void* probe = std::malloc(kStep / 2);
    const auto start = reinterpret_cast<uintptr_t>(probe);
    const auto end = reinterpret_cast<uintptr_t>(::sbrk(0));
    const uintptr_t from = (start + kHuge - 1) & ~(kHuge - 1);
    if (probe != nullptr && end > from) {
      ::madvise(reinterpret_cast<void*>(from), end - from, MADV_HUGEPAGE);
    }
    std::free(probe);
    return true;
  }();
  (void)tuned;
#endif
  return &g_heapToken;
}

void* heapAllocZeroed(void*, size_t bytes) {
  // calloc(0) may answer null; the program treats a zero-byte block as made.
  return std::calloc(bytes == 0 ? 1 : bytes, 1);
}

void* heapAllocForOverwrite(void*, size_t bytes) { return std::malloc(bytes == 0 ? 1 : bytes); }

void heapFree(void*, void* block) { std::free(block); }

void errorBox(const char* caption, const char* text) {
  std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
}

void diagnostic(const char* text) { std::fprintf(stderr, "%s\n", text); }

uint32_t modulePath(char* buffer, uint32_t capacity) {
  if (buffer == nullptr || capacity == 0) return 0;
  char tmp[4096];
  ssize_t n = -1;
#if defined(__APPLE__)
  uint32_t len = sizeof tmp;
  if (_NSGetExecutablePath(tmp, &len) == 0) n = static_cast<ssize_t>(std::strlen(tmp));
#else
  n = ::readlink("/proc/self/exe", tmp, sizeof tmp - 1);
#endif
  if (n < 0) n = 0;
  // Like GetModuleFileNameA: a path that does not fit is cut and still
  // terminated, and the full capacity is reported.
  uint32_t len32 = static_cast<uint32_t>(n);
  if (len32 >= capacity) len32 = capacity - 1;
  std::memcpy(buffer, tmp, len32);
  buffer[len32] = '\0';
  return static_cast<uint32_t>(n) >= capacity ? capacity : len32;
}

char* commandLine() { return nullptr; }

void printText(const char* text) { std::fputs(text, stdout); }

void* moduleInstance() { return nullptr; }

void exitProcess(int code) {
  std::fflush(nullptr);
  std::exit(code);
}

bool userConfigDir(char* buffer, uint32_t capacity) {
  if (buffer == nullptr || capacity == 0) return false;
  buffer[0] = '\0';
#if defined(__linux__)
  // Relative values are to be ignored, as the base directory rules say.
  auto absolute = [](const char* value) { return value != nullptr && value[0] == '/'; };
  std::string dir;
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (absolute(config)) {
    dir = config;
  } else {
    const char* home = std::getenv("HOME");
    if (!absolute(home)) return false;
    dir = home;
    dir += "/.config";
  }
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  if (dir.size() >= capacity) return false;
  std::memcpy(buffer, dir.c_str(), dir.size() + 1);
  return true;
#else
  return false;
#endif
}

bool fileIdentity(const char* path, FileIdentity& out) {
  struct stat st {};
  if (path == nullptr || path[0] == '\0' || ::stat(path, &st) != 0) return false;
  out.volume = static_cast<uint64_t>(st.st_dev);
  out.index = static_cast<uint64_t>(st.st_ino);
  return true;
}

bool fileStamp(FileHandle file, FileStamp& out) {
  struct stat st {};
  if (file == kInvalidFile || ::fstat(static_cast<int>(file), &st) != 0) return false;
#if defined(__APPLE__)
  const timespec& modified = st.st_mtimespec;
  const timespec& changed = st.st_ctimespec;
#else
  const timespec& modified = st.st_mtim;
  const timespec& changed = st.st_ctim;
#endif
  constexpr int64_t kNano = 1000000000;
  out.size = static_cast<int64_t>(st.st_size);
  out.modified = static_cast<int64_t>(modified.tv_sec) * kNano + modified.tv_nsec;
  out.changed = static_cast<int64_t>(changed.tv_sec) * kNano + changed.tv_nsec;
  return true;
}

const char* lastFileError() {
  switch (errno) {
    case ENOENT:
      return "no such file or folder";
    case ENOTDIR:
      return "a part of the path is not a folder";
    case EACCES:
    case EPERM:
      return "permission denied";
    case EISDIR:
      return "is a folder";
    case ENXIO:
    case ENODEV:
      return "not a regular file";
    case ENOSPC:
    case EDQUOT:
      return "disk full";
    case EFBIG:
      return "file too large";
    case ENAMETOOLONG:
      return "path too long";
    case EROFS:
      return "read-only file system";
    case ELOOP:
      return "too many symbolic links";
    case EIO:
      return "input/output error";
    default:
      break;
  }
  static thread_local char text[64];
  std::snprintf(text, sizeof text, "system error %d", errno);
  return text;
}

}  // namespace plat
