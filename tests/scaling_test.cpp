// Layouts in units of 96 DPI on displays of 120, 144 and 192 DPI: what the
// toolkit converts, and places stored by one run and read by the next.
#include <set>

#include "main_window_fixture.h"
#include "settings/settings_store.h"

namespace {

constexpr int kDpis[] = {96, 120, 144, 192};

// Converting is exact where it must be: a stored place read back, saved and
// read again does not creep; controls that touch at 96 DPI still touch.
TEST(DpiTest, PlacesDoNotCreepAndNeighboursStillTouch) {
  for (int value : kDpis) {
    const tk::Dpi dpi{value};
    for (int v = -3000; v <= 3000; ++v) {
      ASSERT_EQ(dpi.Layout(dpi.Px(v)), v) << value << " DPI, " << v;
    }
    // Three buttons side by side and one below, as the main window has them.
    const tk::Rect a{12, 63, 81, 25}, b{93, 63, 81, 25}, below{12, 88, 81, 25};
    const tk::Rect pa = dpi.Px(a), pb = dpi.Px(b), pbelow = dpi.Px(below);
    EXPECT_EQ(pa.left + pa.width, pb.left) << value;
    EXPECT_EQ(pa.top + pa.height, pbelow.top) << value;
    // A 9-point font is 12 pixels at 96 DPI and keeps its sign.
    tk::Font f;
    EXPECT_EQ(dpi.Px(f).height, -(12 * value + 48) / 96) << value;
  }
  EXPECT_EQ(tk::Dpi{144}.Px(tk::Rect{1, 1, 1, 1}), (tk::Rect{2, 2, 1, 1}));
}

class ScalingTest : public MainWindowFixture {
 protected:
  // A full-HD screen at the DPI, as the system and the toolkit report it.
  void UseScreen(int dpi, int width = 1920, int height = 1080) {
    ui->dpi = dpi;
    sim->screenDpi = dpi;
    ui->screenWidth = width;
    ui->screenHeight = height;
    sim->virtualScreen = {0, 0, width, height};
    sim->monitors = {{0, 0, width, height}};
    sim->workAreas = {{0, 0, width, height - 40 * dpi / 96}};  // a taskbar at the bottom
  }
  // Every form the program has open now.
  static std::vector<tk::Form*> OpenForms() {
    std::vector<tk::Form*> forms;
    for (const tk::FormSlotBase* slot : tk::FormSlotBase::All())
      if (tk::Form* f = slot->Held()) forms.push_back(f);
    return forms;
  }
};

// A place stored in units of 96 DPI is pulled onto the work area measured in
// pixels: the right and bottom edges of a 1920 x 1080 screen at 192 DPI are
// 960 and 540 units away, less the taskbar.
TEST_F(ScalingTest, StoredPlacesAreKeptOnTheWorkAreaAtEveryDpi) {
  for (int dpi : kDpis) {
    UseScreen(dpi);
    const int right = 1920 * 96 / dpi, bottom = (1080 - 40 * dpi / 96) * 96 / dpi;
    int left = 5000, top = 5000;
    settings::KeepOnWorkArea(left, top, 300, 200);
    EXPECT_EQ(left, right - 300) << dpi;
    EXPECT_EQ(top, bottom - 200) << dpi;
    left = 100, top = 50;  // on the screen: left alone
    settings::KeepOnWorkArea(left, top, 300, 200);
    EXPECT_EQ(left, 100);
    EXPECT_EQ(top, 50);
  }
}

// Each window the main window opens, on a 1366 x 768 laptop screen at every
// DPI: on the work area as far as it fits, every control inside it.
TEST_F(ScalingTest, EveryWindowLiesOnTheScreenWithItsControlsInside) {
  for (int dpi : kDpis) {
    SCOPED_TRACE(std::to_string(dpi) + " DPI");
    UseScreen(dpi, 1366, 768);
    UseVersion(platform::kPlatformWindows, 4, 10, 2222);  // the consoles and the meter are offered
    Store("F1", "X", "4000");  // stored at a larger screen
    Store("F1", "Y", "4000");
    Store("F4", "X", "4000");
    Store("F4", "Y", "-4000");
    TForm1* f = CreateMain();
    for (tk::MenuItem* item : {f->V1, f->CommandSender1})
      item->Click();
    for (tk::Button* b : {f->Button18, f->Button20, f->Button21, f->Button5})
      if (b->Enabled()) b->Click();
    int screenW = 0, screenH = 0;
    tk::Application::Instance().ScreenSize(screenW, screenH);
    std::set<std::string> seen;
    for (tk::Form* form : OpenForms()) {
      if (!form->Visible()) continue;
      seen.insert(form->Caption());
      SCOPED_TRACE(form->Caption());
      const tk::Rect& r = form->Bounds();
      if (r.width <= screenW) {
        EXPECT_GE(r.left, 0);
        EXPECT_LE(r.left + r.width, screenW);
      }
      if (r.height <= screenH) {
        EXPECT_GE(r.top, 0);
        EXPECT_LE(r.top + r.height, screenH);
      }
      for (const tk::Control* c : form->Controls()) {
        if (!c->Visible() || c->Container()) continue;
        const tk::Rect& b = c->Bounds();
        EXPECT_GE(b.left, 0) << c->Name;
        EXPECT_GE(b.top, 0) << c->Name;
        EXPECT_LE(b.left + b.width, form->ClientWidth()) << c->Name;
        EXPECT_LE(b.top + b.height, form->ClientHeight()) << c->Name;
      }
    }
    EXPECT_GE(seen.size(), 4u);
    delete f;
  }
}

}  // namespace
