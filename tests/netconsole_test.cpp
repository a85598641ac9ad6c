// The network command console and its options: the exact keystrokes, the
// prompt windows they go to, and the stored options.
#include <cstdio>

#include "main_window_fixture.h"
#include "netconsole/console.h"
#include "netconsole/options.h"

namespace {

class ConsoleTest : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    UseVersion(platform::kPlatformWindows, 4, 10, 2222);
    main = CreateQuiet();
    sim->topWindows = {{0x501, "MS-DOS プロンプト"}, {0x502, "Form1"},
                       {0x503, "MS-DOS プロンプト"}, {0x504, "MS-DOS プロンプト "}};
  }
  TForm15* Open() {
    main->CommandSender1->Click();
    return Form15;
  }
  void Digits(const std::vector<int>& d) {
    for (size_t i = 0; i < d.size(); ++i) Store("F17", "CBI" + std::to_string(i + 1), std::to_string(d[i]));
  }
  // The journal since the last clear as typed text: "#" for a window brought
  // to the front, "‖" for a pause, "^" for Enter, "<" for Backspace, and the
  // character each key gives on the machine's layout with the modifier keys
  // held at that moment ("?" for none).
  std::string Typed() const {
    std::string out;
    unsigned held = 0;
    for (const std::string& e : sim->journal) {
      unsigned vk = 0, scan = 0, flags = 0;
      if (e.rfind("SetForegroundWindow", 0) == 0) {
        out += "#";
      } else if (e == "MsgWaitForMultipleObjects(0, NULL, FALSE, 100)") {
        out += "‖";
      } else if (std::sscanf(e.c_str(), "keybd_event(0x%x, %u, %u, 0)", &vk, &scan, &flags) == 3) {
        const unsigned modifier = vk == 0x10 ? 1 : vk == 0x11 ? 2 : vk == 0x12 ? 4 : 0;
        if (modifier) held = flags & 2 ? held & ~modifier : held | modifier;
        if (modifier || (flags & 2)) continue;
        EXPECT_EQ(scan, sim->MapVirtualKey(vk, 0)) << e;
        if (vk == 0x0D) out += '^';
        else if (vk == 0x08) out += '<';
        else if (char16_t c = sim->KeyChar(static_cast<std::uint8_t>(vk), held); c > 0 && c < 0x80)
          out += static_cast<char>(c);
        else out += "?";
      }
    }
    return out;
  }
  TForm1* main = nullptr;
};

TEST_F(ConsoleTest, EveryButtonTypesItsSequenceIntoEveryPromptWindow) {
  Digits({1, 9, 2, 1, 6, 8, 1, 9, 2, 1, 6, 8});
  Store("F17", "CK1", "1");
  Store("F17", "CK2", "1");
  TForm15* c = Open();
  ASSERT_NE(c, nullptr);
  struct Row {
    tk::Button* button;
    std::string typed;  // into one window
  } rows[] = {
      {c->Button2, "ping "},
      {c->Button3, "192.168."},
      {c->Button4, "192.168"},
      {c->Button1, "^"},
      {c->Button7, "<"},
      {c->Button6, "exit^"},
      {c->Button10, "ipconfig /all‖|more"},
      {c->Button11, "c:\\‖^cd ‖c:\\^‖cls^"},
      {c->Button12, "prompt ‖$e[44m$p$g‖^cls‖^"},
      {c->Button13, "prompt ‖$e[42m$p$g‖^cls‖^"},
      {c->Button14, "prompt ‖$e[41m$p$g‖^cls‖^"},
      {c->Button15, "prompt ‖$e[45m$p$g‖^cls‖^"},
  };
  for (const Row& r : rows) {
    sim->ClearJournal();
    r.button->Click();
    EXPECT_EQ(Typed(), "#" + r.typed + "#" + r.typed) << r.button->Name;
  }
  // The windows in window order, and the exact events of the variants.
  sim->ClearJournal();
  c->Button10->Click();
  EXPECT_EQ(sim->Calls("SetForegroundWindow"),
            (std::vector<std::string>{"SetForegroundWindow(0x501)", "SetForegroundWindow(0x503)"}));
  std::vector<std::string> events = sim->Calls("keybd_event");
  EXPECT_EQ(std::vector<std::string>(events.begin(), events.begin() + 2),
            (std::vector<std::string>{"keybd_event(0x49, 23, 0, 0)", "keybd_event(0x49, 23, 2, 0)"}));
  EXPECT_EQ(std::vector<std::string>(events.begin() + 26, events.begin() + 30),
            (std::vector<std::string>{"keybd_event(0x10, 42, 0, 0)", "keybd_event(0xdc, 125, 0, 0)",
                                      "keybd_event(0xdc, 125, 2, 0)", "keybd_event(0x10, 42, 2, 0)"}))
      << "the vertical bar is Shift and the yen key";
  sim->ClearJournal();
  c->Button3->Click();
  events = sim->Calls("keybd_event(0xbe");
  EXPECT_EQ(std::vector<std::string>(events.begin(), events.begin() + 2),
            (std::vector<std::string>{"keybd_event(0xbe, 52, 1, 0)", "keybd_event(0xbe, 52, 2, 0)"}));
}

