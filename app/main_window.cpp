#include "app/main_window.h"

#include <exception>
#include <cmath>
#include <memory>

#include "app/about_boxes.h"
#include "app/phases.h"
#include "browser/browser_window.h"
#include "hotkeys/hotkeys.h"
#include "lock/lock_screen.h"
#include "lock/lock_setup.h"
#include "lock/user_settings.h"
#include "netconsole/console.h"
#include "viewer/capture.h"
#include "viewer/capture_delay.h"
#include "viewer/image_viewer.h"
#include "timers/resource_meter.h"
#include "timers/runner.h"
#include "timers/stopwatch.h"
#include "platform/platform.h"
#include "session/detailed_settings.h"
#include "settings/keys.h"
#include "settings/settings_store.h"
#include "tools/tools.h"

tk::FormSlot<TForm1> Form1("Form1");

namespace {
constexpr unsigned kScDragMove = 0xF012;  // SC_MOVE | HTCAPTION
constexpr const char* kRsrc32 = "c:\\windows\\system\\rsrc32.dll";

namespace key = settings::key;
using settings::SettingsStore;
using tk::Rect;

// The tray icon's tip: a capture's countdown, else the runner's pending end,
// else the next end of the schedule; "" for none.
std::string PendingTip(const timers::ScheduleWatch& schedule) {
  std::string tip = viewer::CaptureCountdownText();
  if (tip.empty() && Form11) tip = Form11->PendingText();
  if (tip.empty()) tip = schedule.Text();  // "水 23:00 に電源切断"
  return tip;
}


}  // namespace

TForm1::TForm1(tk::Component* owner) : tk::Form(owner) {
  Name = "Form1";
  CommandDesk::ResetExitCode();
  // The commands' policy knows when a lock is up.
  lock::SetLockListener([this](bool up) { actions.SetLockUp(up); });
  // The tray's tip follows a capture's countdown as it follows the runner.
  viewer::SetCountdownListener([this] { tray->SetTip(PendingTip(schedule.Watch())); });
  BuildMainWindow(*this);
  AdaptMainWindowToSystem(*this);
  phases::Mark("controls");
}

TForm1::~TForm1() {
  viewer::SetCountdownListener(nullptr);
  lock::SetLockListener(nullptr);
  // Gone before its start was over: nothing is left to add.
  if (startPending_) tk::Application::Instance().OnStarted = nullptr;
  try {
    FormDestroy(this);
  } catch (...) {
    tk::Application::Instance().HandleException();
  }
}

// ---------------------------------------------------------------- lifecycle
void TForm1::FormCreate(tk::Component*) {
  // The logo lets messages through before the settings are restored: tray
  // commands and closes wait until creation is over (see WndProc).
  creating_ = true;
  hotkeys.SetReady(false);
  struct Created {
    TForm1* self;
    ~Created() {
      self->creating_ = false;
      self->hotkeys.SetReady(true);
      for (const tk::Message& m : self->deferred_) self->Post(m.msg, m.wParam, m.lParam);
      self->deferred_.clear();
    }
  } created{this};
  auto& p = platform::Get();
  auto& app = tk::Application::Instance();
  // Another copy's commands: judged once the settings are restored.
  app.OnCopyData = [this](std::uint32_t tag, const std::string& bytes) { return commands.Receive(tag, bytes); };
  p.EnableSystemMenuItem(Handle(), platform::kScClose, platform::kMfDisabled);
  actions.SkipPowerOffQuestion(false);
  tray->Add();
  SetCaption("Kivo-Config For Windows");
  phases::Mark("tray");

  // The hotkeys and the exit ban's reason come once the window is up: after
  // its first paint (started in the tray, at that point), before the loop
  // takes its first message; also when a stored value of the wrong type
  // ends the restoring of the settings early.
  startPending_ = true;
  app.OnStarted = [this] {
    startPending_ = false;
    // What the program adds to the start, done even when a stored value of
    // the wrong type ended the restoring of the settings early: the
    // launchers whose programs are missing, the exit ban's reason for the
    // system and the global hotkeys.
    if (sessionEnded_) return;
    launchers->CheckLaunchers();
    if (exitBan_) session::UpdateShutdownBlockReason(Handle(), true);
    tk::Application::Instance().OnHotKey = [this](int id) { hotkeys.Pressed(id); };
    hotkeys.Apply();
  };
  try {
    RestoreSettings();
  } catch (...) {
    commands.SetReady();
    throw;
  }
  commands.SetReady();
  phases::Mark("settings");
}

