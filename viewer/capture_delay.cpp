#include "viewer/capture_delay.h"

#include <utility>

#include "viewer/capture.h"

namespace viewer {

namespace {

std::function<void()>& Listener() {
  static std::function<void()> listener;
  return listener;
}

void Tell() {
  if (Listener()) Listener()();
}

// The one waiting capture: made on the first request that has to wait.
class WaitingCapture : public tk::Component {
 public:
  explicit WaitingCapture(tk::Component* owner) : tk::Component(owner) {
    timer_ = new tk::Timer(this, "CaptureDelayTimer", 1000);
    timer_->SetEnabled(false);
    timer_->OnTimer = [this](tk::Component*) { Tick(); };
    current_ = this;
  }
  ~WaitingCapture() override {
    if (current_ == this) current_ = nullptr;
  }
  static WaitingCapture* current_;

  void Wait(int seconds, std::function<void()> capture, std::function<void()> dropped) {
    std::function<void()> replaced = std::move(dropped_);
    capture_ = std::move(capture);
    dropped_ = std::move(dropped);
    left_ = seconds;
    timer_->SetEnabled(false);  // the count starts again from the whole delay
    timer_->SetEnabled(true);
    Tell();
    if (replaced) replaced();
  }
  // A capture asked for at once replaces the one waiting.
  void Drop() {
    if (left_ == 0) return;
    left_ = 0;
    timer_->SetEnabled(false);
    capture_ = nullptr;
    std::function<void()> replaced = std::move(dropped_);
    dropped_ = nullptr;
    Tell();
    if (replaced) replaced();
  }
  int Left() const { return left_; }

 private:
  void Tick() {
    if (left_ <= 0) return;
    if (--left_ > 0) {
      Tell();
      return;
    }
    timer_->SetEnabled(false);
    std::function<void()> capture = std::move(capture_);
    capture_ = nullptr;
    dropped_ = nullptr;
    Tell();  // the usual tip again before the picture is taken
    if (capture) capture();
  }

  tk::Timer* timer_;
  int left_ = 0;
  std::function<void()> capture_, dropped_;
};

WaitingCapture* WaitingCapture::current_ = nullptr;

}  // namespace

void RequestCapture(tk::Form& asking, std::function<void()> capture, std::function<void()> dropped) {
  StoredCaptureSettings stored;
  ReadCaptureSettings(stored, kCaptureDelay);
  const int delay = stored.settings.delay;
  WaitingCapture* waiting = WaitingCapture::current_;
  if (delay <= 0) {
    if (waiting) waiting->Drop();
    capture();
    // A delay that cannot be read is named once the picture is taken.
    ReportCapture(stored, "");
    return;
  }
  if (!waiting) {
    tk::Form* main = tk::Application::Instance().MainForm();
    waiting = new WaitingCapture(main ? static_cast<tk::Component*>(main) : &asking);
  }
  waiting->Wait(delay, std::move(capture), std::move(dropped));
}

int CaptureSecondsLeft() { return WaitingCapture::current_ ? WaitingCapture::current_->Left() : 0; }

std::string CaptureCountdownText() {
  const int left = CaptureSecondsLeft();
  return left > 0 ? "キャプチャまで " + std::to_string(left) + "秒" : std::string();
}

void SetCountdownListener(std::function<void()> listener) { Listener() = std::move(listener); }

}  // namespace viewer
