#include "hotkeys/hotkeys.h"

#include "settings/keys.h"
#include "settings/settings_store.h"

tk::FormSlot<TForm27> Form27("Form27");

namespace hotkeys {

namespace {
namespace key = settings::key;

struct ActionText {
  const char* ident;
  const char* name;
};
constexpr ActionText kActions[kActionCount] = {
    {"ShowHide", "メインウィンドウの表示/非表示"},
    {"CaptureDesktop", "デスクトップキャプチャ"},
    {"CaptureWindow", "アクティブウィンドウ取得"},
    {"Viewer", "画像ビューア"},
    {"Stopwatch", "ストップウォッチ"},
    {"Lock", "画面ロック"},
    {"Timer", "電源切断タイマー"},
    {"Cancel", "タイマー終了の中止"},
    {"CaptureRegion", "範囲キャプチャ"},
    {"CaptureLastRegion", "前回の範囲のキャプチャ"},
};

std::string NotAHotKey(const std::string& text, const char* ident) {
  return "'" + text + "' はホットキーではありません (" + std::string(key::HotKey) + "\\" + ident + ")";
}

// The store's own message for a value it cannot read, with where it is.
std::string Unreadable(const settings::StoreError& e, const char* ident) {
  return std::string(e.what()) + " (" + key::HotKey + "\\" + ident + ")";
}
}  // namespace

const char* ActionIdent(int action) { return kActions[action].ident; }
const char* ActionName(int action) { return kActions[action].name; }

Stored ReadHotKeys() {
  Stored s;
  settings::SettingsStore store;
  for (int a = 0; a < kActionCount; ++a) {
    // A value the store cannot read (another type) leaves its row unset and
    // no other.
    std::string text;
    try {
      text = store.ReadString(key::HotKey, kActions[a].ident, "");
    } catch (const settings::StoreError& e) {
      s.problems.push_back(Unreadable(e, kActions[a].ident));
      continue;
    }
    std::optional<HotKey> parsed = ParseHotKey(text);
    if (parsed) s.keys[a] = *parsed;
    else s.problems.push_back(NotAHotKey(text, kActions[a].ident));
  }
  try {
    // Strictly, as the window stores it: text that is no number is named.
    s.timerMinutes = settings::StrToInt(
        store.ReadString(key::HotKey, key::TimerMinutes, std::to_string(kDefaultTimerMinutes)));
  } catch (const settings::StoreError& e) {
    s.problems.push_back(Unreadable(e, key::TimerMinutes));
    s.timerMinutes = 0;
  }
  if (s.timerMinutes < 1 || s.timerMinutes > 9999 * 60) {
    if (!s.keys[kTimer].None() && s.timerMinutes != 0)
      s.problems.push_back("'" + std::to_string(s.timerMinutes) + "' 分はタイマーに設定できません (" +
                           key::HotKey + "\\" + key::TimerMinutes + ")");
    s.keys[kTimer] = HotKey{};  // the timer's hotkey stays unset
  }
  return s;
}

void UnregisterHotKeys(platform::Handle window) {
  for (int a = 0; a < kActionCount; ++a) platform::Get().UnregisterHotKey(window, HotKeyId(a));
}

std::vector<std::string> RegisterHotKeys(platform::Handle window, bool lockOffered) {
  UnregisterHotKeys(window);
  Stored s = ReadHotKeys();
  std::vector<std::string> problems = s.problems;
  for (int a = 0; a < kActionCount; ++a) {
    const HotKey& k = s.keys[a];
    if (k.None() || (a == kLock && !lockOffered)) continue;
    if (TakesAwayTyping(k)) {
      problems.push_back("ホットキー " + FormatHotKey(k) + " (" + kActions[a].name +
                         ") は Ctrl、Alt、Win のどれも付いていないため登録できません"
                         "（登録するとそのキーがどのプログラムでも使えなくなります）。");
      continue;
    }
    int same = -1;
    for (int b = 0; b < a && same < 0; ++b)
      if (s.keys[b] == k && !(b == kLock && !lockOffered)) same = b;
    if (same >= 0) {
      problems.push_back("ホットキー " + FormatHotKey(k) + " (" + kActions[a].name + ") は「" +
                         kActions[same].name + "」と同じキーです。");
      continue;
    }
    if (!platform::Get().RegisterHotKey(window, HotKeyId(a), k.modifiers, k.vk))
      problems.push_back("ホットキー " + FormatHotKey(k) + " (" + kActions[a].name +
                         ") は他のプログラムが使っているため登録できません。");
  }
  return problems;
}

}  // namespace hotkeys

namespace {
namespace key = settings::key;
using namespace hotkeys;
}  // namespace

