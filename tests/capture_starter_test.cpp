// Captures started on their own, on a plain form: each answered exactly
// once, a waiting one replaced by a later one, the family as it is when the
// picture is taken, and a failure said unless silent.
#include <vector>

#include "app/capture_starter.h"
#include "viewer/capture.h"
#include "fixture.h"

namespace {
using viewer::RegionOutcome;

class CaptureStarterTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    sim->UseRelease("XP");
    window = new tk::Form(nullptr);
    tk::Application::Instance().Adopt(window);
    window->Handle();
    starter = std::make_unique<CaptureStarter>(*window, [this] { return family; });
  }
  void TearDown() override {
    starter.reset();
    SimTest::TearDown();
  }
  // Collects the answers under a name.
  std::function<void(RegionOutcome)> Answer(int name) {
    return [this, name](RegionOutcome o) { answers.push_back({name, o}); };
  }

  tk::Form* window = nullptr;
  unsigned family = 0;  // as the window has it before it knows its system
  std::unique_ptr<CaptureStarter> starter;
  std::vector<std::pair<int, RegionOutcome>> answers;
};

using Answers = std::vector<std::pair<int, RegionOutcome>>;

// A capture replaced while it waits hears Cancelled at once, the later one
// its own outcome after the whole delay, and neither is answered twice. The
// keys are those of the family the window has when the picture is taken.
TEST_F(CaptureStarterTest, EachCaptureIsAnsweredOnceAndTheWaitingOneIsReplaced) {
  family = 2;
  Store("Capture", "Delay", "3");
  starter->Start(CaptureKind::Desktop, false, Answer(1));
  ui->AdvanceClock(1000);
  EXPECT_TRUE(answers.empty());
  starter->Start(CaptureKind::LastRegion, true, Answer(2));
  EXPECT_EQ(answers, (Answers{{1, RegionOutcome::Cancelled}}));
  ui->AdvanceClock(2000);
  EXPECT_EQ(answers, (Answers{{1, RegionOutcome::Cancelled}})) << "the later one waits the whole delay";
  ui->AdvanceClock(1000);
  EXPECT_EQ(answers, (Answers{{1, RegionOutcome::Cancelled}, {2, RegionOutcome::NoLastRegion}}));
  EXPECT_TRUE(ui->boxes.empty()) << "silent";
  ui->AdvanceClock(5000);
  EXPECT_EQ(answers.size(), 2u);
  EXPECT_TRUE(sim->Calls("keybd_event").empty()) << "the replaced capture was taken";

  // At once, with the family's keys; a capture nobody waits for is fine.
  Store("Capture", "Delay", "0");
  sim->screen = platform::Bitmap{4, 4, std::vector<std::uint8_t>(4u * 4u * 3u, 9)};
  sim->ClearJournal();
  starter->Start(CaptureKind::Desktop, false, Answer(3));
  EXPECT_EQ(answers.back(), std::make_pair(3, RegionOutcome::Taken));
  EXPECT_EQ(sim->Calls("keybd_event").size(),
            viewer::CaptureKeys(viewer::CaptureCommand::Desktop, 2).size());
  starter->Start(CaptureKind::Desktop, false);
  EXPECT_EQ(answers.size(), 3u);
}

// A capture that fails by an error (a screen past the picture's size limit)
// is answered Failed, and said in a box unless silent.
TEST_F(CaptureStarterTest, AFailureIsAnsweredFailedAndSaidUnlessSilent) {
  family = 2;
  sim->monitors = {{0, 0, 30001, 2}};
  sim->virtualScreen = {0, 0, 30001, 2};
  sim->screen.width = 30001;
  sim->screen.height = 2;
  sim->screen.bgr.assign(30001u * 2u * 3u, 7);
  Store("Capture", "Region", "0,0,30001,2");
  for (bool silent : {false, true}) {
    SCOPED_TRACE(silent);
    answers.clear();
    ui->boxes.clear();
    starter->Start(CaptureKind::LastRegion, silent, Answer(1));
    EXPECT_EQ(answers, (Answers{{1, RegionOutcome::Failed}}));
    EXPECT_EQ(ui->boxes.size(), silent ? 0u : 1u);
  }
}

}  // namespace
