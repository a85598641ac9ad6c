// The win32 peers of child controls: making them, placing, text, styles,
// pictures, scroll boxes and their notifications.
#include "toolkit/win32/win32_peers.h"

#include <algorithm>
#include <cstring>

namespace tk {
namespace win32 {

// ---------------------------------------------------------------- ChildPeer
ChildPeer::ChildPeer(Control& c, FormPeer& form, int id) : Win32Peer(c), form_(form), id_(id) {
  if (form_.Shown()) {
    // After any that still wait, so that the order stays the controls'.
    form_.MakeWaitingWindows();
    Create();
  } else {
    waiting_ = true;
    form_.AddWaiting(this);
  }
}

ChildPeer::~ChildPeer() {
  if (waiting_) form_.ForgetWaiting(this);
  DestroyNative();
}

WindowHandle ChildPeer::Handle() const {
  if (waiting_) form_.MakeWaitingWindows();
  return reinterpret_cast<WindowHandle>(hwnd_);
}

void ChildPeer::MakeWindow() {
  if (!waiting_) return;
  waiting_ = false;
  Create();
  if (hwnd_) PushLateState();
}

void ChildPeer::PushLateState() {
  switch (control_.Kind()) {
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
      if (static_cast<CheckBox&>(control_).Checked()) SetChecked(true);
      break;
    case ControlKind::StatusBar:
      if (static_cast<StatusBar&>(control_).SimplePanel()) SetSimplePanel(true);
      break;
    case ControlKind::ComboBox: {
      auto& cb = static_cast<ComboBox&>(control_);
      if (!cb.Items().empty()) SetItems(cb.Items());
      if (cb.ItemIndex() >= 0) SetItemIndex(cb.ItemIndex());
      else if (!cb.DropDownList() && !cb.Text().empty()) SetText(cb.Text());
      break;
    }
    case ControlKind::ListBox: {
      auto& lb = static_cast<ListBox&>(control_);
      if (!lb.Items().empty()) SetItems(lb.Items());
      if (lb.ItemIndex() >= 0) SetItemIndex(lb.ItemIndex());
      break;
    }
    case ControlKind::ProgressBar:
      if (int pos = static_cast<ProgressBar&>(control_).Position()) SetPosition(pos);
      break;
    case ControlKind::HotKey:
      if (std::uint16_t key = static_cast<HotKeyBox&>(control_).Key()) SetHotKey(key);
      break;
    case ControlKind::PageControl: {
      auto& pc = static_cast<PageControl&>(control_);
      if (!pc.Pages().empty()) SetPages(pc.Pages(), pc.ActivePage());
      break;
    }
    case ControlKind::Image:
      if (const auto& picture = static_cast<Image&>(control_).GetPicture()) {
        std::string error;
        SetPicture(picture, error);
      }
      break;
    default:
      break;
  }
  if (ScrollBox* box = control_.Container()) {
    auto* peer = dynamic_cast<ChildPeer*>(box->Peer());
    if (peer) peer->MakeWindow();  // made after its content: out of order, but in a place of its own
    SetContainer(peer);
    if (peer) peer->ContentChanged();
  }
}

namespace {
// What each kind of control is made as: its window class and styles. A new
// kind is one row here (in ControlKind's order); what its options add
// follows in KindStyle.
struct KindWindow {
  ControlKind kind;
  const wchar_t* cls;
  DWORD style, ex;
};
const KindWindow kKindWindows[] = {
    {ControlKind::Form, L"STATIC", 0, 0},
    {ControlKind::Button, L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0},
    {ControlKind::CheckBox, L"BUTTON", BS_CHECKBOX | WS_TABSTOP, 0},
    {ControlKind::RadioButton, L"BUTTON", BS_RADIOBUTTON | WS_TABSTOP, 0},
    {ControlKind::Label, L"STATIC", SS_LEFT | SS_NOTIFY, 0},
    {ControlKind::Edit, L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE},
    {ControlKind::Memo, L"EDIT", ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_TABSTOP,
     WS_EX_CLIENTEDGE},
    {ControlKind::ComboBox, L"COMBOBOX", WS_VSCROLL | WS_TABSTOP, 0},
    {ControlKind::ListBox, L"LISTBOX", LBS_NOTIFY | WS_VSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE},
    {ControlKind::StatusBar, STATUSCLASSNAMEW, CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER, 0},
    {ControlKind::Bevel, L"STATIC", SS_ETCHEDFRAME, 0},
    {ControlKind::Panel, L"STATIC", SS_CENTER | SS_CENTERIMAGE | SS_SUNKEN, 0},
    {ControlKind::Image, L"STATIC", SS_BITMAP | SS_NOTIFY, 0},
    {ControlKind::ProgressBar, PROGRESS_CLASSW, 0, 0},
    {ControlKind::GroupBox, L"BUTTON", BS_GROUPBOX, 0},
    {ControlKind::ScrollBox, kScrollBoxClass, WS_HSCROLL | WS_VSCROLL | WS_CLIPCHILDREN, WS_EX_CLIENTEDGE},
    {ControlKind::WebBrowser, L"STATIC", 0, 0},
    {ControlKind::PageControl, WC_TABCONTROLW, WS_CLIPSIBLINGS, 0},
    {ControlKind::HotKey, HOTKEY_CLASSW, WS_TABSTOP, WS_EX_CLIENTEDGE},
};

const KindWindow& WindowOf(ControlKind kind) {
  for (const KindWindow& w : kKindWindows)
    if (w.kind == kind) return w;
  return kKindWindows[0];
}

// What a control's own options add to its kind's styles.
DWORD KindStyle(const Control& c) {
  switch (c.Kind()) {
    case ControlKind::Memo: {
      const auto& m = static_cast<const Memo&>(c);
      return (m.HorizontalScrollBar() ? ES_AUTOHSCROLL | WS_HSCROLL : 0) |
             (m.VerticalScrollBar() ? WS_VSCROLL : 0);
    }
    case ControlKind::ComboBox:
      return static_cast<const ComboBox&>(c).DropDownList() ? CBS_DROPDOWNLIST
                                                             : CBS_DROPDOWN | CBS_AUTOHSCROLL;
    default: return 0;
  }
}

// A single-line edit and a hotkey box draw their text at the top of their
// client area, which is the box less the edge: in a box taller than the
// line (every box at 144 DPI and more) the text sat against the top. The
// client area is narrowed to the middle of the box, the strips above and
// below it painted in the control's background and taken as its client area
// by the mouse. The class's own procedure is kept in a window property.
constexpr const char* kClassProc = "KivoClassProc";

// User32's W calls, looked up: the 95 family has none to import.
template <typename Fn>
Fn User32W(const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("user32.dll"), name)));
}

