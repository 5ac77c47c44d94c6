#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <random>
#include <vector>

#include "support/process.h"

namespace fs = std::filesystem;

namespace {

std::vector<fs::path>& madeDirs() {
  static std::vector<fs::path> dirs;
  return dirs;
}

// Test runs must not leave their files behind in the system's temp folder.
void removeMadeDirs() {
  for (const auto& dir : madeDirs()) {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
}

}  // namespace

std::string makeTempDir() {
  static std::once_flag cleanup;
  std::call_once(cleanup, [] {
    madeDirs();  // built first, so that it is destroyed after the removal ran
    std::atexit(removeMadeDirs);
  });
  static std::atomic<int> counter{0};
  static const unsigned salt = std::random_device{}();
  for (;;) {
    fs::path dir = fs::temp_directory_path() /
                   ("kinetor-test-" + std::to_string(salt) + "-" + std::to_string(counter++));
    std::error_code ec;
    if (fs::create_directory(dir, ec)) {
      madeDirs().push_back(dir);
      return dir.string();
    }
  }
}

std::string readFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool writeFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

bool fileExists(const std::string& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}
