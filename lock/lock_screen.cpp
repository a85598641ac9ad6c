#include "lock/lock_screen.h"

#include "lock/lock_setup.h"

#include "platform/platform.h"
#include "settings/keys.h"
#include "settings/settings_store.h"

tk::FormSlot<TForm7> Form7("Form7");
tk::FormSlot<TForm25> Form25("Form25");
tk::FormSlot<TForm8> Form8("Form8");

namespace {
namespace key = settings::key;
constexpr std::uintptr_t kScClose = 0xF060;

// Alt+F4 and the like reach a window as SC_CLOSE: refused. A close that
// another program sends (WM_CLOSE) still gets through.
bool RefuseCloseCommand(const tk::Message& msg) {
  return msg.msg == tk::wmSysCommand && (msg.wParam & 0xFFF0) == kScClose;
}

void HideApplicationButton() {
  auto& app = tk::Application::Instance();
  platform::Get().ShowWindow(app.GetBackend().ApplicationHandle(), platform::kSwHide);
}
}  // namespace

namespace lock {

namespace {
LockWindow* g_active = nullptr;
std::function<void(bool)> g_listener;

void SetActive(LockWindow* lock) {
  g_active = lock;
  if (g_listener) g_listener(lock != nullptr);
}
}  // namespace

void LockWithTheSystem(bool silent, const std::string& caption) {
  auto& p = platform::Get();
  if (p.LockWorkStation()) return;
  const std::uint32_t error = p.GetLastError();
  if (silent) return;
  tk::Application::Instance().MessageBox("Windowsをロックできませんでした。\r\n" + p.ErrorText(error), caption,
                                         tk::mbOk | tk::mbIconExclamation);
}

void SetLockListener(std::function<void(bool up)> listener) { g_listener = std::move(listener); }

LockWindow* ActiveLock() { return g_active; }

bool RedirectToUnlock() {
  if (!g_active) return false;
  g_active->OpenPrompt();
  return true;
}

void AltKeyGuard(tk::Component*, unsigned& key) {
  if (key != tk::vkMenu) return;
  auto& p = platform::Get();
  p.KeybdEvent(static_cast<std::uint8_t>(tk::vkMenu), 0, platform::kKeyEventKeyUp);
  p.KeybdEvent(static_cast<std::uint8_t>(tk::vkF4), 0, platform::kKeyEventKeyUp);
}

LockWindow::LockWindow(tk::Component* owner, int kind, const std::string& caption)
    : tk::Form(owner), kind_(kind) {
  Border = tk::BorderStyle::None;
  SetCaption(caption);
  SetWindowState(tk::WindowState::Maximized);
  OnCreate = [this](tk::Component* s) { FormCreate(s); };
  OnClick = [this](tk::Component* s) { FormClick(s); };
  OnKeyPress = [this](tk::Component* s, unsigned& k) { FormKeyPress(s, k); };
  OnKeyDown = AltKeyGuard;
  OnCloseQuery = [this](tk::Component* s, bool& c) { FormCloseQuery(s, c); };
}

LockWindow::~LockWindow() {
  // Destroyed without a close (the program ends while locked): the system
  // keys come back all the same.
  if (systemKeysOff_) SetSystemKeysOff(false);
  if (g_active == this) SetActive(nullptr);
}

bool LockWindow::Matches(const std::string& entered) const {
  if (!password_) return false;
  return platform::Get().CompareString(platform::kLocaleUserDefault, 0, *password_, entered) ==
         platform::kCstrEqual;
}

void LockWindow::SetSystemKeysOff(bool off) {
  platform::Get().SystemParametersInfo(platform::kSpiSetScreenSaverRunning, off ? 1 : 0, 0);
  systemKeysOff_ = off;
}

void LockWindow::FormCreate(tk::Component*) {
  SetActive(this);
  SetSystemKeysOff(true);
  platform::Get().DisableIme(Handle());
  if (tk::Form* main = tk::Application::Instance().MainForm()) main->Tag = kind_;
}

void LockWindow::FormClick(tk::Component*) { OpenPrompt(); }

void LockWindow::FormKeyPress(tk::Component*, unsigned& key) {
  key = 0;  // not passed on to the prompt
  OpenPrompt();
}

void LockWindow::OpenPrompt() {
  if (!Visible() || Releasing()) return;
  if (Form8 && Form8->Owner() == this && !Form8->Releasing()) {
    Form8->BringToFront();
    return;
  }
  Form8.ShowModal(this);
}

void LockWindow::FormCloseQuery(tk::Component*, bool& canClose) {
  SetSystemKeysOff(false);
  if (g_active == this) SetActive(nullptr);
  canClose = true;
  Release();
}

bool LockWindow::WndProc(tk::Message& msg) { return RefuseCloseCommand(msg); }

}  // namespace lock

