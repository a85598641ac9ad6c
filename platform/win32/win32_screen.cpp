// The clipboard's bitmaps, the screen's pixels and the monitors, on Win32.
#include "platform/win32/win32_screen.h"

#include <cstring>
#include <cwchar>
#include <vector>

#include "winapi/winapi.h"

namespace platform {
namespace win32 {

namespace {

// GDI objects and device contexts released when they go out of scope.
class ScreenDc {
 public:
  ScreenDc() : dc_(::GetDC(nullptr)) {}
  ~ScreenDc() {
    if (dc_) ::ReleaseDC(nullptr, dc_);
  }
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

class MemoryDc {
 public:
  explicit MemoryDc(HDC compatible) : dc_(::CreateCompatibleDC(compatible)) {}
  ~MemoryDc() {
    if (dc_) ::DeleteDC(dc_);
  }
  MemoryDc(const MemoryDc&) = delete;
  MemoryDc& operator=(const MemoryDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

class GdiObject {
 public:
  explicit GdiObject(HGDIOBJ h) : h_(h) {}
  ~GdiObject() {
    if (h_) ::DeleteObject(h_);
  }
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;
  HGDIOBJ get() const { return h_; }

 private:
  HGDIOBJ h_;
};

// An object selected into a device context until the end of the scope.
class Selection {
 public:
  Selection(HDC dc, HGDIOBJ object) : dc_(dc), old_(::SelectObject(dc, object)) {}
  ~Selection() {
    if (old_) ::SelectObject(dc_, old_);
  }
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

}  // namespace

// A bitmap handle's pixels as 24-bit rows from the top.
bool PixelsOf(HBITMAP bmp, Bitmap& out) {
  BITMAP info;
  if (!winapi::GetObjectW(bmp, sizeof info, &info) || info.bmWidth <= 0 || info.bmHeight == 0) return false;
  int w = info.bmWidth, h = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
  BITMAPINFO bi;
  std::memset(&bi, 0, sizeof bi);
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  bi.bmiHeader.biCompression = BI_RGB;
  size_t stride = (static_cast<size_t>(w) * 3 + 3) & ~size_t{3};
  std::vector<std::uint8_t> rows(stride * static_cast<size_t>(h));
  int got;
  {
    ScreenDc dc;
    got = ::GetDIBits(dc.get(), bmp, 0, static_cast<UINT>(h), rows.data(), &bi, DIB_RGB_COLORS);
  }
  if (got != h) return false;
  out.width = w;
  out.height = h;
  out.bgr.resize(static_cast<size_t>(w) * 3 * static_cast<size_t>(h));
  for (int y = 0; y < h; ++y)
    std::memcpy(&out.bgr[static_cast<size_t>(y) * w * 3], &rows[stride * static_cast<size_t>(y)],
                static_cast<size_t>(w) * 3);
  return true;
}


std::uint32_t ClipboardSequenceNumber() {
  using Sequence = DWORD(WINAPI*)();
  static auto f = reinterpret_cast<Sequence>(reinterpret_cast<void*>(
      ::GetProcAddress(winapi::GetModuleHandleW(L"user32.dll"), "GetClipboardSequenceNumber")));
  return f ? f() : 0;
}

namespace {
// Bytes in movable global memory, as the clipboard takes them (null when
// there is no memory).
HGLOBAL GlobalCopy(const std::string& bytes) {
  HGLOBAL mem = ::GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  if (!mem) return nullptr;
  void* p = ::GlobalLock(mem);
  if (!p) {
    ::GlobalFree(mem);
    return nullptr;
  }
  std::memcpy(p, bytes.data(), bytes.size());
  ::GlobalUnlock(mem);
  return mem;
}

UINT PngFormat() {
  static const UINT format = winapi::RegisterClipboardFormatW(L"PNG");
  return format;
}
}  // namespace

bool SetClipboardPicture(HWND owner, const std::string& dib, const std::string& png) {
  if (dib.empty()) return false;
  HGLOBAL mem = GlobalCopy(dib);
  if (!mem) return false;
  if (!::OpenClipboard(owner)) {
    ::GlobalFree(mem);
    return false;
  }
  ::EmptyClipboard();
  bool ok = ::SetClipboardData(CF_DIB, mem) != nullptr;
  if (!ok) ::GlobalFree(mem);
  // The PNG goes with it where it can; the bitmap alone is still a picture.
  if (ok && !png.empty() && PngFormat() != 0) {
    if (HGLOBAL pngMem = GlobalCopy(png))
      if (!::SetClipboardData(PngFormat(), pngMem)) ::GlobalFree(pngMem);
  }
  ::CloseClipboard();
  return ok;
}

bool GetClipboardPng(std::string& png) {
  if (PngFormat() == 0 || !::OpenClipboard(nullptr)) return false;
  struct Close {
    ~Close() { ::CloseClipboard(); }
  } close;
  HANDLE mem = ::GetClipboardData(PngFormat());
  if (!mem) return false;
  const void* p = ::GlobalLock(mem);
  if (!p) return false;
  png.assign(static_cast<const char*>(p), ::GlobalSize(mem));
  ::GlobalUnlock(mem);
  return true;
}

bool GetClipboardDib(std::string& dib) {
  if (!::OpenClipboard(nullptr)) return false;
  // Closed and unlocked on every way out, a failed allocation included.
  struct Close {
    ~Close() { ::CloseClipboard(); }
  } close;
  HANDLE mem = ::GetClipboardData(CF_DIB);
  if (!mem) mem = ::GetClipboardData(CF_DIBV5);
  if (!mem) return false;
  const void* p = ::GlobalLock(mem);
  if (!p) return false;
  struct Unlock {
    HANDLE h;
    ~Unlock() { ::GlobalUnlock(h); }
  } unlock{mem};
  dib.assign(static_cast<const char*>(p), ::GlobalSize(mem));
  return true;
}

std::array<int, 4> VirtualScreen() {
  // 95 and NT 4 know one screen: their answers for the virtual screen are 0.
  int w = ::GetSystemMetrics(SM_CXVIRTUALSCREEN), h = ::GetSystemMetrics(SM_CYVIRTUALSCREEN);
  if (w <= 0 || h <= 0) return {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  int x = ::GetSystemMetrics(SM_XVIRTUALSCREEN), y = ::GetSystemMetrics(SM_YVIRTUALSCREEN);
  return {x, y, x + w, y + h};
}

namespace {
// GetMonitorInfo's record; the calls are 98/2000 and later.
struct MonitorInfo {
  DWORD cbSize;
  RECT rcMonitor, rcWork;
  DWORD dwFlags;
};

template <class F>
F UserCall(const char* name) {
  return reinterpret_cast<F>(
      reinterpret_cast<void*>(::GetProcAddress(winapi::GetModuleHandleW(L"user32.dll"), name)));
}

bool InfoOf(HANDLE monitor, MonitorInfo& info) {
  using GetInfo = BOOL(WINAPI*)(HANDLE, MonitorInfo*);
  static const auto getInfo = UserCall<GetInfo>("GetMonitorInfoA");
  info = MonitorInfo{};
  info.cbSize = sizeof info;
  return monitor && getInfo && getInfo(monitor, &info);
}

std::array<int, 4> Corners(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }
}  // namespace

std::array<int, 4> MonitorAt(Point point) {
  std::array<int, 4> primary{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  using FromPoint = HANDLE(WINAPI*)(POINT, DWORD);
  static const auto fromPoint = UserCall<FromPoint>("MonitorFromPoint");
  MonitorInfo info;
  if (!fromPoint || !InfoOf(fromPoint(POINT{point.x, point.y}, 1 /* MONITOR_DEFAULTTOPRIMARY */), info))
    return primary;
  return Corners(info.rcMonitor);
}

std::array<int, 4> WorkAreaNear(const std::array<int, 4>& rect) {
  using FromRect = HANDLE(WINAPI*)(const RECT*, DWORD);
  static const auto fromRect = UserCall<FromRect>("MonitorFromRect");
  const RECT r{rect[0], rect[1], rect[2], rect[3]};
  MonitorInfo info;
  if (fromRect && InfoOf(fromRect(&r, 2 /* MONITOR_DEFAULTTONEAREST */), info)) return Corners(info.rcWork);
  RECT work{};
  if (winapi::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0) && work.right > work.left &&
      work.bottom > work.top)
    return Corners(work);
  return {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
}

int ScreenDpi() {
  HDC screen = ::GetDC(nullptr);
  const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen) ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

// A window's visible frame: from Vista on its outer rectangle holds an
// invisible resize border, which DWM leaves out of its extended frame bounds
// (dwmapi, looked up at run time; the outer rectangle where it is missing or
// composition is off).
bool VisibleFrame(HWND window, RECT& r) {
  if (!::GetWindowRect(window, &r)) return false;
  using GetAttribute = HRESULT(WINAPI*)(HWND, DWORD, void*, DWORD);
  static const auto getAttribute = [] {
    const DWORD version = ::GetVersion();
    const bool vista = (version & 0x80000000u) == 0 && LOBYTE(LOWORD(version)) >= 6;
    HMODULE dwm = vista ? winapi::LoadLibraryW(L"dwmapi.dll") : nullptr;
    return dwm ? reinterpret_cast<GetAttribute>(reinterpret_cast<void*>(::GetProcAddress(dwm, "DwmGetWindowAttribute")))
               : nullptr;
  }();
  constexpr DWORD kExtendedFrameBounds = 9;  // DWMWA_EXTENDED_FRAME_BOUNDS
  RECT frame{};
  if (getAttribute && getAttribute(window, kExtendedFrameBounds, &frame, sizeof frame) == S_OK &&
      frame.right > frame.left && frame.bottom > frame.top)
    r = frame;
  return true;
}

// The mouse cursor drawn where it is on the screen, its hot spot on the
// point, into a device context whose origin is the screen's point `origin`.
void DrawCursor(HDC dc, POINT origin) {
  using GetInfo = BOOL(WINAPI*)(CURSORINFO*);
  static const auto getInfo = UserCall<GetInfo>("GetCursorInfo");
  CURSORINFO info;
  std::memset(&info, 0, sizeof info);
  info.cbSize = sizeof info;
  if (!getInfo || !getInfo(&info) || !(info.flags & CURSOR_SHOWING) || !info.hCursor) return;
  ICONINFO icon;
  if (!::GetIconInfo(info.hCursor, &icon)) return;
  ::DrawIconEx(dc, info.ptScreenPos.x - static_cast<int>(icon.xHotspot) - origin.x,
               info.ptScreenPos.y - static_cast<int>(icon.yHotspot) - origin.y, info.hCursor, 0, 0, 0, nullptr,
               DI_NORMAL);
  if (icon.hbmMask) ::DeleteObject(icon.hbmMask);
  if (icon.hbmColor) ::DeleteObject(icon.hbmColor);
}

bool CaptureScreen(HWND window, Bitmap& out, bool withCursor) {
  RECT r;
  if (window) {
    if (!VisibleFrame(window, r)) return false;
  } else {
    std::array<int, 4> v = VirtualScreen();
    r = RECT{v[0], v[1], v[2], v[3]};
  }
  int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return false;
  // Every object is released on every way out, an exception included.
  ScreenDc screen;
  MemoryDc mem(screen.get());
  GdiObject bmp(::CreateCompatibleBitmap(screen.get(), w, h));
  if (!mem.get() || !bmp.get()) return false;
  bool ok;
  {
    Selection selected(mem.get(), bmp.get());
    ok = ::BitBlt(mem.get(), 0, 0, w, h, screen.get(), r.left, r.top, SRCCOPY) != FALSE;
    if (ok && withCursor) DrawCursor(mem.get(), POINT{r.left, r.top});
  }
  return ok && PixelsOf(static_cast<HBITMAP>(bmp.get()), out);
}

namespace {
BOOL CALLBACK FindUnpainted(HWND window, LPARAM found) {
  if (!::IsWindowVisible(window)) return TRUE;
  wchar_t name[8] = {};
  if (::GetUpdateRect(window, nullptr, FALSE) ||
      (winapi::GetClassNameW(window, name, 8) > 0 && std::wcscmp(name, L"#32768") == 0)) {
    *reinterpret_cast<bool*>(found) = true;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK FindUnpaintedWithChildren(HWND window, LPARAM found) {
  if (!::IsWindowVisible(window)) return TRUE;
  if (!FindUnpainted(window, found)) return FALSE;
  ::EnumChildWindows(window, FindUnpainted, found);
  return *reinterpret_cast<bool*>(found) ? FALSE : TRUE;
}
}  // namespace

bool ScreenPaintPending() {
  if (::GetUpdateRect(::GetDesktopWindow(), nullptr, FALSE)) return true;
  bool found = false;
  ::EnumWindows(FindUnpaintedWithChildren, reinterpret_cast<LPARAM>(&found));
  return found;
}

}  // namespace win32
}  // namespace platform
