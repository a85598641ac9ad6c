#include "timers/runner.h"

#include <cmath>
#include <algorithm>
#include <cstdio>
#include <utility>

#include "timers/end_warning.h"
#include "timers/timer_setting.h"

#include "platform/platform.h"
#include "settings/keys.h"
#include "settings/settings_store.h"

tk::FormSlot<TForm11> Form11("Form11");

namespace {
namespace key = settings::key;
constexpr tk::Color clLime = 0x00FF00;
constexpr const char* kNoProgram = "実行ファイル名を入力して下さい。";
constexpr const char* kPrompt = "実行したいアプリケーションを入力して実行して下さい。";
constexpr const char* kPromise = "タイマー終了しだい現在のアプリケーションを終了します";
constexpr const char* kCancelHint = "自動でWindowsを終了します、途中で止める場合はcancelして下さい。";
constexpr const char* kStopped = "Windowsの自動終了を中止しました。";
constexpr const char* kTooLong = "タイマーは9999時間まで設定できます。";
constexpr const char* kNoTimeOfDay = "時刻は0:00から23:59までで設定して下さい。";
constexpr const char* kNoCondition = "終了の条件を一つ以上選んで下さい (タイマー設定)。";
constexpr const char* kUnreadable = "終了の条件の次の値を読み込めないため、既定値を使いました。";
constexpr int kClientHeight = 143;
constexpr int kConditionLine = 16;

// A stored choice; text that is no number, or out of range, reads as 0.
int StoredChoice(const char* ident, int count) {
  settings::SettingsStore store;
  std::int32_t v = 0;
  if (!settings::ParseInteger(store.ReadString(key::F12, ident, "0"), v) || v < 0 || v >= count)
    v = 0;
  return v;
}
}  // namespace

namespace timers {
int StoredEndMode() { return StoredChoice(key::Mode, kEndModes); }
session::EndAction StoredEndAction() {
  return session::EndActionOfStored(StoredChoice(key::Act, session::kTimerSettingActions));
}

void PlaceFromStore(tk::Form& form, const char* section) {
  settings::SettingsStore store;
  tk::Rect r = form.Bounds();
  settings::ReadPosition(store, section, r.left, r.top, 200, r.width, r.height);
  form.SetBounds(r);
}

std::string CommandLineOf(const std::string& path) {
  if (path.find_first_of(" \t") == std::string::npos || path.front() == '"') return path;
  return '"' + path + '"';
}
}  // namespace timers

