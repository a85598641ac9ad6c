#include "timers/runner.h"

#include <cstdio>

#include "platform/platform.h"
#include "settings/keys.h"
#include "settings/settings_store.h"

double RemainingSeconds = 0;
TForm11* Form11 = nullptr;
TForm12* Form12 = nullptr;

namespace {
namespace key = settings::key;
constexpr tk::Color clLime = 0x00FF00;
constexpr const char* kNoProgram = "実行ファイル名を入力して下さい。";

const char* const kCountItems[] = {"CB1", "CB2", "CB3"};
const char* const kCountTexts[] = {"CBI1", "CBI2", "CBI3"};

// A stored count edited by hand into something that is no number counts 0.
int CountOf(settings::SettingsStore& store, const char* ident) {
  std::int32_t v = 0;
  if (!settings::ParseInteger(store.ReadString(key::F12, ident, "0"), v)) v = 0;
  return v;
}

void PlaceFromStore(tk::Form& form, const char* section) {
  settings::SettingsStore store;
  tk::Rect r = form.Bounds();
  r.left = store.ReadInteger(section, key::X, 200);
  r.top = store.ReadInteger(section, key::Y, 200);
  form.SetBounds(r);
}
}  // namespace

TForm11::TForm11(tk::Component* owner, session::MainWindowAccess& main, tk::Button* openButton)
    : tk::Form(owner), main_(main), openButton_(openButton) {
  Name = "Form11";
  Border = tk::BorderStyle::Single;
  Icons.minimize = Icons.maximize = false;
  AppWindow = true;
  SetCaption("Kivo-Config Open Application Ver1.0");
  SetClientSize(472, 143);
  Image1 = new tk::Image(this, "Image1", {8, 8, 32, 32});
  Image1->Stretch = true;
  Image1->Load("MAINICON", true);
  Label1 = new tk::Label(this, "Label1", {48, 8, 416, 12},
                         "実行したいアプリケーションを入力して実行して下さい。");
  Label2 = new tk::Label(this, "Label2", {48, 34, 28, 12}, "名前");
  Edit1 = new tk::Edit(this, "Edit1", {80, 30, 300, 20});
  Button3 = new tk::Button(this, "Button3", {388, 28, 75, 25}, "参照");
  CheckBox1 = new tk::CheckBox(this, "CheckBox1", {48, 58, 330, 17},
                               "アプリケーションが終了した時Windowsを終了させる");
  CheckBox2 = new tk::CheckBox(this, "CheckBox2", {48, 78, 250, 17}, "マルチタスクモードで使用する");
  CheckBox2->SetEnabled(false);
  Button4 = new tk::Button(this, "Button4", {48, 108, 75, 25}, "Timer Set");
  Button1 = new tk::Button(this, "Button1", {128, 108, 75, 25}, "OK");
  Button2 = new tk::Button(this, "Button2", {208, 108, 75, 25}, "CANCEL");
  Label3 = new tk::Label(this, "Label3", {300, 104, 132, 30}, "0");
  Label3->AutoSize = false;
  Label3->Align = tk::Alignment::Right;
  Label3->SetColor(tk::clBlack);
  tk::Font f = Label3->GetFont();
  f.height = -24;
  f.color = clLime;
  Label3->SetFont(f);
  Label4 = new tk::Label(this, "Label4", {438, 118, 24, 12}, "秒");
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
  CheckBox1->OnClick = [this](tk::Component* s) { CheckBox1Click(s); };
  OnCreate = [this](tk::Component* s) { FormCreate(s); };
  OnCloseQuery = [this](tk::Component* s, bool& c) { FormCloseQuery(s, c); };
}

TForm11::~TForm11() {
  if (Form11 == this) Form11 = nullptr;
}

void TForm11::FormCreate(tk::Component*) {
  PlaceFromStore(*this, key::F11);
  openButton_->SetEnabled(false);
}

void TForm11::CheckBox1Click(tk::Component*) { CheckBox2->SetEnabled(CheckBox1->Checked()); }

void TForm11::Button3Click(tk::Component*) {
  if (OpenDialog1->Execute()) Edit1->SetText(OpenDialog1->FileName);
}

void TForm11::Button4Click(tk::Component*) {
  Form12 = new TForm12(this);
  Form12->DoCreate();
  Form12->ShowModal();
}

void TForm11::ShowRemaining() {
  char text[32];
  std::snprintf(text, sizeof text, "%.0f", RemainingSeconds);
  Label3->SetCaption(text);
}

