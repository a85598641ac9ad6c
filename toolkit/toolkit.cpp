#include "toolkit/toolkit.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace tk {

namespace {
template <class T>
void Erase(std::vector<T*>& v, T* p) {
  v.erase(std::remove(v.begin(), v.end(), p), v.end());
}

Form* FormOf(Component* c) {
  for (; c; c = c->Owner()) {
    if (auto* f = dynamic_cast<Form*>(c)) return f;
  }
  return nullptr;
}
}  // namespace

// ---------------------------------------------------------------- Component
Component::Component(Component* owner) : owner_(owner) {
  if (owner_) owner_->owned_.push_back(this);
}

Component::~Component() {
  while (!owned_.empty()) delete owned_.back();
  if (owner_) Erase(owner_->owned_, this);
}

// ---------------------------------------------------------------- Control
Control::Control(Form* parent, ControlKind kind, const std::string& name, Rect bounds,
                 const std::string& caption)
    : Component(parent), parent_(parent), kind_(kind), caption_(caption), bounds_(bounds) {
  Name = name;
  if (parent_) {
    font_ = parent_->font_;
    color_ = parent_->color_;
    parent_->controls_.push_back(this);
  }
  if (Application::Instance().HasBackend())
    AttachPeer(Application::Instance().GetBackend().CreatePeer(*this));
}

Control::Control(Component* owner, ControlKind kind) : Component(owner), kind_(kind) {}

Control::~Control() {
  if (parent_ && parent_ != this) Erase(parent_->controls_, this);
}

void Control::AttachPeer(std::unique_ptr<ControlPeer> peer) { peer_ = std::move(peer); }

void Control::SetCaption(const std::string& text) {
  if (caption_ == text) return;
  caption_ = text;
  if (peer_) peer_->SetText(text);
}

void Control::SetBounds(const Rect& r) {
  if (bounds_ == r) return;
  bounds_ = r;
  if (peer_) peer_->SetBounds(r);
}

void Control::SetEnabled(bool on) {
  if (enabled_ == on) return;
  enabled_ = on;
  if (peer_) peer_->SetEnabled(on);
}

void Control::SetVisible(bool on) {
  if (visible_ == on) return;
  visible_ = on;
  if (peer_) peer_->SetVisible(on);
}

void Control::SetColor(Color c) {
  color_ = c;
  if (peer_) peer_->SetColor(c);
}

void Control::SetFont(const Font& f) {
  font_ = f;
  if (peer_) peer_->SetFont(f);
}

void Control::Click() {
  if (OnClick) OnClick(this);
}

Color Control::PaintedBackground() const {
  bool formBack = false;
  switch (kind_) {
    case ControlKind::Label: formBack = static_cast<const Label*>(this)->Transparent; break;
    case ControlKind::CheckBox:
    case ControlKind::GroupBox:
    case ControlKind::Button:
    case ControlKind::Image:
    case ControlKind::Bevel: formBack = true; break;
    default: break;
  }
  return formBack && parent_ && parent_ != this ? parent_->GetColor() : color_;
}

void Control::PeerClicked() {
  try {
    Click();
  } catch (...) {
    Application::Instance().HandleException();
  }
  Application::Instance().FlushReleases();
}

void Control::PeerMouseMove() {
  try {
    if (OnMouseMove) OnMouseMove(this);
  } catch (...) {
    Application::Instance().HandleException();
  }
}

// ---------------------------------------------------------------- controls
Button::Button(Form* parent, const std::string& name, Rect bounds, const std::string& caption)
    : Control(parent, ControlKind::Button, name, bounds, caption) {}

void Button::Click() {
  if (!Enabled() || !Visible()) return;
  Control::Click();
  if (ModalResult != mrNone && parent_) parent_->ModalResult = ModalResult;
}

CheckBox::CheckBox(Form* parent, const std::string& name, Rect bounds,
                   const std::string& caption)
    : Control(parent, ControlKind::CheckBox, name, bounds, caption) {}

