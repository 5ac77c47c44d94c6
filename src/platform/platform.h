// The only interface through which the rest of the program touches the
// operating system. win32.cpp and posix.cpp implement it; nothing else may.
#pragma once

#include <cstddef>
#include <cstdint>

namespace plat {

// Opaque file handle; kInvalidFile plays the part of INVALID_HANDLE_VALUE.
using FileHandle = intptr_t;
constexpr FileHandle kInvalidFile = -1;

// Opaque read-only mapping handle; 0 means none.
using MapHandle = intptr_t;

// Opens an existing regular file for reading, shared for reading by others,
// without waiting: pipes, devices and directories are refused.
FileHandle openForRead(const char* path);

// The file's size in bytes, or -1 when it cannot be told.
int64_t fileSize(FileHandle file);

// One read call of up to `count` bytes; returns the number of bytes read.
uint32_t readBytes(FileHandle file, void* buffer, uint32_t count);

// Creates (or truncates) a file for writing; others may read it meanwhile.
FileHandle createForWrite(const char* path);

// Creates a file for writing only if no file of that name exists yet.
FileHandle createNewForWrite(const char* path);

// Tells the system how many bytes a new file will take, so that it can set
// the room aside before the writes come. Only a hint: where the system
// cannot, nothing changes, and the writes report any shortage as usual.
void reserveFileSpace(FileHandle file, uint64_t bytes);

// Writes all `count` bytes; false when fewer were written.
bool writeBytes(FileHandle file, const void* data, uint32_t count);

// Closes the handle; false when the system reports that buffered data could
// not be committed. Ignores kInvalidFile.
bool closeFile(FileHandle file);

// Moves `from` over `to`, replacing an existing `to` in one step.
bool replaceFile(const char* from, const char* to);

// Removes a file; false when it could not be removed.
bool removeFile(const char* path);

// True when something (a file, a directory, a link, even a dangling one)
// already holds the name.
bool nameTaken(const char* path);

// This process's id, for names that no other running process uses.
uint32_t processId();

// A read-only view of the first `size` bytes of an open file: a mapping on
// Windows, where a mapped file cannot be truncated; a copy read into memory
// on POSIX, where it can. Null when the file no longer holds `size` bytes.
MapHandle createReadMapping(FileHandle file, uint32_t size);
const uint8_t* mapView(MapHandle mapping, uint32_t size);
void unmapView(const uint8_t* view, uint32_t size);
void closeMapping(MapHandle mapping);

// The process heap, and zero-filled blocks from it; null when it refuses.
void* processHeap();
void* heapAllocZeroed(void* heap, size_t bytes);
// A block whose every byte the caller writes before reading any: POSIX skips
// the zero fill; Windows makes it exactly as heapAllocZeroed does.
void* heapAllocForOverwrite(void* heap, size_t bytes);
void heapFree(void* heap, void* block);

// The modal error box (on POSIX one line on standard error).
void errorBox(const char* caption, const char* text);

// One line on standard error (POSIX only; the Windows program is silent).
void diagnostic(const char* text);

// The executable's own path, as GetModuleFileNameA gives it: at most
// `capacity` bytes including the terminator; returns the length written.
uint32_t modulePath(char* buffer, uint32_t capacity);

// The process command line as one modifiable string, program name first, as
// GetCommandLineA gives it. Null on POSIX: there the shell has split the line
// into arguments already, and main's argv is the command line.
char* commandLine();

// Text on standard output (POSIX only; the Windows program has none).
void printText(const char* text);

// Ends the process at once with the given exit code.
[[noreturn]] void exitProcess(int code);

// The module handle of the executable (null on POSIX).
void* moduleInstance();

// True when the path separator of this platform (or the other one, which the
// program accepts everywhere) is `c`.
constexpr bool isPathSeparator(char c) { return c == '\\' || c == '/'; }

// The directory that holds the user's own configuration, without a
// separator at its end: on Linux $XDG_CONFIG_HOME, or $HOME/.config when
// that is unset, empty or not an absolute path. False (and an empty buffer)
// where the system has no such place (Windows, where settings live beside
// the program), when neither variable names one, or when the path does not
// fit in `capacity` bytes with its terminator.
bool userConfigDir(char* buffer, uint32_t capacity);

}  // namespace plat