void TForm1::RestoreSettings() {
  auto& p = platform::Get();
  auto& app = tk::Application::Instance();
  SettingsStore store;
  bool noLogo = store.ReadBool(key::F6, key::C2, false);
  app.SetCursor(tk::crHourGlass);
  if (!noLogo) ShowLogo(this);
  app.SetCursor(tk::crDefault);
  if (sessionEnded_) return;  // Windows ended during the logo

  int sw, sh;
  app.ScreenSize(sw, sh);
  Rect r = Bounds();
  // Centred where nothing is stored.
  MainWindowSettings stored;
  stored.left = (sw - r.width) / 2;
  stored.top = (sh - r.height) / 2;
  // A value of the wrong type ends the reading: what was read before it is
  // applied, as the check boxes always were one after the other, then the
  // error is said (FormCreate's caller) and nothing after it is read.
  std::exception_ptr unread;
  try {
    stored.Read(store);
  } catch (const settings::StoreError&) {
    unread = std::current_exception();
  }
  r.left = stored.left;
  r.top = stored.top;
  settings::KeepOnWorkArea(r.left, r.top, r.width, r.height);
  SetBounds(r);
  // The check marks as they were left; what a set one does is done here on
  // purpose, never by setting the mark.
  CheckBox2->Tag = stored.hibernationNoticeShown;
  CheckBox2->SetCheckMark(stored.standbyHibernates);
  CheckBox1->SetCheckMark(stored.taskbarHidden);
  CheckBox4->SetCheckMark(stored.forcedTerminationDisabled);
  CheckBox5->SetCheckMark(stored.statusBarHidden);
  CheckBox3->SetCheckMark(stored.startWithWindows);
  // In the window, as a click does: the hibernation notice the first time
  // and スタンバイ's caption; the status bar's room.
  if (stored.standbyHibernates) CheckBox2Click(CheckBox2);
  if (stored.statusBarHidden) CheckBox5Click(CheckBox5);
  if (!ApplyStoredDesktopSwitches(stored)) CheckBox3->SetCheckMark(false);
  if (unread) std::rethrow_exception(unread);
  settingsRestored_ = true;
  exitBan_ = store.ReadBool(key::F6, key::C4, false);
  SetColor(settings::StringToColor(
      store.ReadString(key::F6, key::MainWindowColor, std::to_string(GetColor()))));
  SetCaption(store.ReadString(key::F8, key::MainWindowCaption, settings::kDefaultMainCaption));
  if (exitBan_) hosts.DisableExitButtons();
  store.Close();
  Label7->SetCaption(PhysicalMemoryText());
  p.DisableIme(Handle());
  if (!p.FileExists(kRsrc32)) Button17->SetEnabled(false);
}

void TForm1::FormShow(tk::Component*) {
  auto& app = tk::Application::Instance();
  platform::Get().ShowWindow(app.GetBackend().ApplicationHandle(), platform::kSwHide);
  Icons.minimize = false;
  Icons.maximize = false;
  ApplyStyle();
  SetFocus();
  BringToFront();
}

void TForm1::FormCloseQuery(tk::Component*, bool& canClose) {
  {
    SettingsStore store;
    if (store.ReadBool(key::F6, key::C1, false)) tools::PurgeRecentDocuments();
    tools::SetForcedTerminationDisabled(false);
  }
  SaveMainSettings();
  canClose = true;
}

void TForm1::FormClose(tk::Component*, tk::CloseAction&) {
  tray->Remove();
}

void TForm1::FormDestroy(tk::Component*) {
  // The application's own window, the one titled with the application title;
  // never another program's window of the same title.
  auto& app = tk::Application::Instance();
  app.OnHotKey = nullptr;
  app.OnCopyData = nullptr;
  if (!app.HasBackend()) return;
  if (platform::Handle w = app.GetBackend().ApplicationHandle()) {
    hotkeys::UnregisterHotKeys(w);
    platform::Get().ShowWindow(w, platform::kSwRestore);
  }
}

