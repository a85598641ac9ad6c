// What the program does to the rest of the desktop: holding the end of the
// session, hiding the taskbar, and registering itself to start with Windows.
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/harness.h"

namespace e2e {
namespace {

constexpr const char* kExitButtons[] = {"ログオフ", "再起動", "シャットダウン", "電源切断"};
constexpr const char* kBanNotice = "現在Windowsを終了出来ません、設定を確認して下さい。";
constexpr const char* kOtherProgram = "C:\\windows\\notepad.exe";

class Desktop : public WineTest {
 protected:
  void Start() {
    SkipLogo();
    StartApp();
    WaitMainWindow();
  }
  // Starts the program, registers it for start-up and removes it again,
  // reading the run entry through read after each click.
  void RegisterAndUnregister(const std::function<std::optional<std::string>()>& read) {
    Start();
    ASSERT_FALSE(HasFailure());
    ASSERT_DRIVER_OK(Driver({"click", "--title", kMainTitle, "--text", "スタートアップ登録"}));
    EXPECT_TRUE(WaitFor([&] { return read() == RegisteredEntry(); }, 10000))
        << "run = " << read().value_or("(none)") << "\nexpected " << RegisteredEntry();
    ASSERT_DRIVER_OK(Driver({"click", "--title", kMainTitle, "--text", "スタートアップ登録"}));
    EXPECT_TRUE(WaitFor([&] { return read() == std::string(kOtherProgram); }, 10000))
        << "run = " << read().value_or("(none)");
  }

  // Top-level windows of a class as "kivo_driver list" prints them.
  std::vector<std::string> WindowsOfClass(const std::string& cls) {
    Result r = Driver({"list", "--class", cls});
    EXPECT_DRIVER_OK(r);
    return r.lines();
  }

  static bool ListedVisible(const std::string& line) {
    return line.find("\tvisible=1\t") != std::string::npos;
  }

  // Turns the prefix's desktop into a virtual desktop with Wine's taskbar
  // (a Shell_TrayWnd that is shown). Only before the first Wine process of
  // the test: user.reg is read when the prefix's wineserver starts.
  void UseVirtualDesktopWithTaskbar() {
    std::ofstream reg(prefix_ + "/user.reg", std::ios::app);
    reg << "\n[Software\\\\Wine\\\\Explorer] 1700000000\n\"Desktop\"=\"shell\"\n"
        << "\n[Software\\\\Wine\\\\Explorer\\\\Desktops] 1700000000\n\"shell\"=\"1024x768\"\n";
    ASSERT_TRUE(reg.good()) << "cannot write " << prefix_ << "/user.reg";
  }

  std::string WinIni() const { return prefix_ + "/drive_c/windows/win.ini"; }

  // Makes win.ini's [windows] section a plain file section again, as on 9x:
  // Wine, like NT, maps it to the registry through IniFileMapping. Only
  // before the first Wine process of the test.
  void UnmapWinIniWindowsSection() {
    const std::string path = prefix_ + "/system.reg";
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    in.close();
    std::string reg = ss.str();
    const std::string header =
        "[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion\\\\IniFileMapping\\\\win.ini\\\\windows]";
    size_t begin = reg.find(header);
    ASSERT_NE(begin, std::string::npos) << "no IniFileMapping for win.ini [windows] in " << path;
    size_t end = reg.find("\n\n", begin);
    reg.erase(begin, end == std::string::npos ? std::string::npos : end + 2 - begin);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << reg;
  }

  void WriteWinIni(const std::string& text) {
    std::ofstream out(WinIni(), std::ios::binary | std::ios::trunc);
    out << text;
    ASSERT_TRUE(out.good()) << "cannot write " << WinIni();
  }

  // The value of run= in win.ini's [windows] section, nullopt without one.
  std::optional<std::string> RunEntryInFile() {
    std::ifstream in(WinIni(), std::ios::binary);
    std::string line;
    bool inWindows = false;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!line.empty() && line[0] == '[') {
        inWindows = Lower(line.substr(1, line.find(']') - 1)) == "windows";
        continue;
      }
      size_t eq = line.find('=');
      if (!inWindows || eq == std::string::npos) continue;
      std::string name = line.substr(0, eq);
      while (!name.empty() && name.back() == ' ') name.pop_back();
      if (Lower(name) == "run") return line.substr(eq + 1);
    }
    return std::nullopt;
  }

  // The run entry as the program leaves it: the other program, then its own
  // path (quoted when it has blanks).
  static std::string RegisteredEntry() {
    std::string self = WinPath(AppExe());
    if (self.find(' ') != std::string::npos) self = "\"" + self + "\"";
    return std::string(kOtherProgram) + " " + self;
  }

  static std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return s;
  }
};

