// The release installer and its uninstaller, as a user runs them silently.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "e2e/harness.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

constexpr const char* kRunKey = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
constexpr const char* kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\kivo_config";
constexpr const char* kOtherProgram = "C:\\windows\\notepad.exe";

std::string Version() {
  std::ifstream in(std::string(KIVO_SOURCE_DIR) + "/VERSION");
  std::string v;
  in >> v;
  return v;
}

class Package : public WineTest {
 protected:
  std::string SetupExe() {
    return std::string(KIVO_SOURCE_DIR) + "/build/dist/kivo_config-" + Version() + "-setup.exe";
  }
  // A file below the prefix's users folder, found by the end of its path.
  std::optional<fs::path> Find(const std::string& tail) {
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(prefix_ + "/drive_c/users", ec);
         it != fs::recursive_directory_iterator(); it.increment(ec)) {
      std::string p = it->path().generic_string();
      if (p.size() >= tail.size() && p.compare(p.size() - tail.size(), tail.size(), tail) == 0)
        return it->path();
    }
    return std::nullopt;
  }
  std::optional<std::string> RunEntry() {
    Result r = Driver({"reg-get", kRunKey, "run"});
    if (r.code != 0 || r.lines().empty()) return std::nullopt;
    std::string v, line = r.lines()[0];  // reg-get escapes backslashes
    for (size_t i = 0; i < line.size(); ++i) {
      if (line[i] == '\\' && i + 1 < line.size()) ++i;
      v += line[i];
    }
    return v;
  }
  void Install() {
    ASSERT_TRUE(fs::exists(SetupExe())) << SetupExe() << " is missing: run scripts/package.sh";
    Result r = Driver({"run", "--", WinPath(SetupExe()), "/S"}, 60000);
    ASSERT_DRIVER_OK(r);
    ASSERT_TRUE(Find("/Programs/kivo_config/kivo_config.exe")) << "the program was not installed";
  }
  // The uninstaller as "Add or remove programs" starts it.
  void Uninstall(const std::vector<std::string>& options) {
    Result command = Driver({"reg-get", kUninstallKey, "UninstallString"});
    ASSERT_DRIVER_OK(command);
    std::string uninstaller = command.lines().at(0);
    std::string unescaped;
    for (size_t i = 0; i < uninstaller.size(); ++i) {
      if (uninstaller[i] == '\\' && i + 1 < uninstaller.size()) ++i;
      if (uninstaller[i] != '"') unescaped += uninstaller[i];
    }
    std::vector<std::string> args = {"run", "--", unescaped, "/S"};
    args.insert(args.end(), options.begin(), options.end());
    ASSERT_DRIVER_OK(Driver(args, 60000));
    // The uninstaller runs on from a copy of itself.
    EXPECT_TRUE(WaitFor([&] { return !Find("/Programs/kivo_config/kivo_config.exe"); }, 30000))
        << "the program's files are still there";
    EXPECT_TRUE(WaitFor([&] { return !Find("/Programs/kivo_config"); }, 30000)) << "its folder stays";
    // The shortcuts go after the folder, the uninstall entry after them,
    // and only the settings (when asked) after that.
    EXPECT_TRUE(WaitFor([&] { return Driver({"reg-get", kUninstallKey, "DisplayName"}).code != 0; }, 30000))
        << "the uninstall entry stays";
  }
};

