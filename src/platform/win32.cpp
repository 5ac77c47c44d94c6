// Windows implementation of the platform interface: kernel32 and user32 only.
#include <windows.h>

#include "platform/platform.h"

namespace plat {

namespace {
HANDLE toHandle(FileHandle f) { return reinterpret_cast<HANDLE>(f); }
FileHandle fromHandle(HANDLE h) {
  return h == INVALID_HANDLE_VALUE ? kInvalidFile : reinterpret_cast<FileHandle>(h);
}
}  // namespace

FileHandle openForRead(const char* path) {
  if (path == nullptr) return kInvalidFile;
  HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  // Pipes and devices (CON, COM1, named pipes) could keep a read waiting.
  if (h != INVALID_HANDLE_VALUE && GetFileType(h) != FILE_TYPE_DISK) {
    CloseHandle(h);
    SetLastError(ERROR_BAD_FILE_TYPE);
    return kInvalidFile;
  }
  // A folder cannot be opened this way, and says only "access denied".
  if (h == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED) {
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      SetLastError(ERROR_DIRECTORY);
    } else {
      SetLastError(ERROR_ACCESS_DENIED);
    }
  }
  return fromHandle(h);
}

int64_t fileSize(FileHandle file) {
  if (file == kInvalidFile) return -1;
  DWORD high = 0;
  DWORD low = GetFileSize(toHandle(file), &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return -1;
  return (static_cast<int64_t>(high) << 32) | low;
}

uint32_t readBytes(FileHandle file, void* buffer, uint32_t count) {
  DWORD got = 0;
  if (!ReadFile(toHandle(file), buffer, count, &got, nullptr)) return 0;
  return got;
}

FileHandle createNewForWrite(const char* path) {
  if (path == nullptr || path[0] == '\0') return kInvalidFile;
  // Shared for deletion so that the console handler can remove the file
  // while it is still open; it goes when the last handle closes.
  return fromHandle(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool writeBytes(FileHandle file, const void* data, uint32_t count) {
  if (file == kInvalidFile) return false;
  DWORD done = 0;
  return WriteFile(toHandle(file), data, count, &done, nullptr) && done == count;
}

bool closeFile(FileHandle file) {
  if (file == kInvalidFile) return true;
  return CloseHandle(toHandle(file)) != 0;
}

bool replaceFile(const char* from, const char* to) {
  return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool removeFile(const char* path) { return DeleteFileA(path) != 0; }

bool nameTaken(const char* path) {
  return path != nullptr && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

bool makeFolder(const char* path) {
  if (path == nullptr) return false;
  if (CreateDirectoryA(path, nullptr)) return true;
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool tempFolder(char* buffer, uint32_t capacity) {
  const DWORD length = GetTempPathA(capacity, buffer);
  if (length == 0 || length >= capacity) {
    if (capacity != 0) buffer[0] = '\0';
    return false;
  }
  return true;
}

uint32_t processId() { return GetCurrentProcessId(); }

bool flushFile(FileHandle file) {
  return file != kInvalidFile && FlushFileBuffers(toHandle(file)) != 0;
}

// The system writes back on its own schedule; FlushFileBuffers does the rest.
void startWriteBack(FileHandle, uint64_t, uint64_t) {}

NameHolder whatHolds(const char* path) {
  const DWORD attributes = path != nullptr ? GetFileAttributesA(path) : INVALID_FILE_ATTRIBUTES;
  if (attributes == INVALID_FILE_ATTRIBUTES) return NameHolder::nothing;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return NameHolder::file;
  SetLastError(ERROR_DIRECTORY);
  return NameHolder::other;
}

void takePermissionsOf(FileHandle, const char*) {}

namespace {

// What the console handler, which runs on a thread of its own, reads: the
// path is complete before `armed` is set and stays untouched while it is.
char g_interruptPath[MAX_PATH + 64];
volatile LONG g_interruptArmed = 0;

BOOL WINAPI removeThenEnd(DWORD) {
  if (InterlockedCompareExchange(&g_interruptArmed, 0, 0) != 0) DeleteFileA(g_interruptPath);
  return FALSE;  // the next handler, in the end the system's, ends the process
}

}  // namespace

void removeOnInterrupt(const char* path) {
  InterlockedExchange(&g_interruptArmed, 0);
  if (path == nullptr) return;
  const auto length = static_cast<size_t>(lstrlenA(path));
  if (length >= sizeof g_interruptPath) return;
  static const bool caught = SetConsoleCtrlHandler(removeThenEnd, TRUE) != 0;
  (void)caught;
  CopyMemory(g_interruptPath, path, length + 1);
  InterlockedExchange(&g_interruptArmed, 1);
}

bool forEachName(const char* folder, void (*visit)(const char* name, void* context),
                 void* context) {
  char pattern[MAX_PATH + 64];
  const size_t length = folder != nullptr ? static_cast<size_t>(lstrlenA(folder)) : 0;
  if (length + 2 > sizeof pattern) return false;
  if (length > 0) CopyMemory(pattern, folder, length);
  pattern[length] = '*';
  pattern[length + 1] = '\0';
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  do {
    visit(found.cFileName, context);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return true;
}

bool processRuns(uint32_t id) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
  // Only "no such process" says that none runs; a refusal hides one.
  if (process == nullptr) return GetLastError() != ERROR_INVALID_PARAMETER;
  const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  CloseHandle(process);
  return running;
}

MapHandle createReadMapping(FileHandle file, uint32_t size) {
  if (file == kInvalidFile) return 0;
  HANDLE m = CreateFileMappingA(toHandle(file), nullptr, PAGE_READONLY, 0, size, nullptr);
  return reinterpret_cast<MapHandle>(m);
}

const uint8_t* mapView(MapHandle mapping, uint32_t size) {
  if (mapping == 0) return nullptr;
  return static_cast<const uint8_t*>(
      MapViewOfFile(reinterpret_cast<HANDLE>(mapping), FILE_MAP_READ, 0, 0, size));
}

void unmapView(const uint8_t* view, uint32_t) {
  if (view != nullptr) UnmapViewOfFile(view);
}

void closeMapping(MapHandle mapping) {
  if (mapping != 0) CloseHandle(reinterpret_cast<HANDLE>(mapping));
}

void* processHeap() { return GetProcessHeap(); }

void* heapAllocZeroed(void* heap, size_t bytes) {
  return HeapAlloc(static_cast<HANDLE>(heap), HEAP_ZERO_MEMORY, bytes);
}

void* heapAllocForOverwrite(void* heap, size_t bytes) { return heapAllocZeroed(heap, bytes); }

void heapFree(void* heap, void* block) { HeapFree(static_cast<HANDLE>(heap), 0, block); }

void errorBox(const char* caption, const char* text) {
  MessageBoxA(nullptr, text, caption, MB_OK | MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST);
}

void diagnostic(const char*) {}

uint32_t modulePath(char* buffer, uint32_t capacity) {
  return GetModuleFileNameA(static_cast<HMODULE>(moduleInstance()), buffer, capacity);
}

char* commandLine() { return GetCommandLineA(); }

void printText(const char*) {}

void* moduleInstance() { return GetModuleHandleA(nullptr); }

void exitProcess(int code) { ExitProcess(static_cast<UINT>(code)); }

// Windows keeps the settings beside the program only.
bool userConfigDir(char* buffer, uint32_t capacity) {
  if (buffer != nullptr && capacity != 0) buffer[0] = '\0';
  return false;
}

bool fileIdentity(const char* path, FileIdentity& out) {
  if (path == nullptr || path[0] == '\0') return false;
  // No access asked for: only the file's information is read, and nobody
  // who holds it open is disturbed. Folders need the backup flag.
  HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = GetFileInformationByHandle(h, &info) != 0;
  CloseHandle(h);
  if (!known) return false;
  out.volume = info.dwVolumeSerialNumber;
  out.index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return true;
}

bool fileStamp(FileHandle file, FileStamp& out) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (file == kInvalidFile || !GetFileInformationByHandle(toHandle(file), &info)) return false;
  out.size =
      static_cast<int64_t>((static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
  out.modified =
      static_cast<int64_t>((static_cast<uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                           info.ftLastWriteTime.dwLowDateTime);
  out.changed = out.modified;
  return true;
}

const char* lastFileError() {
  const DWORD code = GetLastError();
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
      return "no such file or folder";
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      return "permission denied";
    case ERROR_DIRECTORY:
      return "is a folder";
    case ERROR_BAD_FILE_TYPE:
      return "not a regular file";
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return "in use by another program";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return "disk full";
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_BUFFER_OVERFLOW:
      return "path too long";
    case ERROR_INVALID_NAME:
      return "not a valid file name";
    default:
      break;
  }
  static char text[64];
  wsprintfA(text, "system error %lu", static_cast<unsigned long>(code));
  return text;
}

}  // namespace plat
