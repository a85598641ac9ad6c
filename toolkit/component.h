// The toolkit's base: colours, keys and answers, geometry, the peer
// interfaces a backend implements, Component and Control.
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
constexpr unsigned vkTab = 0x09;

// Window messages the program's windows handle, in one place: the Win32
// numbers, which the headless backend uses too.
constexpr unsigned wmClose = 0x0010;
constexpr unsigned wmQueryEndSession = 0x0011;
constexpr unsigned wmEraseBkgnd = 0x0014;
constexpr unsigned wmEndSession = 0x0016;
constexpr unsigned wmNcHitTest = 0x0084;
constexpr unsigned wmSysCommand = 0x0112;
constexpr unsigned wmLButtonDown = 0x0201;
constexpr unsigned wmLButtonDblClk = 0x0203;
constexpr unsigned wmRButtonDown = 0x0204;
constexpr unsigned wmMouseMove = 0x0200;
constexpr unsigned wmLButtonUp = 0x0202;
constexpr unsigned wmRButtonUp = 0x0205;
constexpr unsigned wmDropFiles = 0x0233;
// Keyboard messages (WM_KEYDOWN … WM_SYSDEADCHAR).
constexpr unsigned wmKeyDown = 0x0100;
constexpr unsigned wmChar = 0x0102;
constexpr unsigned wmSysDeadChar = 0x0107;

// Screen cursors.
constexpr int crDefault = 0;
constexpr int crHourGlass = -11;
constexpr int crHandPoint = -21;
constexpr int crCross = -3;

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
constexpr unsigned mbIconInformation = 0x40;

// A form's state on the screen.
enum class WindowState { Normal, Minimized, Maximized };

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

// A picture in memory for an Image: 24-bit pixels, each B, G, R, held in
// the memory the backend shows them from (on Windows a DIB section, the
// display bitmap itself), so that whoever makes a picture writes its pixels
// once and nothing copies them. Only backends make them (Create).
class Picture {
 public:
  virtual ~Picture() = default;
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;
  // A black width × height picture. Raises Error with the reason when the
  // window system cannot make it. Any thread may call it: it touches no
  // toolkit object, only the system's memory (a background task's work may
  // make the picture it decodes).
  static std::unique_ptr<Picture> Create(int width, int height);

  const int width, height;
  // From one row to the next one down; negative where the memory holds the
  // rows from the bottom up.
  const std::ptrdiff_t stride;
  std::uint8_t* Row(int y) { return top_ + static_cast<std::ptrdiff_t>(y) * stride; }
  const std::uint8_t* Row(int y) const { return top_ + static_cast<std::ptrdiff_t>(y) * stride; }

 protected:
  Picture(int w, int h, std::uint8_t* top, std::ptrdiff_t rowStride)
      : width(w), height(h), stride(rowStride), top_(top) {}

 private:
  std::uint8_t* top_;
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
// A keyboard message as the message loop takes it from the queue: the window
// it is for (the one with the focus), the message and its parameters.
struct KeyMessage {
  WindowHandle window = 0;
  unsigned msg = 0;
  std::uintptr_t wParam = 0;
  std::intptr_t lParam = 0;
};

// The in-place active object of a control that hosts another component (the
// WebBrowser ActiveX control): while the focus is inside the control it sees
// every key message first and takes those that are its own accelerators (Tab
// between the links of a page, Enter on a link, the page's shortcuts).
class InPlaceActiveObject {
 public:
  virtual ~InPlaceActiveObject() = default;
  // True when the object took the message; nothing more is done with it then.
  virtual bool TranslateAccelerator(const KeyMessage& msg) = 0;
};


// Setter-only mirrors of a component's state in one backend.
class ControlPeer {
 public:
  virtual ~ControlPeer() = default;
  virtual void SetText(const std::string&) {}
  // Edits: overwrites the control's own copies of its text (the text and the
  // undo buffer) with `length` filler characters, then empties it.
  virtual void WipeText(size_t /*length*/) { SetText(""); }
  virtual void SetBounds(const Rect&) {}
  virtual void SetEnabled(bool) {}
  virtual void SetVisible(bool) {}
  virtual void SetChecked(bool) {}
  virtual void SetColor(Color) {}
  virtual void SetFont(const Font&) {}
  virtual void SetItems(const std::vector<std::string>&) {}
  virtual void SetItemIndex(int) {}
  virtual void SetPosition(int) {}        // progress bars
  virtual void SetHotKey(std::uint16_t) {}  // hotkey boxes: HotKeyBox::Key()
  virtual void SetSimplePanel(bool) {}    // status bars: one simple panel or the parts
  virtual void SetWindowState(WindowState) {}  // forms: normal, minimized, maximized
  virtual void ApplyStyle() {}            // forms: re-read Border, Icons and AppWindow
  virtual void SetMenu(class Menu*) {}    // forms only
  // Images: shows a picture the backend made (null: none), keeping it while
  // it shows it; false, with the reason, when it cannot be shown; the earlier
  // one then stays.
  virtual bool SetPicture(std::shared_ptr<const Picture>, std::string& /*error*/) { return true; }
  virtual void SetPages(const std::vector<std::string>&, int) {}  // page controls: tabs, active one
  virtual void SetContainer(ControlPeer*) {}  // the scroll box the control lies in
  virtual void ContentChanged() {}            // scroll boxes: their content moved or resized
  // Web browsers: one of the control's operations; false when the control
  // could not be made.
  virtual bool BrowserCommand(int /*operation*/, const std::string& /*url*/) { return false; }
  virtual bool BrowserAvailable() const { return false; }
  // The hosted component's in-place active object; null while there is none.
  virtual InPlaceActiveObject* ActiveObject() { return nullptr; }
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
  Bevel, Panel, Image, ProgressBar, GroupBox, ScrollBox, WebBrowser, PageControl, HotKey
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
  // Labels and pictures: the mouse goes through them to their form, which
  // gets its messages (a picture drawn on the form). Set before the form shows.
  bool MouseThrough = false;

  // Fired by a click: button press, check-box state change, label or menu click.
  NotifyEvent OnClick;
  // Fired when the mouse moves over the control.
  NotifyEvent OnMouseMove;
  // A key went down while the control (or the form itself) had the focus.
  KeyEvent OnKeyDown;
  // A key produced a character.
  KeyEvent OnKeyPress;
  // The control got the keyboard focus (edits and combo boxes).
  NotifyEvent OnEnter;

  // Programmatic click: what a user's click does, on enabled controls.
  virtual void Click();

  // Backend entry points for user input.
  virtual void PeerClicked();
  void PeerMouseMove();
  // Return false when a handler ate the key.
  bool PeerKeyDown(unsigned key);
  bool PeerKeyPress(unsigned ch);
  void PeerFocused();

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
  // For controls whose window's style depends on their own members: the
  // peer is made by their constructor (MakePeer) once those are set, since a
  // base's constructor cannot see the derived class's members yet.
  struct PeerLater {};
  Control(Form* parent, ControlKind kind, const std::string& name, Rect bounds, const std::string& caption,
          PeerLater);
  void MakePeer();
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

}  // namespace tk
