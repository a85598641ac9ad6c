#include "timers/stopwatch.h"

#include <algorithm>
#include <string>

#include "platform/platform.h"
#include "settings/keys.h"
#include "settings/settings_store.h"

tk::FormSlot<TForm4> Form4("Form4");

namespace {
namespace key = settings::key;
constexpr tk::Color clLime = 0x00FF00;

void ShowMain(bool show) {
  if (tk::Form* main = tk::Application::Instance().MainForm()) {
    if (show) main->Show();
    else main->Hide();
  }
}
}  // namespace

TForm4::TForm4(tk::Component* owner, tk::Button* lockButton, tk::Button* stopwatchButton, int& carriedProgress)
    : tk::Form(owner), carried_(carriedProgress), lockButton_(lockButton), stopwatchButton_(stopwatchButton) {
  count_.progress = carried_;
  Name = "Form4";
  Border = tk::BorderStyle::Single;
  Icons.maximize = false;
  AppWindow = true;
  SetCaption("Kivo-Config タイマー");
  SetClientSize(215, 274);
  Label3 = new tk::Label(this, "Label3", {16, 8, 60, 12}, "状況");
  ProgressBar1 = new tk::ProgressBar(this, "ProgressBar1", {16, 24, 183, 17});
  Label1 = new tk::Label(this, "Label1", {16, 52, 150, 34}, "0");
  Label1->AutoSize = false;
  Label1->Align = tk::Alignment::Right;
  Label1->SetColor(tk::clBlack);
  tk::Font f = Label1->GetFont();
  f.height = -27;
  f.color = clLime;
  Label1->SetFont(f);
  Label2 = new tk::Label(this, "Label2", {172, 70, 24, 12}, "秒");
  Button2 = new tk::Button(this, "Button2", {16, 100, 183, 25}, "開始");
  Button3 = new tk::Button(this, "Button3", {16, 132, 183, 25}, "停止");
  Button4 = new tk::Button(this, "Button4", {16, 164, 183, 25}, "リセット");
  CheckBox1 = new tk::CheckBox(this, "CheckBox1", {16, 200, 183, 17}, "メインフォームを隠す");
  Button1 = new tk::Button(this, "Button1", {16, 236, 183, 25}, "閉じる");
  Timer1 = new tk::Timer(this, "Timer1", 1000);
  Timer2 = new tk::Timer(this, "Timer2", 1000);
  Button1->OnClick = [this](tk::Component* s) { Button1Click(s); };
  Button2->OnClick = [this](tk::Component* s) { Button2Click(s); };
  Button3->OnClick = [this](tk::Component* s) { Button3Click(s); };
  Button4->OnClick = [this](tk::Component* s) { Button4Click(s); };
  CheckBox1->OnClick = [this](tk::Component* s) { CheckBox1Click(s); };
  Timer1->OnTimer = [this](tk::Component* s) { Timer1Timer(s); };
  Timer2->OnTimer = [this](tk::Component* s) { Timer2Timer(s); };
  OnCreate = [this](tk::Component* s) { FormCreate(s); };
  OnShow = [this](tk::Component* s) { FormShow(s); };
  OnCloseQuery = [this](tk::Component* s, bool& c) { FormCloseQuery(s, c); };
}

TForm4::~TForm4() = default;

void TForm4::FormCreate(tk::Component*) {
  settings::SettingsStore store;
  tk::Rect r = Bounds();
  settings::ReadPosition(store, key::F4, r.left, r.top, 200, r.width, r.height);
  SetBounds(r);
  Timer1->SetEnabled(false);
  Timer2->SetEnabled(false);
  // No screen lock while the stopwatch is open. Where the lock is not
  // offered at all (the NT family) it stays off afterwards too.
  lockWasEnabled_ = lockButton_->Enabled();
  lockButton_->SetEnabled(false);
}

void TForm4::FormShow(tk::Component*) {
  auto& app = tk::Application::Instance();
  platform::Get().ShowWindow(app.GetBackend().ApplicationHandle(), platform::kSwHide);
  Icons.minimize = Icons.maximize = false;
  ApplyStyle();
}

// Timer ticks come late, or not at all, while the thread is busy (a CD tray
// moving, a modal box): the seconds shown come from the system's tick count
// between the start and now, not from the number of ticks.
void TForm4::RestartClock() {
  count_.startTick = platform::Get().GetTickCount();
  count_.startSeconds = count_.seconds;
}

int TForm4::ClockSeconds(bool rounded) const {
  std::uint32_t elapsed = platform::Get().GetTickCount() - count_.startTick;
  // A tick is due every 1000 ms and may be read a little early or late: the
  // ticks round to the nearest second, a stop keeps the whole seconds gone.
  return count_.startSeconds + static_cast<int>((elapsed + (rounded ? 500u : 0u)) / 1000u);
}

void TForm4::ShowSeconds() { Label1->SetCaption(std::to_string(count_.seconds)); }

void TForm4::Button2Click(tk::Component*) {
  if (Timer2->Enabled()) return;  // already running
  RestartClock();
  Timer1->SetEnabled(true);
  Timer2->SetEnabled(true);
}

void TForm4::Button3Click(tk::Component*) {
  if (Timer2->Enabled()) {
    count_.seconds = std::max(count_.seconds, ClockSeconds(false));
    ShowSeconds();
  }
  Timer1->SetEnabled(false);
  Timer2->SetEnabled(false);
  SetProgress(0);
}

void TForm4::Button4Click(tk::Component*) {
  ProgressBar1->SetPosition(0);
  count_.seconds = 0;
  SetProgress(0);
  Label1->SetCaption("0");
  RestartClock();
  // A running stopwatch counts from the reset: its next second, and the bar's
  // next step, come one second after it.
  if (Timer2->Enabled()) {
    for (tk::Timer* t : {Timer1, Timer2}) {
      t->SetEnabled(false);
      t->SetEnabled(true);
    }
  }
}

void TForm4::Timer2Timer(tk::Component*) {
  count_.seconds = std::max(count_.seconds, ClockSeconds(true));
  ShowSeconds();
}

void TForm4::Timer1Timer(tk::Component*) {
  SetProgress(count_.progress + 10);
  ProgressBar1->SetPosition(count_.progress);
  if (ProgressBar1->Position() == ProgressBar1->Max()) {
    ProgressBar1->SetPosition(0);
    SetProgress(0);
  }
}

void TForm4::CheckBox1Click(tk::Component*) { ShowMain(!CheckBox1->Checked()); }

void TForm4::Button1Click(tk::Component*) {
  Timer1->SetEnabled(false);
  count_.seconds = 0;
  if (CheckBox1->Checked()) {
    CheckBox1->SetChecked(false);
    ShowMain(true);
  }
  Close();
}

void TForm4::FormCloseQuery(tk::Component*, bool& canClose) {
  Timer1->SetEnabled(false);
  Timer2->SetEnabled(false);
  count_.seconds = 0;
  if (CheckBox1->Checked()) CheckBox1->SetChecked(false);
  Release();
  ShowMain(true);
  stopwatchButton_->SetEnabled(true);
  {
    settings::SettingsStore store;
    settings::WritePosition(store, key::F4, Left(), Top());
  }
  lockButton_->SetEnabled(lockWasEnabled_);
  canClose = true;
}
