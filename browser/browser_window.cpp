#include "browser/browser_window.h"

#include "browser/internet_options.h"
#include "platform/platform.h"
#include "settings/keys.h"
#include "settings/settings_store.h"

tk::FormSlot<TForm18> Form18("Form18");

namespace {
namespace key = settings::key;
constexpr int kPanelHeight = 41;
constexpr int kStatusHeight = 22;
constexpr long kCscUpdateCommands = -1;
constexpr long kCscNavigateForward = 1;
constexpr long kCscNavigateBack = 2;
}  // namespace

namespace browser {

std::string PresenceTestPath() {
  auto& p = platform::Get();
  platform::OsVersion v = p.GetVersionEx();
  switch (v.platformId) {
    case platform::kPlatformWin32s:
      tk::Application::Instance().ShowMessage("このオペレーティングシステムでは使用できません。");
      [[fallthrough]];
    case platform::kPlatformWindows:
    case platform::kPlatformNT:
      // The system's own folder, wherever Windows was installed.
      return p.SystemDirectory() + "\\shdocvw.dll";
    default:
      return "";
  }
}

std::uint32_t EmulationMode(const std::string& version) {
  int major = 0;
  size_t i = 0;
  for (; i < version.size() && i < 3 && version[i] >= '0' && version[i] <= '9'; ++i)
    major = major * 10 + (version[i] - '0');
  if (i == 0 || (i < version.size() && version[i] >= '0' && version[i] <= '9')) return 0;
  if (major >= 11) return 11001;  // the newest standards mode, whatever the page declares
  if (major == 10) return 10001;
  if (major == 9) return 9999;
  if (major == 8) return 8888;
  return 0;
}

void AskForTheNewestEngine() {
  auto& p = platform::Get();
  const platform::OsVersion v = p.GetVersionEx();
  if (v.platformId != platform::kPlatformNT || v.major < 6) return;
  // Internet Explorer 10 and later name themselves in svcVersion ("Version"
  // stays 9.11…); the earlier ones in Version.
  std::uint32_t mode = 0;
  {
    platform::RegKey ie;
    if (p.RegOpenKeyEx(platform::kHkeyLocalMachine, "Software\\Microsoft\\Internet Explorer",
                       platform::kKeyRead, *ie.put()) != 0)
      return;
    for (const char* name : {"svcVersion", "Version"}) {
      platform::RegValue value;
      if (p.RegQueryValueEx(ie.get(), name, value) != 0 || value.type != platform::kRegSz) continue;
      mode = EmulationMode(value.data.substr(0, value.data.find('\0')));
      if (mode) break;
    }
  }
  if (!mode) return;
  std::string exe = p.ExecutablePath();
  exe = exe.substr(exe.find_last_of("\\/") + 1);
  if (exe.empty()) return;
  platform::RegKey key;
  if (p.RegCreateKeyEx(platform::kHkeyCurrentUser, kFeatureControlKey, platform::kKeyAllAccess, *key.put()) != 0)
    return;
  std::string bytes(4, '\0');
  for (int b = 0; b < 4; ++b) bytes[b] = static_cast<char>((mode >> (8 * b)) & 0xFF);
  platform::RegValue now;
  if (p.RegQueryValueEx(key.get(), exe, now) == 0 && now.type == platform::kRegDword && now.data == bytes) return;
  p.RegSetValueEx(key.get(), exe, platform::RegValue{platform::kRegDword, bytes});
}

TForm18* OpenBrowser(tk::Component* owner, tk::MenuItem* menuItem) {
  std::string path = PresenceTestPath();
  // A warning only: the window opens all the same.
  if (!path.empty() && !platform::Get().FileExists(path))
    tk::Application::Instance().ShowMessage("Internet Explorer4.0以上をインストールして下さい。");
  AskForTheNewestEngine();  // before the control is made
  Form18.Show(owner, menuItem);
  return Form18;
}

}  // namespace browser

