#include "session/detailed_settings.h"

#include "settings/keys.h"
#include "settings/settings_store.h"

tk::FormSlot<TForm6> Form6("Form6");

namespace {
namespace key = settings::key;
constexpr const char* kChecks[] = {key::C1, key::C2, key::C3, key::C4, key::C5, key::C6};
}  // namespace

TForm6::TForm6(tk::Component* owner, session::MainWindowAccess& main)
    : tk::Form(owner), main_(main) {
  Name = "Form6";
  Border = tk::BorderStyle::Single;
  Icons.minimize = Icons.maximize = false;
  SetCaption("詳細設定");
  SetClientSize(483, 210);
  Bevel1 = new tk::Bevel(this, "Bevel1", {8, 8, 467, 161});
  Button1 = new tk::Button(this, "Button1", {400, 178, 75, 25}, "閉じる");
  Button1->Cancel = true;
  Button1->OnClick = [this](tk::Component* s) { Button1Click(s); };
  CheckBox1 = new tk::CheckBox(this, "CheckBox1", {16, 16, 400, 17},
                               "Windows終了時に最近使ったファイルを削除する。");
  CheckBox2 = new tk::CheckBox(this, "CheckBox2", {16, 40, 400, 17},
                               "Kivo-Config起動時にロゴを表示しない。");
  CheckBox3 = new tk::CheckBox(this, "CheckBox3", {16, 64, 320, 17},
                               "Windows終了時にドライブの挿入チェックをする。");
  CheckBox3->OnClick = [this](tk::Component* s) { CheckBox3Click(s); };
  CheckBox4 = new tk::CheckBox(this, "CheckBox4", {16, 88, 400, 17}, "Windows終了を禁止する。");
  ComboBox1 = new tk::ComboBox(this, "ComboBox1", {344, 62, 49, 20});
  ComboBox1->SetItems({"A", "B", "C", "D", "E", "F", "G", "H", "I"});
  ComboBox1->DropDownCount = 5;
  Button2 = new tk::Button(this, "Button2", {16, 178, 75, 25}, "色変更");
  Button2->OnClick = [this](tk::Component* s) { Button2Click(s); };
  CheckBox5 = new tk::CheckBox(this, "CheckBox5", {16, 112, 400, 17},
                               "Kivo-Config起動時、フォームをタスクトレイに格納する。");
  CheckBox6 = new tk::CheckBox(this, "CheckBox6", {16, 136, 400, 17},
                               "Kivo-Config終了時にWaveをならす。");
  ColorDialog1 = new tk::ColorDialog(this, "ColorDialog1");
  OnCreate = [this](tk::Component* s) { FormCreate(s); };
  OnShow = [this](tk::Component* s) { FormShow(s); };
  OnCloseQuery = [this](tk::Component* s, bool& c) { FormCloseQuery(s, c); };
}

void TForm6::FormCreate(tk::Component*) {
  settings::SettingsStore store;
  tk::CheckBox* boxes[] = {CheckBox1, CheckBox2, CheckBox3, CheckBox4, CheckBox5, CheckBox6};
  for (int i = 0; i < 6; ++i) boxes[i]->SetChecked(store.ReadBool(key::F6, kChecks[i], false));
  tk::Rect r = Bounds();
  settings::ReadPosition(store, key::F6, r.left, r.top, 200, r.width, r.height);
  SetBounds(r);
  ComboBox1->SetItemIndex(store.ReadInteger(key::F6, key::CB, 0));
  if (!CheckBox3->Checked()) ComboBox1->SetEnabled(false);
  // The wave option is kept and shown, never changed here.
  CheckBox6->SetEnabled(false);
}

void TForm6::FormShow(tk::Component*) {
  Icons.minimize = Icons.maximize = false;
  ApplyStyle();
}

void TForm6::Button1Click(tk::Component*) { Close(); }

void TForm6::CheckBox3Click(tk::Component*) { ComboBox1->SetEnabled(CheckBox3->Checked()); }

void TForm6::Button2Click(tk::Component*) {
  if (!ColorDialog1->Execute()) return;
  main_.ApplyColor(ColorDialog1->color);
}

void TForm6::FormCloseQuery(tk::Component*, bool& canClose) {
  canClose = true;
  {
    settings::SettingsStore store;
    tk::CheckBox* boxes[] = {CheckBox1, CheckBox2, CheckBox3, CheckBox4, CheckBox5, CheckBox6};
    for (int i = 0; i < 6; ++i) store.WriteBool(key::F6, kChecks[i], boxes[i]->Checked());
    store.WriteInteger(key::F6, key::X, Left());
    store.WriteInteger(key::F6, key::Y, Top());
    store.WriteInteger(key::F6, key::CB, ComboBox1->ItemIndex());
    store.WriteString(key::F6, key::DR, ComboBox1->Text());
  }
  if (CheckBox4->Checked()) {
    main_.DisableExitButtons();
  } else if (!main_.ExitButtonsEnabled()) {
    tk::Application::Instance().MessageBox("設定を有効にするにはアプリケーションを再起動して下さい。。",
                                           "Kivo-SHUTDOWN FOR Windows",
                                           tk::mbOk | tk::mbIconExclamation);
  }
  session::UpdateShutdownBlockReason(main_.MainWindowHandle(), CheckBox4->Checked());
  Release();
}
