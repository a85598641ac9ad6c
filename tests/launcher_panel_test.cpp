// The launchers on their own, on a plain form: their clicks, the look for
// their programs switching off exactly the ones whose program is missing,
// and the reason asked for under the mouse.
#include <cctype>
#include <string>
#include <vector>

#include "app/launcher_panel.h"
#include "fixture.h"

namespace {
class LauncherPanelTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    sim->UseRelease("10");
    window = new tk::Form(nullptr);
    tk::Application::Instance().Adopt(window);
    window->Handle();
    LauncherPanel::ButtonTable table{};
    const int numbers[] = {6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 19};
    for (size_t i = 0; i < table.size(); ++i) {
      const int n = numbers[i];
      table[i] = {n, new tk::Button(window, "Button" + std::to_string(n), {0, 0, 10, 10}, "")};
    }
    panel = new LauncherPanel(window);
    panel->SetButtons(table);
    panel->OnStatus = [this](const std::string& t) { said.push_back(t); };
  }
  tk::Button* Launcher(int number) const {
    for (const auto& [n, b] : panel->Buttons())
      if (n == number) return b;
    return nullptr;
  }
  // How often a file was looked for, in any case.
  size_t Looks(std::string file) const {
    auto lower = [](std::string s) {
      for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      return s;
    };
    size_t n = 0;
    for (const std::string& call : sim->Calls("FindFirstFile")) n += lower(call).find(lower(file)) != std::string::npos;
    return n;
  }

  tk::Form* window = nullptr;
  LauncherPanel* panel = nullptr;
  std::vector<std::string> said;
};

// Looked for only where offered; then, one a tick, exactly the launchers
// whose program is missing go off with their reason; one already off is
// neither looked at nor given a reason; nothing more is looked at after.
TEST_F(LauncherPanelTest, TheSearchSwitchesOffExactlyTheLaunchersWhoseProgramIsMissing) {
  sim->files.erase(sim->SystemDirectory() + "\\ncpa.cpl");
  sim->files.erase(sim->SystemDirectory() + "\\timedate.cpl");
  Launcher(15)->SetEnabled(false);  // off for its own reason
  panel->CheckLaunchers();
  ui->AdvanceClock(500);
  EXPECT_TRUE(sim->Calls("FindFirstFile").empty()) << "looked for where it was not offered";
  for (const auto& [n, b] : panel->Buttons()) EXPECT_EQ(b->Enabled(), n != 15) << n;

  panel->OfferSearch();
  panel->CheckLaunchers();
  ui->AdvanceClock(500);
  const std::vector<std::pair<int, std::string>> off = {{10, "sol.exe"}, {12, "ncpa.cpl"}, {19, "freecell.exe"}};
  for (const auto& [n, b] : panel->Buttons()) {
    SCOPED_TRACE(n);
    std::string reason;
    for (const auto& [m, file] : off)
      if (m == n) reason = "このWindowsには " + file + " がありません";
    EXPECT_EQ(b->Enabled(), reason.empty() && n != 15);
    EXPECT_EQ(b->Hint, reason);
    EXPECT_EQ(panel->Reason(b), reason);
  }
  EXPECT_EQ(Looks("ncpa.cpl"), 1u);
  EXPECT_EQ(Looks("timedate.cpl"), 0u) << "a launcher already off was looked at";
  const size_t looks = sim->Calls("FindFirstFile").size();
  ui->AdvanceClock(1000);
  EXPECT_EQ(sim->Calls("FindFirstFile").size(), looks) << "the timer went on after the search";

  // Only a launcher switched off for its program has a reason under the
  // mouse: not one on, not another control off with a hint, not the window.
  auto* other = new tk::Button(window, "Button17", {0, 0, 10, 10}, "");
  other->Hint = "リソース";
  other->SetEnabled(false);
  EXPECT_EQ(panel->Reason(other), "");
  EXPECT_EQ(panel->Reason(Launcher(9)), "");
  EXPECT_EQ(panel->Reason(nullptr), "");
}

// A click starts its own button's program; what a launcher has to say goes
// to the status line it was given, and without one is dropped.
TEST_F(LauncherPanelTest, EachButtonStartsItsProgramAndTellsTheStatusLine) {
  sim->files.insert(sim->SystemDirectory() + "\\sol.exe");
  Launcher(10)->Click();
  EXPECT_EQ(sim->Calls("ShellExecute"),
            (std::vector<std::string>{"ShellExecute(owner, \"open\", \"sol.exe\", \"\", \"" +
                                      sim->SystemDirectory() + "\\\", 1)"}));
  EXPECT_TRUE(said.empty());
  sim->shellExecuteLastError = platform::kErrorFileNotFound;
  Launcher(19)->Click();
  EXPECT_EQ(said, (std::vector<std::string>{"実行ファイルが見つかりません"}));
  sim->shellExecuteLastError = 0;
  for (const auto& [n, b] : panel->Buttons()) {
    SCOPED_TRACE(n);
    sim->ClearJournal();
    tools::Launch(n, window->Handle(), [](const std::string&) {});
    const std::vector<std::string> own = sim->Calls("ShellExecute");
    sim->ClearJournal();
    b->Click();
    EXPECT_EQ(sim->Calls("ShellExecute"), own);
  }
  sim->shellExecuteLastError = platform::kErrorFileNotFound;
  panel->OnStatus = nullptr;
  Launcher(13)->Click();
  EXPECT_EQ(said.size(), 1u);
}

}  // namespace
