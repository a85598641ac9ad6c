// The main window's captures, however they are asked for (the tray's items,
// the hotkeys, the command line's, this copy's or another's): each after the
// stored delay (viewer/capture_delay.h), one waiting at a time, and each
// answered exactly once with how it went.
#pragma once

#include <functional>
#include <utility>

#include "toolkit/toolkit.h"
#include "viewer/capture_region.h"

enum class CaptureKind { Desktop, ActiveWindow, Region, LastRegion };

// Owned by the window the captures belong to: the region overlay's owner and
// the owner of the files' messages.
class CaptureStarter {
 public:
  // family: the window's platform family when a capture is taken (1: 95/98/Me,
  // 2: NT), for the keys that make the system's own picture.
  CaptureStarter(tk::Form& window, std::function<unsigned()> family)
      : window_(window), family_(std::move(family)) {}

  // Starts a capture after the stored delay; a capture still waiting is
  // replaced. done gets how it went, once: a capture replaced while it
  // waited Cancelled, one that failed by an error Failed (said unless
  // silent).
  void Start(CaptureKind kind, bool silent, std::function<void(viewer::RegionOutcome)> done = {});

 private:
  viewer::RegionOutcome Take(CaptureKind kind, bool silent);
  tk::Form& window_;
  std::function<unsigned()> family_;
};
