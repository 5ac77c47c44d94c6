#include <filesystem>
#include <string>

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
  static const std::string dir = [] {
    auto d = std::filesystem::temp_directory_path() /
             ("kinetor-fuzz-" + std::to_string(KINETOR_GETPID()));
    std::filesystem::create_directories(d);
    return d.string();
  }();
  return dir;
}

void fuzzQuietErrors() {
  plat::setErrorSink([](const char*, const char*) {});
}
