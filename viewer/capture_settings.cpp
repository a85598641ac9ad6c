#include "viewer/capture_settings.h"

#include <algorithm>
#include <utility>

#include "platform/platform.h"
#include "settings/keys.h"
#include "settings/settings_store.h"
#include "viewer/capture.h"

tk::FormSlot<TForm28> Form28("Form28");

namespace {
namespace key = settings::key;
const char* const kFormats[] = {"png", "jpg", "bmp"};
}  // namespace

TForm28::TForm28(tk::Component* owner) : tk::Form(owner) {
  Name = "Form28";
  Border = tk::BorderStyle::Single;
  Icons.minimize = Icons.maximize = false;
  Position = tk::FormPosition::ScreenCenter;
  SetCaption("キャプチャの設定");
  SetClientSize(420, 236);
  CheckBox1 = new tk::CheckBox(this, "CheckBox1", {12, 10, 300, 17}, "キャプチャをファイルにも保存する");
  Label1 = new tk::Label(this, "Label1", {12, 38, 200, 12}, "保存先フォルダ");
  Edit1 = new tk::Edit(this, "Edit1", {12, 54, 308, 20});
  Button3 = new tk::Button(this, "Button3", {328, 52, 80, 25}, "参照...");
  Label2 = new tk::Label(this, "Label2", {12, 84, 396, 12},
                         "ファイル名 (%Y%m%d %H%M%S: 日時、%T: 題名、%W %h: 幅と高さ)");
  Label2->ShowAccelChar = false;
  Edit2 = new tk::Edit(this, "Edit2", {12, 100, 308, 20});
  Label3 = new tk::Label(this, "Label3", {12, 124, 396, 12}, "");
  Label3->ShowAccelChar = false;
  Label4 = new tk::Label(this, "Label4", {12, 152, 40, 12}, "形式");
  ComboBox1 = new tk::ComboBox(this, "ComboBox1", {56, 148, 80, 20});
  ComboBox1->SetItems({"PNG", "JPEG", "BMP"});
  Label5 = new tk::Label(this, "Label5", {152, 152, 40, 12}, "品質");
  Edit3 = new tk::Edit(this, "Edit3", {192, 148, 40, 20});
  Edit3->MaxLength = 3;
  Label6 = new tk::Label(this, "Label6", {252, 152, 32, 12}, "遅延");
  ComboBox2 = new tk::ComboBox(this, "ComboBox2", {288, 148, 80, 20});
  ComboBox2->SetItems({"なし", "3 秒", "5 秒", "10 秒"});
  CheckBox2 = new tk::CheckBox(this, "CheckBox2", {12, 178, 300, 17}, "マウスのあるモニタのみ");
  CheckBox3 = new tk::CheckBox(this, "CheckBox3", {12, 204, 220, 17}, "マウスカーソルも写す");
  Button1 = new tk::Button(this, "Button1", {244, 204, 75, 25}, "OK");
  Button1->Default = true;
  Button2 = new tk::Button(this, "Button2", {332, 204, 75, 25}, "キャンセル");
  Button2->Cancel = true;
  FolderDialog1 = new tk::OpenDialog(this, "FolderDialog1");
  FolderDialog1->Folder = true;
  FolderDialog1->Title = "キャプチャを保存するフォルダ";
  Button1->OnClick = [this](tk::Component* s) { Button1Click(s); };
  Button2->OnClick = [this](tk::Component* s) { Button2Click(s); };
  Button3->OnClick = [this](tk::Component* s) { Button3Click(s); };
  Edit2->OnChange = [this](tk::Component*) { ShowExample(); };
  ComboBox1->OnChange = [this](tk::Component*) {
    Edit3->SetEnabled(ComboBox1->ItemIndex() == 1);
    ShowExample();
  };
  OnCreate = [this](tk::Component* s) { FormCreate(s); };
  OnCloseQuery = [this](tk::Component* s, bool& c) { FormCloseQuery(s, c); };
}

TForm28::~TForm28() = default;

