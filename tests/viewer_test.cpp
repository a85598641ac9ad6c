// The image viewer, its pictures, and window and desktop capture.
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>

#include "main_window_fixture.h"
#include "test_pictures.h"
#include "viewer/capture.h"
#include "viewer/image_viewer.h"
#include "viewer/picture.h"

namespace {

class ViewerTest : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    main = CreateQuiet();
    for (int i = 1; i <= 5; ++i)
      sim->fileContents["C:\\p\\" + std::to_string(i) + ".JPG"] =
          viewer::EncodeJpeg(Picture(10 * i, 5 * i));
    sim->fileContents["C:\\p\\pic.bmp"] = viewer::EncodeBmp(Picture(7, 3));
  }
  TForm13* Open() {
    main->V1->Click();
    return Form13;
  }
  void Drop(TForm13* v, std::vector<std::string> files) {
    const platform::Handle drop = 0x7000 + dropNumber++;
    sim->drops[drop] = std::move(files);
    tk::Message m{tk::wmDropFiles, drop, 0, 0};
    v->PeerMessage(m);
    EXPECT_EQ(sim->drops.count(drop), 0u) << "the drop was not finished";
  }
  static std::vector<std::string> Files(int n) {
    std::vector<std::string> f;
    for (int i = 1; i <= n; ++i) f.push_back("C:\\p\\" + std::to_string(i) + ".JPG");
    return f;
  }
  // Page label, count label, Back, Next, picture width.
  static std::string State(TForm13* v) {
    auto pic = v->Image1->GetPicture();
    return v->Label2->Caption() + "|" + v->Label1->Caption() + "|" +
           (v->Button2->Enabled() ? "B" : "-") + (v->Button1->Enabled() ? "N" : "-") + "|" +
           std::to_string(pic ? pic->width : 0);
  }
  TForm1* main = nullptr;
  int dropNumber = 0;
};

TEST_F(ViewerTest, DropsAndPaging) {
  TForm13* v = Open();
  ASSERT_NE(v, nullptr);
  EXPECT_FALSE(main->V1->Enabled());
  EXPECT_TRUE(main->N4->Enabled());
  EXPECT_EQ(sim->acceptingDrops.count(v->Handle()), 1u);
  EXPECT_EQ(State(v), "||--|0");

  Drop(v, Files(1));
  EXPECT_EQ(State(v), "1ページ|予約された画像の数 1個  |--|10");
  Drop(v, Files(2));
  EXPECT_EQ(State(v), "1ページ|予約された画像の数 2個  |-N|10");
  v->Button1->Click();
  EXPECT_EQ(State(v), "2ページ|予約された画像の数 2個  |B-|20");
  v->Button2->Click();
  EXPECT_EQ(State(v), "1ページ|予約された画像の数 2個  |-N|10");

  Drop(v, Files(5));
  for (int i = 0; i < 3; ++i) v->Button1->Click();
  EXPECT_EQ(State(v), "4ページ|予約された画像の数 5個  |BN|40");
  Drop(v, Files(3));
  EXPECT_EQ(State(v), "1ページ|予約された画像の数 3個  |-N|10");
  EXPECT_EQ(v->Memo1->Lines, Files(3));

  // File > Open shows a file and leaves the list as it is.
  ui->openAnswers = {std::string("c:\\P\\PIC.BMP")};
  v->Open2->Click();
  EXPECT_EQ(State(v), "1ページ|予約された画像の数 3個  |-N|7");
  v->Button1->Click();
  EXPECT_EQ(State(v), "2ページ|予約された画像の数 3個  |BN|20") << "paging goes on from the list";

  v->Detail1->Click();
  EXPECT_TRUE(v->Memo1->Visible());
  EXPECT_TRUE(v->Detail1->Checked());
  v->Detail1->Click();
  EXPECT_FALSE(v->Memo1->Visible());
}

TEST_F(ViewerTest, FailedLoadsLeaveTheStateAsDescribedAndTheViewerUsable) {
  TForm13* v = Open();
  Drop(v, {"C:\\p\\1.JPG", "C:\\p\\missing.jpg", "C:\\p\\3.JPG"});
  v->Button1->PeerClicked();
  ASSERT_EQ(ui->boxes.size(), 1u);
  EXPECT_EQ(ui->boxes[0].text.rfind("ファイルを開けません: C:\\p\\missing.jpg", 0), 0u) << ui->boxes[0].text;
  EXPECT_EQ(State(v), "1ページ|予約された画像の数 3個  |BN|10")
      << "position and buttons moved, the page label did not";
  v->Button1->PeerClicked();
  EXPECT_EQ(State(v), "3ページ|予約された画像の数 3個  |B-|30");

  // A drop whose first file fails still shows the new list.
  Drop(v, {"C:\\p\\note.txt", "C:\\p\\2.JPG"});
  EXPECT_EQ(ui->boxes.size(), 2u);
  EXPECT_EQ(ui->boxes[1].text, "この形式の画像は開けません: C:\\p\\note.txt");
  EXPECT_EQ(State(v), "1ページ|予約された画像の数 2個  |-N|30");
}

