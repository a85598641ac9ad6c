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

// The command line's conditions as the runner keeps them.
timers::Conditions ConditionsOf(const cmdline::EndConditions& e) {
  timers::Conditions c;
  c.of[timers::kCpuCondition] = {e.cpuMinutes != 0, e.cpuPercent, static_cast<std::int32_t>(e.cpuMinutes)};
  c.of[timers::kNetCondition] = {e.netMinutes != 0, static_cast<std::int32_t>(e.netKBps),
                                 static_cast<std::int32_t>(e.netMinutes)};
  c.of[timers::kIdleCondition] = {e.idleMinutes != 0, 0, static_cast<std::int32_t>(e.idleMinutes)};
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
  if (due < 0) return;
  // An end already pending (or a program waited for) comes first, and the
  // exit ban holds: this firing is skipped, the next one stays armed.
  if (Form11 && (Form11->Waiting() || (Form11->Counting() && !Form11->Acted()))) return;
  if (StoredExitBan()) return;
  if (!Form11) Button18Click(this);
  Form11->StartTimedEndAtDay(schedule_.Current().action, due);
}

// ---------------------------------------------------------------- command line
bool TForm1::InputLocked() const { return lock::ActiveLock() != nullptr; }

std::intptr_t TForm1::Refusal(const cmdline::Command& c) const {
  using cmdline::Verb;
  const bool windowCommand =
      c.verb == Verb::Show || c.verb == Verb::Hide || c.verb == Verb::Exit || cmdline::Captures(c.verb);
  // A lock takes no commands that would show, hide or end the program.
  if (windowCommand && lock::ActiveLock()) return cmdline::kReplyLocked;
  if (cmdline::EndsSession(c.verb) && StoredExitBan()) return cmdline::kReplyExitBan;
  const bool runnerWaits = Form11 && Form11->Waiting();
  const bool pending = c.when != cmdline::When::Now || c.conditions.Any();
  if (cmdline::EndsSession(c.verb) && pending && runnerWaits) return cmdline::kReplyBusy;
  if (c.conditions.Any() && !timers::AnyOffered(ConditionsOf(c.conditions), platform::Get().GetVersionEx()))
    return cmdline::kReplyConditionsNotOffered;
  if (c.verb == Verb::Cancel && !(Form11 && Form11->Counting())) return cmdline::kReplyNothingToCancel;
  if (c.verb == Verb::CaptureLastRegion) {
    const viewer::RegionOutcome last = viewer::CheckLastRegion();
    if (last == viewer::RegionOutcome::NoLastRegion) return cmdline::kReplyNoLastRegion;
    if (last == viewer::RegionOutcome::OffScreen) return cmdline::kReplyRegionOffScreen;
  }
  if (c.verb == Verb::Lock) {
    // What the button does, where and when the main window offers it (not
    // while the stopwatch has it switched off).
    if (lock::ActiveLock()) return cmdline::kReplyLocked;
    if (lockRoute_ == LockRoute::None) return cmdline::kReplyNoLock;
    if (!Button16->Enabled()) return cmdline::kReplyBusy;
  }
  return cmdline::kReplyTaken;
}

bool TForm1::StoredExitBan() const {
  try {
    SettingsStore store;
    return store.ReadBool(key::F6, key::C4, false);
  } catch (const settings::StoreError&) {
    return false;
  }
}

std::intptr_t TForm1::ReceiveCommand(std::uint32_t tag, const std::string& bytes) {
  if (tag == cmdline::kOutcomeQueryTag) return AnswerTicket(bytes);
  if (tag != cmdline::kCopyDataTag) return cmdline::kReplyNotUnderstood;
  std::optional<cmdline::Command> command = cmdline::DecodeRecord(bytes);
  if (!command) return cmdline::kReplyBadRecord;
  // Nothing can be judged before the settings are read (the logo is up):
  // the other copy asks again rather than being told "taken" for a command
  // that may be refused once it runs.
  if (!commandsReady_) return cmdline::kReplyStarting;
  if (cmdline::WaitsForOutcome(command->verb)) {
    std::intptr_t refusal = Refusal(*command);
    if (refusal != cmdline::kReplyTaken) return refusal;
    return command->asksAgain ? TakeWithTicket(*command) : RunAndWait(*command);
  }
  return TakeCommand(*command);
}

std::intptr_t TForm1::TakeWithTicket(const cmdline::Command& command) {
  lastTicket_ = lastTicket_ >= cmdline::kMaxTicket ? 1 : lastTicket_ + 1;
  const std::uint32_t ticket = lastTicket_;
  outcomes_[ticket] = std::nullopt;
  // It runs once this message has been answered: the sender is not kept
  // inside it while the user drags the region.
  commands_.push_back({command, ticket});
  Post(kRunCommandsMessage);
  return cmdline::kReplyTicket + static_cast<std::intptr_t>(ticket);
}

void TForm1::SetOutcome(std::uint32_t ticket, std::intptr_t reply) {
  auto it = outcomes_.find(ticket);
  if (it != outcomes_.end() && !it->second) it->second = reply;
}

std::intptr_t TForm1::AnswerTicket(const std::string& bytes) {
  const std::optional<std::uint32_t> ticket = cmdline::DecodeTicket(bytes);
  if (!ticket) return cmdline::kReplyBadRecord;
  auto it = outcomes_.find(*ticket);
  // A ticket this copy never gave, or whose outcome it gave already.
  if (it == outcomes_.end()) return cmdline::kReplyNotUnderstood;
  if (!it->second) return cmdline::kReplyStillWaiting;
  const std::intptr_t reply = *it->second;
  outcomes_.erase(it);
  return reply;
}

