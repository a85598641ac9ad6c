// The win32 peers of forms: style, placement, showing, the menu bar and the
// form's own message handling.
#include "toolkit/win32/win32_peers.h"

#include <algorithm>
#include <cstring>

namespace tk {
namespace win32 {

// ---------------------------------------------------------------- FormPeer
// The window waits until it is first needed: its handle asked for (the
// toolkit asks once the form's constructor is over), the form shown, or its
// controls' windows made. It is then made with the style, menu bar, caption
// and size the form has by then, in one call: no frame is computed again for
// each of them.
FormPeer::FormPeer(Form& f) : Win32Peer(f) {}

HWND FormPeer::Window() {
  if (hwnd_ || making_) return hwnd_;
  making_ = true;
  Form& f = form();
  HWND owner = ApplicationWindow();
  if (Form* of = OwnerForm(f.Owner()))
    if (HWND h = reinterpret_cast<HWND>(of->Handle())) owner = h;
  DWORD style = 0, ex = 0;
  StyleFor(style, ex);
  menuDirty_ = false;
  if (menu_) bar_ = BuildMenu(menu_->Items(), false);
  const Rect r = f.Bounds();
  const RECT at = ToScreen(r);
  int w = at.right - at.left, h = at.bottom - at.top;
  if (FromClientSize(r)) OuterForClient(style, ex, w, h);
  HWND made = winapi::CreateWindowExW(ex, kFormClass, Widen(f.Caption()).c_str(), style, at.left, at.top,
                                      w, h, owner, bar_, Instance(), nullptr);
  Attach(made);
  making_ = false;
  if (!made) return nullptr;
  // Made on a monitor of another DPI than the system's: its own from now on,
  // and its size again at that DPI.
  const Dpi dpi = WindowDpi(made);
  if (dpi.value != dpi_.value) {
    dpi_ = dpi;
    Place(r);
  } else {
    ReportBounds(true);
  }
  return hwnd_;
}

bool FormPeer::FromClientSize(const Rect& r) const {
  const Form& f = static_cast<const Form&>(control_);
  if (haveReported_ && r.width == reported_.width && r.height == reported_.height) return false;
  int dx, dy;
  Form::FrameSize(f.Border, f.GetMenu() != nullptr, dx, dy);
  return r.width == f.ClientWidth() + dx && r.height == f.ClientHeight() + dy;
}

RECT FormPeer::ToScreen(const Rect& r) const {
  const Dpi sys = PlaceDpi();
  const int l = sys.Px(r.left), t = sys.Px(r.top);
  return RECT{l, t, l + dpi().Px(r.width), t + dpi().Px(r.height)};
}

Rect FormPeer::FromScreen(const RECT& rc) const {
  const Dpi sys = PlaceDpi();
  return Rect{sys.Layout(rc.left), sys.Layout(rc.top), dpi().Layout(rc.right - rc.left),
              dpi().Layout(rc.bottom - rc.top)};
}

void FormPeer::DpiChanged(int dpi, const RECT& suggested) {
  if (dpi <= 0) return;
  dpi_ = Dpi{dpi};
  // A pixel-exact form stays where it was put, in the monitors' pixels.
  if (PixelExact()) return;
  // The caption's and the taskbar's icons at the monitor's DPI.
  winapi::SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(ProgramIcon(dpi_.Px(16))));
  winapi::SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(ProgramIcon(dpi_.Px(32))));
  for (Control* c : form().Controls()) {
    if (ControlPeer* p = c->Peer()) {
      p->SetFont(c->GetFont());
      p->SetBounds(c->Bounds());
    }
  }
  syncing_ = true;
  ::SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  syncing_ = false;
  ReportBounds(true);
  ::InvalidateRect(hwnd_, nullptr, TRUE);
}

