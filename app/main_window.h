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

#include "app/command_line.h"
#include "app/main_window_settings.h"
#include "app/tray_icon.h"
#include "platform/platform.h"
#include "session/session.h"
#include "timers/schedule.h"
#include "tools/tools.h"
#include "toolkit/toolkit.h"
#include "viewer/capture_region.h"

class TForm1 : public tk::Form, public session::MainWindowAccess {
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
  tk::Timer* LauncherTimer;   // looks for one launcher's program a tick
  tk::MainMenu* MainMenu1;
  tk::PopupMenu* PopupMenu1;

  // Menu items.
  tk::MenuItem *N1, *N2, *N5, *V1, *CommandSender1, *KivoExplorerVer101, *HotKey1;
  tk::MenuItem *CDDRIVEC1, *Open1, *Close1, *Help1, *About1, *FIX1;
  tk::MenuItem *R1, *L1;  // the tray's region capture and last region
  tk::MenuItem *B1, *A1, *C1, *N3, *N4, *PingSender1, *KivoWebExplorer1, *Open2, *Exit1,
      *Windows1;

  // While true the power-off action asks no question (program runner).
  bool SkipExitConfirmation = false;
  // 1: Windows 95/98/Me, 2: NT family, 0: other; set by the constructor.
  unsigned PlatformFamily = 0;

  // Lifecycle.
  void FormCreate(tk::Component* sender);
  void FormShow(tk::Component* sender);
  void FormCloseQuery(tk::Component* sender, bool& canClose);
  void FormClose(tk::Component* sender, tk::CloseAction& action);
  void FormDestroy(tk::Component* sender);
  bool WndProc(tk::Message& msg) override;

  void SaveMainSettings() override;
  void ShowStatusMessage(const std::string& text) override;

  // Status display.
  void Timer1Timer(tk::Component* sender);
  void Timer2Timer(tk::Component* sender);
  void ShowPhysicalMemory();

  // Session.
  void Button1Click(tk::Component* sender);
  void Button2Click(tk::Component* sender);
  void Button3Click(tk::Component* sender);
  void Button4Click(tk::Component* sender);
  void Button21Click(tk::Component* sender);
  void CheckBox2Click(tk::Component* sender);
  void WMQueryEndSession(tk::Message& msg);

  // Launchers.
  void Button6Click(tk::Component* sender);
  void Button7Click(tk::Component* sender);
  void Button8Click(tk::Component* sender);
  void Button9Click(tk::Component* sender);
  void Button10Click(tk::Component* sender);
  void Button11Click(tk::Component* sender);
  void Button12Click(tk::Component* sender);
  void Button13Click(tk::Component* sender);
  void Button14Click(tk::Component* sender);
  void Button15Click(tk::Component* sender);
  void Button19Click(tk::Component* sender);

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

  // Window openers.
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
  void A1Click(tk::Component* sender);
  void C1Click(tk::Component* sender);
  void R1Click(tk::Component* sender);
  void L1Click(tk::Component* sender);

  // Captures, each after the stored delay (one waiting at a time); done
  // gets how it went, a capture replaced while it waited Cancelled.
  enum class CaptureKind { Desktop, ActiveWindow, Region, LastRegion };
  void StartCapture(CaptureKind kind, bool silent, std::function<void(viewer::RegionOutcome)> done = {});
  // The exit code of the program's run: kExitRefused after a region command
  // of this copy's command line that took no picture, else 0.
  static int CommandExitCode() { return commandExitCode_; }

  // session::MainWindowAccess
  bool ExitConfirmationSkipped() const override { return SkipExitConfirmation; }
  void SetExitConfirmationSkipped(bool skipped) override { SkipExitConfirmation = skipped; }
  void RunTimedAction(int action) override { session::RunTimedAction(*this, action); }
  void CloseMainWindow() override { Close(); }
  void PostCloseMainWindow() override;
  // Checked, where the machine can hibernate.
  bool HibernateChecked() const override { return CheckBox2->Checked() && hibernateOffered_; }
  void DisableExitButtons() override;
  bool ExitButtonsEnabled() const override { return Button4->Enabled(); }
  void ApplyColor(tk::Color color) override;
  tk::WindowHandle MainWindowHandle() const override { return Handle(); }
  bool InputLocked() const override;

  bool ExitBan() const { return exitBan_; }

  // What 画面ロック does: the program's own lock (95/98/Me), nothing (NT 4,
  // 2000 and XP, where it is switched off) or the system's lock (Vista and
  // later).
  enum class LockRoute { Own, None, System };
  LockRoute Lock() const { return lockRoute_; }
  void LockWithTheSystem(bool silent);

