#include "viewer/capture.h"

#include "platform/platform.h"
#include "viewer/bmp.h"

TForm24* Form24 = nullptr;

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

bool Capture(const std::vector<KeyCall>& keys, platform::Handle window, platform::Handle owner) {
  if (keys.empty()) return false;
  auto& p = platform::Get();
  auto& app = tk::Application::Instance();
  const std::uint32_t before = p.GetClipboardSequenceNumber();
  for (const KeyCall& k : keys) p.KeybdEvent(k.vk, k.scan, k.flags);
  // Systems without the sequence number (95, 98, NT 4) have the Print Screen
  // handling: their picture is trusted.
  if (before == 0) return true;
  // The system handles the keys asynchronously: give it a moment.
  const std::uint32_t start = p.GetTickCount();
  for (;;) {
    if (p.GetClipboardSequenceNumber() != before) return true;
    std::uint32_t elapsed = p.GetTickCount() - start;
    if (elapsed >= kClipboardWaitMs) break;
    if (p.MsgWaitForObject(0, kClipboardWaitMs - elapsed) == platform::kWaitMessage)
      app.ProcessMessages();
  }
  platform::Bitmap picture;
  if (!p.CaptureScreen(window, picture)) return false;
  Pixels pixels{picture.width, picture.height, std::move(picture.bgr)};
  return p.SetClipboardDib(owner, EncodeDib(pixels));
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
  Button1->OnClick = [this](tk::Component* s) { Button1Click(s); };
  Button2->OnClick = [this](tk::Component* s) { Button2Click(s); };
  Button3->OnClick = [this](tk::Component* s) { Button3Click(s); };
  ListBox1->OnClick = [this](tk::Component* s) { ListBox1Click(s); };
  ListBox1->OnDblClick = [this](tk::Component* s) { ListBox1DblClick(s); };
  OnCloseQuery = [this](tk::Component* s, bool& c) { FormCloseQuery(s, c); };
}

TForm24::~TForm24() {
  if (Form24 == this) Form24 = nullptr;
}

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
  viewer::Capture(viewer::CaptureKeys(viewer::CaptureCommand::ActiveWindow, family_), target,
                  Handle());
}

void TForm24::Button1Click(tk::Component*) { Close(); }

void TForm24::FormCloseQuery(tk::Component*, bool& canClose) {
  canClose = true;
  Release();
}
