// The web explorer: presence test, URL box and history, the control's
// operations and events, internet options and favourites.
#include "browser/browser_window.h"
#include "browser/internet_options.h"
#include "main_window_fixture.h"

namespace {

class BrowserTest : public MainWindowFixture {
 protected:
  TForm18* Open(TForm1* main) {
    main->KivoExplorerVer101->Click();
    return Form18;
  }
};

// From Vista on the control is asked, by the program's own file name, for
// the newest engine the system's Internet Explorer has, and keeps a page's
// script errors to itself; up to XP nothing is written.
TEST_F(BrowserTest, FromVistaOnTheNewestEngineIsAskedForAndErrorsStayQuiet) {
  EXPECT_EQ(browser::EmulationMode("11.0.19041.1"), 11001u);
  EXPECT_EQ(browser::EmulationMode("10.0.9200.16384"), 10001u);
  EXPECT_EQ(browser::EmulationMode("9.11.9600.0"), 9999u);
  EXPECT_EQ(browser::EmulationMode("8.0.7601.17514"), 8888u);
  for (const char* none : {"7.0.6002.18005", "", "x11.0", "1100.0", ".11", "6"})
    EXPECT_EQ(browser::EmulationMode(none), 0u) << none;

  const std::string ie = "HKLM\\Software\\Microsoft\\Internet Explorer";
  const std::string feature = browser::kFeatureControlKey;
  auto mode = [&](const std::string& exe) -> std::string {
    auto v = sim->GetValue(feature, exe);
    if (!v) return "none";
    if (v->type != platform::kRegDword || v->data.size() != 4) return "wrong type";
    std::uint32_t n = 0;
    for (int b = 3; b >= 0; --b) n = n << 8 | static_cast<std::uint8_t>(v->data[static_cast<size_t>(b)]);
    return std::to_string(n);
  };
  // Windows 10 with Internet Explorer 11 ("Version" says 9.11 there).
  UseVersion(platform::kPlatformNT, 10, 0, 19045);
  sim->SetString(ie, "Version", "9.11.19041.0");
  sim->SetString(ie, "svcVersion", "11.0.19041.1");
  sim->executablePath = "C:\\Tools\\kivo.exe";  // a renamed copy asks for its own name
  TForm1* main = CreateQuiet();
  TForm18* b = Open(main);
  EXPECT_EQ(mode("kivo.exe"), "11001");
  EXPECT_EQ(mode("kivo_config.exe"), "none");
  EXPECT_NE(std::find(ui->browserCalls.begin(), ui->browserCalls.end(), "Quiet"), ui->browserCalls.end());
  b->Close();
  tk::Application::Instance().ProcessMessages();
  // Windows 7 with Internet Explorer 9 only, and a stored value of the wrong type.
  sim->SetValue(ie, "svcVersion", platform::RegValue{platform::kRegDword, std::string(4, '\0')});
  sim->SetString(ie, "Version", "9.0.8112.16421");
  UseVersion(platform::kPlatformNT, 6, 1, 7601);
  main->KivoExplorerVer101->SetEnabled(true);
  Open(main)->Close();
  tk::Application::Instance().ProcessMessages();
  EXPECT_EQ(mode("kivo.exe"), "9999");

  // XP: nothing written, the boxes as they were.
  TearDown();
  SetUp();
  UseVersion(platform::kPlatformNT, 5, 1, 2600);
  sim->SetString(ie, "Version", "8.0.6001.18702");
  ui->browserCalls.clear();
  Open(CreateQuiet());
  EXPECT_EQ(mode("kivo_config.exe"), "none");
  EXPECT_EQ(std::find(ui->browserCalls.begin(), ui->browserCalls.end(), "Quiet"), ui->browserCalls.end());
}

TEST_F(BrowserTest, PresenceTestPerVersionWarnsButAlwaysOpens) {
  // The library is looked for in the system's own folder, wherever Windows
  // is installed (not only C:\WINDOWS or C:\WINNT).
  struct Row {
    platform::OsVersion v;
    const char* windows;
    const char* path;  // "" for no test
    bool win32s;
  } rows[] = {
      {{4, 10, 2222, 1}, "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM\\shdocvw.dll", false},
      {{5, 0, 2195, 2}, "C:\\WINNT", "C:\\WINNT\\system32\\shdocvw.dll", false},
      {{5, 1, 2600, 2}, "C:\\WINDOWS", "C:\\WINDOWS\\system32\\shdocvw.dll", false},
      {{4, 0, 1381, 2}, "C:\\WINNT", "C:\\WINNT\\system32\\shdocvw.dll", false},
      {{10, 0, 19045, 2}, "D:\\Windows", "D:\\Windows\\system32\\shdocvw.dll", false},
      {{3, 10, 0, 0}, "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM\\shdocvw.dll", true},
      {{1, 0, 0, 7}, "C:\\WINDOWS", "", false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.path);
    TearDown();
    SetUp();
    sim->version = r.v;
    sim->windowsDirectory = r.windows;
    TForm1* main = CreateQuiet();
    Open(main);
    std::vector<std::string> texts;
    for (const auto& b : ui->boxes) texts.push_back(b.text);
    std::vector<std::string> expected;
    if (r.win32s) expected.push_back("このオペレーティングシステムでは使用できません。");
    if (*r.path) {
      ASSERT_EQ(sim->Calls("FindFirstFile").size(), 1u);
      EXPECT_EQ(sim->Calls("FindFirstFile")[0], std::string("FindFirstFile(\"") + r.path + "\")");
      expected.push_back("Internet Explorer4.0以上をインストールして下さい。");
    } else {
      EXPECT_TRUE(sim->Calls("FindFirstFile").empty());
    }
    EXPECT_EQ(texts, expected);
    ASSERT_NE(Form18, nullptr) << "the window opens all the same";
  }
  // With the file there, no notice.
  TearDown();
  SetUp();
  sim->files.insert("C:\\WINDOWS\\SYSTEM32\\shdocvw.dll");
  Open(CreateQuiet());
  EXPECT_TRUE(ui->boxes.empty());
}

TEST_F(BrowserTest, HomePageHistoryOperationsAndEvents) {
  Store("F20", "homepage", "http://example.org/家");
  TForm1* main = CreateQuiet();
  TForm18* b = Open(main);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->Left(), 0);
  EXPECT_EQ(b->Width(), 758);
  EXPECT_EQ(b->Height(), 508);
  EXPECT_EQ(b->ComboBox1->Text(), "http://example.org/家");
  EXPECT_FALSE(main->KivoExplorerVer101->Enabled());
  EXPECT_TRUE(main->KivoWebExplorer1->Enabled());
  EXPECT_EQ(ui->browserCalls, (std::vector<std::string>{"Navigate(http://example.org/家)"}));