void TForm28::FormCreate(tk::Component*) {
  const viewer::StoredCaptureSettings stored = viewer::ReadCaptureSettings();
  const viewer::CaptureFileSettings& s = stored.settings;
  CheckBox1->SetChecked(s.toFile);
  Edit1->SetText(viewer::CaptureFolder(s));
  Edit2->SetText(s.pattern);
  int format = 0;
  for (int i = 0; i < 3; ++i)
    if (s.format == kFormats[i]) format = i;
  ComboBox1->SetItemIndex(format);
  Edit3->SetText(std::to_string(s.quality));
  Edit3->SetEnabled(format == 1);
  CheckBox2->SetChecked(s.monitor == 1);
  CheckBox3->SetChecked(s.cursor);
  int delay = 0;
  for (int i = 0; i < 4; ++i)
    if (s.delay == viewer::kCaptureDelays[i]) delay = i;
  ComboBox2->SetItemIndex(delay);
  ShowExample();
  unreadable_ = stored.unreadable;
  opened_ = Current();
  if (stored.problems.empty()) return;
  std::string errors;
  for (const std::string& line : stored.problems) errors += (errors.empty() ? "" : "\r\n") + line;
  tk::Application::Instance().ShowException(settings::StoreError(errors));
}

TForm28::Values TForm28::Current() const {
  Values v;
  v.toFile = CheckBox1->Checked();
  v.folder = Edit1->Text();
  v.pattern = Edit2->Text();
  v.format = ComboBox1->ItemIndex() < 0 ? 0 : ComboBox1->ItemIndex();
  v.quality = Edit3->Text();
  v.monitor = CheckBox2->Checked();
  v.cursor = CheckBox3->Checked();
  v.delay = ComboBox2->ItemIndex() < 0 ? 0 : ComboBox2->ItemIndex();
  return v;
}

void TForm28::ShowExample() {
  int format = ComboBox1->ItemIndex() < 0 ? 0 : ComboBox1->ItemIndex();
  std::string name = viewer::ExpandPattern(Edit2->Text().empty() ? viewer::kDefaultPattern : Edit2->Text(),
                                           viewer::TimeOfDays(platform::Get().Now()));
  Label3->SetCaption("例: " + name + viewer::FormatExtension(kFormats[format]));
}

void TForm28::Button3Click(tk::Component*) {
  FolderDialog1->FileName = Edit1->Text();
  if (FolderDialog1->Execute()) Edit1->SetText(FolderDialog1->FileName);
}

void TForm28::Button1Click(tk::Component*) {
  viewer::CaptureFileSettings s;
  s.toFile = CheckBox1->Checked();
  // The default folder stays the default (it follows the user's profile).
  s.folder = Edit1->Text() == viewer::DefaultCaptureFolder() ? std::string() : Edit1->Text();
  s.pattern = Edit2->Text().empty() ? viewer::kDefaultPattern : Edit2->Text();
  s.format = kFormats[ComboBox1->ItemIndex() < 0 ? 0 : ComboBox1->ItemIndex()];
  std::int32_t quality = settings::StrToInt(Edit3->Text());  // "'…' は整数ではありません"
  if (quality < 1 || quality > 100) {
    tk::Application::Instance().MessageBox("品質は 1 から 100 までです。", Caption(),
                                           tk::mbOk | tk::mbIconExclamation);
    return;
  }
  s.quality = quality;
  s.monitor = CheckBox2->Checked() ? 1 : 0;
  s.cursor = CheckBox3->Checked();
  s.delay = viewer::kCaptureDelays[ComboBox2->ItemIndex() < 0 ? 0 : ComboBox2->ItemIndex()];
  // What the store could not read and the user left alone stays as stored.
  const Values now = Current();
  const std::pair<const char*, bool> same[] = {
      {key::ToFile, now.toFile == opened_.toFile},    {key::Folder, now.folder == opened_.folder},
      {key::Pattern, now.pattern == opened_.pattern}, {key::Format, now.format == opened_.format},
      {key::Quality, now.quality == opened_.quality}, {key::Monitor, now.monitor == opened_.monitor},
      {key::Cursor, now.cursor == opened_.cursor},     {key::Delay, now.delay == opened_.delay},
  };
  std::vector<std::string> keep;
  for (const auto& value : same)
    if (value.second && std::find(unreadable_.begin(), unreadable_.end(), value.first) != unreadable_.end())
      keep.push_back(value.first);
  viewer::WriteCaptureSettings(s, keep);
  Close();
}

void TForm28::Button2Click(tk::Component*) { Close(); }

void TForm28::FormCloseQuery(tk::Component*, bool& canClose) {
  canClose = true;
  Release();
}
