// ActiveX hosting for the win32 backend: the system's WebBrowser control
// (IWebBrowser2) in a child window of a form, with the site interfaces it
// needs (IOleClientSite, IOleInPlaceSite, IOleInPlaceFrame) and a sink for
// its DWebBrowserEvents2.
#pragma once

#include <windows.h>

#include "winapi/winapi.h"

#include <memory>

#include "toolkit/toolkit.h"

namespace tk {

// The peer of a web-browser control. Where the control cannot be made (no
// browser engine, no OLE), the peer is an empty child window whose commands
// do nothing.
std::unique_ptr<ControlPeer> CreateWebBrowserPeer(WebBrowser& control, HWND parent,
                                                  HINSTANCE instance);

}  // namespace tk
