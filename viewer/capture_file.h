// Captures saved to files: the settings (section "Capture"), the file name
// from its pattern, and the part of a desktop picture that one monitor shows.
// Text and arithmetic only, so that the unit tests reach every rule.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "viewer/pixels.h"

namespace viewer {

struct CaptureFileSettings {
  bool toFile = false;               // "ToFile"
  std::string folder;                // "Folder"; "" for the default folder
  std::string pattern = "kivo_%Y%m%d_%H%M%S";  // "Pattern"
  std::string format = "png";        // "Format": "png", "jpg" or "bmp"
  int quality = 90;                  // "Quality", for JPEG: 1 … 100
  int monitor = 0;                   // "Monitor": 0 every monitor, 1 the one under the mouse
  bool cursor = false;               // "Cursor": the mouse cursor drawn into desktop captures
  int delay = 0;                     // "Delay": seconds before each capture, one of kCaptureDelays
};
// The delays a capture may wait, in seconds; a stored value that is none of
// them counts as 0.
constexpr int kCaptureDelays[] = {0, 3, 5, 10};
int NormalDelay(long long seconds);
constexpr const char* kDefaultPattern = "kivo_%Y%m%d_%H%M%S";

// A stored format's normal form ("PNG", "jpeg" …); "png" for anything else.
std::string NormalFormat(const std::string& format);
// The file extension of a format (".png", ".jpg", ".bmp").
std::string FormatExtension(const std::string& format);

struct LocalTime {
  int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};
// A local date-time in days since 1899-12-30 (the platform's Now()).
LocalTime TimeOfDays(double days);

// What a capture's name may tell besides the time: what was taken (the
// window's title, "Desktop" or "Region") and the picture's size.
struct CaptureSubject {
  std::string title = "Desktop";
  int width = 0, height = 0;
};
constexpr size_t kMaxTitleInName = 64;  // characters of %T

// The pattern with %Y %m %d %H %M %S (the time; %H is the hour), %T (the
// subject's title, at most 64 characters), %W and %h (the picture's width
// and height) and %% for "%" filled in, every character that a file name
// cannot hold replaced by "_", and the names the system keeps for devices
// ("CON", "LPT1", "nul .txt" …) made plain by a leading "_"; never empty.
std::string ExpandPattern(const std::string& pattern, const LocalTime& time,
                          const CaptureSubject& subject = CaptureSubject());

// Whether the system takes a file name for a device. It looks at the name's
// base (up to the first dot) without its trailing blanks and dots, in any
// case: "con .txt", "NUL  .png" and "com1 .a" are devices as "CON" is.
// CONIN$ and CONOUT$ are devices on the NT family, CLOCK$ on 95/98/Me; a name
// that is one on either counts on both, so that a pattern gives the same
// names everywhere.
bool IsDeviceName(const std::string& name);

constexpr int kMaxCounter = 9999;  // name_2 … name_9999 after name

// Joins a folder and a file name with one backslash.
std::string JoinPath(const std::string& folder, const std::string& file);

struct ScreenRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
};
// The part of a picture of the whole virtual screen that a monitor shows
// (both in screen coordinates, the virtual screen's origin perhaps
// negative); the whole picture when the monitor lies outside it.
Pixels CropToMonitor(const Pixels& virtualScreen, const ScreenRect& screen, const ScreenRect& monitor);

// A region of the screen chosen by a drag: from the pixel where it started
// to the one where it ends, both inside, whichever way it went.
ScreenRect RegionBetween(int anchorX, int anchorY, int cornerX, int cornerY);
// The part of a region on the screen; empty (no width or height) when none.
ScreenRect ClipRegion(const ScreenRect& region, const ScreenRect& screen);
// The last region as stored ("Region" in "Capture"): "left,top,width,height"
// in pixels, the width and height positive. ParseRegion is false for any
// other text (the region is then unknown).
std::string FormatRegion(const ScreenRect& region);
bool ParseRegion(const std::string& text, ScreenRect& region);

}  // namespace viewer
