#include "netconsole/console.h"

#include "netconsole/options.h"
#include "platform/platform.h"
#include "settings/keys.h"
#include "settings/settings_store.h"

tk::FormSlot<TForm15> Form15("Form15");

namespace netconsole {

std::array<int, 12> DigitTable{};

namespace {
// Every console types into the same prompt windows, so one sequence at a
// time in the whole program: a click during another console's pause would
// land in the middle of its sequence.
bool typing = false;
// Consoles that switched the main menu's item off and are still open; the
// item comes back with the last of them.
int menuHolders = 0;
}  // namespace

bool Typing() { return typing; }

std::vector<std::uintptr_t> PromptWindows() {
  auto& p = platform::Get();
  std::vector<std::uintptr_t> found;
  for (platform::Handle h = p.GetWindow(p.GetDesktopWindow(), platform::kGwChild); h;
       h = p.GetWindow(h, platform::kGwHwndNext))
    if (p.GetWindowText(h) == kPromptTitle) found.push_back(h);
  return found;
}

bool SendToPromptWindows(const KeySequence& keys, const std::function<bool()>& stop) {
  // The windows are found first: bringing one to the front changes the order
  // that the search walks.
  for (platform::Handle h : PromptWindows()) {
    platform::Get().SetForegroundWindow(h);
    if (!Play(keys, stop)) return false;
  }
  return true;
}

void StartPrompt(std::uintptr_t owner) {
  auto& p = platform::Get();
  constexpr int kSwShowNormal = 1;
  if (p.GetVersionEx().platformId == platform::kPlatformWindows &&
      p.ShellExecute(owner, std::nullopt, "command.com", std::nullopt, std::nullopt,
                     kSwShowNormal) > 32)
    return;
  p.ShellExecute(owner, std::nullopt, "cmd.exe", std::string("/k title ") + kPromptTitle,
                 std::nullopt, kSwShowNormal);
}

}  // namespace netconsole

namespace {
namespace key = settings::key;
using netconsole::KeySequence;

void ShowMain(bool show) {
  if (tk::Form* main = tk::Application::Instance().MainForm()) {
    if (show) {
      main->Show();
      main->BringToFront();
    } else {
      main->Hide();
    }
  }
}
}  // namespace

TForm15::TForm15(tk::Component* owner, tk::MenuItem* menuItem)
    : tk::Form(owner), menuItem_(menuItem) {
  Name = "Form15";
  Border = tk::BorderStyle::Single;
  Icons.maximize = false;
  SetClientSize(370, 174);
  auto button = [this](const char* name, tk::Rect r, const char* caption,
                       void (TForm15::*handler)(tk::Component*)) {
    auto* b = new tk::Button(this, name, r, caption);
    b->OnClick = [this, handler](tk::Component* s) { (this->*handler)(s); };
    return b;
  };
  Button2 = button("Button2", {8, 8, 113, 22}, "Ping", &TForm15::Button2Click);
  Button10 = button("Button10", {8, 32, 113, 22}, "Ipconfig", &TForm15::Button10Click);
  Button3 = button("Button3", {8, 56, 113, 22}, "User Host IP", &TForm15::Button3Click);
  Button4 = button("Button4", {8, 80, 113, 22}, "Cable Modem IP", &TForm15::Button4Click);
  Button1 = button("Button1", {8, 104, 113, 22}, "実行", &TForm15::Button1Click);
  Button9 = button("Button9", {8, 128, 55, 22}, "オプション", &TForm15::Button9Click);
  Button16 = button("Button16", {66, 128, 55, 22}, "更新", &TForm15::Button16Click);
  CheckBox1 = new tk::CheckBox(this, "CheckBox1", {8, 154, 150, 16}, "ﾒｲﾝﾌｫｰﾑを閉じる");
  CheckBox1->OnClick = [this](tk::Component* s) { CheckBox1Click(s); };
  Bevel1 = new tk::Bevel(this, "Bevel1", {128, 8, 110, 122});
  Label1 = new tk::Label(this, "Label1", {136, 14, 90, 12}, "DOS窓背景");
  Button12 = button("Button12", {136, 32, 94, 22}, "青", &TForm15::Button12Click);
  Button13 = button("Button13", {136, 56, 94, 22}, "緑", &TForm15::Button13Click);
  Button14 = button("Button14", {136, 80, 94, 22}, "赤", &TForm15::Button14Click);
  Button15 = button("Button15", {136, 104, 94, 22}, "紫", &TForm15::Button15Click);
  Bevel2 = new tk::Bevel(this, "Bevel2", {246, 8, 116, 158});
  Button8 = button("Button8", {254, 16, 100, 22}, "DOS ", &TForm15::Button8Click);
  Button7 = button("Button7", {254, 44, 100, 22}, "文字消去", &TForm15::Button7Click);
  Button11 = button("Button11", {254, 72, 100, 22}, "ルート", &TForm15::Button11Click);
  Button5 = button("Button5", {254, 100, 100, 22}, "ﾊﾞｰｼﾞｮﾝ情報", &TForm15::Button5Click);
  Button6 = button("Button6", {254, 136, 100, 22}, "終了", &TForm15::Button6Click);
  OnCreate = [this](tk::Component* s) { FormCreate(s); };
  OnShow = [this](tk::Component* s) { FormShow(s); };
  OnCloseQuery = [this](tk::Component* s, bool& c) { FormCloseQuery(s, c); };
}

