// Captures saved to files: names, monitors, the settings window, and a
// capture that writes its file beside the clipboard's picture.
#include <algorithm>
#include <functional>

#include "main_window_fixture.h"
#include "test_pictures.h"
#include "viewer/bmp.h"
#include "viewer/capture.h"
#include "viewer/capture_settings.h"
#include "viewer/image_viewer.h"
#include "viewer/jpeg.h"
#include "viewer/png.h"

namespace {

using viewer::LocalTime;
using viewer::ScreenRect;

TEST(CaptureFileName, PatternsTimesAndNamesAFileSystemCannotHold) {
  const LocalTime t = viewer::TimeOfDays(46363.0 + (9 * 3600 + 5 * 60 + 7) / 86400.0);
  EXPECT_EQ(t.year, 2026);
  EXPECT_EQ(t.month, 12);
  EXPECT_EQ(t.day, 7);
  EXPECT_EQ(t.hour, 9);
  EXPECT_EQ(t.second, 7);
  const LocalTime leap = viewer::TimeOfDays(36585.0);
  EXPECT_EQ(leap.month * 100 + leap.day, 229) << "2000-02-29";
  EXPECT_EQ(viewer::TimeOfDays(-5).year, 2000) << "no date before 1899 is made up";
  struct Row {
    const char* pattern;
    const char* name;
  } rows[] = {
      {"kivo_%Y%m%d_%H%M%S", "kivo_20261207_090507"},
      {"%Y-%m-%d %H.%M.%S", "2026-12-07 09.05.07"},
      {"100%% %q %", "100% %q %"},
      {"a:b/c\\d*e?f\"g<h>i|j\tk", "a_b_c_d_e_f_g_h_i_j_k"},
      {"trailing. . ", "trailing"},
      {"", "kivo"},
      {"...", "kivo"},
      {"CON", "_CON"},
      {"lpt1", "_lpt1"},
      {"COM10", "COM10"},
      // The system drops a base's trailing blanks and dots before it looks
      // for a device: each of these would be the device at every counter.
      {"con .x", "_con .x"},
      {"NUL  .txt", "_NUL  .txt"},
      {"com1 .a", "_com1 .a"},
      {"aux .%Y", "_aux .2026"},
      {"prn . x", "_prn . x"},
      {"LpT9..b", "_LpT9..b"},
      {"conout$", "_conout$"},
      {"CONIN$ .a", "_CONIN$ .a"},
      {"clock$.%H", "_clock$.09"},
      {"con x.a", "con x.a"},
      {"com0 .a", "com0 .a"},
      {"画面_%H", "画面_09"},
  };
  for (const Row& r : rows) EXPECT_EQ(viewer::ExpandPattern(r.pattern, t), r.name) << r.pattern;
  // What was taken: the window's title (any character, cut at 64 characters,
  // never inside one), the picture's size; %H stays the hour.
  const viewer::CaptureSubject notepad{"メモ帳 - a:b\\c.txt", 1920, 1080};
  EXPECT_EQ(viewer::ExpandPattern("%T_%Wx%h_%H", t, notepad), "メモ帳 - a_b_c.txt_1920x1080_09");
  EXPECT_EQ(viewer::ExpandPattern("%T", t), "Desktop");
  EXPECT_EQ(viewer::ExpandPattern("%T", t, {"con", 1, 1}), "_con");
  std::string longTitle;
  for (int i = 0; i < 70; ++i) longTitle += "あ";
  EXPECT_EQ(viewer::ExpandPattern("%T", t, {longTitle, 1, 1}), longTitle.substr(0, 64 * 3));
  EXPECT_EQ(viewer::JoinPath("C:\\", "a.png"), "C:\\a.png");
  EXPECT_EQ(viewer::JoinPath("C:\\shots", "a.png"), "C:\\shots\\a.png");
  EXPECT_EQ(viewer::NormalFormat("JPEG"), "jpg");
  EXPECT_EQ(viewer::NormalFormat("gif"), "png");
}

// A drag either way covers both of its end pixels; the region keeps to the
// virtual screen (here starting left of the primary monitor), and what is
// stored reads back, anything else not at all.
TEST(CaptureRegion, DragsClipsAndTheStoredText) {
  const viewer::ScreenRect a = viewer::RegionBetween(100, 100, 299, 249);
  EXPECT_EQ(a.Width(), 200);
  EXPECT_EQ(a.Height(), 150);
  const viewer::ScreenRect b = viewer::RegionBetween(299, 249, 100, 100);
  EXPECT_EQ(viewer::FormatRegion(b), "100,100,200,150");
  EXPECT_EQ(viewer::RegionBetween(-5, 7, -5, 7).Width(), 1) << "a click is one pixel";

  const viewer::ScreenRect screen{-800, 0, 1024, 768};
  EXPECT_EQ(viewer::FormatRegion(viewer::ClipRegion({-900, -10, -700, 100}, screen)), "-800,0,100,100");
  EXPECT_EQ(viewer::ClipRegion({1100, 0, 1300, 100}, screen).Width(), 0) << "off every monitor";
  EXPECT_EQ(viewer::ClipRegion({0, 768, 10, 800}, screen).Height(), 0);

  viewer::ScreenRect r;
  ASSERT_TRUE(viewer::ParseRegion("-800,-20,1824,768", r));
  EXPECT_EQ(viewer::FormatRegion(r), "-800,-20,1824,768");
  for (const char* bad : {"", "1,2,3", "1,2,3,4,5", "1,2,0,4", "1,2,3,-4", "1, 2,3,4", "a,b,c,d", "1,2,3,4 ",
                          "99999999999,0,1,1", "0,0,2000000,1", "--1,0,1,1", "1,,2,3"})
    EXPECT_FALSE(viewer::ParseRegion(bad, r)) << bad;
  EXPECT_EQ(viewer::FormatRegion(r), "-800,-20,1824,768") << "a refused text leaves the region alone";
}

TEST(CaptureMonitor, ThePartOfTheVirtualScreenThatAMonitorShows) {
  // Two monitors side by side, the second one shorter.
  const viewer::Pixels screen = Gradient(1824, 768);
  viewer::Pixels right = viewer::CropToMonitor(screen, {0, 0, 1824, 768}, {1024, 0, 1824, 600});
  ASSERT_EQ(right.width, 800);
  ASSERT_EQ(right.height, 600);
  for (int y : {0, 599})
    for (int x : {0, 799})
      EXPECT_EQ(right.bgr[(static_cast<size_t>(y) * 800 + x) * 3],
                screen.bgr[(static_cast<size_t>(y) * 1824 + 1024 + x) * 3]);
  // A monitor left of the primary one: the virtual screen starts at -800.
  const viewer::Pixels wide = Gradient(1824, 700);
  viewer::Pixels left = viewer::CropToMonitor(wide, {-800, 0, 1024, 700}, {-800, 100, 0, 700});
  ASSERT_EQ(left.width, 800);
  ASSERT_EQ(left.height, 600);
  EXPECT_EQ(left.bgr[1], wide.bgr[(static_cast<size_t>(100) * 1824) * 3 + 1]);
  // A monitor the picture does not show: the whole picture.
  EXPECT_EQ(viewer::CropToMonitor(wide, {-800, 0, 1024, 700}, {2000, 0, 2800, 600}).width, 1824);
}

class CaptureFileTest : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    main = CreateQuiet();
    screen = Gradient(64, 48);
    sim->screen = platform::Bitmap{screen.width, screen.height, screen.bgr};
    sim->virtualScreen = {0, 0, 64, 48};
  }
  void TurnOn(const std::string& format = "png") {
    Store("Capture", "ToFile", "1");
    Store("Capture", "Folder", "C:\\shots");
    Store("Capture", "Format", format);
  }
  std::vector<std::string> Written() const {
    std::vector<std::string> files;
    for (const auto& f : sim->fileContents)
      if (f.first.rfind("C:\\shots\\", 0) == 0) files.push_back(f.first);
    return files;
  }
  TForm1* main = nullptr;
  viewer::Pixels screen;
};