// The same sequences come out on every layout: each character is typed with
// the key and shift state that the layout gives it (on a US keyboard ":" is
// Shift with the ";" key; on a German one "\\", "|" and "[" need AltGr).
TEST_F(ConsoleTest, EveryLayoutTypesTheSameCharacters) {
  using L = platform::SimPlatform::KeyboardLayout;
  Digits({1, 9, 2, 1, 6, 8, 0, 0, 7, 0, 1, 0});
  Store("F17", "CK2", "1");
  TForm15* c = Open();
  sim->topWindows.resize(1);
  for (L layout : {L::Japanese, L::US, L::German}) {
    SCOPED_TRACE(static_cast<int>(layout));
    sim->keyboardLayout = layout;
    for (auto [button, typed] : std::vector<std::pair<tk::Button*, std::string>>{
             {c->Button11, "c:\\‖^cd ‖c:\\^‖cls^"},
             {c->Button10, "ipconfig‖|more"},
             {c->Button12, "prompt ‖$e[44m$p$g‖^cls‖^"},
             {c->Button3, "192.168."},
             {c->Button4, "07.10"}}) {
      sim->ClearJournal();
      button->Click();
      EXPECT_EQ(Typed(), "#" + typed) << button->Name;
    }
  }
  // The exact events: the modifiers go down before the key and up after it,
  // in reverse order; the period stays an extended key.
  sim->keyboardLayout = L::US;
  sim->ClearJournal();
  ASSERT_TRUE(netconsole::SendChar(':'));
  EXPECT_EQ(sim->Calls("keybd_event"),
            (std::vector<std::string>{"keybd_event(0x10, 42, 0, 0)", "keybd_event(0xba, 39, 0, 0)",
                                      "keybd_event(0xba, 39, 2, 0)", "keybd_event(0x10, 42, 2, 0)"}));
  sim->keyboardLayout = L::German;
  sim->ClearJournal();
  ASSERT_TRUE(netconsole::SendChar('\\'));
  ASSERT_TRUE(netconsole::SendChar('.'));
  EXPECT_EQ(sim->Calls("keybd_event"),
            (std::vector<std::string>{"keybd_event(0x11, 29, 0, 0)", "keybd_event(0x12, 56, 0, 0)",
                                      "keybd_event(0xdb, 12, 0, 0)", "keybd_event(0xdb, 12, 2, 0)",
                                      "keybd_event(0x12, 56, 2, 0)", "keybd_event(0x11, 29, 2, 0)",
                                      "keybd_event(0xbe, 52, 1, 0)", "keybd_event(0xbe, 52, 2, 0)"}));
  // A character that no key of the layout gives (the German "`" is a dead
  // key) is left out rather than typed as some other key.
  sim->ClearJournal();
  EXPECT_FALSE(netconsole::SendChar('`'));
  EXPECT_TRUE(sim->Calls("keybd_event").empty());
}