// The edit keeps its kind of window: a Unicode one (the system's controls
// on NT and Wine, the ANSI path too) is subclassed and called with the W
// calls, or it would become an ANSI window and lose the texts the code page
// cannot hold.
LRESULT CallEdit(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  auto proc = reinterpret_cast<WNDPROC>(::GetPropA(h, kClassProc));
  if (msg == WM_NCDESTROY) ::RemovePropA(h, kClassProc);
  if (!::IsWindowUnicode(h)) return ::CallWindowProcA(proc, h, msg, wp, lp);
  static const auto callW = User32W<LRESULT(WINAPI*)(WNDPROC, HWND, UINT, WPARAM, LPARAM)>("CallWindowProcW");
  return callW(proc, h, msg, wp, lp);
}

int EditLineHeight(HWND h) {
  HDC dc = ::GetDC(h);
  if (!dc) return 0;
  HGDIOBJ font = reinterpret_cast<HGDIOBJ>(winapi::SendMessageW(h, WM_GETFONT, 0, 0));
  HGDIOBJ old = font ? ::SelectObject(dc, font) : nullptr;
  TEXTMETRICA tm{};
  const bool got = ::GetTextMetricsA(dc, &tm) != FALSE;
  if (old) ::SelectObject(dc, old);
  ::ReleaseDC(h, dc);
  return got ? tm.tmHeight : 0;
}

// The client rectangle (window coordinates) inside the edge: the part of
// the box the edit's own client area is centred in.
RECT InsideEdge(HWND h) {
  RECT w{};
  ::GetWindowRect(h, &w);
  RECT r{0, 0, w.right - w.left, w.bottom - w.top};
  ::InflateRect(&r, -::GetSystemMetrics(SM_CXEDGE), -::GetSystemMetrics(SM_CYEDGE));
  return r;
}