TEST_F(CaptureFileTest, OffTheCaptureOnlyReachesTheClipboard) {
  main->C1->Click();
  EXPECT_EQ(viewer::DecodeDib(*sim->clipboard).bgr, screen.bgr);
  EXPECT_TRUE(sim->Calls("WriteFile").empty());
}

TEST_F(CaptureFileTest, OnEachCaptureAlsoWritesAFileThatIsNeverOverwritten) {
  TurnOn();
  main->C1->Click();
  main->C1->Click();  // the same second
  EXPECT_EQ(Written(), (std::vector<std::string>{"C:\\shots\\kivo_20261207_000000.png",
                                                 "C:\\shots\\kivo_20261207_000000_2.png"}));
  EXPECT_EQ(viewer::EncodePng(screen), sim->fileContents["C:\\shots\\kivo_20261207_000000.png"])
      << "the screen's pixels as PNG";
  EXPECT_EQ(viewer::DecodeDib(*sim->clipboard).bgr, screen.bgr) << "the clipboard gets it too";
  // A file someone else made is never written over.
  sim->files.insert("C:\\shots\\kivo_20261207_000000_3.png");
  main->C1->Click();
  EXPECT_EQ(Written().back(), "C:\\shots\\kivo_20261207_000000_4.png");

  // The system's own picture (Print Screen handled) is the one saved.
  const viewer::Pixels system = Gradient(40, 30);
  sim->printScreenPicture = viewer::EncodeDib(system);
  Store("Capture", "Format", "bmp");
  Store("Capture", "Pattern", "shot");
  main->C1->Click();
  EXPECT_EQ(viewer::DecodeBmp(sim->fileContents["C:\\shots\\shot.bmp"]).bgr, system.bgr);
  // One that cannot be read: the program takes the screen itself.
  sim->printScreenPicture = std::string("not a picture");
  Store("Capture", "Pattern", "unreadable");
  main->C1->Click();
  EXPECT_EQ(viewer::DecodeBmp(sim->fileContents["C:\\shots\\unreadable.bmp"]).bgr, screen.bgr);
  EXPECT_EQ(viewer::DecodeDib(*sim->clipboard).bgr, screen.bgr);
  EXPECT_TRUE(ui->boxes.empty());

  // Without a sequence number (95, 98, NT 4) nothing proves the clipboard's
  // picture new: an older one there, and Print Screen not handled, must not
  // be saved as the capture.
  sim->clipboardSequence = 0;
  sim->printScreenPicture.reset();
  sim->clipboard = viewer::EncodeDib(Gradient(3, 3));
  Store("Capture", "Pattern", "nosequence");
  main->C1->Click();
  EXPECT_EQ(viewer::DecodeBmp(sim->fileContents["C:\\shots\\nosequence.bmp"]).bgr, screen.bgr);
  EXPECT_EQ(viewer::DecodeDib(*sim->clipboard).bgr, screen.bgr);
  // A screen that cannot be read is said when a file was wanted.
  sim->screen = platform::Bitmap{};
  main->C1->Click();
  ASSERT_EQ(ui->boxes.size(), 1u);
  EXPECT_NE(ui->boxes[0].text.find("キャプチャを保存できません"), std::string::npos);
}

