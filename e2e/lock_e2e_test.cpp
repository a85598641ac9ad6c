// The screen lock under Windows 98 (where it is offered): set-up, lock window,
// unlock prompt, and no trace of the password anywhere once it is over.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
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
