// The windows at 125, 150 and 200 % (120, 144, 192 DPI) beside 100 % under
// Wine: each control is
// scaled by the factor, lies inside its window, and no caption is wider than
// the control it is drawn in, measured in the program's own fonts.
#include <cstdlib>
#include <functional>
#include <map>
#include <sstream>

#include "e2e/harness.h"

namespace e2e {
namespace {

constexpr const char* kAbout = "バージョン情報";
constexpr const char* kSettings = "詳細設定";
constexpr const char* kHotkeys = "ホットキーの設定";
constexpr const char* kStopwatch = "Kivo-Config タイマー";
constexpr const char* kRunner = "Kivo-Config Open Application Ver1.0";
constexpr const char* kTimerDialog = "タイマー設定";
constexpr const char* kViewer = "Kivo-Config 画像ビューア Ver1.1";
constexpr const char* kCaptureSettings = "キャプチャの設定";
constexpr int kWmClose = 16;
constexpr unsigned kBsTypeMask = 0xF, kBsCheckBox = 2, kBsAutoCheckBox = 3, kBsRadio = 4,
                   kBsAutoRadio = 9, kBsGroupBox = 7, kSsTypeMask = 0x1F, kSsLeftNoWordWrap = 0xC;

// A child of a window as the driver sees it from outside and as the
// program measures its text inside.
struct Shown {
  Control control;
  unsigned style = 0;
  int textWidth = 0, clientWidth = 0;
};

struct Window {
  std::string title;
  Rect client, outer;  // screen coordinates
  std::vector<Shown> children;
};

class Dpi : public WineTest {
 protected:
  // Starts the program on a Windows version with the display at `dpi`.
  void StartAt(const std::string& version, int dpi) {
    if (started_ > 0) {
      ChooseTrayMenuItem("アプリケーションの終了(&A)");
      ASSERT_TRUE(WaitAppExit(started_ - 1, 20000));
      StopWineserver();
    }
    SetWindowsVersion(version);
    ASSERT_DRIVER_OK(Driver({"reg-set-dword", "Control Panel\\Desktop", "LogPixels", std::to_string(dpi)}));
    // A screen such as people set to 150 %: the default 1024 x 768 would
    // limit the larger windows' size (the system's maximum track size).
    ASSERT_DRIVER_OK(Driver({"reg-set", "Software\\Wine\\Explorer\\Desktops", "Default", "1920x1080"}));
    StopWineserver();  // the desktop takes its size when it starts
    SkipLogo();
    started_ = StartApp() + 1;
    WaitMainWindow();
  }

  Window Read(const std::string& title) {
    Window w;
    w.title = title;
    w.client = ClientRect(title);
    w.outer = WindowRect(title);
    std::vector<Control> controls = Controls(title);
    Result extents = Driver({"text-extents", "--title", title});
    EXPECT_EQ(extents.code, 0) << extents.err;
    std::map<std::string, std::pair<unsigned, std::pair<int, int>>> measured;
    for (const std::string& line : extents.lines()) {
      std::istringstream in(line);
      std::string hwnd, style, text, client;
      std::getline(in, hwnd, '\t');
      std::getline(in, style, '\t');
      std::getline(in, text, '\t');
      std::getline(in, client, '\t');
      measured[hwnd] = {static_cast<unsigned>(std::stoul(style.substr(6), nullptr, 16)),
                        {std::atoi(text.c_str() + 5), std::atoi(client.c_str() + 7)}};
    }
    for (const Control& c : controls) {
      Shown s{c};
      auto it = measured.find(c.hwnd);
      if (it != measured.end()) {
        s.style = it->second.first;
        s.textWidth = it->second.second.first;
        s.clientWidth = it->second.second.second;
      }
      w.children.push_back(s);
    }
    return w;
  }

  void Open(const std::function<void()>& how, const std::string& title) {
    how();
    ASSERT_DRIVER_OK(Driver({"wait", "--title", title, "--visible"}));
  }
  void Close(const std::string& title) {
    ASSERT_DRIVER_OK(Driver({"post", "--title", title, "--msg", std::to_string(kWmClose)}));
    ASSERT_DRIVER_OK(Driver({"wait-gone", "--title", title, "--visible"}));
  }
  void Menu(const std::string& title, const std::string& item) {
    ASSERT_DRIVER_OK(Driver({"menu-command", "--title", title, "--text", item}));
  }
  void Click(const std::string& title, const std::string& text) {
    ASSERT_DRIVER_OK(Driver({"click", "--title", title, "--text", text}));
  }

