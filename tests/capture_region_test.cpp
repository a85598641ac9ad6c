// Region captures: the overlay's drag, keys and cancels over monitors at
// negative coordinates, the last region again after a restart, and the
// delay before a capture with its countdown in the tray's tip.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "app/main_window.h"
#include "hotkeys/hotkeys.h"
#include "main_window_fixture.h"
#include "viewer/bmp.h"
#include "viewer/capture_delay.h"
#include "viewer/capture_region.h"
#include "viewer/image_viewer.h"
#include "viewer/png.h"

namespace {

using viewer::ScreenRect;

class RegionTest : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    UseVersion(platform::kPlatformNT, 10, 0, 19045);
    // A small monitor left of the primary one, at negative coordinates, and
    // lower than it: the virtual screen is -800,0 … 1024,768.
    sim->monitors = {{0, 0, 1024, 768}, {-800, 168, 0, 768}};
    sim->virtualScreen = {-800, 0, 1024, 768};
    sim->screen.width = 1824;
    sim->screen.height = 768;
    sim->screen.bgr.resize(1824u * 768u * 3u);
    for (int y = 0; y < 768; ++y)
      for (int x = 0; x < 1824; ++x) {
        std::uint8_t* p = &sim->screen.bgr[(static_cast<size_t>(y) * 1824 + static_cast<size_t>(x)) * 3];
        p[0] = static_cast<std::uint8_t>(x);
        p[1] = static_cast<std::uint8_t>(y);
        p[2] = static_cast<std::uint8_t>(x / 7 + y / 3);
      }
    main = CreateQuiet();
  }

  // The screen's pixels of a region, as the clipboard should hold them.
  std::vector<std::uint8_t> Expected(const ScreenRect& r) const {
    std::vector<std::uint8_t> out;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) {
        const size_t i = (static_cast<size_t>(y) * 1824 + static_cast<size_t>(x + 800)) * 3;
        out.insert(out.end(), sim->screen.bgr.begin() + static_cast<std::ptrdiff_t>(i),
                   sim->screen.bgr.begin() + static_cast<std::ptrdiff_t>(i + 3));
      }
    return out;
  }
  // Both clipboard formats hold the region's pixels.
  void ExpectClipboard(const ScreenRect& r) {
    ASSERT_TRUE(sim->clipboard && sim->clipboardPng);
    const viewer::Pixels dib = viewer::DecodeDib(reinterpret_cast<const std::uint8_t*>(sim->clipboard->data()),
                                                 sim->clipboard->size());
    EXPECT_EQ(dib.width, r.Width());
    EXPECT_EQ(dib.height, r.Height());
    EXPECT_TRUE(dib.bgr == Expected(r)) << "the bitmap holds other pixels";
    EXPECT_TRUE(viewer::DecodePng(*sim->clipboardPng).bgr == dib.bgr) << "the PNG differs from the bitmap";
  }

  // Runs the overlay, handing it to what the test does with it.
  void WithOverlay(const std::function<void(TForm29&)>& use) {
    ui->onModal = [&](tk::Form& f) {
      if (auto* o = dynamic_cast<TForm29*>(&f)) {
        ++overlays;
        use(*o);
      }
    };
  }
  // Mouse messages at a point of the screen (the overlay's client area
  // starts at the virtual screen's top left).
  static void Mouse(TForm29& o, unsigned msg, int screenX, int screenY) {
    tk::Message m{msg, 0, tk::MouseParam(screenX + 800, screenY), 0};
    o.PeerMessage(m);
  }
  static void Key(TForm29& o, unsigned vk) { o.PeerKeyDown(vk); }
  // A picture on the clipboard from another program, before the capture.
  void SomeonesPicture() {
    sim->clipboard = std::string("someone's bitmap");
    sim->clipboardPng.reset();
    sim->clipboardSequence = 41;
  }
  std::string Tip() const { return sim->trayIcons.empty() ? "" : sim->trayIcons[0].tip; }

  TForm1* main = nullptr;
  int overlays = 0;
};

