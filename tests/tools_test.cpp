// Launchers and desktop toggles.
#include "main_window_fixture.h"
#include "tools/tools.h"

namespace {
class ToolsTest : public MainWindowFixture {
 protected:
  // Made and started, with the launchers' look for their programs over.
  TForm1* Create() {
    CreateQuiet();
    return LookedForLaunchers();
  }
  // The launchers' look for their programs, one a tick of 10 ms, over
  // (before the window's one-second timers first fire).
  TForm1* LookedForLaunchers() {
    tk::Application::Instance().ProcessMessages();
    ui->AdvanceClock(200);
    return static_cast<TForm1*>(tk::Application::Instance().MainForm());
  }
};

std::string Applet(const char* program, const char* params) {
  return std::string("ShellExecute(owner, \"open\", \"") + program + "\", \"" + params +
         "\", \"\", 1)";
}
std::string Default(const char* file) {
  return std::string("ShellExecute(owner, NULL, \"") + file + "\", NULL, NULL, 1)";
}
std::string Program(const char* file, const std::string& folder = "c:\\winnt\\system32\\") {
  return std::string("ShellExecute(owner, \"open\", \"") + file + "\", \"\", \"" + folder + "\", 1)";
}

TEST_F(ToolsTest, LauncherTableForEveryFamilyAndVersion) {
  struct Row {
    int button;
    std::string family1, nt5, nt4;
  };
  const char* R = "Rundll.exe";
  const char* R32 = "Rundll32.exe";
  const Row rows[] = {
      {6, Applet(R, "Shell32.dll,Control_RunDLL Sysdm.cpl,,1"), Default("devmgmt.msc"),
       Applet(R32, "Shell32.dll,Control_RunDLL Sysdm.cpl")},
      {7, Applet(R, "Shell32.dll,Control_RunDLL Desk.cpl,,3"),
       Applet(R, "Shell32.dll,Control_RunDLL Desk.cpl,,3"), Applet(R, "Shell32.dll,Control_RunDLL Desk.cpl,,3")},
      {8, Applet(R, "Shell32.dll,Control_RunDLL Modem.cpl"),
       Applet(R, "Shell32.dll,Control_RunDLL Modem.cpl"), Applet(R, "Shell32.dll,Control_RunDLL Modem.cpl")},
      {9, Applet(R, "Shell32.dll,Control_RunDLL Powercfg.cpl,,1"), Default("msinfo32.exe"),
       Default("msinfo32.exe")},
      {10, Applet(R, "Shell32.dll,Control_RunDLL Mmsys.cpl"), Program("sol.exe"), Program("sol.exe")},
      {11, Applet(R, "Shell32.dll,Control_RunDLL Netcpl.cpl"),
       Applet(R, "Shell32.dll,Control_RunDLL Netcpl.cpl"), Applet(R, "Shell32.dll,Control_RunDLL Netcpl.cpl")},
      {12, Applet(R, "Shell32.dll,Control_RunDLL Main.cpl"), Default("compmgmt.msc"),
       Applet(R32, "Shell32.dll,Control_RunDLL ncpa.cpl")},
      {13, Applet(R, "Shell32.dll,Control_RunDLL Password.cpl"), Default("perfmon.msc"),
       Default("perfmon.msc")},
      {14, Applet(R, "Shell32.dll,Control_RunDLL Appwiz.cpl"),
       Applet(R, "Shell32.dll,Control_RunDLL Appwiz.cpl"), Applet(R, "Shell32.dll,Control_RunDLL Appwiz.cpl")},
      {15, Applet(R, "Shell32.dll,Control_RunDLL Timedate.cpl"), Default("diskmgmt.msc"),
       Applet(R32, "Shell32.dll,Control_RunDLL Timedate.cpl")},
      {19, Applet(R, "Shell32.dll,Control_RunDLL Joy.cpl"), Program("freecell.exe"),
       Program("freecell.exe")},
  };
  struct Os {
    const char* name;
    platform::OsVersion v;
  } systems[] = {{"98", {4, 10, 1998, 1}},    {"2000", {5, 0, 2195, 2}},  {"XP", {5, 1, 2600, 2}},
                 {"NT4", {4, 0, 1381, 2}},    {"Vista", {6, 0, 6002, 2}}, {"7", {6, 1, 7601, 2}},
                 {"10", {10, 0, 19045, 2}},   {"other", {1, 0, 0, 3}}};
  for (const Os& os : systems) {
    sim->version = os.v;
    for (const Row& r : rows) {
      SCOPED_TRACE(std::string(os.name) + " Button" + std::to_string(r.button));
      sim->ClearJournal();
      tools::Launch(r.button, 1, [](const std::string&) {});
      auto calls = sim->Calls("ShellExecute");
      bool anyOs = r.button == 7 || r.button == 8 || r.button == 11 || r.button == 14;
      if (os.v.platformId > 2 && !anyOs) {
        EXPECT_TRUE(calls.empty());
        continue;
      }
      ASSERT_EQ(calls.size(), 1u);
      // Only major version 5 is 2000/XP: NT 4 and everything after it (6.x,
      // 10) take the other column; from Vista on its games are looked for
      // in the system folder.
      const bool nt5 = os.v.major == 5;
      std::string want = os.v.platformId == 1 ? r.family1
                         : os.v.platformId == 2 ? (nt5 ? r.nt5 : r.nt4)
                                                : r.family1;
      if (os.v.platformId == 2 && os.v.major >= 6 && (r.button == 10 || r.button == 19))
        want = Program(r.button == 10 ? "sol.exe" : "freecell.exe", "C:\\WINDOWS\\system32\\");
      EXPECT_EQ(calls[0], want);
      EXPECT_EQ(sim->Calls("GetVersionEx").size(), anyOs ? 0u : 1u);
    }
  }
}

TEST_F(ToolsTest, MissingProgramIsReportedOnlyByTheCheckingRows) {
  TForm1* f = Create();
  sim->shellExecuteLastError = platform::kErrorFileNotFound;
  f->Button9->SetEnabled(true);
  f->launchers->Button9Click(nullptr);
  EXPECT_EQ(f->StatusBar1->SimpleText(), "");
  for (auto handler : {&LauncherPanel::Button10Click, &LauncherPanel::Button13Click, &LauncherPanel::Button19Click}) {
    f->status.Show("");
    (f->launchers->*handler)(nullptr);
    EXPECT_EQ(f->StatusBar1->SimpleText(), "実行ファイルが見つかりません");
  }
  sim->shellExecuteLastError = 0;
  f->launchers->Button10Click(nullptr);
  EXPECT_EQ(f->StatusBar1->SimpleText(), "実行ファイルが見つかりません") << "not cleared on success";
}

// From Vista on a launcher whose program the system lacks is switched off
// once the window is up, and says why: Solitaire and FreeCell are gone from
// Vista on; the other launchers of NT 4's column are there. Older systems
// are not looked at.
TEST_F(ToolsTest, FromVistaOnALauncherWhoseProgramIsMissingIsOffWithItsReason) {
  for (const char* release : {"98SE", "NT4", "XP", "Vista", "7", "8.1", "10", "11"}) {
    SCOPED_TRACE(release);
    TearDown();
    SetUp();
    sim->UseRelease(release);
    Store("F6", "C2", "1");  // no logo
    auto& app = tk::Application::Instance();
    TForm1* f = app.CreateForm<TForm1>();
    EXPECT_TRUE(f->Button10->Enabled()) << "nothing is looked for before the window is up";
    EXPECT_TRUE(sim->Calls("FindFirstFile(\"" + sim->SystemDirectory() + "\\sol.exe").empty());
    const bool vista = sim->version.platformId == platform::kPlatformNT && sim->version.major >= 6;
    // Once it is up, one launcher at a time when no message waits.
    sim->ClearJournal();
    app.Started();
    app.ProcessMessages();
    EXPECT_TRUE(f->Button10->Enabled());
    ui->AdvanceClock(10);
    EXPECT_EQ(sim->Calls("FindFirstFile").size(), vista ? 2u : 0u)
        << "one launcher a tick: Rundll32.exe and sysdm.cpl";
    LookedForLaunchers();
    for (const auto& [number, button] : f->launchers->Buttons()) {
      SCOPED_TRACE(button->Name);
      const bool game = number == 10 || number == 19;
      const bool offOnNt = number == 7 || number == 8 || number == 11 || number == 14;
      const bool nt = sim->version.platformId == platform::kPlatformNT;
      EXPECT_EQ(button->Enabled(), !(nt && offOnNt) && !(vista && game));
      EXPECT_EQ(button->Hint, vista && game ? std::string("このWindowsには ") +
                                                  (number == 10 ? "sol.exe" : "freecell.exe") + " がありません"
                                            : "");
    }
    if (!vista) {
      EXPECT_TRUE(sim->Calls("FindFirstFile(\"" + sim->SystemDirectory()).empty());
    }
  }
}

// Each kind of command is looked for where it is started from: an applet's
// program and the applet in the system folder, a console by its bare name in
// the system folder, the Windows folder or on the PATH, a game in the system
// folder, where it starts when someone put it there.
TEST_F(ToolsTest, EachKindOfLauncherIsLookedForWhereItStarts) {
  sim->UseRelease("7");
  const std::string system = sim->SystemDirectory() + "\\";
  sim->files.erase(system + "ncpa.cpl");
  sim->files.erase(system + "perfmon.msc");
  sim->files.insert("C:\\Tools\\perfmon.msc");
  sim->environment["PATH"] = "C:\\WINDOWS\\SYSTEM32; ;C:\\Nowhere\\; C:\\Tools\\ ;C:\\Later";
  sim->files.erase(system + "msinfo32.exe");
  sim->files.insert(sim->windowsDirectory + "\\msinfo32.exe");
  sim->files.insert(system + "sol.exe");  // the old game copied over
  CreateMain();  // the journal kept
  TForm1* f = LookedForLaunchers();
  EXPECT_FALSE(f->Button12->Enabled());
  EXPECT_EQ(f->Button12->Hint, "このWindowsには ncpa.cpl がありません");
  EXPECT_TRUE(f->Button13->Enabled()) << "found on the PATH";
  // Each file is looked for once, each folder once: the system folder as
  // the PATH names it again is not searched twice, and the search ends
  // where the file is found.
  EXPECT_EQ(sim->Calls("FindFirstFile(\"" + system + "Rundll32.exe\")").size(), 1u);
  std::vector<std::string> perfmon;
  for (const std::string& call : sim->Calls("FindFirstFile"))
    if (call.find("perfmon.msc") != std::string::npos) perfmon.push_back(call);
  EXPECT_EQ(perfmon, (std::vector<std::string>{"FindFirstFile(\"" + system + "perfmon.msc\")",
                                               "FindFirstFile(\"C:\\Windows\\perfmon.msc\")",
                                               "FindFirstFile(\"C:\\Nowhere\\perfmon.msc\")",
                                               "FindFirstFile(\"C:\\Tools\\perfmon.msc\")"}));
  EXPECT_TRUE(f->Button9->Enabled()) << "found in the Windows folder";
  EXPECT_TRUE(f->Button10->Enabled());
  sim->ClearJournal();
  f->Button10->Click();
  EXPECT_EQ(sim->Calls("ShellExecute"),
            (std::vector<std::string>{Program("sol.exe", sim->SystemDirectory() + "\\")}));
  EXPECT_FALSE(f->Button19->Enabled());

  // Without the program that runs the applets, those name it.
  TearDown();
  SetUp();
  sim->UseRelease("10");
  sim->files.erase(sim->SystemDirectory() + "\\rundll32.exe");
  sim->environment.erase("PATH");
  f = Create();
  for (tk::Button* b : {f->Button6, f->Button12, f->Button15}) {
    EXPECT_FALSE(b->Enabled()) << b->Name;
    EXPECT_EQ(b->Hint, "このWindowsには Rundll32.exe がありません") << b->Name;
  }
  EXPECT_TRUE(f->Button9->Enabled());
  EXPECT_TRUE(f->Button13->Enabled());

  // A console found in no local folder is off, unless the PATH names a
  // network folder: that is not looked into (a server that does not answer
  // would hold the window), so the launcher stays on.
  for (const char* path : {"C:\\Tools", "\\\\server\\tools;C:\\Tools"}) {
    SCOPED_TRACE(path);
    TearDown();
    SetUp();
    sim->UseRelease("10");
    sim->files.erase(sim->SystemDirectory() + "\\perfmon.msc");
    sim->environment["PATH"] = path;
    f = Create();
    const bool network = std::string(path).find("server") != std::string::npos;
    EXPECT_EQ(f->Button13->Enabled(), network);
    for (const std::string& call : sim->Calls("FindFirstFile"))
      EXPECT_EQ(call.find("server"), std::string::npos) << call;
  }
}

// The reason shows in the status bar while the mouse is on the launcher;
// elsewhere the status bar's own line (the last error) is back.
TEST_F(ToolsTest, TheStatusBarGivesTheReasonWhileTheMouseIsOnTheLauncher) {
  sim->UseRelease("10");
  TForm1* f = Create();
  f->status.Show("Error ExitWindowEx");
  f->Button10->PeerMouseMove();
  EXPECT_EQ(f->StatusBar1->SimpleText(), "このWindowsには sol.exe がありません");
  f->Button19->PeerMouseMove();
  EXPECT_EQ(f->StatusBar1->SimpleText(), "このWindowsには freecell.exe がありません");
  f->Button9->PeerMouseMove();  // there: no reason
  EXPECT_EQ(f->StatusBar1->SimpleText(), "Error ExitWindowEx");
  f->Button10->PeerMouseMove();
  f->PeerMouseMove();  // the window between the buttons
  EXPECT_EQ(f->StatusBar1->SimpleText(), "Error ExitWindowEx");
  f->Button7->PeerMouseMove();  // off on NT, for no missing program
  EXPECT_EQ(f->StatusBar1->SimpleText(), "Error ExitWindowEx");
  // A message while the reason shows takes the line, and stays.
  f->Button10->PeerMouseMove();
  f->status.Show("");
  f->Bevel1->PeerMouseMove();
  EXPECT_EQ(f->StatusBar1->SimpleText(), "");
  // Hints of other controls are not shown there.
  f->CheckBox3->PeerMouseMove();
  EXPECT_EQ(f->StatusBar1->SimpleText(), "");
}

TEST_F(ToolsTest, TogglesMakeTheirCallsAtOnce) {
  UseVersion(platform::kPlatformWindows, 4, 90);
  sim->windowsByClass["Shell_TrayWnd"] = 0x55;
  TForm1* f = Create();
  f->CheckBox1->Click();
  EXPECT_EQ(sim->shownWindows[0x55], 0);
  f->CheckBox1->Click();
  EXPECT_EQ(sim->shownWindows[0x55], 1);
  f->CheckBox4->Click();
  f->CheckBox4->Click();
  EXPECT_EQ(sim->Calls("SystemParametersInfo"),
            (std::vector<std::string>{"SystemParametersInfo(97, 1, &old, 0)",
                                      "SystemParametersInfo(97, 0, &old, 0)"}));
  f->Open1->Click();
  f->Close1->Click();
  EXPECT_EQ(sim->Calls("mciSendCommand"),
            (std::vector<std::string>{
                "mciSendCommand(0, 0x803, 0x2002, \"cdaudio\")",
                "mciSendCommand(7, 0x80d, 0x102, \"cdaudio\")",
                "mciSendCommand(7, 0x804, 0x2, \"cdaudio\")",
                "mciSendCommand(0, 0x803, 0x2002, \"cdaudio\")",
                "mciSendCommand(7, 0x80d, 0x202, \"cdaudio\")",
                "mciSendCommand(7, 0x804, 0x2, \"cdaudio\")",
            }));
}

TEST_F(ToolsTest, MissingTaskbarIsSilent) {
  TForm1* f = Create();
  f->CheckBox1->Click();
  EXPECT_EQ(sim->Calls("ShowWindow"), (std::vector<std::string>{"ShowWindow(0x0, 0)"}));
  EXPECT_TRUE(f->CheckBox1->Checked());
}

TEST_F(ToolsTest, StatusBarToggleResizesTheWindow) {
  TForm1* f = Create();
  f->CheckBox5->Click();
  EXPECT_EQ(f->Height(), 330);
  EXPECT_FALSE(f->StatusBar1->Visible());
  f->CheckBox5->Click();
  EXPECT_EQ(f->Height(), 360);
  EXPECT_TRUE(f->StatusBar1->Visible());
  EXPECT_EQ(f->Width(), 531);
}

TEST_F(ToolsTest, RunEntryEditsKeepOtherProgramsByteForByte) {
  const std::string me = "C:\\Program Files\\Kivo\\kivo_config.exe";
  const std::string quoted = "\"" + me + "\"";
  struct Case {
    std::string before;
    bool registered;
    std::string after;
  } cases[] = {
      {"", true, quoted},
      {"C:\\A.EXE  c:\\b.exe", true, "C:\\A.EXE  c:\\b.exe " + quoted},
      {"C:\\A.EXE  " + quoted + "\tc:\\b.exe", false, "C:\\A.EXE\tc:\\b.exe"},
      {quoted + " C:\\A.EXE", false, "C:\\A.EXE"},
      {"C:\\A.EXE " + quoted + " " + quoted, true, "C:\\A.EXE " + quoted},
      {quoted + " x.exe " + quoted, false, "x.exe"},
      {"C:\\A.EXE \"C:\\Program Files\\KIVO\\KIVO_CONFIG.EXE\"", false, "C:\\A.EXE"},
      {"C:\\A.EXE \"c:\\other dir\\kivo_config.exe\"", false,
       "C:\\A.EXE \"c:\\other dir\\kivo_config.exe\""},
      {"C:\\A.EXE", false, "C:\\A.EXE"},
      // The reader dropped the quotes that enclosed the whole value.
      {me, false, ""},
      {me, true, me},
      {"C:\\A.EXE\" \"" + me, false, "\"C:\\A.EXE\""},
      {"a b\" x \"" + me, true, "a b\" x \"" + me},
      {"a b\" x \"" + me, false, "\"a b\" x"},
      // Registering follows a moved program and leaves every other entry alone.
      {"C:\\A.EXE \"c:\\other dir\\kivo_config.exe\" D:\\KIVO_CONFIG.EXE x\\b.exe", true,
       "C:\\A.EXE x\\b.exe " + quoted},
      {"C:\\Old Place\\kivo_config.exe", true, quoted},
      {"kivo_config.exe C:\\notkivo_config.exe", true,
       "kivo_config.exe C:\\notkivo_config.exe " + quoted},
      // Quotes written by hand that no dropped pair explains stay as they
      // are, and a copy written against its neighbours leaves them apart.
      {"a\"b", true, "a\"b " + quoted},
      {"a\"b " + quoted, false, "a\"b"},
      {"C:\\A.EXE \"c:\\old\\kivo_config.exe\".\"x y.exe\"", true,
       "C:\\A.EXE .\"x y.exe\" " + quoted},
      {"C:\\A.EXE " + quoted + "\"x y.exe\"", false, "C:\\A.EXE \"x y.exe\""},
      // After a quote left open our path goes in front, not into it.
      {"C:\\A.EXE \"C:\\B C", true, quoted + " C:\\A.EXE \"C:\\B C"},
      {quoted + " C:\\A.EXE \"C:\\B C", true, quoted + " C:\\A.EXE \"C:\\B C"},
      {"x \"", true, me + " x \""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(tools::EditRunEntry(c.before, me, c.registered), c.after) << "[" << c.before << "]";
}

TEST_F(ToolsTest, QuotedEntryReadBackWithoutItsQuotesIsStillFound) {
  // A plain win.ini (95/98/Me): our quoted path alone is read back unquoted.
  sim->profileFiles["win.ini"] = "[windows]\r\nrun=\r\n";
  const std::string path = "\"" + sim->executablePath + "\"";
  tools::SetStartupRegistration(true, sim->executablePath);
  EXPECT_EQ(sim->profileFiles["win.ini"], "[windows]\r\nrun=" + path + "\r\n");
  EXPECT_EQ(sim->GetProfileString("win.ini", "windows", "run", ""), sim->executablePath);
  sim->ClearJournal();
  tools::SetStartupRegistration(true, sim->executablePath);
  EXPECT_TRUE(sim->Calls("WriteProfileString").empty()) << "registered once only";
  tools::SetStartupRegistration(false, sim->executablePath);
  EXPECT_EQ(sim->profileFiles["win.ini"], "[windows]\r\nrun=\r\n");

  // The registry-mapped form keeps the quotes: the same edits.
  sim->profileMappedToRegistry = true;
  tools::SetStartupRegistration(true, sim->executablePath);
  tools::SetStartupRegistration(true, sim->executablePath);
  EXPECT_EQ(sim->profileFiles["win.ini"], "[windows]\r\nrun=" + path + "\r\n");
  tools::SetStartupRegistration(false, sim->executablePath);
  EXPECT_EQ(sim->profileFiles["win.ini"], "[windows]\r\nrun=\r\n");
}

TEST_F(ToolsTest, StartupRegistrationEditsOnlyTheRunEntryOfWinIni) {
  const std::string before =
      "; for 16-bit app support\r\n[fonts]\r\n[windows]\r\nload=\r\nrun=C:\\A.EXE\r\n"
      "NullPort=None\r\n[mci extensions]\r\nwav=waveaudio\r\n";
  sim->profileFiles["win.ini"] = before;
  TForm1* f = Create();
  f->CheckBox3->Click();
  const std::string path = "\"" + sim->executablePath + "\"";
  EXPECT_EQ(sim->profileFiles["win.ini"],
            "; for 16-bit app support\r\n[fonts]\r\n[windows]\r\nload=\r\nrun=C:\\A.EXE " + path +
                "\r\nNullPort=None\r\n[mci extensions]\r\nwav=waveaudio\r\n");
  f->CheckBox3->Click();
  EXPECT_EQ(sim->profileFiles["win.ini"], before);
}

// On NT 6 and later the entry is the user's Run value, which Task Manager
// and Settings show and can switch off; an entry of ours left in win.ini is
// taken out of it, other programs' are left alone. 95-XP keep win.ini.
TEST_F(ToolsTest, OnNt6AndLaterTheStartUpEntryIsTheUsersRunValue) {
  UseVersion(platform::kPlatformNT, 10, 0, 19045);
  const std::string path = "\"" + sim->executablePath + "\"";
  sim->profileFiles["win.ini"] = "[windows]\r\nrun=C:\\A.EXE " + path + "\r\n";
  TForm1* f = Create();
  f->CheckBox3->Click();
  auto run = sim->GetValue(tools::kRunKey, "kivo_config");
  ASSERT_TRUE(run.has_value()) << "no Run value";
  EXPECT_EQ(run->type, platform::kRegSz);
  EXPECT_EQ(run->data, path + std::string(1, '\0'));
  EXPECT_EQ(sim->profileFiles["win.ini"], "[windows]\r\nrun=C:\\A.EXE\r\n") << "ours moved, theirs kept";
  f->CheckBox3->Click();
  EXPECT_FALSE(sim->GetValue(tools::kRunKey, "kivo_config").has_value());
  EXPECT_EQ(sim->profileFiles["win.ini"], "[windows]\r\nrun=C:\\A.EXE\r\n");
  // Cleared with nothing there: nothing else is touched.
  sim->SetValue(tools::kRunKey, "other", platform::RegValue{platform::kRegSz, std::string("x\0", 2)});
  tools::SetStartupRegistration(false, sim->executablePath);
  EXPECT_TRUE(sim->GetValue(tools::kRunKey, "other").has_value());

  // XP: win.ini as before, no Run value.
  UseVersion(platform::kPlatformNT, 5, 1, 2600);
  tools::SetStartupRegistration(true, sim->executablePath);
  EXPECT_FALSE(sim->GetValue(tools::kRunKey, "kivo_config").has_value());
  EXPECT_NE(sim->profileFiles["win.ini"].find(path), std::string::npos);

  // Vista, the first NT 6: the Run value, and ours leaves win.ini.
  UseVersion(platform::kPlatformNT, 6, 0, 6002);
  tools::SetStartupRegistration(true, sim->executablePath);
  ASSERT_TRUE(sim->GetValue(tools::kRunKey, "kivo_config").has_value()) << "Vista";
  EXPECT_EQ(sim->profileFiles["win.ini"].find(path), std::string::npos);
}

platform::RegValue Text(const std::string& text) { return platform::RegValue{platform::kRegSz, text + '\0'}; }

// The Run value of our name is ours only while it names this program, in
// whatever form Windows would find it by: quoted or not, with arguments, in
// any case, its short form. Another program's value is never deleted, and
// replaced only when the user says so.
TEST_F(ToolsTest, TheRunValueOfAnotherProgramIsKept) {
  UseVersion(platform::kPlatformNT, 10, 0, 19045);
  const std::string exe = sim->executablePath;  // C:\Program Files\Kivo\kivo_config.exe
  sim->shortPathNames[exe] = "C:\\PROGRA~1\\Kivo\\KIVO_C~1.EXE";
  auto stored = [&] {
    auto v = sim->GetValue(tools::kRunKey, "kivo_config");
    return v ? v->data.substr(0, v->data.find('\0')) : std::string("(none)");
  };
  const std::string others[] = {"\"C:\\Other\\kivo_config.exe\"", "C:\\Program Files\\Kivo\\other.exe /kivo_config.exe",
                                "\"C:\\Program Files\\Kivo\"", "C:\\Program"};
  for (const std::string& other : others) {
    SCOPED_TRACE(other);
    sim->SetValue(tools::kRunKey, "kivo_config", Text(other));
    EXPECT_TRUE(tools::SetStartupRegistration(false, exe));
    EXPECT_EQ(stored(), other) << "not ours: not deleted";
    EXPECT_FALSE(tools::SetStartupRegistration(true, exe));
    std::string asked;
    EXPECT_FALSE(tools::SetStartupRegistration(true, exe, [&](const std::string& o) {
      asked = o;
      return false;
    }));
    EXPECT_EQ(asked, other);
    EXPECT_EQ(stored(), other) << "not ours: not overwritten";
  }
  // A value of another type is no command of ours either.
  sim->SetValue(tools::kRunKey, "kivo_config", platform::RegValue{platform::kRegDword, std::string(4, '\0')});
  EXPECT_TRUE(tools::SetStartupRegistration(false, exe));
  EXPECT_TRUE(sim->GetValue(tools::kRunKey, "kivo_config").has_value());

  const std::string ours[] = {"\"" + exe + "\"", "\"C:\\PROGRAM FILES\\KIVO\\KIVO_CONFIG.EXE\" /tray", exe,
                              exe + " /tray", "c:\\progra~1\\kivo\\kivo_c~1.exe", "\"C:\\PROGRA~1\\Kivo\\KIVO_C~1.EXE\"", ""};
  for (const std::string& mine : ours) {
    SCOPED_TRACE(mine);
    sim->SetValue(tools::kRunKey, "kivo_config", Text(mine));
    EXPECT_TRUE(tools::SetStartupRegistration(true, exe, [](const std::string&) -> bool {
      ADD_FAILURE() << "ours: nothing to ask";
      return false;
    }));
    EXPECT_EQ(stored(), "\"" + exe + "\"");
    sim->SetValue(tools::kRunKey, "kivo_config", Text(mine));
    EXPECT_TRUE(tools::SetStartupRegistration(false, exe));
    EXPECT_EQ(stored(), "(none)") << "ours: deleted";
  }
  // Where the system has no long form (95, NT 4), the short forms compare.
  sim->hasGetLongPathName = false;
  EXPECT_TRUE(tools::NamesProgram("C:\\PROGRA~1\\Kivo\\KIVO_C~1.EXE", exe));
  EXPECT_FALSE(tools::NamesProgram("C:\\Other\\KIVO_C~1.EXE", exe));

  // The check box asks; kept on No, the box goes off again; Yes replaces.
  sim->hasGetLongPathName = true;
  sim->SetValue(tools::kRunKey, "kivo_config", Text(others[0]));
  TForm1* f = Create();
  ui->boxAnswers = {tk::idNo};
  f->CheckBox3->Click();
  ASSERT_EQ(ui->boxes.size(), 1u);
  EXPECT_NE(ui->boxes[0].text.find(others[0]), std::string::npos) << ui->boxes[0].text;
  EXPECT_FALSE(f->CheckBox3->Checked());
  EXPECT_EQ(stored(), others[0]);
  ui->boxAnswers = {tk::idYes};
  f->CheckBox3->Click();
  EXPECT_TRUE(f->CheckBox3->Checked());
  EXPECT_EQ(stored(), "\"" + exe + "\"");
}
}  // namespace