TEST_F(ViewerTest, BadPicturesAreReportedAndGoodOnesStillOpen) {
  const std::string good = viewer::EncodeJpeg(Picture(12, 6));
  struct Bad {
    std::string name, data, message;
  } bad[] = {
      {"empty.jpg", "", "JPEGファイルを読み込めません"},
      {"noise.jpeg", std::string(500, '\x5A'), "JPEGファイルを読み込めません"},
      {"huge.jpg", Resized(good, 60000, 60000), "画像が大きすぎます"},
      {"wide.jpg", Resized(good, 20000, 20000), "画像が大きすぎます"},
      {"bad.bmp", "BM garbage", "ビットマップを読み込めません"},
      {"locked.jpg", good, "ファイルを開けません"},
  };
  sim->lockedFiles = {"C:\\p\\locked.jpg"};
  for (const Bad& b : bad) sim->fileContents["C:\\p\\" + b.name] = b.data;
  for (const Bad& b : bad) {
    SCOPED_TRACE(b.name);
    try {
      viewer::LoadPicture("C:\\p\\" + b.name);
      ADD_FAILURE() << "loaded";
    } catch (const viewer::PictureError& e) {
      EXPECT_NE(std::string(e.what()).find(b.message), std::string::npos) << e.what();
    }
  }
  // A JPEG cut in the middle shows its top as it is and grey where the
  // data is missing, as libjpeg fills it.
  const viewer::Pixels full = Gradient(64, 64);
  const std::string whole = viewer::EncodeJpeg(full, 95);
  sim->fileContents["C:\\p\\cut.jpg"] = whole.substr(0, whole.size() * 3 / 4);
  const viewer::Pixels cut = viewer::LoadPicture("C:\\p\\cut.jpg");
  const viewer::Pixels reference = viewer::DecodeJpeg(whole);
  ASSERT_EQ(cut.width, 64);
  ASSERT_EQ(cut.height, 64);
  const size_t row = 64 * 3;
  EXPECT_TRUE(std::equal(cut.bgr.begin(), cut.bgr.begin() + 16 * row, reference.bgr.begin()))
      << "the first 16 rows are not what the data holds";
  for (size_t i = cut.bgr.size() - row; i < cut.bgr.size(); ++i)
    ASSERT_NEAR(cut.bgr[i], 128, 2) << "the last row is not grey at byte " << i;

  // CMYK and progressive JPEGs open.
  sim->fileContents["C:\\p\\cmyk.JPEG"] = ForeignJpeg(true, false);
  sim->fileContents["C:\\p\\prog.jpg"] = ForeignJpeg(false, true);
  viewer::Pixels cmyk = viewer::LoadPicture("C:\\p\\cmyk.JPEG");
  EXPECT_EQ(cmyk.width, 16);
  EXPECT_EQ(viewer::LoadPicture("C:\\p\\prog.jpg").height, 8);

  TForm13* v = Open();
  Drop(v, {"C:\\p\\huge.jpg"});
  EXPECT_EQ(ui->boxes.size(), 1u);
  Drop(v, {"C:\\p\\2.JPG"});
  EXPECT_EQ(State(v), "1ページ|予約された画像の数 1個  |--|20");
}

