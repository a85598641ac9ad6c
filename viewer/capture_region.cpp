#include "viewer/capture_region.h"

#include <algorithm>
#include <array>
#include <utility>

#include "settings/keys.h"
#include "settings/settings_store.h"
#include "viewer/capture.h"

tk::FormSlot<TForm29> Form29("Form29");

namespace viewer {

namespace {
namespace key = settings::key;

constexpr const char* kCaption = "Kivo-Config For Windows";
constexpr const char* kRegionTitle = "Region";  // the name pattern's %T

ScreenRect RectOf(const std::array<int, 4>& r) { return ScreenRect{r[0], r[1], r[2], r[3]}; }

void Say(const std::string& text) {
  tk::Application::Instance().MessageBox(text, kCaption, tk::mbOk | tk::mbIconExclamation);
}

// The picture where captures go, the settings' problems said afterwards.
RegionOutcome Deliver(const Pixels& pixels, tk::Form* owner, StoredCaptureSettings& stored) {
  std::string failure;
  const bool taken = DeliverCapture(pixels, owner ? owner->Handle() : 0, kRegionTitle, stored, failure);
  ReportCapture(stored, failure);
  return taken ? RegionOutcome::Taken : RegionOutcome::Failed;
}

// The screen's pixels, or a message why there are none.
bool TakeScreen(platform::Bitmap& screen, StoredCaptureSettings& stored) {
  if (platform::Get().CaptureScreen(0, screen, stored.settings.cursor) && screen.width > 0 && screen.height > 0 &&
      screen.bgr.size() >= static_cast<size_t>(screen.width) * static_cast<size_t>(screen.height) * 3)
    return true;
  ReportCapture(stored, "キャプチャできません。\r\n画面の画像を取得できません");
  return false;
}

// The region on the screen: clipped to the picture of the whole screen too,
// which the system may make smaller than the virtual screen it reports.
ScreenRect OnScreen(const ScreenRect& region, const ScreenRect& screen, const platform::Bitmap* picture) {
  ScreenRect r = ClipRegion(region, screen);
  if (picture && r.Width() > 0)
    r = ClipRegion(r, ScreenRect{screen.left, screen.top, screen.left + picture->width, screen.top + picture->height});
  return r;
}
}  // namespace

Pixels CropRegion(const Pixels& screen, int originX, int originY, const ScreenRect& region) {
  return CropToMonitor(screen, ScreenRect{originX, originY, originX + screen.width, originY + screen.height}, region);
}

std::optional<ScreenRect> ReadLastRegion() {
  try {
    settings::SettingsStore store;
    ScreenRect r;
    if (ParseRegion(store.ReadString(key::Capture, key::Region, ""), r)) return r;
  } catch (const settings::StoreError&) {
    // another type: no last region
  }
  return std::nullopt;
}

void WriteLastRegion(const ScreenRect& region) {
  settings::SettingsStore store;
  store.WriteString(key::Capture, key::Region, FormatRegion(region));
}

RegionOutcome CheckLastRegion() {
  const std::optional<ScreenRect> last = ReadLastRegion();
  if (!last) return RegionOutcome::NoLastRegion;
  if (OnScreen(*last, RectOf(platform::Get().VirtualScreen()), nullptr).Width() <= 0) return RegionOutcome::OffScreen;
  return RegionOutcome::Taken;
}

namespace {
// The menu the capture was chosen from has just closed (a tray menu, the
// viewer's menu bar): what lay beneath it is painted anew before the screen
// is taken, or the still picture would show the menu. The windows beneath
// are not always told (under Wine the menu's pixels stayed), so every window
// is asked to paint again: this program's own as its messages are handled,
// other programs' in their own time, waited for up to half a second.
void WaitForRepaint() {
  constexpr std::uint32_t kMostMs = 500, kStepMs = 15;
  auto& p = platform::Get();
  const std::uint32_t start = p.GetTickCount();
  tk::Application::Instance().ProcessMessages();  // the menu's loop ends
  p.RepaintScreen();
  for (;;) {
    tk::Application::Instance().ProcessMessages();
    if (!p.ScreenPaintPending() || p.GetTickCount() - start >= kMostMs) return;
    p.MsgWaitForObject(0, kStepMs);
  }
}
}  // namespace

RegionOutcome CaptureRegion(tk::Form* owner) {
  auto& p = platform::Get();
  // One overlay at a time: a second would take the first one's picture.
  static bool waiting = false;
  if (Form29 || waiting) {
    if (Form29) Form29->BringToFront();
    return RegionOutcome::Cancelled;
  }
  // The owner stays while messages are handled here and in the overlay.
  std::optional<tk::Form::Hold> hold;
  if (owner) hold.emplace(*owner);
  {
    struct Waiting {
      Waiting() { waiting = true; }
      ~Waiting() { waiting = false; }
    } meanwhile;
    WaitForRepaint();
  }
  StoredCaptureSettings stored;
  ReadCaptureSettings(stored, kCaptureToFile | kCaptureCursor);
  TForm29::Result result;
  {
    platform::Bitmap screen;
    if (!TakeScreen(screen, stored)) return RegionOutcome::Failed;
    const ScreenRect virtualScreen = RectOf(p.VirtualScreen());
    // Made, shown and gone here: both copies of the screen go with it.
    TForm29* overlay = nullptr;
    try {
      overlay = new TForm29(owner, std::move(screen), virtualScreen.left, virtualScreen.top, result);
    } catch (const tk::Error& e) {  // no memory for the shown picture
      ReportCapture(stored, std::string("キャプチャできません。\r\n") + e.what());
      return RegionOutcome::Failed;
    }
    Form29 = overlay;
    overlay->DoCreate();
    overlay->ShowModal();
    delete overlay;
  }
  if (!result.region) return RegionOutcome::Cancelled;
  WriteLastRegion(*result.region);
  return Deliver(result.pixels, owner, stored);
}

RegionOutcome CaptureLastRegion(tk::Form* owner, bool silent) {
  auto& p = platform::Get();
  const std::optional<ScreenRect> last = ReadLastRegion();
  if (!last) {
    if (!silent)
      Say("前回の範囲がまだありません。\r\n範囲キャプチャで範囲を選ぶと、次からはその範囲をそのまま取れます。");
    return RegionOutcome::NoLastRegion;
  }
  const ScreenRect virtualScreen = RectOf(p.VirtualScreen());
  auto offScreen = [&] {
    if (!silent)
      Say("前回の範囲 (" + FormatRegion(*last) + ") はどのモニタにも入っていません。\r\n"
          "範囲キャプチャで範囲を選び直してください。");
    return RegionOutcome::OffScreen;
  };
  if (OnScreen(*last, virtualScreen, nullptr).Width() <= 0) return offScreen();
  StoredCaptureSettings stored;
  ReadCaptureSettings(stored, kCaptureToFile | kCaptureCursor);
  Pixels pixels;
  {
    platform::Bitmap screen;
    if (!TakeScreen(screen, stored)) return RegionOutcome::Failed;
    const ScreenRect region = OnScreen(*last, virtualScreen, &screen);
    if (region.Width() <= 0) return offScreen();
    const int w = screen.width, h = screen.height;
    pixels = CropRegion(Pixels{w, h, std::move(screen.bgr)}, virtualScreen.left, virtualScreen.top, region);
  }
  return Deliver(pixels, owner, stored);
}

}  // namespace viewer