  ui->browserCalls.clear();
  const std::string longAddress = "file:///" + std::string(5000, 'a');
  for (const std::string& url : {std::string("javascript:alert('%s&')"), longAddress, std::string()}) {
    b->ComboBox1->PeerTextChanged(url);
    b->SpeedButton3->Click();
  }
  b->ComboBox1->PeerTextChanged("javascript:alert('%s&')");
  b->SpeedButton3->Click();
  EXPECT_EQ(b->ComboBox1->Items(), (std::vector<std::string>{"javascript:alert('%s&')", longAddress, "",
                                                              "javascript:alert('%s&')"}))
      << "every go is listed, twice too";
  for (tk::Button* button : {b->SpeedButton2, b->SpeedButton1, b->SpeedButton4, b->SpeedButton5, b->SpeedButton6})
    button->Click();
  EXPECT_EQ(std::vector<std::string>(ui->browserCalls.begin() + 4, ui->browserCalls.end()),
            (std::vector<std::string>{"GoBack", "GoForward", "Stop", "GoHome", "Refresh"}));
  EXPECT_EQ(b->ComboBox1->Text(), "javascript:alert('%s&')") << "home leaves the URL box alone";

  struct Event {
    long command;
    bool enable;
    const char* status;
  } events[] = {{-1, true, "Navigate UPDATE"}, {1, true, "Navigate Fwd"}, {1, false, "Navigate Fwd"},
                {2, false, "Navigate Back"},   {7, true, "Navigate Back"}};
  for (const Event& e : events) {
    b->CppWebBrowser1->PeerCommandStateChange(e.command, e.enable);
    EXPECT_EQ(b->StatusBar1->SimpleText(), e.status);
  }

  ui->openAnswers = {std::string("C:\\pages\\a.html")};
  ui->browserCalls.clear();
  b->Open1->Click();
  EXPECT_EQ(b->ComboBox1->Text(), "C:\\pages\\a.html");
  EXPECT_TRUE(ui->browserCalls.empty()) << "opening a file only fills the box";

  b->SetWindowState(tk::WindowState::Maximized);
  b->N1->Click();
  EXPECT_EQ(Stored("F18", "WS"), "1");
  EXPECT_FALSE(Stored("F18", "H")) << "a maximised close keeps the normal size";
  EXPECT_TRUE(main->KivoExplorerVer101->Enabled());
}

