// Forms: border, placement, modal runs, closing and the message map.
#pragma once

#include "toolkit/controls.h"
#include "toolkit/menus.h"

namespace tk {

// ---------------------------------------------------------------- forms
enum class BorderStyle { Single, Dialog, None, Sizeable };
enum class FormPosition { Designed, ScreenCenter, DefaultPos };
enum class CloseAction { None, Hide, Free, Minimize };

struct BorderIcons {
  bool systemMenu = true;
  bool minimize = true;
  bool maximize = true;
};

// A window message as delivered to a form's message map.
struct Message {
  unsigned msg = 0;
  std::uintptr_t wParam = 0;
  std::intptr_t lParam = 0;
  std::intptr_t result = 0;
};

// The point of a mouse message (WM_MOUSEMOVE, WM_LBUTTONDOWN …) in the
// form's client area, as its lParam holds it: in layout units for a
// pixel-exact form, the window's pixels for others.
inline void MousePoint(const Message& msg, int& x, int& y) {
  x = static_cast<std::int16_t>(msg.lParam & 0xFFFF);
  y = static_cast<std::int16_t>((msg.lParam >> 16) & 0xFFFF);
}
// The lParam of a mouse message at a point (tests, and the headless backend).
inline std::intptr_t MouseParam(int x, int y) {
  return static_cast<std::intptr_t>((static_cast<std::uint32_t>(static_cast<std::uint16_t>(y)) << 16) |
                                    static_cast<std::uint16_t>(x));
}

// Where the message loop sends a keyboard message of a form.
enum class KeyRoute {
  // The form's own keys: key events, Enter presses the default button,
  // Escape is swallowed, Tab moves the focus between the controls.
  Form,
  // The active object of the control with the focus took it.
  Translated,
  // To the focused window inside a hosting control as it is (translated and
  // dispatched): Enter, Escape and the like are the page's, not the form's.
  Control,
  // A Tab that the hosting control's object did not take: the dialog
  // handling gives it to the focused window when that window asks for Tab,
  // or moves the focus on, out of the control.
  TabOut,
};

// What Enter and Escape do in a dialog: left to the focused control (an
// open combo box's list, Enter in an editable memo, Escape in a hotkey box),
// press the focused push button, press the form's default button (Enter) or
// its cancel button (Escape; nothing where it has none).
enum class DialogKeyAction { PassOn, PressFocused, PressDefault, PressCancel };

class Form;

// What a program-wide window reference (FormSlot below) is to the form it
// holds: the form tells it when it goes.
class FormSlotBase {
 public:
  // The designer's name of the reference ("Form11").
  const std::string& SlotName() const { return name_; }
  virtual Form* Held() const = 0;
  // Every slot of the program, in the order they were made.
  static const std::vector<FormSlotBase*>& All() { return Registry(); }

 protected:
  explicit FormSlotBase(std::string name);
  ~FormSlotBase();
  void Tie(Form* form);
  virtual void FormGone(Form* form) = 0;

 private:
  friend class Form;
  static std::vector<FormSlotBase*>& Registry();
  std::string name_;
};

class Form : public Control {
 public:
  explicit Form(Component* owner);
  ~Form() override;

  BorderStyle Border = BorderStyle::Sizeable;
  BorderIcons Icons;
  FormPosition Position = FormPosition::Designed;
  bool AppWindow = false;  // own taskbar button
  bool StayOnTop = false;  // above every window that is not topmost itself
  // The form's layout units are the screen's pixels, at any DPI: its bounds
  // and its controls' are not scaled (the region overlay, which lies on the
  // monitors' real pixels). Set it before the form is placed.
  bool PixelExact = false;
  // The mouse cursor over the form (crCross …), unless the program shows
  // one of its own meanwhile (Application::SetCursor).
  int Cursor = crDefault;
  int MinHeight = 0, MaxHeight = 0, MinWidth = 0, MaxWidth = 0;

  // Applies Border, Icons, AppWindow and the client size to the window.
  void SetClientSize(int width, int height);
  // Re-applies Border, Icons and AppWindow after a change.
  void ApplyStyle() {
    if (peer_) peer_->ApplyStyle();
  }
  int ClientWidth() const { return clientW_; }
  int ClientHeight() const { return clientH_; }
  // The client area as shown now (maximised too); the above are the normal
  // state's.
  int ShownClientWidth() const { return shownClientW_ ? shownClientW_ : clientW_; }
  int ShownClientHeight() const { return shownClientH_ ? shownClientH_ : clientH_; }
  // Frame size added to the client area by the current border.
  static void FrameSize(BorderStyle b, bool menu, int& dx, int& dy);
  void SetMenu(MainMenu* menu);
  MainMenu* GetMenu() const { return menu_; }
  void SetHeight(int h);
  // The outer height that gives this client height under the frame the
  // system draws (its caption and menu bar may be taller than the classic ones).
  void SetClientHeight(int h);
  void SetWindowState(WindowState s);
  WindowState GetWindowState() const { return state_; }

  void Show();
  void Hide();
  // Runs a nested loop until ModalResult is set or the form is closed.
  int ShowModal();
  bool Modal() const { return modal_; }
  int ModalResult = mrNone;
  // OnCloseQuery, then OnClose; the action decides what follows.
  void Close();
  // Deletes the form once the current event has been handled.
  void Release();
  bool Releasing() const { return releasing_; }
  // While a Hold exists the form is not deleted, even once released, and
  // neither is any form that owns it (at any depth): a handler that pumps
  // messages (a wait) keeps its own form alive with it.
  class Hold {
   public:
    explicit Hold(Form& f) : form_(f) { ++form_.holds_; }
    ~Hold() { --form_.holds_; }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