// ---------------------------------------------------------------- the overlay
namespace {
constexpr unsigned kVkLeft = 0x25, kVkUp = 0x26, kVkRight = 0x27, kVkDown = 0x28, kVkShift = 0x10;
}  // namespace

TForm29::TForm29(tk::Component* owner, platform::Bitmap screen, int originX, int originY, Result& result)
    : tk::Form(owner), screen_(std::move(screen)), originX_(originX), originY_(originY), result_(result) {
  Name = "Form29";
  Border = tk::BorderStyle::None;
  PixelExact = true;
  StayOnTop = true;
  Cursor = tk::crCross;
  SetColor(tk::clBlack);
  SetCaption("範囲キャプチャ");
  SetBounds({originX_, originY_, screen_.width, screen_.height});
  SetClientSize(screen_.width, screen_.height);
  // The shown picture starts darkened all over.
  shown_ = tk::Picture::Create(screen_.width, screen_.height);
  for (int y = 0; y < screen_.height; ++y) {
    const std::uint8_t* from = &screen_.bgr[static_cast<size_t>(y) * static_cast<size_t>(screen_.width) * 3];
    std::uint8_t* to = shown_->Row(y);
    for (size_t i = 0, n = static_cast<size_t>(screen_.width) * 3; i < n; ++i) to[i] = viewer::Darkened(from[i]);
  }
  Image1 = new tk::Image(this, "Image1", {0, 0, screen_.width, screen_.height});
  Image1->MouseThrough = true;
  Image1->SetPicture(shown_);
  // The form is in the screen's pixels: the label's size and font are
  // scaled by the screen's DPI here, as the toolkit does for other forms.
  const tk::Dpi dpi{tk::Application::Instance().ScreenDpi()};
  Label1 = new tk::Label(this, "Label1", dpi.Px(tk::Rect{0, 0, 120, 16}), "");
  Label1->MouseThrough = true;
  Label1->ShowAccelChar = false;
  tk::Font font = dpi.Px(Label1->GetFont());
  font.color = tk::clWhite;
  Label1->SetFont(font);
  Label1->SetVisible(false);
  OnKeyDown = [this](tk::Component* s, unsigned& k) { FormKeyDown(s, k); };
  OnShow = [this](tk::Component* s) { FormShow(s); };
}

