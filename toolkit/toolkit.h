// The windowing toolkit: application object, forms, standard controls, menus,
// timers and dialogs. Every object keeps its own state in C++; a backend peer
// (win32 or headless) mirrors that state when one is attached and reports user
// input back through the object's Peer* entry points, which update the state
// and then fire the event. Form code never touches a native window handle
// except to pass Handle() on to a platform call.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace tk {

using WindowHandle = std::uintptr_t;
using Color = std::int32_t;  // 0x00BBGGRR, or 0x80000000 | system colour index

// Colours used by the layouts.
constexpr Color clBlack = 0x000000;
constexpr Color clBlue = 0xFF0000;
constexpr Color clWhite = 0xFFFFFF;
constexpr Color clBtnFace = static_cast<Color>(0x8000000F);
constexpr Color clWindow = static_cast<Color>(0x80000005);
constexpr Color clWindowText = static_cast<Color>(0x80000008);
constexpr Color clBackground = static_cast<Color>(0x80000001);  // the desktop's colour

// Virtual keys used by handlers.
constexpr unsigned vkReturn = 0x0D;
constexpr unsigned vkEscape = 0x1B;
constexpr unsigned vkMenu = 0x12;  // Alt
constexpr unsigned vkF4 = 0x73;

// Screen cursors.
constexpr int crDefault = 0;
constexpr int crHourGlass = -11;
constexpr int crHandPoint = -21;

// Modal results and message-box answers.
constexpr int mrNone = 0;
constexpr int mrOk = 1;
constexpr int mrCancel = 2;
constexpr int idOk = 1;
constexpr int idCancel = 2;
constexpr int idYes = 6;
constexpr int idNo = 7;
constexpr unsigned mbOk = 0x0;
constexpr unsigned mbYesNo = 0x4;
constexpr unsigned mbIconStop = 0x10;
constexpr unsigned mbIconQuestion = 0x20;
constexpr unsigned mbIconExclamation = 0x30;

struct Rect {
  int left = 0, top = 0, width = 0, height = 0;
  bool operator==(const Rect& o) const {
    return left == o.left && top == o.top && width == o.width && height == o.height;
  }
};

struct Font {
  std::string name = "ＭＳ Ｐゴシック";
  int height = -12;        // negative: character height in pixels
  Color color = clWindowText;
  bool underline = false;
  bool bold = false;
};

class Component;
class Control;
class ScrollBox;

// A picture in memory for an Image: 24-bit pixels, rows from the top, each
// pixel B, G, R, rows without padding.
struct Picture {
  int width = 0, height = 0;
  std::vector<std::uint8_t> bgr;
};
class Form;
class MenuItem;
class Timer;
class Application;

using NotifyEvent = std::function<void(Component*)>;
// Key events: a virtual key (KeyDown) or a character (KeyPress); a handler
// that sets it to 0 eats the key.
using KeyEvent = std::function<void(Component*, unsigned& key)>;

// Error raised by handlers; shown by the application's default error display.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// ---------------------------------------------------------------- peers
// Setter-only mirrors of a component's state in one backend.
class ControlPeer {
 public:
  virtual ~ControlPeer() = default;
  virtual void SetText(const std::string&) {}
  virtual void SetBounds(const Rect&) {}
  virtual void SetEnabled(bool) {}
  virtual void SetVisible(bool) {}
  virtual void SetChecked(bool) {}
  virtual void SetColor(Color) {}
  virtual void SetFont(const Font&) {}
  virtual void SetItems(const std::vector<std::string>&) {}
  virtual void SetItemIndex(int) {}
  virtual void SetPosition(int) {}        // progress bars
  virtual void SetStyleFlags(unsigned) {} // kind-specific look, see each class
  virtual void SetMenu(class Menu*) {}    // forms only
  virtual void SetPicture(const Picture*) {}  // images
  virtual void SetPages(const std::vector<std::string>&, int) {}  // page controls: tabs, active one
  virtual void SetContainer(ControlPeer*) {}  // the scroll box the control lies in
  virtual void ContentChanged() {}            // scroll boxes: their content moved or resized
  // Web browsers: one of the control's operations; false when the control
  // could not be made.
  virtual bool BrowserCommand(int /*operation*/, const std::string& /*url*/) { return false; }
  virtual bool BrowserAvailable() const { return false; }
  virtual void Focus() {}
  virtual void Invalidate() {}
  virtual void BringToFront() {}
  virtual WindowHandle Handle() const { return 0; }
};