TForm11::TForm11(tk::Component* owner, session::Actions& actions, tk::Button* openButton)
    : tk::Form(owner), actions_(actions), openButton_(openButton), countdown_(platform::Get().GetTickCount()) {
  Name = "Form11";
  Border = tk::BorderStyle::Single;
  Icons.minimize = Icons.maximize = false;
  AppWindow = true;
  SetCaption("Kivo-Config Open Application Ver1.0");
  SetClientSize(472, 143);
  Image1 = new tk::Image(this, "Image1", {8, 8, 32, 32});
  Image1->Stretch = true;
  Image1->Load("MAINICON", true);
  Label1 = new tk::Label(this, "Label1", {48, 8, 416, 12}, kPrompt);
  Label2 = new tk::Label(this, "Label2", {48, 34, 28, 12}, "名前");
  Edit1 = new tk::Edit(this, "Edit1", {80, 30, 300, 20});
  Button3 = new tk::Button(this, "Button3", {388, 28, 75, 25}, "参照");
  CheckBox1 = new tk::CheckBox(this, "CheckBox1", {48, 58, 330, 17},
                               "アプリケーションが終了した時Windowsを終了させる");
  CheckBox2 = new tk::CheckBox(this, "CheckBox2", {48, 78, 250, 17}, "マルチタスクモードで使用する");
  CheckBox2->SetEnabled(false);
  Button4 = new tk::Button(this, "Button4", {8, 110, 68, 25}, "Timer Set");
  Button1 = new tk::Button(this, "Button1", {80, 110, 68, 25}, "OK");
  Button2 = new tk::Button(this, "Button2", {152, 110, 68, 25}, "CANCEL");
  Button5 = new tk::Button(this, "Button5", {224, 110, 68, 25}, "一時停止");
  Button5->SetEnabled(false);
  Label5 = new tk::Label(this, "Label5", {296, 116, 60, 12}, "");
  Label3 = new tk::Label(this, "Label3", {360, 104, 84, 30}, "0");
  Label3->AutoSize = false;
  Label3->Align = tk::Alignment::Right;
  Label3->SetColor(tk::clBlack);
  tk::Font f = Label3->GetFont();
  f.height = -24;
  f.color = clLime;
  Label3->SetFont(f);
  Label4 = new tk::Label(this, "Label4", {448, 118, 20, 12}, "秒");
  Label6 = new tk::Label(this, "Label6", {48, kClientHeight, 416, 3 * kConditionLine}, "");
  Label6->AutoSize = false;
  Label6->ShowAccelChar = false;
  Label6->SetVisible(false);
  OpenDialog1 = new tk::OpenDialog(this, "OpenDialog1");
  OpenDialog1->Filter = "実行ファイル(*.exe *.com)|*.exe;*.com|アプリケーション(*.exe)|*.exe";
  OpenDialog1->InitialDir = "c:\\";
  Timer1 = new tk::Timer(this, "Timer1", 1000);
  Timer1->SetEnabled(false);
  Timer1->OnTimer = [this](tk::Component* s) { Timer1Timer(s); };
  Button1->OnClick = [this](tk::Component* s) { Button1Click(s); };
  Button2->OnClick = [this](tk::Component* s) { Button2Click(s); };
  Button3->OnClick = [this](tk::Component* s) { Button3Click(s); };
  Button4->OnClick = [this](tk::Component* s) { Button4Click(s); };
  Button5->OnClick = [this](tk::Component* s) { Button5Click(s); };
  CheckBox1->OnClick = [this](tk::Component* s) { CheckBox1Click(s); };
  OnCreate = [this](tk::Component* s) { FormCreate(s); };
  OnCloseQuery = [this](tk::Component* s, bool& c) { FormCloseQuery(s, c); };
}

TForm11::~TForm11() {
  // Gone with the main window, without a close: the machine may sleep again.
  if (keptAwake_) platform::Get().SetThreadExecutionState(platform::kEsContinuous);
}

void TForm11::FormCreate(tk::Component*) {
  timers::PlaceFromStore(*this, key::F11);
  openButton_->SetEnabled(false);
}

void TForm11::CheckBox1Click(tk::Component*) { CheckBox2->SetEnabled(CheckBox1->Checked()); }

void TForm11::Button3Click(tk::Component*) {
  if (OpenDialog1->Execute()) Edit1->SetText(timers::CommandLineOf(OpenDialog1->FileName));
}

void TForm11::Button4Click(tk::Component*) {
  Form12.ShowModal(this);
}

timers::Clocks TForm11::ReadClocks() {
  auto& p = platform::Get();
  return {p.GetTickCount(), p.Now()};
}

void TForm11::ShowRemaining() {
  // Watching the program there is nothing to count yet; above an hour the
  // time shows also as hours, minutes and seconds.
  const std::string seconds = countdown_.SecondsText(), clock = countdown_.ClockText();
  if (Label3->Caption() != seconds) Label3->SetCaption(seconds);
  if (Label5->Caption() != clock) Label5->SetCaption(clock);
}

// While the screen lock is up the runner is out of sight: nobody at the
// locked machine may start a program or stop the count from it, and the
// count goes on; it comes back when the lock ends.
void TForm11::FollowLock() {
  const bool locked = actions_.LockUp();
  if (locked && Visible()) {
    hiddenForLock_ = true;
    Hide();
  } else if (!locked && hiddenForLock_) {
    hiddenForLock_ = false;
    Show();
  }
}

void TForm11::UpdateWarning() {
  // The last warning (with its 中止) does not come up over the lock either.
  const timers::CountdownModel::Outcome warning = countdown_.Warning();
  if (warning.step != timers::CountdownModel::Step::Warn || actions_.LockUp()) {
    CloseWarning();
    return;
  }
  if (!Form26) {
    Form26 = new TForm26(this, {[this] { StopCountdown(); }, [this] { AddTenMinutes(); },
                                [this] { ActNow(); }});
    Form26->Show();
  }
  Form26->ShowRemaining(warning.seconds, session::EndActionName(warning.action));
}

void TForm11::CloseWarning() {
  if (Form26 && Form26->Owner() == this && !Form26->Releasing()) Form26->Close();
}

