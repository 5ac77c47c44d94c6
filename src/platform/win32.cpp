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
    return kInvalidFile;
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

FileHandle createForWrite(const char* path) {
  if (path == nullptr || path[0] == '\0') return kInvalidFile;
  return fromHandle(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
}

FileHandle createNewForWrite(const char* path) {
  if (path == nullptr || path[0] == '\0') return kInvalidFile;
  return fromHandle(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
}

// The writes alone decide: no call of its own is needed to reserve room.
void reserveFileSpace(FileHandle, uint64_t) {}

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

uint32_t processId() { return GetCurrentProcessId(); }

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

}  // namespace plat