TEST_F(ConsoleTest, OctetsLeaveOutOnlyAZeroHundredsDigit) {
  struct Case {
    std::vector<int> digits;
    std::string row1, row2;
  } cases[] = {
      {{0, 1, 0, 0, 0, 1, 0, 0, 7, 0, 0, 0}, "10.01.", "07.00"},
      // Values that are no digit type nothing rather than some other key.
      {{12, 5, 5, -1, 1, 1, 2, 5, 5, 2, 5, 5}, "55.11.", "255.255"},
  };
  for (const Case& k : cases) {
    Digits(k.digits);
    TForm15* c = Open();
    sim->topWindows.resize(1);
    sim->ClearJournal();
    c->Button3->Click();
    c->Button4->Click();
    EXPECT_EQ(Typed(), "#" + k.row1 + "#" + k.row2);
    c->Close();
    tk::Application::Instance().ProcessMessages();
  }
}

TEST_F(ConsoleTest, OpeningSwitchesCapsLockOffAndStartsAPrompt) {
  sim->keyboardState[0x14] = 1;
  TForm15* c = Open();
  EXPECT_EQ(sim->Calls("keybd_event"),
            (std::vector<std::string>{"keybd_event(0x14, 0, 0, 0)", "keybd_event(0x14, 0, 2, 0)"}));
  EXPECT_EQ(sim->Calls("ShellExecute"),
            (std::vector<std::string>{"ShellExecute(owner, NULL, \"command.com\", NULL, NULL, 1)"}));
  EXPECT_EQ(sim->Calls("SetForegroundWindow").size(), 2u) << "the prompt windows come to the front";
  EXPECT_FALSE(main->CommandSender1->Enabled());
  EXPECT_TRUE(main->PingSender1->Enabled()) << "the tray item stays";
  EXPECT_TRUE(c->AppWindow);
  EXPECT_EQ(c->Caption(), "Kivo-Brevo PingSender Ver1.0 Personal");
  EXPECT_EQ(c->Button3->Caption(), "Ping IP2");
  EXPECT_EQ(c->Button4->Caption(), "Ping IP3");
  c->Button16->Click();
  EXPECT_EQ(c->Button3->Caption(), "Ping IP1") << "the update's defaults";
  EXPECT_EQ(c->Button4->Caption(), "Ping IP2");

  // Caps Lock held down, or off: left alone. No command.com: the system's
  // interpreter in a window titled as a prompt.
  sim->keyboardState[0x14] = 0x81;
  sim->missingFiles = {"command.com"};
  sim->ClearJournal();
  main->PingSender1->Click();  // a second console, from the tray
  EXPECT_NE(Form15, c);
  EXPECT_TRUE(sim->Calls("keybd_event").empty());
  ASSERT_FALSE(sim->Calls("ShellExecute").empty());
  EXPECT_EQ(sim->Calls("ShellExecute").back(),
            "ShellExecute(owner, NULL, \"cmd.exe\", \"/k title MS-DOS プロンプト\", NULL, 1)");
}

