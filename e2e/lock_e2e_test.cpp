// The screen lock under Windows 98 (where it is offered): set-up, lock window,
// unlock prompt, and no trace of the password anywhere once it is over.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string_view>
#include <string>
#include <vector>

#include "e2e/harness.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

constexpr const char* kLockTitle = "Lock e2e";          // F8\Title: set-up and prompt caption
constexpr const char* kPassword = "Zq8Lk2wPx7";         // ASCII: the same bytes in the ANSI code page
constexpr int kWmLButtonUp = 0x202;

class Lock : public WineTest {
 protected:
  void StartOn(const std::string& version) {
    SetWindowsVersion(version);
    SetSetting("F8", "Title", kLockTitle);
    SkipLogo();
    StartApp();
    WaitMainWindow();
  }
  Result Type(const std::string& title, int editIndex, const std::string& keys) {
    return Driver({"type", "--title", title, "--visible", "--ctl-class", "Edit", "--index",
                   std::to_string(editIndex), "--keys", keys});
  }
  // The files of the prefix that hold the text as UTF-16 or as ANSI bytes.
  std::vector<std::string> FilesHolding(const std::string& ascii) {
    std::string wide;
    for (char c : ascii) wide += std::string{c, '\0'};
    std::vector<std::string> found;
    for (auto it = fs::recursive_directory_iterator(prefix_, fs::directory_options::skip_permission_denied);
         it != fs::recursive_directory_iterator(); ++it) {
      if (it->is_symlink()) {
        it.disable_recursion_pending();  // dosdevices lead out of the prefix
        continue;
      }
      // The system's DLLs are links into the template, never written here.
      if (!it->is_regular_file() || it->hard_link_count() > 1) continue;
      std::ifstream in(it->path(), std::ios::binary);
      std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      if (data.find(ascii) != std::string::npos || data.find(wide) != std::string::npos)
        found.push_back(it->path().string());
    }
    return found;
  }

  // The Linux processes that run kivo_config.exe in this test's prefix.
  std::vector<pid_t> ProgramProcesses() {
    std::vector<pid_t> pids;
    DIR* proc = opendir("/proc");
    if (!proc) return pids;
    while (dirent* d = readdir(proc)) {
      pid_t pid = static_cast<pid_t>(std::atoi(d->d_name));
      if (pid <= 0) continue;
      std::string base = std::string("/proc/") + d->d_name;
      std::ifstream cmd(base + "/cmdline", std::ios::binary), env(base + "/environ", std::ios::binary);
      std::string c((std::istreambuf_iterator<char>(cmd)), std::istreambuf_iterator<char>());
      std::string e((std::istreambuf_iterator<char>(env)), std::istreambuf_iterator<char>());
      if (c.find("kivo_config.exe") != std::string::npos &&
          e.find("WINEPREFIX=" + prefix_ + std::string(1, '\0')) != std::string::npos)
        pids.push_back(pid);
    }
    closedir(proc);
    return pids;
  }

  // The bytes around a find, printable ones as they are, so that a report
  // tells which buffer kept the copy.
  static std::string Around(std::string_view view, size_t at, unsigned long long base) {
    size_t from = at > 160 ? at - 160 : 0, to = std::min(view.size(), at + 160);
    char address[32];
    snprintf(address, sizeof address, " at %llx: ", base + at);
    std::string out = address;
    for (size_t i = from; i < to; ++i) {
      unsigned char c = static_cast<unsigned char>(view[i]);
      out += (c >= 0x20 && c < 0x7f) ? static_cast<char>(c) : '.';
    }
    return out;
  }

