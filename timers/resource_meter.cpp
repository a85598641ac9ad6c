#include "timers/resource_meter.h"

#include <string>

#include "platform/platform.h"
#include "settings/keys.h"
#include "settings/settings_store.h"

tk::FormSlot<TForm10> Form10("Form10");

namespace {
namespace key = settings::key;

void ShowMain(bool show) {
  if (tk::Form* main = tk::Application::Instance().MainForm()) {
    if (show) main->Show();
    else main->Hide();
  }
}
}  // namespace

TForm10::TForm10(tk::Component* owner, tk::Button* meterButton)
    : tk::Form(owner), meterButton_(meterButton) {
  Name = "Form10";
  Border = tk::BorderStyle::Single;
  Icons.maximize = false;
  AppWindow = true;
  SetCaption("Kivo-SHUTDOWN リソースメータ Ver1.0");
  SetClientSize(402, 167);
  Label1 = new tk::Label(this, "Label1", {16, 12, 370, 12}, "NOW LOADING・・・");
  ProgressBar1 = new tk::ProgressBar(this, "ProgressBar1", {16, 28, 370, 17});
  Label2 = new tk::Label(this, "Label2", {16, 56, 370, 12}, "NOW LOADMING・・・");
  ProgressBar2 = new tk::ProgressBar(this, "ProgressBar2", {16, 72, 370, 17});
  Label3 = new tk::Label(this, "Label3", {16, 100, 370, 12}, "NOW LOADMING・・・");
  ProgressBar3 = new tk::ProgressBar(this, "ProgressBar3", {16, 116, 370, 17});
  CheckBox1 = new tk::CheckBox(this, "CheckBox1", {16, 142, 200, 17}, "ﾒｲﾝﾌｫｰﾑを閉じる");
  CheckBox1->OnClick = [this](tk::Component* s) { CheckBox1Click(s); };
  Timer1 = new tk::Timer(this, "Timer1", 1000);
  Timer1->OnTimer = [this](tk::Component* s) { Timer1Timer(s); };
  OnCreate = [this](tk::Component* s) { FormCreate(s); };
  OnCloseQuery = [this](tk::Component* s, bool& c) { FormCloseQuery(s, c); };
}

TForm10::~TForm10() = default;

void TForm10::FormCreate(tk::Component*) {
  settings::SettingsStore store;
  tk::Rect r = Bounds();
  settings::ReadPosition(store, key::F10, r.left, r.top, 200, r.width, r.height);
  SetBounds(r);
  meterButton_->SetEnabled(false);
}

// The library is loaded, asked and freed on every tick: nothing is held from
// one tick to the next. Without it (or its function) the window stays as it is.
void TForm10::Timer1Timer(tk::Component*) {
  auto& p = platform::Get();
  platform::Handle library = p.LoadLibrary(timers::kResourceLibrary);
  if (!library) return;
  if (std::uintptr_t f = p.GetProcAddress(library, timers::kResourceFunction)) {
    struct Kind {
      tk::Label* label;
      tk::ProgressBar* bar;
      const char* text;
    } kinds[] = {{Label1, ProgressBar1, "SYSTEMリソースの残り"},
                 {Label2, ProgressBar2, "GDIリソースの残り"},
                 {Label3, ProgressBar3, "USERリソースの残り"}};
    int free[3];
    for (int i = 0; i < 3; ++i) {
      free[i] = p.CallStdcallInt(f, i);
      kinds[i].label->SetCaption(kinds[i].text + std::to_string(free[i]) + "%");
    }
    for (int i = 0; i < 3; ++i) kinds[i].bar->SetPosition(free[i]);
  }
  p.FreeLibrary(library);
}

void TForm10::CheckBox1Click(tk::Component*) { ShowMain(!CheckBox1->Checked()); }

void TForm10::FormCloseQuery(tk::Component*, bool& canClose) {
  if (CheckBox1->Checked()) CheckBox1->SetChecked(false);
  Release();
  {
    settings::SettingsStore store;
    settings::WritePosition(store, key::F10, Left(), Top());
  }
  meterButton_->SetEnabled(true);
  canClose = true;
}