class MenuPeer {
 public:
  virtual ~MenuPeer() = default;
  virtual void Rebuild() {}  // items were added or changed
};

class TimerPeer {
 public:
  virtual ~TimerPeer() = default;
  virtual void Restart() {}  // interval or enabled changed
};

// ---------------------------------------------------------------- components
class Component {
 public:
  explicit Component(Component* owner);
  virtual ~Component();
  Component(const Component&) = delete;
  Component& operator=(const Component&) = delete;

  Component* Owner() const { return owner_; }
  const std::vector<Component*>& Components() const { return owned_; }
  std::string Name;
  int Tag = 0;

 private:
  friend class Form;
  Component* owner_;
  std::vector<Component*> owned_;
};

enum class ControlKind {
  Form, Button, CheckBox, RadioButton, Label, Edit, Memo, ComboBox, ListBox, StatusBar,
  Bevel, Panel, Image, ProgressBar, GroupBox, ScrollBox, WebBrowser, PageControl
};

class Control : public Component {
 public:
  Control(Form* parent, ControlKind kind, const std::string& name, Rect bounds,
          const std::string& caption = "");
  ~Control() override;

  ControlKind Kind() const { return kind_; }
  Form* ParentForm() const { return parent_; }

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& text);
  const Rect& Bounds() const { return bounds_; }
  void SetBounds(const Rect& r);
  int Left() const { return bounds_.left; }
  int Top() const { return bounds_.top; }
  int Width() const { return bounds_.width; }
  int Height() const { return bounds_.height; }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool on);
  bool Visible() const { return visible_; }
  void SetVisible(bool on);
  Color GetColor() const { return color_; }
  void SetColor(Color c);
  // The colour the backend paints the control's background in: its own, or
  // its form's where the control is drawn on the form (transparent labels,
  // buttons, check boxes, frames and pictures).
  Color PaintedBackground() const;
  const Font& GetFont() const { return font_; }
  void SetFont(const Font& f);
  std::string Hint;

  // Fired by a click: button press, check-box state change, label or menu click.
  NotifyEvent OnClick;
  // Fired when the mouse moves over the control.
  NotifyEvent OnMouseMove;
  // A key went down while the control (or the form itself) had the focus.
  KeyEvent OnKeyDown;
  // A key produced a character.
  KeyEvent OnKeyPress;

  // Programmatic click: what a user's click does, on enabled controls.
  virtual void Click();

  // Backend entry points for user input.
  virtual void PeerClicked();
  void PeerMouseMove();
  // Return false when a handler ate the key.
  bool PeerKeyDown(unsigned key);
  bool PeerKeyPress(unsigned ch);

  ControlPeer* Peer() const { return peer_.get(); }
  void AttachPeer(std::unique_ptr<ControlPeer> peer);
  // Puts the control inside a scroll box: its bounds are then relative to
  // the box's content, which scrolls.
  void SetContainer(ScrollBox* box);
  ScrollBox* Container() const { return container_; }
  WindowHandle Handle() const { return peer_ ? peer_->Handle() : 0; }

 protected:
  // For forms, which are their own parent.
  Control(Component* owner, ControlKind kind);
  std::unique_ptr<ControlPeer> peer_;
  Form* parent_ = nullptr;
  std::string caption_;

 private:
  ControlKind kind_;
  ScrollBox* container_ = nullptr;
  Rect bounds_;
  bool enabled_ = true;
  bool visible_ = true;
  Color color_ = clBtnFace;
  Font font_;
};

class Button : public Control {
 public:
  Button(Form* parent, const std::string& name, Rect bounds, const std::string& caption);
  bool Default = false;  // pressed by Enter
  int ModalResult = mrNone;  // set on the parent form when clicked
  void Click() override;
};