// With F6\C4 = "1" nothing may end the session while the program runs.
TEST_F(Desktop, ExitBanRefusesTheEndOfTheSession) {
  SetSetting("F6", "C4", "1");
  Start();
  ASSERT_FALSE(HasFailure());
  auto controls = Controls(kMainTitle);
  for (const char* b : kExitButtons) {
    auto c = FindControl(controls, "Button", b);
    ASSERT_TRUE(c) << "no button " << b;
    EXPECT_FALSE(c->enabled) << b << " is enabled under the exit ban";
  }
  auto standby = FindControl(controls, "Button", "スタンバイ");
  ASSERT_TRUE(standby) << "no button スタンバイ";
  EXPECT_TRUE(standby->enabled) << "スタンバイ is disabled under the exit ban";

  // Another program ends the session: Wine's ExitWindowsEx has wineboot ask
  // every top-level window with WM_QUERYENDSESSION.
  ASSERT_DRIVER_OK(Driver({"exit-windows", "--flags", "0"}));  // EWX_LOGOFF
  Result box = Driver({"msgbox", "--title", kBoxTitle, "--answer", std::to_string(kIdOk)}, 30000);
  ASSERT_DRIVER_OK(box);
  ASSERT_FALSE(box.lines().empty());
  EXPECT_EQ(box.lines()[0], kBanNotice);

  EXPECT_FALSE(WaitAppExit(0, 3000).has_value()) << "the program exited under the exit ban";
  EXPECT_DRIVER_OK(Driver({"wait", "--title", kMainTitle, "--visible"}, 2000));
  // Still answering: a sent message comes back.
  EXPECT_DRIVER_OK(Driver({"post", "--send", "--title", kMainTitle, "--msg", "0"}, 5000));  // WM_NULL
}

// wineboot, like Windows, ends the process as soon as WM_ENDSESSION has
// returned, so the settings have to be written by then.
TEST_F(Desktop, EndOfSessionWithoutBanClosesAndSaves) {
  Start();
  ASSERT_FALSE(HasFailure());
  ASSERT_DRIVER_OK(Driver({"exit-windows", "--flags", "0"}));  // EWX_LOGOFF
  ASSERT_TRUE(WaitAppExit(0, 30000)) << "the program did not exit at the end of the session";
  EXPECT_TRUE(GetSetting("F1", "X")) << "F1\\X was not saved";
  EXPECT_TRUE(GetSetting("F1", "Y")) << "F1\\Y was not saved";
}

TEST_F(Desktop, TaskbarCheckBoxHidesAndShowsTheTaskbar) {
  UseVirtualDesktopWithTaskbar();
  Start();
  ASSERT_FALSE(HasFailure());
  if (Driver({"wait", "--class", "Shell_TrayWnd", "--visible"}, 10000).code != 0) {
    std::string found;
    for (const auto& line : WindowsOfClass("Shell_TrayWnd")) found += "\n  " + line;
    GTEST_SKIP() << "Wine's desktop shows no taskbar (a visible Shell_TrayWnd window); found:"
                 << (found.empty() ? std::string(" none") : found);
  }

  ASSERT_DRIVER_OK(Driver({"click", "--title", kMainTitle, "--text", "タスクバーを非表示"}));
  EXPECT_DRIVER_OK(Driver({"wait", "--class", "Shell_TrayWnd", "--hidden"}));
  auto box = FindControl(Controls(kMainTitle), "Button", "タスクバーを非表示");
  ASSERT_TRUE(box);
  EXPECT_EQ(box->checked, 1);

  ASSERT_DRIVER_OK(Driver({"click", "--title", kMainTitle, "--text", "タスクバーを非表示"}));
  EXPECT_DRIVER_OK(Driver({"wait", "--class", "Shell_TrayWnd", "--visible"}));
}

// A stored "taskbar hidden" hides it again at every start, its box checked.
TEST_F(Desktop, StoredTaskbarSwitchHidesTheTaskbarAtTheStart) {
  UseVirtualDesktopWithTaskbar();
  SetSetting("F1", "TASK", "1");
  // The taskbar is there before the program starts, as at a logon.
  if (Driver({"wait", "--class", "Shell_TrayWnd", "--visible"}, 10000).code != 0)
    GTEST_SKIP() << "Wine's desktop shows no taskbar (a visible Shell_TrayWnd window)";
  Start();
  ASSERT_FALSE(HasFailure());
  EXPECT_DRIVER_OK(Driver({"wait", "--class", "Shell_TrayWnd", "--hidden"}));
  auto box = FindControl(Controls(kMainTitle), "Button", "タスクバーを非表示");
  ASSERT_TRUE(box);
  EXPECT_EQ(box->checked, 1);
  ASSERT_DRIVER_OK(Driver({"click", "--title", kMainTitle, "--text", "タスクバーを非表示"}));
  EXPECT_DRIVER_OK(Driver({"wait", "--class", "Shell_TrayWnd", "--visible"}));
}

// Wine, like NT, keeps win.ini's [windows] section in the registry
// (IniFileMapping), so run= is a registry value there.
TEST_F(Desktop, StartupRegistrationInMappedWinIni) {
  SetWindowsVersion("winxp");  // win.ini up to XP; the Run key from Vista on
  const std::string key = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
  ASSERT_DRIVER_OK(Driver({"reg-set", key, "run", kOtherProgram}));
  auto run = [&]() -> std::optional<std::string> {
    Result r = Driver({"reg-get", key, "run"});
    if (r.code != 0 || r.lines().empty()) return std::nullopt;
    // reg-get escapes backslashes.
    std::string v, line = r.lines()[0];
    for (size_t i = 0; i < line.size(); ++i) {
      if (line[i] == '\\' && i + 1 < line.size()) ++i;
      v += line[i];
    }
    return v;
  };
  RegisterAndUnregister(run);
}