LRESULT CALLBACK CentredEditProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_NCCALCSIZE: {
      const LRESULT result = CallEdit(h, msg, wp, lp);
      RECT& client = wp ? reinterpret_cast<NCCALCSIZE_PARAMS*>(lp)->rgrc[0] : *reinterpret_cast<RECT*>(lp);
      const int spare = (client.bottom - client.top) - EditLineHeight(h);
      if (spare >= 2) {
        client.top += spare / 2;
        client.bottom -= spare - spare / 2;
      }
      return result;
    }
    case WM_NCPAINT: {
      const LRESULT result = CallEdit(h, msg, wp, lp);
      RECT inside = InsideEdge(h), client{}, window{};
      ::GetClientRect(h, &client);
      ::MapWindowPoints(h, nullptr, reinterpret_cast<POINT*>(&client), 2);
      ::GetWindowRect(h, &window);
      ::OffsetRect(&client, -window.left, -window.top);
      if (client.top > inside.top || client.bottom < inside.bottom) {
        if (HDC dc = ::GetWindowDC(h)) {
          const bool hotKey = winapi::SendMessageW(h, WM_GETDLGCODE, 0, 0) == (DLGC_WANTCHARS | DLGC_WANTARROWS);
          const bool plain = ::IsWindowEnabled(h) &&
                             (hotKey || !(winapi::GetWindowLongW(h, GWL_STYLE) & ES_READONLY));
          HBRUSH brush = reinterpret_cast<HBRUSH>(winapi::SendMessageW(
              ::GetParent(h), plain ? WM_CTLCOLOREDIT : WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
              reinterpret_cast<LPARAM>(h)));
          if (!brush) brush = ::GetSysColorBrush(plain ? COLOR_WINDOW : COLOR_BTNFACE);
          RECT above{inside.left, inside.top, inside.right, client.top};
          RECT below{inside.left, client.bottom, inside.right, inside.bottom};
          if (above.bottom > above.top) ::FillRect(dc, &above, brush);
          if (below.bottom > below.top) ::FillRect(dc, &below, brush);
          ::ReleaseDC(h, dc);
        }
      }
      return result;
    }
    case WM_NCHITTEST: {
      const LRESULT hit = CallEdit(h, msg, wp, lp);
      RECT inside = InsideEdge(h), window{};
      ::GetWindowRect(h, &window);
      POINT p{static_cast<short>(LOWORD(lp)) - window.left, static_cast<short>(HIWORD(lp)) - window.top};
      return hit != HTCLIENT && ::PtInRect(&inside, p) ? HTCLIENT : hit;
    }
    default:
      return CallEdit(h, msg, wp, lp);
  }
}

void CentreEditText(HWND h) {
  const bool unicode = ::IsWindowUnicode(h) != FALSE;
  static const auto getW = User32W<LONG(WINAPI*)(HWND, int)>("GetWindowLongW");
  static const auto setW = User32W<LONG(WINAPI*)(HWND, int, LONG)>("SetWindowLongW");
  if (unicode && (!getW || !setW)) return;
  // The class's procedure is kept before it is replaced: the new one may be
  // called at once.
  const LONG before = unicode ? getW(h, GWL_WNDPROC) : ::GetWindowLongA(h, GWL_WNDPROC);
  if (!before || !::SetPropA(h, kClassProc, reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(before)))) return;
  const LONG proc = static_cast<LONG>(reinterpret_cast<LONG_PTR>(&CentredEditProc));
  if (unicode) setW(h, GWL_WNDPROC, proc);
  else ::SetWindowLongA(h, GWL_WNDPROC, proc);
}

// The client area again after a new font (a new line height).
void Reframe(HWND h) {
  ::SetWindowPos(h, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
}  // namespace

void ChildPeer::Create() {
  const KindWindow& made = WindowOf(control_.Kind());
  const wchar_t* cls = made.cls;
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS | made.style | KindStyle(control_);
  DWORD ex = WS_EX_NOPARENTNOTIFY | made.ex;
  ControlKind k = control_.Kind();
  if (k == ControlKind::Label) style |= LabelStyle(static_cast<Label&>(control_));
  if (k == ControlKind::Bevel) style = (style & ~SS_TYPEMASK) | BevelStyle(control_.Bounds());
  // On a form not shown yet a control is made as it is to stay: visible or
  // not, enabled or not, in its place, its font set without drawing. Every
  // change afterwards would be another round trip to the window system, 40
  // controls' worth on the main window before its first paint. On a shown
  // form it appears only once its font and place are set.
  const bool formShown = form_.Shown();
  if (!formShown) {
    if (control_.Visible()) style |= WS_VISIBLE;
    if (!control_.Enabled()) style |= WS_DISABLED;
  }
  // An edit's text may be a password: the copy goes back to the heap wiped.
  WipedWide text{k == ControlKind::Image ? std::wstring() : Widen(control_.Caption())};
  const Rect& r = control_.Bounds();
  const RECT at = Placement(r);
  HWND h = winapi::CreateWindowExW(ex, cls, text.text.c_str(), style, at.left, at.top, at.right - at.left,
                                   at.bottom - at.top, form_.Window(),
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id_)), Instance(), nullptr);
  Attach(h);
  if (!h) return;
  // Frames, containers, labels and pictures stay behind the controls placed
  // on them, the later ones above the earlier ones, as drawings on the form.
  if (k == ControlKind::Panel || k == ControlKind::GroupBox || k == ControlKind::Bevel ||
      k == ControlKind::Label || k == ControlKind::Image || k == ControlKind::PageControl)
    form_.StackContainer(h);
  form_.ChildAdded();
  const bool centred = k == ControlKind::Edit || k == ControlKind::HotKey;
  if (centred) CentreEditText(h);
  winapi::SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(form_.dpi().Px(control_.GetFont()))),
                       formShown ? TRUE : FALSE);
  if (centred) Reframe(h);
  if (k == ControlKind::ProgressBar) winapi::SendMessageW(h, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  if (k == ControlKind::StatusBar) SetText(control_.Caption());
  if (formShown && !control_.Enabled()) ::EnableWindow(h, FALSE);
  Place(r);  // a combo box's list; nothing where the window is in place
  if (formShown && control_.Visible()) ::ShowWindow(h, SW_SHOWNA);
}