// The overlay lies on the monitors' pixels, the screen darkened, and a drag
// from the small monitor onto the primary one takes the pixels in between.
TEST_F(RegionTest, ADragAcrossMonitorsTakesThatRectangleOfTheStillScreen) {
  WithOverlay([&](TForm29& o) {
    EXPECT_TRUE(o.PixelExact);
    EXPECT_TRUE(o.StayOnTop);
    EXPECT_EQ(o.Border, tk::BorderStyle::None);
    EXPECT_EQ(o.Cursor, tk::crCross);
    EXPECT_EQ(o.Bounds(), (tk::Rect{-800, 0, 1824, 768}));
    EXPECT_TRUE(o.Image1->MouseThrough && o.Label1->MouseThrough);
    const tk::Picture& shown = *o.Image1->GetPicture();
    EXPECT_EQ(shown.Row(5)[3 * 10], viewer::Darkened(10)) << "darkened before any drag";
    EXPECT_FALSE(o.Label1->Visible());
    Mouse(o, tk::wmMouseMove, -100, 100);
    Mouse(o, tk::wmLButtonDown, -100, 100);
    Mouse(o, tk::wmMouseMove, 50, 200);
    Mouse(o, tk::wmMouseMove, 99, 249);
    // Bright inside, darkened outside (the pixel left of the rectangle).
    const size_t inside = 700 * 3, outside = 699 * 3;
    EXPECT_EQ(shown.Row(100)[inside], sim->screen.bgr[(100u * 1824u + 700u) * 3u]);
    EXPECT_EQ(shown.Row(100)[outside], viewer::Darkened(sim->screen.bgr[(100u * 1824u + 699u) * 3u]));
    EXPECT_EQ(shown.Row(250)[inside], viewer::Darkened(sim->screen.bgr[(250u * 1824u + 700u) * 3u]));
    EXPECT_EQ(o.Label1->Caption(), "200 × 150");
    EXPECT_TRUE(o.Label1->Visible());
    // The first, larger rectangle is drawn back dark.
    EXPECT_EQ(shown.Row(240)[3 * 900 + 3 * 40], viewer::Darkened(sim->screen.bgr[(240u * 1824u + 940u) * 3u]));
    EXPECT_GT(ui->LivePictures(), 0);
    Mouse(o, tk::wmLButtonUp, 99, 249);
  });
  SomeonesPicture();
  main->R1->Click();
  EXPECT_EQ(overlays, 1);
  ExpectClipboard(ScreenRect{-100, 100, 100, 250});
  EXPECT_EQ(Stored("Capture", "Region"), "-100,100,200,150");
  EXPECT_EQ(ui->LivePictures(), 0) << "the overlay's picture outlived it";
  EXPECT_EQ(Form29.get(), nullptr);
  EXPECT_TRUE(ui->boxes.empty());
  EXPECT_EQ(sim->Calls("CaptureScreen"), (std::vector<std::string>{"CaptureScreen(0x0)"}));
}

// The arrow keys move the dragged corner (Shift: by ten), never off the
// screen; a release where the mouse already was keeps the keys' corner;
// Enter takes the rectangle as it is.
TEST_F(RegionTest, ArrowKeysMoveTheCornerAndEnterOrTheReleaseTakesIt) {
  WithOverlay([&](TForm29& o) {
    Key(o, 0x27);  // before a press: nothing to move, nothing taken
    Key(o, tk::vkReturn);
    EXPECT_FALSE(o.Dragged());
    Mouse(o, tk::wmLButtonDown, 1000, 700);
    Mouse(o, tk::wmMouseMove, 1010, 710);
    Key(o, 0x27);  // right
    Key(o, 0x28);  // down
    sim->keyboardState[0x10] = 0x80;
    Key(o, 0x27);
    Key(o, 0x27);
    Key(o, 0x28);
    sim->keyboardState[0x10] = 0;
    ASSERT_TRUE(o.Dragged());
    EXPECT_EQ(viewer::FormatRegion(*o.Dragged()), "1000,700,24,22") << "the corner stops at the screen's edge";
    Mouse(o, tk::wmLButtonUp, 1010, 710);
  });
  main->R1->Click();
  EXPECT_EQ(Stored("Capture", "Region"), "1000,700,24,22");
  ExpectClipboard(ScreenRect{1000, 700, 1024, 722});

  WithOverlay([&](TForm29& o) {
    Mouse(o, tk::wmLButtonDown, -5, 300);
    Key(o, 0x25);  // left, onto the small monitor
    Key(o, 0x26);  // up
    Key(o, tk::vkReturn);
  });
  main->R1->Click();
  EXPECT_EQ(Stored("Capture", "Region"), "-6,299,2,2");
  ExpectClipboard(ScreenRect{-6, 299, -4, 301});
}

