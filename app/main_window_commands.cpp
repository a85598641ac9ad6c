// The main window's commands from outside its own controls: the command
// line (this copy's, or another copy's handed over through the application
// window) and the global hotkeys.
#include "app/main_window.h"

#include "hotkeys/hotkeys.h"
#include "lock/lock_screen.h"
#include "platform/platform.h"
#include "settings/keys.h"
#include "settings/settings_store.h"
#include "timers/runner.h"
#include "timers/stopwatch.h"
#include "viewer/capture.h"
#include "viewer/image_viewer.h"

namespace {
namespace key = settings::key;
using settings::SettingsStore;
constexpr const char* kScheduleUnreadable =
    "くり返しの終了の次の値を読み込めないため、くり返しを止めました (タイマー設定で設定し直して下さい)。";

// The request's conditions as the runner keeps them.
timers::Conditions ConditionsOf(const session::EndConditions& e) {
  timers::Conditions c;
  c.of[timers::kCpuCondition] = {e.cpuMinutes != 0, e.cpuPercent, e.cpuMinutes};
  c.of[timers::kNetCondition] = {e.netMinutes != 0, e.netKBps, e.netMinutes};
  c.of[timers::kIdleCondition] = {e.idleMinutes != 0, 0, e.idleMinutes};
  return c;
}
}  // namespace

// ---------------------------------------------------------------- schedule
void TForm1::FollowSchedule() {
  const double now = platform::Get().Now();
  if (!scheduleRead_ || scheduleGeneration_ != timers::ScheduleGeneration()) {
    scheduleRead_ = true;
    scheduleGeneration_ = timers::ScheduleGeneration();
    std::vector<std::string> problems;
    schedule_.Arm(timers::ReadSchedule(&problems), now);
    if (!problems.empty()) {
      std::string text = kScheduleUnreadable;
      for (const std::string& line : problems) text += "\r\n" + line;
      tk::Application::Instance().MessageBox(text, session::kCaption, tk::mbOk | tk::mbIconExclamation);
    }
  }
  const double due = schedule_.Due(now);
  // Skipped while an end is pending or the exit ban holds; the next stays armed.
  if (due >= 0) actions_.Submit(session::FromSchedule(schedule_.Current().action, due));
}

// ---------------------------------------------------------------- what the core has the window do
void MainWindowHosts::SaveMainSettings() { window_.SaveMainSettings(); }
void MainWindowHosts::ShowStatusMessage(const std::string& text) { window_.ShowStatusMessage(text); }
void MainWindowHosts::CloseMainWindow() { window_.Close(); }

void MainWindowHosts::StartPendingEnd(const session::EndRequest& r) {
  if (!Form11) window_.Button18Click(&window_);
  switch (r.when) {
    case session::EndTime::In: Form11->StartTimedEnd(r.action, r.minutes); break;
    case session::EndTime::At: Form11->StartTimedEndAt(r.action, r.hour, r.minute); break;
    case session::EndTime::AtDay: Form11->StartTimedEndAtDay(r.action, r.day); break;
    case session::EndTime::WhenConditionsHold:
      Form11->StartConditionalEnd(r.action, ConditionsOf(r.conditions));
      break;
    case session::EndTime::Now: break;
  }
}

void MainWindowHosts::StopPendingEnd() {
  if (Form11) Form11->StopCountdown();
}

bool MainWindowHosts::ConditionsOffered(const session::EndConditions& conditions) const {
  return timers::AnyOffered(ConditionsOf(conditions), platform::Get().GetVersionEx());
}

void MainWindowHosts::PostQueuedCommands() { window_.Post(kRunCommandsMessage); }

void MainWindowHosts::RunOnWindow(const cmdline::Command& c, std::function<void(viewer::RegionOutcome)> done) {
  using cmdline::Verb;
  using Kind = CaptureKind;
  switch (c.verb) {
    case Verb::CaptureDesktop:
    case Verb::CaptureWindow:
      // The active window's own picture where the program makes it itself.
      window_.captures.Start(c.verb == Verb::CaptureDesktop ? Kind::Desktop : Kind::ActiveWindow, c.silent,
                               std::move(done));
      break;
    case Verb::CaptureRegion:
    case Verb::CaptureLastRegion:
      window_.captures.Start(c.verb == Verb::CaptureRegion ? Kind::Region : Kind::LastRegion, c.silent,
                               std::move(done));
      break;
    case Verb::Show:
      window_.Show();
      window_.BringToFront();
      break;
    case Verb::Hide: window_.Hide(); break;
    case Verb::Exit: window_.Close(); break;
    case Verb::Lock:
      if (window_.Lock() == TForm1::LockRoute::System) window_.LockWithTheSystem(c.silent);
      else window_.Button16Click(&window_);
      break;
    default: break;
  }
}

