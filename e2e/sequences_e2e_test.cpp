// The toolkit's win32 backend through a form's life (e2e/sequences/): the
// messages its windows get and the form's events in order, compared with
// tables, on Wine as Windows XP, as Windows 10 and on the ANSI path of a
// Japanese Windows 98.
#include "e2e/harness.h"

namespace e2e {
namespace {

class Sequences : public WineTest {
 protected:
  void RunCases(const std::string& version) {
    RunCheckingProgram(Win32BuildDir() + "/e2e/sequences/kivo_sequences.exe", version);
  }
};

TEST_F(Sequences, FormLifeOnWineAsXp) { RunCases("winxp"); }

TEST_F(Sequences, FormLifeOnWineAsWindows10) { RunCases("win10"); }

TEST_F(Sequences, FormLifeOnTheAnsiPathOfJapaneseWindows98) {
  ForceAnsi();
  RunCases("win98");
}

}  // namespace
}  // namespace e2e
