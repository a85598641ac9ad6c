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
// The client area with and without the status bar; the frame around it is
// whatever caption and menu bar the system draws.
constexpr int kClientWidth = 523;
constexpr int kClientHeightWithStatusBar = 314;
constexpr int kClientHeightWithoutStatusBar = 284;

namespace key = settings::key;
using settings::SettingsStore;
using tk::Rect;

// Windows' own name for a version of NT 6 and later, "" for one the
// program does not know.
std::string ReleaseName(const platform::OsVersion& v) {
  if (v.major == 6) {
    switch (v.minor) {
      case 0: return "Windows Vista";
      case 1: return "Windows 7";
      case 2: return "Windows 8";
      case 3: return "Windows 8.1";
      default: return "";
    }
  }
  if (v.major == 10 && v.minor == 0) return v.build >= 22000 ? "Windows 11" : "Windows 10";
  return "";
}

// The tray icon's tip: a capture's countdown, else the runner's pending end,
// else the next end of the schedule; "" for none.
std::string PendingTip(const timers::ScheduleWatch& schedule) {
  std::string tip = viewer::CaptureCountdownText();
  if (tip.empty() && Form11) tip = Form11->PendingText();
  if (tip.empty()) tip = schedule.Text();  // "水 23:00 に電源切断"
  return tip;
}

// This program's start-up entry written or taken away. Another program's
// entry of our name is replaced only when the user says so: false when it
// was kept (the box goes off again).
bool RegisterAtStartup(bool on) {
  auto replace = [](const std::string& other) {
    return tk::Application::Instance().MessageBox(
               "スタートアップには別のプログラムが kivo_config の名前で登録されています。\r\n" +
                   (other.empty() ? std::string() : other + "\r\n") + "\r\nこのプログラムに置き換えますか?",
               session::kCaption, tk::mbYesNo | tk::mbIconQuestion) == tk::idYes;
  };
  return tools::SetStartupRegistration(on, platform::Get().ExecutablePath(), replace);
}

template <class F>
tk::NotifyEvent Bind(TForm1* f, F method) {
  return [f, method](tk::Component* s) { (f->*method)(s); };
}
}  // namespace

