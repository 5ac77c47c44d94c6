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

// Creates a file for writing only if no file of that name exists yet. Others
// may read it meanwhile (on POSIX only its owner: the file starts private)
// and remove it.
FileHandle createNewForWrite(const char* path);

// Writes all `count` bytes; false when fewer were written.
bool writeBytes(FileHandle file, const void* data, uint32_t count);

// Closes the handle; false when the system reports that buffered data could
// not be committed. Ignores kInvalidFile.
bool closeFile(FileHandle file);

// Moves `from` over `to`, replacing an existing `to` (a link there is
// replaced, not followed) in one step, and has the folder's new entry
// written to the disk before it returns.
bool replaceFile(const char* from, const char* to);

// Removes a file; false when it could not be removed.
bool removeFile(const char* path);

// True when something (a file, a directory, a link, even a dangling one)
// already holds the name.
bool nameTaken(const char* path);

// Makes the folder `path` (its parent must exist); true also when a folder
// of that name is there already.
bool makeFolder(const char* path);

// The folder for the user's temporary files, with its closing separator,
// into `buffer`; false (and an empty buffer) when it does not fit.
bool tempFolder(char* buffer, uint32_t capacity);

// This process's id, for names that no other running process uses.
uint32_t processId();

// Has the system write everything it still holds of the file to the disk
// itself (fsync; FlushFileBuffers). False when it could not.
bool flushFile(FileHandle file);

// Asks the system to start moving `count` bytes written at `offset` to the
// disk now, without waiting for them, so that a later flushFile finds less
// to do. Only a hint: where the system has no such call it does nothing.
void startWriteBack(FileHandle file, uint64_t offset, uint64_t count);

// What holds a name: nothing, a regular file (also through a link), or
// something else: a folder, a device, a pipe, a socket. For something else,
// lastFileError() then says which kind it is.
enum class NameHolder { nothing, file, other };
NameHolder whatHolds(const char* path);

// Gives a file being written the permission bits of the file at `target`
// that it is to replace or, where there is none, the mode new files get
// from the process's umask. Nothing on Windows, where a file takes its
// rights from its folder.
void takePermissionsOf(FileHandle file, const char* target);

// Until the next call (null: none), a Ctrl-C, SIGTERM or SIGHUP that ends
// the process (on Windows a console's Ctrl-C or close) removes `path` first.
void removeOnInterrupt(const char* path);

// Calls `visit` with every name in `folder`, which is empty for the current
// folder or ends with a separator; false when the folder cannot be listed.
bool forEachName(const char* folder, void (*visit)(const char* name, void* context), void* context);

// False only when no process of that id runs. One the system hides or will
// not say anything about counts as running.
bool processRuns(uint32_t id);

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

// ---- What a file is, whether it changed, and why a file call failed ------

// What tells one file from every other on the machine, whatever path names
// it: device and inode on POSIX, volume serial number and file index on
// Windows. Hard links and other spellings of a path give the same identity.
struct FileIdentity {
  uint64_t volume = 0;
  uint64_t index = 0;
};
constexpr bool operator==(const FileIdentity& a, const FileIdentity& b) {
  return a.volume == b.volume && a.index == b.index;
}

// The identity of what `path` names (links followed); false when nothing
// there can be examined.
bool fileIdentity(const char* path, FileIdentity& out);

// What another program's write, truncation or rewrite of an open file moves:
// its size and its change times (POSIX: modification and status change;
// Windows: last write).
struct FileStamp {
  int64_t size = -1;
  int64_t modified = 0;  // nanoseconds or 100-ns ticks: only compared
  int64_t changed = 0;
};
constexpr bool operator==(const FileStamp& a, const FileStamp& b) {
  return a.size == b.size && a.modified == b.modified && a.changed == b.changed;
}

// False when the stamp cannot be read.
bool fileStamp(FileHandle file, FileStamp& out);

// A few words on why the last failed file call of this thread failed
// ("permission denied", "is a folder", "disk full", "path too long", ...),
// for the line that follows an error box. Valid until the next call.
const char* lastFileError();

}  // namespace plat
