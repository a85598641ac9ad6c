#include "app/startup.h"

#include "app/main_window.h"
#include "platform/platform.h"
#include "settings/keys.h"
#include "settings/settings_store.h"
#include "toolkit/toolkit.h"

std::string ApplicationTitle(const std::string& exePath) {
  size_t slash = exePath.find_last_of("\\/");
  std::string name = slash == std::string::npos ? exePath : exePath.substr(slash + 1);
  size_t dot = name.find_last_of('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

int RunKivoConfig() {
  auto& p = platform::Get();
  auto& app = tk::Application::Instance();
  platform::Handle mutex = p.CreateMutex(kInstanceMutexName);
  std::uint32_t error = p.GetLastError();
  if (!mutex) return -1;
  if (error == platform::kErrorAlreadyExists) {
    p.ReleaseMutex(mutex);
    app.MessageBox("すでに同じプログラムが起動しています。", session::kCaption,
                   tk::mbOk | tk::mbIconStop);
    return -1;
  }
  try {
    Form1 = app.CreateForm<TForm1>();
    {
      settings::SettingsStore store;
      app.ShowMainForm = !store.ReadBool(settings::key::F6, settings::key::C5, false);
    }
    app.Run();
  } catch (...) {
    app.HandleException();
  }
  app.Shutdown();
  p.ReleaseMutex(mutex);
  return 0;
}