TEST_F(RegionTest, EscOrARightClickCancelsAndLeavesTheClipboardAsItWas) {
  Store("Capture", "Region", "1,2,3,4");
  for (int way = 0; way < 2; ++way) {
    SomeonesPicture();
    sim->ClearJournal();
    WithOverlay([&](TForm29& o) {
      Mouse(o, tk::wmLButtonDown, 10, 10);
      Mouse(o, tk::wmMouseMove, 300, 300);
      if (way == 0) {
        Key(o, tk::vkEscape);
      } else {
        Mouse(o, tk::wmRButtonDown, 300, 300);
        EXPECT_EQ(o.ModalResult, tk::mrNone) << "cancelled on the release, so nothing beneath gets it";
        Mouse(o, tk::wmRButtonUp, 300, 300);
      }
    });
    main->R1->Click();
    EXPECT_EQ(sim->clipboard, std::string("someone's bitmap")) << way;
    EXPECT_EQ(sim->clipboardSequence, 41u) << way;
    EXPECT_TRUE(sim->Calls("SetClipboardData").empty()) << way;
    EXPECT_EQ(Stored("Capture", "Region"), "1,2,3,4") << "the last region stays";
    EXPECT_EQ(ui->LivePictures(), 0) << "the overlay's picture outlived it";
    EXPECT_TRUE(ui->boxes.empty());
  }
}

// The screen is taken once what a closing menu covered is painted anew: the
// program's own windows as it handles its messages, others' waited for, but
// never longer than half a second.
TEST_F(RegionTest, TheScreenIsTakenOnceTheClosedMenuIsPaintedOver) {
  auto readingsBeforeTheScreen = [&] {
    int readings = 0;
    for (const std::string& call : sim->journal) {
      if (call.rfind("CaptureScreen(", 0) == 0) return readings;
      if (call == "ScreenPaintPending()") ++readings;
    }
    return -1;  // never taken
  };
  WithOverlay([&](TForm29& o) { Key(o, tk::vkEscape); });
  sim->screenPaintsPending = 3;
  sim->ClearJournal();
  main->R1->Click();
  EXPECT_EQ(readingsBeforeTheScreen(), 4) << "three times still painting, then done";
  const auto at = [&](const std::string& call) {
    return std::find(sim->journal.begin(), sim->journal.end(), call) - sim->journal.begin();
  };
  EXPECT_LT(at("RepaintScreen()"), at("ScreenPaintPending()")) << "every window painted anew first";
  EXPECT_EQ(overlays, 1);

  // A window that never finishes painting holds it up for half a second.
  sim->screenPaintsPending = 1000000;
  sim->ClearJournal();
  const std::uint32_t before = sim->tickCount;
  main->V1->Click();
  ASSERT_TRUE(Form13);
  Form13->Region1->Click();
  EXPECT_GT(readingsBeforeTheScreen(), 1);
  EXPECT_GE(sim->tickCount - before, 500u);
  EXPECT_LT(sim->tickCount - before, 600u);
  EXPECT_EQ(overlays, 2);
}