TEST_F(CaptureFileTest, AFolderThatCannotBeWrittenIsNamedAndTheClipboardStillGetsThePicture) {
  TurnOn("jpg");
  sim->readOnlyFolders.insert("C:\\shots");
  main->C1->Click();
  ASSERT_EQ(ui->boxes.size(), 1u);
  EXPECT_NE(ui->boxes[0].text.find("C:\\shots"), std::string::npos) << ui->boxes[0].text;
  EXPECT_TRUE(Written().empty());
  EXPECT_EQ(viewer::DecodeDib(*sim->clipboard).bgr, screen.bgr);
}

// A write that stops half way (a full disk, a network drive gone) leaves
// no file, neither the capture's nor a temporary one, and says why.
TEST_F(CaptureFileTest, AWriteThatFailsHalfWayLeavesNoFile) {
  TurnOn("bmp");
  sim->writeLimits["C:\\shots"] = 1000;
  main->C1->Click();
  ASSERT_EQ(ui->boxes.size(), 1u);
  EXPECT_EQ(ui->boxes[0].text, "キャプチャを保存できません。\r\nフォルダ: C:\\shots\r\nerror 112");
  EXPECT_TRUE(Written().empty());
  EXPECT_EQ(viewer::DecodeDib(*sim->clipboard).bgr, screen.bgr);

  // Room again: the name is free, and the next capture takes the next.
  sim->writeLimits.clear();
  main->C1->Click();
  sim->ClearJournal();
  main->C1->Click();
  EXPECT_EQ(Written(), (std::vector<std::string>{"C:\\shots\\kivo_20261207_000000.bmp",
                                                 "C:\\shots\\kivo_20261207_000000_2.bmp"}));
  EXPECT_EQ(sim->Calls("WriteFile").size(), 1u) << "a name in use costs no write";
}

