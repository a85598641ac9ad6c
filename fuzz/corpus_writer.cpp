// Writes every target's starting inputs into <folder>/<target>/start-<n>
// (replacing earlier ones, leaving the inputs the fuzzer added).
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "fuzz/starting_inputs.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s CORPUS_FOLDER\n", argv[0]);
    return 2;
  }
  namespace fs = std::filesystem;
  for (const auto& [target, inputs] : fuzz::StartingInputs()) {
    const fs::path dir = fs::path(argv[1]) / target;
    fs::create_directories(dir);
    for (size_t i = 0; i < inputs.size(); ++i) {
      std::ofstream out(dir / ("start-" + std::to_string(i)), std::ios::binary | std::ios::trunc);
      out.write(inputs[i].data(), static_cast<std::streamsize>(inputs[i].size()));
      if (!out) {
        std::fprintf(stderr, "corpus writer: cannot write %s\n", (dir / "start-…").c_str());
        return 1;
      }
    }
  }
  return 0;
}
