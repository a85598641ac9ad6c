// TForm1, the main window: the hub of the application. It carries the exit
// and standby buttons, the launcher group, the desktop toggles, the status
// display, the tray icon and its popup menu, and opens every other window.
#pragma once

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/command_desk.h"
#include "app/capture_starter.h"
#include "app/command_line.h"
#include "app/capture_starter.h"
#include "app/hotkey_router.h"
#include "app/launcher_panel.h"
#include "app/main_window_settings.h"
#include "app/schedule_follower.h"
#include "app/status_line.h"
#include "app/tray_icon.h"
#include "platform/platform.h"
#include "session/actions.h"
#include "session/session.h"
#include "timers/schedule.h"
#include "tools/tools.h"
#include "toolkit/toolkit.h"
#include "viewer/capture_region.h"

class TForm1;

// What the actions of the end, the command desk, the detailed settings and
// the answer to the system's query have the main window do.
class MainWindowHosts : public session::EndHost, public CommandWindow, public session::MainWindowAccess {
 public:
  explicit MainWindowHosts(TForm1& window) : window_(window) {}
  // session::EndHost
  void SaveMainSettings() override;
  void ShowStatusMessage(const std::string& text) override;
  void CloseMainWindow() override;
  void StartPendingEnd(const session::EndRequest& request) override;
  void StopPendingEnd() override;
  bool ConditionsOffered(const session::EndConditions& conditions) const override;
  // CommandWindow
  void PostQueuedCommands() override;
  void RunOnWindow(const cmdline::Command& command, std::function<void(viewer::RegionOutcome)> done) override;
  void RunAndPump(const std::function<void()>& start, const std::function<bool()>& done) override;
  // session::MainWindowAccess
  void PostCloseMainWindow() override;
  void DisableExitButtons() override;
  bool ExitButtonsEnabled() const override;
  void ApplyColor(tk::Color color) override;
  tk::WindowHandle MainWindowHandle() const override;

 private:
  TForm1& window_;
};

class TForm1 : public tk::Form {
 public:
  explicit TForm1(tk::Component* owner);
  ~TForm1() override;

  // Controls, in layout order.
  tk::Bevel* Bevel1;
  tk::Label* Label6;
  tk::Bevel* Bevel3;
  tk::Label* Label1;
  tk::Label* Label3;
  tk::Label* Label7;
  tk::Label* Label4;
  tk::Label* Label2;
  tk::Button* Button21;
  tk::Button* Button1;
  tk::Button* Button2;
  tk::Button* Button3;
  tk::Button* Button4;
  tk::Button* Button12;
  tk::Button* Button13;
  tk::Button* Button14;
  tk::Button* Button9;
  tk::Button* Button10;
  tk::Button* Button11;
  tk::Button* Button6;
  tk::Button* Button19;
  tk::Button* Button8;
  tk::Button* Button15;
  tk::Button* Button7;
  tk::Button* Button17;
  tk::Button* Button16;
  tk::Button* Button20;
  tk::Button* Button18;
  tk::Button* Button5;
  tk::CheckBox* CheckBox3;
  tk::CheckBox* CheckBox2;
  tk::CheckBox* CheckBox1;
  tk::CheckBox* CheckBox5;
  tk::CheckBox* CheckBox4;
  tk::StatusBar* StatusBar1;
  tk::Timer* Timer1;
  tk::Timer* Timer2;
  tk::MainMenu* MainMenu1;
  tk::PopupMenu* PopupMenu1;

  // Menu items.
  tk::MenuItem *N1, *N2, *N5, *V1, *CommandSender1, *KivoExplorerVer101, *HotKey1;
  tk::MenuItem *CDDRIVEC1, *Open1, *Close1, *Help1, *About1, *FIX1;
  tk::MenuItem *R1, *L1;  // the tray's region capture and last region
  tk::MenuItem *B1, *A1, *C1, *N3, *N4, *PingSender1, *KivoWebExplorer1, *Open2, *Exit1,
      *Windows1;

  // 1: Windows 95/98/Me, 2: NT family, 0: other; set by the constructor.
  unsigned PlatformFamily = 0;

  // Lifecycle.
  void FormCreate(tk::Component* sender);
  void FormShow(tk::Component* sender);
  void FormCloseQuery(tk::Component* sender, bool& canClose);
  void FormClose(tk::Component* sender, tk::CloseAction& action);
  void FormDestroy(tk::Component* sender);
  bool WndProc(tk::Message& msg) override;
  void WMQueryEndSession(tk::Message& msg);

  // The stored state: read at the start (the logo first, then the section
  // applied: the check marks, and what the switches stored on do, on
  // purpose), written at the end and before each end of the session.
  void RestoreSettings();
  void SaveMainSettings();

