// The main window's stored state: the record read and written side by side,
// and what the switches stored on do at the start.
#include "app/main_window_settings.h"
#include "main_window_fixture.h"
#include "tools/tools.h"

namespace {
class MainWindowSettingsTest : public MainWindowFixture {};

TEST_F(MainWindowSettingsTest, WhatIsWrittenReadsBackUnderTheStoredNames) {
  MainWindowSettings written;
  written.left = -12;
  written.top = 700;
  written.standbyHibernates = true;
  written.forcedTerminationDisabled = true;
  written.startWithWindows = true;
  {
    settings::SettingsStore store;
    written.Write(store);
  }
  for (const auto& [ident, text] : std::vector<std::pair<const char*, const char*>>{
           {"X", "-12"}, {"Y", "700"}, {"KYUSI", "1"}, {"TASK", "0"}, {"TITLE", "1"}, {"STATUS", "0"}, {"STARTUP", "1"}})
    EXPECT_EQ(Stored("F1", ident), text) << ident;
  EXPECT_FALSE(Stored("F1", "TITLE_TAG")) << "the notice writes its flag itself";

  MainWindowSettings read;
  read.taskbarHidden = read.statusBarHidden = true;  // stored off: overwritten
  settings::SettingsStore store;
  read.Read(store);
  EXPECT_EQ(read, written);

  // The notice's flag is read; a text that is no number keeps the record's
  // value; a value of another type than text raises, what came before it
  // read, the rest as it was.
  Store("F1", "TITLE_TAG", "1");
  Store("F1", "X", "abc");
  Store("F1", "TASK", "yes");
  read.left = 5;
  read.Read(store);
  EXPECT_EQ(read.hibernationNoticeShown, 1);
  EXPECT_EQ(read.left, 5);
  EXPECT_FALSE(read.taskbarHidden) << "kept as it was";
  MainWindowSettings before = read;
  Store("F1", "X", "1");
  sim->SetValue(Section("F1"), "STATUS", {platform::kRegDword, std::string("\x01\0\0\0", 4)});
  EXPECT_THROW(read.Read(store), settings::StoreError);
  before.left = 1;
  EXPECT_EQ(read, before);
}

// Each switch stored on acts once at the start, through the step and not
// through its check mark; one stored off does nothing.
TEST_F(MainWindowSettingsTest, TheStartAppliesExactlyTheSwitchesStoredOnOnce) {
  struct Row {
    const char* ident;
    int hides, suspends, entries;  // the taskbar hidden, the keys suspended, the entry written
  };
  const Row rows[] = {{nullptr, 0, 0, 0}, {"TASK", 1, 0, 0}, {"TITLE", 0, 1, 0}, {"STARTUP", 0, 0, 1}, {"STATUS", 0, 0, 0}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.ident ? row.ident : "none");
    TearDown();
    SetUp();
    UseVersion(platform::kPlatformWindows, 4, 90);
    sim->windowsByClass["Shell_TrayWnd"] = 0x77;
    sim->profileFiles["win.ini"] = "[windows]\r\nrun=\r\n";
    for (const char* ident : {"TASK", "TITLE", "STATUS", "STARTUP", "KYUSI"}) Store("F1", ident, "0");
    if (row.ident) Store("F1", row.ident, "1");
    TForm1* f = CreateMain();
    EXPECT_EQ(sim->Calls("ShowWindow(0x77, 0)").size(), static_cast<size_t>(row.hides));
    EXPECT_EQ(sim->Calls("SystemParametersInfo(97, 1").size(), static_cast<size_t>(row.suspends));
    EXPECT_EQ(sim->Calls("SystemParametersInfo(97, 0").size(), 0u);
    EXPECT_EQ(sim->Calls("WriteProfileString").size(), static_cast<size_t>(row.entries));
    EXPECT_EQ(sim->Calls("GetProfileString").size(), static_cast<size_t>(row.entries));
    EXPECT_EQ(f->StatusBar1->Visible(), !(row.ident && std::string(row.ident) == "STATUS"));
    EXPECT_TRUE(ui->boxes.empty());
    // Saved as it was restored.
    f->SaveMainSettings();
    for (const char* ident : {"TASK", "TITLE", "STATUS", "STARTUP", "KYUSI"})
      EXPECT_EQ(Stored("F1", ident), row.ident && std::string(row.ident) == ident ? "1" : "0") << ident;
  }
}

// Another program's start-up entry of our name, kept on the start's
// question: asked once, the box goes off, nothing else is looked at or
// written.
TEST_F(MainWindowSettingsTest, AStartUpEntryKeptAtTheStartIsAskedForOnce) {
  UseVersion(platform::kPlatformNT, 6, 1, 7601);
  const std::string other = "\"C:\\Other\\kivo_config.exe\"";
  sim->SetValue(tools::kRunKey, "kivo_config", {platform::kRegSz, other + '\0'});
  Store("F1", "STARTUP", "1");
  Store("F1", "KYUSI", "1");  // the hibernation notice comes first
  ui->boxAnswers = {tk::idOk, tk::idNo};
  TForm1* f = CreateMain();
  ASSERT_EQ(ui->boxes.size(), 2u);
  EXPECT_EQ(ui->boxes[0].flags, 48u) << "the hibernation notice";
  EXPECT_NE(ui->boxes[1].text.find(other), std::string::npos);
  EXPECT_FALSE(f->CheckBox3->Checked());
  EXPECT_EQ(sim->Calls("GetProfileString").size(), 1u);
  EXPECT_EQ(sim->GetString(tools::kRunKey, "kivo_config"), other);
}
}  // namespace

namespace {
// A value of another type than text in the section: reported, and the
// section applied not at all (no switch acts from half a record), nor saved
// over at the end.
// What came before it is applied, switches included; what comes after it is
// neither read nor applied, and nothing is saved over the stored state.
TEST_F(MainWindowSettingsTest, AValueOfTheWrongTypeEndsTheReadingWhatCameBeforeApplied) {
  UseVersion(platform::kPlatformWindows, 4, 90);
  sim->windowsByClass["Shell_TrayWnd"] = 0x77;
  Store("F1", "X", "40");
  Store("F1", "TASK", "1");
  Store("F1", "STATUS", "1");
  sim->SetValue(Section("F1"), "TITLE", {platform::kRegDword, std::string("\x01\0\0\0", 4)});
  TForm1* f = CreateMain();
  ASSERT_EQ(ui->boxes.size(), 1u);
  EXPECT_EQ(ui->boxes[0].text, "'TITLE' のデータ型が不正です");
  EXPECT_EQ(f->Left(), 40);
  EXPECT_TRUE(f->CheckBox1->Checked());
  EXPECT_FALSE(sim->Calls("ShowWindow(0x77").empty()) << "the taskbar, read before, hidden";
  EXPECT_FALSE(f->CheckBox5->Checked()) << "read after the bad value";
  f->SaveMainSettings();
  EXPECT_EQ(Stored("F1", "X"), "40");
  EXPECT_EQ(Stored("F1", "TASK"), "1");
}
}  // namespace
