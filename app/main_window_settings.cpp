#include "app/main_window_settings.h"

#include "platform/platform.h"
#include "session/session.h"
#include "settings/keys.h"
#include "tools/tools.h"

namespace key = settings::key;

void MainWindowSettings::Read(settings::SettingsStore& store) {
  left = store.ReadInteger(key::F1, key::X, left);
  top = store.ReadInteger(key::F1, key::Y, top);
  hibernationNoticeShown = store.ReadInteger(key::F1, key::HibernationNoticeShown, hibernationNoticeShown);
  standbyHibernates = store.ReadBool(key::F1, key::StandbyHibernates, standbyHibernates);
  taskbarHidden = store.ReadBool(key::F1, key::TaskbarHidden, taskbarHidden);
  forcedTerminationDisabled = store.ReadBool(key::F1, key::ForcedTerminationDisabled, forcedTerminationDisabled);
  statusBarHidden = store.ReadBool(key::F1, key::StatusBarHidden, statusBarHidden);
  startWithWindows = store.ReadBool(key::F1, key::StartWithWindows, startWithWindows);
}

void MainWindowSettings::Write(settings::SettingsStore& store) const {
  store.WriteInteger(key::F1, key::X, left);
  store.WriteInteger(key::F1, key::Y, top);
  store.WriteBool(key::F1, key::StandbyHibernates, standbyHibernates);
  store.WriteBool(key::F1, key::TaskbarHidden, taskbarHidden);
  store.WriteBool(key::F1, key::ForcedTerminationDisabled, forcedTerminationDisabled);
  store.WriteBool(key::F1, key::StatusBarHidden, statusBarHidden);
  store.WriteBool(key::F1, key::StartWithWindows, startWithWindows);
}

bool MainWindowSettings::operator==(const MainWindowSettings& o) const {
  return left == o.left && top == o.top && standbyHibernates == o.standbyHibernates &&
         taskbarHidden == o.taskbarHidden && forcedTerminationDisabled == o.forcedTerminationDisabled &&
         statusBarHidden == o.statusBarHidden && startWithWindows == o.startWithWindows &&
         hibernationNoticeShown == o.hibernationNoticeShown;
}

bool RegisterAtStartup(bool on) {
  auto replace = [](const std::string& other) {
    return tk::Application::Instance().MessageBox(
               "スタートアップには別のプログラムが kivo_config の名前で登録されています。\r\n" +
                   (other.empty() ? std::string() : other + "\r\n") + "\r\nこのプログラムに置き換えますか?",
               session::kCaption, tk::mbYesNo | tk::mbIconQuestion) == tk::idYes;
  };
  return tools::SetStartupRegistration(on, platform::Get().ExecutablePath(), replace);
}

bool ApplyStoredDesktopSwitches(const MainWindowSettings& stored) {
  if (stored.taskbarHidden) tools::SetTaskbarHidden(true);
  if (stored.forcedTerminationDisabled) tools::SetForcedTerminationDisabled(true);
  return !stored.startWithWindows || RegisterAtStartup(true);
}
