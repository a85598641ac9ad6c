// The main window's captures: the tray's items, the hotkeys' and the
// command line's, each after the stored delay, one waiting at a time.
#include "app/main_window.h"

#include <memory>
#include <optional>

#include "platform/platform.h"
#include "viewer/capture.h"
#include "viewer/capture_delay.h"
#include "viewer/capture_region.h"

void TForm1::StartCapture(CaptureKind kind, bool silent, std::function<void(viewer::RegionOutcome)> done) {
  // Answered exactly once, however it goes: taken, failed, cancelled or
  // replaced by a later request while it waited.
  auto answer = std::make_shared<std::function<void(viewer::RegionOutcome)>>(std::move(done));
  auto tell = [answer](viewer::RegionOutcome outcome) {
    std::function<void(viewer::RegionOutcome)> once = std::move(*answer);
    *answer = nullptr;
    if (once) once(outcome);
  };
  auto capture = [this, kind, silent, tell] {
    viewer::RegionOutcome outcome = viewer::RegionOutcome::Failed;
    try {
      switch (kind) {
        case CaptureKind::Desktop:
        case CaptureKind::ActiveWindow: {
          // The window in front when the picture is taken, after the delay.
          const bool desktop = kind == CaptureKind::Desktop;
          const bool taken = viewer::Capture(
              viewer::CaptureKeys(desktop ? viewer::CaptureCommand::Desktop : viewer::CaptureCommand::ActiveWindow,
                                  PlatformFamily),
              desktop ? 0 : platform::Get().GetForegroundWindow(), Handle());
          outcome = taken ? viewer::RegionOutcome::Taken : viewer::RegionOutcome::Failed;
          break;
        }
        case CaptureKind::Region: outcome = viewer::CaptureRegion(this); break;
        case CaptureKind::LastRegion: outcome = viewer::CaptureLastRegion(this, silent); break;
      }
    } catch (...) {
      // Said here (unless silent), whoever asked: a picture too large for
      // memory, a file that could not be written.
      outcome = viewer::RegionOutcome::Failed;
      if (!silent) tk::Application::Instance().HandleException();
    }
    tell(outcome);
  };
  auto dropped = [tell] { tell(viewer::RegionOutcome::Cancelled); };
  viewer::RequestCapture(*this, capture, dropped);
}

void TForm1::C1Click(tk::Component*) { StartCapture(CaptureKind::Desktop, false); }
void TForm1::R1Click(tk::Component*) { StartCapture(CaptureKind::Region, false); }
void TForm1::L1Click(tk::Component*) { StartCapture(CaptureKind::LastRegion, false); }