LONG_PTR ChildPeer::LabelStyle(const Label& l) {
  LONG_PTR bits = l.Align == Alignment::Right    ? SS_RIGHT
                  : l.Align == Alignment::Center ? SS_CENTER
                  : l.WordWrap                   ? SS_LEFT
                                                 : SS_LEFTNOWORDWRAP;
  if (!l.ShowAccelChar) bits |= SS_NOPREFIX;
  return bits;
}

LONG_PTR ChildPeer::BevelStyle(const Rect& r) {
  return r.height <= 2 ? SS_ETCHEDHORZ : r.width <= 2 ? SS_ETCHEDVERT : SS_ETCHEDFRAME;
}

RECT ChildPeer::Placement(const Rect& layout) {
  const Dpi& dpi = form_.dpi();
  const Rect r = dpi.Px(layout);
  int left = r.left, w = r.width, hgt = r.height;
  switch (control_.Kind()) {
    case ControlKind::ComboBox: {
      // The height of a combo box includes its drop-down list.
      auto& cb = static_cast<ComboBox&>(control_);
      int item = hwnd_ ? static_cast<int>(winapi::SendMessageW(hwnd_, CB_GETITEMHEIGHT, 0, 0)) : 0;
      if (item <= 0) item = dpi.Px(16);
      hgt = r.height + item * std::max(1, cb.DropDownCount) + dpi.Px(4);
      break;
    }
    case ControlKind::Image:
      // A picture in memory is shown pixel for pixel.
      if (memoryPicture_) {
        w = memoryPicture_->width;
        hgt = memoryPicture_->height;
      }
      break;
    case ControlKind::Label: {
      auto& l = static_cast<Label&>(control_);
      if (l.AutoSize && !l.WordWrap) {
        // Never clip the caption: grow to the text's extent, in a smaller
        // font where the label has a width it must keep within.
        const std::wstring text = Widen(control_.Caption());
        Font font = dpi.Px(control_.GetFont());
        SIZE sz = TextExtent(font, text);
        if (l.MaxTextWidth > 0) {
          const int most = dpi.Px(l.MaxTextWidth), least = dpi.Px(8);
          while (sz.cx > most && (font.height < -least || font.height > least)) {
            font.height += font.height < 0 ? 1 : -1;
            sz = TextExtent(font, text);
          }
          SendPixelFont(font);
        }
        if (sz.cx > w) {
          int grow = sz.cx - w;
          w = sz.cx;
          left = l.Align == Alignment::Right    ? r.left - grow
                 : l.Align == Alignment::Center ? r.left - grow / 2
                                                : r.left;
        }
        if (sz.cy > hgt) hgt = sz.cy;
      }
      break;
    }
    default:
      break;
  }
  return RECT{left, r.top, left + w, r.top + hgt};
}

bool ChildPeer::PlacedAt(const RECT& want) {
  RECT now;
  if (!::GetWindowRect(hwnd_, &now)) return false;
  ::MapWindowPoints(HWND_DESKTOP, ::GetParent(hwnd_), reinterpret_cast<POINT*>(&now), 2);
  return std::memcmp(&now, &want, sizeof now) == 0;
}

void ChildPeer::Place(const Rect& r) {
  if (!hwnd_) return;
  const RECT at = Placement(r);
  // Moving a window to where it is still costs a round trip.
  if (PlacedAt(at)) return;
  const int w = at.right - at.left, h = at.bottom - at.top;
  ::MoveWindow(hwnd_, at.left, at.top, w, h, TRUE);
  // A label that grew to its text keeps no old pixels: they stood where its
  // text does not stand any more (it may have grown to the left).
  if (control_.Kind() == ControlKind::Label && w > form_.dpi().Px(r).width) ::InvalidateRect(hwnd_, nullptr, TRUE);
}

void ChildPeer::SetText(const std::string& text) {
  if (!hwnd_) return;
  switch (control_.Kind()) {
    case ControlKind::Image:
      LoadPicture();
      return;
    case ControlKind::StatusBar: {
      std::wstring w = Widen(text);
      if (simple_) {
        winapi::SendMessageW(hwnd_, SB_SETTEXTW, 255, reinterpret_cast<LPARAM>(w.c_str()));
      } else {
        int parts[1] = {-1};
        winapi::SendMessageW(hwnd_, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(parts));
        winapi::SendMessageW(hwnd_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(w.c_str()));
      }
      return;
    }
    case ControlKind::ComboBox:
      // A list shows its selection; an editable box shows its text.
      if (!static_cast<ComboBox&>(control_).DropDownList()) {
        settingText_ = true;
        winapi::SetWindowTextW(hwnd_, Widen(text).c_str());
        settingText_ = false;
      }
      return;
    default:
      break;
  }
  // An edit's text may be a password: neither copy goes back to the heap
  // unwiped.
  WipedWide w{Widen(text)}, shown{WindowText(hwnd_)};
  if (shown.text == w.text) return;
  settingText_ = true;
  winapi::SetWindowTextW(hwnd_, w.text.c_str());
  settingText_ = false;
  if (control_.Kind() == ControlKind::Label) Place(control_.Bounds());
}