bool TForm1::WndProc(tk::Message& msg) {
  // The tray's clicks wait while the window is being created.
  if (msg.msg == kTrayCallbackMessage && creating_) {
    deferred_.push_back(msg);
    return true;
  }
  if (tray && tray->Take(msg)) return true;
  switch (msg.msg) {
    case tk::wmQueryEndSession:
      WMQueryEndSession(msg);
      return true;
    case tk::wmEndSession:
      // The system may end this process as soon as this message returns, so
      // the close posted by the allowed query could come too late: close now.
      // A session that another program cancelled leaves us running.
      if (msg.wParam && !sessionEnded_) {
        sessionEnded_ = true;
        Close();
      }
      return true;
    case tk::wmClose:
      // Already closed for the end of the session. The close posted by an
      // allowed query waits for the session's outcome: WM_ENDSESSION closes
      // when the session really ends, and nothing does when another program
      // cancelled it.
      if (sessionEnded_) return true;
      if (queryCloses_ > 0) {
        --queryCloses_;
        return true;
      }
      if (creating_) {
        deferred_.push_back(msg);
        return true;
      }
      return false;
    case tk::wmLButtonDown:
      platform::Get().SendMessage(Handle(), tk::wmSysCommand, kScDragMove, 0);
      return true;
    case kRunCommandsMessage:
      if (creating_) {
        deferred_.push_back(msg);
      } else {
        commands.RunQueued();
      }
      return true;
    default:
      return false;
  }
}

// ---------------------------------------------------------------- status display
std::string PhysicalMemoryText() {
  platform::MemoryStatus m = platform::Get().GlobalMemoryStatus();
  double mb = static_cast<double>(m.totalPhys) / 1024.0 / 1024.0 + 0.5;
  return "Total Physical Memory: " + std::to_string(static_cast<unsigned long long>(std::floor(mb))) + "MB";
}

void TForm1::Timer1Timer(tk::Component*) {
  Label1->SetCaption("現在時刻 " + platform::Get().FormatLocalDateTime());
  schedule.Follow(platform::Get().Now());
  tray->SetTip(PendingTip(schedule.Watch()));
}

void TForm1::Timer2Timer(tk::Component*) {
  std::uint32_t t = platform::Get().GetTickCount();
  unsigned days = t / 86400000u;
  unsigned hours = (t / 3600000u) % 24;
  unsigned minutes = (t / 60000u) % 60;
  unsigned seconds = (t / 1000u) % 60;
  Label3->SetCaption(tk::Format("OS起動から %u日 %02u時間 %02u分 %02u秒 経過", days, hours,
                                minutes, seconds));
}


// ---------------------------------------------------------------- session

void TForm1::CheckBox2Click(tk::Component*) {
  if (CheckBox2->Tag == 0) {
    tk::Application::Instance().MessageBox(
        "この機能はWindowsMeもしくはWindows2000でしか使えません。\r\n"
        "また、事前に電源のプロパティで休止状態をサポートするにcheckを入れて下さい。\r\n"
        "プロパティに存在しない場合、上記のOSでも使用出来ません。",
        session::kCaption, tk::mbOk | tk::mbIconExclamation);
    SettingsStore store;
    store.WriteInteger(key::F1, key::HibernationNoticeShown, 1);
    CheckBox2->Tag = 1;
  }
  // Checked, where the machine can hibernate.
  const bool hibernates = CheckBox2->Checked() && hibernateOffered;
  actions.SetHibernateSwitch(hibernates);
  Button21->SetCaption(hibernates ? "休止状態" : "スタンバイ");
}

// The exit and standby buttons, and the system's question before it ends
// the session (refused under the exit ban).
void TForm1::Button1Click(tk::Component*) { actions.Run(session::FromButton(session::EndAction::LogOff)); }
void TForm1::Button2Click(tk::Component*) { actions.Run(session::FromButton(session::EndAction::Restart)); }
void TForm1::Button3Click(tk::Component*) { actions.Run(session::FromButton(session::EndAction::ShutDown)); }
void TForm1::Button4Click(tk::Component*) { actions.Run(session::FromButton(session::EndAction::PowerOff)); }
void TForm1::Button21Click(tk::Component*) { actions.Run(session::FromButton(session::EndAction::Standby)); }

void TForm1::WMQueryEndSession(tk::Message& msg) {
  msg.result = session::AnswerQueryEndSession(hosts);
  if (msg.result != 0) ++queryCloses_;
}

void MainWindowHosts::DisableExitButtons() {
  for (tk::Button* b : {window_.Button1, window_.Button2, window_.Button3, window_.Button4}) b->SetEnabled(false);
}

