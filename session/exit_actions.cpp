#include <cstdint>

#include "platform/platform.h"
#include "session/session.h"
#include "settings/keys.h"
#include "settings/settings_store.h"

namespace session {

void SetTokenPrivilege(const std::string& privilege, const std::string& systemName, bool enable) {
  auto& p = platform::Get();
  platform::Handle token = 0;
  if (!p.OpenProcessToken(platform::kTokenAdjustPrivileges | platform::kTokenQuery, token))
    throw tk::Error("ErrOpenProcess");
  const platform::OwnedHandle owned(token);
  std::uint64_t luid = 0;
  if (!p.LookupPrivilegeValue(systemName, privilege, luid))
    throw tk::Error("Error LookupPrivilegeValue");
  p.SetLastError(0);
  p.AdjustTokenPrivileges(token, luid, enable ? platform::kSePrivilegeEnabled : 0);
  // The outcome is in the last error: ERROR_NOT_ALL_ASSIGNED comes with TRUE.
  if (p.GetLastError() != 0) throw tk::Error("Error AdjustTokenPrivileges");
}

void CheckDriveInsertion() {
  bool check;
  std::string drive;
  {
    settings::SettingsStore store;
    check = store.ReadBool(settings::key::F6, settings::key::C3, false);
    drive = store.ReadString(settings::key::F6, settings::key::DR, "A");
  }
  if (!check) return;
  if (platform::Get().GetVolumeInformation(drive + ":\\")) {
    tk::Application::Instance().MessageBox(
        "ディスクが検出されました。\nBIOSで起動順位の最初をFD以外に設定してある場合は、"
        "このメッセージは無視して下さい。",
        kCaption, tk::mbOk | tk::mbIconExclamation);
  }
}

}  // namespace session