TForm15::~TForm15() {
  // Deleted without a close (the program ending): the menu item may be gone
  // already, so it is only counted.
  if (holdsMenu_) --netconsole::menuHolders;
}

void TForm15::LoadDigitsAndFlags() {
  settings::SettingsStore store;
  for (int i = 0; i < 12; ++i) {
    std::string ident = "CBI" + std::to_string(i + 1);
    // Text that is no whole number raises "'…' は整数ではありません" and
    // leaves the rest unloaded.
    netconsole::DigitTable[i] = settings::StrToInt(store.ReadString(key::F17, ident, "0"));
  }
}

void TForm15::ShowCaption() {
  settings::SettingsStore store;
  SetCaption(netconsole::kCaptionPrefix + store.ReadString(key::F17, key::ED1, "Personal"));
}

void TForm15::FormCreate(tk::Component*) {
  auto& p = platform::Get();
  std::array<std::uint8_t, 256> keys{};
  if (!p.GetKeyboardState(keys)) throw tk::Error(p.ErrorText(p.GetLastError()));
  // Caps Lock on (and not held): switched off, so that letters come out small.
  if (keys[netconsole::kVkCapital] == 1) {
    p.KeybdEvent(netconsole::kVkCapital, 0, 0);
    p.KeybdEvent(netconsole::kVkCapital, 0, platform::kKeyEventKeyUp);
  }
  {
    settings::SettingsStore store;
    tk::Rect r = Bounds();
    settings::ReadPosition(store, key::F15, r.left, r.top, 200, r.width, r.height);
    SetBounds(r);
  }
  LoadDigitsAndFlags();
  {
    settings::SettingsStore store;
    bool hideMain = store.ReadBool(key::F15, key::C1, false);
    switches_.all = store.ReadBool(key::F17, key::CK1, false);
    switches_.more = store.ReadBool(key::F17, key::CK2, false);
    Button3->SetCaption(store.ReadString(key::F17, key::ED2, "Ping IP2"));
    Button4->SetCaption(store.ReadString(key::F17, key::ED3, "Ping IP3"));
    store.Close();
    CheckBox1->SetChecked(hideMain);
  }
  AppWindow = true;  // a taskbar button of its own
  ApplyStyle();
  menuItem_->SetEnabled(false);
  holdsMenu_ = true;
  ++netconsole::menuHolders;
  netconsole::StartPrompt(Handle());
  for (platform::Handle h : netconsole::PromptWindows()) p.SetForegroundWindow(h);
}