void CheckBox::SetChecked(bool on) {
  if (checked_ == on) return;
  checked_ = on;
  if (peer_) peer_->SetChecked(on);
  Control::Click();
}

void CheckBox::Click() {
  if (!Enabled()) return;
  SetChecked(!checked_);
}

void CheckBox::PeerClicked() {
  try {
    Click();
  } catch (...) {
    Application::Instance().HandleException();
  }
  Application::Instance().FlushReleases();
}

Label::Label(Form* parent, const std::string& name, Rect bounds, const std::string& caption)
    : Control(parent, ControlKind::Label, name, bounds, caption) {}

void Label::SetColor(Color c) {
  Transparent = false;
  Control::SetColor(c);
}

Edit::Edit(Form* parent, const std::string& name, Rect bounds, const std::string& text)
    : Control(parent, ControlKind::Edit, name, bounds, text) {
  SetColor(clWindow);
}

void Edit::SetText(const std::string& text) {
  if (text == Caption()) return;
  SetCaption(text);
  if (OnChange) OnChange(this);
}

void Edit::PeerTextChanged(const std::string& text) {
  try {
    if (text == Caption()) return;
    Control::SetCaption(text);  // the native control already shows it
    if (OnChange) OnChange(this);
  } catch (...) {
    Application::Instance().HandleException();
  }
}

Memo::Memo(Form* parent, const std::string& name, Rect bounds, ScrollStyle scrollBars)
    : Control(parent, ControlKind::Memo, name, bounds), scrollBars_(scrollBars) {
  SetColor(clWindow);
}

void Memo::SetLines(std::vector<std::string> lines) {
  Lines = std::move(lines);
  SetCaption(Text());
}

std::string Memo::Text() const {
  std::string out;
  for (size_t i = 0; i < Lines.size(); ++i) {
    if (i) out += "\r\n";
    out += Lines[i];
  }
  return out;
}

ComboBox::ComboBox(Form* parent, const std::string& name, Rect bounds)
    : Control(parent, ControlKind::ComboBox, name, bounds) {
  SetColor(clWindow);
}

void ComboBox::SetItems(std::vector<std::string> items) {
  items_ = std::move(items);
  index_ = -1;
  if (peer_) peer_->SetItems(items_);
}

void ComboBox::SetItemIndex(int index) {
  if (index < 0 || index >= static_cast<int>(items_.size())) index = -1;
  index_ = index;
  if (index_ >= 0) text_ = items_[index_];
  else if (DropDownList) text_.clear();
  if (peer_) peer_->SetItemIndex(index_);
}

std::string ComboBox::Text() const { return text_; }

void ComboBox::SetText(const std::string& text) {
  text_ = text;
  index_ = -1;
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i] == text) index_ = static_cast<int>(i);
  if (DropDownList && index_ < 0) text_.clear();
  if (peer_) {
    peer_->SetItemIndex(index_);
    if (!DropDownList) peer_->SetText(text_);
  }
}

void ComboBox::PeerSelected(int index) {
  try {
    SetItemIndex(index);
    if (OnChange) OnChange(this);
  } catch (...) {
    Application::Instance().HandleException();
  }
}

StatusBar::StatusBar(Form* parent, const std::string& name, Rect bounds)
    : Control(parent, ControlKind::StatusBar, name, bounds) {}

void StatusBar::SetSimplePanel(bool on) {
  simple_ = on;
  if (peer_) peer_->SetStyleFlags(on ? 1u : 0u);
}

Bevel::Bevel(Form* parent, const std::string& name, Rect bounds)
    : Control(parent, ControlKind::Bevel, name, bounds) {}

Panel::Panel(Form* parent, const std::string& name, Rect bounds)
    : Control(parent, ControlKind::Panel, name, bounds) {}

Image::Image(Form* parent, const std::string& name, Rect bounds)
    : Control(parent, ControlKind::Image, name, bounds) {}

void Image::Load(const std::string& resource, bool icon) {
  Resource = resource;
  IsIcon = icon;
  if (peer_) peer_->SetText(resource);
}