// A stored value of another registry type spoils only itself: it takes its
// default, is named once after the capture, and the clipboard gets the
// picture whatever the file's settings hold.
TEST_F(CaptureFileTest, AnUnreadableValueTakesItsDefaultAndNeverStopsTheClipboard) {
  const std::string dword("\x05\0\0\0", 4);
  auto unreadable = [&](const char* ident) { sim->SetValue(Section("Capture"), ident, {platform::kRegDword, dword}); };
  auto count = [](const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
  };
  unreadable("Quality");
  // Off: the file's settings are not read at all, from the tray or the viewer.
  main->C1->Click();
  EXPECT_EQ(viewer::DecodeDib(*sim->clipboard).bgr, screen.bgr);
  sim->clipboard.reset();
  EXPECT_TRUE(viewer::Capture(viewer::CaptureKeys(viewer::CaptureCommand::ViewerDesktop, 2), 0, main->Handle()));
  ASSERT_TRUE(sim->clipboard);
  EXPECT_TRUE(ui->boxes.empty()) << ui->boxes[0].text;

  // On: the file is written at the defaults, and the box names each value once.
  TurnOn("jpg");
  sim->SetValue(Section("Capture"), "Pattern", {platform::kRegBinary, std::string("\x01\x02", 2)});
  main->C1->Click();
  EXPECT_EQ(Written(), (std::vector<std::string>{"C:\\shots\\kivo_20261207_000000.jpg"}));
  EXPECT_EQ(sim->fileContents["C:\\shots\\kivo_20261207_000000.jpg"], viewer::EncodeJpeg(screen, 90));
  ASSERT_EQ(ui->boxes.size(), 1u);
  const std::string text = ui->boxes[0].text;
  EXPECT_EQ(count(text, "'Quality' のデータ型が不正です (Capture\\Quality)"), 1u) << text;
  EXPECT_EQ(count(text, "'Pattern' のデータ型が不正です (Capture\\Pattern)"), 1u) << text;
  EXPECT_EQ(count(text, "データ型が不正です"), 2u) << text;

  // An unreadable switch is off, and a failed write shares the box.
  ui->boxes.clear();
  unreadable("Monitor");
  sim->readOnlyFolders.insert("C:\\shots");
  main->C1->Click();
  ASSERT_EQ(ui->boxes.size(), 1u);
  EXPECT_NE(ui->boxes[0].text.find("'Monitor' のデータ型が不正です"), std::string::npos) << ui->boxes[0].text;
  EXPECT_NE(ui->boxes[0].text.find("キャプチャを保存できません。\r\nフォルダ: C:\\shots"), std::string::npos)
      << ui->boxes[0].text;
  EXPECT_EQ(viewer::DecodeDib(*sim->clipboard).bgr, screen.bgr);
  ui->boxes.clear();
  unreadable("ToFile");
  sim->readOnlyFolders.clear();
  main->C1->Click();
  EXPECT_EQ(Written().size(), 1u) << "no file";
  ASSERT_EQ(ui->boxes.size(), 1u);
  EXPECT_NE(ui->boxes[0].text.find("'ToFile' のデータ型が不正です"), std::string::npos) << ui->boxes[0].text;

  // Without a sequence number the system's picture is trusted; the box waits
  // until it has been taken, so it is neither in it nor the active window.
  ui->boxes.clear();
  sim->ClearJournal();
  sim->clipboardSequence = 0;
  size_t boxesWhileWaiting = 99;
  sim->onMsgWait = [&](platform::Handle) {
    boxesWhileWaiting = std::min(boxesWhileWaiting, ui->boxes.size());
    sim->tickCount += 100;
    return platform::kWaitTimeout;
  };
  main->C1->Click();
  EXPECT_EQ(boxesWhileWaiting, 0u);
  EXPECT_EQ(ui->boxes.size(), 1u);
  EXPECT_TRUE(sim->Calls("CaptureScreen").empty());
}