TEST_F(Package, InstallStartUninstallLeavesNothingButTheSettings) {
  ASSERT_DRIVER_OK(Driver({"reg-set", kRunKey, "run", kOtherProgram}));
  Install();
  ASSERT_FALSE(HasFailure());
  Result version = Driver({"reg-get", kUninstallKey, "DisplayVersion"});
  ASSERT_DRIVER_OK(version);
  EXPECT_EQ(version.lines().at(0), Version());
  // The libraries' notices come with the program.
  auto notices = Find("/Programs/kivo_config/THIRD-PARTY-NOTICES.txt");
  ASSERT_TRUE(notices) << "the libraries' notices were not installed";
  {
    std::ifstream in(*notices);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (const char* library : {"libjpeg-turbo", "zlib", "libpng", "giflib"})
      EXPECT_NE(text.find(library), std::string::npos) << library;
  }
  auto shortcut = Find("/Start Menu/Programs/Kivo-Config For Windows.lnk");
  ASSERT_TRUE(shortcut) << "no Start-menu shortcut";
  EXPECT_FALSE(Find("/Desktop/Kivo-Config For Windows.lnk")) << "the desktop shortcut is optional";

  // The program starts from its shortcut's target and registers itself to
  // start with Windows.
  Result target = Driver({"shortcut-target", WinPath(shortcut->string())});
  ASSERT_DRIVER_OK(target);
  SetWindowsVersion("winxp");  // the start-up entry in win.ini
  SkipLogo();
  StartApp(target.lines().at(0));
  WaitMainWindow();
  ASSERT_FALSE(HasFailure());
  ASSERT_DRIVER_OK(Driver({"click", "--title", kMainTitle, "--text", "スタートアップ登録"}));
  ASSERT_TRUE(WaitFor([&] { return RunEntry().value_or("").find("kivo_config.exe") != std::string::npos; },
                      10000));

  // Uninstalled while it runs: it is asked to close and saves its settings.
  Uninstall({});
  EXPECT_TRUE(WaitAppExit(0, 20000)) << "the running program was not closed";
  EXPECT_FALSE(Find("/Start Menu/Programs/Kivo-Config For Windows.lnk"));
  EXPECT_NE(Driver({"reg-get", kUninstallKey, "DisplayName"}).code, 0) << "the uninstall entry stays";
  EXPECT_EQ(RunEntry(), std::string(kOtherProgram)) << "the start-up list was not restored byte for byte";
  EXPECT_TRUE(GetSetting("F1", "STARTUP")) << "a silent uninstall keeps the settings";
}

TEST_F(Package, UninstallRemovesTheSettingsWhenToldTo) {
  Install();
  ASSERT_FALSE(HasFailure());
  SetSetting("F1", "X", "10");
  Uninstall({"/REMOVESETTINGS"});
  EXPECT_TRUE(WaitFor([&] { return !GetSetting("F1", "X"); }, 10000)) << "the settings stay";
  EXPECT_TRUE(WaitFor([&] { return Driver({"reg-list", "Software\\Kivo_Project"}).code != 0; }, 10000))
      << "empty parent keys stay";
}

// From Vista on the start-up entry is the user's Run value "kivo_config":
// the uninstaller removes it only while it names the installed program.
TEST_F(Package, UninstallLeavesAnotherProgramsRunValue) {
  constexpr const char* kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  for (bool ours : {false, true}) {
    SCOPED_TRACE(ours ? "the program's own value" : "another program's value");
    Install();
    ASSERT_FALSE(HasFailure());
    Result folder = Driver({"reg-get", kUninstallKey, "InstallLocation"});
    ASSERT_DRIVER_OK(folder);
    const std::string line = folder.lines().at(0);
    std::string installed;  // reg-get escapes backslashes
    for (size_t i = 0; i < line.size(); ++i) {
      if (line[i] == '\\' && i + 1 < line.size()) ++i;
      installed += line[i];
    }
    // As the program writes it: quoted, here in other case.
    std::string value = ours ? "\"" + installed + "\\KIVO_CONFIG.EXE\"" : kOtherProgram;
    ASSERT_DRIVER_OK(Driver({"reg-set", kRun, "kivo_config", value}));
    Uninstall({});
    Result left = Driver({"reg-get", kRun, "kivo_config"});
    if (ours) {
      EXPECT_NE(left.code, 0) << "the program's start-up entry stays";
    } else {
      EXPECT_EQ(left.code, 0) << "another program's start-up entry was removed";
    }
  }
}

}  // namespace
}  // namespace e2e
