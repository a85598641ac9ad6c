// The screen lock: set-up, lock windows, unlock prompt, and the user settings.
#include <cstdio>
#include <functional>
#include <set>

#include "hotkeys/hotkeys.h"
#include "lock/lock_screen.h"
#include "lock/lock_setup.h"
#include "lock/user_settings.h"
#include "main_window_fixture.h"

namespace {


std::string Hex(std::uintptr_t v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "0x%lx", static_cast<unsigned long>(v));
  return buf;
}

class LockTest : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    UseVersion(platform::kPlatformWindows, 4, 10, 2222);  // the lock is offered on 9x
    main = CreateQuiet();
    // One handler per kind of modal window; each step sees the window.
    ui->onModal = [this](tk::Form& f) {
      if (auto* s = dynamic_cast<TForm9*>(&f)) {
        if (onSetup) onSetup(*s);
      } else if (auto* l = dynamic_cast<lock::LockWindow*>(&f)) {
        if (onLock) onLock(*l);
      } else if (auto* p = dynamic_cast<TForm8*>(&f)) {
        if (onPrompt) onPrompt(*p);
      }
    };
  }

  // Types the two entries and presses OK.
  static void Confirm(TForm9& s, const std::string& a, const std::string& b) {
    s.Edit1->SetText(a);
    s.Edit2->SetText(b);
    s.Button1->Click();
  }
  static void Answer(TForm8& p, const std::string& password) {
    p.Edit2->SetText(password);
    p.Button1->Click();
  }
  size_t SystemKeyCalls(int on) {
    return sim->Calls("SystemParametersInfo(97, " + std::to_string(on)).size();
  }

  TForm1* main = nullptr;
  std::function<void(TForm9&)> onSetup;
  std::function<void(lock::LockWindow&)> onLock;
  std::function<void(TForm8&)> onPrompt;
};

TEST_F(LockTest, WrongThenRightPasswordUnlocksAndBringsTheMainWindowBack) {
  std::vector<std::string> promptTexts;
  int attempts = 0;
  bool solid = false, keysOffWhileLocked = false;
  onSetup = [&](TForm9& s) {
    EXPECT_FALSE(main->Visible()) << "the main window hides for the set-up";
    EXPECT_EQ(s.Caption(), "KIVO-CONFIG FOR Windows");
    EXPECT_FALSE(s.CheckBox1->Checked());
    ui->wipes.clear();
    Confirm(s, "Secret", "secret");  // case matters
    ASSERT_EQ(ui->boxes.size(), 1u);
    EXPECT_EQ(ui->boxes[0].text, "もう一度入力しなおして下さい！！");
    EXPECT_EQ(ui->boxes[0].caption, "KIVO-CONFIG FOR Windows");
    EXPECT_EQ(ui->boxes[0].flags, 0x10u);
    EXPECT_EQ(s.Edit1->Text(), "");
    EXPECT_EQ(s.Edit2->Text(), "");
    EXPECT_TRUE(s.PasswordEntry.empty() && s.PasswordVerify.empty());
    // Both controls had their own copies overwritten, for the longest entry.
    std::set<std::pair<std::string, size_t>> wiped(ui->wipes.begin(), ui->wipes.end());
    EXPECT_EQ(wiped, (std::set<std::pair<std::string, size_t>>{{"Edit1", 12}, {"Edit2", 12}}));
    EXPECT_TRUE(s.Visible()) << "the set-up stays for another try";
    Confirm(s, "Secret", "Secret");
  };
  onLock = [&](lock::LockWindow& l) {
    solid = dynamic_cast<TForm25*>(&l) != nullptr;
    keysOffWhileLocked = l.SystemKeysOff();
    EXPECT_EQ(main->Tag, lock::kSolid);
    EXPECT_EQ(l.GetWindowState(), tk::WindowState::Maximized);
    EXPECT_EQ(l.GetColor(), tk::clBackground);
    EXPECT_TRUE(Form9->Edit1->Text().empty()) << "no window text keeps the password";
    l.PeerClicked();
  };
  onPrompt = [&](TForm8& p) {
    promptTexts = {p.Caption(), p.Label1->Caption(), p.Label2->Caption(), p.Label4->Caption()};
    Answer(p, "secret");
    ++attempts;
    EXPECT_EQ(ui->boxes.back().text, "パスワードが違います！！");
    EXPECT_EQ(ui->boxes.back().caption, "KIVO-CONFIG FOR Windows");
    EXPECT_EQ(p.Edit2->Text(), "") << "a wrong entry is cleared";
    EXPECT_TRUE(p.Visible());
    Answer(p, "Secret");
    ++attempts;
  };
  main->Button16->Click();
  tk::Application::Instance().ProcessMessages();  // deferred releases
  EXPECT_TRUE(solid);
  EXPECT_TRUE(keysOffWhileLocked);
  EXPECT_EQ(attempts, 2);
  EXPECT_EQ(promptTexts, (std::vector<std::string>{
                             "KIVO-CONFIG FOR Windows",
                             "このパソコンは Administrator によってロックされています。",
                             "Windowsに戻るにはパスワードを入力して下さい", ""}));
  EXPECT_EQ(ui->boxes.size(), 2u);
  EXPECT_TRUE(main->Visible()) << "C5 off: the main window comes back";
  EXPECT_EQ(SystemKeyCalls(1), 1u);
  EXPECT_EQ(SystemKeyCalls(0), 1u) << "the system keys come back";
  EXPECT_EQ(Stored("F9", "tomei"), "0");
  EXPECT_EQ(Form9, nullptr) << "the spent set-up window is released with its password";
  EXPECT_EQ(Owned<TForm9>(main), 0u);
  EXPECT_EQ(Form25, nullptr) << "the lock window was released";
  EXPECT_EQ(Form8, nullptr) << "the prompt was released";
  // The password never reached the store.
  for (const auto& call : sim->journal) EXPECT_EQ(call.find("Secret"), std::string::npos) << call;
}