TForm1::TForm1(tk::Component* owner) : tk::Form(owner) {
  Name = "Form1";
  CommandDesk::ResetExitCode();
  // The commands' policy knows when a lock is up.
  lock::SetLockListener([this](bool up) { actions_.SetLockUp(up); });
  // The tray's tip follows a capture's countdown as it follows the runner.
  viewer::SetCountdownListener([this] { tray_->SetTip(PendingTip(schedule_)); });
  // The frame first: its style, menu bar and client size are final before
  // any control is made, so the system computes the frame while the window
  // has no children, and not again for each change.
  BuildFrame();
  BuildMenus();
  phases::Mark("menus");
  BuildLayout();
  phases::Mark("layout");
  OnCreate = Bind(this, &TForm1::FormCreate);
  OnShow = Bind(this, &TForm1::FormShow);
  OnCloseQuery = [this](tk::Component* s, bool& c) { FormCloseQuery(s, c); };
  OnClose = [this](tk::Component* s, tk::CloseAction& a) { FormClose(s, a); };
  AdaptToWindowsVersion();
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

void TForm1::BuildFrame() {
  Border = tk::BorderStyle::Single;
  // Made without the minimise and maximise boxes that FormShow takes away:
  // the frame is not changed again when the window is first shown.
  Icons.minimize = Icons.maximize = false;
  SetColor(tk::clBtnFace);
}

void TForm1::BuildLayout() {
  auto label = [this](const char* name, Rect r, const char* caption) {
    return new tk::Label(this, name, r, caption);
  };
  auto button = [this](const char* name, Rect r, const char* caption,
                       void (TForm1::*handler)(tk::Component*)) {
    auto* b = new tk::Button(this, name, r, caption);
    if (handler) b->OnClick = Bind(this, handler);
    return b;
  };
  auto check = [this](const char* name, Rect r, const char* caption,
                      void (TForm1::*handler)(tk::Component*)) {
    auto* c = new tk::CheckBox(this, name, r, caption);
    c->OnClick = Bind(this, handler);
    return c;
  };
  auto statusLabel = [&](const char* name, Rect r, const char* caption, tk::Color color) {
    tk::Label* l = label(name, r, caption);
    l->Align = tk::Alignment::Right;  // grows to the left with its text
    tk::Font f = l->GetFont();
    f.height = -13;
    f.color = color;
    l->SetFont(f);
    // A background of its own: the window's colour does not reach it until
    // a colour is chosen in the detailed settings.
    l->SetColor(tk::clBtnFace);
    return l;
  };

  Bevel1 = new tk::Bevel(this, "Bevel1", {96, 24, 337, 153});
  Label6 = label("Label6", {96, 8, 140, 12}, "ｺﾝﾄﾛｰﾙﾊﾟﾈﾙ");
  Label6->AutoSize = false;
  Bevel3 = new tk::Bevel(this, "Bevel3", {264, 192, 257, 89});
  Label1 = statusLabel("Label1", {438, 200, 75, 13}, "Please Wait !!", tk::clBlack);
  Label3 = statusLabel("Label3", {438, 220, 75, 13}, "Please Wait !!", tk::clBlack);
  Label7 = label("Label7", {439, 240, 74, 12}, "Please Wait  !!");
  Label7->Align = tk::Alignment::Right;
  Label4 = label("Label4", {270, 261, 82, 12}, "起動しているOS:");
  Label2 = statusLabel("Label2", {438, 260, 75, 13}, "Please Wait !!", tk::clBlue);
  // The version keeps clear of its caption: a long name is drawn smaller.
  Label2->MaxTextWidth = 513 - 362;

  // The exit and standby buttons: each asks the actions for its end.
  auto end = [this, &button](const char* name, Rect r, const char* caption, session::EndAction action) {
    tk::Button* b = button(name, r, caption, nullptr);
    b->OnClick = [this, action](tk::Component*) { actions_.Run(session::FromButton(action)); };
    return b;
  };
  Button21 = end("Button21", {8, 8, 81, 25}, "スタンバイ", session::EndAction::Standby);
  Button1 = end("Button1", {8, 42, 81, 25}, "ログオフ", session::EndAction::LogOff);
  Button2 = end("Button2", {8, 76, 81, 25}, "再起動", session::EndAction::Restart);
  Button3 = end("Button3", {8, 110, 81, 25}, "シャットダウン", session::EndAction::ShutDown);
  Button4 = end("Button4", {8, 144, 81, 25}, "電源切断", session::EndAction::PowerOff);
  // The launchers: made here, started and looked for by their panel.
  Button12 = button("Button12", {104, 32, 97, 25}, "マウス", nullptr);
  Button13 = button("Button13", {216, 32, 97, 25}, "パスワード", nullptr);
  Button14 = button("Button14", {328, 32, 97, 25}, "アプリ追加・削除", nullptr);
  Button9 = button("Button9", {104, 69, 97, 25}, "電源管理", nullptr);
  Button10 = button("Button10", {216, 69, 97, 25}, "マルチメディア", nullptr);
  Button11 = button("Button11", {328, 69, 97, 25}, "ネットワーク", nullptr);
  Button6 = button("Button6", {104, 107, 97, 25}, "ﾃﾞﾊﾞｲｽﾏﾈｰｼﾞｬ", nullptr);
  Button19 = button("Button19", {216, 107, 97, 25}, "ジョイスティック", nullptr);
  Button8 = button("Button8", {328, 107, 97, 25}, "モデム", nullptr);
  Button15 = button("Button15", {104, 144, 97, 25}, "日付と時刻", nullptr);
  Button7 = button("Button7", {216, 144, 97, 25}, "画面設定", nullptr);
  launchers = new LauncherPanel(this);
  launchers->SetButtons({{{6, Button6},   {7, Button7},   {8, Button8},   {9, Button9},
                           {10, Button10}, {11, Button11}, {12, Button12}, {13, Button13},
                           {14, Button14}, {15, Button15}, {19, Button19}}});
  launchers->OnStatus = [this](const std::string& text) { ShowStatusMessage(text); };
  Button17 = button("Button17", {328, 144, 97, 25}, "リソース", &TForm1::Button17Click);
  Button16 = button("Button16", {448, 32, 65, 25}, "画面ロック", &TForm1::Button16Click);
  Button20 = button("Button20", {448, 68, 65, 25}, "ｽﾄｯﾌﾟｳｫｯﾁ", &TForm1::Button20Click);
  Button18 = button("Button18", {448, 107, 65, 25}, "Open APL", &TForm1::Button18Click);
  Button5 = button("Button5", {448, 144, 65, 25}, "閉じる", &TForm1::Button5Click);

  CheckBox3 = check("CheckBox3", {8, 184, 121, 17}, "スタートアップ登録", &TForm1::CheckBox3Click);
  CheckBox3->Hint = "Windows起動時に自動で起動するか設定します";
  CheckBox2 = check("CheckBox2", {8, 204, 153, 12}, "休止状態をサポートする",
                    &TForm1::CheckBox2Click);
  CheckBox1 = check("CheckBox1", {8, 224, 129, 12}, "タスクバーを非表示", &TForm1::CheckBox1Click);
  CheckBox5 = check("CheckBox5", {8, 244, 153, 12}, "ステータスバーを非表示",
                    &TForm1::CheckBox5Click);
  CheckBox5->Hint = "Kivo-Shutdownのエラーをステータスバーに表示します。";
  CheckBox4 = check("CheckBox4", {8, 264, 169, 12}, "強制終了を無効にする",
                    &TForm1::CheckBox4Click);

  StatusBar1 = new tk::StatusBar(this, "StatusBar1", {0, 288, 523, 26});

  Timer1 = new tk::Timer(this, "Timer1", 1000);
  Timer1->OnTimer = Bind(this, &TForm1::Timer1Timer);
  Timer2 = new tk::Timer(this, "Timer2", 1000);
  Timer2->OnTimer = Bind(this, &TForm1::Timer2Timer);
  tray_ = new TrayIcon(this);
  tray_->OnRequest = [this](TrayIcon::Request request) {
    // While locked the tray offers nothing but the unlock prompt.
    if (lock::RedirectToUnlock()) return;
    if (request == TrayIcon::Request::Menu) {
      auto& p = platform::Get();
      platform::Point pt = p.GetCursorPos();
      p.SetForegroundWindow(Handle());
      PopupMenu1->Popup(pt.x, pt.y);
    } else {
      Show();
    }
  };

  // The status bar tells why a launcher is off while the mouse is on it.
  OnMouseMove = [this](tk::Component*) { PointedAt(nullptr); };
  for (tk::Control* c : Controls()) c->OnMouseMove = [this, c](tk::Component*) { PointedAt(c); };
}

void TForm1::BuildMenus() {
  MainMenu1 = new tk::MainMenu(this, "MainMenu1");
  auto& root = MainMenu1->Items();
  N1 = root.Add("N1", "メニュー(&M)");
  N2 = N1->Add("N2", "設定(&S)", Bind(this, &TForm1::N2Click));
  N5 = N1->Add("N5", "ユーザー設定", Bind(this, &TForm1::N5Click));
  V1 = N1->Add("V1", "画像ビューア(&V)", Bind(this, &TForm1::V1Click));
  CommandSender1 =
      N1->Add("CommandSender1", "Raru Derura(&P)", Bind(this, &TForm1::CommandSender1Click));
  KivoExplorerVer101 = N1->Add("KivoExplorerVer101", "Kivo-WebExplorer Ver1.0",
                               Bind(this, &TForm1::KivoExplorerVer101Click));
  HotKey1 = N1->Add("HotKey1", "ホットキーの設定(&K)", Bind(this, &TForm1::HotKey1Click));
  CDDRIVEC1 = root.Add("CDDRIVEC1", "CD-DRIVE(&D)");
  Open1 = CDDRIVEC1->Add("Open1", "開く(&O)", Bind(this, &TForm1::Open1Click));
  Close1 = CDDRIVEC1->Add("Close1", "閉じる(&C)", Bind(this, &TForm1::Close1Click));
  Help1 = root.Add("Help1", "ヘルプ(&H)");
  About1 = Help1->Add("About1", "バージョン情報(&V)", Bind(this, &TForm1::About1Click));
  FIX1 = Help1->Add("FIX1", "FIX情報(&F)", Bind(this, &TForm1::FIX1Click));
  SetMenu(MainMenu1);
  SetClientSize(kClientWidth, kClientHeightWithStatusBar);

  PopupMenu1 = new tk::PopupMenu(this, "PopupMenu1");
  auto& pop = PopupMenu1->Items();
  B1 = pop.Add("B1", "最近使ったファイルを削除(&B)", Bind(this, &TForm1::B1Click));
  A1 = pop.Add("A1", "アクティブウィンドウ取得(&A)", Bind(this, &TForm1::A1Click));
  C1 = pop.Add("C1", "デスクトップキャプチャ(&C)", Bind(this, &TForm1::C1Click));
  R1 = pop.Add("R1", "範囲キャプチャ(&R)", Bind(this, &TForm1::R1Click));
  L1 = pop.Add("L1", "前回の範囲(&L)", Bind(this, &TForm1::L1Click));
  N3 = pop.Add("N3", "画面ロック(&G)", Bind(this, &TForm1::Button16Click));
  N4 = pop.Add("N4", "画像ビューワ(&V)", Bind(this, &TForm1::V1Click));
  PingSender1 =
      pop.Add("PingSender1", "Raru Derura(&P)", Bind(this, &TForm1::CommandSender1Click));
  KivoWebExplorer1 = pop.Add("KivoWebExplorer1", "Kivo-WebExplorer(&W)",
                             Bind(this, &TForm1::KivoExplorerVer101Click));
  Open2 = pop.Add("Open2", "デスクトップに表示(&D)", Bind(this, &TForm1::Open2Click));
  Exit1 = pop.Add("Exit1", "アプリケーションの終了(&A)", Bind(this, &TForm1::Exit1Click));
  Windows1 = pop.Add("Windows1", "Windowsの終了(&S)", [this](tk::Component*) {
    actions_.Run(session::FromTrayItem(session::EndAction::PowerOff));
  });
}

// ---------------------------------------------------------------- version
void TForm1::AdaptToWindowsVersion() {
  StatusBar1->SetSimplePanel(true);
  // The real version: GetVersionEx hides 8.1 and later from a copy whose
  // manifest does not name them.
  platform::OsVersion v = platform::RunningVersion(platform::Get());
  switch (v.platformId) {
    case platform::kPlatformWin32s:
      Label2->SetCaption("Windows 3.1");
      CheckBox2->SetEnabled(false);
      break;
    case platform::kPlatformWindows:
      PlatformFamily = 1;
      if (v.minor == 0) {
        Label2->SetCaption("MicroSoft Windows 95");
      } else if (v.minor == 10) {
        Label2->SetCaption(v.build == 0x040A07CE ? "Microsoft Windows 98"
                                                 : "Windows 98 Second Edition");
        CheckBox2->SetVisible(false);
      } else if (v.minor == 90) {
        Label2->SetCaption("Windows Millennium Edition");
      } else {
        Label2->SetCaption(tk::Format("Windows %d.%d", static_cast<int>(v.major),
                                      static_cast<int>(v.minor)));
      }
      Button3->SetEnabled(false);
      break;
    case platform::kPlatformNT:
      PlatformFamily = 2;
      Button12->SetCaption("ｺﾝﾋﾟｭｰﾀ管理");
      Button13->SetCaption("ﾊﾟﾌｫｰﾏﾝｽ");
      Button9->SetCaption("ｼｽﾃﾑ情報");
      Button15->SetCaption("ﾃﾞｨｽｸ管理");
      Button10->SetCaption("ｿﾙﾃｨｱ");
      Button19->SetCaption("ﾌﾘｰｾﾙ");
      for (tk::Control* c : {static_cast<tk::Control*>(Button7), static_cast<tk::Control*>(Button14),
                             static_cast<tk::Control*>(Button16), static_cast<tk::Control*>(Button17),
                             static_cast<tk::Control*>(Button11), static_cast<tk::Control*>(Button8),
                             static_cast<tk::Control*>(CheckBox4)})
        c->SetEnabled(false);
      CommandSender1->SetEnabled(false);
      N3->SetEnabled(false);
      PingSender1->SetEnabled(false);
      lockRoute_ = LockRoute::None;
      if (v.major == 5) {
        if (v.minor == 0) {
          Label2->SetCaption("Microsoft Windows 2000");
          Label6->SetCaption("Windows 2000管理ツール");
        } else {
          Label2->SetCaption("Microsoft Windows XP");
          Label6->SetCaption("Windows XP管理ツール");
        }
      } else {
        // NT 4, and from Vista on the same control panel items: their
        // names, with Windows' own name where the program knows it.
        const std::string name = ReleaseName(v);
        Label2->SetCaption(!name.empty() ? name
                                         : tk::Format("WindowsNT %d.%d", static_cast<int>(v.major),
                                                      static_cast<int>(v.minor)));
        CheckBox2->SetEnabled(false);
        Button21->SetVisible(false);
        Label6->SetCaption((name.empty() ? std::string("Windows NT") : name) + "ｺﾝﾄﾛｰﾙﾊﾟﾈﾙ");
        Button6->SetCaption("ｼｽﾃﾑのﾌﾟﾛﾊﾟﾃｨ");
        Button12->SetCaption("ﾈｯﾄﾜｰｸ");
        Button15->SetCaption("日付と時刻");
        if (v.major >= 6) {
          // The caption takes the width of its group ("Windows Vista" is
          // longer than "Windows NT").
          Label6->SetBounds({Label6->Left(), Label6->Top(), Bevel1->Width(), Label6->Height()});
          // Programs of the launchers may be missing from Vista on.
          launchers->OfferSearch();
          // From Vista on the lock is the system's own.
          lockRoute_ = LockRoute::System;
          Button16->SetEnabled(true);
          N3->SetEnabled(true);
        }
      }
      // From 2000 on the system tells whether the machine can sleep and
      // hibernate.
      if (v.major >= 5) AdaptToPowerCapabilities(v.major >= 6);
      break;
    default:
      break;
  }
  actions_.SetLockOffered(lockRoute_ != LockRoute::None);
}

// Standby where the machine can sleep or hibernate, the hibernation switch
// where it can hibernate. Where the system does not answer, 2000 and XP keep
// both; from Vista on both stay off, as on NT 4.
void TForm1::AdaptToPowerCapabilities(bool nt6) {
  const std::optional<platform::PowerCapabilities> caps = platform::Get().GetPwrCapabilities();
  if (!caps && !nt6) return;
  const bool sleep = caps && caps->CanSleep();
  hibernateOffered_ = caps && caps->CanHibernate();
  Button21->SetVisible(sleep || hibernateOffered_);
  CheckBox2->SetEnabled(hibernateOffered_);
}

// ---------------------------------------------------------------- lifecycle
void TForm1::FormCreate(tk::Component*) {
  // The logo lets messages through before the settings are restored: tray
  // commands and closes wait until creation is over (see WndProc).
  creating_ = true;
  struct Created {
    TForm1* self;
    ~Created() { self->RunDeferredMessages(); }
  } created{this};
  auto& p = platform::Get();
  auto& app = tk::Application::Instance();
  // Another copy's commands: judged once the settings are restored.
  app.OnCopyData = [this](std::uint32_t tag, const std::string& bytes) { return desk_.Receive(tag, bytes); };
  p.EnableSystemMenuItem(Handle(), platform::kScClose, platform::kMfDisabled);
  actions_.SkipPowerOffQuestion(false);
  tray_->Add();
  SetCaption("Kivo-Config For Windows");
  phases::Mark("tray");

  // The hotkeys and the exit ban's reason come once the window is up: after
  // its first paint (started in the tray, at that point), before the loop
  // takes its first message; also when a stored value of the wrong type
  // ends the restoring of the settings early.
  startPending_ = true;
  app.OnStarted = [this] {
    startPending_ = false;
    if (!sessionEnded_) StartAdditions();
  };
  try {
    RestoreSettings();
  } catch (...) {
    desk_.SetReady();
    throw;
  }
  desk_.SetReady();
  phases::Mark("settings");
}

void TForm1::RestoreSettings() {
  auto& p = platform::Get();
  auto& app = tk::Application::Instance();
  SettingsStore store;
  bool noLogo = store.ReadBool(key::F6, key::C2, false);
  app.SetCursor(tk::crHourGlass);
  if (!noLogo) ShowLogo();
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
  ApplyStoredDesktopSwitches(stored);
  if (unread) std::rethrow_exception(unread);
  settingsRestored_ = true;
  exitBan_ = store.ReadBool(key::F6, key::C4, false);
  SetColor(settings::StringToColor(
      store.ReadString(key::F6, key::MainWindowColor, std::to_string(GetColor()))));
  SetCaption(store.ReadString(key::F8, key::MainWindowCaption, settings::kDefaultMainCaption));
  if (exitBan_) DisableExitButtons();
  store.Close();
  ShowPhysicalMemory();
  p.DisableIme(Handle());
  if (!p.FileExists(kRsrc32)) Button17->SetEnabled(false);
}

// Outside the window, what the switches stored on do at every start, as
// when the user sets them: the taskbar hidden, the forced-termination keys
// suspended (given back at the end), the start-up entry written anew for
// this program's path. A switch stored off does nothing.
void TForm1::ApplyStoredDesktopSwitches(const MainWindowSettings& stored) {
  if (stored.taskbarHidden) tools::SetTaskbarHidden(true);
  if (stored.forcedTerminationDisabled) tools::SetForcedTerminationDisabled(true);
  if (stored.startWithWindows && !RegisterAtStartup(true)) CheckBox3->SetCheckMark(false);
}

// What the program adds to the start, done even when a stored value of the
// wrong type ended the restoring of the settings early: the launchers whose
// programs are missing, the exit ban's reason for the system and the global
// hotkeys.
void TForm1::StartAdditions() {
  launchers->CheckLaunchers();
  if (exitBan_) session::UpdateShutdownBlockReason(Handle(), true);
  tk::Application::Instance().OnHotKey = [this](int id) { HotKeyPressed(id); };
  ApplyHotKeys();
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
  tray_->Remove();
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

void TForm1::RunDeferredMessages() {
  creating_ = false;
  for (const tk::Message& m : deferred_) Post(m.msg, m.wParam, m.lParam);
  deferred_.clear();
}

bool TForm1::WndProc(tk::Message& msg) {
  // The tray's clicks wait while the window is being created.
  if (msg.msg == kTrayCallbackMessage && creating_) {
    deferred_.push_back(msg);
    return true;
  }
  if (tray_ && tray_->Take(msg)) return true;
  switch (msg.msg) {
    case tk::wmQueryEndSession:
      msg.result = session::AnswerQueryEndSession(hosts_);
      if (msg.result != 0) ++queryCloses_;
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
        desk_.RunQueued();
      }
      return true;
    default:
      return false;
  }
}

// ---------------------------------------------------------------- status display
void TForm1::Timer1Timer(tk::Component*) {
  Label1->SetCaption("現在時刻 " + platform::Get().FormatLocalDateTime());
  FollowSchedule();
  tray_->SetTip(PendingTip(schedule_));
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

void TForm1::ShowPhysicalMemory() {
  platform::MemoryStatus m = platform::Get().GlobalMemoryStatus();
  double mb = static_cast<double>(m.totalPhys) / 1024.0 / 1024.0 + 0.5;
  Label7->SetCaption("Total Physical Memory: " +
                     std::to_string(static_cast<unsigned long long>(std::floor(mb))) + "MB");
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
  actions_.SetHibernateSwitch(HibernateChecked());
  Button21->SetCaption(HibernateChecked() ? "休止状態" : "スタンバイ");
}

void TForm1::DisableExitButtons() {
  for (tk::Button* b : {Button1, Button2, Button3, Button4}) b->SetEnabled(false);
}

void MainWindowHosts::PostCloseMainWindow() { window_.Post(tk::wmClose); }
void MainWindowHosts::DisableExitButtons() { window_.DisableExitButtons(); }
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
    SetClientHeight(kClientHeightWithoutStatusBar);
    if (Peer()) Peer()->Invalidate();
  } else {
    SetClientHeight(kClientHeightWithStatusBar);
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
void TForm1::N2Click(tk::Component*) { Form6.ShowModal(this, hosts_); }

void TForm1::About1Click(tk::Component*) { AboutBox.ShowModal(this); }

void TForm1::FIX1Click(tk::Component*) { AboutBox1.ShowModal(this); }

void TForm1::N5Click(tk::Component*) { Form21.ShowModal(this); }

void TForm1::Button16Click(tk::Component*) {
  if (lockRoute_ == LockRoute::System) {
    LockWithTheSystem(false);
    return;
  }
  // One set-up or lock at a time: a second one would take over the password.
  if (lock::RedirectToUnlock()) return;
  if (!Form9.Open()) Hide();
  Form9.ShowModal(this);
  // A runner kept out of sight during the lock comes back.
  if (Form11) Form11->FollowLock();
}

// The system's own lock (LockWorkStation): Windows asks for the user's
// password, and no program gets past it. The program's lock windows are
// not used. When the system refuses, that is said and nothing else happens.
void TForm1::LockWithTheSystem(bool silent) {
  auto& p = platform::Get();
  if (p.LockWorkStation()) return;
  const std::uint32_t error = p.GetLastError();
  if (silent) return;
  tk::Application::Instance().MessageBox(
      "Windowsをロックできませんでした。\r\n" + p.ErrorText(error), session::kCaption,
      tk::mbOk | tk::mbIconExclamation);
}

void TForm1::Button17Click(tk::Component*) { Form10.Show(this, Button17); }

void TForm1::Button18Click(tk::Component*) { Form11.Show(this, actions_, Button18); }

void TForm1::Button20Click(tk::Component*) {
  Form4.Show(this, Button16, Button20);
  Button20->SetEnabled(false);
  // It switches the lock button off while open: the lock command waits too.
  actions_.SetStopwatchOpen(true);
  Form4->OnClose = [this](tk::Component*, tk::CloseAction&) { actions_.SetStopwatchOpen(false); };
}

// Consoles: one more each time (the tray's item opens another beside the
// menu's).
void TForm1::CommandSender1Click(tk::Component*) { Form15.ShowAnother(this, CommandSender1); }

void TForm1::ShowLogo() {
  auto& app = tk::Application::Instance();
  auto& p = platform::Get();
  Form5 = new TForm5(this);
  Form5->Show();
  const double start = p.Now();
  const double twoSeconds = 2.0 / 86400.0;
  // A clock set back meanwhile (by more than a second, so that the rounding
  // of equal readings never counts) ends the wait rather than stretching it
  // by as much as it went back.
  const double oneSecond = 1.0 / 86400.0;
  for (double now = p.Now(); now > start - oneSecond && start + twoSeconds > now; now = p.Now())
    app.ProcessMessages();
  delete Form5.get();
}

void TForm1::V1Click(tk::Component*) { Form13.Show(this, V1); }

void TForm1::A1Click(tk::Component*) { Form24.ShowModal(this, PlatformFamily); }

void TForm1::KivoExplorerVer101Click(tk::Component*) {
  browser::OpenBrowser(this, KivoExplorerVer101);
}
