#include "browser/internet_options.h"

#include <string>
#include <vector>

#include "browser/browser_window.h"
#include "platform/platform.h"
#include "settings/keys.h"
#include "settings/settings_store.h"

tk::FormSlot<TForm20> Form20("Form20");
tk::FormSlot<TAboutBox3> AboutBox3("AboutBox3");

namespace {
namespace key = settings::key;
std::string Fav(int slot) { return "fav" + std::to_string(slot); }
}  // namespace

TForm20::TForm20(tk::Component* owner) : tk::Form(owner) {
  Name = "Form20";
  Border = tk::BorderStyle::Single;
  Icons.minimize = Icons.maximize = false;
  SetCaption("Kivo-WebExplorer インターネットオプション");
  SetClientSize(575, 333);
  SetBounds({276, 213, Width(), Height()});
  PageControl1 = new tk::PageControl(this, "PageControl1", {0, 0, 575, 297});
  const int general = PageControl1->AddPage("全般");
  const int extension = PageControl1->AddPage("拡張");
  // The pages' controls, in the page's coordinates below the tabs.
  const int top = 24;
  GroupBox1 = new tk::GroupBox(this, "GroupBox1", {23, top + 8, 521, 105}, "ホーム");
  Label1 = new tk::Label(this, "Label1", {23 + 8, top + 8 + 28, 70, 12}, "トップページ");
  Edit1 = new tk::Edit(this, "Edit1", {23 + 80, top + 8 + 24, 433, 20});
  GroupBox2 = new tk::GroupBox(this, "GroupBox2", {23, top + 136, 521, 105}, "お気に入り");
  Label2 = new tk::Label(this, "Label2", {23 + 16, top + 136 + 32, 40, 12}, "URL");
  ComboBox1 = new tk::ComboBox(this, "ComboBox1", {23 + 80, top + 136 + 24, 433, 20}, false);
  Button3 = new tk::Button(this, "Button3", {23 + 80, top + 136 + 64, 145, 25}, "アドレスに追加する");
  ComboBox2 = new tk::ComboBox(this, "ComboBox2", {23 + 320, top + 136 + 66, 49, 20});
  ComboBox2->SetItems({"1", "2", "3", "4", "5", "6", "7"});
  Label3 = new tk::Label(this, "Label3", {23 + 384, top + 136 + 70, 50, 12}, "番目に");
  Button2 = new tk::Button(this, "Button2", {23 + 438, top + 136 + 64, 75, 25}, "登録");
  Label4 = new tk::Label(this, "Label4", {8, top + 16, 550, 12},
                         "現在このページは使われていません。将来の拡張の為予約してあります。");
  for (tk::Control* c : std::initializer_list<tk::Control*>{GroupBox1, Label1, Edit1, GroupBox2, Label2,
                                                            ComboBox1, Button3, ComboBox2, Label3, Button2})
    PageControl1->PutOnPage(c, general);
  PageControl1->PutOnPage(Label4, extension);
  Button1 = new tk::Button(this, "Button1", {250, 305, 75, 25}, "OK");
  Button1->OnClick = [this](tk::Component* s) { Button1Click(s); };
  Button2->OnClick = [this](tk::Component* s) { Button2Click(s); };
  Button3->OnClick = [this](tk::Component* s) { Button3Click(s); };
  OnCreate = [this](tk::Component* s) { FormCreate(s); };
  OnCloseQuery = [this](tk::Component* s, bool& c) { FormCloseQuery(s, c); };
}

TForm20::~TForm20() = default;

void TForm20::FormCreate(tk::Component*) {
  platform::Get().DisableIme(Edit1->Handle());
  settings::SettingsStore store;
  Edit1->SetText(store.ReadString(key::F20, key::HomePage, browser::kDefaultHomePage));
  ComboBox1->SetText(store.ReadString(key::F20, Fav(0), browser::kDefaultHomePage));
  // "fav0" is the box's text; "fav1" … "fav6" its list.
  std::vector<std::string> list;
  for (int slot = 1; slot < browser::kFavourites; ++slot)
    list.push_back(store.ReadString(key::F20, Fav(slot), browser::kDefaultHomePage));
  const std::string text = ComboBox1->Text();
  ComboBox1->SetItems(list);
  ComboBox1->SetText(text);
  // Only a selection that differs from the current one (none) replaces the text.
  const int selected = store.ReadInteger(key::F20, "CBI", 0);
  if (selected != ComboBox1->ItemIndex() && selected >= 0 && selected < static_cast<int>(list.size()))
    ComboBox1->SetItemIndex(selected);
  ComboBox2->SetItemIndex(store.ReadInteger(key::F20, "CBI2", 0));
}

void TForm20::Button2Click(tk::Component*) {
  const int position = settings::StrToInt(ComboBox2->Text());  // "" raises the conversion error
  if (position < 1 || position > browser::kFavourites) return;
  settings::SettingsStore store;
  store.WriteString(key::F20, Fav(position - 1), ComboBox1->Text());
}

void TForm20::Button3Click(tk::Component*) {
  if (Form18) Form18->ComboBox1->SetText(ComboBox1->Text());
}

void TForm20::Button1Click(tk::Component*) { Close(); }

void TForm20::FormCloseQuery(tk::Component*, bool& canClose) {
  {
    settings::SettingsStore store;
    store.WriteString(key::F20, key::HomePage, Edit1->Text());
    store.WriteInteger(key::F20, "CBI", ComboBox1->ItemIndex());
    store.WriteInteger(key::F20, "CBI2", ComboBox2->ItemIndex());
  }
  Release();
  canClose = true;
}

TAboutBox3::TAboutBox3(tk::Component* owner) : tk::Form(owner) {
  Name = "AboutBox3";
  Border = tk::BorderStyle::Single;
  Icons.minimize = Icons.maximize = false;
  Position = tk::FormPosition::ScreenCenter;
  SetCaption("バージョン情報");
  SetClientSize(298, 206);
  Panel1 = new tk::Panel(this, "Panel1", {8, 8, 281, 161});
  auto onPanel = [this](int left, int top, int width, int height) {
    return tk::Rect{Panel1->Left() + left, Panel1->Top() + top, width, height};
  };
  ProgramIcon = new tk::Image(this, "ProgramIcon", onPanel(8, 8, 32, 32));
  ProgramIcon->Stretch = true;
  ProgramIcon->Load("MAINICON", true);
  ProductName = new tk::Label(this, "ProductName", onPanel(88, 16, 185, 13), "Kivo-WebExplorer");
  Version = new tk::Label(this, "Version", onPanel(88, 40, 185, 13), "Version 1.0 Build(010527)");
  Label1 = new tk::Label(this, "Label1", onPanel(8, 80, 265, 13), "Copyright (C) 2001 Kivo Project.");
  Label2 = new tk::Label(this, "Label2", onPanel(8, 104, 265, 13), "Programmed by Ve_Dizo");
  OKButton = new tk::Button(this, "OKButton", {111, 172, 75, 25}, "OK");
  OKButton->Default = true;
  OKButton->Cancel = true;
  OKButton->ModalResult = tk::mrOk;
  OnCloseQuery = [this](tk::Component*, bool& c) {
    c = true;
    Release();
  };
}

TAboutBox3::~TAboutBox3() = default;
