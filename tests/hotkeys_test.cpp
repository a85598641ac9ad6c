// Global hotkeys: their stored texts, their registration and what a press does.
#include "hotkeys/hotkeys.h"

#include "lock/lock_screen.h"
#include "lock/lock_setup.h"
#include "main_window_fixture.h"
#include "timers/runner.h"
#include "timers/stopwatch.h"
#include "viewer/image_viewer.h"

namespace {

using hotkeys::HotKey;
using hotkeys::kModAlt;
using hotkeys::kModControl;
using hotkeys::kModShift;
using hotkeys::kModWin;

TEST(HotKeyText, ReadsAndWritesEveryKindOfKey) {
  struct Row {
    const char* text;
    HotKey key;
    const char* written;  // what is stored back
  } rows[] = {
      {"", {}, ""},
      {"  ", {}, ""},
      {"Ctrl+Alt+S", {kModControl | kModAlt, 'S'}, "Ctrl+Alt+S"},
      {"shift + ctrl + 7", {kModControl | kModShift, '7'}, "Ctrl+Shift+7"},
      {"Win+Shift+Alt+Ctrl+PageDown", {kModControl | kModAlt | kModShift | kModWin, 0x22}, "Ctrl+Alt+Shift+Win+PageDown"},
      {"F1", {0, 0x70}, "F1"},
      {"Alt+f24", {kModAlt, 0x87}, "Alt+F24"},
      {"Ctrl+printscreen", {kModControl, 0x2C}, "Ctrl+PrintScreen"},
      {"Pause", {0, 0x13}, "Pause"},
      {"Ctrl+Space", {kModControl, 0x20}, "Ctrl+Space"},
      {"Alt+Home", {kModAlt, 0x24}, "Alt+Home"},
      {"Alt+End", {kModAlt, 0x23}, "Alt+End"},
      {"Alt+Insert", {kModAlt, 0x2D}, "Alt+Insert"},
      {"Alt+Delete", {kModAlt, 0x2E}, "Alt+Delete"},
      {"Alt+PageUp", {kModAlt, 0x21}, "Alt+PageUp"},
      {"ctrl+a", {kModControl, 'A'}, "Ctrl+A"},
  };
  for (const Row& r : rows) {
    auto k = hotkeys::ParseHotKey(r.text);
    ASSERT_TRUE(k) << r.text;
    EXPECT_TRUE(*k == r.key) << r.text;
    EXPECT_EQ(hotkeys::FormatHotKey(*k), r.written) << r.text;
  }
  for (const char* bad : {"Ctrl+", "+S", "Ctrl++S", "Ctrl+Ctrl+S", "Ctrl+Alt", "Ctrl+S+T", "Hyper+S",
                          "F0", "F25", "F01", "Ctrl+;", "Ctrl+Esc", "SS", "Ctrl+Ａ"})
    EXPECT_FALSE(hotkeys::ParseHotKey(bad)) << bad;
  // A key without a name here is not written at all.
  EXPECT_EQ(hotkeys::FormatHotKey({kModControl, 0xBA}), "");
  // The hotkey box: Shift, Ctrl and Alt above the key; no Win key.
  EXPECT_TRUE(hotkeys::FromBoxValue(0x0600 | 'S') == (HotKey{kModControl | kModAlt, 'S'}));
  EXPECT_EQ(hotkeys::ToBoxValue({kModShift | kModWin, 0x70}), 0x0100 | 0x70);
}

TEST(HotKeyText, KeysThatTypeTextNeedCtrlAltOrWin) {
  // Shift alone still types (capitals, symbols); F-keys, PrintScreen and Pause type nothing.
  for (const char* taking : {"A", "Shift+A", "7", "Space", "Home", "Shift+Delete", "Shift+PageUp"})
    EXPECT_TRUE(hotkeys::TakesAwayTyping(*hotkeys::ParseHotKey(taking))) << taking;
  for (const char* fine : {"", "Ctrl+A", "Alt+Space", "Win+Home", "Ctrl+Shift+7", "F1", "Shift+F24",
                           "PrintScreen", "Pause", "Shift+Pause"})
    EXPECT_FALSE(hotkeys::TakesAwayTyping(*hotkeys::ParseHotKey(fine))) << fine;
}

class HotKeysTest : public MainWindowFixture {
 protected:
  void StoreKey(const char* ident, const std::string& text) { Store("HotKey", ident, text); }
  void Press(int action) { tk::Application::Instance().PeerHotKey(hotkeys::HotKeyId(action)); }
  size_t Registered() const { return sim->hotkeys.size(); }
};

TEST_F(HotKeysTest, NothingIsRegisteredUntilTheUserSetsAKey) {
  CreateQuiet();
  EXPECT_EQ(Registered(), 0u);
  EXPECT_TRUE(sim->Calls("RegisterHotKey").empty());
}

TEST_F(HotKeysTest, BadValuesAndTakenKeysAreNamedAndTheRestRegistered) {
  StoreKey("ShowHide", "Ctrl+Alt+K");
  StoreKey("CaptureDesktop", "Ctrl+Alt+Banana");
  StoreKey("CaptureWindow", "Ctrl+Alt+P");  // another program holds it
  StoreKey("Viewer", "Ctrl+Alt+K");         // the same as ShowHide
  StoreKey("Stopwatch", "Ctrl+Alt+W");
  StoreKey("Timer", "Ctrl+Alt+T");
  Store("HotKey", "TimerMinutes", "half an hour");
  sim->hotkeysOfOthers.insert({kModControl | kModAlt, 'P'});
  TForm1* main = CreateMain();
  ASSERT_EQ(ui->boxes.size(), 1u);
  const std::string& text = ui->boxes[0].text;
  for (const char* part : {"'Ctrl+Alt+Banana'", "HotKey\\CaptureDesktop", "'half an hour' は整数ではありません",
                           "Ctrl+Alt+P (アクティブウィンドウ取得) は他のプログラム",
                           "Ctrl+Alt+K (画像ビューア) は「メインウィンドウの表示/非表示」と同じキー"})
    EXPECT_NE(text.find(part), std::string::npos) << part << " in\n" << text;
  const platform::Handle app = 0x10000;
  EXPECT_EQ(sim->hotkeys, (std::map<std::pair<platform::Handle, int>, std::pair<std::uint32_t, std::uint32_t>>{
                              {{app, 1}, {kModControl | kModAlt, 'K'}},
                              {{app, 5}, {kModControl | kModAlt, 'W'}}}));
  // At the end every one is given back.
  delete main;
  EXPECT_TRUE(sim->hotkeys.empty());
}

TEST_F(HotKeysTest, EachActionRunsAndALockOnlyOpensItsPrompt) {
  UseVersion(platform::kPlatformWindows, 4, 10, 2222);  // the lock is offered
  TForm1* main = CreateQuiet();
  main->Show();
  Press(hotkeys::kShowHide);
  EXPECT_FALSE(main->Visible());
  Press(hotkeys::kShowHide);
  EXPECT_TRUE(main->Visible());
  Press(hotkeys::kStopwatch);
  ASSERT_NE(Form4, nullptr);
  TForm4* first = Form4;
  Press(hotkeys::kStopwatch);
  EXPECT_EQ(Form4, first) << "one stopwatch";
  Press(hotkeys::kCaptureDesktop);
  EXPECT_FALSE(sim->Calls("keybd_event").empty()) << "the capture's keys";
  Press(hotkeys::kCancel);
  ASSERT_EQ(ui->boxes.size(), 1u);
  EXPECT_EQ(ui->boxes[0].text, cmdline::ReplyText(cmdline::kReplyNothingToCancel));
  Store("HotKey", "TimerMinutes", "45");
  Press(hotkeys::kTimer);
  tk::Application::Instance().ProcessMessages();
  ASSERT_NE(Form11, nullptr);
  EXPECT_TRUE(Form11->Counting());
  EXPECT_EQ(Form11->Label3->Caption(), "2700");
  Press(hotkeys::kCancel);
  tk::Application::Instance().ProcessMessages();
  EXPECT_FALSE(Form11->Counting());

  // Beside the stopwatch the main window offers no lock, nor does the hotkey.
  EXPECT_FALSE(main->Button16->Enabled());
  ui->onModal = [&](tk::Form& f) { ADD_FAILURE() << f.Caption() << " opened beside the stopwatch"; };
  Press(hotkeys::kLock);
  first->Close();
  tk::Application::Instance().ProcessMessages();
  ASSERT_TRUE(main->Button16->Enabled());

  // The lock's hotkey opens the set-up; pressed again during the lock, any
  // hotkey only opens the prompt.
  int setups = 0, prompts = 0;
  ui->onModal = [&](tk::Form& f) {
    if (auto* s = dynamic_cast<TForm9*>(&f)) {
      ++setups;
      Press(hotkeys::kLock);  // no second set-up
      s->Edit1->SetText("pw");
      s->Edit2->SetText("pw");
      s->Button1->Click();
    } else if (auto* l = dynamic_cast<lock::LockWindow*>(&f)) {
      for (int a : {hotkeys::kShowHide, hotkeys::kLock, hotkeys::kViewer}) Press(a);
      EXPECT_FALSE(main->Visible());
      EXPECT_EQ(Form13, nullptr) << "the viewer opened over the lock";
      l->PeerCloseRequested();
    } else if (dynamic_cast<TForm8*>(&f)) {
      ++prompts;
      f.Close();
    }
  };
  Press(hotkeys::kLock);
  EXPECT_EQ(setups, 1);
  EXPECT_EQ(prompts, 3);
}

TEST_F(HotKeysTest, TheWindowStoresWhatIsPressedAndRegistersItAtOnce) {
  StoreKey("Lock", "Ctrl+Alt+L");
  StoreKey("ShowHide", "Win+Alt+H");  // the box cannot show Win: kept when left alone
  TForm1* main = CreateQuiet();  // NT: no lock offered
  EXPECT_EQ(Registered(), 1u) << "the lock's key is not registered where there is no lock";
  ui->onModal = [&](tk::Form& f) {
    auto& w = static_cast<TForm27&>(f);
    EXPECT_EQ(w.Caption(), "ホットキーの設定");
    EXPECT_FALSE(w.HotKeys[hotkeys::kLock]->Enabled());
    EXPECT_EQ(w.HotKeys[hotkeys::kLock]->Key(), 0x0600 | 'L');
    EXPECT_EQ(w.Edit1->Text(), "30");
    w.HotKeys[hotkeys::kViewer]->SetKey(0x0200 | 0x72);  // Ctrl+F3
    w.HotKeys[hotkeys::kCaptureWindow]->SetKey(0x0200 | 0xBA);  // Ctrl+; has no name
    w.Button1->Click();
    EXPECT_NE(ui->boxes.back().text.find("このキーはホットキーに使えません"), std::string::npos);
    EXPECT_TRUE(w.Visible());
    w.HotKeys[hotkeys::kCaptureWindow]->SetKey(0);
    w.Edit1->SetText("x");
    w.Button1->PeerClicked();  // as the user's click: the error goes to the error display
    EXPECT_EQ(ui->boxes.back().text, "'x' は整数ではありません");
    w.Edit1->SetText("90");
    w.Button1->Click();
  };
  main->HotKey1->Click();
  tk::Application::Instance().ProcessMessages();
  EXPECT_EQ(Stored("HotKey", "Viewer"), "Ctrl+F3");
  EXPECT_EQ(Stored("HotKey", "ShowHide"), "Win+Alt+H");
  EXPECT_EQ(Stored("HotKey", "CaptureWindow"), "");
  EXPECT_EQ(Stored("HotKey", "TimerMinutes"), "90");
  EXPECT_EQ(Registered(), 2u);
  EXPECT_EQ(Form27, nullptr) << "released";
}

TEST_F(HotKeysTest, AnUnreadableValueSpoilsOnlyItsOwnRow) {
  const std::string dword("\x05\0\0\0", 4);
  sim->SetValue(Section("HotKey"), "ShowHide", {platform::kRegDword, dword});
  sim->SetValue(Section("HotKey"), "TimerMinutes", {platform::kRegDword, dword});
  StoreKey("Stopwatch", "Ctrl+Alt+W");
  StoreKey("Viewer", "Ctrl+Alt+V");
  StoreKey("Cancel", "Win+Alt+C");
  TForm1* main = CreateMain();
  ASSERT_EQ(ui->boxes.size(), 1u);
  const std::string& text = ui->boxes[0].text;
  const std::string unreadable = "'ShowHide' のデータ型が不正です";
  ASSERT_NE(text.find(unreadable), std::string::npos) << text;
  EXPECT_EQ(text.find(unreadable, text.find(unreadable) + 1), std::string::npos) << "once:\n" << text;
  EXPECT_NE(text.find("'TimerMinutes' のデータ型が不正です"), std::string::npos) << text;
  EXPECT_EQ(Registered(), 3u) << "the readable rows";

  // The window: the unreadable rows empty, the others as stored; OK keeps
  // what it could not read unless the user sets it.
  ui->boxes.clear();
  ui->onModal = [&](tk::Form& f) {
    auto& w = static_cast<TForm27&>(f);
    ASSERT_EQ(ui->boxes.size(), 1u);
    EXPECT_NE(ui->boxes[0].text.find(unreadable), std::string::npos) << ui->boxes[0].text;
    EXPECT_EQ(w.HotKeys[hotkeys::kShowHide]->Key(), 0);
    EXPECT_EQ(w.HotKeys[hotkeys::kStopwatch]->Key(), 0x0600 | 'W');
    EXPECT_EQ(w.HotKeys[hotkeys::kViewer]->Key(), 0x0600 | 'V');
    EXPECT_EQ(w.Edit1->Text(), "");
    w.HotKeys[hotkeys::kViewer]->SetKey(0x0200 | 0x72);  // Ctrl+F3
    w.Button1->Click();
    // Stored: the keys are registered again, and the main window names what
    // it still cannot read.
    ASSERT_EQ(ui->boxes.size(), 2u);
    EXPECT_NE(ui->boxes[1].text.find(unreadable), std::string::npos) << ui->boxes[1].text;
  };
  main->HotKey1->Click();
  tk::Application::Instance().ProcessMessages();
  EXPECT_EQ(sim->GetValue(Section("HotKey"), "ShowHide")->type, platform::kRegDword);
  EXPECT_EQ(sim->GetValue(Section("HotKey"), "TimerMinutes")->type, platform::kRegDword);
  EXPECT_EQ(Stored("HotKey", "Stopwatch"), "Ctrl+Alt+W");
  EXPECT_EQ(Stored("HotKey", "Viewer"), "Ctrl+F3");
  EXPECT_EQ(Stored("HotKey", "Cancel"), "Win+Alt+C");
  EXPECT_EQ(sim->hotkeys.size(), 3u);

  // Set by the user, the row and the minutes are written again.
  ui->onModal = [&](tk::Form& f) {
    auto& w = static_cast<TForm27&>(f);
    w.HotKeys[hotkeys::kShowHide]->SetKey(0x0600 | 'H');
    w.Edit1->SetText("15");
    w.Button1->Click();
  };
  main->HotKey1->Click();
  tk::Application::Instance().ProcessMessages();
  EXPECT_EQ(Stored("HotKey", "ShowHide"), "Ctrl+Alt+H");
  EXPECT_EQ(Stored("HotKey", "TimerMinutes"), "15");
  EXPECT_EQ(sim->hotkeys.size(), 4u);
}

TEST_F(HotKeysTest, AKeyThatTypesTextIsNeitherRegisteredNorStored) {
  StoreKey("ShowHide", "Ctrl+Alt+K");
  StoreKey("CaptureDesktop", "F9");
  StoreKey("Viewer", "A");
  StoreKey("Stopwatch", "Shift+Home");
  TForm1* main = CreateMain();
  ASSERT_EQ(ui->boxes.size(), 1u);
  const std::string& text = ui->boxes[0].text;
  for (const char* part : {"ホットキー A (画像ビューア) は Ctrl、Alt、Win",
                           "ホットキー Shift+Home (ストップウォッチ) は Ctrl、Alt、Win"})
    EXPECT_NE(text.find(part), std::string::npos) << part << " in\n" << text;
  const platform::Handle app = 0x10000;
  EXPECT_EQ(sim->hotkeys, (std::map<std::pair<platform::Handle, int>, std::pair<std::uint32_t, std::uint32_t>>{
                              {{app, 1}, {kModControl | kModAlt, 'K'}}, {{app, 2}, {0u, 0x78u}}}));

  ui->boxes.clear();
  ui->onModal = [&](tk::Form& f) {
    auto& w = static_cast<TForm27&>(f);
    // A plain key pressed in a box gets Ctrl+Alt; an F-key stays alone.
    w.HotKeys[hotkeys::kCaptureWindow]->PeerKeyChanged('B');
    EXPECT_EQ(w.HotKeys[hotkeys::kCaptureWindow]->Key(), 0x0600 | 'B');
    w.HotKeys[hotkeys::kCancel]->PeerKeyChanged(0x0100 | '5');
    EXPECT_EQ(w.HotKeys[hotkeys::kCancel]->Key(), 0x0700 | '5');
    w.HotKeys[hotkeys::kCaptureDesktop]->PeerKeyChanged(0x74);
    EXPECT_EQ(w.HotKeys[hotkeys::kCaptureDesktop]->Key(), 0x74);
    // The stored "A" the user left alone is named and nothing is stored.
    w.Button1->Click();
    ASSERT_EQ(ui->boxes.size(), 1u);
    EXPECT_NE(ui->boxes[0].text.find("画像ビューア: A には"), std::string::npos) << ui->boxes[0].text;
    EXPECT_TRUE(w.Visible());
    EXPECT_EQ(Stored("HotKey", "CaptureWindow"), std::nullopt);
    w.HotKeys[hotkeys::kViewer]->SetKey(0);
    w.Button1->Click();
    ASSERT_EQ(ui->boxes.size(), 2u);
    EXPECT_NE(ui->boxes[1].text.find("ストップウォッチ: Shift+Home には"), std::string::npos) << ui->boxes[1].text;
    w.HotKeys[hotkeys::kStopwatch]->SetKey(0x0400 | 0x24);  // Alt+Home
    w.Button1->Click();
  };
  main->HotKey1->Click();
  tk::Application::Instance().ProcessMessages();
  EXPECT_EQ(Form27, nullptr);
  EXPECT_EQ(Stored("HotKey", "Viewer"), "");
  EXPECT_EQ(Stored("HotKey", "Stopwatch"), "Alt+Home");
  EXPECT_EQ(Stored("HotKey", "CaptureWindow"), "Ctrl+Alt+B");
  EXPECT_EQ(Stored("HotKey", "Cancel"), "Ctrl+Alt+Shift+5");
  EXPECT_EQ(Stored("HotKey", "CaptureDesktop"), "F5");
  for (const auto& call : sim->Calls("RegisterHotKey")) {
    EXPECT_EQ(call.find(", 0x0, 0x41)"), std::string::npos) << call;
    EXPECT_EQ(call.find(", 0x4, 0x24)"), std::string::npos) << call;
  }
}

}  // namespace
