// Components, controls and their state changes.
#include "toolkit/toolkit.h"
#include "toolkit/internal.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace tk {

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
    : Control(parent, kind, name, bounds, caption, PeerLater{}) {
  MakePeer();
}

Control::Control(Form* parent, ControlKind kind, const std::string& name, Rect bounds,
                 const std::string& caption, PeerLater)
    : Component(parent), parent_(parent), caption_(caption), kind_(kind), bounds_(bounds) {
  Name = name;
  if (parent_) {
    font_ = parent_->font_;
    color_ = parent_->color_;
    parent_->controls_.push_back(this);
  }
}

void Control::MakePeer() {
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
  // The same colour again repaints nothing (the main window's stored colour
  // is usually the one it has).
  if (c == color_) return;
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
    case ControlKind::RadioButton:
    case ControlKind::GroupBox:
    case ControlKind::Button:
    case ControlKind::Image:
    case ControlKind::Bevel: formBack = true; break;
    default: break;
  }
  return formBack && parent_ && parent_ != this ? parent_->GetColor() : color_;
}

void Control::PeerClicked() {
  RunHandler(this, [&] { Click(); });
}

bool Control::PeerKeyDown(unsigned key) {
  if (!OnKeyDown) return true;
  // Called from the message loop, outside any window procedure.
  if (!Guarded([&] { OnKeyDown(this, key); })) return false;
  return key != 0;
}

bool Control::PeerKeyPress(unsigned ch) {
  if (!OnKeyPress) return true;
  if (!Guarded([&] { OnKeyPress(this, ch); })) return false;
  return ch != 0;
}

void Control::PeerFocused() {
  Guarded([&] { if (OnEnter) OnEnter(this); });
}

