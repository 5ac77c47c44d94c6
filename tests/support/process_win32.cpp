#ifdef _WIN32
#include <windows.h>

#include <algorithm>

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
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &si, &pi)) {
    return result;
  }
  BoxWatch watch{pi.dwProcessId, {}, &result.boxes};
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeoutSeconds) * 1000;
  DWORD waited = WAIT_TIMEOUT;
  while (waited == WAIT_TIMEOUT && GetTickCount64() < deadline) {
    waited = WaitForSingleObject(pi.hProcess, 100);
    if (waited == WAIT_TIMEOUT) EnumWindows(closeBox, reinterpret_cast<LPARAM>(&watch));
  }
  if (waited != WAIT_OBJECT_0) {
    TerminateProcess(pi.hProcess, 3);
    WaitForSingleObject(pi.hProcess, INFINITE);
    result.exitCode = -2;
  } else {
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    result.exitCode = static_cast<int>(code);
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return result;
}

ProcessResult runTyped(const std::string& exePath, const std::string& typed, int timeoutSeconds) {
  return runKinetorAt(exePath, typed, timeoutSeconds);
}
#endif
