// The start-up's phase clock (KIVO_PHASES) and what the start leaves until
// the main window is up.
#include <algorithm>

#include "app/phases.h"
#include "app/startup.h"
#include "fixture.h"

namespace {

class PhasesTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    Store("F6", "C2", "1");  // no logo
  }
  void TearDown() override {
    phases::Reset();
    SimTest::TearDown();
  }
  // Where the first journal entry starting with call stands (-1: none).
  long Position(const std::string& call) const {
    auto it = std::find_if(sim->journal.begin(), sim->journal.end(),
                           [&](const std::string& e) { return e.rfind(call, 0) == 0; });
    return it == sim->journal.end() ? -1 : static_cast<long>(it - sim->journal.begin());
  }
};

TEST_F(PhasesTest, WithoutTheVariableNothingIsTimedOrWritten) {
  sim->processAgeStep = 1000;
  phases::Start();
  EXPECT_EQ(RunKivoConfig(), 0);
  EXPECT_EQ(sim->processAge, 0u) << "the clock was read";
  EXPECT_TRUE(phases::Text().empty());
  EXPECT_TRUE(sim->Calls("WriteFile").empty());
}

TEST_F(PhasesTest, AStartWritesEachPhaseInOrderOnceTheWindowIsUp) {
  sim->environment["KIVO_PHASES"] = "C:\\logs\\phases.txt";
  sim->processAge = 80000;  // microseconds: the loader's part
  sim->processAgeStep = 1500;
  phases::Start();
  EXPECT_EQ(RunKivoConfig(), 0);
  ASSERT_EQ(sim->Calls("WriteFile").size(), 1u) << "written once";
  EXPECT_EQ(sim->fileContents["C:\\logs\\phases.txt"],
            "entry 80.0\r\nmenus 81.5\r\nlayout 83.0\r\ncontrols 84.5\r\ntray 86.0\r\nsettings 87.5\r\npainted 89.0\r\nready 90.5\r\n");
}

TEST_F(PhasesTest, MarksAfterTheListWasWrittenAreLeftOut) {
  sim->environment["KIVO_PHASES"] = "C:\\phases.txt";
  sim->processAgeStep = 2000;
  phases::Start();
  phases::Mark("toolkit");
  phases::Finish();
  phases::Mark("late");
  phases::Finish();
  EXPECT_EQ(sim->Calls("WriteFile").size(), 1u);
  EXPECT_EQ(phases::Text(), "entry 0.0\r\ntoolkit 2.0\r\nready 4.0\r\n");
}

TEST_F(PhasesTest, HotkeysAndTheExitBansReasonComeAfterTheFirstPaint) {
  Store("HotKey", "Stopwatch", "Ctrl+Alt+W");
  Store("F6", "C4", "1");  // the exit ban
  EXPECT_EQ(RunKivoConfig(), 0);
  // Showing the main window hides the application window first.
  const long shown = Position("ShowWindow(0x10000, 0)");
  ASSERT_GE(shown, 0);
  EXPECT_GT(Position("RegisterHotKey("), shown);
  EXPECT_GT(Position("ShutdownBlockReasonCreate("), shown);
}

TEST_F(PhasesTest, AStartInTheTrayRegistersTheHotkeysToo) {
  Store("F6", "C5", "1");
  Store("HotKey", "Stopwatch", "Ctrl+Alt+W");
  EXPECT_EQ(RunKivoConfig(), 0);
  EXPECT_TRUE(sim->Calls("ShowWindow(0x10000, 0)").empty()) << "the window stays hidden";
  EXPECT_EQ(sim->Calls("RegisterHotKey(").size(), 1u);
}

}  // namespace
