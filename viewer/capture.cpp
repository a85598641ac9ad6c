#include "viewer/capture.h"

#include <algorithm>

#include "platform/platform.h"
#include "settings/keys.h"
#include "settings/settings_store.h"
#include "viewer/capture_delay.h"
#include "viewer/bmp.h"
#include "viewer/jpeg.h"
#include "viewer/png.h"

tk::FormSlot<TForm24> Form24("Form24");

namespace viewer {

namespace {
constexpr std::uint8_t kSnapshot = 0x2C;
constexpr std::uint8_t kLeftAlt = 0xA4;
constexpr std::uint32_t kDown = 1;  // extended
constexpr std::uint32_t kUp = 3;    // extended, key up
}  // namespace

std::vector<KeyCall> CaptureKeys(CaptureCommand command, unsigned family) {
  switch (command) {
    case CaptureCommand::ActiveWindow:
      if (family == 1) return {{kSnapshot, 0, kDown}, {kSnapshot, 0, kUp}};
      if (family == 2)
        return {{kLeftAlt, 0x56, kDown}, {kSnapshot, 0x79, kDown}, {kLeftAlt, 0x56, kUp},
                {kSnapshot, 0x79, kUp}};
      return {};
    case CaptureCommand::Desktop:
      if (family == 1) return {{kSnapshot, 1, kDown}, {kSnapshot, 1, kUp}};
      if (family == 2) return {{kSnapshot, 0x79, kDown}, {kSnapshot, 0x79, kUp}};
      return {};
    case CaptureCommand::ViewerWindow:
      return {{kSnapshot, 0, kDown}, {kSnapshot, 0, kUp}};
    case CaptureCommand::ViewerDesktop:
      return {{kSnapshot, 1, kDown}, {kSnapshot, 1, kUp}};
  }
  return {};
}

namespace {
namespace key = settings::key;

// Pumps messages until the clipboard changes or the wait is over; true when
// it changed. Without a sequence number (95, 98, NT 4) it waits the whole
// time and trusts the system's Print Screen handling.
bool WaitForClipboard(std::uint32_t before) {
  auto& p = platform::Get();
  const std::uint32_t start = p.GetTickCount();
  for (;;) {
    if (before != 0 && p.GetClipboardSequenceNumber() != before) return true;
    std::uint32_t elapsed = p.GetTickCount() - start;
    if (elapsed >= kClipboardWaitMs) return before == 0;
    if (p.MsgWaitForObject(0, kClipboardWaitMs - elapsed) == platform::kWaitMessage)
      tk::Application::Instance().ProcessMessages();
  }
}

ScreenRect RectOf(const std::array<int, 4>& r) { return ScreenRect{r[0], r[1], r[2], r[3]}; }

// From Vista on the program takes the screen itself instead of pressing
// Print Screen: the key's handler may belong to another program (Windows 11
// gives it to its snipping tool), and the system's picture of a window there
// holds the invisible resize border around it.
bool TakesTheScreenItself(platform::Platform& p) {
  const platform::OsVersion v = p.GetVersionEx();
  return v.platformId == platform::kPlatformNT && v.major >= 6;
}
}  // namespace

void ReadCaptureSettings(StoredCaptureSettings& into, unsigned parts) {
  settings::SettingsStore store;
  CaptureFileSettings& s = into.settings;
  const CaptureFileSettings defaults;
  // Each value on its own: one the store cannot read keeps its default.
  auto read = [&](const char* ident, auto readValue) {
    try {
      readValue();
    } catch (const settings::StoreError& e) {
      into.unreadable.push_back(ident);
      into.problems.push_back(std::string(e.what()) + " (" + key::Capture + "\\" + ident + ")");
    }
  };
  if (parts & kCaptureToFile) {
    s.toFile = defaults.toFile;
    read(key::ToFile, [&] { s.toFile = store.ReadBool(key::Capture, key::ToFile, defaults.toFile); });
  }
  if (parts & kCaptureMonitor) {
    s.monitor = defaults.monitor;
    read(key::Monitor, [&] { s.monitor = store.ReadInteger(key::Capture, key::Monitor, 0) == 1 ? 1 : 0; });
  }
  if (parts & kCaptureCursor) {
    s.cursor = defaults.cursor;
    read(key::Cursor, [&] { s.cursor = store.ReadBool(key::Capture, key::Cursor, defaults.cursor); });
  }
  if (parts & kCaptureDelay) {
    s.delay = defaults.delay;
    read(key::Delay, [&] { s.delay = NormalDelay(store.ReadInteger(key::Capture, key::Delay, 0)); });
  }
  if (parts & kCaptureFileSettings) {
    s.folder = defaults.folder;
    s.pattern = defaults.pattern;
    s.format = defaults.format;
    s.quality = defaults.quality;
    read(key::Folder, [&] { s.folder = store.ReadString(key::Capture, key::Folder, ""); });
    read(key::Pattern, [&] { s.pattern = store.ReadString(key::Capture, key::Pattern, kDefaultPattern); });
    read(key::Format, [&] { s.format = NormalFormat(store.ReadString(key::Capture, key::Format, "png")); });
    read(key::Quality, [&] {
      s.quality = std::max(1, std::min(100, static_cast<int>(store.ReadInteger(key::Capture, key::Quality, 90))));
    });
  }
}

StoredCaptureSettings ReadCaptureSettings() {
  StoredCaptureSettings stored;
  ReadCaptureSettings(stored, kCaptureAllSettings);
  return stored;
}

void WriteCaptureSettings(const CaptureFileSettings& s, const std::vector<std::string>& keep) {
  settings::SettingsStore store;
  auto write = [&](const char* ident, const std::string& text) {
    if (std::find(keep.begin(), keep.end(), ident) == keep.end()) store.WriteString(key::Capture, ident, text);
  };
  write(key::ToFile, s.toFile ? "1" : "0");
  write(key::Folder, s.folder);
  write(key::Pattern, s.pattern);
  write(key::Format, NormalFormat(s.format));
  write(key::Quality, std::to_string(s.quality));
  write(key::Monitor, std::to_string(s.monitor));
  write(key::Cursor, s.cursor ? "1" : "0");
  write(key::Delay, std::to_string(NormalDelay(s.delay)));
}

std::string DefaultCaptureFolder() {
  auto& p = platform::Get();
  std::string pictures = p.PicturesFolder();
  if (!pictures.empty()) return pictures;
  std::string exe = p.ExecutablePath();
  size_t slash = exe.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : exe.substr(0, slash);
}

std::string CaptureFolder(const CaptureFileSettings& s) {
  return s.folder.empty() ? DefaultCaptureFolder() : s.folder;
}

std::string SaveCapture(const Pixels& pixels, const CaptureFileSettings& s, const std::string& title) {
  auto& p = platform::Get();
  const std::string folder = CaptureFolder(s);
  std::string data = s.format == "jpg"   ? EncodeJpeg(pixels, s.quality)
                     : s.format == "bmp" ? EncodeBmp(pixels)
                                         : EncodePng(pixels);
  const std::string name = ExpandPattern(s.pattern, TimeOfDays(p.Now()), CaptureSubject{title, pixels.width, pixels.height});
  const std::string ext = FormatExtension(s.format);
  // A name another capture (or anyone) takes meanwhile is never overwritten:
  // the file is made only where none is, and the next counter is tried.
  for (int n = 1; n <= kMaxCounter; ++n) {
    std::string path = JoinPath(folder, n == 1 ? name + ext : name + "_" + std::to_string(n) + ext);
    if (platform::SaveNewFile(p, path, data)) return path;
    std::uint32_t error = p.GetLastError();
    if (error != 80 && error != 183)  // ERROR_FILE_EXISTS, ERROR_ALREADY_EXISTS
      throw PictureError("キャプチャを保存できません。\r\nフォルダ: " + folder + "\r\n" + p.ErrorText(error));
  }
  throw PictureError("キャプチャを保存できません。\r\nフォルダ: " + folder +
                     "\r\n同じ名前のファイルが多すぎます: " + name + ext);
}

namespace {
// The file of a picture already on the clipboard, its settings read only now:
// the clipboard has the picture whatever happens to the file.
void SaveToFile(const Pixels& pixels, const std::string& title, StoredCaptureSettings& stored,
                std::string& failure) {
  ReadCaptureSettings(stored, kCaptureFileSettings);
  try {
    SaveCapture(pixels, stored.settings, title);
  } catch (const PictureError& e) {
    failure = e.what();
  }
}

// The capture itself; the settings' problems and why no file was written
// (failure) are for the caller to show.
bool TakeCapture(const std::vector<KeyCall>& keys, platform::Handle window, platform::Handle owner,
                 StoredCaptureSettings& stored, std::string& failure) {
  auto& p = platform::Get();
  // Only the monitor under the mouse: a desktop picture is cut to it.
  ReadCaptureSettings(stored, window == 0 ? kCaptureToFile | kCaptureMonitor | kCaptureCursor : kCaptureToFile);
  const bool toFile = stored.settings.toFile;
  const bool oneMonitor = window == 0 && stored.settings.monitor == 1;
  const bool itself = TakesTheScreenItself(p);
  const std::uint32_t before = p.GetClipboardSequenceNumber();
  if (!itself)
    for (const KeyCall& k : keys) p.KeybdEvent(k.vk, k.scan, k.flags);
  // Without the sequence number (95, 98, NT 4) the system's Print Screen
  // handling is trusted as long as only the clipboard wants the picture.
  // The cursor is drawn by the program: the system's Print Screen leaves it out.
  const bool withCursor = window == 0 && stored.settings.cursor;
  const bool needPixels = toFile || oneMonitor || withCursor;
  if (!itself && before == 0 && !needPixels) {
    // A message about the settings waits until the system's picture is
    // taken, so that it is neither in the picture nor the active window.
    if (!stored.problems.empty()) WaitForClipboard(before);
    return true;
  }
  // Only a changed sequence number proves the clipboard's picture new: without
  // one (95, 98, NT 4), or with a picture that cannot be read, the program
  // takes the screen itself. The wait still lets the system's own picture
  // land first, so that it does not replace the program's afterwards.
  const bool systemMade = !itself && WaitForClipboard(before) && before != 0 && !withCursor;
  Pixels pixels;
  bool fromSystem = false;
  if (systemMade) {
    if (!needPixels) return true;
    std::string dib;
    if (p.GetClipboardDib(dib)) {
      try {
        pixels = DecodeDib(reinterpret_cast<const std::uint8_t*>(dib.data()), dib.size());
        fromSystem = true;
      } catch (const PictureError&) {
        // taken again below
      }
    }
  }
  if (!fromSystem) {
    platform::Bitmap picture;
    if (!p.CaptureScreen(window, picture, withCursor)) {
      if (toFile) failure = "キャプチャを保存できません。\r\n画面の画像を取得できません";
      return false;
    }
    pixels = Pixels{picture.width, picture.height, std::move(picture.bgr)};
  }
  if (oneMonitor)
    pixels = CropToMonitor(pixels, RectOf(p.VirtualScreen()), RectOf(p.MonitorAt(p.GetCursorPos())));
  const std::string title = window ? p.GetWindowText(window) : std::string("Desktop");
  if (!fromSystem || oneMonitor) return DeliverCapture(pixels, owner, title, stored, failure);
  if (toFile) SaveToFile(pixels, title, stored, failure);
  return true;
}
}  // namespace

bool DeliverCapture(const Pixels& pixels, platform::Handle owner, const std::string& title,
                    StoredCaptureSettings& stored, std::string& failure) {
  // As a bitmap and as PNG, for every program that pastes; neither copy
  // outlives the call.
  if (!platform::Get().SetClipboardPicture(owner, EncodeDib(pixels), EncodePng(pixels))) return false;
  if (stored.settings.toFile) SaveToFile(pixels, title, stored, failure);
  return true;
}

void ReportCapture(const StoredCaptureSettings& stored, const std::string& failure) {
  std::string text;
  if (!stored.problems.empty()) {
    text = "キャプチャの設定の次の値を読み込めないため、既定値を使いました。";
    for (const std::string& line : stored.problems) text += "\r\n" + line;
  }
  if (!failure.empty()) text += (text.empty() ? "" : "\r\n\r\n") + failure;
  if (!text.empty())
    tk::Application::Instance().MessageBox(text, "Kivo-Config For Windows", tk::mbOk | tk::mbIconExclamation);
}

bool Capture(const std::vector<KeyCall>& keys, platform::Handle window, platform::Handle owner) {
  if (keys.empty()) return false;
  StoredCaptureSettings stored;
  std::string failure;
  const bool taken = TakeCapture(keys, window, owner, stored, failure);
  ReportCapture(stored, failure);
  return taken;
}

}  // namespace viewer