TEST_F(ViewerTest, PngAndGifOpenEveryWayWithTransparencyOnTheWindowColour) {
  ui->systemColors[15] = 0x336699;  // the window colour (clBtnFace): R 0x99, G 0x66, B 0x33
  sim->fileContents["C:\\p\\t.PNG"] = TestPicture("palette8-trns.png");
  sim->fileContents["C:\\p\\a.Gif"] = TestPicture("offset.gif");
  sim->fileContents["C:\\p\\cut.png"] = TestPicture("rgb8.png").substr(0, 100);
  auto corner = [](TForm13* v) {
    const auto& p = v->Image1->GetPicture();
    char s[32];
    const std::uint8_t* px = p->Row(0);
    std::snprintf(s, sizeof s, "%dx%d %02X%02X%02X", p->width, p->height, px[2], px[1], px[0]);
    return std::string(s);
  };
  TForm13* v = Open();
  Drop(v, {"C:\\p\\t.PNG", "C:\\p\\a.Gif", "C:\\p\\cut.png"});
  EXPECT_EQ(corner(v), "11x9 996633") << "the transparent corner shows the window colour";
  v->Button1->PeerClicked();
  EXPECT_EQ(corner(v), "20x15 996633") << "the screen outside the GIF's frame too";
  v->Button1->PeerClicked();
  ASSERT_EQ(ui->boxes.size(), 1u);
  EXPECT_NE(ui->boxes[0].text.find("PNGファイルを読み込めません: "), std::string::npos) << ui->boxes[0].text;
  EXPECT_EQ(State(v), "2ページ|予約された画像の数 3個  |B-|20") << "the earlier picture stays";

  // The open dialog offers both after every picture, JPEG and bitmaps.
  EXPECT_NE(v->OpenDialog1->Filter.find("|JPEGファイル(*.JPG *.JPEG)|*.JPG;*.JPEG|ビットマップ(*.BMP)|*.BMP|"
                                        "PNGファイル(*.PNG)|*.PNG|GIFファイル(*.GIF)|*.GIF"),
            std::string::npos);
  ui->openAnswers = {std::string("C:\\p\\t.PNG")};
  v->Open2->Click();
  EXPECT_EQ(corner(v), "11x9 996633");

  // Saved as PNG by its extension, every pixel kept.
  ui->openAnswers = {std::string("C:\\out\\copy.png")};
  v->SaveAs1->Click();
  const tk::Picture& shown = *v->Image1->GetPicture();
  EXPECT_EQ(viewer::DecodePng(sim->fileContents["C:\\out\\copy.png"]).bgr,
            std::vector<std::uint8_t>(shown.Row(0), shown.Row(0) + shown.width * shown.height * 3));
}

// The open dialog starts on every picture the viewer opens, and only those:
// each pattern of its first filter names a file the viewer reads, .jpe and
// .jfif JPEG and .dib bitmaps too, which open as what they are.
TEST_F(ViewerTest, TheOpenDialogStartsOnEveryPictureTheViewerOpens) {
  TForm13* v = Open();
  const std::string& filter = v->OpenDialog1->Filter;
  const size_t bar = filter.find('|'), next = filter.find('|', bar + 1);
  ASSERT_NE(next, std::string::npos) << filter;
  EXPECT_EQ(filter.substr(0, filter.find('(')), "画像ファイル");
  std::vector<std::string> patterns;
  for (size_t at = bar + 1; at < next;) {
    size_t end = std::min(filter.find(';', at), next);
    patterns.push_back(filter.substr(at, end - at));
    at = end + 1;
  }
  const std::vector<std::string> opened = {"*.BMP", "*.DIB", "*.JPG", "*.JPEG",
                                           "*.JPE", "*.JFIF", "*.PNG", "*.GIF"};
  EXPECT_EQ(patterns, opened);
  for (const std::string& pattern : patterns)
    EXPECT_NE(viewer::KindOf("C:\\p\\x" + pattern.substr(1)), viewer::PictureKind::Unknown) << pattern;
  EXPECT_EQ(viewer::KindOf("C:\\p\\x.tif"), viewer::PictureKind::Unknown);

  sim->fileContents["C:\\p\\photo.jfif"] = viewer::EncodeJpeg(Picture(9, 4));
  sim->fileContents["C:\\p\\photo.Jpe"] = viewer::EncodeJpeg(Picture(8, 4));
  sim->fileContents["C:\\p\\icon.DIB"] = viewer::EncodeBmp(Picture(5, 3));
  for (const char* name : {"photo.jfif", "photo.Jpe", "icon.DIB"}) {
    ui->openAnswers = {std::string("C:\\p\\") + name};
    v->Open2->Click();
    EXPECT_TRUE(ui->boxes.empty()) << name << ": " << (ui->boxes.empty() ? "" : ui->boxes[0].text);
  }
  EXPECT_EQ(v->Image1->GetPicture()->width, 5);
}