void Control::PeerMouseMove() {
  Guarded([&] { if (OnMouseMove) OnMouseMove(this); });
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

CheckBox::CheckBox(Form* parent, ControlKind kind, const std::string& name, Rect bounds,
                   const std::string& caption)
    : Control(parent, kind, name, bounds, caption) {}

RadioButton::RadioButton(Form* parent, const std::string& name, Rect bounds,
                         const std::string& caption, int group)
    : CheckBox(parent, ControlKind::RadioButton, name, bounds, caption), Group(group) {}

void RadioButton::Click() {
  if (!Enabled() || Checked()) return;
  if (Form* f = ParentForm())
    for (Control* c : f->Controls())
      if (auto* r = dynamic_cast<RadioButton*>(c); r && r != this && r->Group == Group)
        r->SetChecked(false);
  SetChecked(true);
}

GroupBox::GroupBox(Form* parent, const std::string& name, Rect bounds, const std::string& caption)
    : Control(parent, ControlKind::GroupBox, name, bounds, caption) {}

void CheckBox::SetChecked(bool on) {
  if (checked_ == on) return;
  SetCheckMark(on);
  Control::Click();
}

void CheckBox::SetCheckMark(bool on) {
  if (checked_ == on) return;
  checked_ = on;
  if (peer_) peer_->SetChecked(on);
}

void CheckBox::Click() {
  if (!Enabled()) return;
  SetChecked(!checked_);
}

void CheckBox::PeerClicked() {
  RunHandler(this, [&] { Click(); });
}

Label::Label(Form* parent, const std::string& name, Rect bounds, const std::string& caption)
    : Control(parent, ControlKind::Label, name, bounds, caption, PeerLater{}) {
  MakePeer();  // its window's style and size come from its alignment and wrapping
}

void Label::SetColor(Color c) {
  // A transparent label given the colour it has now paints it from now on.
  const bool repaint = Transparent && c == GetColor();
  Transparent = false;
  Control::SetColor(c);
  if (repaint && Peer()) Peer()->SetColor(c);
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
  Guarded([&] {
    if (text == Caption()) return;
    // A secret never leaves a copy behind in a buffer given back to the heap.
    if (Password) SecureWipe(caption_);
    // The native control already shows it: nothing goes back to it, so no
    // converted copy of a secret is made per keystroke.
    caption_ = text;
    if (OnChange) OnChange(this);
  });
}

namespace {
// How many UTF-16 units a UTF-8 text takes in the native control.
size_t Utf16Length(const std::string& s) {
  size_t n = 0;
  for (unsigned char c : s) {
    if ((c & 0xC0) != 0x80) ++n;  // a lead byte
    if (c >= 0xF0) ++n;           // outside the BMP: a surrogate pair
  }
  return n;
}
}  // namespace

void Edit::WipeText() {
  // At least as many filler characters as the entry can hold, so that every
  // copy the control keeps of a shorter text is covered too.
  size_t length = std::max(Utf16Length(caption_), static_cast<size_t>(std::max(MaxLength, 0)));
  SecureWipe(caption_);
  if (peer_) peer_->WipeText(length);
}

Memo::Memo(Form* parent, const std::string& name, Rect bounds, ScrollStyle scrollBars)
    : Control(parent, ControlKind::Memo, name, bounds, "", PeerLater{}), scrollBars_(scrollBars) {
  MakePeer();  // its window's style comes from the scroll bars
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

ComboBox::ComboBox(Form* parent, const std::string& name, Rect bounds, bool dropDownList)
    : Control(parent, ControlKind::ComboBox, name, bounds, "", PeerLater{}), dropDownList_(dropDownList) {
  MakePeer();  // its window's style comes from the kind of list
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
  else if (dropDownList_) text_.clear();
  if (peer_) peer_->SetItemIndex(index_);
}

std::string ComboBox::Text() const { return text_; }

void ComboBox::SetText(const std::string& text) {
  text_ = text;
  index_ = -1;
  // A drop-down list shows only its items: the text picks one. An editable
  // box takes the text into its edit field and, as the system's combo box
  // does, then has no list selection, even when the text equals an item.
  if (dropDownList_)
    for (size_t i = 0; i < items_.size(); ++i)
      if (items_[i] == text) index_ = static_cast<int>(i);
  if (dropDownList_ && index_ < 0) text_.clear();
  if (peer_) {
    peer_->SetItemIndex(index_);
    if (!dropDownList_) peer_->SetText(text_);
  }
}

void ComboBox::PeerTextChanged(const std::string& text) {
  text_ = text;
  index_ = -1;
  Guarded([&] { if (OnChange) OnChange(this); });
}

void ComboBox::PeerSelected(int index) {
  Guarded([&] {
    SetItemIndex(index);
    if (OnChange) OnChange(this);
  });
}

StatusBar::StatusBar(Form* parent, const std::string& name, Rect bounds)
    : Control(parent, ControlKind::StatusBar, name, bounds) {}

void StatusBar::SetSimplePanel(bool on) {
  simple_ = on;
  if (peer_) peer_->SetSimplePanel(on);
}

HotKeyBox::HotKeyBox(Form* parent, const std::string& name, Rect bounds)
    : Control(parent, ControlKind::HotKey, name, bounds) {
  SetColor(clWindow);
}

void HotKeyBox::SetKey(std::uint16_t key) {
  if (key == key_) return;
  key_ = key;
  if (peer_) peer_->SetHotKey(key);
  if (OnChange) OnChange(this);
}

void HotKeyBox::PeerKeyChanged(std::uint16_t key) {
  Guarded([&] {
    if (key == key_) return;
    key_ = key;  // the native control already shows it
    if (OnChange) OnChange(this);
  });
}

ProgressBar::ProgressBar(Form* parent, const std::string& name, Rect bounds)
    : Control(parent, ControlKind::ProgressBar, name, bounds) {}

void ProgressBar::SetPosition(int position) {
  position = std::max(0, std::min(position, Max()));
  if (position == position_) return;
  position_ = position;
  if (peer_) peer_->SetPosition(position);
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

void Image::SetPicture(std::shared_ptr<const Picture> picture) {
  std::string error;
  if (peer_ && !peer_->SetPicture(picture, error)) throw Error(error);
  picture_ = std::move(picture);
  Rect r = Bounds();
  if (picture_) {
    r.width = picture_->width;
    r.height = picture_->height;
  }
  SetBounds(r);
  if (ScrollBox* box = Container()) box->ContentChanged();
}

void Image::PictureChanged() {
  if (peer_ && picture_) peer_->Invalidate();
}

void Control::SetContainer(ScrollBox* box) {
  container_ = box;
  if (peer_ && box) peer_->SetContainer(box->Peer());
  if (box) box->ContentChanged();
}

ScrollBox::ScrollBox(Form* parent, const std::string& name, Rect bounds)
    : Control(parent, ControlKind::ScrollBox, name, bounds) {}

void ScrollBox::ContentChanged() {
  if (peer_) peer_->ContentChanged();
}

PageControl::PageControl(Form* parent, const std::string& name, Rect bounds)
    : Control(parent, ControlKind::PageControl, name, bounds) {}

int PageControl::AddPage(const std::string& caption) {
  pages_.push_back(caption);
  if (peer_) peer_->SetPages(pages_, active_);
  return static_cast<int>(pages_.size()) - 1;
}

void PageControl::PutOnPage(Control* control, int page) {
  members_.emplace_back(control, page);
  control->SetVisible(page == active_);
}

void PageControl::SetActivePage(int page) {
  if (page < 0 || page >= static_cast<int>(pages_.size())) return;
  active_ = page;
  if (peer_) peer_->SetPages(pages_, active_);
  ShowPage();
}

void PageControl::ShowPage() {
  for (auto& [control, page] : members_) control->SetVisible(page == active_);
}

void PageControl::PeerPageChanged(int page) {
  if (page < 0 || page >= static_cast<int>(pages_.size())) return;
  active_ = page;
  ShowPage();
}

WebBrowser::WebBrowser(Form* parent, const std::string& name, Rect bounds)
    : Control(parent, ControlKind::WebBrowser, name, bounds) {}

bool WebBrowser::Available() const { return peer_ && peer_->BrowserAvailable(); }

void WebBrowser::Command(Operation op, const std::string& url) {
  if (peer_) peer_->BrowserCommand(op, url);
}

void WebBrowser::PeerCommandStateChange(long command, bool enable) {
  Guarded([&] { if (OnCommandStateChange) OnCommandStateChange(this, command, enable); });
}

ListBox::ListBox(Form* parent, const std::string& name, Rect bounds)
    : Control(parent, ControlKind::ListBox, name, bounds) {
  SetColor(clWindow);
}

namespace {
int CompareNoCase(const std::string& a, const std::string& b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    int x = std::tolower(static_cast<unsigned char>(a[i])), y = std::tolower(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}
}  // namespace

void ListBox::Clear() {
  items_.clear();
  index_ = -1;
  if (peer_) peer_->SetItems(items_);
}

void ListBox::Add(const std::string& item) {
  auto at = items_.end();
  if (Sorted)
    at = std::upper_bound(items_.begin(), items_.end(), item, [](const std::string& a, const std::string& b) {
      return CompareNoCase(a, b) < 0;
    });
  items_.insert(at, item);
  index_ = -1;
  if (peer_) peer_->SetItems(items_);
}

void ListBox::Delete(int index) {
  if (index < 0 || index >= static_cast<int>(items_.size())) return;
  items_.erase(items_.begin() + index);
  index_ = -1;
  if (peer_) peer_->SetItems(items_);
}

int ListBox::FindExact(const std::string& text) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (CompareNoCase(items_[i], text) == 0) return static_cast<int>(i);
  return -1;
}

void ListBox::SetItemIndex(int index) {
  if (index < -1 || index >= static_cast<int>(items_.size())) index = -1;
  index_ = index;
  if (peer_) peer_->SetItemIndex(index_);
}

void ListBox::PeerSelected(int index) {
  if (index < 0 || index >= static_cast<int>(items_.size())) return;
  index_ = index;
  Guarded([&] { if (OnClick) OnClick(this); });
}

void ListBox::PeerDoubleClicked() {
  Guarded([&] { if (OnDblClick) OnDblClick(this); });
}

}  // namespace tk