TForm24::TForm24(tk::Component* owner, unsigned family) : tk::Form(owner), family_(family) {
  Name = "Form24";
  Border = tk::BorderStyle::Single;
  Icons.maximize = false;
  Position = tk::FormPosition::ScreenCenter;
  SetCaption("アクティブウィンドウ\u3000キャプチャ");
  SetClientSize(499, 200);
  Label2 = new tk::Label(this, "Label2", {16, 8, 329, 12}, "ウィンドウタイトル");
  Label2->ShowAccelChar = false;
  ListBox1 = new tk::ListBox(this, "ListBox1", {16, 32, 329, 89});
  ListBox1->Sorted = true;
  platform::Get().DisableIme(ListBox1->Handle());
  Button2 = new tk::Button(this, "Button2", {360, 24, 129, 25}, "現在のWindow取得");
  Button2->Hint = "Window取得後、ダブルクリックで選択して下さい";
  Button3 = new tk::Button(this, "Button3", {360, 64, 129, 25}, "キャプチャ");
  Label1 = new tk::Label(this, "Label1", {9, 140, 75, 12}, "対象Window");
  Edit1 = new tk::Edit(this, "Edit1", {88, 136, 257, 20});
  Edit1->ReadOnly = true;
  platform::Get().DisableIme(Edit1->Handle());
  CheckBox1 = new tk::CheckBox(this, "CheckBox1", {9, 168, 190, 17}, "非可視ウィンドウは取得しない");
  Button1 = new tk::Button(this, "Button1", {212, 168, 75, 25}, "閉じる");
  Button1->Cancel = true;
  Button1->OnClick = [this](tk::Component* s) { Button1Click(s); };
  Button2->OnClick = [this](tk::Component* s) { Button2Click(s); };
  Button3->OnClick = [this](tk::Component* s) { Button3Click(s); };
  ListBox1->OnClick = [this](tk::Component* s) { ListBox1Click(s); };
  ListBox1->OnDblClick = [this](tk::Component* s) { ListBox1DblClick(s); };
  OnCloseQuery = [this](tk::Component* s, bool& c) { FormCloseQuery(s, c); };
}

