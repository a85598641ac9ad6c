// The platform's contract rows (platform/contract/) on the real calls:
// kivo_contract.exe under Wine as Windows XP, as Windows 10, and on the ANSI
// path of a Japanese Windows 98 (win98, ja_JP, code page 932, KIVO_ANSI=1).
// The unit tests run the same rows on the simulated machine.
#include <string>

#include "e2e/harness.h"

namespace e2e {
namespace {

class Contract : public WineTest {
 protected:
  // Runs the rows as the Windows version Wine reports to the program and
  // fails naming every row that did not hold.
  void RunRows(const std::string& version) {
    RunCheckingProgram(Win32BuildDir() + "/e2e/contract/kivo_contract.exe", version);
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
