#include "lock/user_settings.h"

#include "platform/platform.h"
#include "settings/keys.h"
#include "settings/settings_store.h"

tk::FormSlot<TForm21> Form21("Form21");

namespace {
namespace key = settings::key;
}  // namespace

namespace lock {
void UserTexts::Read(settings::SettingsStore& store) {
  const UserTexts defaults;
  UserTexts read;
  read.lockTitle = store.ReadString(key::F8, key::LockTitle, defaults.lockTitle);
  read.user = store.ReadString(key::F8, key::User, defaults.user);
  read.mainCaption = store.ReadString(key::F8, key::MainWindowCaption, defaults.mainCaption);
  read.comment = store.ReadString(key::F8, key::Coment, defaults.comment);
  *this = read;
}

void UserTexts::Write(settings::SettingsStore& store) const {
  store.WriteString(key::F8, key::LockTitle, lockTitle);
  store.WriteString(key::F8, key::User, user);
  store.WriteString(key::F8, key::MainWindowCaption, mainCaption);
  store.WriteString(key::F8, key::Coment, comment);
}
}  // namespace lock

TForm21::TForm21(tk::Component* owner) : tk::Form(owner) {
  Name = "Form21";
  Border = tk::BorderStyle::Single;
  Icons.minimize = Icons.maximize = false;
  Position = tk::FormPosition::ScreenCenter;
  SetCaption("KIVO-CONFIG ユーザー設定");
  SetClientSize(424, 247);
  // Created in tab order: the buttons, then the edits from the lock caption on.
  Button1 = new tk::Button(this, "Button1", {248, 212, 75, 25}, "閉じる");
  Button1->Cancel = true;
  Button1->OnClick = [this](tk::Component* s) { Button1Click(s); };
  Button2 = new tk::Button(this, "Button2", {336, 212, 75, 25}, "適用");
  Button2->OnClick = [this](tk::Component* s) { Button2Click(s); };
  Button2->SetEnabled(false);
  Edit1 = new tk::Edit(this, "Edit1", {16, 76, 273, 20});
  Edit2 = new tk::Edit(this, "Edit2", {16, 124, 193, 20});
  Edit3 = new tk::Edit(this, "Edit3", {16, 28, 233, 20});
  Edit4 = new tk::Edit(this, "Edit4", {16, 172, 273, 20});
  for (tk::Edit* e : {Edit1, Edit2, Edit3, Edit4}) {
    e->OnChange = [this](tk::Component* s) { Edit1Change(s); };
    // The input method is closed on entry; the user may open it.
    e->OnEnter = [e](tk::Component*) { platform::Get().CloseIme(e->Handle()); };
  }
  Label3 = new tk::Label(this, "Label3", {16, 10, 300, 12}, "Kivo-Config For Windowsのタイトルバー");
  Label1 = new tk::Label(this, "Label1", {16, 58, 300, 12}, "セキュリティロック時のWindowのタイトル画面");
  Label2 = new tk::Label(this, "Label2", {16, 106, 200, 12}, "ユーザー名");
  Label4 = new tk::Label(this, "Label4", {16, 154, 200, 12}, "コメント");
  OnCreate = [this](tk::Component* s) { FormCreate(s); };
  OnActivate = [this](tk::Component* s) { FormActivate(s); };
  OnCloseQuery = [this](tk::Component* s, bool& c) { FormCloseQuery(s, c); };
}

TForm21::~TForm21() = default;

void TForm21::FormCreate(tk::Component*) {
  lock::UserTexts texts;
  {
    settings::SettingsStore store;
    texts.Read(store);
  }
  Edit1->SetText(texts.lockTitle);
  Edit2->SetText(texts.user);
  Edit3->SetText(texts.mainCaption);
  Edit4->SetText(texts.comment);
}

// Coming back to the window (from another program too) forgets that there
// was anything to apply.
void TForm21::FormActivate(tk::Component*) { Button2->SetEnabled(false); }

void TForm21::Edit1Change(tk::Component*) { Button2->SetEnabled(true); }

void TForm21::Button2Click(tk::Component*) {
  lock::UserTexts texts;
  texts.lockTitle = Edit1->Text();
  texts.user = Edit2->Text();
  texts.mainCaption = Edit3->Text();
  texts.comment = Edit4->Text();
  {
    settings::SettingsStore store;
    texts.Write(store);
  }
  Button2->SetEnabled(false);
}

void TForm21::Button1Click(tk::Component*) { Close(); }

void TForm21::FormCloseQuery(tk::Component*, bool& canClose) {
  canClose = true;
  Release();
}