class CheckBox : public Control {
 public:
  CheckBox(Form* parent, const std::string& name, Rect bounds, const std::string& caption);
  bool Checked() const { return checked_; }
  // A new state fires OnClick, exactly as a user's click does.
  void SetChecked(bool on);
  void Click() override;
  void PeerClicked() override;  // the user toggled the box

 protected:
  CheckBox(Form* parent, ControlKind kind, const std::string& name, Rect bounds,
           const std::string& caption);

 private:
  bool checked_ = false;
};

// One of a group of choices: checking it unchecks the radio buttons of the
// same Group on its form; a click on a checked one changes nothing.
class RadioButton : public CheckBox {
 public:
  RadioButton(Form* parent, const std::string& name, Rect bounds, const std::string& caption,
              int group = 0);
  int Group;
  void Click() override;
};

class GroupBox : public Control {
 public:
  GroupBox(Form* parent, const std::string& name, Rect bounds, const std::string& caption);
};

enum class Alignment { Left, Right, Center };

class Label : public Control {
 public:
  Label(Form* parent, const std::string& name, Rect bounds, const std::string& caption);
  Alignment Align = Alignment::Left;
  bool AutoSize = true;
  bool WordWrap = false;
  bool Transparent = true;  // paints on the form's colour until a colour is set
  // "&" marks the next character as a shortcut; false shows it as it is
  // (texts that come from the user).
  bool ShowAccelChar = true;
  void SetColor(Color c);   // gives the label its own background
};

class Edit : public Control {
 public:
  Edit(Form* parent, const std::string& name, Rect bounds, const std::string& text = "");
  const std::string& Text() const { return Caption(); }
  // Assigning a new text fires OnChange, as typing does.
  void SetText(const std::string& text);
  void PeerTextChanged(const std::string& text);
  NotifyEvent OnChange;
  bool ReadOnly = false;
  bool Password = false;
  int MaxLength = 0;
  // Overwrites the text in memory, then empties the edit (no change event).
  void WipeText();
};

enum class ScrollStyle { None, Horizontal, Vertical, Both };

class Memo : public Control {
 public:
  // Whether long lines wrap is fixed when the memo is made: a memo with a
  // horizontal scroll bar never wraps.
  Memo(Form* parent, const std::string& name, Rect bounds,
       ScrollStyle scrollBars = ScrollStyle::None);
  std::vector<std::string> Lines;
  void SetLines(std::vector<std::string> lines);
  std::string Text() const;
  bool ReadOnly = false;
  ScrollStyle ScrollBars() const { return scrollBars_; }
  bool HorizontalScrollBar() const {
    return scrollBars_ == ScrollStyle::Horizontal || scrollBars_ == ScrollStyle::Both;
  }
  bool VerticalScrollBar() const {
    return scrollBars_ == ScrollStyle::Vertical || scrollBars_ == ScrollStyle::Both;
  }

 private:
  ScrollStyle scrollBars_;
};

class ComboBox : public Control {
 public:
  // A drop-down list offers its items only; an editable one (dropDownList
  // false, fixed when the box is made) also takes any typed text.
  ComboBox(Form* parent, const std::string& name, Rect bounds, bool dropDownList = true);
  const std::vector<std::string>& Items() const { return items_; }
  void SetItems(std::vector<std::string> items);
  int ItemIndex() const { return index_; }
  void SetItemIndex(int index);  // out of range selects nothing
  std::string Text() const;      // the selected item's text, or the edit text
  void SetText(const std::string& text);
  void PeerSelected(int index);
  // The user typed into an editable box: no item is selected, even when the
  // text equals one.
  void PeerTextChanged(const std::string& text);
  NotifyEvent OnChange;
  bool DropDownList() const { return dropDownList_; }
  int DropDownCount = 8;

 private:
  std::vector<std::string> items_;
  int index_ = -1;
  std::string text_;
  bool dropDownList_;
};

class StatusBar : public Control {
 public:
  StatusBar(Form* parent, const std::string& name, Rect bounds);
  bool SimplePanel() const { return simple_; }
  void SetSimplePanel(bool on);
  const std::string& SimpleText() const { return Caption(); }
  void SetSimpleText(const std::string& text) { SetCaption(text); }