bool TForm11::WaitForProgram(platform::Handle process) {
  auto& app = tk::Application::Instance();
  auto& p = platform::Get();
  // Nothing may delete the runner under this handler, whatever the messages
  // handled below do (a close, CANCEL, the end of the session).
  tk::Form::Hold hold(*this);
  waiting_ = true;
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
  main_.SetExitConfirmationSkipped(true);
  platform::ProcessInfo info;
  const bool launched = p.CreateProcess(Edit1->Text(), info);
  if (launched) p.CloseHandle(info.thread);
  if (!launched) {
    if (CheckBox2->Checked()) {
      app.ShowMessage("タイマー終了しだい現在のアプリケーションを終了します");
      Label1->SetCaption("自動でWindowsを終了します、途中で止める場合はcancelして下さい。");
    } else {
      app.ShowMessage(kNoProgram);
    }
  }

  if (!CheckBox1->Checked()) {  // wait mode
    bool ended = !launched || WaitForProgram(info.process);
    if (launched) p.CloseHandle(info.process);
    if (!ended) return;  // closed during the wait, or the program is ending
    Hide();
    app.ShowMessage("Open Applicationを終了しました");
    Close();
    return;
  }

  // Countdown mode: the launched program is not watched.
  if (launched) p.CloseHandle(info.process);
  {
    settings::SettingsStore store;
    const double weights[] = {3600, 60, 1};  // hours, minutes, seconds
    RemainingSeconds = 0;
    for (int i = 0; i < 3; ++i) RemainingSeconds += weights[i] * CountOf(store, kCountTexts[i]);
  }
  ShowRemaining();
  if (!CheckBox2->Checked()) {
    app.ShowMessage(kNoProgram);
    Timer1->SetEnabled(false);
    Close();
    return;
  }
  if (tk::Form* main = app.MainForm()) main->Hide();
  // From the full time again when OK comes during a countdown.
  Timer1->SetEnabled(false);
  Timer1->SetEnabled(true);
}

void TForm11::Timer1Timer(tk::Component*) {
  RemainingSeconds -= 1;
  ShowRemaining();
  // Only the step onto zero powers off: a refused request is not repeated.
  if (RemainingSeconds == 0) main_.PowerOff();
}

void TForm11::Button2Click(tk::Component*) { Close(); }

void TForm11::FormCloseQuery(tk::Component*, bool& canClose) {
  {
    settings::SettingsStore store;
    store.WriteInteger(key::F11, key::X, Left());
    store.WriteInteger(key::F11, key::Y, Top());
  }
  closed_ = true;  // ends a wait in progress
  Timer1->SetEnabled(false);
  Release();
  openButton_->SetEnabled(true);
  main_.SetExitConfirmationSkipped(false);
  canClose = true;
}

TForm12::TForm12(tk::Component* owner) : tk::Form(owner) {
  Name = "Form12";
  Border = tk::BorderStyle::Single;
  Icons.minimize = Icons.maximize = false;
  SetCaption("タイマー設定");
  SetClientSize(381, 118);
  Label1 = new tk::Label(this, "Label1", {16, 12, 350, 12},
                         "アプリケーションを終了させるまでの時間を設定して下さい。");
  std::vector<std::string> hours, steps;
  for (int h = 0; h < 24; ++h) hours.push_back(std::to_string(h));
  for (int m : {0, 5, 10, 15, 20, 25, 30, 35, 40, 45, 50, 55, 59}) steps.push_back(std::to_string(m));
  ComboBox1 = new tk::ComboBox(this, "ComboBox1", {16, 40, 57, 20});
  ComboBox1->SetItems(hours);
  ComboBox1->DropDownCount = 5;
  Label2 = new tk::Label(this, "Label2", {78, 44, 30, 12}, "時間");
  ComboBox2 = new tk::ComboBox(this, "ComboBox2", {128, 40, 57, 20});
  ComboBox2->SetItems(steps);
  ComboBox2->DropDownCount = 5;
  Label3 = new tk::Label(this, "Label3", {190, 44, 20, 12}, "分");
  ComboBox3 = new tk::ComboBox(this, "ComboBox3", {232, 40, 57, 20});
  ComboBox3->SetItems(steps);
  Label4 = new tk::Label(this, "Label4", {294, 44, 20, 12}, "秒");
  Button1 = new tk::Button(this, "Button1", {296, 82, 75, 25}, "OK");
  Button1->OnClick = [this](tk::Component* s) { Button1Click(s); };
  OnCreate = [this](tk::Component* s) { FormCreate(s); };
  OnCloseQuery = [this](tk::Component* s, bool& c) { FormCloseQuery(s, c); };
}

TForm12::~TForm12() {
  if (Form12 == this) Form12 = nullptr;
}

void TForm12::FormCreate(tk::Component*) {
  PlaceFromStore(*this, key::F12);
  settings::SettingsStore store;
  tk::ComboBox* boxes[] = {ComboBox1, ComboBox2, ComboBox3};
  for (int i = 0; i < 3; ++i) {
    int index = store.ReadInteger(key::F12, kCountItems[i], 0);
    // An index that was edited out of range selects the first item.
    if (index < 0 || index >= static_cast<int>(boxes[i]->Items().size())) index = 0;
    boxes[i]->SetItemIndex(index);
  }
}

void TForm12::Button1Click(tk::Component*) { Close(); }

void TForm12::FormCloseQuery(tk::Component*, bool& canClose) {
  settings::SettingsStore store;
  store.WriteInteger(key::F12, key::X, Left());
  store.WriteInteger(key::F12, key::Y, Top());
  tk::ComboBox* boxes[] = {ComboBox1, ComboBox2, ComboBox3};
  for (int i = 0; i < 3; ++i) store.WriteInteger(key::F12, kCountItems[i], boxes[i]->ItemIndex());
  for (int i = 0; i < 3; ++i) store.WriteString(key::F12, kCountTexts[i], boxes[i]->Text());
  Release();
  canClose = true;
}
