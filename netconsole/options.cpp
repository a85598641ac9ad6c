#include "netconsole/options.h"

#include <string>
#include <vector>

#include "settings/keys.h"
#include "settings/settings_store.h"

tk::FormSlot<TForm17> Form17("Form17");
tk::FormSlot<TAboutBox2> AboutBox2("AboutBox2");

namespace {
namespace key = settings::key;

std::string Ident(const char* prefix, int n) { return prefix + std::to_string(n); }

std::vector<std::string> Digits(int last, bool emptyItem) {
  std::vector<std::string> items;
  for (int d = 0; d <= last; ++d) items.push_back(std::to_string(d));
  if (emptyItem) items.push_back("");
  return items;
}
}  // namespace

TForm17::TForm17(tk::Component* owner) : tk::Form(owner) {
  Name = "Form17";
  Border = tk::BorderStyle::Single;
  Icons.minimize = Icons.maximize = false;
  SetCaption("Kivo-Brevo Raru Derura Ver1.0 オプション");
  SetClientSize(445, 206);
  // Created in tab order.
  Button1 = new tk::Button(this, "Button1", {360, 172, 75, 25}, "OK");
  Button1->OnClick = [this](tk::Component* s) { Button1Click(s); };
  for (int i = 0; i < 12; ++i) {
    int row = i / 6, inRow = i % 6;
    int left = 136 + inRow * 48 + (inRow >= 3 ? 12 : 0);
    tk::Rect r{left, 16 + row * 36, 42, 20};
    auto* box = new tk::ComboBox(this, Ident("ComboBox", i + 1), r, false);
    // The hundreds digit of an octet goes to 2; the fifth box has an empty
    // eleventh item.
    box->SetItems(Digits(inRow % 3 == 0 ? 2 : 9, i == 4));
    Boxes[static_cast<size_t>(i)] = box;
  }
  CheckBox1 = new tk::CheckBox(this, "CheckBox1", {8, 116, 300, 17}, "Ipconfigでallパラメーターをつける");
  CheckBox2 = new tk::CheckBox(this, "CheckBox2", {8, 140, 300, 17}, "Moreコマンドをつける");
  Edit1 = new tk::Edit(this, "Edit1", {120, 84, 200, 20});
  Edit2 = new tk::Edit(this, "Edit2", {8, 16, 120, 20});
  Edit3 = new tk::Edit(this, "Edit3", {8, 52, 120, 20});
  Label1 = new tk::Label(this, "Label1", {8, 88, 110, 12}, "スペシャルビルド名");
  OnCreate = [this](tk::Component* s) { FormCreate(s); };
  OnCloseQuery = [this](tk::Component* s, bool& c) { FormCloseQuery(s, c); };
}

TForm17::~TForm17() = default;

void TForm17::FormCreate(tk::Component*) {
  settings::SettingsStore store;
  tk::Rect r = Bounds();
  settings::ReadPosition(store, key::F17, r.left, r.top, 200, r.width, r.height);
  SetBounds(r);
  // An index outside a list leaves its box empty.
  for (int i = 0; i < 12; ++i) Boxes[static_cast<size_t>(i)]->SetItemIndex(store.ReadInteger(key::F17, Ident("CB", i + 1), 0));
  CheckBox1->SetChecked(store.ReadBool(key::F17, key::CK1, false));
  CheckBox2->SetChecked(store.ReadBool(key::F17, key::CK2, false));
  Edit1->SetText(store.ReadString(key::F17, key::ED1, "Personal"));
  Edit2->SetText(store.ReadString(key::F17, key::ED2, "Ping IP1"));
  Edit3->SetText(store.ReadString(key::F17, key::ED3, "Ping IP2"));
}

void TForm17::Button1Click(tk::Component*) {
  tk::Application::Instance().MessageBox(
      "設定を有効にするには、”更新”を押して設定を反映させて下さい。", "Raru Derura Ver1.0",
      tk::mbOk | tk::mbIconExclamation);
  Close();
}

void TForm17::FormCloseQuery(tk::Component*, bool& canClose) {
  {
    settings::SettingsStore store;
    settings::WritePosition(store, key::F17, Left(), Top());
    for (int i = 0; i < 12; ++i)
      store.WriteInteger(key::F17, Ident("CB", i + 1), Boxes[static_cast<size_t>(i)]->ItemIndex());
    for (int i = 0; i < 12; ++i)
      store.WriteString(key::F17, Ident("CBI", i + 1), Boxes[static_cast<size_t>(i)]->Text());
    store.WriteBool(key::F17, key::CK1, CheckBox1->Checked());
    store.WriteBool(key::F17, key::CK2, CheckBox2->Checked());
    store.WriteString(key::F17, key::ED1, Edit1->Text());
    store.WriteString(key::F17, key::ED2, Edit2->Text());
    store.WriteString(key::F17, key::ED3, Edit3->Text());
  }
  Release();
  canClose = true;
}

TAboutBox2::TAboutBox2(tk::Component* owner) : tk::Form(owner) {
  Name = "AboutBox2";
  Border = tk::BorderStyle::Single;
  Icons.minimize = Icons.maximize = false;
  Position = tk::FormPosition::ScreenCenter;
  SetCaption("バージョン情報");
  SetClientSize(329, 146);
  Panel1 = new tk::Panel(this, "Panel1", {8, 8, 313, 97});
  auto onPanel = [this](int left, int top, int width) {
    return tk::Rect{Panel1->Left() + left, Panel1->Top() + top, width, 13};
  };
  ProductName = new tk::Label(this, "ProductName", onPanel(8, 8, 290), "Raru Derura For MS-DOSプロンプト");
  Version = new tk::Label(this, "Version", onPanel(8, 30, 290), "Version　1.0");
  Maker = new tk::Label(this, "Maker", onPanel(8, 52, 290), "Kivo Project");
  Author = new tk::Label(this, "Author", onPanel(8, 74, 290), "Programmed by Ve_Dizo");
  OKButton = new tk::Button(this, "OKButton", {127, 114, 75, 25}, "OK");
  OKButton->Default = true;
  OKButton->Cancel = true;
  OKButton->ModalResult = tk::mrOk;
  OnCloseQuery = [this](tk::Component*, bool& c) {
    c = true;
    Release();
  };
}

TAboutBox2::~TAboutBox2() = default;
