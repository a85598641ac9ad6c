// The main window's making: its frame, controls and menus in units of 96
// DPI, and what the running system changes in them (captions, the controls
// it has no use for, the lock it offers, standby and hibernation).
#include <optional>
#include <string>

#include "app/main_window.h"
#include "app/phases.h"
#include "lock/lock_screen.h"
#include "platform/platform.h"

namespace {
using tk::Rect;

// Windows' own name for a version of NT 6 and later, "" for one the
// program does not know.
std::string ReleaseName(const platform::OsVersion& v) {
  if (v.major == 6) {
    switch (v.minor) {
      case 0: return "Windows Vista";
      case 1: return "Windows 7";
      case 2: return "Windows 8";
      case 3: return "Windows 8.1";
      default: return "";
    }
  }
  if (v.major == 10 && v.minor == 0) return v.build >= 22000 ? "Windows 11" : "Windows 10";
  return "";
}

template <class F>
tk::NotifyEvent Bind(TForm1* f, F method) {
  return [f, method](tk::Component* s) { (f->*method)(s); };
}

void AdaptToPowerCapabilities(TForm1& f, bool nt6);

void BuildFrame(TForm1& f) {
  f.Border = tk::BorderStyle::Single;
  // Made without the minimise and maximise boxes that FormShow takes away:
  // the frame is not changed again when the window is first shown.
  f.Icons.minimize = f.Icons.maximize = false;
  f.SetColor(tk::clBtnFace);
}

void BuildLayout(TForm1& f) {
  auto label = [&f](const char* name, Rect r, const char* caption) {
    return new tk::Label(&f, name, r, caption);
  };
  auto button = [&f](const char* name, Rect r, const char* caption,
                       void (TForm1::*handler)(tk::Component*)) {
    auto* b = new tk::Button(&f, name, r, caption);
    if (handler) b->OnClick = Bind(&f, handler);
    return b;
  };
  auto check = [&f](const char* name, Rect r, const char* caption,
                      void (TForm1::*handler)(tk::Component*)) {
    auto* c = new tk::CheckBox(&f, name, r, caption);
    c->OnClick = Bind(&f, handler);
    return c;
  };
  auto statusLabel = [&](const char* name, Rect r, const char* caption, tk::Color color) {
    tk::Label* l = label(name, r, caption);
    l->Align = tk::Alignment::Right;  // grows to the left with its text
    tk::Font font = l->GetFont();
    font.height = -13;
    font.color = color;
    l->SetFont(font);
    // A background of its own: the window's colour does not reach it until
    // a colour is chosen in the detailed settings.
    l->SetColor(tk::clBtnFace);
    return l;
  };

  f.Bevel1 = new tk::Bevel(&f, "Bevel1", {96, 24, 337, 153});
  f.Label6 = label("Label6", {96, 8, 140, 12}, "ｺﾝﾄﾛｰﾙﾊﾟﾈﾙ");
  f.Label6->AutoSize = false;
  f.Bevel3 = new tk::Bevel(&f, "Bevel3", {264, 192, 257, 89});
  f.Label1 = statusLabel("Label1", {438, 200, 75, 13}, "Please Wait !!", tk::clBlack);
  f.Label3 = statusLabel("Label3", {438, 220, 75, 13}, "Please Wait !!", tk::clBlack);
  f.Label7 = label("Label7", {439, 240, 74, 12}, "Please Wait  !!");
  f.Label7->Align = tk::Alignment::Right;
  f.Label4 = label("Label4", {270, 261, 82, 12}, "起動しているOS:");
  f.Label2 = statusLabel("Label2", {438, 260, 75, 13}, "Please Wait !!", tk::clBlue);
  // The version keeps clear of its caption: a long name is drawn smaller.
  f.Label2->MaxTextWidth = 513 - 362;

  f.Button21 = button("Button21", {8, 8, 81, 25}, "スタンバイ", &TForm1::Button21Click);
  f.Button1 = button("Button1", {8, 42, 81, 25}, "ログオフ", &TForm1::Button1Click);
  f.Button2 = button("Button2", {8, 76, 81, 25}, "再起動", &TForm1::Button2Click);
  f.Button3 = button("Button3", {8, 110, 81, 25}, "シャットダウン", &TForm1::Button3Click);
  f.Button4 = button("Button4", {8, 144, 81, 25}, "電源切断", &TForm1::Button4Click);
  f.Button12 = button("Button12", {104, 32, 97, 25}, "マウス", nullptr);
  f.Button13 = button("Button13", {216, 32, 97, 25}, "パスワード", nullptr);
  f.Button14 = button("Button14", {328, 32, 97, 25}, "アプリ追加・削除", nullptr);
  f.Button9 = button("Button9", {104, 69, 97, 25}, "電源管理", nullptr);
  f.Button10 = button("Button10", {216, 69, 97, 25}, "マルチメディア", nullptr);
  f.Button11 = button("Button11", {328, 69, 97, 25}, "ネットワーク", nullptr);
  f.Button6 = button("Button6", {104, 107, 97, 25}, "ﾃﾞﾊﾞｲｽﾏﾈｰｼﾞｬ", nullptr);
  f.Button19 = button("Button19", {216, 107, 97, 25}, "ジョイスティック", nullptr);
  f.Button8 = button("Button8", {328, 107, 97, 25}, "モデム", nullptr);
  f.Button15 = button("Button15", {104, 144, 97, 25}, "日付と時刻", nullptr);
  f.Button7 = button("Button7", {216, 144, 97, 25}, "画面設定", nullptr);
  // The launchers: made here, started and looked for by their panel.
  f.launchers = new LauncherPanel(&f);
  f.launchers->SetButtons({{{6, f.Button6},   {7, f.Button7},   {8, f.Button8},   {9, f.Button9},
                            {10, f.Button10}, {11, f.Button11}, {12, f.Button12}, {13, f.Button13},
                            {14, f.Button14}, {15, f.Button15}, {19, f.Button19}}});
  f.launchers->OnStatus = [&f](const std::string& text) { f.status.Show(text); };
  f.Button17 = button("Button17", {328, 144, 97, 25}, "リソース", &TForm1::Button17Click);
  f.Button16 = button("Button16", {448, 32, 65, 25}, "画面ロック", &TForm1::Button16Click);
  f.Button20 = button("Button20", {448, 68, 65, 25}, "ｽﾄｯﾌﾟｳｫｯﾁ", &TForm1::Button20Click);
  f.Button18 = button("Button18", {448, 107, 65, 25}, "Open APL", &TForm1::Button18Click);
  f.Button5 = button("Button5", {448, 144, 65, 25}, "閉じる", &TForm1::Button5Click);

  f.CheckBox3 = check("CheckBox3", {8, 184, 121, 17}, "スタートアップ登録", &TForm1::CheckBox3Click);
  f.CheckBox3->Hint = "Windows起動時に自動で起動するか設定します";
  f.CheckBox2 = check("CheckBox2", {8, 204, 153, 12}, "休止状態をサポートする",
                    &TForm1::CheckBox2Click);
  f.CheckBox1 = check("CheckBox1", {8, 224, 129, 12}, "タスクバーを非表示", &TForm1::CheckBox1Click);
  f.CheckBox5 = check("CheckBox5", {8, 244, 153, 12}, "ステータスバーを非表示",
                    &TForm1::CheckBox5Click);
  f.CheckBox5->Hint = "Kivo-Shutdownのエラーをステータスバーに表示します。";
  f.CheckBox4 = check("CheckBox4", {8, 264, 169, 12}, "強制終了を無効にする",
                    &TForm1::CheckBox4Click);

  f.StatusBar1 = new tk::StatusBar(&f, "StatusBar1", {0, 288, 523, 26});
  f.status.Attach(f.StatusBar1);

  f.Timer1 = new tk::Timer(&f, "Timer1", 1000);
  f.Timer1->OnTimer = Bind(&f, &TForm1::Timer1Timer);
  f.Timer2 = new tk::Timer(&f, "Timer2", 1000);
  f.Timer2->OnTimer = Bind(&f, &TForm1::Timer2Timer);
  f.tray = new TrayIcon(&f);
  f.tray->OnRequest = [&f](TrayIcon::Request request) {
    // While locked the tray offers nothing but the unlock prompt.
    if (lock::RedirectToUnlock()) return;
    if (request == TrayIcon::Request::Menu) {
      auto& p = platform::Get();
      platform::Point pt = p.GetCursorPos();
      p.SetForegroundWindow(f.Handle());
      f.PopupMenu1->Popup(pt.x, pt.y);
    } else {
      f.Show();
    }
  };

  // The status bar tells why a launcher is off while the mouse is on it.
  f.OnMouseMove = [&f](tk::Component*) { f.status.PointAt(""); };
  for (tk::Control* c : f.Controls())
    c->OnMouseMove = [&f, c](tk::Component*) { f.status.PointAt(f.launchers->Reason(c)); };
}

void BuildMenus(TForm1& f) {
  f.MainMenu1 = new tk::MainMenu(&f, "MainMenu1");
  auto& root = f.MainMenu1->Items();
  f.N1 = root.Add("N1", "メニュー(&M)");
  f.N2 = f.N1->Add("N2", "設定(&S)", Bind(&f, &TForm1::N2Click));
  f.N5 = f.N1->Add("N5", "ユーザー設定", Bind(&f, &TForm1::N5Click));
  f.V1 = f.N1->Add("V1", "画像ビューア(&V)", Bind(&f, &TForm1::V1Click));
  f.CommandSender1 =
      f.N1->Add("CommandSender1", "Raru Derura(&P)", Bind(&f, &TForm1::CommandSender1Click));
  f.KivoExplorerVer101 = f.N1->Add("KivoExplorerVer101", "Kivo-WebExplorer Ver1.0",
                               Bind(&f, &TForm1::KivoExplorerVer101Click));
  f.HotKey1 = f.N1->Add("HotKey1", "ホットキーの設定(&K)", Bind(&f, &TForm1::HotKey1Click));
  f.CDDRIVEC1 = root.Add("CDDRIVEC1", "CD-DRIVE(&D)");
  f.Open1 = f.CDDRIVEC1->Add("Open1", "開く(&O)", Bind(&f, &TForm1::Open1Click));
  f.Close1 = f.CDDRIVEC1->Add("Close1", "閉じる(&C)", Bind(&f, &TForm1::Close1Click));
  f.Help1 = root.Add("Help1", "ヘルプ(&H)");
  f.About1 = f.Help1->Add("About1", "バージョン情報(&V)", Bind(&f, &TForm1::About1Click));
  f.FIX1 = f.Help1->Add("FIX1", "FIX情報(&F)", Bind(&f, &TForm1::FIX1Click));
  f.SetMenu(f.MainMenu1);
  f.SetClientSize(kMainClientWidth, kMainClientHeightWithStatusBar);

  f.PopupMenu1 = new tk::PopupMenu(&f, "PopupMenu1");
  auto& pop = f.PopupMenu1->Items();
  f.B1 = pop.Add("B1", "最近使ったファイルを削除(&B)", Bind(&f, &TForm1::B1Click));
  f.A1 = pop.Add("A1", "アクティブウィンドウ取得(&A)", Bind(&f, &TForm1::A1Click));
  f.C1 = pop.Add("C1", "デスクトップキャプチャ(&C)", Bind(&f, &TForm1::C1Click));
  f.R1 = pop.Add("R1", "範囲キャプチャ(&R)", Bind(&f, &TForm1::R1Click));
  f.L1 = pop.Add("L1", "前回の範囲(&L)", Bind(&f, &TForm1::L1Click));
  f.N3 = pop.Add("N3", "画面ロック(&G)", Bind(&f, &TForm1::Button16Click));
  f.N4 = pop.Add("N4", "画像ビューワ(&V)", Bind(&f, &TForm1::V1Click));
  f.PingSender1 =
      pop.Add("PingSender1", "Raru Derura(&P)", Bind(&f, &TForm1::CommandSender1Click));
  f.KivoWebExplorer1 = pop.Add("KivoWebExplorer1", "Kivo-WebExplorer(&W)",
                             Bind(&f, &TForm1::KivoExplorerVer101Click));
  f.Open2 = pop.Add("Open2", "デスクトップに表示(&D)", Bind(&f, &TForm1::Open2Click));
  f.Exit1 = pop.Add("Exit1", "アプリケーションの終了(&A)", Bind(&f, &TForm1::Exit1Click));
  f.Windows1 = pop.Add("Windows1", "Windowsの終了(&S)", [&f](tk::Component*) {
    f.actions.Run(session::FromTrayItem(session::EndAction::PowerOff));
  });
}

// ---------------------------------------------------------------- version
// True where the launchers' programs may be missing (Vista and later).
bool AdaptToWindowsVersion(TForm1& f) {
  bool searchLaunchers = false;
  f.StatusBar1->SetSimplePanel(true);
  // The real version: GetVersionEx hides 8.1 and later from a copy whose
  // manifest does not name them.
  platform::OsVersion v = platform::RunningVersion(platform::Get());
  switch (v.platformId) {
    case platform::kPlatformWin32s:
      f.Label2->SetCaption("Windows 3.1");
      f.CheckBox2->SetEnabled(false);
      break;
    case platform::kPlatformWindows:
      f.PlatformFamily = 1;
      if (v.minor == 0) {
        f.Label2->SetCaption("MicroSoft Windows 95");
      } else if (v.minor == 10) {
        f.Label2->SetCaption(v.build == 0x040A07CE ? "Microsoft Windows 98"
                                                 : "Windows 98 Second Edition");
        f.CheckBox2->SetVisible(false);
      } else if (v.minor == 90) {
        f.Label2->SetCaption("Windows Millennium Edition");
      } else {
        f.Label2->SetCaption(tk::Format("Windows %d.%d", static_cast<int>(v.major),
                                      static_cast<int>(v.minor)));
      }
      f.Button3->SetEnabled(false);
      break;
    case platform::kPlatformNT:
      f.PlatformFamily = 2;
      f.Button12->SetCaption("ｺﾝﾋﾟｭｰﾀ管理");
      f.Button13->SetCaption("ﾊﾟﾌｫｰﾏﾝｽ");
      f.Button9->SetCaption("ｼｽﾃﾑ情報");
      f.Button15->SetCaption("ﾃﾞｨｽｸ管理");
      f.Button10->SetCaption("ｿﾙﾃｨｱ");
      f.Button19->SetCaption("ﾌﾘｰｾﾙ");
      for (tk::Control* c : {static_cast<tk::Control*>(f.Button7), static_cast<tk::Control*>(f.Button14),
                             static_cast<tk::Control*>(f.Button16), static_cast<tk::Control*>(f.Button17),
                             static_cast<tk::Control*>(f.Button11), static_cast<tk::Control*>(f.Button8),
                             static_cast<tk::Control*>(f.CheckBox4)})
        c->SetEnabled(false);
      f.CommandSender1->SetEnabled(false);
      f.N3->SetEnabled(false);
      f.PingSender1->SetEnabled(false);
      f.lockRoute = TForm1::LockRoute::None;
      if (v.major == 5) {
        if (v.minor == 0) {
          f.Label2->SetCaption("Microsoft Windows 2000");
          f.Label6->SetCaption("Windows 2000管理ツール");
        } else {
          f.Label2->SetCaption("Microsoft Windows XP");
          f.Label6->SetCaption("Windows XP管理ツール");
        }
      } else {
        // NT 4, and from Vista on the same control panel items: their
        // names, with Windows' own name where the program knows it.
        const std::string name = ReleaseName(v);
        f.Label2->SetCaption(!name.empty() ? name
                                         : tk::Format("WindowsNT %d.%d", static_cast<int>(v.major),
                                                      static_cast<int>(v.minor)));
        f.CheckBox2->SetEnabled(false);
        f.Button21->SetVisible(false);
        f.Label6->SetCaption((name.empty() ? std::string("Windows NT") : name) + "ｺﾝﾄﾛｰﾙﾊﾟﾈﾙ");
        f.Button6->SetCaption("ｼｽﾃﾑのﾌﾟﾛﾊﾟﾃｨ");
        f.Button12->SetCaption("ﾈｯﾄﾜｰｸ");
        f.Button15->SetCaption("日付と時刻");
        if (v.major >= 6) {
          // The caption takes the width of its group ("Windows Vista" is
          // longer than "Windows NT").
          f.Label6->SetBounds({f.Label6->Left(), f.Label6->Top(), f.Bevel1->Width(), f.Label6->Height()});
          // Programs of the launchers may be missing from Vista on.
          searchLaunchers = true;
          // From Vista on the lock is the system's own.
          f.lockRoute = TForm1::LockRoute::System;
          f.Button16->SetEnabled(true);
          f.N3->SetEnabled(true);
        }
      }
      // From 2000 on the system tells whether the machine can sleep and
      // hibernate.
      if (v.major >= 5) AdaptToPowerCapabilities(f, v.major >= 6);
      break;
    default:
      break;
  }
  f.actions.SetLockOffered(f.lockRoute != TForm1::LockRoute::None);
  return searchLaunchers;
}

// Standby where the machine can sleep or hibernate, the hibernation switch
// where it can hibernate. Where the system does not answer, 2000 and XP keep
// both; from Vista on both stay off, as on NT 4.
void AdaptToPowerCapabilities(TForm1& f, bool nt6) {
  const std::optional<platform::PowerCapabilities> caps = platform::Get().GetPwrCapabilities();
  if (!caps && !nt6) return;
  const bool sleep = caps && caps->CanSleep();
  f.hibernateOffered = caps && caps->CanHibernate();
  f.Button21->SetVisible(sleep || f.hibernateOffered);
  f.CheckBox2->SetEnabled(f.hibernateOffered);
}

}  // namespace

void BuildMainWindow(TForm1& f) {
  // The frame first: its style, menu bar and client size are final before
  // any control is made, so the system computes the frame while the window
  // has no children, and not again for each change.
  BuildFrame(f);
  BuildMenus(f);
  phases::Mark("menus");
  BuildLayout(f);
  phases::Mark("layout");
  f.OnCreate = Bind(&f, &TForm1::FormCreate);
  f.OnShow = Bind(&f, &TForm1::FormShow);
  f.OnCloseQuery = [&f](tk::Component* s, bool& c) { f.FormCloseQuery(s, c); };
  f.OnClose = [&f](tk::Component* s, tk::CloseAction& a) { f.FormClose(s, a); };
}

void AdaptMainWindowToSystem(TForm1& f) {
  if (AdaptToWindowsVersion(f)) f.launchers->OfferSearch();
}