TForm24::~TForm24() = default;

void TForm24::Button2Click(tk::Component*) {
  auto& p = platform::Get();
  ListBox1->Clear();
  for (platform::Handle h = p.GetWindow(p.GetDesktopWindow(), platform::kGwChild); h;
       h = p.GetWindow(h, platform::kGwHwndNext)) {
    std::string title = p.GetWindowText(h);
    if (title.empty()) continue;
    std::string entry = title;
    if (!(p.GetWindowStyle(h) & viewer::kWsVisible)) {
      if (CheckBox1->Checked()) continue;
      entry += "(非可視)";
    }
    // Each text once: the list's exact search ignores letter case.
    int same = ListBox1->FindExact(entry);
    if (same >= 0) ListBox1->Delete(same);
    ListBox1->Add(entry);
  }
}

void TForm24::ListBox1Click(tk::Component*) {
  int i = ListBox1->ItemIndex();
  if (i < 0) return;
  selectedTitle_ = ListBox1->Items()[static_cast<size_t>(i)];
  Label2->SetCaption(selectedTitle_);
}

void TForm24::ListBox1DblClick(tk::Component*) {
  int i = ListBox1->ItemIndex();
  if (i < 0) return;
  Edit1->SetText(ListBox1->Items()[static_cast<size_t>(i)]);
}

void TForm24::Button3Click(tk::Component*) {
  auto& app = tk::Application::Instance();
  auto& p = platform::Get();
  if (Edit1->Text().empty()) {
    app.ShowMessage("キャプチャしたいウィンドウが選択されていません！！");
    return;
  }
  app.ShowMessage(selectedTitle_);
  platform::Handle target = 0;
  for (platform::Handle h = p.GetWindow(p.GetDesktopWindow(), platform::kGwChild); h;
       h = p.GetWindow(h, platform::kGwHwndNext))
    if (p.GetWindowText(h) == selectedTitle_) {  // letter case counts here
      target = h;
      break;
    }
  if (!target) return;
  app.ShowMessage("ウィンドウをクリップボードにコピーしました");
  p.SetForegroundWindow(target);
  // After the stored delay, whether this window is still open then or not.
  viewer::RequestCapture(*this, [target, family = family_] {
    viewer::Capture(viewer::CaptureKeys(viewer::CaptureCommand::ActiveWindow, family), target,
                    Form24 ? Form24->Handle() : 0);
  });
}

void TForm24::Button1Click(tk::Component*) { Close(); }

void TForm24::FormCloseQuery(tk::Component*, bool& canClose) {
  canClose = true;
  Release();
}