// ---------------------------------------------------------------- menus
MenuItem::MenuItem(Component* owner, const std::string& name, const std::string& caption)
    : Component(owner), caption_(caption) {
  Name = name;
}

MenuItem::~MenuItem() = default;

Menu* MenuItem::RootMenu() const {
  const MenuItem* i = this;
  while (i->parent_) i = i->parent_;
  return i->menu_;
}

void MenuItem::Changed() {
  if (Menu* m = RootMenu()) m->Changed();
}

void MenuItem::SetCaption(const std::string& c) {
  caption_ = c;
  Changed();
}

void MenuItem::SetEnabled(bool on) {
  if (enabled_ == on) return;
  enabled_ = on;
  Changed();
}

MenuItem* MenuItem::Add(std::unique_ptr<MenuItem> item) {
  item->parent_ = this;
  Menu* m = RootMenu();
  if (m) item->command_ = m->nextCommand_++;
  items_.push_back(std::move(item));
  Changed();
  return items_.back().get();
}

MenuItem* MenuItem::Add(const std::string& name, const std::string& caption, NotifyEvent onClick) {
  auto item = std::make_unique<MenuItem>(nullptr, name, caption);
  item->OnClick = std::move(onClick);
  return Add(std::move(item));
}

void MenuItem::Click() {
  if (!enabled_) return;
  try {
    if (OnClick) OnClick(this);
  } catch (...) {
    Application::Instance().HandleException();
  }
  Application::Instance().FlushReleases();
}

Menu::Menu(Component* owner, const std::string& name, bool popup)
    : Component(owner), root_(nullptr, name, ""), popup_(popup) {
  Name = name;
  root_.menu_ = this;
  if (Form* f = FormOf(owner)) f->menus_.push_back(this);
  if (Application::Instance().HasBackend())
    peer_ = Application::Instance().GetBackend().CreateMenuPeer(*this);
}

Menu::~Menu() {
  if (Form* f = FormOf(Owner())) Erase(f->menus_, this);
}

void Menu::Changed() {
  if (peer_) peer_->Rebuild();
}

namespace {
MenuItem* FindIn(MenuItem& item, const std::function<bool(MenuItem&)>& pred) {
  if (pred(item)) return &item;
  for (auto& c : item.Items())
    if (MenuItem* r = FindIn(*c, pred)) return r;
  return nullptr;
}
}  // namespace

MenuItem* Menu::FindCommand(int command) {
  return FindIn(root_, [command](MenuItem& i) { return i.Command() == command; });
}

MenuItem* Menu::Find(const std::string& name) {
  return FindIn(root_, [&name](MenuItem& i) { return i.Name == name; });
}

void PopupMenu::Popup(int x, int y) { Application::Instance().GetBackend().PopupMenu(*this, x, y); }

// ---------------------------------------------------------------- timers
Timer::Timer(Component* owner, const std::string& name, unsigned intervalMs)
    : Component(owner), interval_(intervalMs) {
  Name = name;
  if (Form* f = FormOf(owner)) f->timers_.push_back(this);
  if (Application::Instance().HasBackend())
    peer_ = Application::Instance().GetBackend().CreateTimerPeer(*this);
}

Timer::~Timer() {
  peer_.reset();
  if (Form* f = FormOf(Owner())) Erase(f->timers_, this);
}

void Timer::SetInterval(unsigned ms) {
  interval_ = ms;
  if (peer_) peer_->Restart();
}

void Timer::SetEnabled(bool on) {
  if (enabled_ == on) return;
  enabled_ = on;
  if (peer_) peer_->Restart();
}

void Timer::Fire() {
  if (!enabled_ || interval_ == 0) return;
  try {
    if (OnTimer) OnTimer(this);
  } catch (...) {
    Application::Instance().HandleException();
  }
  Application::Instance().FlushReleases();
}

// ---------------------------------------------------------------- Form
Form::Form(Component* owner) : Control(owner, ControlKind::Form) {
  parent_ = this;
  if (Application::Instance().HasBackend())
    AttachPeer(Application::Instance().GetBackend().CreatePeer(*this));
  SetVisible(false);
}

