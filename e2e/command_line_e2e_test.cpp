// The command line under Wine: a second copy hands its command to the running
// one and tells the outcome by its exit code.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "e2e/harness.h"

namespace e2e {
namespace {

constexpr const char* kRunner = "Kivo-Config Open Application Ver1.0";
constexpr const char* kWarning = "Kivo-Config 終了予告";

// A spinning process on each core of this machine until Stop or the end of
// the test, whatever ends it.
class BusyCores {
 public:
  BusyCores() {
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    for (unsigned i = 0; i < cores; ++i) {
      const pid_t pid = fork();
      if (pid == 0)
        for (volatile unsigned long n = 0;; n = n + 1) {
        }
      if (pid > 0) pids_.push_back(pid);
    }
  }
  ~BusyCores() { Stop(); }
  void Stop() {
    for (pid_t pid : pids_) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    pids_.clear();
  }

 private:
  std::vector<pid_t> pids_;
};

class CommandLine : public WineTest {
 protected:
  // Runs a second copy with the arguments and returns its exit code.
  int Second(const std::vector<std::string>& args) {
    int n = StartApp(AppExe(), args);
    std::optional<int> code = WaitAppExit(n, 30000);
    EXPECT_TRUE(code.has_value()) << "the second copy did not end";
    return code.value_or(-100);
  }
};

TEST_F(CommandLine, ASecondCopyHandsItsCommandsToTheRunningOne) {
  SetWindowsVersion("winxp");
  SkipLogo();
  StartApp();
  WaitMainWindow();
  ASSERT_FALSE(HasFailure());

  EXPECT_EQ(Second({"/poweroff", "/in", "soon", "/silent"}), 2) << "bad arguments";
  EXPECT_EQ(Second({"/cancel", "/silent"}), 3) << "nothing to cancel";

  // A timed power-off: the runner counts, and its last minute is the warning.
  EXPECT_EQ(Second({"/POWEROFF", "-in", "1"}), 0);
  ASSERT_DRIVER_OK(Driver({"wait", "--title", kRunner, "--visible"}));
  ASSERT_DRIVER_OK(Driver({"wait", "--title", kWarning, "--visible"}, 5000));
  EXPECT_EQ(Second({"/cancel"}), 0);
  EXPECT_DRIVER_OK(Driver({"wait-gone", "--title", kWarning}));
  EXPECT_FALSE(WaitAppExit(0, 1000).has_value()) << "the running copy ended";

  // The exit ban refuses; without it the countdown ends the session.
  SetSetting("F6", "C4", "1");
  EXPECT_EQ(Second({"/reboot", "/silent"}), 3);
  SetSetting("F6", "C4", "0");
  EXPECT_EQ(Second({"/poweroff", "/in", "1"}), 0);
  ASSERT_DRIVER_OK(Driver({"wait", "--title", kWarning, "--visible"}, 5000));
  ASSERT_DRIVER_OK(Driver({"click", "--title", kWarning, "--text", "今すぐ"}));
  ASSERT_TRUE(WaitAppExit(0, 30000)) << "the session did not end";
  EXPECT_TRUE(GetSetting("F1", "X")) << "F1 was not saved before the end";
}

// An end when nobody has touched the machine for a minute: the runner shows
// how long there has been no input, and the last warning comes once the
// minute is full; 中止 stops it and nothing ends.
TEST_F(CommandLine, IdleMinuteBringsTheLastWarningAndASecondCopyHandsConditionsOver) {
  SetWindowsVersion("winxp");
  SkipLogo();
  StartApp(AppExe(), {"/poweroff", "/idle", "1"});
  ASSERT_DRIVER_OK(Driver({"wait", "--title", kRunner, "--visible"}, 20000));
  const auto start = std::chrono::steady_clock::now();
  auto idleLine = [&] {
    for (const Control& c : Controls(kRunner))
      if (c.text.find("無入力") != std::string::npos) return c.text;
    return std::string();
  };
  const std::string first = idleLine();
  EXPECT_NE(first.find(" / 1分"), std::string::npos) << "the runner shows the condition: " << first;
  ASSERT_DRIVER_OK(Driver({"wait", "--title", kWarning, "--visible"}, 90000));
  const auto waited = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start);
  // The minute counts from the last input, which may lie before the start.
  std::printf("the warning came after %lld s, the runner first showing \"%s\"\n",
              static_cast<long long>(waited.count()), first.c_str());
  if (first.find("無入力 — 0分0") == 0) {
    EXPECT_GE(waited.count(), 50) << "the warning came before a minute without input";
  }
  ASSERT_DRIVER_OK(Driver({"click", "--send", "--title", kWarning, "--text", "中止"}));
  EXPECT_DRIVER_OK(Driver({"wait-gone", "--title", kWarning}));
  EXPECT_FALSE(WaitAppExit(0, 3000).has_value()) << "the session ended";
  EXPECT_DRIVER_OK(Driver({"wait", "--title", kRunner, "--visible"}, 2000));  // the runner stays