TForm29::~TForm29() = default;

void TForm29::FormShow(tk::Component*) {
  // Started from the tray or a hotkey: the keys must come here.
  platform::Get().SetForegroundWindow(Handle());
  SetFocus();
}

std::optional<viewer::ScreenRect> TForm29::Dragged() const {
  if (!dragging_) return std::nullopt;
  return viewer::RegionBetween(anchorX_, anchorY_, cornerX_, cornerY_);
}

bool TForm29::WndProc(tk::Message& msg) {
  int x = 0, y = 0;
  tk::MousePoint(msg, x, y);
  x += originX_;
  y += originY_;
  switch (msg.msg) {
    case tk::wmLButtonDown:
      Press(x, y);
      return true;
    case tk::wmMouseMove:
      if (dragging_ && (x != mouseX_ || y != mouseY_)) MoveCorner(x, y);
      mouseX_ = x;
      mouseY_ = y;
      return true;
    case tk::wmLButtonUp:
      if (!dragging_) return true;
      // Where the mouse let go, unless it stayed where the keys left the corner.
      if (x != mouseX_ || y != mouseY_) MoveCorner(x, y);
      Take();
      return true;
    case tk::wmRButtonDown:
      return true;
    case tk::wmRButtonUp:
      // On the release, so that the click ends here and opens no menu beneath.
      Cancel();
      return true;
    default:
      return false;
  }
}

void TForm29::FormKeyDown(tk::Component*, unsigned& key) {
  switch (key) {
    case tk::vkEscape:
      Cancel();
      break;
    case tk::vkReturn:
      if (dragging_) Take();
      break;
    case kVkLeft:
    case kVkRight:
    case kVkUp:
    case kVkDown: {
      if (!dragging_) break;
      std::array<std::uint8_t, 256> keys{};
      const bool shift = platform::Get().GetKeyboardState(keys) && (keys[kVkShift] & 0x80) != 0;
      const int step = shift ? 10 : 1;
      const int dx = key == kVkLeft ? -step : key == kVkRight ? step : 0;
      const int dy = key == kVkUp ? -step : key == kVkDown ? step : 0;
      MoveCorner(cornerX_ + dx, cornerY_ + dy);
      break;
    }
    default:
      return;
  }
  key = 0;
}