TEST_F(ViewerTest, PlacementRoundTrip) {
  TForm13* v = Open();
  EXPECT_EQ(v->Left(), 0);
  EXPECT_EQ(v->Top(), 0);
  EXPECT_EQ(v->Width(), 696);
  EXPECT_EQ(v->Height(), 480);
  v->SetBounds({30, 40, 500, 300});
  v->Close();
  tk::Application::Instance().ProcessMessages();
  EXPECT_EQ(Stored("F13", "WS"), "0");
  EXPECT_EQ(Stored("F13", "W"), "500");
  EXPECT_TRUE(main->V1->Enabled());

  v = Open();
  EXPECT_EQ(v->Left(), 30);
  EXPECT_EQ(v->Height(), 300);
  v->SetWindowState(tk::WindowState::Maximized);
  v->SetBounds({30, 40, 900, 700});  // what a maximised window reports does not count
  v->PeerResized(1024, 768, tk::WindowState::Maximized);
  v->Close();
  EXPECT_EQ(Stored("F13", "WS"), "1");
  EXPECT_EQ(Stored("F13", "H"), "300") << "the normal size is kept";
  tk::Application::Instance().ProcessMessages();
  v = Open();
  EXPECT_EQ(v->GetWindowState(), tk::WindowState::Maximized);
}

TEST_F(ViewerTest, CaptureKeysPerCommandAndFamily) {
  using viewer::CaptureCommand;
  auto text = [](const std::vector<viewer::KeyCall>& calls) {
    std::string s;
    for (const auto& c : calls) s += tk::Format("(%x,%x,%u)", c.vk, c.scan, static_cast<unsigned>(c.flags));
    return s;
  };
  EXPECT_EQ(text(viewer::CaptureKeys(CaptureCommand::ActiveWindow, 1)), "(2c,0,1)(2c,0,3)");
  EXPECT_EQ(text(viewer::CaptureKeys(CaptureCommand::ActiveWindow, 2)),
            "(a4,56,1)(2c,79,1)(a4,56,3)(2c,79,3)");
  EXPECT_EQ(text(viewer::CaptureKeys(CaptureCommand::ActiveWindow, 0)), "");
  EXPECT_EQ(text(viewer::CaptureKeys(CaptureCommand::Desktop, 1)), "(2c,1,1)(2c,1,3)");
  EXPECT_EQ(text(viewer::CaptureKeys(CaptureCommand::Desktop, 2)), "(2c,79,1)(2c,79,3)");
  for (unsigned family : {0u, 1u, 2u}) {
    EXPECT_EQ(text(viewer::CaptureKeys(CaptureCommand::ViewerWindow, family)), "(2c,0,1)(2c,0,3)");
    EXPECT_EQ(text(viewer::CaptureKeys(CaptureCommand::ViewerDesktop, family)), "(2c,1,1)(2c,1,3)");
  }
}