// Each switch has its own flag, at opening and at "更新" alike: the all
// switch alone adds " /all", the more switch alone the pipe into more.
TEST_F(ConsoleTest, OpeningAndUpdateLoadEachSwitchIntoItsOwnFlag) {
  sim->topWindows.resize(1);
  Store("F17", "CK1", "0");
  Store("F17", "CK2", "1");
  TForm15* c = Open();
  auto ipconfig = [&] {
    sim->ClearJournal();
    c->Button10->Click();
    return Typed();
  };
  EXPECT_EQ(ipconfig(), "#ipconfig‖|more");

  Store("F17", "CK1", "1");
  Store("F17", "CK2", "0");
  Digits({0, 1, 0, 0, 0, 1, 1, 7, 2, 0, 1, 6});
  Store("F17", "ED2", "Home");
  Store("F17", "ED3", "Modem");
  EXPECT_EQ(ipconfig(), "#ipconfig‖|more") << "nothing changes before the update";
  c->Button16->Click();
  EXPECT_EQ(ipconfig(), "#ipconfig /all‖");
  sim->ClearJournal();
  c->Button3->Click();
  c->Button4->Click();
  EXPECT_EQ(Typed(), "#10.01.#172.16");
  EXPECT_EQ(c->Button3->Caption(), "Home");
  EXPECT_EQ(c->Button4->Caption(), "Modem");

  // A second console reads the switches for itself; the first keeps its own
  // until its own update, as it keeps its buttons' captions.
  Store("F17", "CK1", "0");
  Store("F17", "CK2", "1");
  main->PingSender1->Click();
  TForm15* second = Form15;
  ASSERT_NE(second, c);
  sim->ClearJournal();
  second->Button10->Click();
  EXPECT_EQ(Typed(), "#ipconfig‖|more");
  EXPECT_EQ(ipconfig(), "#ipconfig /all‖") << "the second console's opening changed the first's switches";
}

TEST_F(ConsoleTest, DigitTextThatIsNoNumberStopsTheLoadWithItsMessage) {
  Store("F17", "CBI5", "");
  Store("F17", "ED1", std::string(600, 'B') + "&%s");
  TForm15* c = Open();
  ASSERT_NE(c, nullptr) << "the window still opens";
  ASSERT_EQ(ui->boxes.size(), 1u);
  EXPECT_EQ(ui->boxes[0].text, "'' は整数ではありません");
  EXPECT_TRUE(main->CommandSender1->Enabled()) << "the rest of the opening was skipped";
  EXPECT_TRUE(sim->Calls("ShellExecute").empty());
  c->Show();
  EXPECT_EQ(c->Caption(), "Kivo-Brevo PingSender Ver1.0 " + std::string(600, 'B') + "&%s");
  Store("F17", "ED1", "Other");
  c->Button16->PeerClicked();  // a user's click: the error goes to its box
  EXPECT_EQ(ui->boxes.size(), 2u);
  EXPECT_NE(c->Caption(), "Kivo-Brevo PingSender Ver1.0 Other") << "the caption is not reloaded";
}

TEST_F(ConsoleTest, PausesKeepTheWindowAnsweringAndACloseStopsTheTyping) {
  TForm15* c = Open();
  sim->ClearJournal();
  int pauses = 0;
  sim->onMsgWait = [&](platform::Handle) -> std::uint32_t {
    if (++pauses == 1) {
      EXPECT_TRUE(c->Typing());
      c->Button2->Click();  // ignored: one sequence at a time
      c->Close();
      tk::Application::Instance().FlushReleases();
      EXPECT_EQ(Form15, c) << "deleted under the typing handler";
    }
    sim->tickCount += 100;
    return platform::kWaitTimeout;
  };
  c->Button12->Click();
  EXPECT_EQ(Typed(), "#prompt ‖") << "typing stops at the first pause after the close";
  tk::Application::Instance().ProcessMessages();
  EXPECT_EQ(Form15, nullptr);
  EXPECT_TRUE(main->CommandSender1->Enabled());
}