void MainWindowHosts::RunAndPump(const std::function<void()>& start, const std::function<bool()>& done) {
  auto& app = tk::Application::Instance();
  auto& p = platform::Get();
  tk::Form::Hold hold(window_);
  start();
  while (!done() && !app.Terminated()) {
    if (p.MsgWaitForObject(0, 1000) == platform::kWaitMessage) app.ProcessMessages();
  }
}

// ---------------------------------------------------------------- hotkeys
void TForm1::ApplyHotKeys() {
  auto& app = tk::Application::Instance();
  std::vector<std::string> problems =
      hotkeys::RegisterHotKeys(app.GetBackend().ApplicationHandle(), N3->Enabled());
  if (problems.empty()) return;
  std::string text;
  for (const std::string& line : problems) text += (text.empty() ? "" : "\r\n") + line;
  app.MessageBox(text, session::kCaption, tk::mbOk | tk::mbIconExclamation);
}

void TForm1::HotKey1Click(tk::Component*) {
  Form27.ShowModal(this, N3->Enabled(), [this] { ApplyHotKeys(); });
}

void TForm1::HotKeyPressed(int id) {
  if (creating_) return;
  // While locked a hotkey does what the tray does then: the unlock prompt.
  if (lock::RedirectToUnlock()) return;
  auto tell = [](session::Refusal refusal) {
    if (refusal != session::Refusal::None)
      tk::Application::Instance().MessageBox(cmdline::ReplyText(ReplyOf(refusal)), session::kCaption,
                                             tk::mbOk | tk::mbIconExclamation);
  };
  auto front = [](tk::Form* f) {
    if (f) f->BringToFront();
  };
  switch (hotkeys::ActionOf(id)) {
    case hotkeys::kShowHide:
      if (Visible()) {
        Hide();
      } else {
        Show();
        BringToFront();
      }
      break;
    case hotkeys::kCaptureDesktop: C1Click(this); break;
    case hotkeys::kCaptureWindow: captures.Start(CaptureKind::ActiveWindow, false); break;
    case hotkeys::kCaptureRegion: R1Click(this); break;
    case hotkeys::kCaptureLastRegion: L1Click(this); break;
    case hotkeys::kViewer:
      if (Form13) front(Form13);
      else if (V1->Enabled()) V1Click(this);
      break;
    case hotkeys::kStopwatch:
      if (Form4) front(Form4);
      else if (Button20->Enabled()) Button20Click(this);
      break;
    case hotkeys::kLock:
      // The set-up, never a lock without a password; not where or while
      // the main window offers none (the stopwatch open), as /lock.
      if (actions_.CheckLock() == session::Refusal::None) Button16Click(this);
      break;
    case hotkeys::kTimer: {
      std::int32_t minutes = hotkeys::ReadHotKeys().timerMinutes;
      if (minutes > 0) tell(actions_.Submit(session::FromTimerHotKey(static_cast<std::uint32_t>(minutes))));
      break;
    }
    case hotkeys::kCancel: tell(actions_.Cancel()); break;
    default: break;
  }
}

void TForm1::SaveMainSettings() {
  // Until the stored state is restored the window shows defaults, which must
  // not overwrite it.
  if (!settingsRestored_) return;
  MainWindowSettings shown;
  shown.left = Left();
  shown.top = Top();
  shown.standbyHibernates = CheckBox2->Checked();
  shown.taskbarHidden = CheckBox1->Checked();
  shown.forcedTerminationDisabled = CheckBox4->Checked();
  shown.statusBarHidden = CheckBox5->Checked();
  shown.startWithWindows = CheckBox3->Checked();
  SettingsStore store;
  shown.Write(store);
  store.WriteString(key::F6, key::MainWindowColor, settings::ColorToString(GetColor()));
}

void TForm1::ShowStatusMessage(const std::string& text) {
  statusText_ = text;
  reasonShown_ = false;
  StatusBar1->SetSimpleText(text);
}