void MainWindowHosts::PostCloseMainWindow() { window_.Post(tk::wmClose); }
bool MainWindowHosts::ExitButtonsEnabled() const { return window_.Button4->Enabled(); }
tk::WindowHandle MainWindowHosts::MainWindowHandle() const { return window_.Handle(); }

void MainWindowHosts::ApplyColor(tk::Color color) {
  window_.SetColor(color);
  for (tk::Label* l : {window_.Label1, window_.Label2, window_.Label3, window_.Label7}) l->SetColor(color);
}

// ---------------------------------------------------------------- toggles
void TForm1::CheckBox1Click(tk::Component*) { tools::SetTaskbarHidden(CheckBox1->Checked()); }

void TForm1::CheckBox4Click(tk::Component*) {
  tools::SetForcedTerminationDisabled(CheckBox4->Checked());
}

void TForm1::CheckBox5Click(tk::Component*) {
  if (CheckBox5->Checked()) {
    StatusBar1->SetVisible(false);
    SetClientHeight(kMainClientHeightWithoutStatusBar);
    if (Peer()) Peer()->Invalidate();
  } else {
    SetClientHeight(kMainClientHeightWithStatusBar);
    if (Peer()) Peer()->Invalidate();
    StatusBar1->SetVisible(true);
  }
}

void TForm1::CheckBox3Click(tk::Component*) {
  if (!RegisterAtStartup(CheckBox3->Checked())) CheckBox3->SetChecked(false);
}

void TForm1::Open1Click(tk::Component*) { tools::MoveCdTray(true); }
void TForm1::Close1Click(tk::Component*) { tools::MoveCdTray(false); }
void TForm1::B1Click(tk::Component*) { tools::PurgeRecentDocuments(); }

// ---------------------------------------------------------------- visibility
void TForm1::Open2Click(tk::Component*) { Show(); }
void TForm1::Exit1Click(tk::Component*) { Close(); }
void TForm1::Button5Click(tk::Component*) { Hide(); }

// ---------------------------------------------------------------- openers
void TForm1::N2Click(tk::Component*) { Form6.ShowModal(this, hosts); }

void TForm1::About1Click(tk::Component*) { AboutBox.ShowModal(this); }

void TForm1::FIX1Click(tk::Component*) { AboutBox1.ShowModal(this); }

void TForm1::N5Click(tk::Component*) { Form21.ShowModal(this); }

void TForm1::Button16Click(tk::Component*) {
  if (lockRoute == LockRoute::System) {
    lock::LockWithTheSystem(false, session::kCaption);
    return;
  }
  // One set-up or lock at a time: a second one would take over the password.
  if (lock::RedirectToUnlock()) return;
  if (!Form9.Open()) Hide();
  Form9.ShowModal(this);
  // A runner kept out of sight during the lock comes back.
  if (Form11) Form11->FollowLock();
}

void TForm1::Button17Click(tk::Component*) { Form10.Show(this, Button17); }

void TForm1::Button18Click(tk::Component*) { Form11.Show(this, actions, Button18); }

void TForm1::Button20Click(tk::Component*) {
  if (Form4) {
    Form4->BringToFront();
    return;
  }
  Form4.Show(this, Button16, Button20, stopwatchProgress);
  Button20->SetEnabled(false);
  // It switches the lock button off while open: the lock command waits too.
  actions.SetStopwatchOpen(true);
  Form4->OnClose = [this](tk::Component*, tk::CloseAction&) { actions.SetStopwatchOpen(false); };
}

// Consoles: one more each time (the tray's item opens another beside the
// menu's).
void TForm1::CommandSender1Click(tk::Component*) { Form15.ShowAnother(this, CommandSender1); }

void TForm1::V1Click(tk::Component*) { Form13.Show(this, V1); }

void TForm1::A1Click(tk::Component*) { Form24.ShowModal(this, PlatformFamily); }

// The tray's captures, each through the window's starter.
void TForm1::C1Click(tk::Component*) { captures.Start(CaptureKind::Desktop, false); }
void TForm1::R1Click(tk::Component*) { captures.Start(CaptureKind::Region, false); }
void TForm1::L1Click(tk::Component*) { captures.Start(CaptureKind::LastRegion, false); }

void TForm1::KivoExplorerVer101Click(tk::Component*) {
  browser::OpenBrowser(this, KivoExplorerVer101);
}
