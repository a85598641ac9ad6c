#include "e2e/two_monitors.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace e2e {
namespace {

using Clock = std::chrono::steady_clock;

// A mode of the size at 60 Hz with short blanking (the dummy driver takes any
// timing the monitor's ranges allow; the built-in 1024x768 modes it would
// pick are double-scan ones that its outputs refuse).
std::string Modeline(const std::string& name, int w, int h) {
  const int htotal = w + 160, vtotal = h + 30;
  const double mhz = static_cast<double>(htotal) * vtotal * 60 / 1e6;
  std::ostringstream s;
  s.setf(std::ios::fixed);
  s.precision(2);
  s << "  Modeline \"" << name << "\" " << mhz << " " << w << " " << w + 16 << " " << w + 112 << " "
    << htotal << " " << h << " " << h + 3 << " " << h + 6 << " " << vtotal << " +hsync +vsync\n";
  return s.str();
}

std::string ScreenSections(int n, int w, int h) {
  const std::string id = std::to_string(n);
  const std::string mode = "kivo" + std::to_string(w) + "x" + std::to_string(h);
  // Twice the frame buffer, at least 16 MB.
  const long long videoRam = std::max(16384LL, 2LL * w * h * 4 / 1024);
  std::ostringstream s;
  s << "Section \"Device\"\n  Identifier \"card" << id << "\"\n  Driver \"dummy\"\n  VideoRam "
    << videoRam << "\nEndSection\n"
    << "Section \"Monitor\"\n  Identifier \"monitor" << id
    << "\"\n  HorizSync 5.0 - 1000.0\n  VertRefresh 5.0 - 200.0\n"
    << Modeline(mode, w, h) << "EndSection\n"
    << "Section \"Screen\"\n  Identifier \"screen" << id << "\"\n  Device \"card" << id
    << "\"\n  Monitor \"monitor" << id << "\"\n  DefaultDepth 24\n  SubSection \"Display\"\n"
    << "    Depth 24\n    Modes \"" << mode << "\"\n    Virtual " << w << " " << h
    << "\n  EndSubSection\nEndSection\n";
  return s.str();
}

void ChildSetup() {
  // The server dies with the runner even when it is killed.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  setpgid(0, 0);
}

}  // namespace

std::string XorgConfig(const MonitorLayout& layout) {
  std::ostringstream s;
  s << "Section \"ServerFlags\"\n"
       "  Option \"AutoAddDevices\" \"false\"\n"
       "  Option \"AutoEnableDevices\" \"false\"\n"
       "  Option \"DontVTSwitch\" \"true\"\n"
       "  Option \"Xinerama\" \"true\"\n"
       "EndSection\n"
    << ScreenSections(0, layout.primaryWidth, layout.primaryHeight)
    << ScreenSections(1, layout.secondWidth, layout.secondHeight)
    << "Section \"ServerLayout\"\n  Identifier \"layout\"\n  Screen 0 \"screen0\"\n"
    << "  Screen 1 \"screen1\" " << (layout.secondLeft ? "LeftOf" : "RightOf") << " \"screen0\"\n"
    << "EndSection\n";
  return s.str();
}

std::string StartXorg(const std::string& configFile, const std::string& logFile, XServer& server) {
  if (access("/usr/lib/xorg/modules/drivers/dummy_drv.so", R_OK) != 0)
    return "Xorg's dummy video driver is not installed; run scripts/install-deps.sh";
  // An empty configuration folder: the machine's own snippets (input
  // drivers and the like) stay out.
  const std::string confDir = configFile + ".d";
  mkdir(confDir.c_str(), 0755);
  std::string tried;
  for (int n = 40 + getpid() % 40, tries = 0; tries < 40; ++n, ++tries) {
    const std::string display = ":" + std::to_string(n);
    if (access(("/tmp/.X" + std::to_string(n) + "-lock").c_str(), F_OK) == 0 ||
        access(("/tmp/.X11-unix/X" + std::to_string(n)).c_str(), F_OK) == 0)
      continue;
    // Xorg writes the display's name to -displayfd once it serves clients.
    int ready[2];
    if (pipe(ready) != 0) return "pipe failed";
    pid_t pid = fork();
    if (pid == 0) {
      ChildSetup();
      close(ready[0]);
      int nul = open("/dev/null", O_RDWR);
      dup2(nul, 0);
      int log = open((logFile + ".out").c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
      dup2(log, 1);
      dup2(log, 2);
      const std::string fd = std::to_string(ready[1]);
      // -sharevts -novtswitch: the server leaves the console as it is.
      execlp("Xorg", "Xorg", display.c_str(), "-config", configFile.c_str(), "-configdir",
             confDir.c_str(), "-logfile", logFile.c_str(), "-displayfd", fd.c_str(), "-noreset",
             "-nolisten", "tcp", "-sharevts", "-novtswitch", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(ready[1]);
    std::string answer;
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    for (;;) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) break;
      pollfd p{ready[0], POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
      char buf[32];
      ssize_t got = read(ready[0], buf, sizeof buf);
      if (got <= 0) break;  // the server ended before it was ready
      answer.append(buf, static_cast<size_t>(got));
      if (answer.find('\n') != std::string::npos) break;
    }
    close(ready[0]);
    if (answer.find('\n') != std::string::npos && waitpid(pid, nullptr, WNOHANG) == 0) {
      server.pid = pid;
      server.display = display;
      return "";
    }
    kill(-pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127)
      return "'Xorg' is not installed; run scripts/install-deps.sh";
    tried += " " + display;
  }
  return "Xorg did not start (tried" + tried + "); see " + logFile;
}

void StopXServer(XServer& server) {
  if (server.pid <= 0) return;
  kill(server.pid, SIGTERM);
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (waitpid(server.pid, nullptr, WNOHANG) != server.pid) {
    if (Clock::now() >= deadline) {
      kill(-server.pid, SIGKILL);
      waitpid(server.pid, nullptr, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  server.pid = -1;
}

std::string UseXineramaMonitors(const std::string& userReg) {
  std::ifstream in(userReg, std::ios::binary);
  if (!in) return "cannot read " + userReg;
  std::ostringstream kept;
  std::string line, section;
  bool found = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line[0] == '[') section = line.substr(0, line.find(']') + 1);
    // The explorer's "Desktop" value turns the virtual desktop on.
    if (section == "[Software\\\\Wine\\\\Explorer]" && line.rfind("\"Desktop\"=", 0) == 0) {
      found = true;
      continue;
    }
    kept << line << "\n";
  }
  in.close();
  if (!found) return "no virtual desktop setting in " + userReg;
  std::ofstream out(userReg, std::ios::binary | std::ios::trunc);
  out << kept.str() << "\n[Software\\\\Wine\\\\X11 Driver]\n\"UseXRandR\"=\"N\"\n";
  return out ? "" : "cannot write " + userReg;
}

}  // namespace e2e