TEST_F(ViewerTest, DesktopCaptureUsesTheSystemsPictureOrMakesOne) {
  const viewer::Pixels screen = Gradient(1024, 768);
  sim->screen = platform::Bitmap{screen.width, screen.height, screen.bgr};
  // A system that handles Print Screen itself.
  sim->printScreenPicture = viewer::EncodeDib(Picture(800, 600, 0x22));
  main->C1->Click();
  EXPECT_EQ(sim->Calls("keybd_event"),
            (std::vector<std::string>{"keybd_event(0x2c, 121, 1, 0)", "keybd_event(0x2c, 121, 3, 0)"}));
  EXPECT_TRUE(sim->Calls("CaptureScreen").empty());
  EXPECT_EQ(viewer::DecodeDib(*sim->clipboard).width, 800);

  // One that does not (Wine): the screen's own picture, every pixel of it.
  sim->printScreenPicture.reset();
  sim->ClearJournal();
  main->C1->Click();
  EXPECT_EQ(sim->Calls("CaptureScreen"), (std::vector<std::string>{"CaptureScreen(0x0)"}));
  EXPECT_EQ(viewer::DecodeDib(*sim->clipboard).bgr, screen.bgr);

  // From Vista on no key is pressed, whoever handles Print Screen there (a
  // snipping tool): the program takes the desktop or the window itself.
  for (std::uint32_t major : {6u, 10u}) {
    UseVersion(platform::kPlatformNT, major, 0, 22631);
    sim->printScreenPicture = viewer::EncodeDib(Picture(800, 600, 0x22));
    sim->ClearJournal();
    main->C1->Click();
    EXPECT_TRUE(sim->Calls("keybd_event").empty()) << major;
    EXPECT_EQ(sim->Calls("CaptureScreen"), (std::vector<std::string>{"CaptureScreen(0x0)"}));
    EXPECT_EQ(viewer::DecodeDib(*sim->clipboard).bgr, screen.bgr);
    // The same pixels as PNG, for the programs that paste that first.
    ASSERT_TRUE(sim->clipboardPng);
    const std::string& png = *sim->clipboardPng;
    EXPECT_EQ(viewer::DecodePng(png).bgr, screen.bgr);
    sim->ClearJournal();
    viewer::Capture(viewer::CaptureKeys(viewer::CaptureCommand::ActiveWindow, 2), 0x4242, main->Handle());
    EXPECT_TRUE(sim->Calls("keybd_event").empty()) << major;
    EXPECT_EQ(sim->Calls("CaptureScreen"), (std::vector<std::string>{"CaptureScreen(0x4242)"}));
  }
  sim->printScreenPicture.reset();
  UseVersion(platform::kPlatformWindows, 4, 10, 2222);

  // The clipboard's picture in the viewer, saved as JPEG and read back.
  TForm13* v = Open();
  v->Paste1->Click();
  ASSERT_TRUE(v->Image1->GetPicture());
  const tk::Picture& shown = *v->Image1->GetPicture();
  EXPECT_EQ(std::vector<std::uint8_t>(shown.Row(0), shown.Row(0) + 1024 * 768 * 3), screen.bgr);
  ui->openAnswers = {std::string("C:\\out\\shot.jpg")};
  v->SaveAs1->Click();
  viewer::Pixels back = viewer::DecodeJpeg(sim->fileContents["C:\\out\\shot.jpg"]);
  EXPECT_EQ(back.width, 1024);
  EXPECT_EQ(back.height, 768);
  ui->openAnswers = {std::string("C:\\out\\shot.BMP")};
  v->SaveAs1->Click();
  const std::string& file = sim->fileContents["C:\\out\\shot.BMP"];
  ASSERT_EQ(file.size(), 54u + 1024 * 768 * 3);
  // A bottom-up bitmap stores the picture's last row first.
  EXPECT_EQ(file.compare(54, 1024 * 3, reinterpret_cast<const char*>(&screen.bgr[767 * 1024 * 3]), 1024 * 3), 0);
  EXPECT_EQ(viewer::DecodeBmp(file).bgr, screen.bgr) << "a bitmap keeps every pixel";
}

