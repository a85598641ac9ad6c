// Entry point of kivo_config.exe.
#include <windows.h>

#include "app/startup.h"
#include "platform/win32/win32_platform.h"
#include "toolkit/toolkit.h"
#include "toolkit/win32/win32_backend.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  platform::Install(platform::CreateWin32Platform());
  auto& app = tk::Application::Instance();
  app.Title = ApplicationTitle(platform::Get().ExecutablePath());
  app.Initialize(tk::CreateWin32Backend());
  return RunKivoConfig();
}
