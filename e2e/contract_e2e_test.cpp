// The platform's contract rows (platform/contract/) on the real calls:
// kivo_contract.exe under Wine as Windows XP, as Windows 10, and on the ANSI
// path of a Japanese Windows 98 (win98, ja_JP, code page 932, KIVO_ANSI=1).
// The unit tests run the same rows on the simulated machine.
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/harness.h"

namespace e2e {
namespace {

class Contract : public WineTest {
 protected:
  // Runs the rows as the Windows version Wine reports to the program and
  // fails naming every row that did not hold.
  void RunRows(const std::string& version) {
    ASSERT_DRIVER_OK(Driver(
        {"reg-set", "Software\\Wine\\AppDefaults\\kivo_contract.exe", "Version", version}));
    const int n = StartApp(Win32BuildDir() + "/e2e/contract/kivo_contract.exe");
    const std::optional<int> code = WaitAppExit(n, 180000);
    std::ifstream log(logDir_ + "/app-" + std::to_string(n) + ".log");
    std::stringstream text;
    text << log.rdbuf();
    ASSERT_TRUE(code.has_value()) << "kivo_contract.exe did not end:\n" << text.str();
    std::vector<std::string> failed;
    int passed = 0;
    std::string line;
    while (std::getline(text, line)) {
      if (line.rfind("ok ", 0) == 0) ++passed;
      if (line.rfind("FAIL ", 0) == 0) failed.push_back(line.substr(5));
    }
    std::string names;
    for (const auto& f : failed) names += "\n  " + f;
    EXPECT_TRUE(failed.empty()) << failed.size() << " rows failed as " << version << ":" << names;
    EXPECT_EQ(*code, static_cast<int>(failed.size())) << text.str();
    EXPECT_GT(passed, 0) << text.str();
  }
};

TEST_F(Contract, RowsHoldOnWineAsXp) { RunRows("winxp"); }

TEST_F(Contract, RowsHoldOnWineAsWindows10) { RunRows("win10"); }

TEST_F(Contract, RowsHoldOnTheAnsiPathOfJapaneseWindows98) {
  ForceAnsi();
  RunRows("win98");
}

}  // namespace
}  // namespace e2e