// The overlay is in the screen's pixels: its size label is scaled by the
// screen's DPI itself, font and all.
TEST_F(RegionTest, TheSizeLabelFollowsTheScreensDpi) {
  for (int dpi : {96, 144, 192}) {
    SCOPED_TRACE(dpi);
    ui->dpi = dpi;
    sim->screenDpi = dpi;
    WithOverlay([&](TForm29& o) {
      EXPECT_EQ(o.Label1->GetFont().height, -12 * dpi / 96);
      EXPECT_EQ(o.Label1->Height(), 16 * dpi / 96);
      Mouse(o, tk::wmLButtonDown, 10, 10);
      Mouse(o, tk::wmMouseMove, 110, 60);
      EXPECT_EQ(o.Label1->Top(), 61 + 4 * dpi / 96) << "below the rectangle, its gap scaled";
      Key(o, tk::vkEscape);
    });
    main->R1->Click();
  }
  EXPECT_EQ(overlays, 3);
}

// The last region is taken again from the stored value (a restart reads it
// the same way), clipped to the screen; none, or one that cannot be read,
// or one off every monitor is said and changes nothing.
TEST_F(RegionTest, TheLastRegionAgainIsClippedToTheScreenOrRefusedWithAReason) {
  SomeonesPicture();
  main->L1->Click();
  ASSERT_EQ(ui->boxes.size(), 1u);
  EXPECT_EQ(ui->boxes[0].text.find("前回の範囲がまだありません。"), 0u) << ui->boxes[0].text;
  EXPECT_EQ(sim->clipboard, std::string("someone's bitmap"));
  ui->boxes.clear();

  Store("Capture", "Region", "-100,100,200,150");
  main->L1->Click();
  ExpectClipboard(ScreenRect{-100, 100, 100, 250});
  EXPECT_TRUE(ui->boxes.empty());
  EXPECT_EQ(overlays, 0);

  Store("Capture", "Region", "1000,700,100,100");
  main->L1->Click();
  ExpectClipboard(ScreenRect{1000, 700, 1024, 768});

  struct Case {
    std::function<void()> store;
    const char* says;
  } cases[] = {
      {[&] { Store("Capture", "Region", "1,2,0,4"); }, "前回の範囲がまだありません。"},
      {[&] { sim->SetValue(Section("Capture"), "Region", {platform::kRegDword, std::string("\x05\0\0\0", 4)}); }, "前回の範囲がまだありません。"},
      {[&] { Store("Capture", "Region", "2000,0,10,10"); }, "前回の範囲 (2000,0,10,10) はどのモニタにも入っていません。"},
  };
  for (const Case& c : cases) {
    c.store();
    SomeonesPicture();
    sim->ClearJournal();
    ui->boxes.clear();
    main->L1->Click();
    ASSERT_EQ(ui->boxes.size(), 1u) << c.says;
    EXPECT_EQ(ui->boxes[0].text.find(c.says), 0u) << ui->boxes[0].text;
    EXPECT_EQ(sim->clipboard, std::string("someone's bitmap"));
    EXPECT_TRUE(sim->Calls("CaptureScreen").empty()) << c.says;
  }
}

// With a delay the tray's tip counts down the seconds, and a second request
// meanwhile replaces the first: only the later capture is taken, after the
// whole delay again.
TEST_F(RegionTest, ADelayCountsDownInTheTipAndALaterRequestReplacesTheWaitingOne) {
  Store("Capture", "Delay", "3");
  SomeonesPicture();
  main->C1->Click();
  EXPECT_EQ(Tip(), "キャプチャまで 3秒");
  EXPECT_EQ(sim->clipboardSequence, 41u);
  ui->AdvanceClock(1000);
  EXPECT_EQ(Tip(), "キャプチャまで 2秒");
  WithOverlay([&](TForm29& o) {
    Mouse(o, tk::wmLButtonDown, 0, 0);
    Mouse(o, tk::wmLButtonUp, 9, 9);
  });
  main->R1->Click();  // replaces the desktop capture
  EXPECT_EQ(Tip(), "キャプチャまで 3秒");
  ui->AdvanceClock(2000);
  EXPECT_EQ(Tip(), "キャプチャまで 1秒");
  EXPECT_EQ(overlays, 0);
  EXPECT_EQ(sim->clipboardSequence, 41u);
  ui->AdvanceClock(1000);
  EXPECT_EQ(overlays, 1);
  EXPECT_EQ(Tip(), "Kivo_Config For Windows") << "the usual tip again";
  ExpectClipboard(ScreenRect{0, 0, 10, 10});
  EXPECT_EQ(sim->Calls("CaptureScreen").size(), 1u) << "the replaced capture was taken too";
  ui->AdvanceClock(5000);
  EXPECT_EQ(overlays, 1);

  // A value that is none of the delays counts as none.
  Store("Capture", "Delay", "7");
  main->L1->Click();
  EXPECT_EQ(Tip(), "Kivo_Config For Windows");
  EXPECT_EQ(sim->Calls("CaptureScreen").size(), 2u);
}