  // Status display: the clock and the schedule's second; the time since
  // the system started.
  void Timer1Timer(tk::Component* sender);
  void Timer2Timer(tk::Component* sender);

  // Session: each exit and standby button asks the actions for its end.
  void Button1Click(tk::Component* sender);
  void Button2Click(tk::Component* sender);
  void Button3Click(tk::Component* sender);
  void Button4Click(tk::Component* sender);
  void Button21Click(tk::Component* sender);
  void CheckBox2Click(tk::Component* sender);

  // Desktop toggles and one-shot commands.
  void CheckBox1Click(tk::Component* sender);
  void CheckBox3Click(tk::Component* sender);
  void CheckBox4Click(tk::Component* sender);
  void CheckBox5Click(tk::Component* sender);
  void Open1Click(tk::Component* sender);
  void Close1Click(tk::Component* sender);
  void B1Click(tk::Component* sender);

  // Visibility.
  void Open2Click(tk::Component* sender);
  void Exit1Click(tk::Component* sender);
  void Button5Click(tk::Component* sender);

  // Window openers (an open one is brought to the front).
  void N2Click(tk::Component* sender);
  void N5Click(tk::Component* sender);
  void V1Click(tk::Component* sender);
  void CommandSender1Click(tk::Component* sender);
  void KivoExplorerVer101Click(tk::Component* sender);
  void Button16Click(tk::Component* sender);
  void Button17Click(tk::Component* sender);
  void Button18Click(tk::Component* sender);
  void Button20Click(tk::Component* sender);
  void About1Click(tk::Component* sender);
  void FIX1Click(tk::Component* sender);
  void HotKey1Click(tk::Component* sender);
  void A1Click(tk::Component* sender);
  void C1Click(tk::Component* sender);
  void R1Click(tk::Component* sender);
  void L1Click(tk::Component* sender);

  // The launcher buttons (Button6 … Button15, Button19), their programs
  // started and looked for: a component of the window, made with the
  // buttons.
  LauncherPanel* launchers = nullptr;
  // Captures, each after the stored delay (one waiting at a time).
  CaptureStarter captures{*this, [this] { return PlatformFamily; }};

  // What 画面ロック does here: the program's own lock (95/98/Me), nothing
  // (NT 4, 2000 and XP, where it is switched off) or the system's lock
  // (Vista and later). Set by the adaptation to the system.
  enum class LockRoute { Own, None, System };
  LockRoute lockRoute = LockRoute::Own;
  // False where the system said the machine cannot hibernate: the switch
  // is off then, and a stored check does not turn standby into hibernation.
  bool hibernateOffered = true;

  // The stopwatch's bar as its last window left it (TForm4).
  int stopwatchProgress = 0;

  // The window's parts, each an object of its own.
  MainWindowHosts hosts{*this};
  // The ends of the session and the policy that judges them.
  session::Actions actions{hosts};
  // The command line's commands, this copy's and other copies'.
  CommandDesk commands{hosts, actions};
  StatusLine status;
  HotKeyRouter hotkeys{*this};
  ScheduleFollower schedule{actions};
  // The window's icon in the tray (a component of the window); its tip
  // follows what is pending, from the clock's second and a capture's
  // countdown.
  TrayIcon* tray = nullptr;


 private:
  // Building the window and fitting it to the running system
  // (main_window_layout.cpp).
  friend void BuildMainWindow(TForm1& window);
  friend void AdaptMainWindowToSystem(TForm1& window);
  // The exit ban as stored at the start; the buttons are off while it holds.
  bool exitBan_ = false;
  bool sessionEnded_ = false;
  // Closes posted by allowed end-of-session queries, not yet handled.
  unsigned queryCloses_ = 0;
  // FormCreate is running: tray messages and closes are kept in deferred_.
  bool creating_ = false;
  std::vector<tk::Message> deferred_;
  // The stored state was read whole: only then may it be saved over.
  bool settingsRestored_ = false;
  // The additions wait for the application's OnStarted.
  bool startPending_ = false;
};

// The client area with and without the status bar; the frame around it is
// whatever caption and menu bar the system draws.
constexpr int kMainClientWidth = 523;
constexpr int kMainClientHeightWithStatusBar = 314;
constexpr int kMainClientHeightWithoutStatusBar = 284;

// The machine's memory as the label beside the clock shows it.
std::string PhysicalMemoryText();

// The program-wide reference to the main window.
extern tk::FormSlot<TForm1> Form1;

constexpr unsigned kRunCommandsMessage = 0x8001;  // WM_APP + 1: queued command-line commands