void TForm11::Act() {
  actions_.SetCounting(countdown_.Counting(), countdown_.Acted());
  CloseWarning();
  FollowPending();
  actions_.Run(session::FromRunner(countdown_.Action()));
}

void TForm11::StopCountdown() {
  // However it was stopped (中止, CANCEL, the tray, a hotkey, /cancel, a
  // firing of the schedule skipped), the window says so and counts no more.
  const bool stopped = countdown_.Cancel();
  Halt();
  if (!stopped) return;
  Label1->SetCaption(kStopped);
  ShowRemaining();
}

void TForm11::Halt() {
  // A count started from outside (the command line, a hotkey) set the main
  // window's questions aside only for itself: stopped, they are asked again.
  // One the user started with OK keeps them aside until the runner closes.
  if (fromOutside_) {
    fromOutside_ = false;
    actions_.SkipPowerOffQuestion(false);
  }
  countdown_.Stop();
  actions_.SetCounting(countdown_.Counting(), countdown_.Acted());
  Timer1->SetEnabled(false);
  watched_.Reset();
  ShowConditions();
  Button5->SetEnabled(false);
  Button5->SetCaption("一時停止");
  CloseWarning();
  FollowPending();
}

void TForm11::AddTenMinutes() {
  countdown_.AddTenMinutes(ReadClocks());
  ShowRemaining();
  UpdateWarning();
}

void TForm11::ActNow() {
  if (countdown_.ActNow()) Act();
}

void TForm11::Button5Click(tk::Component*) {
  if (!countdown_.TogglePause(ReadClocks())) return;
  if (countdown_.Paused()) {
    ShowRemaining();
    Button5->SetCaption("再開");
    CloseWarning();
    FollowPending();
    return;
  }
  Button5->SetCaption("一時停止");
  UpdateWarning();
  FollowPending();
}

bool TForm11::WaitForProgram(platform::Handle process) {
  auto& app = tk::Application::Instance();
  auto& p = platform::Get();
  // Nothing may delete the runner under this handler, whatever the messages
  // handled below do (a close, CANCEL, the end of the session).
  tk::Form::Hold hold(*this);
  waiting_ = true;
  actions_.SetRunnerWaiting(true);
  Button1->SetEnabled(false);  // a second OK waits for this one
  Button4->SetEnabled(false);
  bool ended = false;
  while (!closed_ && !app.Terminated()) {
    // The process and the message queue together: no polling.
    std::uint32_t r = p.MsgWaitForObject(process, platform::kInfinite);
    if (r == platform::kWaitMessage) {
      app.ProcessMessages();
      continue;
    }
    ended = true;  // the program ended (or cannot be waited for)
    break;
  }
  waiting_ = false;
  actions_.SetRunnerWaiting(false);
  if (!closed_) {
    Button1->SetEnabled(true);
    Button4->SetEnabled(true);
  }
  return ended;
}

