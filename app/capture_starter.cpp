#include "app/capture_starter.h"

#include <memory>
#include <utility>

#include "platform/platform.h"
#include "viewer/capture.h"
#include "viewer/capture_delay.h"

namespace {
// An answer given at most once, from whichever copy of it runs first.
class OnceAnswer {
 public:
  explicit OnceAnswer(std::function<void(viewer::RegionOutcome)> done)
      : done_(std::make_shared<std::function<void(viewer::RegionOutcome)>>(std::move(done))) {}
  void operator()(viewer::RegionOutcome outcome) const {
    std::function<void(viewer::RegionOutcome)> once = std::move(*done_);
    *done_ = nullptr;
    if (once) once(outcome);
  }

 private:
  std::shared_ptr<std::function<void(viewer::RegionOutcome)>> done_;
};
}  // namespace

void CaptureStarter::Start(CaptureKind kind, bool silent, std::function<void(viewer::RegionOutcome)> done) {
  // Answered exactly once, however it goes: taken, failed, cancelled or
  // replaced by a later request while it waited.
  const OnceAnswer tell(std::move(done));
  auto capture = [this, kind, silent, tell] {
    viewer::RegionOutcome outcome = viewer::RegionOutcome::Failed;
    try {
      outcome = Take(kind, silent);
    } catch (...) {
      // Said here (unless silent), whoever asked: a picture too large for
      // memory, a file that could not be written.
      outcome = viewer::RegionOutcome::Failed;
      if (!silent) tk::Application::Instance().HandleException();
    }
    tell(outcome);
  };
  auto dropped = [tell] { tell(viewer::RegionOutcome::Cancelled); };
  viewer::RequestCapture(window_, capture, dropped);
}

viewer::RegionOutcome CaptureStarter::Take(CaptureKind kind, bool silent) {
  switch (kind) {
    case CaptureKind::Desktop:
    case CaptureKind::ActiveWindow: {
      // The window in front when the picture is taken, after the delay.
      const bool desktop = kind == CaptureKind::Desktop;
      const bool taken = viewer::Capture(
          viewer::CaptureKeys(desktop ? viewer::CaptureCommand::Desktop : viewer::CaptureCommand::ActiveWindow,
                              family_ ? family_() : 0),
          desktop ? 0 : platform::Get().GetForegroundWindow(), window_.Handle());
      return taken ? viewer::RegionOutcome::Taken : viewer::RegionOutcome::Failed;
    }
    case CaptureKind::Region: return viewer::CaptureRegion(&window_);
    case CaptureKind::LastRegion: return viewer::CaptureLastRegion(&window_, silent);
  }
  return viewer::RegionOutcome::Failed;
}
