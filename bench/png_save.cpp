// bench_png_save.exe: kivo_config's side of the PNG saving benchmark. It
// saves the benchmark's desktop picture (desktop_picture.h) as a capture
// file, through the same code as a capture does (viewer::SaveCapture: the
// PNG writer, then the file made through the Win32 platform), and prints
// the time that took and the file's size, then removes the file:
//   ms=12.34 bytes=123456
// Usage: bench_png_save.exe FOLDER [photo]   (photo: the photo-like picture)
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"
#include "platform/win32/win32_platform.h"
#include "viewer/capture.h"

extern "C" {
#include "desktop_picture.h"
}

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) return 2;
  platform::Install(platform::CreateWin32Platform());
  unsigned char* rgb = argc == 3 ? photo_picture() : desktop_picture();
  if (!rgb) return 2;
  // A capture arrives as B, G, R.
  viewer::Pixels pixels;
  pixels.width = kDesktopWidth;
  pixels.height = kDesktopHeight;
  pixels.bgr.resize(static_cast<size_t>(kDesktopWidth) * kDesktopHeight * 3);
  for (size_t i = 0; i < pixels.bgr.size(); i += 3) {
    pixels.bgr[i] = rgb[i + 2];
    pixels.bgr[i + 1] = rgb[i + 1];
    pixels.bgr[i + 2] = rgb[i];
  }
  std::free(rgb);
  viewer::CaptureFileSettings settings;
  settings.toFile = true;
  settings.folder = argv[1];
  settings.pattern = "kivo_bench";
  settings.format = "png";

  LARGE_INTEGER frequency, start, end;
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&start);
  std::string path;
  try {
    path = viewer::SaveCapture(pixels, settings);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  ::QueryPerformanceCounter(&end);

  WIN32_FILE_ATTRIBUTE_DATA data;
  long size = -1;
  std::wstring wide(path.begin(), path.end());  // the folder and name are ASCII here
  if (::GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) size = static_cast<long>(data.nFileSizeLow);
  ::DeleteFileW(wide.c_str());
  std::printf("ms=%.2f bytes=%ld\n",
              static_cast<double>(end.QuadPart - start.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart),
              size);
  return 0;
}