void TForm11::Button1Click(tk::Component*) {
  if (waiting_) return;
  auto& app = tk::Application::Instance();
  auto& p = platform::Get();
  fromOutside_ = false;  // the user's own OK from now on
  actions_.SkipPowerOffQuestion(true);
  platform::ProcessInfo info;
  const bool launched = p.CreateProcess(Edit1->Text(), info);
  const platform::OwnedHandle thread(launched ? info.thread : 0);
  platform::OwnedHandle process(launched ? info.process : 0);
  const bool countdown = CheckBox1->Checked();

  if (!countdown) {  // wait mode
    if (!launched && CheckBox2->Checked()) {
      app.ShowMessage(kPromise);
      Label1->SetCaption(kCancelHint);
    } else if (!launched) {
      app.ShowMessage(kNoProgram);
    }
    bool ended = !launched || WaitForProgram(process.get());
    process.Reset();
    if (!ended) return;  // closed during the wait, or the program is ending
    Hide();
    app.ShowMessage("Open Applicationを終了しました");
    Close();
    return;
  }

  // Windows ends when the program ends: without the multitask mode (the
  // timer setting's ends) the started program is watched, and once it has
  // ended the last warning's grace runs to the chosen end. Nothing started:
  // the runner stays for another name, a count already running goes on.
  if (!CheckBox2->Checked()) {
    if (!launched) {
      app.ShowMessage(kNoProgram);
      if (!countdown_.Counting()) actions_.SkipPowerOffQuestion(false);  // nothing here will end the session
      return;
    }
    Halt();
    std::swap(watched_, process);
    countdown_.StartWatching(timers::StoredEndAction(), true, nullptr, ReadClocks());
    ShowRemaining();
    if (tk::Form* main = app.MainForm()) main->Hide();
    StartCounting();
    return;
  }

  // Countdown mode. The time comes first: a count that is no number, or too
  // long, ends this handler before anything is promised or changed, and a
  // countdown already running goes on.
  std::int32_t counts[3];
  {
    settings::SettingsStore store;
    for (int i = 0; i < 3; ++i)
      counts[i] = settings::StrToInt(store.ReadString(key::F12, key::CountTexts[i], "0"));
  }
  const int mode = timers::StoredEndMode();
  const bool byTimeOfDay = mode == timers::kAtTimeOfDay;
  const timers::Clocks now = ReadClocks();
  double deadlineDay = 0;
  double start;
  if (byTimeOfDay) {
    // The next such time of day, today or tomorrow; the seconds list is not used.
    if (counts[0] < 0 || counts[0] > 23 || counts[1] < 0 || counts[1] > 59) {
      app.ShowMessage(kNoTimeOfDay);
      return;
    }
    deadlineDay = timers::NextTimeOfDay(now.day, 3600.0 * counts[0] + 60.0 * counts[1]);
    start = static_cast<double>(std::llround((deadlineDay - now.day) * 86400.0));
  } else if (mode == timers::kWhenProgramEnds || mode == timers::kWhenConditionsHold) {
    // The lists are not used: the grace period counts once the program has
    // ended and the conditions hold.
    start = 0;
  } else {
    start = 3600.0 * counts[0] + 60.0 * counts[1] + counts[2];
  }
  if (start > 3600.0 * timers::kMaxHours) {
    app.ShowMessage(kTooLong);
    return;
  }
  // The conditions: with the program's end, or alone. Values that cannot be
  // read are named once, and their defaults used.
  timers::Conditions conditions;
  const bool withConditions = mode == timers::kWhenConditionsHold || mode == timers::kWhenProgramEnds;
  if (withConditions) {
    std::vector<std::string> problems;
    conditions = timers::ReadConditions(&problems);
    if (!problems.empty()) {
      std::string text = kUnreadable;
      for (const std::string& line : problems) text += "\r\n" + line;
      app.MessageBox(text, session::kCaption, tk::mbOk | tk::mbIconExclamation);
    }
    if (mode == timers::kWhenConditionsHold && !timers::AnyOffered(conditions, p.GetVersionEx())) {
      app.ShowMessage(kNoCondition);
      return;
    }
  }

  // Ending when the program ends needs the program: without it there is
  // nothing to promise, and the runner stays for another name.
  const bool nothingToWatch = !launched && mode == timers::kWhenProgramEnds;
  Halt();
  if (!launched) {
    if (!nothingToWatch) {
      app.ShowMessage(kPromise);
      Label1->SetCaption(kCancelHint);
    } else {
      app.ShowMessage(kNoProgram);
    }
  }
  if (nothingToWatch) {
    Label1->SetCaption(kPrompt);
    actions_.SkipPowerOffQuestion(false);  // nothing here will end the session
    return;
  }

  // Only "when the program ends" watches the launched program.
  const session::EndAction action = timers::StoredEndAction();
  if (byTimeOfDay) {
    countdown_.StartAt(action, deadlineDay, now);
  } else if (withConditions) {
    const bool program = mode == timers::kWhenProgramEnds;
    if (program) std::swap(watched_, process);
    countdown_.StartWatching(action, program, WatchOf(conditions), now);
    ShowConditions();
  } else {
    countdown_.StartAfter(action, static_cast<std::int64_t>(start), now);
  }
  ShowRemaining();
  if (tk::Form* main = app.MainForm()) main->Hide();
  StartCounting();
}

void TForm11::StartTimedEnd(session::EndAction action, std::uint32_t minutes) {
  Halt();
  actions_.SkipPowerOffQuestion(true);
  fromOutside_ = true;
  countdown_.StartAfter(action, 60LL * minutes, ReadClocks());
  StartCounting();
}

