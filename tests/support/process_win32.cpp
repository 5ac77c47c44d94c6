#ifdef _WIN32
#include <windows.h>

#include "support/process.h"

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
  DWORD waited = WaitForSingleObject(pi.hProcess, static_cast<DWORD>(timeoutSeconds) * 1000);
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
#endif
