// The fuzz targets' entry functions, run natively: every kept regression
// input (tests/fuzz_regressions/<target>/, one file an input, each an input
// that once crashed or broke a property) and every starting input must pass.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "fuzz/fuzz_target.h"
#include "fuzz/starting_inputs.h"

namespace {
namespace fs = std::filesystem;

void RecordFailure(const char* what) { ADD_FAILURE() << "property failed: " << what; }

class FuzzRegressions : public ::testing::Test {
 protected:
  void SetUp() override { fuzz::SetFailureHandler(RecordFailure); }
  void TearDown() override { fuzz::SetFailureHandler(nullptr); }
  static void Run(fuzz::Entry entry, const std::string& input) {
    try {
      entry(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
    } catch (const fuzz::FailedProperty&) {
      // already recorded
    } catch (const std::exception& e) {
      ADD_FAILURE() << "escaped: " << e.what();
    }
  }
};

TEST_F(FuzzRegressions, KeptInputsPassTheirTargets) {
  const fs::path root = KIVO_FUZZ_REGRESSIONS;
  ASSERT_TRUE(fs::is_directory(root)) << root;
  for (const auto& dir : fs::directory_iterator(root)) {
    if (!dir.is_directory()) continue;
    const std::string target = dir.path().filename().string();
    auto it = fuzz::Targets().find(target);
    ASSERT_NE(it, fuzz::Targets().end()) << "no fuzz target named " << target;
    for (const auto& file : fs::directory_iterator(dir.path())) {
      if (!file.is_regular_file() || file.path().filename().string()[0] == '.') continue;
      SCOPED_TRACE(file.path().string());
      std::ifstream in(file.path(), std::ios::binary);
      std::stringstream bytes;
      bytes << in.rdbuf();
      Run(it->second, bytes.str());
    }
  }
}

TEST_F(FuzzRegressions, StartingInputsPassTheirTargetsAndEveryTargetHasSome) {
  const auto inputs = fuzz::StartingInputs();
  for (const auto& [name, entry] : fuzz::Targets()) {
    auto it = inputs.find(name);
    ASSERT_NE(it, inputs.end()) << "no starting inputs for " << name;
    EXPECT_FALSE(it->second.empty()) << name;
    for (size_t i = 0; i < it->second.size(); ++i) {
      SCOPED_TRACE(name + " starting input " + std::to_string(i));
      Run(entry, it->second[i]);
    }
  }
}
}  // namespace