// Two consoles type into the same prompt windows: a click in one while the
// other pauses in its sequence would be typed into the middle of it. And the
// main menu's item comes back only when the last console is gone.
TEST_F(ConsoleTest, TwoConsolesTypeOneSequenceAtATimeAndShareTheMenuItem) {
  sim->topWindows.resize(1);
  TForm15* a = Open();
  main->PingSender1->Click();
  TForm15* b = Form15;
  ASSERT_NE(a, b);
  sim->ClearJournal();
  int pauses = 0;
  sim->onMsgWait = [&](platform::Handle) -> std::uint32_t {
    if (++pauses == 1) {
      EXPECT_TRUE(b->Typing());
      b->Button2->Click();  // refused: the other console is typing
    }
    sim->tickCount += 100;
    return platform::kWaitTimeout;
  };
  a->Button12->Click();
  EXPECT_EQ(Typed(), "#prompt ‖$e[44m$p$g‖^cls‖^");
  sim->onMsgWait = nullptr;
  sim->ClearJournal();
  b->Button2->Click();
  EXPECT_EQ(Typed(), "#ping ") << "free again once the sequence is done";

  // A console closed in the middle of its sequence frees the others too.
  pauses = 0;
  sim->onMsgWait = [&](platform::Handle) -> std::uint32_t {
    if (++pauses == 1) a->Close();
    sim->tickCount += 100;
    return platform::kWaitTimeout;
  };
  sim->ClearJournal();
  a->Button11->Click();
  EXPECT_EQ(Typed(), "#c:\\‖");
  tk::Application::Instance().ProcessMessages();
  EXPECT_FALSE(main->CommandSender1->Enabled()) << "the other console is still open";
  sim->onMsgWait = nullptr;
  sim->ClearJournal();
  b->Button1->Click();
  EXPECT_EQ(Typed(), "#^");
  b->Close();
  tk::Application::Instance().ProcessMessages();
  EXPECT_TRUE(main->CommandSender1->Enabled());
}

TEST_F(ConsoleTest, HideMainWindowSettingSurvivesTheClose) {
  Store("F15", "C1", "1");
  main->Show();
  TForm15* c = Open();
  EXPECT_FALSE(main->Visible());
  c->Close();
  EXPECT_TRUE(main->Visible());
  EXPECT_EQ(Stored("F15", "C1"), "1");
  EXPECT_EQ(Stored("F15", "X"), "200");
}

TEST_F(ConsoleTest, OptionsStoreEverythingOnEveryClose) {
  TForm15* c = Open();
  ui->onModal = [&](tk::Form& f) {
    auto& o = static_cast<TForm17&>(f);
    EXPECT_EQ(o.Edit2->Text(), "Ping IP1");
    EXPECT_EQ(o.ComboBox(1)->Items().size(), 3u);
    EXPECT_EQ(o.ComboBox(5)->Items().size(), 11u);
    o.ComboBox(1)->PeerSelected(1);
    o.ComboBox(3)->PeerTextChanged("7");  // typed, not chosen
    o.ComboBox(5)->PeerSelected(10);      // the empty item
    o.CheckBox2->Click();
    o.Edit1->SetText("Home");
    o.Button1->Click();
  };
  c->Button9->Click();
  ASSERT_EQ(ui->boxes.size(), 1u);
  EXPECT_EQ(ui->boxes[0].text, "設定を有効にするには、”更新”を押して設定を反映させて下さい。");
  EXPECT_EQ(ui->boxes[0].caption, "Raru Derura Ver1.0");
  EXPECT_EQ(ui->boxes[0].flags, 0x30u);
  EXPECT_EQ(Stored("F17", "CB1"), "1");
  EXPECT_EQ(Stored("F17", "CBI1"), "1");
  EXPECT_EQ(Stored("F17", "CB3"), "-1");
  EXPECT_EQ(Stored("F17", "CBI3"), "7");
  EXPECT_EQ(Stored("F17", "CB5"), "10");
  EXPECT_EQ(Stored("F17", "CBI5"), "");
  EXPECT_EQ(Stored("F17", "CK2"), "1");
  EXPECT_EQ(Stored("F17", "ED1"), "Home");
  EXPECT_EQ(c->Caption(), "Kivo-Brevo PingSender Ver1.0 Personal") << "not before the update";

  ui->onModal = [&](tk::Form& f) {
    auto& o = static_cast<TForm17&>(f);
    EXPECT_EQ(o.ComboBox(3)->Text(), "") << "an index of -1 leaves the box empty";
    EXPECT_EQ(o.ComboBox(5)->ItemIndex(), 10);
    o.PeerCloseRequested();  // the close box: stores, no reminder
  };
  c->Button9->Click();
  EXPECT_EQ(ui->boxes.size(), 1u);
  EXPECT_EQ(Stored("F17", "CBI3"), "");
  tk::Application::Instance().ProcessMessages();
  EXPECT_EQ(Form17, nullptr);
}

}  // namespace
