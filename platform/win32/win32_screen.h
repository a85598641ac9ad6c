// The clipboard's bitmaps, the screen's pixels and the monitors: what
// Win32Platform's members of that kind do (win32_screen.cpp).
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace platform {
namespace win32 {

std::uint32_t ClipboardSequenceNumber();  // 0 where the system has none
bool GetClipboardDib(std::string& dib);
bool SetClipboardPicture(HWND owner, const std::string& dib, const std::string& png);
bool GetClipboardPng(std::string& png);   // CF_DIB, else CF_DIBV5
std::array<int, 4> VirtualScreen();
std::array<int, 4> MonitorAt(Point point);
std::array<int, 4> WorkAreaNear(const std::array<int, 4>& rect);
int ScreenDpi();
// A window's pixels, or the whole virtual screen's for null.
bool CaptureScreen(HWND window, Bitmap& out, bool withCursor);
bool ScreenPaintPending();
// A bitmap handle's pixels as 24-bit rows from the top.
bool PixelsOf(HBITMAP bmp, Bitmap& out);

}  // namespace win32
}  // namespace platform