  // Every window the test looks at, read and closed in turn.
  std::vector<Window> ReadEveryWindow() {
    std::vector<Window> all;
    all.push_back(Read(kMainTitle));
    struct Step {
      std::function<void()> open;
      std::string title;
    };
    const std::vector<Step> steps = {
        {[&] { Menu(kMainTitle, "バージョン情報(&V)"); }, kAbout},
        {[&] { Menu(kMainTitle, "設定(&S)"); }, kSettings},
        {[&] { Menu(kMainTitle, "ホットキーの設定(&K)"); }, kHotkeys},
        {[&] { Click(kMainTitle, "ｽﾄｯﾌﾟｳｫｯﾁ"); }, kStopwatch},
        {[&] { Click(kMainTitle, "Open APL"); }, kRunner},
        {[&] { Menu(kMainTitle, "画像ビューア(&V)"); }, kViewer},
    };
    for (const Step& s : steps) {
      Open(s.open, s.title);
      all.push_back(Read(s.title));
      if (s.title == kRunner) {
        Open([&] { Click(kRunner, "Timer Set"); }, kTimerDialog);
        all.push_back(Read(kTimerDialog));
        Close(kTimerDialog);
      }
      if (s.title == kViewer) {
        Open([&] { Menu(kViewer, "キャプチャの設定(&C)..."); }, kCaptureSettings);
        all.push_back(Read(kCaptureSettings));
        Close(kCaptureSettings);
      }
      Close(s.title);
    }
    return all;
  }

  void CheckScaledOn(const std::string& version, int dpi) {
    StartAt(version, 96);
    ASSERT_FALSE(HasFailure());
    const std::vector<Window> at96 = ReadEveryWindow();
    ASSERT_FALSE(HasFailure());
    StartAt(version, dpi);
    ASSERT_FALSE(HasFailure());
    const std::vector<Window> scaled = ReadEveryWindow();
    ASSERT_FALSE(HasFailure());
    Compare(at96, scaled, dpi / 96.0);
  }
  void Compare(const std::vector<Window>& at96, const std::vector<Window>& scaled, double factor);

