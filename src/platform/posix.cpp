// Linux/macOS counterpart of win32.cpp: plain file descriptors, calloc.
#include <fcntl.h>
#include <malloc.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags != -1) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
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

static FileHandle createWith(const char* path, int extraFlags) {
  if (path == nullptr || path[0] == '\0') return kInvalidFile;
  int fd = ::open(path, O_WRONLY | O_CREAT | O_CLOEXEC | extraFlags, 0644);
  return fd < 0 ? kInvalidFile : fd;
}

FileHandle createForWrite(const char* path) { return createWith(path, O_TRUNC); }

FileHandle createNewForWrite(const char* path) { return createWith(path, O_EXCL); }

void reserveFileSpace(FileHandle file, uint64_t bytes) {
#if defined(__linux__)
  // Without changing the file's size: it grows with what is written. On
  // ext4 a file written into reserved blocks is not flushed when it
  // replaces another by a rename.
  if (file != kInvalidFile && bytes <= static_cast<uint64_t>(INT64_MAX)) {
    ::fallocate(static_cast<int>(file), FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(bytes));
  }
#else
  (void)file;
  (void)bytes;
#endif
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

bool replaceFile(const char* from, const char* to) { return ::rename(from, to) == 0; }

bool removeFile(const char* path) { return ::unlink(path) == 0; }

bool nameTaken(const char* path) {
  struct stat st {};
  return path != nullptr && ::lstat(path, &st) == 0;
}

uint32_t processId() { return static_cast<uint32_t>(::getpid()); }

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