TForm18::TForm18(tk::Component* owner, tk::MenuItem* menuItem)
    : tk::Form(owner), menuItem_(menuItem) {
  Name = "Form18";
  Border = tk::BorderStyle::Sizeable;
  AppWindow = true;
  SetCaption("Kivo-WebExplorer Ver1.0");
  auto bind = [this](void (TForm18::*h)(tk::Component*)) {
    return [this, h](tk::Component* s) { (this->*h)(s); };
  };
  MainMenu1 = new tk::MainMenu(this, "MainMenu1");
  auto& root = MainMenu1->Items();
  File1 = root.Add("File1", "ファイル(&F)");
  Open1 = File1->Add("Open1", "開く(&O)", bind(&TForm18::Open1Click));
  N1 = File1->Add("N1", "アプリケーションの終了(&E)", bind(&TForm18::N1Click));
  Tools1 = root.Add("Tools1", "ツール(&T)");
  N2 = Tools1->Add("N2", "インターネットオプション(&O)", bind(&TForm18::N2Click));
  Help1 = root.Add("Help1", "ヘルプ(&H)");
  About1 = Help1->Add("About1", "バージョン情報(&V)", bind(&TForm18::About1Click));
  SetMenu(MainMenu1);
  int dx, dy;
  FrameSize(Border, true, dx, dy);
  SetClientSize(758 - dx, 508 - dy);
  Panel1 = new tk::Panel(this, "Panel1", {0, 0, ClientWidth(), kPanelHeight});
  Label1 = new tk::Label(this, "Label1", {24, 12, 28, 12}, "URL");
  ComboBox1 = new tk::ComboBox(this, "ComboBox1", {56, 8, 329, 20}, false);
  // The buttons' glyphs; they have no captions of their own.
  auto speed = [&](const char* name, tk::Rect r, const char* glyph, const char* hint,
                   void (TForm18::*h)(tk::Component*)) {
    auto* b = new tk::Button(this, name, r, glyph);
    b->Hint = hint;
    b->OnClick = bind(h);
    return b;
  };
  SpeedButton3 = speed("SpeedButton3", {400, 7, 23, 22}, "→", "ページを移動します。", &TForm18::SpeedButton3Click);
  SpeedButton2 = speed("SpeedButton2", {488, 6, 23, 25}, "◀", "", &TForm18::SpeedButton2Click);
  SpeedButton1 = speed("SpeedButton1", {516, 6, 23, 25}, "▶", "", &TForm18::SpeedButton1Click);
  SpeedButton4 = speed("SpeedButton4", {544, 6, 23, 25}, "■", "中止します。", &TForm18::SpeedButton4Click);
  SpeedButton5 = speed("SpeedButton5", {572, 6, 23, 25}, "⌂", "ホームに戻ります。", &TForm18::SpeedButton5Click);
  SpeedButton6 = speed("SpeedButton6", {600, 6, 23, 25}, "↻", "現在のページを更新します。", &TForm18::SpeedButton6Click);
  CppWebBrowser1 = new tk::WebBrowser(
      this, "CppWebBrowser1", {0, kPanelHeight, ClientWidth(), ClientHeight() - kPanelHeight - kStatusHeight});
  CppWebBrowser1->OnCommandStateChange = [this](tk::Component* s, long c, bool e) {
    CppWebBrowser1CommandStateChange(s, c, e);
  };
  StatusBar1 = new tk::StatusBar(this, "StatusBar1", {0, ClientHeight() - kStatusHeight, ClientWidth(), kStatusHeight});
  StatusBar1->SetSimplePanel(true);
  OpenDialog1 = new tk::OpenDialog(this, "OpenDialog1");
  OpenDialog1->Filter = "htmlファイル(*.htm *.html)|*.htm;*.html|すべてのファイル(*.*)|*.*";
  OnCreate = bind(&TForm18::FormCreate);
  OnShow = bind(&TForm18::FormShow);
  OnResize = bind(&TForm18::FormResize);
  OnCloseQuery = [this](tk::Component* s, bool& c) { FormCloseQuery(s, c); };
}

TForm18::~TForm18() = default;