std::intptr_t TForm1::TakeCommand(const cmdline::Command& command) {
  // Before the settings are read nothing can be judged: the command waits
  // and is judged when it runs.
  if (commandsReady_) {
    std::intptr_t refusal = Refusal(command);
    if (refusal != cmdline::kReplyTaken) return refusal;
  }
  commands_.push_back({command, 0});
  Post(kRunCommandsMessage);
  return cmdline::kReplyTaken;
}

void TForm1::RunCommand(const cmdline::Command& c, std::uint32_t ticket) {
  using cmdline::Verb;
  std::intptr_t refusal = Refusal(c);  // things may have changed since it was taken
  if (refusal != cmdline::kReplyTaken) {
    if (ticket) {
      // The sender says why.
      SetOutcome(ticket, refusal);
      return;
    }
    if (cmdline::WaitsForOutcome(c.verb)) commandExitCode_ = cmdline::kExitRefused;
    if (!c.silent)
      tk::Application::Instance().MessageBox(cmdline::ReplyText(refusal), session::kCaption,
                                             tk::mbOk | tk::mbIconExclamation);
    return;
  }
  if (cmdline::EndsSession(c.verb) && (c.when != cmdline::When::Now || c.conditions.Any())) {
    int action = c.verb == Verb::LogOff     ? session::kTimedLogOff
                 : c.verb == Verb::Reboot   ? session::kTimedRestart
                 : c.verb == Verb::Shutdown ? session::kTimedShutDown
                 : c.verb == Verb::Standby  ? session::kTimedStandby
                 : c.verb == Verb::Hibernate ? session::kTimedHibernate
                                             : session::kTimedPowerOff;
    if (!Form11) Button18Click(this);
    if (c.conditions.Any()) Form11->StartConditionalEnd(action, ConditionsOf(c.conditions));
    else if (c.when == cmdline::When::In) Form11->StartTimedEnd(action, c.minutes);
    else Form11->StartTimedEndAt(action, c.hour, c.minute);
    return;
  }
  switch (c.verb) {
    case Verb::LogOff: session::RunExitAction(*this, session::ExitKind::LogOff, false); break;
    case Verb::Reboot: session::RunExitAction(*this, session::ExitKind::Restart, false); break;
    case Verb::Shutdown: session::RunExitAction(*this, session::ExitKind::ShutDown, false); break;
    case Verb::PowerOff: session::RunExitAction(*this, session::ExitKind::PowerOff, false); break;
    case Verb::Standby: session::RunStandby(*this, false, session::SleepKind::Standby); break;
    case Verb::Hibernate: session::RunStandby(*this, false, session::SleepKind::Hibernate); break;
    case Verb::Cancel: Form11->StopCountdown(); break;
    case Verb::CaptureDesktop:
    case Verb::CaptureWindow:
      // The active window's own picture where the program makes it itself.
      StartCapture(c.verb == Verb::CaptureDesktop ? CaptureKind::Desktop : CaptureKind::ActiveWindow, c.silent);
      break;
    case Verb::CaptureRegion:
    case Verb::CaptureLastRegion:
      if (ticket) {
        // Another copy's, which asks for the outcome under its ticket.
        StartCapture(c.verb == Verb::CaptureRegion ? CaptureKind::Region : CaptureKind::LastRegion, c.silent,
                     [this, ticket](viewer::RegionOutcome o) { SetOutcome(ticket, ReplyOf(o)); });
        break;
      }
      // This copy's own command line: the exit code at the end says how it
      // went; nothing taken until the picture is.
      commandExitCode_ = cmdline::kExitRefused;
      StartCapture(c.verb == Verb::CaptureRegion ? CaptureKind::Region : CaptureKind::LastRegion, c.silent,
                   [](viewer::RegionOutcome o) {
                     commandExitCode_ = o == viewer::RegionOutcome::Taken ? cmdline::kExitTaken : cmdline::kExitRefused;
                   });
      break;
    case Verb::Show:
      Show();
      BringToFront();
      break;
    case Verb::Hide: Hide(); break;
    case Verb::Exit: Close(); break;
    case Verb::Lock:
      if (lockRoute_ == LockRoute::System) LockWithTheSystem(c.silent);
      else Button16Click(this);
      break;
    default: break;
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
  auto command = [this](cmdline::Verb verb, std::uint32_t minutes) {
    cmdline::Command c;
    c.verb = verb;
    if (minutes) {
      c.when = cmdline::When::In;
      c.minutes = minutes;
    }
    std::intptr_t reply = TakeCommand(c);
    if (reply != cmdline::kReplyTaken)
      tk::Application::Instance().MessageBox(cmdline::ReplyText(reply), session::kCaption,
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
    case hotkeys::kCaptureWindow: StartCapture(CaptureKind::ActiveWindow, false); break;
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
      // The set-up, never a lock without a password; not while the main
      // window offers none (the stopwatch open).
      if (N3->Enabled() && Button16->Enabled()) Button16Click(this);
      break;
    case hotkeys::kTimer: {
      std::int32_t minutes = hotkeys::ReadHotKeys().timerMinutes;
      if (minutes > 0) command(cmdline::Verb::PowerOff, static_cast<std::uint32_t>(minutes));
      break;
    }
    case hotkeys::kCancel: command(cmdline::Verb::Cancel, 0); break;
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

