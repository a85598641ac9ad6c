#include "toolkit/headless/headless_backend.h"

#include <algorithm>

namespace tk {

namespace {

class HeadlessControlPeer : public ControlPeer {
 public:
  explicit HeadlessControlPeer(WindowHandle h, HeadlessBackend* b = nullptr, Control* c = nullptr)
      : handle_(h), backend_(b), control_(c) {}
  WindowHandle Handle() const override { return handle_; }
  void WipeText(size_t length) override {
    if (backend_ && control_) backend_->wipes.push_back({control_->Name, length});
  }
  void SetColor(Color) override {
    if (backend_ && control_) backend_->colourRepaints.push_back(control_->Name);
  }

 private:
  WindowHandle handle_;
  HeadlessBackend* backend_;
  Control* control_;
};

class HeadlessBrowserPeer : public HeadlessControlPeer {
 public:
  HeadlessBrowserPeer(HeadlessBackend& b, WindowHandle h) : HeadlessControlPeer(h), backend_(b) {}
  bool BrowserAvailable() const override { return backend_.browserEngine; }
  InPlaceActiveObject* ActiveObject() override {
    return backend_.browserEngine ? backend_.browserActiveObject : nullptr;
  }
  bool BrowserCommand(int op, const std::string& url) override {
    if (!backend_.browserEngine) return false;
    static const char* const kNames[] = {"Navigate", "GoBack", "GoForward", "GoHome", "Stop", "Refresh", "Quiet"};
    backend_.browserCalls.push_back(op == WebBrowser::kNavigate ? "Navigate(" + url + ")" : kNames[op]);
    return true;
  }

 private:
  HeadlessBackend& backend_;
};

class HeadlessImagePeer : public HeadlessControlPeer {
 public:
  using HeadlessControlPeer::HeadlessControlPeer;
  // Holds what it shows, as the window system's control holds its bitmap.
  bool SetPicture(std::shared_ptr<const Picture> picture, std::string&) override {
    shown_ = std::move(picture);
    return true;
  }

 private:
  std::shared_ptr<const Picture> shown_;
};

// A picture in plain memory, rows from the top; counted while it lives.
class HeadlessPicture : public Picture {
 public:
  HeadlessPicture(int w, int h, std::vector<std::uint8_t> memory, std::shared_ptr<HeadlessBackend::PictureCount> count)
      : Picture(w, h, memory.data(), std::ptrdiff_t{w} * 3), memory_(std::move(memory)), count_(std::move(count)) {
    count_->live += 1;
    count_->most = std::max(count_->most, count_->live);
  }
  ~HeadlessPicture() override { count_->live -= 1; }

 private:
  std::vector<std::uint8_t> memory_;  // moving a vector keeps its buffer
  std::shared_ptr<HeadlessBackend::PictureCount> count_;
};

class HeadlessFormPeer : public HeadlessControlPeer {
 public:
  HeadlessFormPeer(HeadlessBackend& b, Form& f, WindowHandle h)
      : HeadlessControlPeer(h, &b, &f), backend_(b), form_(f) {
    backend_.FormPeerCreated(&form_);
  }
  ~HeadlessFormPeer() override { backend_.FormPeerDestroyed(&form_); }

 private:
  HeadlessBackend& backend_;
  Form& form_;
};

class HeadlessTimerPeer : public TimerPeer {
 public:
  HeadlessTimerPeer(HeadlessBackend& b, Timer& t) : backend_(b), timer_(t) {
    backend_.TimerCreated(&timer_);
  }
  ~HeadlessTimerPeer() override { backend_.TimerDestroyed(&timer_); }
  void Restart() override { backend_.TimerRestarted(&timer_); }

 private:
  HeadlessBackend& backend_;
  Timer& timer_;
};
}  // namespace

std::unique_ptr<ControlPeer> HeadlessBackend::CreatePeer(Control& control) {
  if (onCreatePeer) onCreatePeer(control);
  WindowHandle h = nextHandle_++;
  if (control.Kind() == ControlKind::Form)
    return std::make_unique<HeadlessFormPeer>(*this, static_cast<Form&>(control), h);
  if (control.Kind() == ControlKind::WebBrowser) return std::make_unique<HeadlessBrowserPeer>(*this, h);
  if (control.Kind() == ControlKind::Image) return std::make_unique<HeadlessImagePeer>(h);
  return std::make_unique<HeadlessControlPeer>(h, this, &control);
}

std::unique_ptr<Picture> HeadlessBackend::CreatePicture(int width, int height, std::string& error) {
  if (!pictureFailure.empty()) {
    error = pictureFailure;
    return nullptr;
  }
  std::vector<std::uint8_t> memory(static_cast<size_t>(width) * 3 * static_cast<size_t>(height), 0);
  return std::make_unique<HeadlessPicture>(width, height, std::move(memory), pictures_);
}

namespace {
class HeadlessTaskPeer : public TaskPeer {
 public:
  explicit HeadlessTaskPeer(std::shared_ptr<HeadlessBackend::Job> job) : job_(std::move(job)) {}
  ~HeadlessTaskPeer() override { job_->dropped = true; }
  void Wait() override {
    job_->Work();
    job_->Deliver();
  }