TEST_F(LockTest, TransparentLockWithTrayStartAndTheUsersTexts) {
  Store("F9", "tomei", "1");
  Store("F6", "C5", "1");
  Store("F8", "Title", std::string(1000, 'T') + "%s&");
  Store("F8", "User", "");
  Store("F8", "Coment", "50% & more");
  std::string caption, sentence, comment;
  bool literal = false, transparent = false;
  onSetup = [&](TForm9& s) {
    EXPECT_TRUE(s.CheckBox1->Checked());
    Confirm(s, "", "");  // an empty password is a password
  };
  onLock = [&](lock::LockWindow& l) {
    auto* t = dynamic_cast<TForm7*>(&l);
    transparent = t != nullptr;
    EXPECT_EQ(main->Tag, lock::kTransparent);
    tk::Message erase{tk::wmEraseBkgnd, 0, 0, 0};
    EXPECT_TRUE(l.PeerMessage(erase));
    EXPECT_EQ(erase.result, 1) << "the transparent window paints nothing";
    EXPECT_EQ(sim->Calls("ShowWindow(0x10000, 0)").empty(), false);
    unsigned space = ' ';
    EXPECT_FALSE(l.PeerKeyPress(space)) << "the key is not passed on";
  };
  onPrompt = [&](TForm8& p) {
    caption = p.Caption();
    sentence = p.Label1->Caption();
    comment = p.Label4->Caption();
    literal = !p.Label1->ShowAccelChar && !p.Label4->ShowAccelChar;
    Answer(p, "");
  };
  main->Button16->Click();
  tk::Application::Instance().ProcessMessages();
  EXPECT_TRUE(transparent);
  EXPECT_EQ(caption, std::string(1000, 'T') + "%s&") << "held whole";
  EXPECT_EQ(sentence, "このパソコンは  によってロックされています。");
  EXPECT_EQ(comment, "50% & more");
  EXPECT_TRUE(literal) << "'&' would be drawn as a shortcut mark";
  EXPECT_FALSE(main->Visible()) << "C5 on: only the tray icon";
  EXPECT_EQ(Form7, nullptr);
  EXPECT_EQ(SystemKeyCalls(0), 1u);
}

