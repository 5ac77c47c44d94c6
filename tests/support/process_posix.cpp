#ifndef _WIN32
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

#include "support/process.h"

namespace {

// Runs argv[0] with the given arguments, collecting standard output and
// standard error until both close or the time is up.
ProcessResult run(const std::vector<std::string>& argv, int timeoutSeconds) {
  ProcessResult result;
  int out[2], err[2];
  if (pipe(out) != 0) {
    result.errorOutput = std::string("pipe failed: ") + std::strerror(errno);
    return result;
  }
  if (pipe(err) != 0) {
    result.errorOutput = std::string("pipe failed: ") + std::strerror(errno);
    close(out[0]);
    close(out[1]);
    return result;
  }
  pid_t pid = fork();
  if (pid < 0) {
    result.errorOutput = std::string("fork failed: ") + std::strerror(errno);
    for (int fd : {out[0], out[1], err[0], err[1]}) close(fd);
    return result;
  }
  if (pid == 0) {
    dup2(out[1], 1);
    dup2(err[1], 2);
    for (int fd : {out[0], out[1], err[0], err[1]}) close(fd);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    const std::string why = "cannot run " + argv[0] + ": " + std::strerror(errno) + "\n";
    [[maybe_unused]] const ssize_t written = write(2, why.data(), why.size());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.output, &result.errorOutput};
  int open = 2;
  char buf[4096];
  while (open > 0) {
    int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                    deadline - std::chrono::steady_clock::now())
                                    .count());
    if (left <= 0 || poll(fds, 2, left) <= 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      ssize_t n = read(fds[i].fd, buf, sizeof buf);
      if (n > 0) {
        sinks[i]->append(buf, static_cast<size_t>(n));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;  // poll skips it from now on
        --open;
      }
    }
  }
  for (const auto& f : fds) {
    if (f.fd >= 0) close(f.fd);
  }
  int status = 0;
  if (open > 0) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    result.exitCode = -2;
    return result;
  }
  waitpid(pid, &status, 0);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

// The text in single quotes for /bin/sh, which then takes it literally.
std::string shellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

ProcessResult runKinetor(const std::string& argument, int timeoutSeconds) {
  return runKinetorAt(KINETOR_EXE, argument, timeoutSeconds);
}

ProcessResult runKinetorAt(const std::string& exePath, const std::string& argument,
                           int timeoutSeconds) {
  std::vector<std::string> argv{exePath};
  if (!argument.empty()) argv.push_back(argument);
  return run(argv, timeoutSeconds);
}

ProcessResult runProgram(const std::string& exePath, const std::vector<std::string>& arguments,
                         int timeoutSeconds) {
  std::vector<std::string> argv{exePath};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return run(argv, timeoutSeconds);
}

ProcessResult runTyped(const std::string& exePath, const std::string& typed, int timeoutSeconds) {
  return run({"/bin/sh", "-c", "exec " + shellQuoted(exePath) + " " + typed}, timeoutSeconds);
}
#endif
