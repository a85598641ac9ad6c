// The win32 backend's peers, shared by its sources: win32_backend.cpp (the
// backend, its window procedures, menus and timers), win32_controls.cpp (the
// child controls) and win32_forms.cpp (the forms). Not part of the toolkit's
// interface.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "winapi/winapi.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "toolkit/toolkit.h"

// windows.h maps MessageBox to MessageBoxW; the toolkit has members of that name.
#undef MessageBox

namespace tk {
namespace win32 {

inline constexpr wchar_t kFormClass[] = L"KivoForm";
inline constexpr wchar_t kScrollBoxClass[] = L"KivoScrollBox";
inline constexpr wchar_t kAppClass[] = L"KivoApplication";  // tk::kApplicationClassName

class FormPeer;
// What the peers ask of the backend (win32_backend.cpp).
bool BackendAlive();
HINSTANCE Instance();
HWND ApplicationWindow();
HFONT FontFor(const Font& f);
// The program's icon drawn for a size in pixels (kept by the backend).
HICON ProgramIcon(int size);
HBRUSH BrushFor(COLORREF c);
// The extent of a text in a font, measured on one memory device context that
// lives as long as the backend (no window's context to get and release).
SIZE TextExtent(const Font& f, const std::wstring& text);
HCURSOR CursorFor(int cursor);
// The system's DPI (the screen's, read once); a window's own (its monitor's
// with per-monitor awareness, from Windows 10 1607 on; the system's before).
Dpi SystemDpi();
Dpi WindowDpi(HWND h);
// The DPI a child window is shown at: its form's.
Dpi DpiOf(HWND child);
void FormGone(FormPeer* p);
// Picture::Create: a top-down 24-bit DIB section (any thread).
std::unique_ptr<Picture> MakePicture(int width, int height, std::string& error);
const std::vector<FormPeer*>& Forms();

inline COLORREF ToColorRef(Color c) {
  auto u = static_cast<std::uint32_t>(c);
  if (u & 0x80000000u) return ::GetSysColor(static_cast<int>(u & 0xFFu));
  return static_cast<COLORREF>(u & 0xFFFFFFu);
}

inline Form* OwnerForm(Component* c) {
  for (; c; c = c->Owner())
    if (auto* f = dynamic_cast<Form*>(c)) return f;
  return nullptr;
}

inline bool IsJapaneseFace(const std::wstring& face) {
  for (wchar_t ch : face)
    if (ch >= 0x3000) return true;
  return false;
}

// Overwrites a copy of a text that may be a secret before its memory goes
// back to the heap.
inline void WipeWide(std::wstring& s) {
  volatile wchar_t* p = s.empty() ? nullptr : &s[0];
  for (size_t i = 0; i < s.size(); ++i) p[i] = 0;
  s.clear();
}

// A UTF-16 copy of a text that may be a secret, overwritten when it goes.
struct WipedWide {
  std::wstring text;
  ~WipedWide() { WipeWide(text); }
};

inline std::wstring WindowText(HWND h) {
  int n = winapi::GetWindowTextLengthW(h);
  if (n <= 0) return std::wstring();
  std::wstring s(static_cast<size_t>(n) + 1, L'\0');
  int got = winapi::GetWindowTextW(h, &s[0], n + 1);
  s.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return s;
}

// ---------------------------------------------------------------- peers
class Win32Peer : public ControlPeer {
 public:
  explicit Win32Peer(Control& c) : control_(c) {}
  ~Win32Peer() override { DestroyNative(); }

  Control& control() { return control_; }
  HWND hwnd() const { return hwnd_; }
  WindowHandle Handle() const override { return reinterpret_cast<WindowHandle>(hwnd_); }

  // Brings style bits that depend on fields set after construction (Default,
  // Align, ReadOnly, ...) in line with the control.
  virtual void Sync() {}

  void SetEnabled(bool on) override {
    if (hwnd_) ::EnableWindow(hwnd_, on ? TRUE : FALSE);
  }
  void SetColor(Color) override { Invalidate(); }
  void Invalidate() override {
    if (hwnd_) ::InvalidateRect(hwnd_, nullptr, TRUE);
  }
  void Focus() override {
    if (hwnd_) ::SetFocus(hwnd_);
  }
  void BringToFront() override {
    if (hwnd_) ::SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  }