  // Every piece of `count` characters of the secret found in the readable
  // memory of a process, as UTF-16 or as 8-bit text; an empty list when none.
  static std::vector<std::string> PiecesInMemory(pid_t pid, const std::string& secret, size_t count) {
    std::vector<std::pair<std::string, std::string>> needles;  // bytes, description
    for (size_t i = 0; i + count <= secret.size(); ++i) {
      std::string piece = secret.substr(i, count), wide;
      for (char c : piece) wide += std::string{c, '\0'};
      needles.push_back({piece, "ANSI \"" + piece + "\""});
      needles.push_back({wide, "UTF-16 \"" + piece + "\""});
    }
    std::vector<std::string> found;
    std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
    int mem = open(("/proc/" + std::to_string(pid) + "/mem").c_str(), O_RDONLY);
    if (mem < 0) return {"cannot read the memory of process " + std::to_string(pid)};
    std::string line;
    std::string region;
    while (std::getline(maps, line)) {
      unsigned long long from = 0, to = 0;
      char perms[5] = {};
      if (sscanf(line.c_str(), "%llx-%llx %4s", &from, &to, perms) != 3 || perms[0] != 'r') continue;
      if (line.find("[vvar]") != std::string::npos) continue;
      region.resize(static_cast<size_t>(to - from));
      ssize_t got = pread(mem, &region[0], region.size(), static_cast<off_t>(from));
      if (got <= 0) continue;
      std::string_view view(region.data(), static_cast<size_t>(got));
      for (const auto& [bytes, what] : needles) {
        size_t at = view.find(bytes);
        if (at != std::string_view::npos) found.push_back(what + " in " + line + Around(view, at, from));
      }
    }
    close(mem);
    return found;
  }
};

TEST_F(Lock, PasswordLocksAndUnlocksAndLeavesNoTrace) {
  StartOn("win98");
  ASSERT_FALSE(HasFailure());
  ASSERT_DRIVER_OK(Driver({"click", "--title", kMainTitle, "--text", "画面ロック"}));
  ASSERT_DRIVER_OK(Driver({"wait", "--title", kLockTitle, "--visible"}));
  EXPECT_DRIVER_OK(Driver({"wait", "--title", kMainTitle, "--hidden"}, 5000));

  // Entries that differ: the set-up asks again.
  ASSERT_DRIVER_OK(Type(kLockTitle, 0, kPassword));
  ASSERT_DRIVER_OK(Type(kLockTitle, 1, "different"));
  ASSERT_DRIVER_OK(Driver({"click", "--title", kLockTitle, "--visible", "--text", "OK"}));
  Result again = Driver({"msgbox", "--title", kLockTitle, "--answer", std::to_string(kIdOk)});
  ASSERT_DRIVER_OK(again);
  EXPECT_EQ(again.lines().at(0), "もう一度入力しなおして下さい！！");

  // A thirteenth character does not get in.
  ASSERT_DRIVER_OK(Type(kLockTitle, 0, std::string(kPassword) + "ABC"));
  EXPECT_TRUE(WaitFor([&] {
    Result t = Driver({"text", "--title", kLockTitle, "--visible", "--ctl-class", "Edit", "--index", "0"});
    return t.code == 0 && t.lines().size() == 1 && t.lines()[0].size() == 12;
  }, 5000)) << "the entry takes more than 12 characters";
  // Start over with the real password in both.
  ASSERT_DRIVER_OK(Driver({"click", "--title", kLockTitle, "--visible", "--text", "OK"}));
  ASSERT_DRIVER_OK(Driver({"msgbox", "--title", kLockTitle, "--answer", std::to_string(kIdOk)}));
  ASSERT_DRIVER_OK(Type(kLockTitle, 0, kPassword));
  ASSERT_DRIVER_OK(Type(kLockTitle, 1, kPassword));
  ASSERT_DRIVER_OK(Driver({"click", "--title", kLockTitle, "--visible", "--text", "OK"}));

  // The solid lock window covers the screen.
  ASSERT_DRIVER_OK(Driver({"wait", "--title", "Form25", "--visible"}));
  Rect lockRect = WindowRect("Form25");
  auto [sw, sh] = ScreenSize();
  EXPECT_LE(lockRect.left, 0);
  EXPECT_LE(lockRect.top, 0);
  EXPECT_GE(lockRect.right, sw);
  EXPECT_GE(lockRect.bottom, sh);
  Screenshot(testName_ + "_locked", Rect{0, 0, sw, sh});

  // A click opens the prompt; a wrong password is refused.
  ASSERT_DRIVER_OK(Driver({"post", "--title", "Form25", "--msg", std::to_string(kWmLButtonUp)}));
  ASSERT_DRIVER_OK(Driver({"wait", "--title", kLockTitle, "--visible"}));
  auto prompt = Controls(kLockTitle);
  EXPECT_TRUE(FindControl(prompt, "Static", "このパソコンは Administrator によってロックされています。"));
  ASSERT_DRIVER_OK(Type(kLockTitle, 0, "wrong"));
  ASSERT_DRIVER_OK(Driver({"click", "--title", kLockTitle, "--visible", "--text", "OK"}));
  Result wrong = Driver({"msgbox", "--title", kLockTitle, "--answer", std::to_string(kIdOk)});
  ASSERT_DRIVER_OK(wrong);
  EXPECT_EQ(wrong.lines().at(0), "パスワードが違います！！");
  EXPECT_EQ(Driver({"wait", "--title", "Form25", "--visible"}, 2000).code, 0) << "not locked any more";

  // The right one unlocks, and the main window comes back.
  ASSERT_DRIVER_OK(Type(kLockTitle, 0, kPassword));
  ASSERT_DRIVER_OK(Driver({"click", "--title", kLockTitle, "--visible", "--text", "OK"}));
  EXPECT_DRIVER_OK(Driver({"wait-gone", "--title", "Form25"}));
  EXPECT_DRIVER_OK(Driver({"wait", "--title", kMainTitle, "--visible"}));

  // No window text, registry value or file keeps the password.
  Result windows = Driver({"list"});
  EXPECT_EQ(windows.out.find(kPassword), std::string::npos);
  for (int i = 0; i < 2; ++i) {
    Result t = Driver({"text", "--title", kLockTitle, "--ctl-class", "Edit", "--index", std::to_string(i)});
    if (t.code == 0) {
      EXPECT_EQ(t.out.find(kPassword), std::string::npos) << "set-up entry " << i;
    }
  }
  ChooseTrayMenuItem("アプリケーションの終了(&A)");
  ASSERT_TRUE(WaitAppExit(0, 20000));
  StopWineserver();  // the registry reaches user.reg and system.reg
  EXPECT_EQ(FilesHolding(kPassword), std::vector<std::string>{});
  EXPECT_FALSE(FilesHolding(kLockTitle).empty()) << "the search finds nothing at all";
}