// A second copy's /capture region waits for the user: taken, or cancelled;
// /capture last is refused while there is no last region.
TEST_F(RegionTest, ForwardedRegionCommandsAnswerHowTheyWent) {
  auto forward = [](cmdline::Verb verb) {
    cmdline::Command c;
    c.verb = verb;
    return tk::Application::Instance().PeerCopyData(cmdline::kCopyDataTag, cmdline::EncodeRecord(c));
  };
  EXPECT_EQ(forward(cmdline::Verb::CaptureLastRegion), cmdline::kReplyNoLastRegion);
  WithOverlay([&](TForm29& o) { Key(o, tk::vkEscape); });
  EXPECT_EQ(forward(cmdline::Verb::CaptureRegion), cmdline::kReplyCancelled);
  WithOverlay([&](TForm29& o) {
    Mouse(o, tk::wmLButtonDown, 20, 30);
    Mouse(o, tk::wmLButtonUp, 39, 49);
  });
  EXPECT_EQ(forward(cmdline::Verb::CaptureRegion), cmdline::kReplyTaken);
  EXPECT_EQ(Stored("Capture", "Region"), "20,30,20,20");
  EXPECT_EQ(forward(cmdline::Verb::CaptureLastRegion), cmdline::kReplyTaken);
  ExpectClipboard(ScreenRect{20, 30, 40, 50});
  Store("Capture", "Region", "-900,0,50,50");
  EXPECT_EQ(forward(cmdline::Verb::CaptureLastRegion), cmdline::kReplyRegionOffScreen);
  EXPECT_TRUE(ui->boxes.empty()) << "the second copy says why";

  // The hotkeys of both.
  Store("HotKey", "CaptureRegion", "Ctrl+Alt+R");
  Store("HotKey", "CaptureLastRegion", "Ctrl+Alt+L");
  main->hotkeys.Apply();
  EXPECT_EQ(sim->Calls("RegisterHotKey").size(), 2u);
  overlays = 0;
  sim->ClearJournal();
  WithOverlay([&](TForm29& o) {
    // Pressed again while the overlay is up: no second overlay over it.
    tk::Application::Instance().PeerHotKey(hotkeys::HotKeyId(hotkeys::kCaptureRegion));
    Key(o, tk::vkEscape);
  });
  tk::Application::Instance().PeerHotKey(hotkeys::HotKeyId(hotkeys::kCaptureRegion));
  EXPECT_EQ(overlays, 1);
  EXPECT_EQ(sim->Calls("CaptureScreen").size(), 1u);
}