Form::~Form() {
  // Owned windows and controls go first, while this form is still whole;
  // their close handlers do not run.
  while (!Components().empty()) delete Components().back();
  // The native window goes while this is still a form.
  peer_.reset();
  Application::Instance().FormDestroyed(this);
}

void Form::FrameSize(BorderStyle b, bool menu, int& dx, int& dy) {
  // Metrics of the classic Windows look: a 4-pixel frame on each side, a
  // 19-pixel caption and a 19-pixel menu bar. The win32 backend measures the
  // real frame and reports the outer size back.
  switch (b) {
    case BorderStyle::None: dx = 0; dy = 0; break;
    default: dx = 8; dy = 8 + 19; break;
  }
  if (menu) dy += 19;
}

void Form::SetClientSize(int width, int height) {
  clientW_ = width;
  clientH_ = height;
  if (peer_) peer_->SetStyleFlags(kApplyFormStyle);
  int dx, dy;
  FrameSize(Border, menu_ != nullptr, dx, dy);
  Rect r = Bounds();
  r.width = width + dx;
  r.height = height + dy;
  SetBounds(r);
}

void Form::SetMenu(MainMenu* menu) {
  menu_ = menu;
  if (peer_) peer_->SetMenu(menu);
}

void Form::SetHeight(int h) {
  if (MinHeight && h < MinHeight) h = MinHeight;
  if (MaxHeight && h > MaxHeight) h = MaxHeight;
  Rect r = Bounds();
  clientH_ += h - r.height;
  r.height = h;
  SetBounds(r);
}

void Form::SetWindowState(WindowState s) {
  state_ = s;
  if (peer_) peer_->SetStyleFlags(static_cast<unsigned>(s) | 0x100u);
}

void Form::Show() {
  if (Position == FormPosition::ScreenCenter && !Visible()) {
    int sw, sh;
    Application::Instance().ScreenSize(sw, sh);
    Rect r = Bounds();
    r.left = (sw - r.width) / 2;
    r.top = (sh - r.height) / 2;
    SetBounds(r);
  }
  bool wasVisible = Visible();
  SetVisible(true);
  if (peer_) peer_->BringToFront();
  if (!wasVisible && OnShow) OnShow(this);
}

void Form::Hide() { SetVisible(false); }

int Form::ShowModal() {
  auto& app = Application::Instance();
  ModalResult = mrNone;
  modal_ = true;
  closedModal_ = false;
  Show();
  for (;;) {
    app.GetBackend().RunModal(*this);
    if (closedModal_ || app.Terminated()) break;
    // A button set ModalResult: the form closes through its handlers.
    bool canClose = true;
    CloseAction action = CloseAction::Hide;
    try {
      if (OnCloseQuery) OnCloseQuery(this, canClose);
      if (canClose && OnClose) OnClose(this, action);
    } catch (...) {
      app.HandleException();
    }
    if (!canClose || action == CloseAction::None) {
      ModalResult = mrNone;
      continue;
    }
    if (action == CloseAction::Free) Release();
    break;
  }
  modal_ = false;
  Hide();
  return ModalResult;
}

void Form::Close() {
  if (closing_) return;
  closing_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{closing_};
  auto& app = Application::Instance();
  bool canClose = true;
  if (OnCloseQuery) OnCloseQuery(this, canClose);
  if (!canClose) return;
  CloseAction action = app.MainForm() == this ? CloseAction::Free : CloseAction::Hide;
  if (OnClose) OnClose(this, action);
  if (action == CloseAction::None) return;
  if (modal_) {
    closedModal_ = true;
    if (ModalResult == mrNone) ModalResult = mrCancel;
    if (action == CloseAction::Free) Release();
  } else if (app.MainForm() == this) {
    app.Terminate();
  } else if (action == CloseAction::Free) {
    Release();
  } else {
    Hide();
  }
}

void Form::Release() {
  if (releasing_) return;
  releasing_ = true;
  Hide();
  Application::Instance().QueueRelease(this);
}