// "名前を付けて保存" over the very picture shown: the new bytes go into a
// temporary file beside it, which then takes its name. A disk that fills
// up, or a file another program holds open, leaves the old picture whole
// and no temporary file behind; on 95/98/Me, where MoveFileEx is a stub, the
// old file is deleted and the new one renamed.
TEST_F(ViewerTest, SavingOverAPictureReplacesItWholeOrNotAtAll) {
  TForm13* v = Open();
  Drop(v, {"C:\\p\\2.JPG"});
  // The shown picture's file, marked so that a replacement tells.
  const std::string old = sim->fileContents["C:\\p\\2.JPG"] + "old";
  sim->fileContents["C:\\p\\2.JPG"] = old;
  auto folder = [&] {
    std::vector<std::string> names;
    for (const auto& f : sim->fileContents)
      if (f.first.rfind("C:\\p\\", 0) == 0) names.push_back(f.first);
    return names;
  };
  const std::vector<std::string> before = folder();
  auto save = [&](const std::string& name) {
    ui->boxes.clear();
    sim->ClearJournal();
    ui->openAnswers = {name};
    v->SaveAs1->Click();
  };

  sim->writeLimits["c:\\P"] = old.size() / 2;  // a disk full half way
  save("C:\\p\\2.JPG");
  ASSERT_EQ(ui->boxes.size(), 1u);
  EXPECT_EQ(ui->boxes[0].text, "ファイルを保存できません: C:\\p\\2.JPG (error 112)");
  EXPECT_EQ(sim->fileContents["C:\\p\\2.JPG"], old);
  EXPECT_EQ(folder(), before) << "the temporary file is gone";
  EXPECT_EQ(sim->Calls("DeleteFile").size(), 1u);

  sim->writeLimits.clear();
  sim->lockedFiles = {"c:\\p\\2.jpg"};  // open in another program
  save("C:\\p\\2.JPG");
  ASSERT_EQ(ui->boxes.size(), 1u);
  EXPECT_EQ(ui->boxes[0].text, "ファイルを保存できません: C:\\p\\2.JPG (アクセスが拒否されました。)");
  EXPECT_EQ(sim->fileContents["C:\\p\\2.JPG"], old);
  EXPECT_EQ(folder(), before);

  sim->lockedFiles.clear();
  save("C:\\p\\2.JPG");
  EXPECT_TRUE(ui->boxes.empty());
  EXPECT_EQ(sim->Calls("GetTempFileName"),
            (std::vector<std::string>{"GetTempFileName(\"C:\\p\\\", \"kiv\", 0)"}));
  ASSERT_EQ(sim->Calls("MoveFileEx").size(), 1u);
  EXPECT_NE(sim->Calls("MoveFileEx")[0].find(", \"C:\\p\\2.JPG\", 0x9)"), std::string::npos)
      << "replacing, written through";
  EXPECT_EQ(folder(), before);
  const viewer::Pixels saved = viewer::DecodeJpeg(sim->fileContents["C:\\p\\2.JPG"]);
  EXPECT_EQ(saved.width, 20);

  // 95/98/Me: the old file goes, then the new one takes its name; one that
  // cannot be deleted stays as it was.
  UseVersion(platform::kPlatformWindows, 4, 10, 2222);
  sim->fileContents["C:\\p\\2.JPG"] = old;
  save("C:\\p\\2.JPG");
  EXPECT_TRUE(ui->boxes.empty());
  EXPECT_EQ(sim->Calls("DeleteFile"), (std::vector<std::string>{"DeleteFile(\"C:\\p\\2.JPG\")"}));
  EXPECT_EQ(sim->Calls("MoveFile(").size(), 2u) << "refused while the old file was there";
  EXPECT_NE(sim->fileContents["C:\\p\\2.JPG"], old);
  EXPECT_EQ(folder(), before);
  sim->fileContents["C:\\p\\2.JPG"] = old;
  sim->lockedFiles = {"C:\\p\\2.JPG"};
  save("C:\\p\\2.JPG");
  EXPECT_EQ(ui->boxes.size(), 1u);
  EXPECT_EQ(sim->fileContents["C:\\p\\2.JPG"], old);
  EXPECT_EQ(folder(), before);
  // A new name: renamed at once.
  sim->lockedFiles.clear();
  save("C:\\p\\new.bmp");
  EXPECT_TRUE(ui->boxes.empty());
  EXPECT_TRUE(sim->Calls("DeleteFile").empty());
  EXPECT_EQ(viewer::DecodeBmp(sim->fileContents["C:\\p\\new.bmp"]).width, 20);
  EXPECT_EQ(folder().size(), before.size() + 1);
  // Another program makes the name again between the delete and the rename:
  // the old picture is gone, and the message says so and names the
  // temporary file, which keeps the new one.
  const std::vector<std::string> withNew = folder();
  sim->fileContents["C:\\p\\2.JPG"] = old;
  sim->recreatedFiles = {"c:\\p\\2.jpg"};
  save("C:\\p\\2.JPG");
  std::vector<std::string> added;
  for (const std::string& f : folder())
    if (std::find(withNew.begin(), withNew.end(), f) == withNew.end()) added.push_back(f);
  ASSERT_EQ(added.size(), 1u) << "the temporary file stays";
  ASSERT_EQ(ui->boxes.size(), 1u);
  EXPECT_EQ(ui->boxes[0].text, "元のファイルは削除されましたが、新しい画像を C:\\p\\2.JPG に保存できませんでした "
                               "(error 183)。\r\n新しい画像は " + added[0] + " にあります。");
  EXPECT_EQ(viewer::DecodeJpeg(sim->fileContents[added[0]]).width, 20);
  EXPECT_EQ(sim->fileContents["C:\\p\\2.JPG"], sim->recreatedContents) << "the other program's file stays";
}

