#include "lock/lock_setup.h"

#include "lock/lock_screen.h"
#include "platform/platform.h"
#include "settings/keys.h"
#include "settings/settings_store.h"

tk::FormSlot<TForm9> Form9("Form9");

namespace {
namespace key = settings::key;
}  // namespace

namespace lock {
bool KeepInPlace(tk::Form& form, tk::Message& msg) {
  if (msg.msg != tk::wmNcHitTest) return false;
  msg.result = form.DefaultHandler(msg);
  if (msg.result == kHtCaption) msg.result = kHtBorder;
  return true;
}
}  // namespace lock

TForm9::TForm9(tk::Component* owner) : tk::Form(owner) {
  Name = "Form9";
  Border = tk::BorderStyle::Single;
  Icons.systemMenu = false;
  Icons.minimize = Icons.maximize = false;
  Position = tk::FormPosition::ScreenCenter;
  SetClientSize(423, 157);
  // Created in tab order.
  Edit1 = new tk::Edit(this, "Edit1", {96, 44, 121, 20});
  Edit2 = new tk::Edit(this, "Edit2", {96, 72, 121, 20});
  for (tk::Edit* e : {Edit1, Edit2}) {
    e->MaxLength = lock::kPasswordLength;
    e->Password = true;
    platform::Get().DisableIme(e->Handle());
  }
  Button1 = new tk::Button(this, "Button1", {248, 124, 75, 25}, "OK");
  Button1->Default = true;
  Button1->OnClick = [this](tk::Component* s) { Button1Click(s); };
  Button2 = new tk::Button(this, "Button2", {336, 124, 75, 25}, "CANSEL");
  Button2->Cancel = true;
  Button2->OnClick = [this](tk::Component* s) { Button2Click(s); };
  CheckBox1 = new tk::CheckBox(this, "CheckBox1", {24, 102, 300, 17}, "ロック時に背景を透明化する");
  Label1 = new tk::Label(this, "Label1", {12, 12, 400, 12},
                         "この機能はWindowsをロックします。よろしければパスワードを入力して下さい。");
  Label2 = new tk::Label(this, "Label2", {24, 48, 60, 12}, "ﾊﾟｽﾜｰﾄﾞ");
  Label3 = new tk::Label(this, "Label3", {24, 76, 60, 12}, "Vefify");
  OnCreate = [this](tk::Component* s) { FormCreate(s); };
  OnShow = [this](tk::Component* s) { FormShow(s); };
  OnCloseQuery = [this](tk::Component* s, bool& c) { FormCloseQuery(s, c); };
  OnClose = [this](tk::Component* s, tk::CloseAction& a) { FormClose(s, a); };
}

TForm9::~TForm9() {
  WipePasswords();
}

void TForm9::WipePasswords() {
  tk::SecureWipe(PasswordEntry);
  tk::SecureWipe(PasswordVerify);
  Edit1->WipeText();
  Edit2->WipeText();
}

void TForm9::FormCreate(tk::Component*) {
  settings::SettingsStore store;
  CheckBox1->SetChecked(store.ReadBool(key::F9, key::Tomei, false));
}

void TForm9::FormShow(tk::Component*) {
  {
    settings::SettingsStore store;
    SetCaption(store.ReadString(key::F8, key::LockTitle, settings::kDefaultLockTitle));
  }
  messageTitle_ = Caption();  // held whole, whatever its length
  Edit1->WipeText();
  Edit2->WipeText();
  auto& app = tk::Application::Instance();
  platform::Get().ShowWindow(app.GetBackend().ApplicationHandle(), platform::kSwHide);
}

void TForm9::Button1Click(tk::Component*) {
  PasswordEntry = Edit1->Text();
  PasswordVerify = Edit2->Text();
  // No window text keeps the password: another program could read it.
  Edit1->WipeText();
  Edit2->WipeText();
  auto& p = platform::Get();
  if (p.CompareString(platform::kLocaleUserDefault, 0, PasswordEntry, PasswordVerify) !=
      platform::kCstrEqual) {
    WipePasswords();  // neither entry outlives the refusal
    tk::Application::Instance().MessageBox("もう一度入力しなおして下さい！！", messageTitle_,
                                           tk::mbOk | tk::mbIconStop);
    return;
  }
  tk::SecureWipe(PasswordEntry);
  {
    settings::SettingsStore store;
    store.WriteBool(key::F9, key::Tomei, CheckBox1->Checked());
  }
  Hide();
  lock::LockWindow* lockWindow;
  if (CheckBox1->Checked()) {
    lockWindow = Form7 = new TForm7(this);
  } else {
    lockWindow = Form25 = new TForm25(this);
  }
  lockWindow->SetPassword(&PasswordVerify);
  lockWindow->DoCreate();
  lockWindow->ShowModal();
  // The lock is over: the password is not needed any more, nor is this
  // window, which is never shown again.
  WipePasswords();
  Release();
}

void TForm9::Button2Click(tk::Component*) { Close(); }

void TForm9::FormCloseQuery(tk::Component*, bool& canClose) {
  canClose = true;
  Release();
}

void TForm9::FormClose(tk::Component*, tk::CloseAction&) {
  if (tk::Form* main = tk::Application::Instance().MainForm()) {
    main->Show();
    main->BringToFront();
  }
}

bool TForm9::WndProc(tk::Message& msg) { return lock::KeepInPlace(*this, msg); }
