// Forms: showing, modal runs, closing and the message map.
#include "toolkit/toolkit.h"
#include "toolkit/internal.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace tk {

// ---------------------------------------------------------------- Form
Form::Form(Component* owner) : Control(owner, ControlKind::Form) {
  parent_ = this;
  if (Application::Instance().HasBackend())
    AttachPeer(Application::Instance().GetBackend().CreatePeer(*this));
  SetVisible(false);
}

Form::~Form() {
  // Nothing reaches this window through its reference any more.
  if (slot_) slot_->FormGone(this);
  // Owned windows and controls go first, while this form is still whole;
  // their close handlers do not run.
  while (!Components().empty()) delete Components().back();
  // The native window goes while this is still a form.
  peer_.reset();
  Application::Instance().FormDestroyed(this);
}

FormSlotBase::FormSlotBase(std::string name) : name_(std::move(name)) {
  // Slots are program-wide objects: made before main, never copied.
  Registry().push_back(this);
}

FormSlotBase::~FormSlotBase() { Erase(Registry(), this); }

std::vector<FormSlotBase*>& FormSlotBase::Registry() {
  static std::vector<FormSlotBase*> all;
  return all;
}

void FormSlotBase::Tie(Form* form) {
  if (form) form->slot_ = this;
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
  if (peer_) peer_->ApplyStyle();
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

void Form::SetClientHeight(int h) {
  int dx, dy;
  FrameSize(Border, menu_ != nullptr, dx, dy);
  clientH_ = h;
  Rect r = Bounds();
  r.width = clientW_ + dx;
  r.height = h + dy;
  SetBounds(r);
}

void Form::SetWindowState(WindowState s) {
  state_ = s;
  if (peer_) peer_->SetWindowState(s);
}

void Form::Show() {
  if (Position == FormPosition::ScreenCenter && !Visible()) {
    if (peer_) peer_->Handle();  // centred by the real frame's size
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
    // Hidden while modal: the modal run ends; the form stays, not closed.
    if (ModalResult == mrNone && !Visible()) {
      ModalResult = mrCancel;
      break;
    }
    // A button set ModalResult: the form closes through its handlers.
    bool canClose = true;
    CloseAction action = CloseAction::Hide;
    Guarded([&] {
      if (OnCloseQuery) OnCloseQuery(this, canClose);
      if (canClose && OnClose) OnClose(this, action);
    });
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

bool Form::PressCancel() {
  for (Control* c : controls_) {
    if (auto* b = dynamic_cast<Button*>(c); b && b->Cancel && b->Enabled() && b->Visible()) {
      b->PeerClicked();
      return true;
    }
  }
  return false;
}

DialogKeyAction Form::DialogKey(unsigned vk, const Control* focused, bool droppedDown) {
  if (vk != vkReturn && vk != vkEscape) return DialogKeyAction::PassOn;
  const ControlKind kind = focused ? focused->Kind() : ControlKind::Form;
  // An open list takes both keys: Enter chooses, Escape closes it.
  if (kind == ControlKind::ComboBox && droppedDown) return DialogKeyAction::PassOn;
  if (vk == vkEscape)
    // A hotkey box takes Escape as a key while it has the focus.
    return kind == ControlKind::HotKey ? DialogKeyAction::PassOn : DialogKeyAction::PressCancel;
  // A new line in a memo that can be written in.
  if (kind == ControlKind::Memo && !static_cast<const Memo*>(focused)->ReadOnly)
    return DialogKeyAction::PassOn;
  if (kind == ControlKind::Button) return DialogKeyAction::PressFocused;
  return DialogKeyAction::PressDefault;
}

bool Form::PeerDialogKey(unsigned vk, Control* focused, bool droppedDown) {
  if (focused && focused->ParentForm() != this) focused = nullptr;
  switch (DialogKey(vk, focused, droppedDown)) {
    case DialogKeyAction::PassOn: return false;
    case DialogKeyAction::PressFocused:
      if (focused->Enabled()) focused->PeerClicked();
      return true;
    case DialogKeyAction::PressDefault: PressDefault(); return true;
    case DialogKeyAction::PressCancel: PressCancel(); return true;
  }
  return false;
}

KeyRoute Form::RouteKey(Control* focused, const KeyMessage& msg) {
  if (msg.msg < wmKeyDown || msg.msg > wmSysDeadChar) return KeyRoute::Form;
  if (!focused || focused->ParentForm() != this || focused->Kind() != ControlKind::WebBrowser)
    return KeyRoute::Form;
  // Inside the control: its object first, as every ActiveX host does.
  if (InPlaceActiveObject* object = static_cast<WebBrowser*>(focused)->ActiveObject())
    if (object->TranslateAccelerator(msg)) return KeyRoute::Translated;
  if (msg.msg == wmKeyDown && msg.wParam == vkTab) return KeyRoute::TabOut;
  return KeyRoute::Control;
}

void Form::DoCreate() {
  // The window is made here at the latest (a backend may wait for it until
  // the constructor has given the form its frame), so that what follows
  // sees the real frame's bounds.
  if (peer_) peer_->Handle();
  Guarded([&] { if (OnCreate) OnCreate(this); });
}

void Form::Post(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
  Message m;
  m.msg = msg;
  m.wParam = wParam;
  m.lParam = lParam;
  Application::Instance().GetBackend().Post(*this, m);
}

void Form::PeerCloseRequested() {
  RunHandler(this, [&] { Close(); });
}

void Form::PeerMoved(int left, int top) {
  Rect r = Bounds();
  r.left = left;
  r.top = top;
  Control::SetBounds(r);
}

void Form::PeerResized(int width, int height, WindowState state, int clientWidth, int clientHeight) {
  state_ = state;
  Rect r = Bounds();
  // The frame is as wide whatever the state: the client area shown now.
  shownClientW_ = clientWidth >= 0 ? clientWidth : width - (r.width - clientW_);
  shownClientH_ = clientHeight >= 0 ? clientHeight : height - (r.height - clientH_);
  if (state == WindowState::Normal) {
    clientW_ = shownClientW_;
    clientH_ = shownClientH_;
    r.width = width;
    r.height = height;
    Control::SetBounds(r);
  }
  if (OnResize) {
    Guarded([&] { OnResize(this); });
  }
}

void Form::PeerActivated() {
  if (!OnActivate) return;
  Guarded([&] { OnActivate(this); });
}

std::intptr_t Form::DefaultHandler(const Message& msg) {
  return Application::Instance().GetBackend().DefaultHandler(*this, msg);
}

bool Form::PeerMessage(Message& msg) {
  bool handled = true;  // a handler that raised has dealt with the message
  RunHandler(this, [&] { handled = WndProc(msg); });
  return handled;
}

Control* Form::FindControl(const std::string& name) const {
  for (Control* c : controls_)
    if (c->Name == name) return c;
  return nullptr;
}

}  // namespace tk