TEST_F(ViewerTest, PicturesThatCannotBeShownKeepTheEarlierOne) {
  TForm13* v = Open();
  Drop(v, Files(1));
  ASSERT_EQ(v->Image1->GetPicture()->width, 10);

  // Whatever a program put on the clipboard: a header that claims a width of
  // 0x40000001 at 32 bits over 104 bytes.
  std::string lying = viewer::EncodeDib(Picture(8, 4));
  lying.resize(104);
  lying[4] = 0x01, lying[5] = 0, lying[6] = 0, lying[7] = 0x40;
  lying[14] = 32;
  sim->clipboard = lying;
  v->Paste1->Click();
  ASSERT_EQ(ui->boxes.size(), 1u);
  EXPECT_EQ(ui->boxes[0].text, "画像が大きすぎます (1073741825 x 4)");
  EXPECT_EQ(v->Image1->GetPicture()->width, 10);
  sim->clipboard.reset();
  v->Paste1->Click();
  EXPECT_EQ(ui->boxes.back().text, "クリップボードに画像がありません");

  // The window system cannot make the display bitmap.
  ui->pictureFailure = "メモリが足りません";
  Drop(v, Files(2));
  EXPECT_EQ(ui->boxes.back().text, "メモリが足りません: C:\\p\\1.JPG");
  v->Button1->PeerClicked();
  EXPECT_EQ(ui->boxes.back().text, "メモリが足りません: C:\\p\\2.JPG");
  EXPECT_EQ(v->Image1->GetPicture()->width, 10) << "the earlier picture stays";
  EXPECT_EQ(v->Image1->Bounds().width, 10);
  ui->pictureFailure.clear();
  v->Button2->PeerClicked();
  v->Button1->PeerClicked();
  EXPECT_EQ(v->Image1->GetPicture()->width, 20);
}

TEST_F(ViewerTest, NextShowsThePictureReadAheadAndAtMostTwoAreHeld) {
  ui->holdTasks = true;  // each read ahead waits for the test
  // The next entry is read ahead once the shown picture is painted (a
  // window timer).
  auto painted = [&] { ui->AdvanceClock(10); };
  TForm13* v = Open();
  Drop(v, Files(4));
  EXPECT_EQ(State(v), "1ページ|予約された画像の数 4個  |-N|10");
  EXPECT_EQ(v->Ahead().Entry(), -1);
  painted();
  EXPECT_EQ(v->Ahead().Entry(), 1);
  ASSERT_EQ(ui->HeldTasks(), 1u);
  ui->ResetMostPictures();

  // The read ends while the user looks at page 1; Next shows what it read
  // (the file has changed since: it is not read again); the picture it
  // replaced goes after the paint, and page 3 is read ahead then.
  ui->RunTasks();
  ui->ProcessMessages();
  sim->fileContents["C:\\p\\2.JPG"] = "changed";
  sim->ClearJournal();
  v->Button1->Click();
  EXPECT_EQ(State(v), "2ページ|予約された画像の数 4個  |BN|20");
  EXPECT_EQ(sim->Calls("ReadFile"), std::vector<std::string>{}) << "nothing is read before the picture shows";
  EXPECT_EQ(ui->LivePictures(), 2);
  painted();
  EXPECT_EQ(v->Ahead().Entry(), 2);
  EXPECT_EQ(ui->LivePictures(), 1) << "page 1 has gone; the read of page 3 has not run";

  // Next while the read still runs waits for it.
  v->Button1->Click();
  EXPECT_EQ(State(v), "3ページ|予約された画像の数 4個  |BN|30");
  painted();
  EXPECT_EQ(ui->HeldTasks(), 1u) << "page 4 is read ahead";

  // Back while page 4 is read: that read is given up and its picture never
  // shown; page 2 is decoded on the spot (and cannot be: the earlier
  // picture stays), then page 3 is read ahead again.
  v->Button2->PeerClicked();
  EXPECT_EQ(State(v), "3ページ|予約された画像の数 4個  |BN|30") << "the changed file cannot be read";
  EXPECT_EQ(ui->boxes.size(), 1u);
  EXPECT_EQ(ui->HeldTasks(), 0u);
  painted();
  EXPECT_EQ(v->Ahead().Entry(), 2);
  sim->fileContents["C:\\p\\2.JPG"] = viewer::EncodeJpeg(Picture(22, 5));
  v->Button2->Click();
  EXPECT_EQ(State(v), "1ページ|予約された画像の数 4個  |-N|10");
  painted();
  EXPECT_EQ(v->Ahead().Entry(), 1);
  ui->RunTasks();
  ui->ProcessMessages();
  EXPECT_EQ(ui->LivePictures(), 2) << "the shown picture and page 2 read ahead";

  // A read that has ended, its message not yet handled, when a new list
  // comes: thrown away at once; the new list's first picture is decoded.
  Drop(v, Files(3));
  painted();
  ui->RunTasks();
  EXPECT_EQ(ui->LivePictures(), 2);
  Drop(v, Files(2));
  EXPECT_EQ(ui->LivePictures(), 1);
  ui->ProcessMessages();
  EXPECT_EQ(State(v), "1ページ|予約された画像の数 2個  |-N|10");
  painted();
  v->Button1->Click();
  EXPECT_EQ(State(v), "2ページ|予約された画像の数 2個  |B-|22");
  painted();
  EXPECT_EQ(ui->MostPictures(), 2) << "never more than the shown picture and one other";
  EXPECT_EQ(ui->LivePictures(), 1);
  EXPECT_EQ(v->Ahead().Entry(), -1) << "nothing after the last page";

  // Closing gives up the read that runs.
  Drop(v, Files(3));
  painted();
  EXPECT_EQ(ui->HeldTasks(), 1u);
  v->Close();
  EXPECT_EQ(ui->HeldTasks(), 0u);
  EXPECT_EQ(ui->LivePictures(), 1) << "only the shown one, until the window goes";
}

