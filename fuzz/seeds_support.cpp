#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/runtime.h"
#include "harness.h"
#include "platform/platform.h"

#ifdef _WIN32
#include <process.h>
#define KINETOR_GETPID _getpid
#else
#include <unistd.h>
#define KINETOR_GETPID getpid
#endif

const std::string& fuzzScratchDir() {
  // Never destroyed, so that the removal at exit can still name it.
  static const std::string* dir = [] {
    auto d = std::filesystem::temp_directory_path() /
             ("kinetor-fuzz-" + std::to_string(KINETOR_GETPID()));
    std::filesystem::create_directories(d);
    return new std::string(d.string());
  }();
  // Runs of the harness must not leave their files in the temp folder.
  static const int cleanup = std::atexit([] {
    std::error_code ec;
    std::filesystem::remove_all(*dir, ec);
  });
  (void)cleanup;
  return *dir;
}

void fuzzQuietErrors() {
  setErrorSink([](const char*, const char*) {});
}