void ChildPeer::WipeText(size_t length) {
  if (!hwnd_) return;
  if (control_.Kind() != ControlKind::Edit) {
    SetText("");
    return;
  }
  settingText_ = true;
  // The filler takes the text's place in the control's buffer; deleting it
  // as an undoable edit puts the filler over what the undo buffer held.
  std::wstring filler(length, L'*');
  winapi::SetWindowTextW(hwnd_, filler.c_str());
  winapi::SendMessageW(hwnd_, EM_SETSEL, 0, -1);
  winapi::SendMessageW(hwnd_, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L""));
  winapi::SendMessageW(hwnd_, EM_EMPTYUNDOBUFFER, 0, 0);
  winapi::SetWindowTextW(hwnd_, L"");
  settingText_ = false;
}

void ChildPeer::SetFont(const Font& f) {
  SendFont(f);
  // A label that keeps within a width fits its text again.
  if (control_.Kind() == ControlKind::Label && static_cast<Label&>(control_).MaxTextWidth > 0)
    Place(control_.Bounds());
}

void ChildPeer::SendFont(const Font& f) { SendPixelFont(form_.dpi().Px(f)); }

void ChildPeer::SendPixelFont(const Font& f) {
  if (!hwnd_) return;
  winapi::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(f)), TRUE);
  if (control_.Kind() == ControlKind::Edit || control_.Kind() == ControlKind::HotKey) Reframe(hwnd_);
}

void ChildPeer::SetItems(const std::vector<std::string>& items) {
  if (!hwnd_) return;
  bool list = control_.Kind() == ControlKind::ListBox;
  winapi::SendMessageW(hwnd_, list ? LB_RESETCONTENT : CB_RESETCONTENT, 0, 0);
  for (const auto& s : items) {
    std::wstring w = Widen(s);
    winapi::SendMessageW(hwnd_, list ? LB_ADDSTRING : CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(w.c_str()));
  }
}

void ChildPeer::SetSimplePanel(bool on) {
  if (!hwnd_) return;
  if (control_.Kind() == ControlKind::StatusBar) {
    simple_ = on;
    winapi::SendMessageW(hwnd_, SB_SIMPLE, simple_ ? TRUE : FALSE, 0);
    SetText(control_.Caption());
  }
}

void ChildPeer::SetStyleBits(LONG_PTR mask, LONG_PTR bits, bool frame) {
  LONG_PTR style = winapi::GetWindowLongPtrW(hwnd_, GWL_STYLE);
  LONG_PTR next = (style & ~mask) | bits;
  if (next == style) return;
  winapi::SetWindowLongPtrW(hwnd_, GWL_STYLE, next);
  if (frame)
    ::SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  ::InvalidateRect(hwnd_, nullptr, TRUE);
}

void ChildPeer::LoadPicture() {
  // A picture in memory stays until another one is set.
  if (memoryPicture_) return;
  auto& img = static_cast<Image&>(control_);
  std::string key = img.Resource + (img.IsIcon ? "#i" : "#b") + (img.Stretch ? "s" : "");
  if (key == pictureKey_) return;
  pictureKey_ = key;
  HANDLE old = picture_;
  picture_ = nullptr;
  SetStyleBits(SS_TYPEMASK, img.IsIcon ? SS_ICON : SS_BITMAP, false);
  if (!img.Resource.empty()) {
    std::wstring name = Widen(img.Resource);
    const Dpi& dpi = form_.dpi();
    int cx = img.Stretch ? dpi.Px(img.Width()) : 0, cy = img.Stretch ? dpi.Px(img.Height()) : 0;
    if (img.IsIcon && !img.Stretch) {
      cx = dpi.Px(img.Width() > 0 ? img.Width() : 32);
      cy = dpi.Px(img.Height() > 0 ? img.Height() : 32);
    }
    picture_ = winapi::LoadImageW(Instance(), name.c_str(), img.IsIcon ? IMAGE_ICON : IMAGE_BITMAP,
                            cx, cy, LR_DEFAULTCOLOR);
    // A bitmap drawn at 96 DPI grows with the window's DPI.
    BITMAP bm;
    if (picture_ && !img.IsIcon && !img.Stretch && dpi.value != kLayoutDpi &&
        winapi::GetObjectW(picture_, sizeof bm, &bm) == sizeof bm) {
      if (HANDLE scaled = ::CopyImage(picture_, IMAGE_BITMAP, dpi.Px(static_cast<int>(bm.bmWidth)),
                                      dpi.Px(static_cast<int>(bm.bmHeight)), LR_COPYDELETEORG))
        picture_ = scaled;
    }
  }
  winapi::SendMessageW(hwnd_, STM_SETIMAGE, img.IsIcon ? IMAGE_ICON : IMAGE_BITMAP,
                 reinterpret_cast<LPARAM>(picture_));
  if (old) {
    if (pictureKey_.find("#i") != std::string::npos) ::DestroyIcon(static_cast<HICON>(old));
    else ::DeleteObject(old);
  }
  // A bitmap static resizes itself to the picture; keep the control's bounds
  // when stretching.
  if (img.Stretch) Place(img.Bounds());
}