TEST_F(CaptureFileTest, OnlyTheMonitorUnderTheMouse) {
  const viewer::Pixels both = Gradient(1824, 768);
  sim->screen = platform::Bitmap{both.width, both.height, both.bgr};
  sim->virtualScreen = {-800, 0, 1024, 768};
  sim->monitors = {{0, 0, 1024, 768}, {-800, 168, 0, 768}};
  sim->cursor = {-10, 500};
  Store("Capture", "Monitor", "1");
  main->C1->Click();
  viewer::Pixels shot = viewer::DecodeDib(*sim->clipboard);
  EXPECT_EQ(shot.width, 800);
  EXPECT_EQ(shot.height, 600);
  EXPECT_EQ(shot.bgr[0], both.bgr[(static_cast<size_t>(168) * 1824) * 3]);
  // A window's capture is the window's, whatever the setting.
  sim->ClearJournal();
  viewer::Capture(viewer::CaptureKeys(viewer::CaptureCommand::ViewerWindow, 2), 0x1234, main->Handle());
  EXPECT_EQ(sim->Calls("CaptureScreen"), (std::vector<std::string>{"CaptureScreen(0x1234)"}));
  EXPECT_EQ(viewer::DecodeDib(*sim->clipboard).width, 1824);
}

// With "Cursor" on a desktop capture is the program's own, with the cursor
// drawn in (the system's Print Screen leaves it out); a window's capture and
// the setting off leave it out.
TEST_F(CaptureFileTest, TheCursorIsDrawnIntoDesktopCapturesWhenChosen) {
  const viewer::Pixels screen = Gradient(1024, 768);
  sim->screen = platform::Bitmap{screen.width, screen.height, screen.bgr};
  sim->printScreenPicture = viewer::EncodeDib(Gradient(800, 600));  // a system that handles the key
  Store("Capture", "Cursor", "1");
  main->C1->Click();
  EXPECT_EQ(sim->Calls("CaptureScreen"), (std::vector<std::string>{"CaptureScreen(0x0, cursor)"}));
  EXPECT_EQ(viewer::DecodeDib(*sim->clipboard).width, 1024) << "the system's picture, without the cursor";
  sim->ClearJournal();
  viewer::Capture(viewer::CaptureKeys(viewer::CaptureCommand::ViewerWindow, 2), 0x1234, main->Handle());
  EXPECT_TRUE(sim->Calls("CaptureScreen").empty()) << "the system's picture of the window is used";
  Store("Capture", "Cursor", "0");
  sim->ClearJournal();
  main->C1->Click();
  EXPECT_TRUE(sim->Calls("CaptureScreen").empty());
  EXPECT_EQ(viewer::DecodeDib(*sim->clipboard).width, 800);
  // Unreadable: off, and named.
  sim->SetValue(Section("Capture"), "Cursor", platform::RegValue{platform::kRegBinary, "\x01"});
  ui->boxes.clear();
  main->C1->Click();
  EXPECT_EQ(viewer::DecodeDib(*sim->clipboard).width, 800);
  ASSERT_EQ(ui->boxes.size(), 1u);
  EXPECT_NE(ui->boxes[0].text.find("'Cursor'"), std::string::npos) << ui->boxes[0].text;
}

