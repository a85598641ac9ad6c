// The actions of the end without a window: the makers' requests, the policy
// for each state and source, the system calls Run makes on each family, and
// the command desk's tickets; then how the main window keeps the policy's
// state.
#include "app/command_desk.h"
#include "lock/lock_screen.h"
#include "lock/lock_setup.h"
#include "main_window_fixture.h"
#include "session/actions.h"
#include "timers/runner.h"
#include "timers/stopwatch.h"

namespace {

using session::EndAction;
using session::EndRequest;
using session::EndSource;
using session::EndTime;
using session::Refusal;

// Records what the actions have the main window do.
struct FakeHost : session::EndHost {
  std::vector<std::string> done;
  bool offered = true;
  void SaveMainSettings() override { done.push_back("save"); }
  void ShowStatusMessage(const std::string& text) override { done.push_back("status " + text); }
  void CloseMainWindow() override { done.push_back("close"); }
  void StartPendingEnd(const EndRequest& r) override {
    done.push_back(std::string("pending ") + session::EndActionName(r.action));
  }
  void StopPendingEnd() override { done.push_back("stop"); }
  bool ConditionsOffered(const session::EndConditions&) const override { return offered; }
};

class ActionsTest : public SimTest {
 protected:
  FakeHost host;
  session::Actions actions{host};
  std::vector<std::string> Requests() {
    std::vector<std::string> out;
    for (const auto& e : sim->journal)
      if (e.rfind("ExitWindowsEx", 0) == 0 || e.rfind("AdjustTokenPrivileges", 0) == 0 ||
          e.rfind("SetSystemPowerState", 0) == 0 || e.rfind("SetSuspendState", 0) == 0)
        out.push_back(e);
    return out;
  }
};

const std::string kEnable = "AdjustTokenPrivileges(token, FALSE, {1, 19, 2}, 16, NULL, NULL)";
const std::string kDisable = "AdjustTokenPrivileges(token, FALSE, {1, 19, 0}, 16, NULL, NULL)";

cmdline::Command Cmd(cmdline::Verb verb, cmdline::When when = cmdline::When::Now, std::uint32_t minutes = 0) {
  cmdline::Command c;
  c.verb = verb;
  c.when = when;
  c.minutes = minutes;
  return c;
}

TEST(EndRequestMakers, EachSourceSaysWhatWhenAndWhetherToAsk) {
  cmdline::Command at = Cmd(cmdline::Verb::Reboot, cmdline::When::At);
  at.hour = 23;
  at.minute = 5;
  cmdline::Command idle = Cmd(cmdline::Verb::Hibernate);
  idle.conditions.idleMinutes = 7;
  idle.conditions.cpuPercent = 20;
  idle.conditions.cpuMinutes = 3;
  struct Row {
    const char* name;
    EndRequest r;
    EndAction action;
    EndSource source;
    EndTime when;
    bool ask, followsSwitch;
  } rows[] = {
      {"standby button", session::FromButton(EndAction::Standby), EndAction::Standby, EndSource::Button,
       EndTime::Now, true, true},
      {"log-off button", session::FromButton(EndAction::LogOff), EndAction::LogOff, EndSource::Button,
       EndTime::Now, true, false},
      {"tray", session::FromTrayItem(EndAction::PowerOff), EndAction::PowerOff, EndSource::Tray, EndTime::Now,
       true, false},
      {"timer hotkey", session::FromTimerHotKey(30), EndAction::PowerOff, EndSource::HotKey, EndTime::In, false,
       false},
      {"schedule", session::FromSchedule(EndAction::LogOff, 45000.5), EndAction::LogOff, EndSource::Schedule,
       EndTime::AtDay, false, false},
      {"runner power-off", session::FromRunner(EndAction::PowerOff), EndAction::PowerOff, EndSource::Runner,
       EndTime::Now, true, false},
      {"runner standby", session::FromRunner(EndAction::Standby), EndAction::Standby, EndSource::Runner,
       EndTime::Now, false, true},
      {"runner restart", session::FromRunner(EndAction::Restart), EndAction::Restart, EndSource::Runner,
       EndTime::Now, false, false},
      {"/standby", EndRequestOf(Cmd(cmdline::Verb::Standby)), EndAction::Standby, EndSource::CommandLine,
       EndTime::Now, false, false},
      {"/shutdown /in 10", EndRequestOf(Cmd(cmdline::Verb::Shutdown, cmdline::When::In, 10)),
       EndAction::ShutDown, EndSource::CommandLine, EndTime::In, false, false},
      {"/reboot /at 23:05", EndRequestOf(at), EndAction::Restart, EndSource::CommandLine, EndTime::At, false,
       false},
      {"/logoff", EndRequestOf(Cmd(cmdline::Verb::LogOff)), EndAction::LogOff, EndSource::CommandLine,
       EndTime::Now, false, false},
      {"/poweroff", EndRequestOf(Cmd(cmdline::Verb::PowerOff)), EndAction::PowerOff, EndSource::CommandLine,
       EndTime::Now, false, false},
      {"/hibernate /idle 7 /cpu 20:3", EndRequestOf(idle), EndAction::Hibernate, EndSource::CommandLine,
       EndTime::WhenConditionsHold, false, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(row.r.action, row.action);
    EXPECT_EQ(row.r.source, row.source);
    EXPECT_EQ(row.r.when, row.when);
    EXPECT_EQ(row.r.ask, row.ask);
    EXPECT_EQ(row.r.followsHibernateSwitch, row.followsSwitch);
  }
  EXPECT_EQ(session::FromTimerHotKey(30).minutes, 30u);
  EXPECT_EQ(session::FromSchedule(EndAction::LogOff, 45000.5).day, 45000.5);
  EXPECT_EQ(EndRequestOf(Cmd(cmdline::Verb::Shutdown, cmdline::When::In, 10)).minutes, 10u);
  const EndRequest a = EndRequestOf(at);
  EXPECT_EQ(a.hour * 100 + a.minute, 2305);
  const EndRequest i = EndRequestOf(idle);
  EXPECT_EQ(i.conditions.idleMinutes, 7);
  EXPECT_EQ(i.conditions.cpuPercent, 20);
  EXPECT_EQ(i.conditions.cpuMinutes, 3);
  EXPECT_EQ(i.conditions.netMinutes, 0);
}

// Each state of the program against each source: the refusal the policy
// gives, in the numbers a second copy hears.
TEST_F(ActionsTest, ThePolicyForEachStateAndSource) {
  cmdline::Command conditional = Cmd(cmdline::Verb::PowerOff);
  conditional.conditions.idleMinutes = 5;
  const struct {
    const char* name;
    EndRequest request;
  } sources[] = {
      {"button", session::FromButton(EndAction::Restart)},
      {"tray", session::FromTrayItem(EndAction::PowerOff)},
      {"hotkey", session::FromTimerHotKey(30)},
      {"command now", EndRequestOf(Cmd(cmdline::Verb::Reboot))},
      {"command in", EndRequestOf(Cmd(cmdline::Verb::PowerOff, cmdline::When::In, 5))},
      {"command conditions", EndRequestOf(conditional)},
      {"schedule", session::FromSchedule(EndAction::PowerOff, 45000.5)},
      {"runner", session::FromRunner(EndAction::PowerOff)},
  };
  constexpr Refusal G = Refusal::None, Ban = Refusal::ExitBan, Busy = Refusal::Busy,
                    Off = Refusal::ConditionsNotOffered, None = Refusal::NothingToCancel;
  struct State {
    const char* name;
    std::function<void()> set;
    // In the order of sources, then /cancel and /lock.
    std::vector<Refusal> expected;
  } states[] = {
      {"nothing", [] {}, {G, G, G, G, G, G, G, G, None, G}},
      {"exit ban", [&] { Store("F6", "C4", "1"); }, {G, G, Ban, Ban, Ban, Ban, Ban, G, None, G}},
      {"lock up", [&] { actions.SetLockUp(true); }, {G, G, G, G, G, G, G, G, None, Refusal::Locked}},
      {"no lock here", [&] { actions.SetLockOffered(false); }, {G, G, G, G, G, G, G, G, None, Refusal::NoLock}},
      {"stopwatch open", [&] { actions.SetStopwatchOpen(true); }, {G, G, G, G, G, G, G, G, None, Busy}},
      {"runner waits", [&] { actions.SetRunnerWaiting(true); }, {G, G, Busy, G, Busy, Busy, Busy, G, None, G}},
      {"counting", [&] { actions.SetCounting(true, false); }, {G, G, G, G, G, G, Busy, G, G, G}},
      {"acted", [&] { actions.SetCounting(true, true); }, {G, G, G, G, G, G, G, G, G, G}},
      {"conditions not offered", [&] { host.offered = false; }, {G, G, G, G, G, Off, G, G, None, G}},
  };
  for (const State& state : states) {
    SCOPED_TRACE(state.name);
    TearDown();
    SetUp();
    host = FakeHost();
    actions.SetLockUp(false);
    actions.SetLockOffered(true);
    actions.SetStopwatchOpen(false);
    actions.SetRunnerWaiting(false);
    actions.SetCounting(false, false);
    state.set();
    std::vector<Refusal> got;
    for (const auto& s : sources) got.push_back(actions.Check(s.request));
    got.push_back(actions.CheckCancel());
    got.push_back(actions.CheckLock());
    EXPECT_EQ(got, state.expected);
    EXPECT_TRUE(host.done.empty()) << "judging does nothing";
  }
  // An exit ban that cannot be read refuses nothing, as at the start.
  sim->SetValue(Section("F6"), "C4", {platform::kRegDword, std::string("\x01\0\0\0", 4)});
  EXPECT_EQ(actions.Check(session::FromTimerHotKey(30)), Refusal::None);
}

// Run makes each action's request of the system on both families; the
// pending ones go to the runner, a refused check runs nothing.
TEST_F(ActionsTest, RunMakesEachActionsCallsOnEachFamily) {
  using cmdline::Verb;
  struct Case {
    Verb verb;
    std::uint32_t family;
    std::vector<std::string> requests;
    std::vector<std::string> host;
  } cases[] = {
      {Verb::PowerOff, 1, {"ExitWindowsEx(1, 0)"}, {"save"}},
      {Verb::Shutdown, 1, {"ExitWindowsEx(1, 0)"}, {"save"}},
      {Verb::Reboot, 1, {"ExitWindowsEx(2, 0)"}, {"save"}},
      {Verb::LogOff, 1, {"ExitWindowsEx(0, 0)"}, {"save", "close"}},
      {Verb::Standby, 1, {"SetSystemPowerState(1, 0)"}, {}},
      {Verb::Hibernate, 1, {"SetSystemPowerState(0, 0)"}, {}},
      {Verb::PowerOff, 2, {kEnable, "ExitWindowsEx(8, 0)", kDisable}, {"save", "status "}},
      {Verb::Shutdown, 2, {kEnable, "ExitWindowsEx(1, 0)", kDisable}, {"save", "status "}},
      {Verb::Reboot, 2, {kEnable, "ExitWindowsEx(2, 0)", kDisable}, {"save", "status "}},
      {Verb::LogOff, 2, {kEnable, "ExitWindowsEx(0, 0)", kDisable}, {"save", "status ", "close"}},
      {Verb::Standby, 2, {kEnable, "SetSystemPowerState(1, 0)", kDisable}, {"status "}},
      {Verb::Hibernate, 2, {kEnable, "SetSystemPowerState(0, 0)", kDisable}, {"status "}},
  };
  for (const Case& c : cases) {
    const EndRequest request = EndRequestOf(Cmd(c.verb));
    SCOPED_TRACE(std::string(session::EndActionName(request.action)) + " family " + std::to_string(c.family));
    TearDown();
    SetUp();
    host = FakeHost();
    UseVersion(c.family, c.family == 1 ? 4 : 5, c.family == 1 ? 10 : 1);
    actions.Run(request);
    EXPECT_EQ(Requests(), c.requests);
    EXPECT_EQ(host.done, c.host);
    EXPECT_TRUE(ui->boxes.empty()) << "a command asks nothing";
  }

  // A pending request goes to the runner; nothing is asked of the system.
  host = FakeHost();
  sim->ClearJournal();
  actions.Run(EndRequestOf(Cmd(cmdline::Verb::LogOff, cmdline::When::In, 5)));
  actions.Run(session::FromSchedule(EndAction::Restart, 45000.5));
  EXPECT_EQ(host.done, (std::vector<std::string>{"pending ログオフ", "pending 再起動"}));
  EXPECT_TRUE(Requests().empty());
  // Submitted under the exit ban, it does nothing at all.
  Store("F6", "C4", "1");
  EXPECT_EQ(actions.Submit(session::FromTimerHotKey(5)), Refusal::ExitBan);
  EXPECT_EQ(actions.Submit(session::FromSchedule(EndAction::Restart, 45000.5)), Refusal::ExitBan);
  EXPECT_EQ(host.done.size(), 2u);
  // A cancel stops the runner's count only while one runs.
  EXPECT_EQ(actions.Cancel(), Refusal::NothingToCancel);
  actions.SetCounting(true, false);
  EXPECT_EQ(actions.Cancel(), Refusal::None);
  EXPECT_EQ(host.done.back(), "stop");
}

// Who asks and what the state is decide the question and the sleep.
TEST_F(ActionsTest, TheQuestionAndTheSleepFollowTheSourceAndTheState) {
  UseVersion(platform::kPlatformWindows, 4, 90);
  struct Case {
    const char* name;
    EndRequest request;
    bool skip, hibernateSwitch;
    const char* question;  // nullptr: none
    const char* call;
  } cases[] = {
      {"power-off button", session::FromButton(EndAction::PowerOff), false, false, "電源切断してもよろしいですか？",
       "ExitWindowsEx(1, 0)"},
      {"power-off button, skipped", session::FromButton(EndAction::PowerOff), true, false, nullptr,
       "ExitWindowsEx(1, 0)"},
      {"tray, skipped", session::FromTrayItem(EndAction::PowerOff), true, false, nullptr, "ExitWindowsEx(1, 0)"},
      {"restart button, skipped", session::FromButton(EndAction::Restart), true, false,
       "再起動してもよろしいですか？", "ExitWindowsEx(2, 0)"},
      {"runner power-off", session::FromRunner(EndAction::PowerOff), false, false, "電源切断してもよろしいですか？",
       "ExitWindowsEx(1, 0)"},
      {"runner power-off, skipped", session::FromRunner(EndAction::PowerOff), true, false, nullptr,
       "ExitWindowsEx(1, 0)"},
      {"runner log-off", session::FromRunner(EndAction::LogOff), false, false, nullptr, "ExitWindowsEx(0, 0)"},
      {"standby button", session::FromButton(EndAction::Standby), false, false, "移行してもよろしいですか？",
       "SetSystemPowerState(1, 0)"},
      {"standby button, switch on", session::FromButton(EndAction::Standby), false, true,
       "移行してもよろしいですか？", "SetSystemPowerState(0, 0)"},
      {"runner standby, switch on", session::FromRunner(EndAction::Standby), false, true, nullptr,
       "SetSystemPowerState(0, 0)"},
      {"/standby, switch on", EndRequestOf(Cmd(cmdline::Verb::Standby)), false, true, nullptr,
       "SetSystemPowerState(1, 0)"},
      {"runner hibernate", session::FromRunner(EndAction::Hibernate), false, false, nullptr,
       "SetSystemPowerState(0, 0)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ui->boxes.clear();
    sim->ClearJournal();
    actions.SkipPowerOffQuestion(c.skip);
    actions.SetHibernateSwitch(c.hibernateSwitch);
    ui->boxAnswers = {tk::idYes};
    actions.Run(c.request);
    ASSERT_EQ(ui->boxes.size(), c.question ? 1u : 0u);
    if (c.question) {
      EXPECT_EQ(ui->boxes[0].text, c.question);
    }
    EXPECT_EQ(Requests(), std::vector<std::string>{c.call});
    ui->boxAnswers.clear();
  }
  // "No" ends it there.
  ui->boxAnswers = {tk::idNo};
  sim->ClearJournal();
  actions.SkipPowerOffQuestion(false);
  actions.Run(session::FromButton(EndAction::PowerOff));
  EXPECT_TRUE(Requests().empty());
}

// The desk needs no window: it queues, posts, answers tickets once.
struct FakeWindow : CommandWindow {
  int posts = 0;
  std::vector<std::function<void(viewer::RegionOutcome)>> captures;
  std::vector<cmdline::Verb> ran;
  void PostQueuedCommands() override { ++posts; }
  void RunOnWindow(const cmdline::Command& c, std::function<void(viewer::RegionOutcome)> done) override {
    ran.push_back(c.verb);
    if (done) captures.push_back(std::move(done));
  }
  void RunAndPump(const std::function<void()>& start, const std::function<bool()>&) override { start(); }
};

TEST_F(ActionsTest, TheDeskQueuesJudgesAndAnswersTicketsWithoutAWindow) {
  FakeWindow window;
  CommandDesk desk(window, actions);
  cmdline::Command region = Cmd(cmdline::Verb::CaptureRegion);
  region.asksAgain = true;
  EXPECT_EQ(desk.Receive(cmdline::kCopyDataTag, cmdline::EncodeRecord(region)), cmdline::kReplyStarting);
  desk.SetReady();
  const std::intptr_t ticket = desk.Receive(cmdline::kCopyDataTag, cmdline::EncodeRecord(region));
  ASSERT_GT(ticket, cmdline::kReplyTicket);
  const std::string asked = cmdline::EncodeTicket(static_cast<std::uint32_t>(ticket - cmdline::kReplyTicket));
  EXPECT_EQ(window.posts, 1);
  EXPECT_EQ(desk.Receive(cmdline::kOutcomeQueryTag, asked), cmdline::kReplyStillWaiting);
  desk.RunQueued();
  ASSERT_EQ(window.captures.size(), 1u);
  EXPECT_EQ(desk.Receive(cmdline::kOutcomeQueryTag, asked), cmdline::kReplyStillWaiting);
  window.captures[0](viewer::RegionOutcome::Cancelled);
  EXPECT_EQ(desk.Receive(cmdline::kOutcomeQueryTag, asked), cmdline::kReplyCancelled);
  EXPECT_EQ(desk.Receive(cmdline::kOutcomeQueryTag, asked), cmdline::kReplyNotUnderstood) << "told once";

  // Ends go to the actions; a lock refuses what would show or hide.
  EXPECT_EQ(desk.Take(Cmd(cmdline::Verb::Reboot, cmdline::When::In, 3)), cmdline::kReplyTaken);
  actions.SetLockUp(true);
  EXPECT_EQ(desk.Take(Cmd(cmdline::Verb::Hide)), cmdline::kReplyLocked);
  EXPECT_EQ(desk.Take(Cmd(cmdline::Verb::Lock)), cmdline::kReplyLocked);
  actions.SetLockUp(false);
  EXPECT_EQ(desk.Take(Cmd(cmdline::Verb::Hide)), cmdline::kReplyTaken);
  desk.RunQueued();
  EXPECT_EQ(host.done, (std::vector<std::string>{"pending 再起動"}));
  EXPECT_EQ(window.ran.back(), cmdline::Verb::Hide);
  EXPECT_EQ(desk.Take(Cmd(cmdline::Verb::Cancel)), cmdline::kReplyNothingToCancel);
}

// The main window tells the actions what the policy reads: the lock, the
// stopwatch, the runner's wait and count, the hibernation switch.
class ActionsStateTest : public MainWindowFixture {};

TEST_F(ActionsStateTest, TheMainWindowKeepsThePolicysStateAsItChanges) {
  UseVersion(platform::kPlatformWindows, 4, 10, 2222);
  LinkClocks();
  Store("F1", "TITLE_TAG", "1");
  TForm1* main = CreateQuiet();
  session::Actions& actions = main->actions;
  EXPECT_EQ(actions.CheckLock(), Refusal::None);
  main->Button20->Click();
  EXPECT_TRUE(actions.StopwatchOpen());
  EXPECT_EQ(actions.CheckLock(), Refusal::Busy);
  Form4->Close();
  tk::Application::Instance().ProcessMessages();
  EXPECT_FALSE(actions.StopwatchOpen()) << "the stopwatch closed";
  EXPECT_EQ(actions.CheckLock(), Refusal::None);

  bool upDuring = false;
  ui->onModal = [&](tk::Form& f) {
    if (auto* s = dynamic_cast<TForm9*>(&f)) {
      s->Edit1->SetText("pw");
      s->Edit2->SetText("pw");
      s->Button1->Click();
    } else if (auto* l = dynamic_cast<lock::LockWindow*>(&f)) {
      upDuring = actions.LockUp();
      l->PeerCloseRequested();
    }
  };
  main->Button16->Click();
  EXPECT_TRUE(upDuring);
  EXPECT_FALSE(actions.LockUp()) << "the lock ended";
  ui->onModal = nullptr;

  // The runner's count, its end and its stop.
  EXPECT_EQ(actions.Submit(session::FromTimerHotKey(1)), Refusal::None);
  ASSERT_NE(Form11, nullptr);
  EXPECT_TRUE(actions.Counting());
  EXPECT_TRUE(actions.PowerOffQuestionSkipped());
  EXPECT_EQ(actions.Check(session::FromSchedule(EndAction::PowerOff, 45000.5)), Refusal::Busy);
  ui->AdvanceClock(60000);
  EXPECT_EQ(sim->Calls("ExitWindowsEx").size(), 1u);
  EXPECT_EQ(actions.Check(session::FromSchedule(EndAction::PowerOff, 45000.5)), Refusal::None) << "acted";
  EXPECT_EQ(actions.Cancel(), Refusal::None);
  EXPECT_FALSE(actions.Counting());
  EXPECT_EQ(actions.CheckCancel(), Refusal::NothingToCancel);

  // The hibernation switch, where the machine can hibernate.
  main->CheckBox2->SetChecked(true);
  EXPECT_TRUE(actions.HibernateSwitch());
  main->CheckBox2->SetChecked(false);
  EXPECT_FALSE(actions.HibernateSwitch());
}

}  // namespace