void ChildPeer::Sync() {
  if (!hwnd_) return;
  switch (control_.Kind()) {
    case ControlKind::Button: {
      auto& b = static_cast<Button&>(control_);
      LONG_PTR style = winapi::GetWindowLongPtrW(hwnd_, GWL_STYLE) & BS_TYPEMASK;
      LONG_PTR want = b.Default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
      if (style != want) winapi::SendMessageW(hwnd_, BM_SETSTYLE, want, TRUE);
      break;
    }
    case ControlKind::Label: {
      auto& l = static_cast<Label&>(control_);
      SetStyleBits(SS_TYPEMASK | SS_NOPREFIX | SS_NOTIFY, LabelStyle(l) | (l.MouseThrough ? 0 : SS_NOTIFY), false);
      Place(l.Bounds());
      break;
    }
    case ControlKind::Edit: {
      auto& e = static_cast<Edit&>(control_);
      bool ro = (winapi::GetWindowLongPtrW(hwnd_, GWL_STYLE) & ES_READONLY) != 0;
      if (ro != e.ReadOnly) winapi::SendMessageW(hwnd_, EM_SETREADONLY, e.ReadOnly ? TRUE : FALSE, 0);
      winapi::SendMessageW(hwnd_, EM_SETPASSWORDCHAR, e.Password ? L'*' : 0, 0);
      winapi::SendMessageW(hwnd_, EM_SETLIMITTEXT, e.MaxLength > 0 ? e.MaxLength : 0, 0);
      break;
    }
    case ControlKind::Memo: {
      auto& m = static_cast<Memo&>(control_);
      bool ro = (winapi::GetWindowLongPtrW(hwnd_, GWL_STYLE) & ES_READONLY) != 0;
      if (ro != m.ReadOnly) winapi::SendMessageW(hwnd_, EM_SETREADONLY, m.ReadOnly ? TRUE : FALSE, 0);
      break;
    }
    case ControlKind::ComboBox:
      Place(control_.Bounds());
      break;
    case ControlKind::Image:
      // Without SS_NOTIFY a static answers HTTRANSPARENT: the mouse's
      // messages go to the form beneath.
      SetStyleBits(SS_NOTIFY, control_.MouseThrough ? 0 : SS_NOTIFY, false);
      LoadPicture();
      break;
    case ControlKind::Bevel: {
      SetStyleBits(SS_TYPEMASK, BevelStyle(control_.Bounds()), false);
      break;
    }
    default:
      break;
  }
}

void ChildPeer::Command(unsigned code) {
  switch (control_.Kind()) {
    case ControlKind::Button:
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
      if (code == BN_CLICKED) control_.PeerClicked();
      break;
    case ControlKind::Label:
    case ControlKind::Image:
      if (code == STN_CLICKED) control_.PeerClicked();
      break;
    case ControlKind::Edit:
      if (code == EN_CHANGE && !settingText_) {
        std::wstring wide = WindowText(hwnd_);
        std::string text = Narrow(wide);
        WipeWide(wide);
        auto& e = static_cast<Edit&>(control_);
        if (text != e.Text()) e.PeerTextChanged(text);
        if (e.Password) SecureWipe(text);
      } else if (code == EN_SETFOCUS) {
        control_.PeerFocused();
      }
      break;
    case ControlKind::Memo:
      if (code == EN_CHANGE && !settingText_) {
        auto& m = static_cast<Memo&>(control_);
        std::string text = Narrow(WindowText(hwnd_));
        std::vector<std::string> lines;
        size_t start = 0;
        for (;;) {
          size_t p = text.find("\r\n", start);
          if (p == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
          }
          lines.push_back(text.substr(start, p - start));
          start = p + 2;
        }
        if (text.empty()) lines.clear();
        m.Lines = lines;
        settingText_ = true;  // the window already shows the text
        m.SetCaption(text);
        settingText_ = false;
      }
      break;
    case ControlKind::HotKey:
      if (code == EN_CHANGE) {
        auto key = static_cast<std::uint16_t>(winapi::SendMessageW(hwnd_, HKM_GETHOTKEY, 0, 0));
        // The control's HOTKEYF_ flags are the toolkit's, one byte up.
        static_cast<HotKeyBox&>(control_).PeerKeyChanged(key & 0x07FF);
      }
      break;
    case ControlKind::ListBox:
      if (code == LBN_SELCHANGE) {
        int index = static_cast<int>(winapi::SendMessageW(hwnd_, LB_GETCURSEL, 0, 0));
        static_cast<ListBox&>(control_).PeerSelected(index);
      } else if (code == LBN_DBLCLK) {
        static_cast<ListBox&>(control_).PeerDoubleClicked();
      }
      break;
    case ControlKind::ComboBox:
      if (code == CBN_SELCHANGE) {
        int index = static_cast<int>(winapi::SendMessageW(hwnd_, CB_GETCURSEL, 0, 0));
        static_cast<ComboBox&>(control_).PeerSelected(index);
      } else if (code == CBN_EDITCHANGE && !settingText_) {
        static_cast<ComboBox&>(control_).PeerTextChanged(Narrow(WindowText(hwnd_)));
      } else if (code == CBN_SETFOCUS) {
        control_.PeerFocused();
      }
      break;
    default:
      break;
  }
}