void TForm29::Press(int x, int y) {
  mouseX_ = x;
  mouseY_ = y;
  const viewer::ScreenRect before = lit_;
  dragging_ = true;
  anchorX_ = cornerX_ = std::max(originX_, std::min(x, originX_ + screen_.width - 1));
  anchorY_ = cornerY_ = std::max(originY_, std::min(y, originY_ + screen_.height - 1));
  ShowRegion(before, *Dragged());
}

void TForm29::MoveCorner(int x, int y) {
  // The corner stays on the screen's pixels.
  cornerX_ = std::max(originX_, std::min(x, originX_ + screen_.width - 1));
  cornerY_ = std::max(originY_, std::min(y, originY_ + screen_.height - 1));
  ShowRegion(lit_, *Dragged());
}

void TForm29::Take() {
  const std::optional<viewer::ScreenRect> region = Dragged();
  if (!region) return;
  result_.region = region;
  const int w = screen_.width, h = screen_.height;
  result_.pixels = viewer::CropRegion(viewer::Pixels{w, h, std::move(screen_.bgr)}, originX_, originY_, *region);
  screen_ = platform::Bitmap{};
  ModalResult = tk::mrOk;
}

void TForm29::Cancel() {
  result_.region.reset();
  ModalResult = tk::mrCancel;
}

void TForm29::ShowRegion(const viewer::ScreenRect& before, const viewer::ScreenRect& now) {
  lit_ = now;
  // Only what changes is drawn again: the union of both rectangles, in the
  // picture's coordinates.
  viewer::ScreenRect changed = now;
  if (before.Width() > 0 && before.Height() > 0)
    changed = viewer::ScreenRect{std::min(before.left, now.left), std::min(before.top, now.top),
                                 std::max(before.right, now.right), std::max(before.bottom, now.bottom)};
  const int left = std::max(0, changed.left - originX_), top = std::max(0, changed.top - originY_);
  const int right = std::min(screen_.width, changed.right - originX_);
  const int bottom = std::min(screen_.height, changed.bottom - originY_);
  const int litLeft = now.left - originX_, litRight = now.right - originX_;
  const int litTop = now.top - originY_, litBottom = now.bottom - originY_;
  for (int y = top; y < bottom; ++y) {
    const std::uint8_t* from = &screen_.bgr[static_cast<size_t>(y) * static_cast<size_t>(screen_.width) * 3];
    std::uint8_t* to = shown_->Row(y);
    const bool rowLit = y >= litTop && y < litBottom;
    for (int x = left; x < right; ++x) {
      const bool bright = rowLit && x >= litLeft && x < litRight;
      for (int c = 0; c < 3; ++c) {
        const size_t i = static_cast<size_t>(x) * 3 + static_cast<size_t>(c);
        to[i] = bright ? from[i] : viewer::Darkened(from[i]);
      }
    }
  }
  Image1->PictureChanged();
  PlaceLabel(now);
}

void TForm29::PlaceLabel(const viewer::ScreenRect& region) {
  Label1->SetCaption(std::to_string(region.Width()) + " × " + std::to_string(region.Height()));
  // Below the rectangle, else above it, else inside its top.
  const int h = Label1->Height();
  const int gap = tk::Dpi{tk::Application::Instance().ScreenDpi()}.Px(4);
  int top = region.bottom - originY_ + gap;
  if (top + h > screen_.height) top = region.top - originY_ - h - gap;
  if (top < 0) top = region.top - originY_ + gap;
  const int left = std::max(0, std::min(region.left - originX_, screen_.width - Label1->Width()));
  Label1->SetBounds({left, top, Label1->Width(), h});
  Label1->SetVisible(true);
}
