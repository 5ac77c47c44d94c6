// Runs a program with the arguments given and, once it has ended, adds its
// peak resident set to standard error as "peak-rss-kb N", exiting with its
// exit code. Tests run a program through it when they weigh its memory: a
// child forked from the test process itself would count the test's pages.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cstdio>

extern char** environ;

int main(int argc, char** argv) {
  if (argc < 2) return 127;
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[1], nullptr, nullptr, argv + 1, environ) != 0) return 127;
  int status = 0;
  struct rusage usage {};
  if (wait4(pid, &status, 0, &usage) != pid) return 127;
  std::fprintf(stderr, "peak-rss-kb %ld\n", usage.ru_maxrss);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}