// Someone who wants past the lock: the tray icon, a second set-up, an empty
// entry. Afterwards not even a piece of the password is left in the
// program's memory.
TEST_F(Lock, TrayCannotEndOrBypassTheLockAndNoPieceOfThePasswordStays) {
  StartOn("win98");
  ASSERT_FALSE(HasFailure());
  auto tray = [&](int what) {
    return Driver({"post", "--title", kMainTitle, "--msg", std::to_string(kTrayMessage), "--wparam",
                   "100", "--lparam", std::to_string(what)});
  };
  auto answerBox = [&](const std::string& expected) {
    Result box = Driver({"msgbox", "--title", kLockTitle, "--answer", std::to_string(kIdOk)});
    ASSERT_DRIVER_OK(box);
    EXPECT_EQ(box.lines().at(0), expected);
  };
  ASSERT_DRIVER_OK(Driver({"click", "--title", kMainTitle, "--text", "画面ロック"}));
  ASSERT_DRIVER_OK(Driver({"wait", "--title", kLockTitle, "--visible"}));
  // Entries that differ first (their wipe is checked below too).
  ASSERT_DRIVER_OK(Type(kLockTitle, 0, kPassword));
  ASSERT_DRIVER_OK(Type(kLockTitle, 1, std::string(kPassword).substr(0, 9) + "Y"));
  ASSERT_DRIVER_OK(Driver({"click", "--title", kLockTitle, "--visible", "--text", "OK"}));
  answerBox("もう一度入力しなおして下さい！！");
  ASSERT_DRIVER_OK(Type(kLockTitle, 0, kPassword));
  ASSERT_DRIVER_OK(Type(kLockTitle, 1, kPassword));
  ASSERT_DRIVER_OK(Driver({"click", "--title", kLockTitle, "--visible", "--text", "OK"}));
  ASSERT_DRIVER_OK(Driver({"wait", "--title", "Form25", "--visible"}));

  // The tray's menu (with its exit and its lock) does not open: the prompt does.
  ASSERT_DRIVER_OK(tray(kWmRButtonDown));
  ASSERT_DRIVER_OK(Driver({"wait", "--title", kLockTitle, "--visible"}));
  EXPECT_NE(Driver({"wait", "--class", "#32768", "--visible"}, 1500).code, 0) << "the tray menu opened";
  // A double-click while the prompt is open shows nothing else.
  ASSERT_DRIVER_OK(tray(kWmLButtonDblClk));
  ASSERT_DRIVER_OK(Driver({"wait", "--title", kMainTitle, "--hidden"}, 3000));
  // An empty entry does not open a lock that has a password.
  ASSERT_DRIVER_OK(Driver({"click", "--title", kLockTitle, "--visible", "--text", "OK"}));
  answerBox("パスワードが違います！！");
  ASSERT_DRIVER_OK(Driver({"wait", "--title", "Form25", "--visible"}));
  ASSERT_DRIVER_OK(Type(kLockTitle, 0, kPassword));
  ASSERT_DRIVER_OK(Driver({"click", "--title", kLockTitle, "--visible", "--text", "OK"}));
  EXPECT_DRIVER_OK(Driver({"wait-gone", "--title", "Form25"}));
  EXPECT_DRIVER_OK(Driver({"wait", "--title", kMainTitle, "--visible"}));

  std::vector<pid_t> pids = ProgramProcesses();
  ASSERT_EQ(pids.size(), 1u) << "the program's process is not found";
  EXPECT_EQ(PiecesInMemory(pids[0], kPassword, 6), std::vector<std::string>{});
  // The search itself works: the lock's title is in memory.
  EXPECT_FALSE(PiecesInMemory(pids[0], kLockTitle, 6).empty());
}

