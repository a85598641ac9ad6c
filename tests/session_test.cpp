// Exit actions, privileges, drive check, standby and hibernate, the detailed
// settings dialog and the answer to the end-of-session query.
#include "main_window_fixture.h"
#include "session/detailed_settings.h"

namespace {
class SessionTest : public MainWindowFixture {
 protected:
  TForm1* Create() { return CreateQuiet(); }
  std::vector<std::string> Requests() {
    std::vector<std::string> out;
    for (const auto& e : sim->journal)
      if (e.rfind("ExitWindowsEx", 0) == 0 || e.rfind("AdjustTokenPrivileges", 0) == 0 ||
          e.rfind("GetVolumeInformation", 0) == 0 || e.rfind("SetSystemPowerState", 0) == 0 ||
          e.rfind("SetSuspendState", 0) == 0)
        out.push_back(e);
    return out;
  }
};

const std::string kEnable = "AdjustTokenPrivileges(token, FALSE, {1, 19, 2}, 16, NULL, NULL)";
const std::string kDisable = "AdjustTokenPrivileges(token, FALSE, {1, 19, 0}, 16, NULL, NULL)";

TEST_F(SessionTest, EachActionMakesItsRequestOnBothFamilies) {
  struct Case {
    tk::Button* TForm1::*button;
    const char* question;
    std::uint32_t family;
    std::vector<std::string> requests;
    bool closes;
  } cases[] = {
      {&TForm1::Button1, "ログオフしてもよろしいですか？", 1, {"ExitWindowsEx(0, 0)"}, true},
      {&TForm1::Button2, "再起動してもよろしいですか？", 1,
       {"GetVolumeInformation(\"D:\\\", 15, NULL, 0)", "ExitWindowsEx(2, 0)"}, false},
      {&TForm1::Button3, "シャットダウンしてもよろしいですか？", 1,
       {"GetVolumeInformation(\"D:\\\", 15, NULL, 0)", "ExitWindowsEx(1, 0)"}, false},
      {&TForm1::Button4, "電源切断してもよろしいですか？", 1,
       {"GetVolumeInformation(\"D:\\\", 15, NULL, 0)", "ExitWindowsEx(1, 0)"}, false},
      {&TForm1::Button1, "ログオフしてもよろしいですか？", 2, {kEnable, "ExitWindowsEx(0, 0)", kDisable}, true},
      {&TForm1::Button2, "再起動してもよろしいですか？", 2, {kEnable, "ExitWindowsEx(2, 0)", kDisable}, false},
      {&TForm1::Button3, "シャットダウンしてもよろしいですか？", 2,
       {kEnable, "ExitWindowsEx(1, 0)", kDisable}, false},
      {&TForm1::Button4, "電源切断してもよろしいですか？", 2, {kEnable, "ExitWindowsEx(8, 0)", kDisable}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.question) + " family " + std::to_string(c.family));
    TearDown();
    SetUp();
    UseVersion(c.family, c.family == 1 ? 4 : 5, c.family == 1 ? 10 : 1);
    Store("F6", "C3", "1");
    Store("F6", "DR", "D");
    TForm1* f = Create();
    f->StatusBar1->SetSimpleText("old error");
    ui->boxAnswers = {tk::idYes};
    (f->*c.button)->OnClick(nullptr);  // Button3 is disabled on 95/98/Me; its action still stands
    ASSERT_GE(ui->boxes.size(), 1u);
    EXPECT_EQ(ui->boxes[0].text, c.question);
    EXPECT_EQ(ui->boxes[0].flags, 36u);
    EXPECT_EQ(Requests(), c.requests);
    EXPECT_EQ(tk::Application::Instance().Terminated(), c.closes);
    EXPECT_EQ(f->StatusBar1->SimpleText(), c.family == 1 ? "old error" : "");
    EXPECT_TRUE(Stored("F1", "X")) << "settings saved first";
  }
}

TEST_F(SessionTest, AnsweringNoSavesButRequestsNothing) {
  TForm1* f = Create();
  ui->boxAnswers = {tk::idNo};
  f->Button1->Click();
  EXPECT_TRUE(Requests().empty());
  EXPECT_FALSE(tk::Application::Instance().Terminated());
  EXPECT_EQ(Stored("F1", "STATUS"), "0");
}