 private:
  std::shared_ptr<HeadlessBackend::Job> job_;
};
}  // namespace

std::unique_ptr<TaskPeer> HeadlessBackend::StartTask(std::function<void()> work, std::function<void()> done) {
  auto job = std::make_shared<Job>();
  job->work = std::move(work);
  job->done = std::move(done);
  if (holdTasks) {
    held_.push_back(job);
  } else {
    job->Work();
    finished_.push_back(job);
  }
  return std::make_unique<HeadlessTaskPeer>(job);
}

size_t HeadlessBackend::HeldTasks() const {
  size_t n = 0;
  for (const auto& j : held_) n += j->worked ? 0 : 1;
  return n;
}

void HeadlessBackend::RunTasks() {
  while (!held_.empty()) {
    std::shared_ptr<Job> job = held_.front();
    held_.pop_front();
    if (job->worked) continue;  // waited for meanwhile: delivered already
    job->Work();
    finished_.push_back(job);
  }
}

std::unique_ptr<MenuPeer> HeadlessBackend::CreateMenuPeer(Menu&) {
  return std::make_unique<MenuPeer>();
}

std::unique_ptr<TimerPeer> HeadlessBackend::CreateTimerPeer(Timer& timer) {
  return std::make_unique<HeadlessTimerPeer>(*this, timer);
}

void HeadlessBackend::FormPeerDestroyed(Form* f) {
  live_.erase(f);
  queue_.erase(std::remove_if(queue_.begin(), queue_.end(),
                              [f](const Posted& p) { return p.form == f; }),
               queue_.end());
  modal_.erase(std::remove(modal_.begin(), modal_.end(), f), modal_.end());
}

void HeadlessBackend::TimerDestroyed(Timer* t) {
  due_.erase(t);
  timers_.erase(std::remove(timers_.begin(), timers_.end(), t), timers_.end());
}

void HeadlessBackend::Run() {
  // Without a user there is nothing to wait for: handle what is queued.
  while (!Application::Instance().Terminated() && !queue_.empty()) ProcessMessages();
}

void HeadlessBackend::ProcessMessages() {
  ++processMessagesCalls;
  if (onProcessMessages) onProcessMessages();
  // Finished background work first: its message was posted when it ended.
  for (size_t i = finished_.size(); i > 0 && !finished_.empty(); --i) {
    std::shared_ptr<Job> job = finished_.front();
    finished_.pop_front();
    try {
      job->Deliver();
    } catch (...) {
      Application::Instance().HandleException();
    }
  }
  // Only what is queued now; messages posted while handling wait for the next call.
  size_t n = queue_.size();
  for (size_t i = 0; i < n && !queue_.empty(); ++i) {
    Posted p = queue_.front();
    queue_.pop_front();
    if (!Alive(p.form)) continue;
    Message m = p.msg;
    if (!p.form->PeerMessage(m) && m.msg == wmClose) p.form->PeerCloseRequested();
  }
}

void HeadlessBackend::RunModal(Form& form) {
  modal_.push_back(&form);
  form.PeerActivated();  // a modal form becomes the active window
  if (onModal) {
    auto handler = onModal;
    try {
      handler(form);
    } catch (...) {
      Application::Instance().HandleException();
    }
  }
  while (Alive(&form) && form.ModalResult == mrNone && form.Visible() && !queue_.empty())
    ProcessMessages();
  // Dismissed, unless it was hidden (which ends the modal run by itself).
  if (Alive(&form) && form.ModalResult == mrNone && form.Visible()) form.ModalResult = mrCancel;
  modal_.erase(std::remove(modal_.begin(), modal_.end(), &form), modal_.end());
}

int HeadlessBackend::MessageBox(Form*, const std::string& text, const std::string& caption,
                                unsigned flags) {
  int answer;
  if (!boxAnswers.empty()) {
    answer = boxAnswers.front();
    boxAnswers.pop_front();
  } else {
    answer = (flags & 0xF) == mbYesNo ? idNo : idOk;
  }
  boxes.push_back({text, caption, flags, answer});
  if (boxLog) boxLog->push_back(boxes.back());
  return answer;
}

void HeadlessBackend::Post(Form& form, const Message& msg) { queue_.push_back({&form, msg}); }

void HeadlessBackend::PopupMenu(tk::PopupMenu& menu, int x, int y) {
  popups.push_back({menu.Name, x, y});
  if (popupChoices.empty()) return;
  std::string name = popupChoices.front();
  popupChoices.pop_front();
  if (MenuItem* item = menu.Find(name)) item->Click();
}

bool HeadlessBackend::ColorDialog(Form*, Color& color) {
  if (colorAnswers.empty()) return false;
  auto a = colorAnswers.front();
  colorAnswers.pop_front();
  if (!a) return false;
  color = *a;
  return true;
}

bool HeadlessBackend::OpenDialog(Form*, tk::OpenDialog& dialog) {
  if (openAnswers.empty()) return false;
  auto a = openAnswers.front();
  openAnswers.pop_front();
  if (!a) return false;
  dialog.FileName = *a;
  return true;
}

void HeadlessBackend::TimerCreated(Timer* t) {
  timers_.push_back(t);
  TimerRestarted(t);
}

void HeadlessBackend::TimerRestarted(Timer* t) {
  due_[t] = clockMs_ + std::max(1u, t->Interval());
}

void HeadlessBackend::AdvanceClock(std::uint64_t ms) {
  const std::uint64_t end = clockMs_ + ms;
  for (;;) {
    // The next timer due within this advance; ties fire in creation order.
    Timer* next = nullptr;
    std::uint64_t when = end + 1;
    for (Timer* t : timers_) {
      if (!t->Enabled() || t->Interval() == 0) continue;
      std::uint64_t d = due_[t];
      if (d < when) {
        when = d;
        next = t;
      }
    }
    if (!next) break;
    if (when > clockMs_) {
      std::uint64_t step = when - clockMs_;
      clockMs_ = when;
      if (onClockAdvanced) onClockAdvanced(step);
    }
    due_[next] = clockMs_ + next->Interval();
    next->Fire();  // may delete timers or restart them
  }
  if (end > clockMs_) {
    std::uint64_t step = end - clockMs_;
    clockMs_ = end;
    if (onClockAdvanced) onClockAdvanced(step);
  }
}

}  // namespace tk