TEST_F(ViewerTest, AFailedReadAheadIsNeverShown) {
  ui->holdTasks = true;
  sim->fileContents["C:\\p\\bad.jpg"] = std::string(300, '\x5A');
  TForm13* v = Open();
  Drop(v, {"C:\\p\\1.JPG", "C:\\p\\bad.jpg", "C:\\p\\3.JPG"});
  ui->AdvanceClock(10);
  ui->RunTasks();
  ui->ProcessMessages();
  EXPECT_TRUE(ui->boxes.empty()) << "a read ahead reports nothing";
  EXPECT_EQ(ui->LivePictures(), 1);
  // The file is whole by the time the user pages: it is read again and shown.
  sim->fileContents["C:\\p\\bad.jpg"] = viewer::EncodeJpeg(Picture(33, 4));
  v->Button1->Click();
  EXPECT_EQ(State(v), "2ページ|予約された画像の数 3個  |BN|33");

  // A file that stays bad is reported by the load of its own page, as ever.
  sim->fileContents["C:\\p\\bad.jpg"] = "bad";
  v->Button2->Click();
  ui->AdvanceClock(10);
  ui->RunTasks();
  ui->ProcessMessages();
  EXPECT_TRUE(ui->boxes.empty());
  v->Button1->PeerClicked();
  ASSERT_EQ(ui->boxes.size(), 1u);
  EXPECT_EQ(ui->boxes[0].text.rfind("JPEGファイルを読み込めません", 0), 0u) << ui->boxes[0].text;
  EXPECT_EQ(State(v), "1ページ|予約された画像の数 3個  |BN|10") << "the earlier picture stays";
}

TEST_F(ViewerTest, CaptureWindowListsAndCapturesTheSingleClickedTitle) {
  ASSERT_EQ(main->PlatformFamily, 2u) << "the machine is an XP one";
  sim->topWindows = {{0x601, "Notepad"}, {0x602, ""}, {0x603, "hidden tool"},
                     {0x604, "NOTEPAD"}, {0x605, "Calc"}, {0x606, "notepad"}};
  sim->windowStyles[0x603] = 0;  // not visible
  sim->printScreenPicture = viewer::EncodeDib(Picture(3, 3));
  ui->onModal = [&](tk::Form& f) {
    auto& c = static_cast<TForm24&>(f);
    c.Button2->Click();
    EXPECT_EQ(c.ListBox1->Items(),
              (std::vector<std::string>{"Calc", "hidden tool(非可視)", "notepad"}))
        << "sorted, untitled left out, one entry for titles that differ in case";
    c.CheckBox1->Click();
    c.Button2->Click();
    EXPECT_EQ(c.ListBox1->Items(), (std::vector<std::string>{"Calc", "notepad"}));
    c.Button3->Click();
    EXPECT_EQ(ui->boxes.back().text, "キャプチャしたいウィンドウが選択されていません！！");
    c.ListBox1->PeerSelected(1);
    c.ListBox1->PeerDoubleClicked();  // Edit1: notepad
    c.ListBox1->PeerSelected(0);      // Label2: Calc
    EXPECT_EQ(c.Edit1->Text(), "notepad");
    EXPECT_EQ(c.Label2->Caption(), "Calc");
    sim->ClearJournal();
    ui->boxes.clear();
    c.Button3->Click();
    c.Button1->Click();
  };
  main->A1->Click();
  ASSERT_EQ(ui->boxes.size(), 2u);
  EXPECT_EQ(ui->boxes[0].text, "Calc");
  EXPECT_EQ(ui->boxes[1].text, "ウィンドウをクリップボードにコピーしました");
  EXPECT_EQ(sim->Calls("SetForegroundWindow"), (std::vector<std::string>{"SetForegroundWindow(0x605)"}));
  EXPECT_EQ(sim->Calls("keybd_event").size(), 4u);
}

}  // namespace
