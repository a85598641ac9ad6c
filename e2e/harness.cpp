#include "e2e/harness.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace e2e {
namespace {

using Clock = std::chrono::steady_clock;

std::string envOr(const char* name, const std::string& def) {
  const char* v = std::getenv(name);
  return (v && *v) ? std::string(v) : def;
}

std::string sourceDir() { return envOr("KIVO_SOURCE_DIR", KIVO_SOURCE_DIR); }
std::string workDir() { return envOr("KIVO_E2E_WORK_DIR", KIVO_E2E_WORK_DIR); }
std::string screenshotDir() { return envOr("KIVO_SCREENSHOT_DIR", KIVO_SCREENSHOT_DIR); }

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

bool onPath(const std::string& tool) {
  std::string path = envOr("PATH", "/usr/bin:/bin");
  std::stringstream ss(path);
  std::string dir;
  while (std::getline(ss, dir, ':')) {
    if (!dir.empty() && access((dir + "/" + tool).c_str(), X_OK) == 0) return true;
  }
  return false;
}

std::string sanitize(std::string s) {
  for (char& c : s)
    if (!isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_') c = '_';
  return s;
}

std::string unescape(const std::string& s) {
  std::string r;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      char c = s[++i];
      r += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
    } else {
      r += s[i];
    }
  }
  return r;
}

