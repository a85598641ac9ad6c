// The win32 peers of forms: style, placement, showing, the menu bar and the
// form's own message handling.
#include "toolkit/win32/win32_peers.h"

#include <algorithm>
#include <cstring>

namespace tk {
namespace win32 {

// ---------------------------------------------------------------- FormPeer
FormPeer::FormPeer(Form& f) : Win32Peer(f) {
  HWND owner = ApplicationWindow();
  if (Form* of = OwnerForm(f.Owner()))
    if (HWND h = reinterpret_cast<HWND>(of->Handle())) owner = h;
  const Rect& r = f.Bounds();
  HWND h = winapi::CreateWindowExW(0, kFormClass, Widen(f.Caption()).c_str(),
                             WS_OVERLAPPEDWINDOW, r.left, r.top, r.width,
                             r.height, owner, nullptr, Instance(), nullptr);
  Attach(h);
}

FormPeer::~FormPeer() {
  if (BackendAlive()) FormGone(this);
  // No message may reach the form from here on: it is being destroyed.
  Detach();
  if (hwnd_) ::SetMenu(hwnd_, nullptr);
  DestroyNative();
  if (bar_) ::DestroyMenu(bar_);
}

void FormPeer::ApplyStyle() {
  Form& f = form();
  DWORD style = 0, ex = 0;
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
  if (syncing_) return;
  Place(r);
}

void FormPeer::Place(const Rect& r) {
  ApplyStyle();
  Form& f = form();
  int w = r.width, h = r.height;
  bool sameAsReported = haveReported_ && r.width == reported_.width && r.height == reported_.height;
  int dx, dy;
  Form::FrameSize(f.Border, f.GetMenu() != nullptr, dx, dy);
  if (!sameAsReported && r.width == f.ClientWidth() + dx && r.height == f.ClientHeight() + dy) {
    // The size follows from the client size: use the real frame of this
    // window so the client area is exactly the one asked for.
    RECT rc = {0, 0, f.ClientWidth(), f.ClientHeight()};
    DWORD style = static_cast<DWORD>(winapi::GetWindowLongPtrW(hwnd_, GWL_STYLE));
    DWORD ex = static_cast<DWORD>(winapi::GetWindowLongPtrW(hwnd_, GWL_EXSTYLE));
    if (::AdjustWindowRectEx(&rc, style, bar_ != nullptr, ex)) {
      w = rc.right - rc.left;
      h = rc.bottom - rc.top;
    }
  }
  syncing_ = true;
  if (::IsZoomed(hwnd_) || ::IsIconic(hwnd_)) {
    WINDOWPLACEMENT wp;
    wp.length = sizeof wp;
    ::GetWindowPlacement(hwnd_, &wp);
    wp.rcNormalPosition = RECT{r.left, r.top, r.left + w, r.top + h};
    ::SetWindowPlacement(hwnd_, &wp);
  } else {
    ::SetWindowPos(hwnd_, nullptr, r.left, r.top, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  syncing_ = false;
  ReportBounds(true);
}

void FormPeer::ReportBounds(bool keepClient) {
  if (syncing_ || ::IsIconic(hwnd_)) return;
  RECT rc;
  if (!::GetWindowRect(hwnd_, &rc)) return;
  Form& f = form();
  WindowState state = ::IsZoomed(hwnd_) ? WindowState::Maximized : WindowState::Normal;
  syncing_ = true;
  if (keepClient && state == WindowState::Normal)
    f.SetBounds(Rect{rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top});
  f.PeerMoved(rc.left, rc.top);
  if (state == WindowState::Normal) {
    reported_ = Rect{rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top};
    haveReported_ = true;
  }
  f.PeerResized(rc.right - rc.left, rc.bottom - rc.top, state);
  syncing_ = false;
}

void FormPeer::SetVisible(bool on) {
  if (on) {
    if (restack_) RestackContainers();
    if (menuDirty_) {
      menuDirty_ = false;
      RebuildMenu();
    }
    ApplyStyle();
    for (Control* c : form().Controls())
      if (auto* p = dynamic_cast<Win32Peer*>(c->Peer())) p->Sync();
    int cmd = SW_SHOW;
    switch (form().GetWindowState()) {
      case WindowState::Maximized: cmd = SW_SHOWMAXIMIZED; break;
      case WindowState::Minimized: cmd = SW_SHOWMINIMIZED; break;
      default: break;
    }
    ::ShowWindow(hwnd_, cmd);
    if (form().StayOnTop)
      ::SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::UpdateWindow(hwnd_);
  } else {
    ::ShowWindow(hwnd_, SW_HIDE);
  }
}

void FormPeer::SetStyleFlags(unsigned flags) {
  if (flags == kApplyFormStyle) {
    ApplyStyle();
    return;
  }
  if (!(flags & 0x100u)) return;
  if (!::IsWindowVisible(hwnd_)) return;  // applied when shown
  switch (static_cast<WindowState>(flags & 0xFFu)) {
    case WindowState::Maximized: ::ShowWindow(hwnd_, SW_MAXIMIZE); break;
    case WindowState::Minimized: ::ShowWindow(hwnd_, SW_MINIMIZE); break;
    default: ::ShowWindow(hwnd_, SW_RESTORE); break;
  }
}

void FormPeer::SetMenu(Menu* menu) {
  bool had = bar_ != nullptr;
  menu_ = menu;
  RebuildMenu();
  // A menu bar added or removed keeps the client size: the window grows or
  // shrinks around it.
  Form& f = form();
  if (had != (bar_ != nullptr) && f.ClientWidth() > 0 && f.ClientHeight() > 0) FitClient();
}

void FormPeer::FitClient() {
  Form& f = form();
  RECT rc = {0, 0, f.ClientWidth(), f.ClientHeight()};
  DWORD style = static_cast<DWORD>(winapi::GetWindowLongPtrW(hwnd_, GWL_STYLE));
  DWORD ex = static_cast<DWORD>(winapi::GetWindowLongPtrW(hwnd_, GWL_EXSTYLE));
  if (!::AdjustWindowRectEx(&rc, style, bar_ != nullptr, ex)) return;
  if (::IsZoomed(hwnd_) || ::IsIconic(hwnd_)) return;
  syncing_ = true;
  ::SetWindowPos(hwnd_, nullptr, 0, 0, rc.right - rc.left, rc.bottom - rc.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  syncing_ = false;
  ReportBounds(true);
}

void FormPeer::RebuildMenu() {
  menuDirty_ = false;
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
          syncing_ = true;
          f.PeerResized(rc.right - rc.left, rc.bottom - rc.top, WindowState::Minimized);
          syncing_ = false;
        } else {
          ReportBounds(false);
        }
      }
      return 0;
    case WM_GETMINMAXINFO: {
      auto* mmi = reinterpret_cast<MINMAXINFO*>(lp);
      if (f.MinWidth > 0) mmi->ptMinTrackSize.x = f.MinWidth;
      if (f.MinHeight > 0) mmi->ptMinTrackSize.y = f.MinHeight;
      if (f.MaxWidth > 0) mmi->ptMaxTrackSize.x = f.MaxWidth;
      if (f.MaxHeight > 0) mmi->ptMaxTrackSize.y = f.MaxHeight;
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
      HCURSOR c = CursorFor(Application::Instance().Cursor());
      if (c) {
        ::SetCursor(c);
        return TRUE;
      }
      break;
    }
    case WM_MOUSEMOVE: {
      // Over the form itself, or over a control that lets the mouse through
      // (frames and panels).
      POINT pt = {static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
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