TEST_F(BrowserTest, WithoutAnEngineTheWindowSaysSoAndCommandsDoNothing) {
  ui->browserEngine = false;
  TForm18* b = Open(CreateQuiet());
  EXPECT_EQ(b->StatusBar1->SimpleText(), "ブラウザコントロールを作成できません");
  for (tk::Button* button : {b->SpeedButton3, b->SpeedButton2, b->SpeedButton1, b->SpeedButton4,
                             b->SpeedButton5, b->SpeedButton6})
    EXPECT_NO_THROW(button->Click());
  EXPECT_TRUE(ui->browserCalls.empty());
}

TEST_F(BrowserTest, FavouritesAreAsymmetricAndTheHomePageWaitsForTheNextWindow) {
  for (int i = 0; i < 9; ++i) Store("F20", "fav" + std::to_string(i), "site" + std::to_string(i));
  Store("F20", "CBI", "-1");
  TForm1* main = CreateQuiet();
  TForm18* b = Open(main);
  ui->onModal = [&](tk::Form& f) {
    auto& o = static_cast<TForm20&>(f);
    EXPECT_EQ(o.Edit1->Text(), "http://");
    EXPECT_EQ(o.ComboBox1->Text(), "site0") << "fav0 is the text while nothing is selected";
    EXPECT_EQ(o.ComboBox1->Items(),
              (std::vector<std::string>{"site1", "site2", "site3", "site4", "site5", "site6"}));
    EXPECT_EQ(o.ComboBox2->Text(), "1");
    EXPECT_EQ(o.PageControl1->Pages(), (std::vector<std::string>{"全般", "拡張"}));
    EXPECT_FALSE(o.Label4->Visible());
    o.PageControl1->PeerPageChanged(1);
    EXPECT_TRUE(o.Label4->Visible());
    EXPECT_FALSE(o.Edit1->Visible());
    o.Button2->Click();  // hidden with its page: nothing happens
    o.PageControl1->PeerPageChanged(0);
    o.ComboBox1->PeerTextChanged("http://new.example/");
    o.ComboBox2->PeerSelected(6);
    o.Button2->Click();  // position 7: fav6
    o.Button3->Click();
    o.Edit1->SetText("http://home.example/");
    o.Button1->Click();
  };
  b->N2->Click();
  EXPECT_EQ(Stored("F20", "fav6"), "http://new.example/");
  EXPECT_EQ(Stored("F20", "homepage"), "http://home.example/");
  EXPECT_EQ(Stored("F20", "CBI"), "-1");
  EXPECT_EQ(Stored("F20", "CBI2"), "6");
  EXPECT_EQ(b->ComboBox1->Text(), "http://new.example/") << "copied into the URL box";
  EXPECT_EQ(ui->browserCalls.size(), 1u) << "and not opened";

  // The new home page is the next window's.
  b->Close();
  tk::Application::Instance().ProcessMessages();
  ui->browserCalls.clear();
  b = Open(main);
  EXPECT_EQ(ui->browserCalls, (std::vector<std::string>{"Navigate(http://home.example/)"}));

  // A default selection of entry 0 replaces the box's text.
  Store("F20", "CBI", "0");
  ui->onModal = [&](tk::Form& f) {
    EXPECT_EQ(static_cast<TForm20&>(f).ComboBox1->Text(), "site1");
    f.Close();
  };
  b->N2->Click();
}

// A stored "CBI" of -1 means no selection, also when "fav0" equals list
// entries: with no favourites stored all seven slots read "http://".
TEST_F(BrowserTest, NoFavouriteSelectedStaysSoWhateverTheTexts) {
  struct Case {
    std::vector<std::pair<std::string, std::string>> stored;
    std::string text;
  } cases[] = {
      {{{"CBI", "-1"}}, "http://"},
      {{{"CBI", "-1"}, {"fav0", "b"}, {"fav3", "b"}, {"fav5", "b"}}, "b"},
  };
  TForm1* main = CreateQuiet();
  TForm18* b = Open(main);
  for (const Case& k : cases) {
    for (const auto& [ident, value] : k.stored) Store("F20", ident, value);
    ui->onModal = [&](tk::Form& f) {
      auto& o = static_cast<TForm20&>(f);
      EXPECT_EQ(o.ComboBox1->ItemIndex(), -1);
      EXPECT_EQ(o.ComboBox1->Text(), k.text);
      o.Button3->Click();
      o.Button1->Click();
    };
    b->N2->Click();
    EXPECT_EQ(Stored("F20", "CBI"), "-1") << k.text;
    EXPECT_EQ(b->ComboBox1->Text(), k.text);
  }
  // The URL box's history after a go: the text is the box's own again.
  b->ComboBox1->PeerTextChanged("http://");
  b->SpeedButton3->Click();
  b->SpeedButton3->Click();
  EXPECT_EQ(b->ComboBox1->Text(), "http://");
  EXPECT_EQ(b->ComboBox1->ItemIndex(), -1);
}

}  // namespace