  int started_ = 0;  // programs started
};

bool IsCheckOrRadio(unsigned style) {
  unsigned t = style & kBsTypeMask;
  return t == kBsCheckBox || t == kBsAutoCheckBox || t == kBsRadio || t == kBsAutoRadio;
}


void Dpi::Compare(const std::vector<Window>& at96, const std::vector<Window>& scaled, double factor) {
  ASSERT_EQ(at96.size(), scaled.size());
  for (size_t w = 0; w < scaled.size(); ++w) {
    const Window& small = at96[w];
    const Window& large = scaled[w];
    SCOPED_TRACE(large.title);
    // A dialog keeps its client area (scaled); a window that keeps its outer
    // size (the viewer) has the system's frame around it, which does not
    // grow by the same factor.
    auto scaled = [&](int large, int small) { return std::abs(large - small * factor) <= 2; };
    EXPECT_TRUE((scaled(large.client.width(), small.client.width()) &&
                 scaled(large.client.height(), small.client.height())) ||
                (scaled(large.outer.width(), small.outer.width()) &&
                 scaled(large.outer.height(), small.outer.height())))
        << "client " << large.client.width() << "x" << large.client.height() << " scaled, "
        << small.client.width() << "x" << small.client.height() << " at 96; outer " << large.outer.width() << "x"
        << large.outer.height() << ", " << small.outer.width() << "x" << small.outer.height();
    auto names = [](const Window& w) {
      std::string all;
      for (const Shown& c : w.children) all += c.control.cls + " \"" + c.control.text + "\"\n";
      return all;
    };
    ASSERT_EQ(small.children.size(), large.children.size()) << names(small) << "--\n" << names(large);
    // Inside another window of a class: the edit inside a combo box is sized
    // by the box, the content of a scroll box lies inside its border, which
    // the system draws at its own width.
    auto inside = [&](const Control& c, const char* cls) {
      for (const Shown& o : large.children)
        if (o.control.cls == cls && &o.control != &c && c.rect.left >= o.control.rect.left &&
            c.rect.right <= o.control.rect.right && c.rect.top >= o.control.rect.top &&
            c.rect.top <= o.control.rect.bottom)
          return true;
      return false;
    };
    auto inCombo = [&](const Control& c) { return inside(c, "ComboBox"); };
    for (size_t i = 0; i < large.children.size(); ++i) {
      const Control& a = small.children[i].control;
      const Shown& shown = large.children[i];
      const Control& b = shown.control;
      SCOPED_TRACE(b.cls + " \"" + b.text + "\"");
      if (!b.visible) continue;
      // Labels grow to their texts and the status bar and combo boxes
      // take the heights the system gives them: their tops are scaled.
      const bool ownSize =
          b.cls == "Static" || b.cls == "msctls_statusbar32" || b.cls == "ComboBox" || inCombo(b);
      // An edge lies at its place scaled, from the left or top, or from the
      // right or bottom where it keeps to that side of the client area.
      const double slack = inside(b, "KivoScrollBox") ? 3.5 : 1.5;
      auto edge = [&](int large, int small, int largeSide, int smallSide) {
        return std::abs(large - small * factor) <= slack ||
               std::abs((largeSide - large) - (smallSide - small) * factor) <= slack;
      };
      const int lw = large.client.width(), lh = large.client.height();
      const int sw = small.client.width(), sh = small.client.height();
      EXPECT_TRUE(edge(b.rect.top, a.rect.top, lh, sh)) << "top " << b.rect.top << ", " << a.rect.top << " at 96";
      if (!ownSize) {
        EXPECT_TRUE(edge(b.rect.left, a.rect.left, lw, sw)) << "left " << b.rect.left << ", " << a.rect.left;
        EXPECT_TRUE(edge(b.rect.right, a.rect.right, lw, sw)) << "right " << b.rect.right << ", " << a.rect.right;
        EXPECT_TRUE(edge(b.rect.bottom, a.rect.bottom, lh, sh)) << "bottom " << b.rect.bottom << ", " << a.rect.bottom;
      }
      // The controls of the window itself (not of a scrolled box) lie in
      // its client area.
      if (b.rect.right <= large.client.width() + 1 || b.cls != "Static") {
        EXPECT_GE(b.rect.left, 0);
        EXPECT_GE(b.rect.top, 0);
        EXPECT_LE(b.rect.right, large.client.width());
        EXPECT_LE(b.rect.bottom, large.client.height());
      }
      // Captions within their controls: a check box or radio button's
      // text beside its box, a push button's inside its edges, a label's
      // in its own width.
      if (b.text.empty() || shown.clientWidth <= 0) continue;
      if (b.cls == "Button") {
        unsigned type = shown.style & kBsTypeMask;
        if (type == kBsGroupBox) continue;  // its caption is drawn on its frame
        const int room = IsCheckOrRadio(shown.style) ? shown.clientWidth - static_cast<int>(13 * factor) - 3
                                                     : shown.clientWidth - 4;
        EXPECT_LE(shown.textWidth, room) << "the caption is wider than its button";
      } else if (b.cls == "Static") {
        unsigned type = shown.style & kSsTypeMask;
        if (type != kSsLeftNoWordWrap) continue;  // the others wrap

        EXPECT_LE(shown.textWidth, shown.clientWidth) << "the label cuts its text";
      }
    }
  }
}

// A window moved to a monitor of another DPI: the system sends
// WM_DPICHANGED with the rectangle it suggests (Wine never does; the driver
// sends it inside the program's process). The window takes the rectangle,
// its controls and fonts follow the new DPI, and back again.
TEST_F(Dpi, AWindowMovedToAMonitorOfAnotherDpiTakesItsScaleAndComesBack) {
  StartAt("win10", 96);
  ASSERT_FALSE(HasFailure());
  const Window before = Read(kMainTitle);
  auto changeTo = [&](int dpi, const Rect& r) {
    ASSERT_DRIVER_OK(Driver({"dpi-changed", "--title", kMainTitle, "--dpi", std::to_string(dpi), "--rect",
                             std::to_string(r.left) + " " + std::to_string(r.top) + " " +
                                 std::to_string(r.right) + " " + std::to_string(r.bottom)}));
  };
  const Rect o = before.outer;
  const Rect doubled{o.left, o.top, o.left + o.width() * 2, o.top + o.height() * 2};
  changeTo(192, doubled);
  ASSERT_FALSE(HasFailure());
  const Window at192 = Read(kMainTitle);
  EXPECT_EQ(at192.outer.width(), doubled.width());
  EXPECT_EQ(at192.outer.height(), doubled.height());
  ASSERT_EQ(at192.children.size(), before.children.size());
  for (size_t i = 0; i < before.children.size(); ++i) {
    const Shown& a = before.children[i];
    const Shown& b = at192.children[i];
    SCOPED_TRACE(b.control.cls + " \"" + b.control.text + "\"");
    if (!b.control.visible || b.control.cls != "Button") continue;
    EXPECT_NEAR(b.control.rect.left, a.control.rect.left * 2, 1);
    EXPECT_NEAR(b.control.rect.top, a.control.rect.top * 2, 1);
    EXPECT_NEAR(b.control.rect.width(), a.control.rect.width() * 2, 2);
    EXPECT_NEAR(b.control.rect.height(), a.control.rect.height() * 2, 2);
    if (!a.control.text.empty() && a.textWidth > 8)
      EXPECT_NEAR(b.textWidth, a.textWidth * 2, a.textWidth / 4 + 2) << "its font did not follow";
  }
  changeTo(96, o);
  ASSERT_FALSE(HasFailure());
  const Window back = Read(kMainTitle);
  EXPECT_EQ(back.outer.width(), o.width());
  EXPECT_EQ(back.client.width(), before.client.width());
  EXPECT_EQ(back.client.height(), before.client.height());
  for (size_t i = 0; i < before.children.size() && i < back.children.size(); ++i)
    EXPECT_EQ(back.children[i].control.rect.right, before.children[i].control.rect.right)
        << back.children[i].control.cls << " \"" << back.children[i].control.text << "\"";
}

// The version box's texts lie on its panel: the copyright line (a label as
// wide as its text) ends inside the panel's frame at every DPI.
TEST_F(Dpi, TheVersionBoxKeepsItsTextsInsideItsPanel) {
  for (int dpi : {96, 144, 192}) {
    SCOPED_TRACE(dpi);
    ASSERT_NO_FATAL_FAILURE(StartAt("win10", dpi));
    ASSERT_NO_FATAL_FAILURE(Open([&] { Menu(kMainTitle, "バージョン情報(&V)"); }, kAbout));
    ASSERT_DRIVER_OK(Driver({"move", "--title", kAbout, "--x", "0", "--y", "0"}));  // on the screen's picture
    const Window w = Read(kAbout);
    Screenshot("about-" + std::to_string(dpi), w.outer);
    const Shown* panel = nullptr;
    for (const Shown& c : w.children)  // the widest control without a text
      if (c.control.text.empty() && (!panel || c.control.rect.width() > panel->control.rect.width()))
        panel = &c;
    ASSERT_NE(panel, nullptr);
    const int frame = dpi / 48;  // the panel's bevel, 2 pixels at 96 DPI
    int labels = 0;
    for (const Shown& c : w.children) {
      if (c.control.cls != "Static" || c.control.text.empty()) continue;
      SCOPED_TRACE(c.control.text);
      ++labels;
      EXPECT_LE(c.control.rect.right, panel->control.rect.right - frame)
          << "past the panel's right edge at " << panel->control.rect.right << " (text " << c.textWidth << ")";
      EXPECT_LE(c.textWidth, c.clientWidth) << "the label cuts its text";
    }
    EXPECT_GE(labels, 5);
    Close(kAbout);
  }
}

TEST_F(Dpi, EveryWindowIsScaledAndKeepsItsTextsInsideItsControlsOnWindows10At150) { CheckScaledOn("win10", 144); }
TEST_F(Dpi, EveryWindowIsScaledAndKeepsItsTextsInsideItsControlsOnWindows10At125) { CheckScaledOn("win10", 120); }
TEST_F(Dpi, EveryWindowIsScaledAndKeepsItsTextsInsideItsControlsOnWindows10At200) { CheckScaledOn("win10", 192); }
// The 95 family: the A calls, the system's DPI only ("large fonts").
TEST_F(Dpi, EveryWindowIsScaledAndKeepsItsTextsInsideItsControlsOnWindows98At150) { CheckScaledOn("win98", 144); }

}  // namespace
}  // namespace e2e
