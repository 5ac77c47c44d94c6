#ifdef _WIN32
#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "support/process.h"

namespace {

struct BoxWatch {
  DWORD processId;
  std::vector<HWND> seen;
  std::vector<std::string>* boxes;
};

// Records and closes every message box that the child shows, so that a run
// whose program reports an error ends instead of waiting for a user.
BOOL CALLBACK closeBox(HWND window, LPARAM param) {
  auto& watch = *reinterpret_cast<BoxWatch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  char className[16] = {};
  GetClassNameA(window, className, sizeof className);
  if (owner != watch.processId || std::string(className) != "#32770" || !IsWindowVisible(window) ||
      std::find(watch.seen.begin(), watch.seen.end(), window) != watch.seen.end()) {
    return TRUE;
  }
  watch.seen.push_back(window);
  char caption[300] = {}, text[600] = {};
  GetWindowTextA(window, caption, sizeof caption);
  GetDlgItemTextA(window, 0xFFFF, text, sizeof text);  // the box's message
  watch.boxes->push_back(std::string(caption) + ": " + text);
  PostMessageA(window, WM_COMMAND, IDOK, 0);
  return TRUE;
}

// Why a child could not be run: the call, its error code and the system's
// text for it, and what it was called on. Printed at once as well, so that
// it shows even in a test that does not print the result's error output.
std::string failure(const char* call, DWORD error, const std::string& subject) {
  char text[256] = {};
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                 text, sizeof text, nullptr);
  std::string said = text;
  while (!said.empty() && static_cast<unsigned char>(said.back()) <= ' ') said.pop_back();
  std::string why = std::string(call) + " failed with error " + std::to_string(error) + " (" +
                    said + ") " + subject;
  std::fprintf(stderr, "child not run: %s\n", why.c_str());
  std::fflush(stderr);
  return why;
}

// A file the child inherits as a standard handle; removed once closed.
HANDLE inheritableFile(const std::string& path, std::string& why) {
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE && why.empty()) {
    why = failure("CreateFile", GetLastError(), "for the child's output file " + path);
  }
  return file;
}

// Starts the child; on failure `why` tells the error and the command line.
// Under Wine a start can fail before the child runs any code of its own (a
// new Wine process that cannot be forked or whose loader does not come up
// while the machine is short of memory): nothing of the program has run
// then, so the start is tried again, a few times, after growing pauses. Each
// failed try is printed, so that such starts show in the test log.
bool startChild(const std::string& commandLine, STARTUPINFOA& si, bool inheritHandles,
                PROCESS_INFORMATION& pi, std::string& why) {
  constexpr int kTries = 5;
  for (int attempt = 1; attempt <= kTries; ++attempt) {
    std::string line = commandLine;  // CreateProcessA may write into it
    if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, inheritHandles, 0, nullptr, nullptr,
                       &si, &pi)) {
      return true;
    }
    const DWORD error = GetLastError();
    why = failure("CreateProcess", error,
                  "(try " + std::to_string(attempt) + " of " + std::to_string(kTries) +
                      ") for the command line " + commandLine);
    // A program that is not there will not appear by waiting.
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) break;
    Sleep(static_cast<DWORD>(attempt) * 500);
  }
  return false;
}

std::string readBack(HANDLE file) {
  std::string text;
  SetFilePointer(file, 0, nullptr, FILE_BEGIN);
  char buf[4096];
  DWORD n = 0;
  while (ReadFile(file, buf, sizeof buf, &n, nullptr) && n > 0) text.append(buf, n);
  return text;
}

// Ends a child that did not finish in time and closes its handles; the
// child's exit code, or -2 for one that had to be ended.
int finishChild(PROCESS_INFORMATION& pi, bool finished) {
  int exitCode = -2;
  if (!finished) {
    TerminateProcess(pi.hProcess, 3);
    WaitForSingleObject(pi.hProcess, INFINITE);
  } else {
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    exitCode = static_cast<int>(code);
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return exitCode;
}

}  // namespace

ProcessResult runKinetor(const std::string& argument, int timeoutSeconds) {
  return runKinetorAt(KINETOR_EXE, argument, timeoutSeconds);
}

ProcessResult runKinetorAt(const std::string& exePath, const std::string& argument,
                           int timeoutSeconds) {
  ProcessResult result;
  // Under Wine the build tree is reached through the drive that maps "/".
  std::string exe = exePath;
  if (!exe.empty() && exe[0] == '/') exe = "Z:" + exe;
  std::string commandLine = "\"" + exe + "\"";
  if (!argument.empty()) commandLine += " " + argument;
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!startChild(commandLine, si, false, pi, result.errorOutput)) return result;
  BoxWatch watch{pi.dwProcessId, {}, &result.boxes};
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeoutSeconds) * 1000;
  DWORD waited = WAIT_TIMEOUT;
  while (waited == WAIT_TIMEOUT && GetTickCount64() < deadline) {
    waited = WaitForSingleObject(pi.hProcess, 100);
    if (waited == WAIT_TIMEOUT) EnumWindows(closeBox, reinterpret_cast<LPARAM>(&watch));
  }
  result.exitCode = finishChild(pi, waited == WAIT_OBJECT_0);
  return result;
}

ProcessResult runTyped(const std::string& exePath, const std::string& typed, int timeoutSeconds) {
  return runKinetorAt(exePath, typed, timeoutSeconds);
}
// The console program's standard output and error go to files that it
// inherits, read back once it has ended.
ProcessResult runProgram(const std::string& exePath, const std::vector<std::string>& arguments,
                         int timeoutSeconds) {
  ProcessResult result;
  std::string exe = exePath;
  if (!exe.empty() && exe[0] == '/') exe = "Z:" + exe;  // the drive that maps "/" under Wine
  std::string commandLine = "\"" + exe + "\"";
  for (const auto& a : arguments) commandLine += " \"" + a + "\"";
  const std::string dir = makeTempDir();
  std::string why;
  HANDLE out = inheritableFile(dir + "\\stdout.txt", why);
  HANDLE err = inheritableFile(dir + "\\stderr.txt", why);
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  // The programs read no input; the test's own standard input (none at all
  // in some runs) is not handed on.
  si.hStdInput = nullptr;
  si.hStdOutput = out;
  si.hStdError = err;
  PROCESS_INFORMATION pi{};
  if (out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE &&
      startChild(commandLine, si, true, pi, why)) {
    const DWORD waited =
        WaitForSingleObject(pi.hProcess, static_cast<DWORD>(timeoutSeconds) * 1000);
    result.exitCode = finishChild(pi, waited == WAIT_OBJECT_0);
    result.output = readBack(out);
    result.errorOutput = readBack(err);
  }
  for (HANDLE h : {out, err}) {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
  if (!why.empty()) result.errorOutput = why;
  return result;
}
#endif
