#ifndef _WIN32
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <vector>

#include "support/process.h"

ProcessResult runKinetor(const std::string& argument, int timeoutSeconds) {
  return runKinetorAt(KINETOR_EXE, argument, timeoutSeconds);
}

ProcessResult runKinetorAt(const std::string& exePath, const std::string& argument,
                           int timeoutSeconds) {
  ProcessResult result;
  int err[2];
  if (pipe(err) != 0) return result;
  pid_t pid = fork();
  if (pid == 0) {
    dup2(err[1], 2);
    close(err[0]);
    close(err[1]);
    std::vector<char*> args{const_cast<char*>(exePath.c_str())};
    if (!argument.empty()) args.push_back(const_cast<char*>(argument.c_str()));
    args.push_back(nullptr);
    execv(exePath.c_str(), args.data());
    _exit(127);
  }
  close(err[1]);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  char buf[4096];
  for (;;) {
    pollfd p{err[0], POLLIN, 0};
    int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                    deadline - std::chrono::steady_clock::now())
                                    .count());
    if (left <= 0) break;
    if (poll(&p, 1, left) <= 0) break;
    ssize_t n = read(err[0], buf, sizeof buf);
    if (n <= 0) break;
    result.errorOutput.append(buf, static_cast<size_t>(n));
  }
  close(err[0]);
  int status = 0;
  if (std::chrono::steady_clock::now() >= deadline) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    result.exitCode = -2;
    return result;
  }
  waitpid(pid, &status, 0);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}
#endif