  // The window is gone; the peer keeps no handle to it.
  void Forget() {
    Detach();
    hwnd_ = nullptr;
  }

  // The peer of one of our windows (null for any other window). Kept here
  // rather than in the window's GWLP_USERDATA: setting that is a round trip
  // to the window system for each of the controls a form makes.
  static Win32Peer* FromHwnd(HWND h) {
    if (!h) return nullptr;
    auto it = Peers().find(h);
    return it == Peers().end() ? nullptr : it->second;
  }

 protected:
  void Attach(HWND h) {
    hwnd_ = h;
    if (h) Peers()[h] = this;
  }
  // Messages to the window no longer reach the peer.
  void Detach() {
    auto it = hwnd_ ? Peers().find(hwnd_) : Peers().end();
    if (it != Peers().end() && it->second == this) Peers().erase(it);
  }
  void DestroyNative() {
    if (!hwnd_) return;
    Detach();
    HWND h = hwnd_;
    hwnd_ = nullptr;
    ::DestroyWindow(h);
  }

  Control& control_;
  HWND hwnd_ = nullptr;

 private:
  static std::unordered_map<HWND, Win32Peer*>& Peers() {
    static std::unordered_map<HWND, Win32Peer*> peers;
    return peers;
  }
};

class FormPeer;

// A control's window. Made on a form whose window is hidden, it waits: it
// is made when the form is first shown, or when a window of the form's
// controls is asked for, as the control is by then (caption, state, place,
// font, items, check). A form built and then set up (captions changed to
// the system's, controls disabled, texts filled in) costs the window system
// one window per control and nothing for each change. The waiting windows of
// a form are made together and in the order their controls were, so the
// stacking and the tab order are those of the controls.
class ChildPeer : public Win32Peer {
 public:
  ChildPeer(Control& c, FormPeer& form, int id);
  WindowHandle Handle() const override;
  // Makes the window of a control that waits for it (nothing otherwise).
  void MakeWindow();
  void SetText(const std::string& text) override;
  void WipeText(size_t length) override;
  void SetBounds(const Rect& r) override { Place(r); }
  void SetVisible(bool on) override {
    if (on) Sync();
    if (hwnd_) ::ShowWindow(hwnd_, on ? SW_SHOWNA : SW_HIDE);
  }
  void SetChecked(bool on) override {
    if (hwnd_) winapi::SendMessageW(hwnd_, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  void SetFont(const Font& f) override;
  void SetItems(const std::vector<std::string>& items) override;
  void SetItemIndex(int index) override {
    if (!hwnd_) return;
    bool list = control_.Kind() == ControlKind::ListBox;
    winapi::SendMessageW(hwnd_, list ? LB_SETCURSEL : CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  }
  bool SetPicture(std::shared_ptr<const Picture> picture, std::string& error) override;
  // A picture in memory covers the whole control: drawn again without
  // erasing first, so that it does not flicker.
  void Invalidate() override {
    if (hwnd_) ::InvalidateRect(hwnd_, nullptr, memoryPicture_ ? FALSE : TRUE);
  }
  void SetPages(const std::vector<std::string>& pages, int active) override {
    if (!hwnd_) return;
    winapi::SendMessageW(hwnd_, TCM_DELETEALLITEMS, 0, 0);
    for (size_t i = 0; i < pages.size(); ++i) {
      std::wstring w = Widen(pages[i]);
      TCITEMW item;
      std::memset(&item, 0, sizeof item);
      item.mask = TCIF_TEXT;
      item.pszText = &w[0];
      winapi::SendMessageW(hwnd_, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
    }
    winapi::SendMessageW(hwnd_, TCM_SETCURSEL, static_cast<WPARAM>(active), 0);
  }
  // WM_NOTIFY from the native control.
  void Notify(unsigned code) {
    if (control_.Kind() == ControlKind::PageControl && code == static_cast<unsigned>(TCN_SELCHANGE))
      static_cast<PageControl&>(control_).PeerPageChanged(
          static_cast<int>(winapi::SendMessageW(hwnd_, TCM_GETCURSEL, 0, 0)));
  }
  void SetContainer(ControlPeer* container) override;
  void ContentChanged() override;
  void SetPosition(int pos) override {
    if (hwnd_) winapi::SendMessageW(hwnd_, PBM_SETPOS, static_cast<WPARAM>(pos), 0);
  }
  void SetHotKey(std::uint16_t key) override {
    if (hwnd_) winapi::SendMessageW(hwnd_, HKM_SETHOTKEY, key, 0);
  }
  void SetSimplePanel(bool on) override;
  void Sync() override;

  // WM_COMMAND notification from the native control.
  void Command(unsigned code);
  bool settingText() const { return settingText_; }

 private:
  void Create();
  // After a late Create: what the control took on that its window is not
  // made with.
  void PushLateState();
  void Place(const Rect& r);
  void SendFont(const Font& f);         // in layout units
  void SendPixelFont(const Font& f);    // already at the window's DPI
  // Where the window goes for bounds r, in its parent's coordinates (labels
  // grown to their text, combo boxes with their list).
  RECT Placement(const Rect& r);
  bool PlacedAt(const RECT& rect);
  static LONG_PTR LabelStyle(const Label& l);
  static LONG_PTR BevelStyle(const Rect& r);
  void SetStyleBits(LONG_PTR mask, LONG_PTR bits, bool frame);
  void LoadPicture();

  FormPeer& form_;
  int id_;
  bool waiting_ = false;
  bool settingText_ = false;
  bool simple_ = false;
  HANDLE picture_ = nullptr;
  std::string pictureKey_;
  std::shared_ptr<const Picture> memoryPicture_;  // its DIB section is what the control shows
  // Scroll boxes: the content's scroll position.
  int scrollX_ = 0, scrollY_ = 0;
  bool settingBars_ = false;

 public:
  ~ChildPeer() override;
  void Scroll(int bar, int code, int track);
  void UpdateScrollBars();
  static LRESULT CALLBACK ScrollBoxProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
};

class FormPeer : public Win32Peer {
 public:
  explicit FormPeer(Form& f);
  ~FormPeer() override;
  Form& form() { return static_cast<Form&>(control_); }

  // The form's window, made now if it was not yet (see the constructor).
  HWND Window();
  WindowHandle Handle() const override {
    return reinterpret_cast<WindowHandle>(const_cast<FormPeer*>(this)->Window());
  }
  // Shown now: controls made from here on get their windows at once.
  bool Shown() const { return hwnd_ && ::IsWindowVisible(hwnd_); }

  void SetText(const std::string& text) override {
    if (!hwnd_) return;  // made with it
    std::wstring w = Widen(text);
    winapi::SetWindowTextW(hwnd_, w.c_str());
  }
  void SetBounds(const Rect& r) override;
  void SetVisible(bool on) override;
  void SetColor(Color) override {
    if (!hwnd_) return;  // painted with it
    ::InvalidateRect(hwnd_, nullptr, TRUE);
    RedrawChildren();
  }
  void SetWindowState(WindowState state) override;
  void ApplyStyle() override;
  void SetMenu(Menu* menu) override;
  void Focus() override {
    if (!hwnd_) return;  // not shown: nothing to focus
    ::SetActiveWindow(hwnd_);
    ::SetFocus(hwnd_);
  }
  void BringToFront() override {
    // Shown and already in front (as a window just shown is): nothing to do;
    // each of these calls is a round trip to the window system.
    if (!hwnd_ || !::IsWindowVisible(hwnd_) || ::GetForegroundWindow() == hwnd_) return;
    ::SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ::SetForegroundWindow(hwnd_);
  }

  // Recreates the native menu bar from the attached main menu.
  void RebuildMenu();
  // An item changed: a hidden window's bar is rebuilt when it is shown, once
  // for all the changes made before.
  void MenuChanged() {
    if (Shown()) RebuildMenu();
    else menuDirty_ = true;
  }
  Menu* menu() const { return menu_; }
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp);
  // A new child goes to the bottom of its siblings; frames and containers
  // are pushed back under every control, the later ones above the earlier.
  // Restacking waits until the form is shown, so that building a form costs
  // one pass, not one per control.
  void StackContainer(HWND h) { containers_.push_back(h); }
  // Controls whose windows wait for the form to be shown (see ChildPeer).
  void AddWaiting(ChildPeer* c) { waiting_.push_back(c); }
  void ForgetWaiting(ChildPeer* c) { waiting_.erase(std::remove(waiting_.begin(), waiting_.end(), c), waiting_.end()); }
  // Makes the waiting windows, in the order of their controls.
  void MakeWaitingWindows();
  void ChildAdded() {
    if (Shown()) RestackContainers();
    else restack_ = true;
  }
  void RestackContainers() {
    restack_ = false;
    for (auto it = containers_.rbegin(); it != containers_.rend(); ++it)
      if (::IsWindow(*it))
        ::SetWindowPos(*it, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  // Style bits from the form's border settings: what they are, and setting
  // them on the window.
  void StyleFor(DWORD& style, DWORD& ex);
  // Tells the form the window's real outer bounds. keepClient: the window
  // was just sized from the form's client size, which stays as it is.
  void ReportBounds(bool keepClient);
  // The DPI the form's contents are shown at: the window's, or 96 for a
  // pixel-exact form (Form::PixelExact), whose layout units are pixels.
  const Dpi& dpi() const { return PixelExact() ? kPixelDpi : dpi_; }
  // Between the form's layout units and the screen: the place by the
  // system's DPI, the size by the window's.
  RECT ToScreen(const Rect& r) const;
  Rect FromScreen(const RECT& rc) const;
  // The window came to a monitor of another DPI (WM_DPICHANGED): its
  // controls and fonts are scaled anew and it takes the suggested rectangle.
  void DpiChanged(int dpi, const RECT& suggested);
  void RedrawChildren() {
    if (!hwnd_) return;
    for (HWND c = ::GetWindow(hwnd_, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
      ::InvalidateRect(c, nullptr, TRUE);
  }

 private:
  void Place(const Rect& r);
  void FitClient();
  // Bounds r follow from the form's client size (not from a size the window
  // reported): the window's size is then the one around that client area.
  bool FromClientSize(const Rect& r) const;
  // The outer size whose client area is the form's client size, under this
  // window's frame (or the one of style and ex) at its DPI; false when the
  // system cannot say.
  bool OuterForClient(int& width, int& height) const;
  bool OuterForClient(DWORD style, DWORD ex, int& width, int& height) const;
  HMENU bar_ = nullptr;
  Menu* menu_ = nullptr;
  bool syncing_ = false;
  bool making_ = false;
  Rect reported_;  // outer bounds last reported to the form
  bool haveReported_ = false;
  std::vector<HWND> containers_;
  std::vector<ChildPeer*> waiting_;
  bool restack_ = false;
  bool menuDirty_ = false;
  bool PixelExact() const { return static_cast<const Form&>(control_).PixelExact; }
  // Places on the screen: by the system's DPI, 1:1 for a pixel-exact form.
  Dpi PlaceDpi() const { return PixelExact() ? kPixelDpi : SystemDpi(); }
  static constexpr Dpi kPixelDpi{kLayoutDpi};
  Dpi dpi_ = SystemDpi();
};

class Win32MenuPeer : public MenuPeer {
 public:
  explicit Win32MenuPeer(Menu& m) : menu_(m) {}
  void Rebuild() override;

 private:
  Menu& menu_;
};

class Win32TimerPeer : public TimerPeer {
 public:
  Win32TimerPeer(Timer& t, UINT_PTR id);
  ~Win32TimerPeer() override;
  void Restart() override;

 private:
  Timer& timer_;
  UINT_PTR id_;
};

HMENU BuildMenu(const MenuItem& parent, bool popup);
// Appends parent's items (and their submenus, built anew) to m.
void FillMenu(HMENU m, const MenuItem& parent);

}  // namespace win32
}  // namespace tk