namespace {
// A picture whose memory is a DIB section: the bitmap the control shows.
class DibPicture : public Picture {
 public:
  DibPicture(int w, int h, HBITMAP bitmap, void* bits, std::ptrdiff_t stride)
      : Picture(w, h, static_cast<std::uint8_t*>(bits), stride), bitmap_(bitmap) {}
  ~DibPicture() override { ::DeleteObject(bitmap_); }
  HBITMAP bitmap() const { return bitmap_; }

 private:
  HBITMAP bitmap_;
};
}  // namespace

std::unique_ptr<Picture> MakePicture(int width, int height, std::string& error) {
  BITMAPINFO bi;
  std::memset(&bi, 0, sizeof bi);
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;  // rows from the top
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  ::SetLastError(0);
  // The system's fresh memory is zero (black), and its pages count in the
  // working set only once the decoder writes them.
  HBITMAP made = ::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (made && bits) {
    const auto stride = static_cast<std::ptrdiff_t>((static_cast<size_t>(width) * 3 + 3) & ~size_t{3});
    return std::make_unique<DibPicture>(width, height, made, bits, stride);
  }
  // The system's reason where it gives one other than the memory.
  const DWORD code = ::GetLastError();
  if (made) ::DeleteObject(made);
  error = "メモリが足りません";
  wchar_t* text = nullptr;
  if (code && code != ERROR_NOT_ENOUGH_MEMORY && code != ERROR_OUTOFMEMORY &&
      winapi::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr) &&
      text) {
    std::wstring reason(text);
    while (!reason.empty() && (reason.back() == L'\n' || reason.back() == L'\r' || reason.back() == L' '))
      reason.pop_back();
    if (!reason.empty()) error = Narrow(reason);
  }
  if (text) ::LocalFree(text);
  return nullptr;
}

bool ChildPeer::SetPicture(std::shared_ptr<const Picture> picture, std::string& error) {
  if (!hwnd_) return true;
  auto* dib = dynamic_cast<const DibPicture*>(picture.get());
  if (picture && !dib) {
    error = "画像を表示できません";
    return false;
  }
  // The control shows the picture's own DIB section: no copy is made. The
  // earlier picture is let go only after the control has let go of its bitmap.
  std::shared_ptr<const Picture> old = std::move(memoryPicture_);
  memoryPicture_ = std::move(picture);
  pictureKey_.clear();
  SetStyleBits(SS_TYPEMASK, SS_BITMAP, false);
  winapi::SendMessageW(hwnd_, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(dib ? dib->bitmap() : nullptr));
  old.reset();
  Place(control_.Bounds());  // a picture's own size, in pixels
  return true;
}

void ChildPeer::SetContainer(ControlPeer* container) {
  auto* box = dynamic_cast<ChildPeer*>(container);
  if (!hwnd_ || !box || !box->hwnd()) return;
  ::SetParent(hwnd_, box->hwnd());
  Place(control_.Bounds());
}