  // A command of the command line, this copy's own or one another copy
  // handed over: cmdline::kReplyTaken when it is queued to run (it runs once
  // the handler that took it has returned), else why it is refused.
  std::intptr_t TakeCommand(const cmdline::Command& command);
  // The bytes another copy sent to the application window (WM_COPYDATA).
  std::intptr_t ReceiveCommand(std::uint32_t tag, const std::string& bytes);

  // Global hotkeys: registered again after each change; a press of one.
  void ApplyHotKeys();
  // The start's steps after the tray icon: the logo and the stored settings;
  // then, once the window is up (tk::Application::OnStarted), what the
  // program adds to them.
  void RestoreSettings();
  // The start's step after the check marks are restored: what the desktop
  // switches stored on do outside the window.
  void ApplyStoredDesktopSwitches(const MainWindowSettings& stored);
  void StartAdditions();
  // The launcher buttons by their number in the launcher table.
  std::array<std::pair<int, tk::Button*>, 11> Launchers() const;
  void CheckLaunchers();
  void LauncherTimerTimer(tk::Component*);
  void PointedAt(tk::Control* control);
  void HotKeyPressed(int id);
  void HotKey1Click(tk::Component* sender);

 private:
  void BuildFrame();
  void BuildLayout();
  void BuildMenus();
  void AdaptToWindowsVersion();
  void AdaptToPowerCapabilities(bool nt6);
  void ShowLogo();
  void Launch(int button);
  void RunDeferredMessages();
  std::intptr_t Refusal(const cmdline::Command& command) const;
  // A queued command; a forwarded one whose sender asks again for its
  // outcome has its ticket (else 0).
  struct QueuedCommand {
    cmdline::Command command;
    std::uint32_t ticket = 0;
  };
  void RunCommand(const cmdline::Command& command, std::uint32_t ticket = 0);
  std::vector<QueuedCommand> commands_;
  static int commandExitCode_;
  // A command whose sender waits for its outcome: run here, the messages
  // pumped until it is over; the reply tells how it went (a sender of
  // before record version 3).
  std::intptr_t RunAndWait(const cmdline::Command& command);
  // The same for a sender that asks again: queued under a new ticket, which
  // the reply gives it; the outcome waits in outcomes_ (nullopt while the
  // command runs) until the sender asks for it (AnswerTicket).
  std::intptr_t TakeWithTicket(const cmdline::Command& command);
  static std::intptr_t ReplyOf(viewer::RegionOutcome outcome);
  std::intptr_t AnswerTicket(const std::string& bytes);
  void SetOutcome(std::uint32_t ticket, std::intptr_t reply);
  std::map<std::uint32_t, std::optional<std::intptr_t>> outcomes_;
  std::uint32_t lastTicket_ = 0;
  // The window's icon in the tray (a component of the window); its tip
  // follows what is pending (PendingTip), from the clock's second and a
  // capture's countdown.
  TrayIcon* tray_ = nullptr;
  // The repeated end at a time of day: read at the clock's first second and
  // again whenever the timer setting wrote it; its last minute is handed to
  // the runner, as a time of day from the command line is.
  void FollowSchedule();
  timers::ScheduleWatch schedule_;
  bool scheduleRead_ = false;
  std::uint32_t scheduleGeneration_ = 0;
  bool exitBan_ = false;
  // False where the system said the machine cannot hibernate: the switch
  // is off then, and a stored check does not turn standby into hibernation.
  bool hibernateOffered_ = true;
  LockRoute lockRoute_ = LockRoute::Own;
  // The status bar's own line (ShowStatusMessage), and whether a launcher's
  // reason shows in its place.
  std::string statusText_;
  bool reasonShown_ = false;
  // From Vista on the launchers' programs are looked for once the window is
  // up, one a tick of LauncherTimer (CheckLaunchers).
  bool checkLaunchers_ = false;
  std::unique_ptr<tools::LauncherSearch> launcherSearch_;
  bool sessionEnded_ = false;
  // Closes posted by allowed end-of-session queries, not yet handled.
  unsigned queryCloses_ = 0;
  // FormCreate is running: tray messages and closes are kept in deferred_.
  bool creating_ = false;
  std::vector<tk::Message> deferred_;
  // The stored state was read whole: only then may it be saved over.
  bool settingsRestored_ = false;
  // The window exists and the settings were read as far as they could be
  // read (a value of the wrong type ends the reading early): from now on
  // commands from outside are judged when they arrive.
  bool commandsReady_ = false;
  // The additions wait for the application's OnStarted.
  bool startPending_ = false;
  // The exit ban as stored; unreadable counts as not set, as at the start.
  bool StoredExitBan() const;
};

// The program-wide reference to the main window.
extern tk::FormSlot<TForm1> Form1;

constexpr unsigned kRunCommandsMessage = 0x8001;  // WM_APP + 1: queued command-line commands