void TForm15::FormShow(tk::Component*) { ShowCaption(); }

void TForm15::Button16Click(tk::Component*) {
  LoadDigitsAndFlags();
  {
    settings::SettingsStore store;
    switches_.all = store.ReadBool(key::F17, key::CK1, false);
    switches_.more = store.ReadBool(key::F17, key::CK2, false);
    Button3->SetCaption(store.ReadString(key::F17, key::ED2, "Ping IP1"));
    Button4->SetCaption(store.ReadString(key::F17, key::ED3, "Ping IP2"));
  }
  ShowCaption();
}

void TForm15::Send(const KeySequence& keys) {
  if (netconsole::typing) return;  // one sequence at a time, in any console
  tk::Form::Hold hold(*this);
  struct Guard {
    Guard() { netconsole::typing = true; }
    ~Guard() { netconsole::typing = false; }
  } guard;
  netconsole::SendToPromptWindows(keys, [this] { return closed_; });
}

void TForm15::Button1Click(tk::Component*) { Send(KeySequence().Key(netconsole::kVkReturn)); }
void TForm15::Button2Click(tk::Component*) { Send(KeySequence().Type("ping ")); }

void TForm15::Button3Click(tk::Component*) {
  const auto& d = netconsole::DigitTable;
  Send(KeySequence().Octet(d[0], d[1], d[2]).Type(".").Octet(d[3], d[4], d[5]).Type("."));
}

void TForm15::Button4Click(tk::Component*) {
  const auto& d = netconsole::DigitTable;
  Send(KeySequence().Octet(d[6], d[7], d[8]).Type(".").Octet(d[9], d[10], d[11]));
}

void TForm15::Button6Click(tk::Component*) { Send(KeySequence().Type("exit\r")); }
void TForm15::Button7Click(tk::Component*) { Send(KeySequence().Key(netconsole::kVkBack)); }

void TForm15::Button10Click(tk::Component*) {
  KeySequence k;
  k.Type("ipconfig");
  if (switches_.all) k.Type(" /all");
  k.Pause();
  if (switches_.more) k.Type("|more");
  Send(k);
}

void TForm15::Button11Click(tk::Component*) {
  Send(KeySequence().Type("c:\\").Pause().Type("\rcd ").Pause().Type("c:\\\r").Pause().Type("cls\r"));
}

void TForm15::Colour(const char* code) {
  Send(KeySequence()
           .Type("prompt ")
           .Pause()
           .Type(std::string("$e[") + code + "m$p$g")
           .Pause()
           .Type("\rcls")
           .Pause()
           .Type("\r"));
}

void TForm15::Button12Click(tk::Component*) { Colour("44"); }
void TForm15::Button13Click(tk::Component*) { Colour("42"); }
void TForm15::Button14Click(tk::Component*) { Colour("41"); }
void TForm15::Button15Click(tk::Component*) { Colour("45"); }

void TForm15::Button8Click(tk::Component*) { netconsole::StartPrompt(Handle()); }

void TForm15::Button9Click(tk::Component*) {
  Form17.ShowModal(this);
}

void TForm15::Button5Click(tk::Component*) {
  AboutBox2.ShowModal(this);
}

void TForm15::CheckBox1Click(tk::Component*) { ShowMain(!CheckBox1->Checked()); }

void TForm15::FormCloseQuery(tk::Component*, bool& canClose) {
  {
    settings::SettingsStore store;
    settings::WritePosition(store, key::F15, Left(), Top());
    store.WriteBool(key::F15, key::C1, CheckBox1->Checked());
  }
  if (CheckBox1->Checked()) {
    CheckBox1->SetChecked(false);
    ShowMain(true);
  }
  if (holdsMenu_) {
    holdsMenu_ = false;
    --netconsole::menuHolders;
  }
  if (netconsole::menuHolders == 0) menuItem_->SetEnabled(true);
  closed_ = true;  // a sequence being typed stops at its next pause
  Release();
  canClose = true;
}