void ChildPeer::ContentChanged() {
  if (!hwnd_) return;
  // Back to the origin: every control of the content at its own place.
  scrollX_ = scrollY_ = 0;
  for (HWND c = ::GetWindow(hwnd_, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
    if (auto* p = dynamic_cast<ChildPeer*>(Win32Peer::FromHwnd(c))) p->Place(p->control().Bounds());
  UpdateScrollBars();
}

// Ranges for the content's extent and the client area, the scroll position
// kept where it still fits. Showing or hiding one bar changes the client area
// (its WM_SIZE comes back here and is left to this loop), so the bars are set
// without drawing until the area holds still, and the box is drawn once.
void ChildPeer::UpdateScrollBars() {
  if (!hwnd_ || settingBars_) return;
  settingBars_ = true;
  int right = 0, bottom = 0;
  for (HWND c = ::GetWindow(hwnd_, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
    if (!::IsWindowVisible(c)) continue;
    RECT r;
    ::GetWindowRect(c, &r);
    ::MapWindowPoints(HWND_DESKTOP, hwnd_, reinterpret_cast<POINT*>(&r), 2);
    right = std::max<int>(right, r.right + scrollX_);
    bottom = std::max<int>(bottom, r.bottom + scrollY_);
  }
  RECT client;
  ::GetClientRect(hwnd_, &client);
  for (int pass = 0; pass < 3; ++pass) {
    for (int bar : {SB_HORZ, SB_VERT}) {
      SCROLLINFO si;
      si.cbSize = sizeof si;
      si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
      si.nMin = 0;
      si.nMax = (bar == SB_HORZ ? right : bottom) - 1;
      si.nPage = static_cast<UINT>(bar == SB_HORZ ? client.right : client.bottom);
      si.nPos = bar == SB_HORZ ? scrollX_ : scrollY_;
      ::SetScrollInfo(hwnd_, bar, &si, FALSE);
    }
    RECT now;
    ::GetClientRect(hwnd_, &now);
    const bool still = now.right == client.right && now.bottom == client.bottom;
    client = now;
    if (still) break;
  }
  // A larger area needs less scrolling: the content follows the position the
  // bars were left at.
  int dx = 0, dy = 0;
  for (int bar : {SB_HORZ, SB_VERT}) {
    int& current = bar == SB_HORZ ? scrollX_ : scrollY_;
    const int extent = bar == SB_HORZ ? right : bottom;
    const int page = bar == SB_HORZ ? client.right : client.bottom;
    const int pos = std::max(0, std::min(current, extent - page));
    (bar == SB_HORZ ? dx : dy) = current - pos;
    current = pos;
    ::SetScrollPos(hwnd_, bar, pos, FALSE);
  }
  if (dx || dy) ::ScrollWindowEx(hwnd_, dx, dy, nullptr, nullptr, nullptr, nullptr, SW_SCROLLCHILDREN);
  settingBars_ = false;
  ::RedrawWindow(hwnd_, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE);
}

void ChildPeer::Scroll(int bar, int code, int track) {
  SCROLLINFO si;
  si.cbSize = sizeof si;
  si.fMask = SIF_ALL;
  ::GetScrollInfo(hwnd_, bar, &si);
  int pos = si.nPos;
  int line = 16, page = static_cast<int>(si.nPage);
  switch (code) {
    case SB_LINEUP: pos -= line; break;
    case SB_LINEDOWN: pos += line; break;
    case SB_PAGEUP: pos -= page; break;
    case SB_PAGEDOWN: pos += page; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: pos = track; break;
    case SB_TOP: pos = si.nMin; break;
    case SB_BOTTOM: pos = si.nMax; break;
    default: return;
  }
  int maxPos = std::max(0, si.nMax - static_cast<int>(si.nPage) + 1);
  pos = std::max(0, std::min(pos, maxPos));
  int& current = bar == SB_HORZ ? scrollX_ : scrollY_;
  if (pos == current) return;
  int delta = current - pos;
  current = pos;
  ::SetScrollPos(hwnd_, bar, pos, TRUE);
  ::ScrollWindowEx(hwnd_, bar == SB_HORZ ? delta : 0, bar == SB_VERT ? delta : 0, nullptr, nullptr,
                   nullptr, nullptr, SW_SCROLLCHILDREN | SW_INVALIDATE | SW_ERASE);
}

LRESULT CALLBACK ChildPeer::ScrollBoxProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = dynamic_cast<ChildPeer*>(Win32Peer::FromHwnd(h));
  switch (msg) {
    case WM_HSCROLL:
    case WM_VSCROLL:
      if (self) {
        SCROLLINFO si;
        si.cbSize = sizeof si;
        si.fMask = SIF_TRACKPOS;
        int bar = msg == WM_HSCROLL ? SB_HORZ : SB_VERT;
        ::GetScrollInfo(h, bar, &si);
        self->Scroll(bar, LOWORD(wp), si.nTrackPos);
      }
      return 0;
    case WM_MOUSEWHEEL:
      if (self) self->Scroll(SB_VERT, GET_WHEEL_DELTA_WPARAM(wp) > 0 ? SB_LINEUP : SB_LINEDOWN, 0);
      return 0;
    case WM_SIZE:
      if (self) self->UpdateScrollBars();
      break;
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_DROPFILES:
      // The form handles its controls' notifications, wherever they lie.
      return winapi::SendMessageW(winapi::GetAncestor(h, GA_ROOT), msg, wp, lp);
    default:
      break;
  }
  return winapi::DefWindowProcW(h, msg, wp, lp);
}

}  // namespace win32
}  // namespace tk
