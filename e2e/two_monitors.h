// An X server with two monitors side by side for one end-to-end test: Xorg
// with the dummy video driver, one X screen per monitor, joined by Xinerama.
// Xvfb cannot place its screens (every one starts at 0,0) and a Wine virtual
// desktop is a single monitor, so this is the set-up that lets Wine report
// two monitors next to each other (with UseXRandR off it reads Xinerama's
// heads; the first head is the primary monitor, at 0,0 in Windows'
// coordinates).
#pragma once

#include <sys/types.h>

#include <string>

namespace e2e {

struct MonitorLayout {
  int primaryWidth = 800, primaryHeight = 600;    // Windows' primary monitor, at 0,0
  int secondWidth = 1024, secondHeight = 768;
  bool secondLeft = false;  // left of the primary (negative x) instead of right of it

  // The virtual screen in Windows' coordinates: left, top, right, bottom.
  int left() const { return secondLeft ? -secondWidth : 0; }
  int right() const { return secondLeft ? primaryWidth : primaryWidth + secondWidth; }
  int height() const { return primaryHeight > secondHeight ? primaryHeight : secondHeight; }
  // The second monitor's left edge in Windows' coordinates.
  int secondX() const { return secondLeft ? -secondWidth : primaryWidth; }
  // The X server's coordinates are Windows' shifted by the virtual screen's left.
  int xOriginX() const { return -left(); }
};

// The Xorg configuration for the layout (dummy driver, Xinerama, no input
// devices but the server's virtual ones, which XTest drives).
std::string XorgConfig(const MonitorLayout& layout);

struct XServer {
  pid_t pid = -1;
  std::string display;  // ":N"
};

// Starts Xorg with the configuration file on a free display number and waits
// until it serves clients. Returns the error text, empty on success; the
// server's log is logFile. When it fails the server is gone.
std::string StartXorg(const std::string& configFile, const std::string& logFile, XServer& server);
// Ends the server (SIGTERM, then SIGKILL after a few seconds).
void StopXServer(XServer& server);

// Rewrites a prefix's user.reg (no wineserver may run on it) so that Wine
// uses no virtual desktop and no XRandR: it then reports the X server's
// Xinerama heads as monitors. Returns the error text, empty on success.
std::string UseXineramaMonitors(const std::string& userReg);

}  // namespace e2e