 private:
  bool simple_ = false;
};

class ProgressBar : public Control {
 public:
  ProgressBar(Form* parent, const std::string& name, Rect bounds);
  int Position() const { return position_; }
  void SetPosition(int position);  // kept within 0 … Max
  int Max() const { return 100; }

 private:
  int position_ = 0;
};

class Bevel : public Control {
 public:
  Bevel(Form* parent, const std::string& name, Rect bounds);
};

class Panel : public Control {
 public:
  Panel(Form* parent, const std::string& name, Rect bounds);
};

class Image : public Control {
 public:
  Image(Form* parent, const std::string& name, Rect bounds);
  // Resource name of a bitmap or icon of the executable ("" shows nothing).
  std::string Resource;
  bool Stretch = false;
  bool IsIcon = false;
  void Load(const std::string& resource, bool icon);
  // A picture from memory, shown at its natural size: the image takes the
  // picture's size.
  void SetPicture(std::shared_ptr<const Picture> picture);
  const std::shared_ptr<const Picture>& GetPicture() const { return picture_; }

 private:
  std::shared_ptr<const Picture> picture_;
};

// An area whose content (the controls put in it with SetContainer) scrolls
// when it is larger than the area.
class ScrollBox : public Control {
 public:
  ScrollBox(Form* parent, const std::string& name, Rect bounds);
  // The content changed size: the scroll bars follow, back at the origin.
  void ContentChanged();
};

// The system's web-browser control (the WebBrowser ActiveX control on
// Windows). Where it cannot be made (no browser engine), Available() is false
// and every operation does nothing.
class WebBrowser : public Control {
 public:
  enum Operation { kNavigate, kGoBack, kGoForward, kGoHome, kStop, kRefresh };
  WebBrowser(Form* parent, const std::string& name, Rect bounds);
  bool Available() const;
  void Navigate(const std::string& url) { Command(kNavigate, url); }
  void GoBack() { Command(kGoBack); }
  void GoForward() { Command(kGoForward); }
  void GoHome() { Command(kGoHome); }
  void Stop() { Command(kStop); }
  void Refresh() { Command(kRefresh); }
  // DWebBrowserEvents2::CommandStateChange(command, enable).
  std::function<void(Component*, long command, bool enable)> OnCommandStateChange;
  void PeerCommandStateChange(long command, bool enable);

 private:
  void Command(Operation op, const std::string& url = "");
};

// Pages with tabs: each control put on a page shows only while its page is
// the active one.
class PageControl : public Control {
 public:
  PageControl(Form* parent, const std::string& name, Rect bounds);
  int AddPage(const std::string& caption);
  void PutOnPage(Control* control, int page);
  int ActivePage() const { return active_; }
  void SetActivePage(int page);
  const std::vector<std::string>& Pages() const { return pages_; }
  void PeerPageChanged(int page);  // the user chose a tab

 private:
  void ShowPage();
  std::vector<std::string> pages_;
  std::vector<std::pair<Control*, int>> members_;
  int active_ = 0;
};

class ListBox : public Control {
 public:
  ListBox(Form* parent, const std::string& name, Rect bounds);
  // Sorted lists keep their items in the system's order, letter case ignored.
  bool Sorted = false;
  const std::vector<std::string>& Items() const { return items_; }
  void Clear();
  void Add(const std::string& item);
  void Delete(int index);
  // The item equal to text with letter case ignored, or -1.
  int FindExact(const std::string& text) const;
  int ItemIndex() const { return index_; }
  void SetItemIndex(int index);
  // The user selected an item (OnClick) or double-clicked (OnDblClick).
  void PeerSelected(int index);
  void PeerDoubleClicked();
  NotifyEvent OnDblClick;

 private:
  std::vector<std::string> items_;
  int index_ = -1;
};

