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

// The request's conditions as the runner keeps them.
timers::Conditions ConditionsOf(const session::EndConditions& e) {
  timers::Conditions c;
  c.of[timers::kCpuCondition] = {e.cpuMinutes != 0, e.cpuPercent, e.cpuMinutes};
  c.of[timers::kNetCondition] = {e.netMinutes != 0, e.netKBps, e.netMinutes};
  c.of[timers::kIdleCondition] = {e.idleMinutes != 0, 0, e.idleMinutes};
  return c;
}
}  // namespace

// ---------------------------------------------------------------- what the core has the window do
void MainWindowHosts::SaveMainSettings() { window_.SaveMainSettings(); }
void MainWindowHosts::ShowStatusMessage(const std::string& text) { window_.status.Show(text); }
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
      if (window_.lockRoute == TForm1::LockRoute::System) lock::LockWithTheSystem(c.silent, session::kCaption);
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

void TForm1::HotKey1Click(tk::Component*) {
  Form27.ShowModal(this, lockRoute != LockRoute::None, [this] { hotkeys.Apply(); });
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