TEST_F(LockTest, OnlyTheRightPasswordOrAnOutsideCloseEndsTheLock) {
  int prompts = 0;
  onSetup = [&](TForm9& s) { Confirm(s, "pw", "pw"); };
  onLock = [&](lock::LockWindow& l) {
    // Alt+F4, the Alt key, Escape, and closing the prompt leave it locked.
    unsigned alt = tk::vkMenu, f4 = tk::vkF4;
    l.PeerKeyDown(alt);
    EXPECT_EQ(sim->Calls("keybd_event"),
              (std::vector<std::string>{"keybd_event(0x12, 0, 2, 0)", "keybd_event(0x73, 0, 2, 0)"}));
    l.PeerKeyDown(f4);
    EXPECT_EQ(sim->Calls("keybd_event").size(), 2u) << "only Alt is released";
    tk::Message altF4{tk::wmSysCommand, 0xF060, 0, 0};
    EXPECT_TRUE(l.PeerMessage(altF4)) << "SC_CLOSE refused";
    unsigned esc = tk::vkEscape;
    l.PeerKeyPress(esc);  // opens a prompt, which the user closes
    EXPECT_TRUE(l.Visible());
    EXPECT_TRUE(l.SystemKeysOff());
    // Another program closes the lock window: the lock ends.
    l.PeerCloseRequested();
  };
  onPrompt = [&](TForm8& p) {
    ++prompts;
    ui->defaultResults[tk::wmNcHitTest] = lock::kHtCaption;
    tk::Message hit{tk::wmNcHitTest, 0, 0, 0};
    EXPECT_TRUE(p.PeerMessage(hit));
    EXPECT_EQ(hit.result, lock::kHtBorder) << "the prompt cannot be dragged";
    tk::Message altF4{tk::wmSysCommand, 0xF060, 0, 0};
    EXPECT_TRUE(p.PeerMessage(altF4));
    Answer(p, "");  // Enter on an empty entry
    EXPECT_EQ(ui->boxes.back().text, "パスワードが違います！！");
    p.PeerCloseRequested();
  };
  main->Button16->Click();
  tk::Application::Instance().ProcessMessages();
  EXPECT_EQ(prompts, 1);
  EXPECT_EQ(SystemKeyCalls(0), 1u);
  EXPECT_FALSE(main->Visible()) << "an outside close does not bring the main window back";
  EXPECT_EQ(Form25, nullptr);
}

// Someone who wants past the lock tries the tray icon and a second set-up.
TEST_F(LockTest, WhileLockedTheTrayOnlyOpensThePromptAndNoSecondSetUpReplacesThePassword) {
  constexpr unsigned kTray = 1025, kRButtonDown = 0x0204, kLButtonDblClk = 0x0203;
  auto tray = [&](unsigned what) {
    tk::Message m{kTray, 100, static_cast<std::intptr_t>(what), 0};
    main->PeerMessage(m);
  };
  int setups = 0, prompts = 0, nested = 0;
  bool locked = false;
  onSetup = [&](TForm9& s) {
    ++setups;
    // The tray's lock command while the set-up is open: no second one.
    main->N3->Click();
    EXPECT_EQ(Owned<TForm9>(main), 1u);
    EXPECT_EQ(Form9, &s);
    Confirm(s, "Secret7", "Secret7");
  };
  onPrompt = [&](TForm8& p) {
    ++prompts;
    // The tray while the prompt is open: nothing new opens.
    tray(kRButtonDown);
    tray(kLButtonDblClk);
    Answer(p, "");  // an empty entry does not open a lock with a password
    EXPECT_EQ(ui->boxes.back().text, "パスワードが違います！！");
    p.Close();
  };
  onLock = [&](lock::LockWindow& l) {
    if (locked) {
      ++nested;
      return;
    }
    locked = true;
    tray(kRButtonDown);  // the menu with アプリケーションの終了(&A) …
    tray(kLButtonDblClk);  // … and デスクトップに表示(&D)
    main->N3->Click();     // 画面ロック(&G): the way past the lock
    EXPECT_TRUE(ui->popups.empty()) << "the tray menu opened over the lock";
    EXPECT_FALSE(main->Visible()) << "the main window came up over the lock";
    EXPECT_TRUE(l.Visible());
    EXPECT_TRUE(l.SystemKeysOff());
    EXPECT_EQ(Owned<TForm9>(main), 1u) << "a second set-up was opened";
    // The lock still opens with its own password.
    onPrompt = [&](TForm8& p) { Answer(p, "Secret7"); };
    l.PeerClicked();
  };
  main->Button16->Click();
  tk::Application::Instance().ProcessMessages();
  EXPECT_EQ(setups, 1);
  EXPECT_EQ(prompts, 3);
  EXPECT_EQ(nested, 0);
  EXPECT_EQ(SystemKeyCalls(1), 1u);
  EXPECT_EQ(SystemKeyCalls(0), 1u);
  EXPECT_EQ(lock::ActiveLock(), nullptr);
  EXPECT_TRUE(main->Visible());
  // Unlocked, the tray is the tray again.
  ui->popupChoices.push_back("Open2");
  tray(kRButtonDown);
  EXPECT_EQ(ui->popups.size(), 1u);
}