void Form::SetFocus() {
  if (peer_) peer_->Focus();
}

void Form::BringToFront() {
  if (peer_) peer_->BringToFront();
}

void Form::PressDefault() {
  for (Control* c : controls_) {
    if (auto* b = dynamic_cast<Button*>(c); b && b->Default && b->Enabled() && b->Visible()) {
      b->PeerClicked();
      return;
    }
  }
}

void Form::DoCreate() {
  try {
    if (OnCreate) OnCreate(this);
  } catch (...) {
    Application::Instance().HandleException();
  }
}

void Form::Post(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
  Message m;
  m.msg = msg;
  m.wParam = wParam;
  m.lParam = lParam;
  Application::Instance().GetBackend().Post(*this, m);
}

void Form::PeerCloseRequested() {
  try {
    Close();
  } catch (...) {
    Application::Instance().HandleException();
  }
  Application::Instance().FlushReleases();
}

void Form::PeerMoved(int left, int top) {
  Rect r = Bounds();
  r.left = left;
  r.top = top;
  Control::SetBounds(r);
}

void Form::PeerResized(int width, int height, WindowState state) {
  state_ = state;
  if (state != WindowState::Normal) return;
  Rect r = Bounds();
  clientW_ += width - r.width;
  clientH_ += height - r.height;
  r.width = width;
  r.height = height;
  Control::SetBounds(r);
}

bool Form::PeerMessage(Message& msg) {
  bool handled = false;
  try {
    handled = WndProc(msg);
  } catch (...) {
    Application::Instance().HandleException();
    handled = true;
  }
  Application::Instance().FlushReleases();
  return handled;
}

Control* Form::FindControl(const std::string& name) const {
  for (Control* c : controls_)
    if (c->Name == name) return c;
  return nullptr;
}

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
  if (!terminated_) backend_->Run();
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

void Application::QueueRelease(Form* f) {
  if (std::find(releases_.begin(), releases_.end(), f) == releases_.end())
    releases_.push_back(f);
}

void Application::FlushReleases() {
  while (!releases_.empty()) {
    Form* f = releases_.front();
    releases_.erase(releases_.begin());
    if (f->Modal()) {  // deleted once its modal loop has returned
      releases_.push_back(f);
      return;
    }
    delete f;
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
std::wstring Widen(const std::string& s) {
  std::wstring out;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    unsigned cp;
    int n;
    if (c < 0x80) { cp = c; n = 1; }
    else if ((c >> 5) == 6) { cp = c & 0x1F; n = 2; }
    else if ((c >> 4) == 14) { cp = c & 0x0F; n = 3; }
    else if ((c >> 3) == 30) { cp = c & 0x07; n = 4; }
    else { cp = 0xFFFD; n = 1; }
    if (i + n > s.size()) { cp = 0xFFFD; n = 1; }
    for (int k = 1; k < n && cp != 0xFFFD; ++k) {
      unsigned char cc = static_cast<unsigned char>(s[i + k]);
      if ((cc >> 6) != 2) { cp = 0xFFFD; n = k; break; }
      cp = (cp << 6) | (cc & 0x3F);
    }
    i += n;
    if (sizeof(wchar_t) == 2 && cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<wchar_t>(cp));
    }
  }
  return out;
}

std::string Narrow(const std::wstring& w) {
  std::string out;
  for (size_t i = 0; i < w.size(); ++i) {
    unsigned cp = static_cast<unsigned>(w[i]);
    if (sizeof(wchar_t) == 2 && cp >= 0xD800 && cp < 0xDC00 && i + 1 < w.size()) {
      unsigned lo = static_cast<unsigned>(w[i + 1]);
      if (lo >= 0xDC00 && lo < 0xE000) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
        ++i;
      }
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

std::string Format(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  char buf[1024];
  int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  if (n < 0) return {};
  return std::string(buf, std::min<size_t>(static_cast<size_t>(n), sizeof buf - 1));
}

}  // namespace tk