FormPeer::~FormPeer() {
  if (BackendAlive()) FormGone(this);
  // No message may reach the form from here on: it is being destroyed.
  Detach();
  if (hwnd_) ::SetMenu(hwnd_, nullptr);
  DestroyNative();
  if (bar_) ::DestroyMenu(bar_);
}

void FormPeer::StyleFor(DWORD& style, DWORD& ex) {
  Form& f = form();
  style = 0;
  ex = 0;
  switch (f.Border) {
    case BorderStyle::Single: style = WS_CAPTION | WS_BORDER; break;  // not resizable
    case BorderStyle::Dialog: style = WS_CAPTION | DS_MODALFRAME; ex = WS_EX_DLGMODALFRAME; break;
    case BorderStyle::None: style = WS_POPUP; break;
    case BorderStyle::Sizeable: style = WS_OVERLAPPED | WS_CAPTION | WS_THICKFRAME; break;
  }
  if (f.Border != BorderStyle::None) {
    if (f.Icons.systemMenu) style |= WS_SYSMENU;
    if (f.Icons.minimize && f.Border != BorderStyle::Dialog) style |= WS_MINIMIZEBOX;
    if (f.Icons.maximize && f.Border != BorderStyle::Dialog) style |= WS_MAXIMIZEBOX;
  }
  if (f.AppWindow) ex |= WS_EX_APPWINDOW;
  if (!hwnd_ && !f.Enabled()) style |= WS_DISABLED;  // a window made now keeps the form's state
}

void FormPeer::ApplyStyle() {
  if (!hwnd_) return;  // made with it
  DWORD style = 0, ex = 0;
  StyleFor(style, ex);
  LONG_PTR cur = winapi::GetWindowLongPtrW(hwnd_, GWL_STYLE);
  // WS_CLIPSIBLINGS is the system's own on every top-level window.
  LONG_PTR keep = cur & (WS_VISIBLE | WS_DISABLED | WS_MINIMIZE | WS_MAXIMIZE | WS_CLIPSIBLINGS);
  LONG_PTR next = keep | style;
  LONG_PTR curEx = winapi::GetWindowLongPtrW(hwnd_, GWL_EXSTYLE);
  LONG_PTR nextEx = (curEx & ~(WS_EX_APPWINDOW | WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE)) | ex;
  // The system adds WS_EX_WINDOWEDGE itself to every window with a caption
  // or a dialog frame: it says nothing about a change of style, and comparing
  // it would recompute the frame on every call.
  if (next == cur && (nextEx & ~WS_EX_WINDOWEDGE) == (curEx & ~WS_EX_WINDOWEDGE)) return;
  winapi::SetWindowLongPtrW(hwnd_, GWL_STYLE, next);
  winapi::SetWindowLongPtrW(hwnd_, GWL_EXSTYLE, nextEx);
  syncing_ = true;
  ::SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  syncing_ = false;
}

void FormPeer::SetBounds(const Rect& r) {
  if (syncing_ || !hwnd_) return;  // a window still to be made takes them then
  Place(r);
}