void TForm18::FormCreate(tk::Component*) {
  platform::Get().DisableIme(ComboBox1->Handle());
  {
    settings::SettingsStore store;
    tk::Rect r = Bounds();
    settings::ReadPosition(store, key::F18, r.left, r.top, 0, r.width, r.height);
    SetBounds(r);
    ComboBox1->SetText(store.ReadString(key::F20, key::HomePage, browser::kDefaultHomePage));
  }
  menuItem_->SetEnabled(false);
  // Without a browser engine the window still opens; its status says so.
  if (!CppWebBrowser1->Available()) StatusBar1->SetSimpleText("ブラウザコントロールを作成できません");
  // From Vista on a page's script errors do not come up as boxes.
  const platform::OsVersion v = platform::Get().GetVersionEx();
  if (v.platformId == platform::kPlatformNT && v.major >= 6) CppWebBrowser1->Quiet();
  CppWebBrowser1->Navigate(ComboBox1->Text());
  ApplyStyle();  // AppWindow: a taskbar button of its own
}

void TForm18::FormShow(tk::Component*) {
  bool maximised;
  {
    settings::SettingsStore store;
    tk::Rect r = Bounds();
    maximised = settings::ReadSize(store, key::F18, r.width, r.height);
    settings::KeepOnWorkArea(r.left, r.top, r.width, r.height);
    SetBounds(r);
  }
  SetWindowState(maximised ? tk::WindowState::Maximized : tk::WindowState::Normal);
  platform::Get().OpenIme(Handle());
}

// The address row on top, the status bar at the bottom, the page between.
void TForm18::FormResize(tk::Component*) {
  const int w = ShownClientWidth(), h = ShownClientHeight();
  Panel1->SetBounds({0, 0, w, kPanelHeight});
  CppWebBrowser1->SetBounds({0, kPanelHeight, w, std::max(0, h - kPanelHeight - kStatusHeight)});
  StatusBar1->SetBounds({0, std::max(0, h - kStatusHeight), w, kStatusHeight});
}

void TForm18::SpeedButton3Click(tk::Component*) {
  const std::string url = ComboBox1->Text();
  std::vector<std::string> history = ComboBox1->Items();
  history.push_back(url);  // neither de-duplicated nor bounded, empty too
  ComboBox1->SetItems(history);
  ComboBox1->SetText(url);
  CppWebBrowser1->Navigate(url);
}

void TForm18::SpeedButton2Click(tk::Component*) { CppWebBrowser1->GoBack(); }
void TForm18::SpeedButton1Click(tk::Component*) { CppWebBrowser1->GoForward(); }
void TForm18::SpeedButton4Click(tk::Component*) { CppWebBrowser1->Stop(); }
void TForm18::SpeedButton5Click(tk::Component*) { CppWebBrowser1->GoHome(); }
void TForm18::SpeedButton6Click(tk::Component*) { CppWebBrowser1->Refresh(); }

void TForm18::CppWebBrowser1CommandStateChange(tk::Component*, long command, bool) {
  switch (command) {
    case kCscUpdateCommands: StatusBar1->SetSimpleText("Navigate UPDATE"); break;
    case kCscNavigateForward: StatusBar1->SetSimpleText("Navigate Fwd"); break;
    case kCscNavigateBack: StatusBar1->SetSimpleText("Navigate Back"); break;
    default: break;
  }
}

void TForm18::Open1Click(tk::Component*) {
  if (OpenDialog1->Execute()) ComboBox1->SetText(OpenDialog1->FileName);
}

void TForm18::N1Click(tk::Component*) { Close(); }

void TForm18::N2Click(tk::Component*) {
  Form20.ShowModal(this);
}

void TForm18::About1Click(tk::Component*) {
  AboutBox3.ShowModal(this);
}

void TForm18::FormCloseQuery(tk::Component*, bool& canClose) {
  platform::Get().DisableIme(Handle());
  {
    settings::SettingsStore store;
    settings::WritePlacement(store, key::F18, Left(), Top(),
                             GetWindowState() == tk::WindowState::Maximized, Width(), Height());
  }
  menuItem_->SetEnabled(true);
  Release();
  canClose = true;
}