// From Vista on the button asks Windows for its own lock. Wine's
// LockWorkStation is a stub that fails: the refusal is told in a box, and
// neither the set-up nor a lock window of the program's own opens in its
// place; /lock from a second copy goes the same way.
TEST_F(Lock, FromVistaOnTheSystemsLockAndWinesRefusal) {
  StartOn("win10");
  ASSERT_FALSE(HasFailure());
  auto button = FindControl(Controls(kMainTitle), "Button", "画面ロック");
  ASSERT_TRUE(button);
  EXPECT_TRUE(button->enabled);
  auto refusal = [&] {
    Result box = Driver({"msgbox", "--title", kBoxTitle, "--answer", std::to_string(kIdOk)}, 30000);
    EXPECT_DRIVER_OK(box);
    ASSERT_FALSE(box.lines().empty());
    EXPECT_EQ(box.lines()[0].rfind("Windowsをロックできませんでした。", 0), 0u) << box.lines()[0];
    for (const char* title : {kLockTitle, "Form25", "Kivo-Brevo 画面ロック Ver1.1"}) {
      Result r = Driver({"list", "--title", title});
      EXPECT_DRIVER_OK(r);
      EXPECT_TRUE(r.lines().empty()) << "a window \"" << title << "\" of the program's own lock:\n" << r.out;
    }
    EXPECT_DRIVER_OK(Driver({"wait", "--title", kMainTitle, "--visible"}, 2000));
  };
  ASSERT_DRIVER_OK(Driver({"click", "--title", kMainTitle, "--text", "画面ロック"}));
  refusal();
  const int second = StartApp(AppExe(), {"/lock"});
  refusal();
  EXPECT_EQ(WaitAppExit(second, 30000), std::optional<int>(0)) << "the running copy took /lock";
}

TEST_F(Lock, NotOfferedOnWindowsXp) {
  StartOn("winxp");
  ASSERT_FALSE(HasFailure());
  auto button = FindControl(Controls(kMainTitle), "Button", "画面ロック");
  ASSERT_TRUE(button);
  EXPECT_FALSE(button->enabled);
  ASSERT_DRIVER_OK(Driver({"post", "--title", kMainTitle, "--msg", std::to_string(kTrayMessage),
                           "--wparam", "100", "--lparam", std::to_string(kWmRButtonDown)}));
  ASSERT_DRIVER_OK(Driver({"wait", "--class", "#32768", "--visible"}));
  Result items = Driver({"menu-items"});
  ASSERT_DRIVER_OK(items);
  bool found = false;
  for (const auto& line : items.lines()) {
    if (line.find("画面ロック(&G)") == std::string::npos) continue;
    found = true;
    size_t state = line.find("state=");
    ASSERT_NE(state, std::string::npos) << line;
    EXPECT_NE(std::stoul(line.substr(state + 6), nullptr, 16) & 0x3u, 0u) << "enabled: " << line;
  }
  EXPECT_TRUE(found) << items.out;
}

}  // namespace
}  // namespace e2e