  // A second copy hands conditions over (the record's second version).
  EXPECT_EQ(Second({"/poweroff", "/idle", "x", "/silent"}), 2) << "bad arguments";
  EXPECT_EQ(Second({"/poweroff", "/cpu", "99:30", "/net", "1000000:30", "/silent"}), 0);
  EXPECT_TRUE(WaitFor(
      [&] {
        for (const Control& c : Controls(kRunner))
          if (c.text.find("CPU ") == 0 && c.text.find("通信 ") != std::string::npos) return true;
        return false;
      },
      5000))
      << "the runner shows both conditions";
  EXPECT_EQ(Second({"/cancel", "/silent"}), 0);
  EXPECT_EQ(Second({"/cancel", "/silent"}), 3) << "nothing left to cancel";
}

// Every core of the machine busy (a spinning process each): a CPU condition
// of a minute below 50 % does not hold (reading after reading for 15 s, the
// time it has held stays at nothing); once they end it does, and the last
// warning comes. From the start of the wait until /cancel the machine is
// kept awake: Wine's ntdll notes each SetThreadExecutionState it is asked for.
TEST_F(CommandLine, CpuConditionWaitsForBusyCoresAndKeepsTheMachineAwakeUntilCancelled) {
  setenv("WINEDEBUG", "warn+ntdll", 1);  // for the programs started from here on
  SetWindowsVersion("winxp");
  SkipLogo();
  BusyCores busy;
  const int app = StartApp(AppExe(), {"/poweroff", "/cpu", "50:1"});
  const std::string log = logDir_ + "/app-" + std::to_string(app) + ".log";
  // The states asked for, in order, as Wine's warning names them.
  auto states = [&] {
    std::ifstream in(log);
    std::string line, seen;
    while (std::getline(in, line)) {
      const size_t at = line.find("NtSetThreadExecutionState");
      if (at == std::string::npos) continue;
      const size_t open = line.find("(0x", at);
      if (open != std::string::npos) seen += line.substr(open + 1, line.find(',', open) - open - 1) + " ";
    }
    return seen;
  };
  // The runner's line of the condition: "CPU 100 % — 0分00秒 / 1分".
  auto cpuLine = [&] {
    for (const Control& c : Controls(kRunner))
      if (c.text.rfind("CPU ", 0) == 0) return c.text;
    return std::string();
  };
  if (!Driver({"wait", "--title", kRunner, "--visible"}, 20000).code) {
    // While every core is busy the runner reads the CPU above 50 % and the
    // time the condition has held stays at nothing, reading after reading
    // (a warning would need a minute of it).
    std::string line;
    ASSERT_TRUE(WaitFor([&] {
      line = cpuLine();
      return line.find(" %") != std::string::npos && line.find("CPU - ") == std::string::npos;
    }, 20000)) << "no reading of the CPU: " << line;
    EXPECT_FALSE(WaitFor([&] {
      line = cpuLine();
      if (line.size() < 4) return true;
      const int percent = std::atoi(line.c_str() + 4);
      return percent < 50 || line.find("— 0分00秒 /") == std::string::npos;
    }, 15000)) << "while every core was busy the runner showed " << line;
  } else {
    ADD_FAILURE() << "the runner did not open";
  }
  EXPECT_EQ(states(), "0x80000001 ") << "kept awake while the condition is waited for";
  busy.Stop();
  ASSERT_DRIVER_OK(Driver({"wait", "--title", kWarning, "--visible"}, 100000));
  EXPECT_EQ(Second({"/cancel", "/silent"}), 0);
  EXPECT_DRIVER_OK(Driver({"wait-gone", "--title", kWarning}));
  EXPECT_TRUE(WaitFor([&] { return states() == "0x80000001 0x80000000 "; }, 5000))
      << "released once cancelled: " << states();
  EXPECT_FALSE(WaitAppExit(app, 1000).has_value()) << "the session ended";
}

// The mouse moved every few seconds (as SendInput moves it): a minute
// without input never comes.
TEST_F(CommandLine, NoInputMinuteWaitsWhileTheMouseMoves) {
  SetWindowsVersion("winxp");
  SkipLogo();
  StartApp(AppExe(), {"/poweroff", "/idle", "1"});
  ASSERT_DRIVER_OK(Driver({"wait", "--title", kRunner, "--visible"}, 20000));
  const auto start = std::chrono::steady_clock::now();
  bool warned = false;
  for (int i = 0; std::chrono::steady_clock::now() - start < std::chrono::seconds(75); ++i) {
    ASSERT_DRIVER_OK(Driver({"hover", "--title", kRunner, "--text", i % 2 ? "OK" : "CANCEL"}));
    // A few seconds between moves, watching for the warning meanwhile.
    warned = Driver({"wait", "--title", kWarning, "--visible"}, 4000).code == 0;
    if (warned) break;
  }
  EXPECT_FALSE(warned) << "the warning came while the mouse moved";
  // That a minute left alone brings it is IdleMinuteBringsTheLastWarning….
  EXPECT_EQ(Second({"/cancel", "/silent"}), 0);
}

TEST_F(CommandLine, HideShowAndExitReachTheRunningCopy) {
  SetWindowsVersion("win98");
  SkipLogo();
  StartApp();
  WaitMainWindow();
  ASSERT_FALSE(HasFailure());
  EXPECT_EQ(Second({"/hide"}), 0);
  EXPECT_DRIVER_OK(Driver({"wait", "--title", kMainTitle, "--hidden"}, 5000));
  EXPECT_EQ(Second({"-Show"}), 0);
  EXPECT_DRIVER_OK(Driver({"wait", "--title", kMainTitle, "--visible"}, 5000));
  EXPECT_EQ(Second({"/exit"}), 0);
  ASSERT_TRUE(WaitAppExit(0, 20000)) << "the running copy did not end";
  EXPECT_TRUE(GetSetting("F1", "X")) << "F1 was not saved";
  // With none running, a copy with a command starts in the tray and does it.
  int n = StartApp(AppExe(), {"/exit"});
  EXPECT_EQ(WaitAppExit(n, 30000), std::optional<int>(0));
}

// A stored value of the wrong type ends the reading of the settings early;
// the copy still takes commands from then on. A renamed copy (as users
// rename it) still finds the running one.
TEST_F(CommandLine, AWrongTypedValueOrARenamedExeDoesNotCutTheCopiesApart) {
  SetWindowsVersion("winxp");
  SkipLogo();
  ASSERT_DRIVER_OK(Driver({"reg-set-dword", std::string(kSettingsKey) + "\\F1", "X", "5"}));
  StartApp();
  // The restoring's message about the value, then the window.
  ASSERT_DRIVER_OK(Driver({"msgbox", "--answer", std::to_string(kIdOk)}, 30000));
  // The reading ended before the stored caption: the window keeps its own.
  constexpr const char* kTitle = "Kivo-Config For Windows";
  ASSERT_DRIVER_OK(Driver({"wait", "--title", kTitle, "--visible"}, 30000));
  EXPECT_EQ(Second({"/cancel", "/silent"}), 3) << "nothing to cancel, not \"starting\"";
  EXPECT_EQ(Second({"/hide"}), 0);
  EXPECT_DRIVER_OK(Driver({"wait", "--title", kTitle, "--hidden"}, 5000));

  const std::string renamed = prefix_ + "/drive_c/kivo.exe";
  ASSERT_EQ(RunTool({"cp", AppExe(), renamed}).code, 0);
  int n = StartApp(renamed, {"/show"});
  EXPECT_EQ(WaitAppExit(n, 30000), std::optional<int>(0)) << "the renamed copy did not reach the running one";
  EXPECT_DRIVER_OK(Driver({"wait", "--title", kTitle, "--visible"}, 5000));
}

}  // namespace
}  // namespace e2e