std::vector<std::string> split(const std::string& s, char sep) {
  std::vector<std::string> parts;
  std::string cur;
  for (char c : s) {
    if (c == sep) {
      parts.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  parts.push_back(cur);
  return parts;
}

bool parseRect(const std::string& s, Rect& r) {
  std::istringstream in(s);
  return static_cast<bool>(in >> r.left >> r.top >> r.right >> r.bottom);
}

bool iequals(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (tolower(static_cast<unsigned char>(a[i])) != tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// --------------------------------------------------------------- environment

struct Shared {
  std::string error;       // set when the e2e tests cannot run
  std::string templateDir;
  std::string display;
  pid_t xvfb = -1;
  std::string xvfbLog;
};
Shared g;

void childSetup() {
  // Our children die with the runner even when it is killed.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  setpgid(0, 0);
}

// Runs a shell command synchronously (set-up steps only).
int runShell(const std::string& cmd) {
  int status = std::system(cmd.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string quote(const std::string& s) {
  std::string r = "'";
  for (char c : s) {
    if (c == '\'') r += "'\\''";
    else r += c;
  }
  return r + "'";
}

// Builds the template prefix once per build tree; test processes running in
// parallel wait for each other on a lock file.
std::string prepareTemplate() {
  fs::create_directories(workDir());
  std::string lockPath = g.templateDir + ".lock";
  int lock = open(lockPath.c_str(), O_CREAT | O_RDWR, 0644);
  if (lock < 0) return "cannot open " + lockPath;
  flock(lock, LOCK_EX);
  std::string log = g.templateDir + ".log";
  std::string cmd = "bash " + quote(sourceDir() + "/scripts/wine-env.sh") + " prefix " +
                    quote(g.templateDir) + " >" + quote(log) + " 2>&1";
  int rc = runShell(cmd);
  flock(lock, LOCK_UN);
  close(lock);
  if (rc != 0) return "creating the template Wine prefix failed (exit " + std::to_string(rc) +
                      "):\n" + readFile(log);
  return "";
}

std::string startXvfb() {
  std::string screen = envOr("KIVO_E2E_SCREEN", "1024x768x24");
  for (int n = 90 + getpid() % 100, tries = 0; tries < 60; ++n, ++tries) {
    std::string lockFile = "/tmp/.X" + std::to_string(n) + "-lock";
    std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
    if (access(lockFile.c_str(), F_OK) == 0 || access(socket.c_str(), F_OK) == 0) continue;
    std::string log = workDir() + "/xvfb-" + std::to_string(getpid()) + ".log";
    pid_t pid = fork();
    if (pid == 0) {
      childSetup();
      int fd = open(log.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
      dup2(fd, 1);
      dup2(fd, 2);
      int nul = open("/dev/null", O_RDONLY);
      dup2(nul, 0);
      std::string disp = ":" + std::to_string(n);
      execlp("Xvfb", "Xvfb", disp.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp",
             "-noreset", static_cast<char*>(nullptr));
      _exit(127);
    }
    bool up = WaitFor([&] {
      int status;
      if (waitpid(pid, &status, WNOHANG) == pid) return true;  // died: try the next display
      return access(socket.c_str(), F_OK) == 0;
    }, 5000);
    if (up && kill(pid, 0) == 0 && access(socket.c_str(), F_OK) == 0) {
      g.xvfb = pid;
      g.xvfbLog = log;
      g.display = ":" + std::to_string(n);
      return "";
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  return "Xvfb did not start on any display (see " + workDir() + "/xvfb-*.log)";
}

class WineEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    for (const char* tool : {"wine", "wineserver", "Xvfb", "import"}) {
      if (!onPath(tool)) {
        g.error = std::string("'") + tool + "' is not installed; run scripts/install-deps.sh";
        return;
      }
    }
    for (const std::string& exe : {AppExe(), DriverExe()}) {
      if (access(exe.c_str(), R_OK) != 0) {
        g.error = exe + " does not exist; build the win32 side first (scripts/build.sh)";
        return;
      }
    }
    // scripts/test.sh gives every full run its own, fresh template; a plain
    // ctest run reuses the one of earlier runs.
    std::string runId = envOr("KIVO_E2E_RUN_ID", "");
    g.templateDir = workDir() + (runId.empty() ? "/template" : "/template-" + runId);
    if (std::string e = prepareTemplate(); !e.empty()) {
      g.error = e;
      return;
    }
    if (std::string e = startXvfb(); !e.empty()) g.error = e;
  }

  void TearDown() override {
    if (g.xvfb > 0) {
      kill(g.xvfb, SIGTERM);
      if (!WaitFor([] { return waitpid(g.xvfb, nullptr, WNOHANG) == g.xvfb; }, 5000)) {
        kill(g.xvfb, SIGKILL);
        waitpid(g.xvfb, nullptr, 0);
      }
      g.xvfb = -1;
      // Only the logs of an X server that did not start are kept.
      std::error_code ec;
      fs::remove(g.xvfbLog, ec);
    }
  }
};

const ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new WineEnvironment);

// A prefix copy: the DLLs (never written after wineboot) are hard links into
// the template, everything else (registry, ini files) a real copy.
void copyPrefix(const fs::path& from, const fs::path& to) {
  fs::create_directories(to);
  for (auto it = fs::recursive_directory_iterator(from); it != fs::recursive_directory_iterator();
       ++it) {
    fs::path rel = it->path().lexically_relative(from);
    fs::path dst = to / rel;
    auto st = it->symlink_status();
    if (fs::is_symlink(st)) {
      fs::copy_symlink(it->path(), dst);
      it.disable_recursion_pending();
    } else if (fs::is_directory(st)) {
      fs::create_directories(dst);
    } else {
      std::string r = rel.generic_string();
      bool dll = r.find("windows/system32/") != std::string::npos ||
                 r.find("windows/syswow64/") != std::string::npos;
      if (dll) fs::create_hard_link(it->path(), dst);
      else fs::copy_file(it->path(), dst);
    }
  }
}

}  // namespace

// ------------------------------------------------------------------- helpers

std::vector<std::string> Result::lines() const {
  std::vector<std::string> v;
  std::istringstream in(out);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    v.push_back(line);
  }
  return v;
}

bool WaitFor(const std::function<bool()>& cond, int timeoutMs) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (cond()) return true;
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

std::string Win32BuildDir() { return envOr("KIVO_WIN32_BUILD_DIR", KIVO_WIN32_BUILD_DIR); }
std::string AppExe() { return Win32BuildDir() + "/app/kivo_config.exe"; }
std::string DriverExe() { return Win32BuildDir() + "/e2e/driver/kivo_driver.exe"; }

std::string WineTest::WinPath(const std::string& unixPath) {
  std::string p = "Z:" + fs::absolute(unixPath).string();
  for (char& c : p)
    if (c == '/') c = '\\';
  return p;
}

// -------------------------------------------------------------------- fixture

void WineTest::SetUp() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  // The ANSI run's copy of a test has names of its own (its logs, prefix and
  // screenshots), as both may run at the same time.
  testName_ = sanitize(std::string(info->test_suite_name()) + "_" + info->name()) + (AnsiRun() ? "_ansi" : "");
  if (!g.error.empty()) GTEST_FAIL() << "the end-to-end tests cannot run: " << g.error;
  logDir_ = workDir() + "/logs/" + testName_;
  // The process id keeps runs of the same test in parallel apart; it also
  // tells scripts/test.sh which prefixes were left behind by dead runners.
  prefix_ = workDir() + "/prefixes/" + testName_ + "-" + std::to_string(getpid());
  fs::remove_all(logDir_);
  fs::create_directories(logDir_);
  if (!getenv("KIVO_KEEP_PREFIX")) fs::remove_all(prefix_);
  fs::create_directories(fs::path(prefix_).parent_path());
  copyPrefix(g.templateDir, prefix_);
  display_ = g.display;
  // The second run of the ANSI path: a Japanese Windows 98 (a test may still
  // choose another version; the A calls stay forced).
  japanese_ = AnsiRun();
  if (AnsiRun()) SetWindowsVersion("win98");
}

void WineTest::StopWineserver() {
  Background k = Spawn({"wineserver", "-k"}, logDir_ + "/wineserver-k.log", logDir_ + "/wineserver-k.log");
  Finish(k, 10000);
  Background w = Spawn({"wineserver", "-w"}, logDir_ + "/wineserver-w.log", logDir_ + "/wineserver-w.log");
  Finish(w, 10000);
}

void WineTest::TearDown() {
  if (prefix_.empty()) return;
  // Ends every Windows process of this prefix, then its wineserver.
  StopWineserver();
  for (pid_t& p : apps_) {
    if (p <= 0) continue;
    if (!WaitFor([&] { return waitpid(p, nullptr, WNOHANG) == p; }, 5000)) {
      kill(-p, SIGKILL);
      waitpid(p, nullptr, 0);
    }
    p = -1;
  }
  for (pid_t p : others_) {
    if (waitpid(p, nullptr, WNOHANG) == 0) {
      kill(-p, SIGKILL);
      waitpid(p, nullptr, 0);
    }
  }
  StopXServer(ownServer_);
  if (HasFailure()) {
    std::error_code ec;
    fs::copy_file(prefix_ + "/user.reg", logDir_ + "/user.reg",
                  fs::copy_options::overwrite_existing, ec);
    std::cerr << "logs of this test: " << logDir_ << "\n";
  }
  if (!getenv("KIVO_KEEP_PREFIX")) fs::remove_all(prefix_);
}

Background WineTest::Spawn(const std::vector<std::string>& argv, const std::string& outFile,
                           const std::string& errFile, const std::string& unixDir) {
  Background bg;
  bg.outFile = outFile;
  bg.errFile = errFile;
  pid_t pid = fork();
  if (pid == 0) {
    childSetup();
    // Wine starts a program in the Windows directory that maps this one.
    if (!unixDir.empty() && chdir(unixDir.c_str()) != 0) _exit(126);
    setenv("WINEPREFIX", prefix_.c_str(), 1);
    setenv("WINEARCH", "win32", 1);
    setenv("WINEDEBUG", envOr("WINEDEBUG", "-all").c_str(), 1);
    setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 1);
    // Wine converts the command line from the locale's encoding; the
    // locale also gives its ANSI code page: 932 under ja_JP, as on the
    // Japanese 95/98/Me systems the program takes the A calls on.
    setenv("LC_ALL", japanese_ ? "ja_JP.UTF-8" : "C.UTF-8", 1);
    if (AnsiRun() || forceAnsi_) setenv("KIVO_ANSI", "1", 1);
    setenv("DISPLAY", display_.c_str(), 1);
    int nul = open("/dev/null", O_RDONLY);
    dup2(nul, 0);
    int o = open(outFile.c_str(), O_CREAT | O_WRONLY | O_APPEND, 0644);
    int e = errFile == outFile ? o : open(errFile.c_str(), O_CREAT | O_WRONLY | O_APPEND, 0644);
    dup2(o, 1);
    dup2(e, 2);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  bg.pid = pid;
  return bg;
}

Result WineTest::Finish(Background& bg, int timeoutMs) {
  Result r;
  int status = 0;
  bool done = WaitFor([&] { return waitpid(bg.pid, &status, WNOHANG) == bg.pid; }, timeoutMs);
  if (!done) {
    kill(-bg.pid, SIGKILL);
    waitpid(bg.pid, &status, 0);
    r.code = -1;
    r.err = "(killed after " + std::to_string(timeoutMs) + " ms)\n";
  } else {
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  others_.erase(std::remove(others_.begin(), others_.end(), bg.pid), others_.end());
  bg.pid = -1;
  r.out = readFile(bg.outFile);
  r.err += bg.errFile == bg.outFile ? "" : readFile(bg.errFile);
  return r;
}

Background WineTest::DriverInBackground(const std::vector<std::string>& args) {
  int n = ++runs_;
  std::vector<std::string> argv = {"wine", DriverExe()};
  argv.insert(argv.end(), args.begin(), args.end());
  std::string base = logDir_ + "/driver-" + std::to_string(n);
  Background bg = Spawn(argv, base + ".out", base + ".err");
  others_.push_back(bg.pid);
  return bg;
}

Result WineTest::Driver(const std::vector<std::string>& args, int timeoutMs) {
  std::vector<std::string> withTimeout = args;
  if (!withTimeout.empty())
    withTimeout.insert(withTimeout.begin() + 1, {"--timeout", std::to_string(timeoutMs)});
  auto started = std::chrono::steady_clock::now();
  Background bg = DriverInBackground(withTimeout);
  Result r = Finish(bg, timeoutMs + 20000);
  auto ms = [](std::chrono::steady_clock::duration d) {
    return std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(d).count());
  };
  static const auto firstRun = started;
  std::ofstream(logDir_ + "/driver.log", std::ios::app)
      << "[+" << ms(started - firstRun) << " ms, took " << ms(std::chrono::steady_clock::now() - started)
      << " ms] $ kivo_driver " << [&] {
           std::string s;
           for (const auto& a : withTimeout) s += a + " ";
           return s;
         }() << "\n" << r.out << r.err << "-> " << r.code << "\n";
  return r;
}

int WineTest::StartApp() { return StartApp(AppExe()); }

int WineTest::StartApp(const std::string& exe, const std::vector<std::string>& args) {
  int n = static_cast<int>(apps_.size());
  std::string log = logDir_ + "/app-" + std::to_string(n) + ".log";
  std::vector<std::string> argv{"wine", exe};
  argv.insert(argv.end(), args.begin(), args.end());
  Background bg = Spawn(argv, log, log);
  apps_.push_back(bg.pid);
  return n;
}

int WineTest::StartAppIn(const std::string& driveCDir) {
  int n = static_cast<int>(apps_.size());
  std::string log = logDir_ + "/app-" + std::to_string(n) + ".log";
  Background bg = Spawn({"wine", AppExe()}, log, log, prefix_ + "/drive_c/" + driveCDir);
  apps_.push_back(bg.pid);
  return n;
}

void WineTest::RunCheckingProgram(const std::string& exe, const std::string& version) {
  const std::string name = exe.substr(exe.find_last_of('/') + 1);
  ASSERT_EQ(Driver({"reg-set", "Software\\Wine\\AppDefaults\\" + name, "Version", version}).code, 0);
  const int n = StartApp(exe);
  const std::optional<int> code = WaitAppExit(n, 180000);
  const std::string text = readFile(logDir_ + "/app-" + std::to_string(n) + ".log");
  ASSERT_TRUE(code.has_value()) << name << " did not end:\n" << text;
  std::vector<std::string> failed;
  int passed = 0;
  std::stringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("ok ", 0) == 0) ++passed;
    if (line.rfind("FAIL ", 0) == 0) failed.push_back(line.substr(5));
  }
  std::string names;
  for (const auto& f : failed) names += "\n  " + f;
  EXPECT_TRUE(failed.empty()) << failed.size() << " cases failed as " << version << ":" << names << "\n" << text;
  EXPECT_EQ(*code, static_cast<int>(failed.size())) << text;
  EXPECT_GT(passed, 0) << text;
}

std::optional<int> WineTest::WaitAppExit(int n, int timeoutMs) {
  pid_t& p = apps_.at(static_cast<size_t>(n));
  if (p <= 0) return std::nullopt;
  int status = 0;
  if (!WaitFor([&] { return waitpid(p, &status, WNOHANG) == p; }, timeoutMs)) return std::nullopt;
  p = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void WineTest::SetSetting(const std::string& section, const std::string& name,
                          const std::string& value) {
  ASSERT_DRIVER_OK(Driver({"reg-set", std::string(kSettingsKey) + "\\" + section, name, value}));
}

std::optional<std::string> WineTest::GetSetting(const std::string& section, const std::string& name) {
  Result r = Driver({"reg-get", std::string(kSettingsKey) + "\\" + section, name});
  if (r.code != 0) return std::nullopt;
  auto l = r.lines();
  return l.empty() ? std::string() : unescape(l[0]);
}

void WineTest::SetWindowsVersion(const std::string& version) {
  if (version == "win95" || version == "win98" || version == "winme") japanese_ = true;
  ASSERT_DRIVER_OK(
      Driver({"reg-set", "Software\\Wine\\AppDefaults\\kivo_config.exe", "Version", version}));
}

void WineTest::UseTwoMonitors(const MonitorLayout& layout) {
  for (pid_t p : apps_)
    ASSERT_LE(p, 0) << "UseTwoMonitors is called before the program starts";
  // The registry is written back when the wineserver ends.
  if (runs_ > 0) StopWineserver();
  ASSERT_EQ(ownServer_.pid, -1) << "the test has its own X server already";
  const std::string config = logDir_ + "/xorg.conf";
  std::ofstream(config) << XorgConfig(layout);
  std::string error = StartXorg(config, logDir_ + "/xorg.log", ownServer_);
  ASSERT_EQ(error, "");
  display_ = ownServer_.display;
  layout_ = layout;
  ASSERT_EQ(UseXineramaMonitors(prefix_ + "/user.reg"), "");
}

Rect WineTest::WaitMainWindow(int timeoutMs) {
  Rect rect;
  Result r = Driver({"wait", "--title", kMainTitle, "--visible"}, timeoutMs);
  EXPECT_EQ(r.code, 0) << "the main window did not appear:\n" << r.err;
  if (r.code != 0) return rect;
  auto fields = split(r.lines().at(0), '\t');
  for (const auto& f : fields)
    if (f.rfind("rect=", 0) == 0) parseRect(f.substr(5), rect);
  if (AnsiRun() || forceAnsi_) {
    Result u = Driver({"unicode", "--title", kMainTitle});
    EXPECT_TRUE(u.code == 0 && !u.lines().empty() && u.lines()[0] == "0")
        << "the ANSI run shows a Unicode main window: the A calls were not taken";
  }
  return rect;
}

Rect WineTest::WindowRect(const std::string& title) {
  Rect rect;
  Result r = Driver({"rect", "--title", title});
  EXPECT_EQ(r.code, 0) << r.err;
  if (r.code == 0) parseRect(r.out, rect);
  return rect;
}

Rect WineTest::ClientRect(const std::string& title) {
  Rect rect;
  Result r = Driver({"client-rect", "--title", title});
  EXPECT_EQ(r.code, 0) << r.err;
  if (r.code == 0) parseRect(r.out, rect);
  return rect;
}

std::vector<Control> WineTest::Controls(const std::string& title) {
  std::vector<Control> all;
  Result r = Driver({"children", "--title", title});
  EXPECT_EQ(r.code, 0) << r.err;
  for (const auto& line : r.lines()) {
    auto f = split(line, '\t');
    if (f.size() < 8) continue;
    Control c;
    c.hwnd = f[0];
    c.cls = f[1];
    c.id = std::atoi(f[2].c_str() + 3);
    c.enabled = f[3] == "enabled=1";
    c.visible = f[4] == "visible=1";
    c.checked = std::atoi(f[5].c_str() + 8);
    parseRect(f[6].substr(5), c.rect);
    // The text is the rest of the line (it is escaped, so it has no tabs).
    c.text = unescape(f[7]);
    all.push_back(c);
  }
  return all;
}

std::optional<Control> WineTest::FindControl(const std::vector<Control>& all,
                                             const std::string& cls, const std::string& text) {
  for (const auto& c : all)
    if (iequals(c.cls, cls) && c.text == text) return c;
  return std::nullopt;
}

std::pair<int, int> WineTest::ScreenSize() {
  Result r = Driver({"screen"});
  EXPECT_EQ(r.code, 0) << r.err;
  std::istringstream in(r.out);
  int w = 0, h = 0;
  in >> w >> h;
  return {w, h};
}

void WineTest::XTool(const std::vector<std::string>& args) {
  std::vector<std::string> argv{"xdotool"};
  argv.insert(argv.end(), args.begin(), args.end());
  Result r = RunTool(argv);
  ASSERT_EQ(r.code, 0) << r.err;
}

void WineTest::MoveMouse(int x, int y) {
  const int dx = layout_ ? layout_->xOriginX() : 0;  // Windows' screen to the X server's
  XTool({"mousemove", std::to_string(x + dx), std::to_string(y)});
  const std::string want = std::to_string(x) + " " + std::to_string(y);
  std::string seen;
  ASSERT_TRUE(WaitFor([&] {
    Result r = Driver({"cursor"});
    seen = r.lines().empty() ? r.err : r.lines()[0];
    return r.code == 0 && seen == want;
  }, 15000)) << "Wine has the mouse at " << seen << ", not " << want;
}

bool WineTest::Hover(const std::string& title, const std::string& text, const std::function<bool()>& shown,
                     int timeoutMs) {
  return WaitFor([&] {
    Result r = Driver({"hover", "--title", title, "--text", text});
    EXPECT_DRIVER_OK(r);
    return r.code == 0 && shown();
  }, timeoutMs);
}

void WineTest::ChooseTrayMenuItem(const std::string& item) {
  ASSERT_DRIVER_OK(Driver({"post", "--title", kMainTitle, "--msg", std::to_string(kTrayMessage),
                           "--wparam", "100", "--lparam", std::to_string(kWmRButtonDown)}));
  ASSERT_DRIVER_OK(Driver({"menu-select", "--text", item}));
}

std::string WineTest::Screenshot(const std::string& name, const Rect& area) {
  fs::create_directories(screenshotDir());
  std::string file = screenshotDir() + "/" + sanitize(name) + ".png";
  auto [sw, sh] = std::pair<int, int>{0, 0};
  int dx = 0;  // from Windows' screen coordinates to the X server's
  if (layout_) {
    sw = layout_->right() - layout_->left();
    sh = layout_->height();
    dx = layout_->xOriginX();
  } else {
    std::string screen = envOr("KIVO_E2E_SCREEN", "1024x768x24");
    sscanf(screen.c_str(), "%dx%d", &sw, &sh);
  }
  int l = std::max(0, area.left + dx), t = std::max(0, area.top);
  int r = std::min(sw, area.right + dx), b = std::min(sh, area.bottom);
  std::vector<std::string> argv = {"import", "-display", display_, "-window", "root"};
  if (r > l && b > t) {
    argv.insert(argv.end(), {"-crop", std::to_string(r - l) + "x" + std::to_string(b - t) + "+" +
                                          std::to_string(l) + "+" + std::to_string(t),
                             "+repage"});
  }
  argv.push_back(file);
  std::string log = logDir_ + "/import.log";
  Background bg = Spawn(argv, log, log);
  Result res = Finish(bg, 30000);
  EXPECT_EQ(res.code, 0) << "screenshot failed: " << res.out;
  return file;
}

Result WineTest::RunTool(const std::vector<std::string>& argv, int timeoutMs) {
  // Spawn appends to its output files: one pair per call.
  static int calls = 0;
  std::string log = logDir_ + "/tool-" + std::to_string(++calls);
  Background bg = Spawn(argv, log + ".out", log + ".err");
  return Finish(bg, timeoutMs);
}

std::vector<std::string> WineTest::Pixels(const std::string& png, const Rect& area) {
  std::string geometry = std::to_string(area.width()) + "x" + std::to_string(area.height()) + "+" +
                         std::to_string(area.left) + "+" + std::to_string(area.top);
  Result r = RunTool({"convert", png, "-crop", geometry, "+repage", "-depth", "8", "txt:-"}, 30000);
  EXPECT_EQ(r.code, 0) << "convert failed: " << r.err;
  // Lines read "x,y: (r,g,b)  #RRGGBB  name"; the first is a header.
  std::vector<std::string> colours;
  for (const std::string& line : r.lines()) {
    size_t hash = line.find('#');
    if (line.empty() || line[0] == '#' || hash == std::string::npos) continue;
    colours.push_back(line.substr(hash, 7));
  }
  return colours;
}

}  // namespace e2e
