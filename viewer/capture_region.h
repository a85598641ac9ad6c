// Region captures: the screen taken first and shown still, darkened, in the
// overlay TForm29 over every monitor, where the user drags the rectangle to
// take; and the last region taken again without the overlay (section
// "Capture", "Region").
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/platform.h"
#include "toolkit/toolkit.h"
#include "viewer/capture_file.h"
#include "viewer/pixels.h"

namespace viewer {

enum class RegionOutcome {
  Taken,         // the picture is on the clipboard (and in its file)
  Cancelled,     // Esc or a right click: the clipboard is as it was
  NoLastRegion,  // no last region stored (or one that cannot be read)
  OffScreen,     // the last region lies on no monitor now
  Failed,        // the screen could not be taken, or the clipboard refused
};

// The overlay, then the picture where captures go; the region is kept as
// the last one. owner: the window the overlay belongs to.
RegionOutcome CaptureRegion(tk::Form* owner);
// The last region's pixels of the screen as it is now, clipped to the
// screen; says why when there is none (unless silent).
RegionOutcome CaptureLastRegion(tk::Form* owner, bool silent = false);

// The last region as stored: nothing when none is stored, the value cannot
// be read or is no region.
std::optional<ScreenRect> ReadLastRegion();
void WriteLastRegion(const ScreenRect& region);
// What CaptureLastRegion would find now, without taking anything: Taken
// when there is a last region on the screen.
RegionOutcome CheckLastRegion();

// The part of a picture of the whole screen (its top left at the screen's
// point origin) that a region covers, the region lying inside it.
Pixels CropRegion(const Pixels& screen, int originX, int originY, const ScreenRect& region);

// The overlay's darkening: each channel of a pixel outside the region.
constexpr std::uint8_t Darkened(std::uint8_t v) { return static_cast<std::uint8_t>(v * 3 / 5); }

}  // namespace viewer

// The overlay: one topmost borderless window over the whole virtual screen,
// pixel-exact, showing the screen as it was, darkened, and the dragged
// rectangle at full brightness with its size beside it. Mouse: press, drag
// and release takes the rectangle; the arrow keys move the dragged corner by
// one pixel (Shift: ten) while the button is down; Enter takes it, Esc or a
// right click cancels. It holds two copies of the screen: the original,
// which the region is cut from and the bright part is drawn from, and the
// picture shown (darkened outside the rectangle); both go with the window.
class TForm29 : public tk::Form {
 public:
  struct Result {
    std::optional<viewer::ScreenRect> region;  // in screen coordinates, once taken
    viewer::Pixels pixels;                     // the region's pixels
  };
  // screen: the whole virtual screen, whose top left is the screen's point
  // (originX, originY); result is filled when a region is taken.
  TForm29(tk::Component* owner, platform::Bitmap screen, int originX, int originY, Result& result);
  ~TForm29() override;

  tk::Image* Image1;  // the screen as shown
  tk::Label* Label1;  // the region's size in pixels

  bool WndProc(tk::Message& msg) override;
  void FormKeyDown(tk::Component* sender, unsigned& key);
  void FormShow(tk::Component* sender);

  // The rectangle being dragged, in screen coordinates (nothing before a press).
  std::optional<viewer::ScreenRect> Dragged() const;
  bool Dragging() const { return dragging_; }

 private:
  void Press(int x, int y);
  void MoveCorner(int x, int y);
  void Take();
  void Cancel();
  // Draws the shown picture again where the rectangle was or is now.
  void ShowRegion(const viewer::ScreenRect& before, const viewer::ScreenRect& now);
  void PlaceLabel(const viewer::ScreenRect& region);

  platform::Bitmap screen_;
  int originX_, originY_;
  Result& result_;
  std::shared_ptr<tk::Picture> shown_;
  bool dragging_ = false;
  int anchorX_ = 0, anchorY_ = 0, cornerX_ = 0, cornerY_ = 0;
  int mouseX_ = 0, mouseY_ = 0;  // where the mouse was last seen (screen coordinates)
  viewer::ScreenRect lit_;       // the part shown bright now
};

extern tk::FormSlot<TForm29> Form29;