   private:
    Form& form_;
  };
  bool Held() const { return holds_ > 0; }
  void SetFocus();
  void BringToFront();
  // Enter presses the default button.
  void PressDefault();
  // Escape presses the cancel button (Button::Cancel); false when the form
  // has none that is enabled and visible.
  bool PressCancel();
  // Enter and Escape decided from the focused control (a control of this
  // form, or none) and whether its drop-down list is open; every backend
  // asks this, so the rule is one.
  static DialogKeyAction DialogKey(unsigned vk, const Control* focused, bool droppedDown);
  // Decides and does it: false when the key goes on to the focused control.
  bool PeerDialogKey(unsigned vk, Control* focused, bool droppedDown);
  // Where a keyboard message goes; focused is the control of this form whose
  // window holds the focus (the hosted component's windows count as the
  // hosting control's), null for none. Inside a control that hosts another
  // component (a web browser) its in-place active object sees the message
  // first, and the form's own keys do not apply there. Other messages: Form.
  KeyRoute RouteKey(Control* focused, const KeyMessage& msg);

  // Events.
  // A form's destroy handler is run by the derived class's destructor, while
  // the whole object still exists.
  NotifyEvent OnCreate, OnShow;
  // The form became the active window (also when coming back from another
  // program).
  NotifyEvent OnActivate;
  // The form's size changed (by the user, the system or the program).
  NotifyEvent OnResize;
  std::function<void(Component*, bool& canClose)> OnCloseQuery;
  std::function<void(Component*, CloseAction& action)> OnClose;

  // Runs OnCreate; an error escaping it goes to the default error display.
  void DoCreate();

  // The message map: a form handles the messages it wants before the toolkit.
  // Returns true when the message was handled (its result is in msg.result).
  virtual bool WndProc(Message& msg) { (void)msg; return false; }
  // Posts a message to this form's queue.
  void Post(unsigned msg, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);

  // Backend entry points.
  void PeerCloseRequested();
  void PeerActivated();
  // What the system's default processing answers to a message, for message
  // map handlers that adjust it.
  std::intptr_t DefaultHandler(const Message& msg);
  void PeerMoved(int left, int top);
  // The outer size and, where the backend knows it, the client area's (its
  // frame need not scale with the DPI as the layout does); without it the
  // client area is the outer size less the frame as it was.
  void PeerResized(int width, int height, WindowState state, int clientWidth = -1, int clientHeight = -1);
  bool PeerMessage(Message& msg);  // routes through WndProc, catching errors

  const std::vector<Control*>& Controls() const { return controls_; }
  Control* FindControl(const std::string& name) const;
  const std::vector<Menu*>& Menus() const { return menus_; }
  const std::vector<Timer*>& Timers() const { return timers_; }

 private:
  friend class Control;
  friend class Menu;
  friend class Timer;
  friend class FormSlotBase;
  FormSlotBase* slot_ = nullptr;  // the program-wide reference that holds it
  int clientW_ = 0, clientH_ = 0;
  int shownClientW_ = 0, shownClientH_ = 0;
  WindowState state_ = WindowState::Normal;
  MainMenu* menu_ = nullptr;
  bool modal_ = false;
  bool releasing_ = false;
  int holds_ = 0;
  bool closing_ = false;
  bool closedModal_ = false;
  std::vector<Control*> controls_;
  std::vector<Menu*> menus_;
  std::vector<Timer*> timers_;
};

// A program-wide reference to the window of one class (`FormSlot<TForm11>
// Form11("Form11")`, keeping the designer's names): it holds the window while
// it exists and is cleared when the window goes, so no other window reaches a
// window that is gone. Show and ShowModal make, create and show the window,
// or bring the one already open to the front instead of making a second.
template <class T>
class FormSlot : public FormSlotBase {
 public:
  explicit FormSlot(const char* name) : FormSlotBase(name) {}
  FormSlot(const FormSlot&) = delete;
  FormSlot& operator=(const FormSlot&) = delete;
  FormSlot& operator=(T* form) {
    form_ = form;
    Tie(form);
    return *this;
  }
  T* get() const { return form_; }
  operator T*() const { return form_; }
  T* operator->() const { return form_; }
  Form* Held() const override { return form_; }
  // The window open and not on its way out.
  bool Open() const { return form_ && !form_->Releasing(); }

  template <class... Args>
  T* Show(Args&&... args) {
    if (Open()) {
      form_->BringToFront();
      return form_;
    }
    T* f = Make(std::forward<Args>(args)...);
    f->Show();
    return f;
  }
  // A window of which several may be open (the consoles): always a new
  // one, which the reference then holds.
  template <class... Args>
  T* ShowAnother(Args&&... args) {
    T* f = Make(std::forward<Args>(args)...);
    f->Show();
    return f;
  }
  // The modal result, or mrNone when the window was open already.
  template <class... Args>
  int ShowModal(Args&&... args) {
    if (Open()) {
      form_->BringToFront();
      return mrNone;
    }
    return Make(std::forward<Args>(args)...)->ShowModal();
  }

 private:
  template <class... Args>
  T* Make(Args&&... args) {
    T* f = new T(std::forward<Args>(args)...);
    *this = f;
    f->DoCreate();
    return f;
  }
  void FormGone(Form* form) override {
    if (form_ && static_cast<Form*>(form_) == form) form_ = nullptr;
  }
  T* form_ = nullptr;
};

}  // namespace tk