TForm27::TForm27(tk::Component* owner, bool lockOffered, std::function<void()> applied)
    : tk::Form(owner), applied_(std::move(applied)) {
  Name = "Form27";
  Border = tk::BorderStyle::Single;
  Icons.minimize = Icons.maximize = false;
  Position = tk::FormPosition::ScreenCenter;
  SetCaption("ホットキーの設定");
  SetClientSize(420, 24 + 32 * kActionCount + 32);
  for (int a = 0; a < kActionCount; ++a) {
    const int top = 12 + 32 * a;
    HotKeys[a] = new tk::HotKeyBox(this, "HotKey" + std::to_string(a + 1), {200, top, 150, 22});
    HotKeys[a]->OnChange = [this](tk::Component* s) { HotKeyChange(s); };
    Labels[a] = new tk::Label(this, "Label" + std::to_string(a + 1), {16, top + 4, 180, 12}, ActionName(a));
  }
  Edit1 = new tk::Edit(this, "Edit1", {356, 12 + 32 * kTimer, 40, 22});
  Edit1->MaxLength = 6;
  Label9 = new tk::Label(this, "Label9", {400, 16 + 32 * kTimer, 16, 12}, "分");
  const int buttons = 20 + 32 * kActionCount;
  Button1 = new tk::Button(this, "Button1", {248, buttons, 75, 25}, "OK");
  Button1->Default = true;
  Button1->OnClick = [this](tk::Component* s) { Button1Click(s); };
  Button2 = new tk::Button(this, "Button2", {332, buttons, 75, 25}, "キャンセル");
  Button2->Cancel = true;
  Button2->OnClick = [this](tk::Component* s) { Button2Click(s); };
  if (!lockOffered) {
    HotKeys[kLock]->SetEnabled(false);
    Labels[kLock]->SetEnabled(false);
  }
  OnCreate = [this](tk::Component* s) { FormCreate(s); };
  OnCloseQuery = [this](tk::Component* s, bool& c) { FormCloseQuery(s, c); };
}

TForm27::~TForm27() = default;

void TForm27::FormCreate(tk::Component*) {
  loading_ = true;
  settings::SettingsStore store;
  // A value the store cannot read spoils its own row only: the row shows
  // empty and the store's messages are shown together, once.
  std::string errors;
  auto read = [&](const char* ident, const std::string& def, bool& unreadable) -> std::string {
    try {
      return store.ReadString(key::HotKey, ident, def);
    } catch (const settings::StoreError& e) {
      unreadable = true;
      errors += (errors.empty() ? "" : "\r\n") + std::string(e.what());
      return {};
    }
  };
  for (int a = 0; a < kActionCount; ++a) {
    storedTexts_[a] = read(ActionIdent(a), "", unreadable_[a]);
    std::optional<HotKey> k = ParseHotKey(storedTexts_[a]);
    HotKeys[a]->SetKey(k ? ToBoxValue(*k) : 0);
    openedValues_[a] = HotKeys[a]->Key();
  }
  // The minutes as stored, even when they are no number: OK says why.
  Edit1->SetText(read(key::TimerMinutes, std::to_string(kDefaultTimerMinutes), minutesUnreadable_));
  loading_ = false;
  if (!errors.empty()) tk::Application::Instance().ShowException(settings::StoreError(errors));
}

void TForm27::HotKeyChange(tk::Component* sender) {
  if (loading_) return;  // a stored key is shown as it is
  auto* box = static_cast<tk::HotKeyBox*>(sender);
  if (TakesAwayTyping(FromBoxValue(box->Key())))
    box->SetKey(static_cast<std::uint16_t>(box->Key() | tk::hkControl | tk::hkAlt));
}

void TForm27::Button1Click(tk::Component*) {
  auto& app = tk::Application::Instance();
  std::string texts[kActionCount];
  bool keep[kActionCount] = {};  // unreadable and left alone: not written
  for (int a = 0; a < kActionCount; ++a) {
    if (HotKeys[a]->Key() == openedValues_[a]) {
      texts[a] = storedTexts_[a];  // left alone
      keep[a] = unreadable_[a];
    } else {
      HotKey k = FromBoxValue(HotKeys[a]->Key());
      texts[a] = FormatHotKey(k);
      if (!k.None() && texts[a].empty()) {
        app.MessageBox(std::string(ActionName(a)) + ": このキーはホットキーに使えません。\r\n"
                       "文字、数字、F1～F24、PrintScreen、Pause、Space、Home、End、Insert、Delete、"
                       "PageUp、PageDown が使えます。",
                       Caption(), tk::mbOk | tk::mbIconExclamation);
        return;
      }
    }
    // A key that would stop typing everywhere is not stored, left alone or
    // not (a row that cannot be changed here is kept as it is).
    std::optional<HotKey> k = ParseHotKey(texts[a]);
    if (k && TakesAwayTyping(*k) && HotKeys[a]->Enabled()) {
      app.MessageBox(std::string(ActionName(a)) + ": " + FormatHotKey(*k) +
                         " には Ctrl か Alt を付けてください。\r\n"
                         "どちらも付いていないと、そのキーがどのプログラムでも使えなくなります"
                         "（F1～F24、PrintScreen、Pause はそれだけでも使えます）。",
                     Caption(), tk::mbOk | tk::mbIconExclamation);
      return;
    }
  }
  // Minutes the store could not read and the user left empty stay as stored.
  const bool keepMinutes = minutesUnreadable_ && Edit1->Text().empty();
  std::int32_t minutes = 0;
  if (!keepMinutes) {
    minutes = settings::StrToInt(Edit1->Text());  // "'…' は整数ではありません"
    if (minutes < 1 || minutes > 9999 * 60) {
      app.MessageBox("タイマーの分数は 1 から " + std::to_string(9999 * 60) + " までです。", Caption(),
                     tk::mbOk | tk::mbIconExclamation);
      return;
    }
  }
  {
    settings::SettingsStore store;
    for (int a = 0; a < kActionCount; ++a)
      if (!keep[a]) store.WriteString(key::HotKey, ActionIdent(a), texts[a]);
    if (!keepMinutes) store.WriteInteger(key::HotKey, key::TimerMinutes, minutes);
  }
  if (applied_) applied_();
  Close();
}

void TForm27::Button2Click(tk::Component*) { Close(); }

void TForm27::FormCloseQuery(tk::Component*, bool& canClose) {
  canClose = true;
  Release();
}