// A second copy that asks again (record version 3) gets a ticket at once
// and asks under it: a capture replaced during its delay is answered
// "cancelled" at once, while the later one still waits; each outcome is
// given once.
TEST_F(RegionTest, TicketedCapturesAreAnsweredOnceAndAReplacedOneAtOnce) {
  auto& app = tk::Application::Instance();
  auto forward = [&] {
    cmdline::Command c;
    c.verb = cmdline::Verb::CaptureRegion;
    c.asksAgain = true;
    const std::intptr_t reply = app.PeerCopyData(cmdline::kCopyDataTag, cmdline::EncodeRecord(c));
    EXPECT_GT(reply, cmdline::kReplyTicket);
    return cmdline::EncodeTicket(static_cast<std::uint32_t>(reply - cmdline::kReplyTicket));
  };
  auto ask = [&](const std::string& ticket) { return app.PeerCopyData(cmdline::kOutcomeQueryTag, ticket); };
  Store("Capture", "Delay", "3");
  const std::string first = forward();
  app.ProcessMessages();
  EXPECT_EQ(ask(first), cmdline::kReplyStillWaiting);
  EXPECT_EQ(Tip(), "キャプチャまで 3秒");
  ui->AdvanceClock(1000);
  const std::string second = forward();
  app.ProcessMessages();
  EXPECT_EQ(ask(first), cmdline::kReplyCancelled) << "replaced: answered before the later one is over";
  EXPECT_EQ(ask(first), cmdline::kReplyNotUnderstood) << "answered once";
  EXPECT_EQ(ask(second), cmdline::kReplyStillWaiting);
  WithOverlay([&](TForm29& o) {
    // The sender asks while the user drags.
    EXPECT_EQ(ask(second), cmdline::kReplyStillWaiting);
    Mouse(o, tk::wmLButtonDown, 0, 0);
    Mouse(o, tk::wmLButtonUp, 9, 9);
  });
  ui->AdvanceClock(3000);
  EXPECT_EQ(overlays, 1);
  EXPECT_EQ(ask(second), cmdline::kReplyTaken);
  ExpectClipboard(ScreenRect{0, 0, 10, 10});
  // Questions that are no ticket.
  EXPECT_EQ(ask(""), cmdline::kReplyBadRecord);
  EXPECT_EQ(ask(cmdline::EncodeTicket(0)), cmdline::kReplyBadRecord);
  EXPECT_EQ(ask(cmdline::EncodeTicket(12345)), cmdline::kReplyNotUnderstood);
}

// A capture that fails by an error (a picture past the size limit) is
// answered "failed" in every way it can be asked for: forwarded with or
// without a delay, under a ticket, and as this copy's own command line,
// silent or not.
TEST_F(RegionTest, ACaptureThatFailsIsAnsweredFailedEveryWay) {
  auto& app = tk::Application::Instance();
  sim->monitors = {{0, 0, 30001, 2}};
  sim->virtualScreen = {0, 0, 30001, 2};
  sim->screen.width = 30001;
  sim->screen.height = 2;
  sim->screen.bgr.assign(30001u * 2u * 3u, 7);
  Store("Capture", "Region", "0,0,30001,2");
  auto forward = [&](bool asksAgain, bool silent) {
    cmdline::Command c;
    c.verb = cmdline::Verb::CaptureLastRegion;
    c.asksAgain = asksAgain;
    c.silent = silent;
    std::intptr_t reply = app.PeerCopyData(cmdline::kCopyDataTag, cmdline::EncodeRecord(c));
    if (reply < cmdline::kReplyTicket) return reply;
    const std::string ticket = cmdline::EncodeTicket(static_cast<std::uint32_t>(reply - cmdline::kReplyTicket));
    for (int i = 0; i < 20 && (reply = app.PeerCopyData(cmdline::kOutcomeQueryTag, ticket)) == cmdline::kReplyStillWaiting; ++i) {
      app.ProcessMessages();
      ui->AdvanceClock(1000);
    }
    return reply;
  };
  for (const char* delay : {"0", "3"}) {
    for (bool asksAgain : {false, true}) {
      for (bool silent : {false, true}) {
        SCOPED_TRACE(std::string("delay ") + delay + (asksAgain ? ", ticket" : ", one message") +
                     (silent ? ", silent" : ""));
        Store("Capture", "Delay", delay);
        ui->boxes.clear();
        if (asksAgain || std::string(delay) == "0") {
          EXPECT_EQ(forward(asksAgain, silent), cmdline::kReplyCaptureFailed);
        } else {
          // Inside its one message, the delay's seconds pass while it waits.
          int waits = 0;
          sim->onMsgWait = [&](platform::Handle) {
            if (++waits > 20) {
              ADD_FAILURE() << "never answered";
              app.Terminate();
            }
            ui->AdvanceClock(1000);
            return platform::kWaitTimeout;
          };
          EXPECT_EQ(forward(false, silent), cmdline::kReplyCaptureFailed);
          sim->onMsgWait = nullptr;
        }
        EXPECT_EQ(ui->boxes.size(), silent ? 0u : 1u) << "the running copy says why, unless silent";
      }
    }
  }
}

}  // namespace
