// Entry point of kivo_config.exe.
#include <windows.h>

#include "app/phases.h"
#include "app/startup.h"
#include "platform/win32/win32_platform.h"
#include "toolkit/toolkit.h"
#include "toolkit/win32/win32_backend.h"

// The ANSI entry: the wide one asks for GetStartupInfoW, which the 95 family
// lacks. The command line is not used.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  platform::Install(platform::CreateWin32Platform());
  phases::Start();
  auto& app = tk::Application::Instance();
  app.Title = ApplicationTitle(platform::Get().ExecutablePath());
  app.Initialize(tk::CreateWin32Backend());
  app.OnPhase = phases::Mark;
  phases::Mark("toolkit");
  return RunKivoConfig();
}