void TForm11::StartTimedEndAt(session::EndAction action, int hour, int minute) {
  StartTimedEndAtDay(action, timers::NextTimeOfDay(platform::Get().Now(), 3600.0 * hour + 60.0 * minute));
}

void TForm11::StartTimedEndAtDay(session::EndAction action, double deadlineDay) {
  Halt();
  actions_.SkipPowerOffQuestion(true);
  fromOutside_ = true;
  countdown_.StartAt(action, deadlineDay, ReadClocks());
  StartCounting();
}

bool TForm11::StartConditionalEnd(session::EndAction action, const timers::Conditions& conditions) {
  if (!timers::AnyOffered(conditions, platform::Get().GetVersionEx())) return false;
  Halt();
  actions_.SkipPowerOffQuestion(true);
  fromOutside_ = true;
  countdown_.StartWatching(action, false, WatchOf(conditions), ReadClocks());
  ShowConditions();
  StartCounting();
  return true;
}

std::unique_ptr<timers::ConditionWatch> TForm11::WatchOf(const timers::Conditions& conditions) {
  auto watch = std::make_unique<timers::ConditionWatch>(conditions);
  if (!watch->Offered()) watch.reset();
  return watch;
}

void TForm11::ShowConditions() {
  std::vector<std::string> lines;
  if (const timers::ConditionWatch* watch = countdown_.Watch()) lines = watch->Lines();
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "" : "\r\n") + line;
  if (Label6->Caption() != text) Label6->SetCaption(text);
  const int height = kClientHeight + (lines.empty() ? 0 : static_cast<int>(lines.size()) * kConditionLine + 6);
  if (ClientHeight() != height) {
    Label6->SetBounds({48, kClientHeight, 416, std::max<int>(1, static_cast<int>(lines.size())) * kConditionLine});
    SetClientHeight(height);
  }
  if (Label6->Visible() != !lines.empty()) Label6->SetVisible(!lines.empty());
}

bool TForm11::EndPending() const { return countdown_.EndPending(); }

void TForm11::FollowPending() {
  const bool pending = EndPending();
  if (pending == keptAwake_) return;
  keptAwake_ = pending;
  // The system stays up; the display may still turn off.
  platform::Get().SetThreadExecutionState(pending ? platform::kEsContinuous | platform::kEsSystemRequired
                                                  : platform::kEsContinuous);
}

std::string TForm11::PendingText() const { return countdown_.PendingText(); }

void TForm11::StartCounting() {
  Label1->SetCaption(kCancelHint);
  actions_.SetCounting(countdown_.Counting(), countdown_.Acted());
  Button5->SetEnabled(countdown_.CanPause());
  // From the full time again when OK comes during a countdown.
  Timer1->SetEnabled(false);
  Timer1->SetEnabled(true);
  FollowLock();
  ShowRemaining();
  UpdateWarning();
  FollowPending();
}

void TForm11::Timer1Timer(tk::Component*) {
  const timers::Clocks now = ReadClocks();
  FollowLock();
  // The started program is looked at while the count runs; the conditions,
  // read in the count's second, have to hold together with its end.
  if (watched_ && countdown_.WaitingForProgram() && countdown_.Counting() && !countdown_.Paused() &&
      platform::Get().MsgWaitForObject(watched_.get(), 0) == platform::kWaitObject0) {
    watched_.Reset();
    countdown_.ProgramEnded();
  }
  const bool watching = countdown_.Watch() != nullptr;
  const bool canPause = countdown_.CanPause();
  const timers::CountdownModel::Outcome outcome = countdown_.Tick(now);
  if (!countdown_.Counting() || countdown_.Paused()) return;
  if (watching) ShowConditions();
  ShowRemaining();
  // The grace has begun: it can be paused.
  if (countdown_.CanPause() != canPause) Button5->SetEnabled(countdown_.CanPause());
  if (outcome.step == timers::CountdownModel::Step::Act) Act();
  UpdateWarning();
  FollowPending();
}
void TForm11::Button2Click(tk::Component*) { Close(); }

void TForm11::FormCloseQuery(tk::Component*, bool& canClose) {
  {
    settings::SettingsStore store;
    settings::WritePosition(store, key::F11, Left(), Top());
  }
  closed_ = true;  // ends a wait in progress
  Halt();
  Release();
  openButton_->SetEnabled(true);
  actions_.SkipPowerOffQuestion(false);
  canClose = true;
}