void FormPeer::Place(const Rect& r) {
  ApplyStyle();
  const RECT at = ToScreen(r);
  int w = at.right - at.left, h = at.bottom - at.top;
  // The size follows from the client size: use the real frame of this
  // window so the client area is exactly the one asked for.
  if (FromClientSize(r)) OuterForClient(w, h);
  syncing_ = true;
  if (::IsZoomed(hwnd_) || ::IsIconic(hwnd_)) {
    WINDOWPLACEMENT wp;
    wp.length = sizeof wp;
    ::GetWindowPlacement(hwnd_, &wp);
    wp.rcNormalPosition = RECT{at.left, at.top, at.left + w, at.top + h};
    ::SetWindowPlacement(hwnd_, &wp);
  } else {
    ::SetWindowPos(hwnd_, nullptr, at.left, at.top, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  syncing_ = false;
  ReportBounds(true);
}

void FormPeer::ReportBounds(bool keepClient) {
  if (syncing_ || ::IsIconic(hwnd_)) return;
  RECT rc;
  if (!::GetWindowRect(hwnd_, &rc)) return;
  Form& f = form();
  const WindowState asked = f.GetWindowState();
  WindowState state = ::IsZoomed(hwnd_) ? WindowState::Maximized : WindowState::Normal;
  const Rect at = FromScreen(rc);
  syncing_ = true;
  if (keepClient && state == WindowState::Normal) f.SetBounds(at);
  f.PeerMoved(at.left, at.top);
  if (state == WindowState::Normal) {
    reported_ = at;
    haveReported_ = true;
  }
  RECT client{};
  if (::GetClientRect(hwnd_, &client))
    f.PeerResized(at.width, at.height, state, dpi().Layout(client.right), dpi().Layout(client.bottom));
  else
    f.PeerResized(at.width, at.height, state);
  syncing_ = false;
  // A window not shown yet is in its normal state until it is: the form's
  // own state (maximised, say) is the one it is shown in.
  if (!::IsWindowVisible(hwnd_) && f.GetWindowState() != asked) f.SetWindowState(asked);
}

void FormPeer::MakeWaitingWindows() {
  if (!Window()) return;
  // Each window made may ask for others (a scroll box for its content).
  while (!waiting_.empty()) {
    ChildPeer* next = waiting_.front();
    waiting_.erase(waiting_.begin());
    next->MakeWindow();
  }
}

void FormPeer::SetVisible(bool on) {
  if (!on && !hwnd_) return;  // never made: nothing shows
  if (on) {
    MakeWaitingWindows();
    if (restack_) RestackContainers();
    if (menuDirty_) {
      menuDirty_ = false;
      RebuildMenu();
    }
    ApplyStyle();
    for (Control* c : form().Controls())
      if (auto* p = dynamic_cast<Win32Peer*>(c->Peer())) p->Sync();
    auto& app = Application::Instance();
    app.Phase("synced");
    int cmd = SW_SHOW;
    switch (form().GetWindowState()) {
      case WindowState::Maximized: cmd = SW_SHOWMAXIMIZED; break;
      case WindowState::Minimized: cmd = SW_SHOWMINIMIZED; break;
      default: break;
    }
    ::ShowWindow(hwnd_, cmd);
    app.Phase("shown");
    if (form().StayOnTop)
      ::SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::UpdateWindow(hwnd_);
    app.Phase("updated");
  } else {
    ::ShowWindow(hwnd_, SW_HIDE);
  }
}

void FormPeer::SetWindowState(WindowState state) {
  // Made with its state, or applied when shown.
  if (!hwnd_ || !::IsWindowVisible(hwnd_)) return;
  switch (state) {
    case WindowState::Maximized: ::ShowWindow(hwnd_, SW_MAXIMIZE); break;
    case WindowState::Minimized: ::ShowWindow(hwnd_, SW_MINIMIZE); break;
    default: ::ShowWindow(hwnd_, SW_RESTORE); break;
  }
}

void FormPeer::SetMenu(Menu* menu) {
  bool had = bar_ != nullptr;
  menu_ = menu;
  if (!hwnd_) return;  // made with its bar
  RebuildMenu();
  // A menu bar added or removed keeps the client size: the window grows or
  // shrinks around it.
  Form& f = form();
  if (had != (bar_ != nullptr) && f.ClientWidth() > 0 && f.ClientHeight() > 0) FitClient();
}

bool FormPeer::OuterForClient(int& width, int& height) const {
  return OuterForClient(static_cast<DWORD>(winapi::GetWindowLongPtrW(hwnd_, GWL_STYLE)),
                        static_cast<DWORD>(winapi::GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)), width, height);
}

bool FormPeer::OuterForClient(DWORD style, DWORD ex, int& width, int& height) const {
  const Form& f = static_cast<const Form&>(control_);
  RECT rc = {0, 0, dpi().Px(f.ClientWidth()), dpi().Px(f.ClientHeight())};
  // The frame at the window's own DPI (Windows 10 1607 on); the system's
  // metrics before, which are the window's there.
  using AdjustForDpi = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
  static const auto adjustForDpi = reinterpret_cast<AdjustForDpi>(
      reinterpret_cast<void*>(winapi::Lookup("user32.dll", "AdjustWindowRectExForDpi")));
  const BOOL menu = bar_ != nullptr;
  const BOOL adjusted = adjustForDpi ? adjustForDpi(&rc, style, menu, ex, static_cast<UINT>(dpi().value))
                                     : ::AdjustWindowRectEx(&rc, style, menu, ex);
  if (!adjusted) return false;
  width = rc.right - rc.left;
  height = rc.bottom - rc.top;
  return true;
}

void FormPeer::FitClient() {
  int w = 0, h = 0;
  if (!OuterForClient(w, h)) return;
  if (::IsZoomed(hwnd_) || ::IsIconic(hwnd_)) return;
  syncing_ = true;
  ::SetWindowPos(hwnd_, nullptr, 0, 0, w, h, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  syncing_ = false;
  ReportBounds(true);
}

void FormPeer::RebuildMenu() {
  menuDirty_ = false;
  if (!hwnd_) return;  // made with its bar
  if (bar_ && menu_) {
    // The bar stays attached and is refilled: only its items are redrawn,
    // without the frame change that attaching a new bar costs.
    while (::GetMenuItemCount(bar_) > 0)
      if (!::DeleteMenu(bar_, 0, MF_BYPOSITION)) break;
    FillMenu(bar_, menu_->Items());
    ::DrawMenuBar(hwnd_);
    return;
  }
  HMENU old = bar_;
  bar_ = menu_ ? BuildMenu(menu_->Items(), false) : nullptr;
  ::SetMenu(hwnd_, bar_);  // recomputes the frame and redraws the bar
  if (old) ::DestroyMenu(old);
}

LRESULT FormPeer::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  HWND self = hwnd_;
  Form& f = form();
  switch (msg) {
    case WM_COMMAND: {
      HWND child = reinterpret_cast<HWND>(lp);
      if (child) {
        auto* p = dynamic_cast<ChildPeer*>(Win32Peer::FromHwnd(child));
        if (p && winapi::GetAncestor(child, GA_ROOT) == self) p->Command(HIWORD(wp));
        return 0;
      }
      if (HIWORD(wp) == 0 && menu_) {
        if (MenuItem* item = menu_->FindCommand(LOWORD(wp))) item->Click();
        return 0;
      }
      break;
    }
    case WM_SHOWWINDOW:
      // Shown by any way: its controls' windows are there first.
      if (wp) MakeWaitingWindows();
      break;
    case WM_CLOSE:
      f.PeerCloseRequested();
      return 0;
    case WM_NOTIFY: {
      auto* hdr = reinterpret_cast<NMHDR*>(lp);
      if (auto* p = dynamic_cast<ChildPeer*>(Win32Peer::FromHwnd(hdr->hwndFrom))) p->Notify(hdr->code);
      break;
    }
    case WM_ACTIVATE:
      if (LOWORD(wp) != WA_INACTIVE) {
        f.PeerActivated();
        if (!::IsWindow(self) || Win32Peer::FromHwnd(self) != this) return 0;
      }
      break;
    case WM_CHAR:
      f.PeerKeyPress(static_cast<unsigned>(wp));
      return 0;
    case WM_LBUTTONUP:
      if (f.OnClick) {
        f.PeerClicked();
        return 0;
      }
      break;
    case WM_MOVE:
    case WM_SIZE:
      if (!syncing_) {
        if (msg == WM_SIZE && wp == SIZE_MINIMIZED) {
          RECT rc;
          ::GetWindowRect(self, &rc);
          const Rect at = FromScreen(rc);
          syncing_ = true;
          f.PeerResized(at.width, at.height, WindowState::Minimized);
          syncing_ = false;
        } else {
          ReportBounds(false);
        }
      }
      return 0;
    case WM_GETMINMAXINFO: {
      auto* mmi = reinterpret_cast<MINMAXINFO*>(lp);
      if (f.MinWidth > 0) mmi->ptMinTrackSize.x = dpi().Px(f.MinWidth);
      if (f.MinHeight > 0) mmi->ptMinTrackSize.y = dpi().Px(f.MinHeight);
      if (f.MaxWidth > 0) mmi->ptMaxTrackSize.x = dpi().Px(f.MaxWidth);
      if (f.MaxHeight > 0) mmi->ptMaxTrackSize.y = dpi().Px(f.MaxHeight);
      return 0;
    }
    case 0x02E0: {  // WM_DPICHANGED: the new DPI and the rectangle the system suggests
      if (const auto* suggested = reinterpret_cast<const RECT*>(lp))
        DpiChanged(static_cast<int>(HIWORD(wp)), *suggested);
      return 0;
    }
    case WM_ERASEBKGND: {
      RECT rc;
      ::GetClientRect(self, &rc);
      ::FillRect(reinterpret_cast<HDC>(wp), &rc, BrushFor(ToColorRef(f.GetColor())));
      return 1;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX: {
      HDC dc = reinterpret_cast<HDC>(wp);
      auto* p = Win32Peer::FromHwnd(reinterpret_cast<HWND>(lp));
      if (!p) break;
      // A read-only edit asks with WM_CTLCOLORSTATIC; it keeps the colour
      // it was given.
      Control& c = p->control();
      COLORREF bk = ToColorRef(c.PaintedBackground());
      ::SetTextColor(dc, ToColorRef(c.GetFont().color));
      ::SetBkColor(dc, bk);
      return reinterpret_cast<LRESULT>(BrushFor(bk));
    }
    case WM_SETCURSOR: {
      HWND over = reinterpret_cast<HWND>(wp);
      if (HIWORD(lp) == WM_MOUSEMOVE && over != self) {
        auto* p = Win32Peer::FromHwnd(over);
        if (p && ::GetParent(over) == self) {
          p->control().PeerMouseMove();
          if (!::IsWindow(self) || Win32Peer::FromHwnd(self) != this) return TRUE;
        }
      }
      // The program's cursor while it has one (the hourglass), else the form's own.
      const int cursor = Application::Instance().Cursor();
      HCURSOR c = CursorFor(cursor != crDefault ? cursor : f.Cursor);
      if (c) {
        ::SetCursor(c);
        return TRUE;
      }
      break;
    }
    case WM_MOUSEMOVE: {
      // Over the form itself, or over a control that lets the mouse through
      // (frames and panels).
      POINT pt = {dpi().Layout(static_cast<short>(LOWORD(lp))), dpi().Layout(static_cast<short>(HIWORD(lp)))};
      Control* hit = nullptr;
      const auto& list = f.Controls();
      for (auto it = list.rbegin(); it != list.rend(); ++it) {
        const Rect& r = (*it)->Bounds();
        if ((*it)->Visible() && pt.x >= r.left && pt.y >= r.top && pt.x < r.left + r.width &&
            pt.y < r.top + r.height) {
          hit = *it;
          break;
        }
      }
      if (hit) hit->PeerMouseMove();
      else f.PeerMouseMove();
      return 0;
    }
    case DM_GETDEFID:
      for (Control* c : f.Controls())
        if (auto* b = dynamic_cast<Button*>(c); b && b->Default && b->Enabled() && b->Visible()) {
          const auto& list = f.Controls();
          int id = static_cast<int>(std::find(list.begin(), list.end(), c) - list.begin());
          return MAKELRESULT(id, DC_HASDEFID);
        }
      return 0;
    default:
      break;
  }
  return winapi::DefWindowProcW(self, msg, wp, lp);
}

}  // namespace win32
}  // namespace tk