// ---------------------------------------------------------------- menus
class MenuItem : public Component {
 public:
  MenuItem(Component* owner, const std::string& name, const std::string& caption);
  ~MenuItem() override;
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& c);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool on);
  bool Checked() const { return checked_; }
  void SetChecked(bool on);
  MenuItem* Add(std::unique_ptr<MenuItem> item);
  MenuItem* Add(const std::string& name, const std::string& caption, NotifyEvent onClick = {});
  const std::vector<std::unique_ptr<MenuItem>>& Items() const { return items_; }
  MenuItem* Parent() const { return parent_; }
  NotifyEvent OnClick;
  // A click on a disabled item does nothing.
  void Click();
  int Command() const { return command_; }  // backend identifier
  class Menu* RootMenu() const;

 private:
  friend class Menu;
  void Changed();
  std::string caption_;
  bool enabled_ = true;
  bool checked_ = false;
  std::vector<std::unique_ptr<MenuItem>> items_;
  MenuItem* parent_ = nullptr;
  class Menu* menu_ = nullptr;
  int command_ = 0;
};

class Menu : public Component {
 public:
  Menu(Component* owner, const std::string& name, bool popup);
  ~Menu() override;
  MenuItem& Items() { return root_; }
  const MenuItem& Items() const { return root_; }
  bool IsPopup() const { return popup_; }
  MenuItem* FindCommand(int command);
  MenuItem* Find(const std::string& name);
  MenuPeer* Peer() const { return peer_.get(); }
  void Changed();

 private:
  friend class MenuItem;
  MenuItem root_;
  bool popup_;
  std::unique_ptr<MenuPeer> peer_;
  int nextCommand_ = 100;
};

class MainMenu : public Menu {
 public:
  MainMenu(Component* owner, const std::string& name) : Menu(owner, name, false) {}
};

class PopupMenu : public Menu {
 public:
  PopupMenu(Component* owner, const std::string& name) : Menu(owner, name, true) {}
  // Shows the menu at a screen point; modal until an item is chosen or the
  // menu is dismissed. The chosen item's OnClick runs.
  void Popup(int x, int y);
};

// ---------------------------------------------------------------- timers
class Timer : public Component {
 public:
  Timer(Component* owner, const std::string& name, unsigned intervalMs = 1000);
  ~Timer() override;
  unsigned Interval() const { return interval_; }
  void SetInterval(unsigned ms);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool on);
  NotifyEvent OnTimer;
  void Fire();  // one tick

 private:
  unsigned interval_;
  bool enabled_ = true;
  std::unique_ptr<TimerPeer> peer_;
};

// ---------------------------------------------------------------- forms
enum class BorderStyle { Single, Dialog, None, Sizeable };
enum class FormPosition { Designed, ScreenCenter, DefaultPos };
enum class CloseAction { None, Hide, Free, Minimize };
enum class WindowState { Normal, Minimized, Maximized };

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

// SetStyleFlags value asking a form's peer to re-read Border, Icons and
// AppWindow; other values are 0x100 | WindowState.
constexpr unsigned kApplyFormStyle = 0x200;

class Form : public Control {
 public:
  explicit Form(Component* owner);
  ~Form() override;

  BorderStyle Border = BorderStyle::Sizeable;
  BorderIcons Icons;
  FormPosition Position = FormPosition::Designed;
  bool AppWindow = false;  // own taskbar button
  bool StayOnTop = false;  // above every window that is not topmost itself
  int MinHeight = 0, MaxHeight = 0, MinWidth = 0, MaxWidth = 0;