// Without the mapping (as on 9x) the entry is a line of the win.ini file.
// From Vista on the entry is the user's Run value, which Task Manager and
// Settings show; an entry of ours still in win.ini moves there.
TEST_F(Desktop, StartupRegistrationInTheRunKeyFromVistaOn) {
  SetWindowsVersion("win10");
  const std::string mapped = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
  const std::string self = WinPath(AppExe());
  ASSERT_DRIVER_OK(Driver({"reg-set", mapped, "run", std::string(kOtherProgram) + " " + self}));
  const std::string runKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  auto value = [&]() -> std::optional<std::string> {
    Result r = Driver({"reg-get", runKey, "kivo_config"});
    if (r.code != 0 || r.lines().empty()) return std::nullopt;
    std::string v, line = r.lines()[0];
    for (size_t i = 0; i < line.size(); ++i) {  // reg-get escapes backslashes
      if (line[i] == '\\' && i + 1 < line.size()) ++i;
      v += line[i];
    }
    return v;
  };
  Start();
  ASSERT_FALSE(HasFailure());
  ASSERT_DRIVER_OK(Driver({"click", "--title", kMainTitle, "--text", "スタートアップ登録"}));
  EXPECT_TRUE(WaitFor([&] { return value() == "\"" + self + "\""; }, 10000))
      << "Run value = " << value().value_or("(none)");
  Result run = Driver({"reg-get", mapped, "run"});
  EXPECT_EQ(run.lines().empty() ? "" : run.lines()[0], "C:\\\\windows\\\\notepad.exe")
      << "win.ini kept our entry or lost the other program's";
  ASSERT_DRIVER_OK(Driver({"click", "--title", kMainTitle, "--text", "スタートアップ登録"}));
  EXPECT_TRUE(WaitFor([&] { return !value().has_value(); }, 10000)) << "the Run value stays";
}

TEST_F(Desktop, StartupRegistrationInWinIniFile) {
  UnmapWinIniWindowsSection();  // before the first Wine process of the test
  SetWindowsVersion("winxp");
  WriteWinIni(std::string("[windows]\r\nrun=") + kOtherProgram + "\r\nload=\r\n\r\n[mail]\r\nMAPI=1\r\n");
  ASSERT_FALSE(HasFailure());
  RegisterAndUnregister([this] { return RunEntryInFile(); });
}

// A plain win.ini reads our quoted path back without its quotes when it is
// the whole entry; the program must still find it, and never add it twice.
TEST_F(Desktop, StartupEntryWithBlanksInAPlainWinIni) {
  UnmapWinIniWindowsSection();  // before the first Wine process of the test
  SetWindowsVersion("winxp");
  WriteWinIni("[windows]\r\nrun=\r\nload=\r\n");
  const std::string folder = prefix_ + "/drive_c/Program Files/Kivo Tools";
  const std::string exe = "C:\\Program Files\\Kivo Tools\\kivo_config.exe";
  const std::string quoted = "\"" + exe + "\"";
  ASSERT_EQ(system(("mkdir -p '" + folder + "' && cp '" + AppExe() + "' '" + folder + "/'").c_str()), 0);
  SkipLogo();
  StartApp(exe);
  WaitMainWindow();
  ASSERT_FALSE(HasFailure());
  auto click = [&] {
    ASSERT_DRIVER_OK(Driver({"click", "--title", kMainTitle, "--text", "スタートアップ登録"}));
  };
  click();
  EXPECT_TRUE(WaitFor([&] { return RunEntryInFile() == quoted; }, 10000))
      << "run = " << RunEntryInFile().value_or("(none)");
  click();
  EXPECT_TRUE(WaitFor([&] { return RunEntryInFile() == std::string(); }, 10000))
      << "unchecking left run = " << RunEntryInFile().value_or("(none)");
  click();
  EXPECT_TRUE(WaitFor([&] { return RunEntryInFile() == quoted; }, 10000));

  // A restart restores the box, which registers the program once more.
  ChooseTrayMenuItem("アプリケーションの終了(&A)");
  ASSERT_TRUE(WaitAppExit(0, 20000)) << "the program did not exit";
  StartApp(exe);
  WaitMainWindow();
  ASSERT_FALSE(HasFailure());
  auto box = FindControl(Controls(kMainTitle), "Button", "スタートアップ登録");
  ASSERT_TRUE(box);
  EXPECT_EQ(box->checked, 1);
  EXPECT_EQ(RunEntryInFile(), quoted) << "the program is registered more than once";
  click();
  EXPECT_TRUE(WaitFor([&] { return RunEntryInFile() == std::string(); }, 10000))
      << "run = " << RunEntryInFile().value_or("(none)");
}

}  // namespace
}  // namespace e2e