TEST_F(SessionTest, PowerOffAsksNothingWhileSkipIsSet) {
  TForm1* f = Create();
  f->actions.SkipPowerOffQuestion(true);
  f->Windows1->Click();
  EXPECT_TRUE(ui->boxes.empty());
  EXPECT_EQ(sim->Calls("ExitWindowsEx"), (std::vector<std::string>{"ExitWindowsEx(8, 0)"}));
  ui->boxAnswers = {tk::idNo};
  f->Button2->Click();
  EXPECT_EQ(ui->boxes.size(), 1u) << "the other actions still ask";
}

TEST_F(SessionTest, PrivilegeFailuresStopTheActionWithTheirMessage) {
  struct Case {
    const char* name;
    bool openToken, lookup;
    std::uint32_t adjustError;
    const char* status;
  } cases[] = {
      {"token", false, true, 0, "ErrOpenProcess"},
      {"lookup", true, false, 0, "Error LookupPrivilegeValue"},
      {"not held", true, true, platform::kErrorNotAllAssigned, "Error AdjustTokenPrivileges"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    sim->openTokenResult = c.openToken;
    sim->lookupResult = c.lookup;
    sim->adjustLastError = c.adjustError;
    TForm1* f = Create();
    ui->boxAnswers = {tk::idYes};
    f->Button1->Click();
    EXPECT_TRUE(sim->Calls("ExitWindowsEx").empty());
    EXPECT_EQ(f->StatusBar1->SimpleText(), c.status);
    EXPECT_FALSE(tk::Application::Instance().Terminated()) << "log off does not close";
  }
}

TEST_F(SessionTest, RefusedRequestIsReportedAndLogOffStillCloses) {
  sim->exitWindowsResult = false;
  TForm1* f = Create();
  ui->boxAnswers = {tk::idYes};
  f->Button1->Click();
  EXPECT_EQ(f->StatusBar1->SimpleText(), "Error ExitWindowEx");
  EXPECT_EQ(sim->Calls("AdjustTokenPrivileges").back(), kDisable) << "privilege disabled again";
  EXPECT_TRUE(tk::Application::Instance().Terminated());
}

TEST_F(SessionTest, DriveCheckWarnsOnlyWhenConfiguredAndMediaIsPresent) {
  UseVersion(platform::kPlatformWindows, 4, 10);
  TForm1* f = Create();
  ui->boxAnswers = {tk::idYes};
  f->Button2->Click();
  EXPECT_TRUE(sim->Calls("GetVolumeInformation").empty()) << "C3 off touches no drive";

  Store("F6", "C3", "1");
  ui->boxAnswers = {tk::idYes};
  f->Button2->Click();
  EXPECT_EQ(sim->Calls("GetVolumeInformation").back(),
            "GetVolumeInformation(\"A:\\\", 15, NULL, 0)");
  EXPECT_EQ(ui->boxes.size(), 2u) << "no medium, no warning";

  sim->volumes.insert("A:\\");
  ui->boxAnswers = {tk::idYes};
  f->Button2->Click();
  ASSERT_EQ(ui->boxes.size(), 4u);
  EXPECT_EQ(ui->boxes[3].flags, 48u);
  EXPECT_EQ(ui->boxes[3].text.rfind("ディスクが検出されました。\nBIOS", 0), 0u);
  EXPECT_EQ(sim->Calls("ExitWindowsEx").size(), 3u) << "the warning never cancels";
}

TEST_F(SessionTest, StandbyAndHibernateFollowTheCheckBox) {
  for (std::uint32_t family : {1u, 2u}) {
    for (bool hibernate : {false, true}) {
      SCOPED_TRACE("family " + std::to_string(family) + " hibernate " + std::to_string(hibernate));
      TearDown();
      SetUp();
      Store("F1", "TITLE_TAG", "1");
      UseVersion(family, family == 1 ? 4 : 5, family == 1 ? 90 : 0);
      TForm1* f = Create();
      f->CheckBox2->SetChecked(hibernate);
      EXPECT_EQ(f->Button21->Caption(), hibernate ? "休止状態" : "スタンバイ");
      ui->boxAnswers = {tk::idYes};
      f->Button21->Click();
      EXPECT_EQ(ui->boxes.back().text, "移行してもよろしいですか？");
      std::string call = hibernate ? "SetSystemPowerState(0, 0)" : "SetSystemPowerState(1, 0)";
      if (family == 1)
        EXPECT_EQ(Requests(), (std::vector<std::string>{call}));
      else
        EXPECT_EQ(Requests(), (std::vector<std::string>{kEnable, call, kDisable}));
      EXPECT_FALSE(Stored("F1", "X")) << "standby saves nothing";
    }
  }
}

// From Vista on standby and hibernation go through SetSuspendState (its
// first argument: hibernate), with the shutdown privilege as before; where
// powrprof.dll has none, through SetSystemPowerState.
TEST_F(SessionTest, FromVistaOnTheMachineSleepsThroughSetSuspendState) {
  TForm1* f = nullptr;
  for (const char* release : {"Vista", "10", "11"}) {
    for (bool hibernate : {false, true}) {
      SCOPED_TRACE(std::string(release) + (hibernate ? " hibernate" : " standby"));
      TearDown();
      SetUp();
      sim->UseRelease(release);
      Store("F1", "TITLE_TAG", "1");
      f = Create();
      f->CheckBox2->SetChecked(hibernate);
      ui->boxAnswers = {tk::idYes};
      f->Button21->Click();
      const std::string call = hibernate ? "SetSuspendState(1, 0, 0)" : "SetSuspendState(0, 0, 0)";
      EXPECT_EQ(Requests(), (std::vector<std::string>{kEnable, call, kDisable}));
      EXPECT_EQ(f->StatusBar1->SimpleText(), "");
    }
  }
  sim->suspendStateResult = false;
  ui->boxAnswers = {tk::idYes};
  f->Button21->Click();
  EXPECT_EQ(f->StatusBar1->SimpleText(), "Error ExitWindowEx");
  EXPECT_TRUE(sim->Calls("SetSystemPowerState").empty()) << "a refusal is the system's answer";

  sim->hasPowrProf = false;
  sim->ClearJournal();
  ui->boxAnswers = {tk::idYes};
  f->Button21->Click();
  // The last machine above hibernates.
  EXPECT_EQ(Requests(), (std::vector<std::string>{kEnable, "SetSuspendState(1, 0, 0)",
                                                  "SetSystemPowerState(0, 0)", kDisable}));
  EXPECT_EQ(f->StatusBar1->SimpleText(), "");
}

TEST_F(SessionTest, StandbyFailuresGoToTheStatusBar) {
  sim->powerStateResult = false;
  TForm1* f = Create();
  ui->boxAnswers = {tk::idYes};
  f->Button21->Click();
  EXPECT_EQ(f->StatusBar1->SimpleText(), "Error ExitWindowEx");
  sim->adjustLastError = platform::kErrorNotAllAssigned;
  ui->boxAnswers = {tk::idYes};
  f->Button21->Click();
  EXPECT_EQ(f->StatusBar1->SimpleText(), "Error AdjustTokenPrivileges");
  EXPECT_EQ(sim->Calls("SetSystemPowerState").size(), 1u);
  ui->boxAnswers = {tk::idNo};
  f->Button21->Click();
  EXPECT_EQ(sim->Calls("SetSystemPowerState").size(), 1u);
}

TEST_F(SessionTest, HibernationNoticeIsShownOnTheFirstClickEver) {
  TForm1* f = Create();
  f->CheckBox2->Click();
  ASSERT_EQ(ui->boxes.size(), 1u);
  EXPECT_EQ(ui->boxes[0].text.rfind("この機能はWindowsMeもしくはWindows2000でしか使えません。\r\n", 0), 0u);
  EXPECT_EQ(Stored("F1", "TITLE_TAG"), "1");
  f->CheckBox2->Click();
  EXPECT_EQ(ui->boxes.size(), 1u);
  EXPECT_EQ(f->Button21->Caption(), "スタンバイ");
}

TEST_F(SessionTest, QueryEndSessionForEachBanAndPurgeSetting) {
  for (bool ban : {false, true}) {
    for (bool purge : {false, true}) {
      SCOPED_TRACE("ban " + std::to_string(ban) + " purge " + std::to_string(purge));
      TearDown();
      SetUp();
      TForm1* f = Create();
      Store("F6", "C4", ban ? "1" : "0");
      Store("F6", "C1", purge ? "1" : "0");
      Store("F6", "C3", "1");
      sim->ClearJournal();
      tk::Message m{tk::wmQueryEndSession, 0, 0, 0};
      ASSERT_TRUE(f->PeerMessage(m));
      EXPECT_EQ(m.result, ban ? 0 : 1);
      EXPECT_EQ(ui->boxes.size(), ban ? 1u : 0u);
      if (ban) {
        EXPECT_EQ(ui->boxes[0].text, "現在Windowsを終了出来ません、設定を確認して下さい。");
      }
      EXPECT_EQ(sim->Calls("SHAddToRecentDocs(2, NULL)").size(), purge ? 1u : 0u);
      EXPECT_EQ(sim->Calls("GetVolumeInformation").size(), 1u);
      EXPECT_EQ(ui->PendingMessages(), ban ? 0u : 1u);
      tk::Application::Instance().ProcessMessages();
      tk::Message ended{tk::wmEndSession, ban ? 0u : 1u, 0, 0};
      f->PeerMessage(ended);
      EXPECT_EQ(tk::Application::Instance().Terminated(), !ban) << "the session ended";
      EXPECT_EQ(Stored("F1", "X").has_value(), !ban);
    }
  }
}

TEST_F(SessionTest, EndOfSessionClosesAtOnceAndOnlyOnce) {
  // The system may end the process right after WM_ENDSESSION: the close
  // sequence runs there, before the posted close is handled.
  TForm1* f = Create();
  tk::Message query{tk::wmQueryEndSession, 0, 0, 0};
  f->PeerMessage(query);
  EXPECT_EQ(query.result, 1);
  EXPECT_FALSE(Stored("F1", "X"));
  tk::Message ended{tk::wmEndSession, 1, 0, 0};
  f->PeerMessage(ended);
  EXPECT_TRUE(tk::Application::Instance().Terminated());
  EXPECT_TRUE(Stored("F1", "X"));
  EXPECT_TRUE(sim->trayIcons.empty());
  sim->ClearJournal();
  tk::Application::Instance().ProcessMessages();  // the posted close
  EXPECT_TRUE(sim->Calls("Shell_NotifyIcon").empty()) << "nothing runs twice";
}

TEST_F(SessionTest, CancelledEndOfSessionLeavesTheProgramRunning) {
  // We allowed the end of the session, then another program refused it: the
  // close we posted must not end the program.
  TForm1* f = Create();
  tk::Message query{tk::wmQueryEndSession, 0, 0, 0};
  f->PeerMessage(query);
  ASSERT_EQ(query.result, 1);
  tk::Message ended{tk::wmEndSession, 0, 0, 0};
  f->PeerMessage(ended);
  tk::Application::Instance().ProcessMessages();  // the posted close
  EXPECT_FALSE(tk::Application::Instance().Terminated());
  EXPECT_EQ(sim->trayIcons.size(), 1u);
  EXPECT_FALSE(Stored("F1", "X")) << "nothing was closed or saved";

  // Closing still works afterwards.
  f->Exit1->Click();
  EXPECT_TRUE(tk::Application::Instance().Terminated());
  EXPECT_TRUE(Stored("F1", "X"));
}

class DetailedSettingsTest : public SessionTest {
 protected:
  // Opens the dialog through the menu; the test acts while it is modal.
  void Open(TForm1* f, std::function<void(TForm6&)> act) {
    ui->onModal = [act](tk::Form& form) {
      act(static_cast<TForm6&>(form));
      static_cast<TForm6&>(form).Button1->Click();
    };
    f->N2->Click();
    ui->onModal = nullptr;
  }
};

TEST_F(DetailedSettingsTest, FreshStoreOpensWithDefaultsAndSavesEverything) {
  TForm1* f = Create();
  Open(f, [](TForm6& d) {
    for (tk::CheckBox* c : {d.CheckBox1, d.CheckBox3, d.CheckBox4, d.CheckBox5, d.CheckBox6})
      EXPECT_FALSE(c->Checked());
    EXPECT_TRUE(d.CheckBox2->Checked()) << "the fixture stores C2";
    EXPECT_EQ(d.Left(), 200);
    EXPECT_EQ(d.Top(), 200);
    EXPECT_EQ(d.ComboBox1->Text(), "A");
    EXPECT_FALSE(d.ComboBox1->Enabled());
    EXPECT_FALSE(d.CheckBox6->Enabled());
    d.CheckBox3->Click();
    EXPECT_TRUE(d.ComboBox1->Enabled());
    d.ComboBox1->PeerSelected(3);
    d.CheckBox1->Click();
  });
  EXPECT_EQ(Stored("F6", "C1"), "1");
  EXPECT_EQ(Stored("F6", "C3"), "1");
  EXPECT_EQ(Stored("F6", "C6"), "0");
  EXPECT_EQ(Stored("F6", "CB"), "3");
  EXPECT_EQ(Stored("F6", "DR"), "D");
  EXPECT_EQ(Stored("F6", "X"), "200");
  EXPECT_TRUE(ui->boxes.empty());
  EXPECT_EQ(Owned<TForm6>(f), 0u) << "the dialog was released";
}

TEST_F(DetailedSettingsTest, StoredStateIsShownAndTheBanActsAtOnce) {
  Store("F6", "C4", "0");
  Store("F6", "C5", "1");
  Store("F6", "CB", "8");
  Store("F6", "X", "50");
  TForm1* f = Create();
  Open(f, [](TForm6& d) {
    EXPECT_TRUE(d.CheckBox5->Checked());
    EXPECT_EQ(d.ComboBox1->Text(), "I");
    EXPECT_EQ(d.Left(), 50);
    d.CheckBox4->Click();
  });
  EXPECT_TRUE(ui->boxes.empty()) << "setting the ban shows no message";
  for (tk::Button* b : {f->Button1, f->Button2, f->Button3, f->Button4}) EXPECT_FALSE(b->Enabled());
  EXPECT_TRUE(f->Button21->Enabled());

  Open(f, [](TForm6& d) { d.CheckBox4->Click(); });
  ASSERT_EQ(ui->boxes.size(), 1u);
  EXPECT_EQ(ui->boxes[0].text, "設定を有効にするにはアプリケーションを再起動して下さい。。");
  EXPECT_EQ(ui->boxes[0].caption, "Kivo-SHUTDOWN FOR Windows");
  EXPECT_FALSE(f->Button4->Enabled()) << "buttons stay off until the next start";
  EXPECT_EQ(Stored("F6", "C4"), "0");
}

TEST_F(DetailedSettingsTest, ColourIsAppliedToTheWindowAndItsLabelsAndSavedOnClose) {
  TForm1* f = Create();
  ui->colorAnswers = {std::nullopt, tk::Color{0x00123456}};
  Open(f, [](TForm6& d) {
    d.Button2->Click();  // cancelled
    d.Button2->Click();
  });
  EXPECT_EQ(f->GetColor(), 0x123456);
  for (tk::Label* l : {f->Label1, f->Label2, f->Label3, f->Label7, f->Label4})
    EXPECT_EQ(l->PaintedBackground(), 0x123456) << l->Name;
  f->Exit1->Click();
  EXPECT_EQ(Stored("F6", "CL"), "$00123456");
}
}  // namespace

namespace {
TEST_F(DetailedSettingsTest, BanKeepsASystemShutdownBlockReasonWhereThereIsOne) {
  Store("F6", "C4", "1");
  TForm1* f = Create();
  EXPECT_EQ(sim->blockReasons.count(f->Handle()), 1u) << "registered at start";
  Open(f, [](TForm6& d) { d.CheckBox4->Click(); });
  EXPECT_TRUE(sim->blockReasons.empty()) << "lifting the ban removes it";
  Open(f, [](TForm6& d) { d.CheckBox4->Click(); });
  EXPECT_EQ(sim->blockReasons.count(f->Handle()), 1u);

  TearDown();
  SetUp();
  sim->hasShutdownBlockReason = false;  // Windows XP and older
  Store("F6", "C4", "1");
  EXPECT_NO_THROW(Create());
  EXPECT_TRUE(ui->boxes.empty());
}
}  // namespace
