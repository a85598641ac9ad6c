// Dialogs, the application object and text conversion.
#include "toolkit/toolkit.h"
#include "text/utf.h"
#include "toolkit/internal.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace tk {

// ---------------------------------------------------------------- dialogs
ColorDialog::ColorDialog(Component* owner, const std::string& name) : Component(owner) {
  Name = name;
}

bool ColorDialog::Execute() {
  return Application::Instance().GetBackend().ColorDialog(FormOf(Owner()), color);
}

OpenDialog::OpenDialog(Component* owner, const std::string& name) : Component(owner) {
  Name = name;
}

bool OpenDialog::Execute() {
  return Application::Instance().GetBackend().OpenDialog(FormOf(Owner()), *this);
}

// ---------------------------------------------------------------- Picture
std::unique_ptr<Picture> Picture::Create(int width, int height) {
  if (width <= 0 || height <= 0) throw Error("画像の大きさが不正です");
  std::string error;
  std::unique_ptr<Picture> p = Application::Instance().GetBackend().CreatePicture(width, height, error);
  if (!p) throw Error(error.empty() ? "メモリが足りません" : error);
  return p;
}

// ---------------------------------------------------------------- Task
Task::Task(std::function<void()> work, std::function<void()> done) {
  // The flag is shared with the backend's copy of `done`, which may outlive
  // this task (until its posted message is handled).
  std::shared_ptr<bool> flag = done_;
  peer_ = Application::Instance().GetBackend().StartTask(std::move(work), [flag, done = std::move(done)] {
    *flag = true;
    if (done) done();
  });
}

Task::~Task() = default;

void Task::Wait() {
  if (!*done_) peer_->Wait();
}

// ---------------------------------------------------------------- Application
Application& Application::Instance() {
  static Application app;
  return app;
}

void Application::Initialize(std::unique_ptr<Backend> backend) {
  backend_ = std::move(backend);
  terminated_ = false;
  cursor_ = crDefault;
  if (!Title.empty()) backend_->SetApplicationTitle(Title);
}

void Application::Shutdown() {
  FlushReleases();
  while (!forms_.empty()) {
    // Owned forms are destroyed by their owner; delete top-level ones.
    delete forms_.back();
  }
  main_ = nullptr;
  releases_.clear();
  backend_.reset();
  terminated_ = false;
  ShowMainForm = true;
  OnCopyData = nullptr;
  OnHotKey = nullptr;
  OnStarted = nullptr;
}

Backend& Application::GetBackend() {
  if (!backend_) throw std::logic_error("toolkit backend not initialised");
  return *backend_;
}

void Application::Adopt(Form* f) {
  forms_.push_back(f);
  if (!main_) main_ = f;
}

void Application::Run() {
  if (main_ && ShowMainForm) main_->Show();
  Started();
  if (!terminated_) backend_->Run();
}

void Application::Started() {
  if (!OnStarted) return;
  std::function<void()> started = std::move(OnStarted);
  OnStarted = nullptr;
  try {
    started();
  } catch (...) {
    HandleException();
  }
  FlushReleases();
}

void Application::ProcessMessages() {
  backend_->ProcessMessages();
  FlushReleases();
}

void Application::Terminate() {
  terminated_ = true;
  if (backend_) backend_->Terminate();
}

int Application::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  return backend_->MessageBox(ActiveForm(), text, caption, flags);
}

void Application::ShowMessage(const std::string& text) {
  backend_->MessageBox(ActiveForm(), text, Title, mbOk);
}

void Application::ShowException(const std::exception& e) {
  backend_->MessageBox(ActiveForm(), e.what(), Title, mbOk | mbIconStop);
}

void Application::HandleException() {
  try {
    throw;
  } catch (const std::exception& e) {
    ShowException(e);
  } catch (...) {
    ShowException(Error("unknown error"));
  }
}

void Application::SetCursor(int c) {
  cursor_ = c;
  backend_->SetCursor(c);
}

void Application::ScreenSize(int& width, int& height) { backend_->ScreenSize(width, height); }
int Application::ScreenDpi() { return backend_->ScreenDpi(); }

Color Application::PaintedRgb(Color c) {
  const auto u = static_cast<std::uint32_t>(c);
  if (u & 0x80000000u) return backend_->SystemColor(static_cast<int>(u & 0xFFu)) & 0xFFFFFF;
  return static_cast<Color>(u & 0xFFFFFFu);
}

std::intptr_t Application::PeerCopyData(std::uint32_t tag, const std::string& bytes) {
  if (!OnCopyData) return 0;
  std::intptr_t answer = 0;
  Guarded([&] { answer = OnCopyData(tag, bytes); });
  FlushReleases();
  return answer;
}

void Application::PeerHotKey(int id) {
  if (!OnHotKey) return;
  Guarded([&] { OnHotKey(id); });
  FlushReleases();
}

void Application::QueueRelease(Form* f) {
  if (std::find(releases_.begin(), releases_.end(), f) == releases_.end())
    releases_.push_back(f);
}

namespace {
// A form whose deletion would end a modal loop or a handler still running:
// its own or that of a form it owns, at any depth (deleting a form deletes
// the forms it owns).
bool InUse(const Component& c) {
  if (auto* f = dynamic_cast<const Form*>(&c); f && (f->Modal() || f->Held())) return true;
  for (const Component* owned : c.Components())
    if (InUse(*owned)) return true;
  return false;
}
}  // namespace

void Application::FlushReleases() {
  for (size_t i = 0; i < releases_.size();) {
    Form* f = releases_[i];
    // Deleted once the last modal loop or handler of it and of the forms it
    // owns has returned.
    if (InUse(*f)) {
      ++i;
      continue;
    }
    releases_.erase(releases_.begin() + static_cast<std::ptrdiff_t>(i));
    delete f;  // forms it owned leave the list through FormDestroyed
    i = 0;
  }
}

void Application::FormDestroyed(Form* f) {
  Erase(forms_, f);
  Erase(releases_, f);
  if (main_ == f) main_ = nullptr;
}

Form* Application::ActiveForm() const {
  // The most recent visible modal form, else the main form.
  for (auto it = forms_.rbegin(); it != forms_.rend(); ++it)
    if ((*it)->Modal()) return *it;
  return main_;
}

// ---------------------------------------------------------------- text
std::wstring Widen(const std::string& s) { return text::ToUtf16(s); }

std::string Narrow(const std::wstring& w) { return text::ToUtf8(w); }

std::string Format(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  char buf[1024];
  int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  if (n < 0) return {};
  return std::string(buf, std::min<size_t>(static_cast<size_t>(n), sizeof buf - 1));
}

void SecureWipe(std::string& s) {
  volatile char* p = s.empty() ? nullptr : &s[0];
  for (size_t i = 0; i < s.size(); ++i) p[i] = 0;
  s.clear();
}

}  // namespace tk