TEST_F(LockTest, APromptWithoutALockRefusesEveryEntry) {
  auto* p = new TForm8(main);
  p->DoCreate();
  Answer(*p, "");
  ASSERT_EQ(ui->boxes.size(), 1u);
  EXPECT_EQ(ui->boxes[0].text, "パスワードが違います！！");
  delete p;
}

TEST_F(LockTest, CancelShowsTheMainWindowAndTheProgramsEndFreesTheSystemKeys) {
  Store("F6", "C5", "1");
  onSetup = [&](TForm9& s) {
    ui->defaultResults[tk::wmNcHitTest] = lock::kHtCaption;
    tk::Message hit{tk::wmNcHitTest, 0, 0, 0};
    s.PeerMessage(hit);
    EXPECT_EQ(hit.result, lock::kHtBorder);
    s.Button2->Click();
  };
  main->Button16->Click();
  tk::Application::Instance().ProcessMessages();
  EXPECT_TRUE(main->Visible()) << "cancel shows the main window, tray start or not";
  EXPECT_EQ(Owned<TForm9>(main), 0u) << "released";
  EXPECT_EQ(SystemKeyCalls(1), 0u);

  // The program ends while locked: the lock window goes without a close.
  onSetup = [&](TForm9& s) { Confirm(s, "x", "x"); };
  onLock = [&](lock::LockWindow&) { tk::Application::Instance().Terminate(); };
  main->Button16->Click();
  EXPECT_EQ(SystemKeyCalls(1), 1u);
  sim->ClearJournal();
  tk::Application::Instance().Shutdown();
  EXPECT_EQ(SystemKeyCalls(0), 1u) << "the system keys stayed off after the program ended";
}

// From Vista on every way to the lock (the button, the tray's item, the
// hotkey) asks the system for its own lock; the program's set-up and lock
// windows never open there, and the main window stays as it was.
class SystemLockTest : public MainWindowFixture {
 protected:
  TForm1* StartOn(const char* release) {
    sim->UseRelease(release);
    Store("HotKey", "Lock", "Ctrl+Alt+L");
    TForm1* f = CreateQuiet();
    f->Show();
    ui->onModal = [this](tk::Form& m) { opened.push_back(m.Name); };
    return f;
  }
  std::vector<std::string> opened;  // modal windows of the program
};

TEST_F(SystemLockTest, EveryWayToTheLockAsksForTheSystemsOwn) {
  for (const char* release : {"Vista", "7", "10", "11"}) {
    SCOPED_TRACE(release);
    TearDown();
    SetUp();
    TForm1* f = StartOn(release);
    EXPECT_EQ(sim->hotkeys.size(), 1u) << "the lock's hotkey is registered";
    f->Button16->Click();
    f->N3->Click();
    tk::Application::Instance().PeerHotKey(hotkeys::HotKeyId(hotkeys::kLock));
    EXPECT_EQ(sim->workstationLocks, 3);
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(Form9, nullptr);
    EXPECT_EQ(lock::ActiveLock(), nullptr);
    EXPECT_TRUE(f->Visible());
    EXPECT_TRUE(ui->boxes.empty());
    EXPECT_TRUE(sim->Calls("SystemParametersInfo(97").empty()) << "the system keys stay as they are";
  }
}

// Where the system refuses (Wine's LockWorkStation is a stub), the user is
// told and nothing else happens: no lock of the program's own in its place.
TEST_F(SystemLockTest, ARefusalIsToldAndNothingElseHappens) {
  TForm1* f = StartOn("10");
  sim->lockWorkStationRefusal = platform::kErrorCallNotImplemented;
  f->Button16->Click();
  ASSERT_EQ(ui->boxes.size(), 1u);
  EXPECT_EQ(ui->boxes[0].text, "Windowsをロックできませんでした。\r\nerror 120");
  EXPECT_EQ(ui->boxes[0].flags, 48u);
  EXPECT_EQ(sim->workstationLocks, 0);
  EXPECT_TRUE(opened.empty());
  EXPECT_EQ(Form9, nullptr);
  EXPECT_TRUE(f->Visible());
  // A system without the call says the same.
  sim->hasLockWorkStation = false;
  f->N3->Click();
  ASSERT_EQ(ui->boxes.size(), 2u);
  EXPECT_EQ(ui->boxes[1].text, ui->boxes[0].text);
}

