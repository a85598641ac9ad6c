// The standard controls: buttons, boxes, labels, edits, lists, bars,
// pictures, pages and the web browser.
#pragma once

#include "toolkit/component.h"

namespace tk {

class Button : public Control {
 public:
  Button(Form* parent, const std::string& name, Rect bounds, const std::string& caption);
  bool Default = false;  // pressed by Enter
  bool Cancel = false;   // pressed by Escape
  int ModalResult = mrNone;  // set on the parent form when clicked
  void Click() override;
};

class CheckBox : public Control {
 public:
  CheckBox(Form* parent, const std::string& name, Rect bounds, const std::string& caption);
  bool Checked() const { return checked_; }
  // A new state fires OnClick, exactly as a user's click does.
  void SetChecked(bool on);
  // The check mark alone, without OnClick: a stored state shown as it was
  // left, whose effects the window applies itself.
  void SetCheckMark(bool on);
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
  // An autosized label whose text would be wider than this is drawn in the
  // largest smaller font that fits, down to 8 pixels (0: no limit): a long
  // text keeps clear of what stands beside it.
  int MaxTextWidth = 0;
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
  // Overwrites the text in memory, here and in the native control (its text
  // and undo buffers), then empties the edit (no change event).
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
  // A drop-down list selects the item with that text (none: empty); an
  // editable box shows the text with no item selected.
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

// A hotkey box (the system's msctls_hotkey32): the user presses a key with
// its modifiers. Key(): the virtual key in the low byte, the hkShift,
// hkControl and hkAlt flags in the high byte; 0 for none.
constexpr std::uint16_t hkShift = 0x0100, hkControl = 0x0200, hkAlt = 0x0400;
class HotKeyBox : public Control {
 public:
  HotKeyBox(Form* parent, const std::string& name, Rect bounds);
  std::uint16_t Key() const { return key_; }
  void SetKey(std::uint16_t key);  // fires OnChange when it changes
  void PeerKeyChanged(std::uint16_t key);
  NotifyEvent OnChange;

 private:
  std::uint16_t key_ = 0;
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
  // A picture from memory (Picture::Create), shown at its natural size: the
  // image takes the picture's size; null shows none and keeps the size. The
  // earlier picture is let go here (freed unless someone else holds it).
  // Raises Error with the reason, keeping the earlier picture, when the
  // window system cannot show it.
  void SetPicture(std::shared_ptr<const Picture> picture);
  const std::shared_ptr<const Picture>& GetPicture() const { return picture_; }
  // The shown picture's pixels were changed in place: it is drawn again.
  void PictureChanged();

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
  enum Operation { kNavigate, kGoBack, kGoForward, kGoHome, kStop, kRefresh, kQuiet };
  WebBrowser(Form* parent, const std::string& name, Rect bounds);
  bool Available() const;
  // The control's in-place active object (null without one): it gets the
  // keys first while the focus is inside the control (Form::RouteKey).
  InPlaceActiveObject* ActiveObject() const { return peer_ ? peer_->ActiveObject() : nullptr; }
  void Navigate(const std::string& url) { Command(kNavigate, url); }
  void GoBack() { Command(kGoBack); }
  void GoForward() { Command(kGoForward); }
  void GoHome() { Command(kGoHome); }
  void Stop() { Command(kStop); }
  void Refresh() { Command(kRefresh); }
  // No dialog boxes of the page's own (script errors and the like).
  void Quiet() { Command(kQuiet); }
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

}  // namespace tk
