// Replays a harness over its generated seeds and over a fixed number of
// deterministic mutations of them (byte flips, truncations, insertions), and
// over the inputs that libFuzzer runs kept in fuzz/corpus/NAME; or writes the
// seeds into a directory for a longer libFuzzer run:
//   NAME_replay                 replay (what the test run does)
//   NAME_replay --write-seeds D write the seeds as files into D
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "harness.h"

namespace {

void runOne(const std::string& input) {
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
}

std::string mutate(std::string s, std::mt19937& rng) {
  int edits = 1 + static_cast<int>(rng() % 4);
  for (int e = 0; e < edits; ++e) {
    switch (rng() % 5) {
      case 0:  // flip a byte
        if (!s.empty()) s[rng() % s.size()] = static_cast<char>(rng());
        break;
      case 1:  // cut the tail
        if (!s.empty()) s.resize(rng() % s.size());
        break;
      case 2:  // insert bytes
        s.insert(s.empty() ? 0 : rng() % s.size(),
                 std::string(1 + rng() % 8, static_cast<char>(rng())));
        break;
      case 3:  // extreme little-endian word
        if (s.size() >= 4) {
          size_t at = rng() % (s.size() - 3);
          uint32_t v = (rng() % 2) ? 0xFFFFFFFFu : 0x80000000u + (rng() % 3);
          std::memcpy(&s[at], &v, 4);
        }
        break;
      default:  // duplicate a slice
        if (s.size() > 2) {
          size_t a = rng() % s.size();
          size_t n = rng() % (s.size() - a);
          s.insert(a, s.substr(a, n));
        }
    }
  }
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  fuzzQuietErrors();
  std::vector<std::string> seeds = kinetorFuzzSeeds();
  if (argc == 3 && std::strcmp(argv[1], "--write-seeds") == 0) {
    std::filesystem::create_directories(argv[2]);
    for (size_t i = 0; i < seeds.size(); ++i) {
      std::ofstream(std::filesystem::path(argv[2]) / ("seed-" + std::to_string(i)),
                    std::ios::binary)
          << seeds[i];
    }
    return 0;
  }
  std::mt19937 rng(12345);
  size_t runs = 0;
  for (const auto& seed : seeds) {
    runOne(seed);
    ++runs;
    for (int i = 0; i < 200; ++i, ++runs) runOne(mutate(seed, rng));
  }
  runOne(std::string());
  ++runs;
  std::string corpus = KINETOR_FUZZ_CORPUS;
#ifdef _WIN32
  if (!corpus.empty() && corpus[0] == '/') corpus = "Z:" + corpus;
#endif
  size_t kept = 0;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(corpus, ec)) {
    std::ifstream in(entry.path(), std::ios::binary);
    runOne(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
    ++kept;
  }
  std::printf("%zu inputs replayed without a fault, %zu of them kept from fuzzing\n", runs + kept,
              kept);
  return 0;
}