// NT 4 to XP keep the lock switched off, hotkey and all.
TEST_F(SystemLockTest, NotOfferedFromNt4ToXp) {
  for (const char* release : {"NT4", "2000", "XP"}) {
    SCOPED_TRACE(release);
    TearDown();
    SetUp();
    TForm1* f = StartOn(release);
    EXPECT_FALSE(f->Button16->Enabled());
    EXPECT_FALSE(f->N3->Enabled());
    EXPECT_TRUE(sim->hotkeys.empty());
    tk::Application::Instance().PeerHotKey(hotkeys::HotKeyId(hotkeys::kLock));
    EXPECT_TRUE(sim->Calls("LockWorkStation").empty());
    EXPECT_TRUE(opened.empty());
  }
}

// The user's texts: written under their stored names and read back the
// same; missing ones read as their defaults, a stored empty text as empty.
TEST_F(LockTest, UserTextsReadBackWhatIsWritten) {
  settings::SettingsStore store;
  lock::UserTexts texts;
  texts.Read(store);
  EXPECT_EQ(texts, lock::UserTexts{});
  EXPECT_EQ(texts.lockTitle, "KIVO-CONFIG FOR Windows");
  EXPECT_EQ(texts.user, "Administrator");
  EXPECT_EQ(texts.mainCaption, "KIVO-CONFIG FOR Windows");
  EXPECT_EQ(texts.comment, "");
  texts = {"ロック中", "", "My PC", "戻ります"};
  texts.Write(store);
  EXPECT_EQ(Stored("F8", "Title"), "ロック中");
  EXPECT_EQ(Stored("F8", "User"), "");
  EXPECT_EQ(Stored("F8", "Form1C"), "My PC");
  EXPECT_EQ(Stored("F8", "Coment"), "戻ります");
  lock::UserTexts read;
  read.Read(store);
  EXPECT_EQ(read, texts);
  sim->SetValue(Section("F8"), "Coment", {platform::kRegDword, std::string(4, '\0')});
  lock::UserTexts kept = read;
  EXPECT_THROW(kept.Read(store), settings::StoreError);
  EXPECT_EQ(kept, read);
}

TEST_F(LockTest, UserSettingsApplyRulesAndRoundTrip) {
  Store("F8", "User", "");
  std::string before, title;
  ui->onModal = [&](tk::Form& f) {
    auto& u = static_cast<TForm21&>(f);
    EXPECT_EQ(u.Caption(), "KIVO-CONFIG ユーザー設定");
    EXPECT_EQ(u.Edit1->Text(), "KIVO-CONFIG FOR Windows");
    EXPECT_EQ(u.Edit2->Text(), "") << "a stored empty name stays empty";
    EXPECT_EQ(u.Edit3->Text(), "KIVO-CONFIG FOR Windows");
    EXPECT_FALSE(u.Button2->Enabled()) << "opens with Apply disabled";
    u.Edit4->SetText("comment");
    EXPECT_TRUE(u.Button2->Enabled());
    for (tk::Edit* e : {u.Edit1, u.Edit2, u.Edit3, u.Edit4}) {
      sim->ClearJournal();
      e->PeerFocused();
      EXPECT_EQ(sim->Calls("ImmSetOpenStatus"),
                std::vector<std::string>{"ImmSetOpenStatus(" + Hex(e->Handle()) + ", FALSE)"})
          << e->Name << ": the input method is closed on entry";
    }
    u.PeerActivated();  // back from another program
    EXPECT_FALSE(u.Button2->Enabled());
    u.Edit1->SetText(std::string(1000, 'x'));
    u.Edit3->SetText("New caption");
    sim->ClearJournal();
    u.Button2->Click();
    EXPECT_FALSE(u.Button2->Enabled());
    u.Edit2->SetText("not applied");
    u.Button1->Click();
  };
  main->N5->Click();
  tk::Application::Instance().ProcessMessages();
  std::vector<std::string> order;  // the value names, second in each call
  for (const auto& call : sim->Calls("RegSetValueEx")) {
    size_t name = call.find("\", \"") + 4;
    order.push_back(call.substr(name, call.find('"', name) - name));
  }
  EXPECT_EQ(order, (std::vector<std::string>{"Title", "User", "Form1C", "Coment"}));
  EXPECT_EQ(Stored("F8", "Title"), std::string(1000, 'x'));
  EXPECT_EQ(Stored("F8", "User"), "");
  EXPECT_EQ(Stored("F8", "Coment"), "comment");
  EXPECT_EQ(main->Caption(), "KIVO-CONFIG FOR Windows") << "the caption changes at the next start";
  EXPECT_EQ(Owned<TForm21>(main), 0u);
}

}  // namespace