TForm7::TForm7(tk::Component* owner)
    : lock::LockWindow(owner, lock::kTransparent, "Kivo-Brevo 画面ロック Ver1.1") {
  Name = "Form7";
  OnShow = [this](tk::Component* s) { FormShow(s); };
}

TForm7::~TForm7() = default;

void TForm7::FormShow(tk::Component*) { HideApplicationButton(); }

bool TForm7::WndProc(tk::Message& msg) {
  if (msg.msg == tk::wmEraseBkgnd) {
    WMEraseBkgnd(msg);
    return true;
  }
  return LockWindow::WndProc(msg);
}

// Nothing is painted: what was on the screen stays visible.
void TForm7::WMEraseBkgnd(tk::Message& msg) { msg.result = 1; }

TForm25::TForm25(tk::Component* owner) : lock::LockWindow(owner, lock::kSolid, "Form25") {
  Name = "Form25";
  SetColor(tk::clBackground);
}

TForm25::~TForm25() = default;

TForm8::~TForm8() {
  Edit2->WipeText();
}

TForm8::TForm8(tk::Component* owner) : tk::Form(owner) {
  Name = "Form8";
  Border = tk::BorderStyle::Single;
  Icons.systemMenu = false;
  Icons.minimize = Icons.maximize = false;
  Position = tk::FormPosition::ScreenCenter;
  SetClientSize(329, 115);
  Edit2 = new tk::Edit(this, "Edit2", {104, 56, 121, 20});
  Edit2->MaxLength = lock::kPasswordLength;
  Edit2->Password = true;
  Button1 = new tk::Button(this, "Button1", {127, 82, 75, 25}, "OK");
  Button1->Default = true;
  Button1->OnClick = [this](tk::Component* s) { Button1Click(s); };
  Label1 = new tk::Label(this, "Label1", {15, 8, 300, 12}, "");
  Label2 = new tk::Label(this, "Label2", {15, 32, 300, 12},
                         "Windowsに戻るにはパスワードを入力して下さい");
  Label4 = new tk::Label(this, "Label4", {63, 56, 41, 12}, "");
  // The user's texts are shown as they are: "&" is no shortcut mark here.
  Label1->ShowAccelChar = false;
  Label4->ShowAccelChar = false;
  for (tk::Control* c : std::initializer_list<tk::Control*>{this, Edit2, Button1})
    c->OnKeyDown = lock::AltKeyGuard;
  OnCreate = [this](tk::Component* s) { FormCreate(s); };
  OnShow = [this](tk::Component* s) { FormShow(s); };
  OnCloseQuery = [this](tk::Component* s, bool& c) { FormCloseQuery(s, c); };
}

void TForm8::FormCreate(tk::Component*) {
  platform::Get().DisableIme(Handle());
  platform::Get().DisableIme(Edit2->Handle());
  Edit2->WipeText();
}

void TForm8::FormShow(tk::Component*) {
  std::string user;
  {
    settings::SettingsStore store;
    SetCaption(store.ReadString(key::F8, key::LockTitle, settings::kDefaultLockTitle));
    user = store.ReadString(key::F8, key::User, settings::kDefaultUser);
    Label4->SetCaption(store.ReadString(key::F8, key::Coment, ""));
  }
  Label1->SetCaption("このパソコンは " + user + " によってロックされています。");
  messageTitle_ = Caption();
  HideApplicationButton();
}

void TForm8::Button1Click(tk::Component*) {
  // The password is the one of the lock this prompt belongs to; a prompt
  // without a lock opens nothing.
  auto* lockWindow = dynamic_cast<lock::LockWindow*>(Owner());
  bool right;
  {
    // The text typed lives only for the comparison, wiped however it ends.
    std::string entered = Edit2->Text();
    struct Wipe {
      std::string& text;
      ~Wipe() { tk::SecureWipe(text); }
    } wipe{entered};
    Edit2->WipeText();
    right = lockWindow && lockWindow->Matches(entered);
  }
  if (!right) {
    tk::Application::Instance().MessageBox("パスワードが違います！！", messageTitle_,
                                           tk::mbOk | tk::mbIconStop);
    return;
  }
  Close();
  tk::Form* main = tk::Application::Instance().MainForm();
  lockWindow->Close();
  bool trayOnly;
  {
    settings::SettingsStore store;
    trayOnly = store.ReadBool(key::F6, key::C5, false);
  }
  if (!trayOnly && main) {
    main->Show();
    main->BringToFront();
  }
}

void TForm8::FormCloseQuery(tk::Component*, bool& canClose) {
  canClose = true;
  Release();
}

bool TForm8::WndProc(tk::Message& msg) {
  return lock::KeepInPlace(*this, msg) || RefuseCloseCommand(msg);
}