  // Applies Border, Icons, AppWindow and the client size to the window.
  void SetClientSize(int width, int height);
  // Re-applies Border, Icons and AppWindow after a change.
  void ApplyStyle() {
    if (peer_) peer_->SetStyleFlags(kApplyFormStyle);
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
  // While a Hold exists the form is not deleted, even once released: a
  // handler that pumps messages (a wait) keeps its own form alive with it.
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
  void PeerResized(int width, int height, WindowState state);
  bool PeerMessage(Message& msg);  // routes through WndProc, catching errors

  const std::vector<Control*>& Controls() const { return controls_; }
  Control* FindControl(const std::string& name) const;
  const std::vector<Menu*>& Menus() const { return menus_; }
  const std::vector<Timer*>& Timers() const { return timers_; }

 private:
  friend class Control;
  friend class Menu;
  friend class Timer;
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

// ---------------------------------------------------------------- dialogs
class ColorDialog : public Component {
 public:
  ColorDialog(Component* owner, const std::string& name);
  Color color = clBlack;
  bool Execute();
};

class OpenDialog : public Component {
 public:
  OpenDialog(Component* owner, const std::string& name);
  std::string Filter;  // "Text|*.txt|All|*.*"
  std::string FileName;
  std::string Title;
  std::string InitialDir;
  // A save dialog: the file need not exist, an existing one is confirmed,
  // and DefaultExt is added to a name typed without one.
  bool Save = false;
  std::string DefaultExt;
  bool Execute();
};

// ---------------------------------------------------------------- backend
class Backend {
 public:
  virtual ~Backend() = default;
  virtual std::unique_ptr<ControlPeer> CreatePeer(Control& control) = 0;
  virtual std::unique_ptr<MenuPeer> CreateMenuPeer(Menu& menu) = 0;
  virtual std::unique_ptr<TimerPeer> CreateTimerPeer(Timer& timer) = 0;
  // Runs until Application::Terminated().
  virtual void Run() = 0;
  // Handles every pending message, then returns.
  virtual void ProcessMessages() = 0;
  // Runs until form.ModalResult is set or the form is hidden.
  virtual void RunModal(Form& form) = 0;
  virtual int MessageBox(Form* owner, const std::string& text,
                         const std::string& caption, unsigned flags) = 0;
  virtual void Post(Form& form, const Message& msg) = 0;
  virtual std::intptr_t DefaultHandler(Form& form, const Message& msg) = 0;
  virtual void SetCursor(int cursor) = 0;
  virtual void ScreenSize(int& width, int& height) = 0;
  virtual void PopupMenu(PopupMenu& menu, int x, int y) = 0;
  virtual bool ColorDialog(Form* owner, Color& color) = 0;
  virtual bool OpenDialog(Form* owner, tk::OpenDialog& dialog) = 0;
  // The window of the application object (owns the taskbar button).
  virtual WindowHandle ApplicationHandle() = 0;
  virtual void SetApplicationTitle(const std::string&) {}
  virtual void Terminate() {}
};

// ---------------------------------------------------------------- application
class Application {
 public:
  static Application& Instance();
  void Initialize(std::unique_ptr<Backend> backend);
  void Shutdown();  // destroys every form and the backend
  Backend& GetBackend();
  bool HasBackend() const { return backend_ != nullptr; }

  std::string Title;
  bool ShowMainForm = true;
  Form* MainForm() const { return main_; }

  // Creates a form owned by the application; the first one becomes the main form.
  template <class T, class... Args>
  T* CreateForm(Args&&... args) {
    auto* f = new T(nullptr, std::forward<Args>(args)...);
    Adopt(f);
    f->DoCreate();
    return f;
  }
  void Adopt(Form* f);
  // Shows the main form (unless ShowMainForm is false) and runs the loop.
  void Run();
  void ProcessMessages();
  void Terminate();
  bool Terminated() const { return terminated_; }

  int MessageBox(const std::string& text, const std::string& caption, unsigned flags);
  void ShowMessage(const std::string& text);  // plain OK notice
  void ShowException(const std::exception& e);
  void HandleException();  // in a catch block

  int Cursor() const { return cursor_; }
  void SetCursor(int c);
  void ScreenSize(int& width, int& height);

  // Forms awaiting deferred deletion; run after each handled event.
  void QueueRelease(Form* f);
  void FlushReleases();
  void FormDestroyed(Form* f);
  const std::vector<Form*>& Forms() const { return forms_; }
  Form* ActiveForm() const;

 private:
  std::unique_ptr<Backend> backend_;
  Form* main_ = nullptr;
  std::vector<Form*> forms_;     // top-level forms owned by the application
  std::vector<Form*> releases_;
  bool terminated_ = false;
  int cursor_ = crDefault;
};

// Text conversion helpers at the native boundary.
std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& wide);
std::string Format(const char* fmt, ...);
// Overwrites a text's bytes in a way the optimiser keeps, then empties it.
void SecureWipe(std::string& s);

}  // namespace tk
