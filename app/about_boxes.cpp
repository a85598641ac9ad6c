#include "app/about_boxes.h"

#include "platform/platform.h"

tk::FormSlot<TForm5> Form5("Form5");
tk::FormSlot<TAboutBox> AboutBox("AboutBox");
tk::FormSlot<TAboutBox1> AboutBox1("AboutBox1");

namespace {
// The change history shown by the fix-information box, newest first.
const char* const kHistory[] = {
    "Ver1.7 (Build020412)  タスクトレイのメニューからWindowsの終了、画像ビューワ、",
    "                       Kivo-WebExplorerを呼び出せるようにしました。",
    "",
    "Ver1.6  詳細設定に「Windows終了を禁止する。」を追加しました。",
    "        Windows終了時にドライブの挿入チェックを行えるようにしました。",
    "",
    "Ver1.5  休止状態(ハイバネーション)に対応しました。",
    "        ステータスバーにエラーを表示するようにしました。",
    "",
    "Ver1.4  ストップウォッチと画面ロックを追加しました。",
    "",
    "Ver1.3  Windows2000/XPの管理ツールを呼び出せるようにしました。",
    "",
    "Ver1.2  スタートアップ登録とタスクバーの非表示を追加しました。",
    "",
    "Ver1.1  起動中のOSとメモリ容量を表示するようにしました。",
    "",
    "Ver1.0  最初の公開版です。",
};
}  // namespace

TForm5::TForm5(tk::Component* owner) : tk::Form(owner) {
  Name = "Form5";
  Border = tk::BorderStyle::None;
  Position = tk::FormPosition::ScreenCenter;
  SetCaption("Form5");
  SetClientSize(240, 180);
  Image1 = new tk::Image(this, "Image1", {0, 0, 240, 180});
  Image1->Load("LOGO", false);
}

TAboutBox::TAboutBox(tk::Component* owner) : tk::Form(owner) {
  Name = "AboutBox";
  Border = tk::BorderStyle::Dialog;
  Icons.minimize = Icons.maximize = false;
  Position = tk::FormPosition::ScreenCenter;
  SetCaption("バージョン情報");
  // Wide enough for the copyright line (286 pixels at 96 DPI in the
  // system's font) and a margin on both sides.
  SetClientSize(338, 202);
  Panel1 = new tk::Panel(this, "Panel1", {8, 8, 321, 161});
  Panel1->OnMouseMove = [this](tk::Component* s) { Panel1MouseMove(s); };
  // The controls below lie on the panel: their places are the panel's.
  auto onPanel = [this](int left, int top, int width, int height) {
    return tk::Rect{Panel1->Left() + left, Panel1->Top() + top, width, height};
  };
  ProgramIcon = new tk::Image(this, "ProgramIcon", onPanel(16, 16, 32, 32));
  ProgramIcon->Stretch = true;
  ProgramIcon->Load("MAINICON", true);
  ProductName = new tk::Label(this, "ProductName", onPanel(88, 16, 185, 13),
                              tk::Application::Instance().Title);
  Version = new tk::Label(this, "Version", onPanel(88, 40, 185, 13), "Version 1.7(Build020412)");
  Copyright = new tk::Label(this, "Copyright", onPanel(8, 80, 305, 13),
                            "Copyright (C) 2002 Kivo Project. All rights reserved.");
  Comments = new tk::Label(this, "Comments", onPanel(8, 104, 305, 26), "");
  Comments->WordWrap = true;
  Label3 = new tk::Label(this, "Label3", onPanel(8, 104, 265, 13),
                         "Programmed by Kivo Project / Ve_Dizo");
  Label1 = new tk::Label(this, "Label1", onPanel(8, 136, 120, 13), "Kivo Project Web Site");
  Label2 = new tk::Label(this, "Label2", onPanel(144, 136, 80, 13), "お問合わせ");
  for (tk::Label* link : {Label1, Label2}) {
    tk::Font f = link->GetFont();
    f.color = tk::clBlue;
    f.underline = true;
    link->SetFont(f);
    link->OnMouseMove = [this](tk::Component* s) { Label1MouseMove(s); };
  }
  Label1->OnClick = [this](tk::Component* s) { Label1Click(s); };
  Label2->OnClick = [this](tk::Component* s) { Label2Click(s); };
  OKButton = new tk::Button(this, "OKButton", {131, 172, 75, 25}, "OK");
  OKButton->Default = true;
  OKButton->Cancel = true;
  OKButton->ModalResult = tk::mrOk;
  OnCloseQuery = [this](tk::Component* s, bool& c) { FormCloseQuery(s, c); };
}

void TAboutBox::FormCloseQuery(tk::Component*, bool& canClose) {
  canClose = true;
  Release();
}

void TAboutBox::Label1Click(tk::Component*) {
  platform::Get().ShellExecute(0, std::nullopt, kMakerWebAddress, std::nullopt, std::nullopt,
                               platform::kSwHide);
}

void TAboutBox::Label2Click(tk::Component*) {
  platform::Get().ShellExecute(0, std::nullopt, std::string("mailto:") + kMakerMailAddress,
                               std::nullopt, std::nullopt, platform::kSwHide);
}

void TAboutBox::Label1MouseMove(tk::Component*) {
  tk::Application::Instance().SetCursor(tk::crHandPoint);
}

void TAboutBox::Panel1MouseMove(tk::Component*) {
  tk::Application::Instance().SetCursor(tk::crDefault);
}

TAboutBox1::TAboutBox1(tk::Component* owner) : tk::Form(owner) {
  Name = "AboutBox1";
  Border = tk::BorderStyle::Dialog;
  Icons.systemMenu = false;
  Icons.minimize = Icons.maximize = false;
  Position = tk::FormPosition::ScreenCenter;
  SetCaption("FIX情報");
  SetClientSize(497, 301);
  Memo1 = new tk::Memo(this, "Memo1", {0, 9, 497, 256}, tk::ScrollStyle::Both);
  Memo1->ReadOnly = true;
  platform::Get().DisableIme(Memo1->Handle());
  Memo1->SetLines(std::vector<std::string>(std::begin(kHistory), std::end(kHistory)));
  OKButton = new tk::Button(this, "OKButton", {217, 272, 62, 25}, "OK");
  OKButton->Default = true;
  OKButton->Cancel = true;
  OKButton->ModalResult = tk::mrOk;
  OnClose = [this](tk::Component* s, tk::CloseAction& a) { FormClose(s, a); };
}

void TAboutBox1::FormClose(tk::Component*, tk::CloseAction& action) {
  action = tk::CloseAction::Free;
}

void ShowLogo(tk::Form* owner) {
  auto& app = tk::Application::Instance();
  auto& p = platform::Get();
  Form5 = new TForm5(owner);
  Form5->Show();
  const double start = p.Now();
  const double twoSeconds = 2.0 / 86400.0;
  // A clock set back meanwhile (by more than a second, so that the rounding
  // of equal readings never counts) ends the wait rather than stretching it
  // by as much as it went back.
  const double oneSecond = 1.0 / 86400.0;
  for (double now = p.Now(); now > start - oneSecond && start + twoSeconds > now; now = p.Now())
    app.ProcessMessages();
  delete Form5.get();
}
