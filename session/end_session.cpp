#include "platform/platform.h"
#include "session/session.h"
#include "settings/keys.h"
#include "settings/settings_store.h"

namespace session {

int AnswerQueryEndSession(MainWindowAccess& main) {
  bool purge, banned;
  {
    settings::SettingsStore store;
    purge = store.ReadBool(settings::key::F6, settings::key::C1, false);
    banned = store.ReadBool(settings::key::F6, settings::key::C4, false);
  }
  int result;
  if (banned) {
    tk::Application::Instance().MessageBox("現在Windowsを終了出来ません、設定を確認して下さい。",
                                           kCaption, tk::mbOk | tk::mbIconExclamation);
    result = 0;
  } else {
    result = 1;
    main.PostCloseMainWindow();
  }
  if (purge) platform::Get().SHAddToRecentDocs(platform::kShardPathA, nullptr);
  CheckDriveInsertion();
  return result;
}

void UpdateShutdownBlockReason(tk::WindowHandle window, bool banned) {
  // Vista and later show this reason beside a program that holds the end of
  // the session; older systems have no such call and are left alone.
  auto& p = platform::Get();
  if (banned)
    p.ShutdownBlockReasonCreate(window, kShutdownBlockReason);
  else
    p.ShutdownBlockReasonDestroy(window);
}

}  // namespace session