TEST_F(CaptureFileTest, TheSettingsWindowStoresWhatItShows) {
  std::string folder, example;
  ui->onModal = [&](tk::Form& f) {
    auto& w = static_cast<TForm28&>(f);
    EXPECT_EQ(w.Caption(), "キャプチャの設定");
    EXPECT_FALSE(w.CheckBox1->Checked());
    folder = w.Edit1->Text();
    example = w.Label3->Caption();
    EXPECT_FALSE(w.Edit3->Enabled()) << "quality is for JPEG";
    w.CheckBox1->SetChecked(true);
    w.ComboBox1->PeerSelected(1);  // the user picks JPEG
    EXPECT_TRUE(w.Edit3->Enabled());
    w.Edit2->SetText("cap %H%M");
    EXPECT_EQ(w.Label3->Caption(), "例: cap 0000.jpg");
    ui->openAnswers = {std::string("D:\\caps")};
    w.Button3->Click();
    EXPECT_EQ(w.Edit1->Text(), "D:\\caps");
    w.Edit3->SetText("101");
    w.Button1->Click();
    EXPECT_EQ(ui->boxes.back().text, "品質は 1 から 100 までです。");
    w.Edit3->SetText("75");
    w.CheckBox2->SetChecked(true);
    EXPECT_EQ(w.ComboBox2->Text(), "なし") << "no delay by default";
    w.ComboBox2->PeerSelected(3);
    w.Button1->Click();
  };
  main->V1->Click();
  Form13->CaptureSettings1->Click();
  tk::Application::Instance().ProcessMessages();
  EXPECT_EQ(folder, sim->picturesFolder) << "the user's picture folder by default";
  EXPECT_EQ(example, "例: kivo_20261207_000000.png");
  EXPECT_EQ(Stored("Capture", "ToFile"), "1");
  EXPECT_EQ(Stored("Capture", "Folder"), "D:\\caps");
  EXPECT_EQ(Stored("Capture", "Pattern"), "cap %H%M");
  EXPECT_EQ(Stored("Capture", "Format"), "jpg");
  EXPECT_EQ(Stored("Capture", "Quality"), "75");
  EXPECT_EQ(Stored("Capture", "Monitor"), "1");
  EXPECT_EQ(Stored("Capture", "Delay"), "10");
  // A stored delay shows as its item; one that is none of them as none.
  for (const auto& [stored, shown] : {std::pair<const char*, const char*>{"5", "5 秒"}, {"4", "なし"}}) {
    Store("Capture", "Delay", stored);
    ui->onModal = [&, shown = shown](tk::Form& f) {
      EXPECT_EQ(static_cast<TForm28&>(f).ComboBox2->Text(), shown);
      static_cast<TForm28&>(f).Button2->Click();
    };
    Form13->CaptureSettings1->Click();
    tk::Application::Instance().ProcessMessages();
  }
  // Without a picture folder (95, NT 4 without the shell's update): the program's.
  sim->picturesFolder.clear();
  EXPECT_EQ(viewer::DefaultCaptureFolder(), "C:\\Program Files\\Kivo");
}

// The window opens with the defaults of values the store cannot read, names
// them once, and keeps them as stored unless the user changes them.
TEST_F(CaptureFileTest, TheSettingsWindowKeepsWhatItCouldNotRead) {
  const std::string dword("\x05\0\0\0", 4);
  for (const char* ident : {"Quality", "Format", "Folder", "ToFile"})
    sim->SetValue(Section("Capture"), ident, {platform::kRegDword, dword});
  Store("Capture", "Pattern", "shot");
  auto open = [&](const std::function<void(TForm28&)>& use) {
    ui->boxes.clear();
    ui->onModal = [&](tk::Form& f) { use(static_cast<TForm28&>(f)); };
    Form13->CaptureSettings1->Click();
    tk::Application::Instance().ProcessMessages();
  };
  main->V1->Click();
  open([&](TForm28& w) {
    ASSERT_EQ(ui->boxes.size(), 1u);
    EXPECT_NE(ui->boxes[0].text.find("'Quality' のデータ型が不正です"), std::string::npos) << ui->boxes[0].text;
    EXPECT_NE(ui->boxes[0].text.find("'ToFile' のデータ型が不正です"), std::string::npos) << ui->boxes[0].text;
    EXPECT_FALSE(w.CheckBox1->Checked());
    EXPECT_EQ(w.Edit1->Text(), sim->picturesFolder);
    EXPECT_EQ(w.Edit2->Text(), "shot");
    EXPECT_EQ(w.ComboBox1->ItemIndex(), 0);
    EXPECT_EQ(w.Edit3->Text(), "90");
    w.Edit2->SetText("cap");
    w.Button1->Click();
  });
  EXPECT_EQ(Stored("Capture", "Pattern"), "cap");
  for (const char* ident : {"Quality", "Format", "Folder", "ToFile"})
    EXPECT_EQ(sim->GetValue(Section("Capture"), ident)->type, platform::kRegDword) << ident << " kept";

  // Changed by the user, a value is written again.
  open([&](TForm28& w) {
    w.CheckBox1->SetChecked(true);
    w.ComboBox1->PeerSelected(1);
    w.Button1->Click();
  });
  EXPECT_EQ(Stored("Capture", "ToFile"), "1");
  EXPECT_EQ(Stored("Capture", "Format"), "jpg");
  EXPECT_EQ(sim->GetValue(Section("Capture"), "Quality")->type, platform::kRegDword);
  EXPECT_EQ(sim->GetValue(Section("Capture"), "Folder")->type, platform::kRegDword);
}

}  // namespace
