#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "support/process.h"

namespace fs = std::filesystem;

std::string makeTempDir() {
  static std::atomic<int> counter{0};
  static const unsigned salt = std::random_device{}();
  for (;;) {
    fs::path dir = fs::temp_directory_path() /
                   ("kinetor-test-" + std::to_string(salt) + "-" + std::to_string(counter++));
    std::error_code ec;
    if (fs::create_directory(dir, ec)) return dir.string();
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
