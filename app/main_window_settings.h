// The main window's stored state in its section "F1": its place and its
// check boxes, read at the start and written at the end, side by side here.
#pragma once

#include "settings/settings_store.h"

struct MainWindowSettings {
  int left = 0, top = 0;                   // X, Y
  bool standbyHibernates = false;          // KYUSI: スタンバイ hibernates (休止状態をサポートする)
  bool taskbarHidden = false;              // TASK (タスクバーを非表示)
  bool forcedTerminationDisabled = false;  // TITLE (強制終了を無効にする)
  bool statusBarHidden = false;            // STATUS (ステータスバーを非表示)
  bool startWithWindows = false;           // STARTUP (スタートアップ登録)
  // TITLE_TAG: the hibernation notice was shown (not 0). Read only: the
  // notice writes it itself, once, when it is shown.
  int hibernationNoticeShown = 0;

  // What is stored over what the record holds, in the order the window has
  // always read them (X, Y, TITLE_TAG, KYUSI, TASK, TITLE, STATUS, STARTUP):
  // a value that is missing, or whose text is no number, keeps the record's.
  // A value of another type than text raises settings::StoreError; what was
  // read before it is in the record then, the rest as it was, so that the
  // window applies what it read up to the bad value, as it always did.
  void Read(settings::SettingsStore& store);
  void Write(settings::SettingsStore& store) const;

  bool operator==(const MainWindowSettings& o) const;
  bool operator!=(const MainWindowSettings& o) const { return !(*this == o); }
};

// This program's start-up entry written or taken away. Another program's
// entry of our name is replaced only when the user says so: false when it
// was kept (the box goes off again).
bool RegisterAtStartup(bool on);

// Outside the window, what the switches stored on do at every start, as
// when the user sets them: the taskbar hidden, the forced-termination keys
// suspended (given back at the end), the start-up entry written anew for
// this program's path. A switch stored off does nothing. False when another
// program's start-up entry was kept (the switch goes off).
bool ApplyStoredDesktopSwitches(const MainWindowSettings& stored);
