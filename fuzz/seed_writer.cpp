// Writes every target's seeds into <folder>/<target>/seed-<n> (replacing
// earlier seeds, leaving the inputs the fuzzer added).
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "fuzz/seeds.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s CORPUS_FOLDER\n", argv[0]);
    return 2;
  }
  namespace fs = std::filesystem;
  for (const auto& [target, seeds] : fuzz::Seeds()) {
    const fs::path dir = fs::path(argv[1]) / target;
    fs::create_directories(dir);
    for (size_t i = 0; i < seeds.size(); ++i) {
      std::ofstream out(dir / ("seed-" + std::to_string(i)), std::ios::binary | std::ios::trunc);
      out.write(seeds[i].data(), static_cast<std::streamsize>(seeds[i].size()));
      if (!out) {
        std::fprintf(stderr, "seed writer: cannot write %s\n", (dir / "seed").c_str());
        return 1;
      }
    }
  }
  return 0;
}
