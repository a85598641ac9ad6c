#include "viewer/image_viewer.h"

#include "platform/platform.h"
#include "settings/keys.h"
#include "settings/settings_store.h"
#include "viewer/capture.h"
#include "viewer/capture_delay.h"
#include "viewer/capture_region.h"
#include "viewer/capture_settings.h"
#include "viewer/picture.h"

tk::FormSlot<TForm13> Form13("Form13");
tk::FormSlot<TForm14> Form14("Form14");

namespace {
namespace key = settings::key;
constexpr int kPanelHeight = 33;
}  // namespace

TForm13::TForm13(tk::Component* owner, tk::MenuItem* menuItem)
    : tk::Form(owner), menuItem_(menuItem) {
  Name = "Form13";
  Border = tk::BorderStyle::Sizeable;
  AppWindow = true;
  SetCaption("Kivo-Config 画像ビューア Ver1.1");
  MainMenu1 = new tk::MainMenu(this, "MainMenu1");
  auto& root = MainMenu1->Items();
  auto bind = [this](void (TForm13::*h)(tk::Component*)) {
    return [this, h](tk::Component* s) { (this->*h)(s); };
  };
  File1 = root.Add("File1", "ファイル(&F)");
  Open2 = File1->Add("Open2", "開く(&O)           ", bind(&TForm13::Open2Click));
  Detail1 = File1->Add("Detail1", "ファイル一覧", bind(&TForm13::Detail1Click));
  Exit1 = File1->Add("Exit1", "終了(&X)", bind(&TForm13::Exit1Click));
  Tools1 = root.Add("Tools1", "ツール(&T)");
  N1 = Tools1->Add("N1", "アクティブウィンドウ取得(&A)", bind(&TForm13::N1Click));
  D1 = Tools1->Add("D1", "デスクトップキャプチャ(&D)", bind(&TForm13::D1Click));
  Region1 = Tools1->Add("Region1", "範囲キャプチャ(&R)", bind(&TForm13::Region1Click));
  LastRegion1 = Tools1->Add("LastRegion1", "前回の範囲(&L)", bind(&TForm13::LastRegion1Click));
  Tools1->Add("N2", "-");
  Paste1 = Tools1->Add("Paste1", "クリップボードの画像を表示(&P)", bind(&TForm13::Paste1Click));
  SaveAs1 = Tools1->Add("SaveAs1", "名前を付けて保存(&S)...", bind(&TForm13::SaveAs1Click));
  Tools1->Add("N3", "-");
  CaptureSettings1 = Tools1->Add("CaptureSettings1", "キャプチャの設定(&C)...",
                                 bind(&TForm13::CaptureSettings1Click));
  Help1 = root.Add("Help1", "ヘルプ(&H)");
  About1 = Help1->Add("About1", "バージョン情報", bind(&TForm13::About1Click));
  SetMenu(MainMenu1);
  // 696 × 480 as designed, frame and menu included.
  int dx, dy;
  FrameSize(Border, true, dx, dy);
  SetClientSize(696 - dx, 480 - dy);
  Panel1 = new tk::Panel(this, "Panel1", {0, 0, ClientWidth(), kPanelHeight});
  Button2 = new tk::Button(this, "Button2", {8, 6, 41, 25}, "戻る");
  Button1 = new tk::Button(this, "Button1", {56, 6, 41, 25}, "次へ");
  Label2 = new tk::Label(this, "Label2", {120, 11, 80, 12}, "");
  Label1 = new tk::Label(this, "Label1", {ClientWidth() - 160, 11, 150, 12}, "");
  Label1->Align = tk::Alignment::Right;
  ScrollBox1 = new tk::ScrollBox(this, "ScrollBox1",
                                 {0, kPanelHeight, ClientWidth(), ClientHeight() - kPanelHeight});
  Image1 = new tk::Image(this, "Image1", {0, 0, 0, 0});
  Image1->SetContainer(ScrollBox1);
  Memo1 = new tk::Memo(this, "Memo1", {192, 112, 321, 89}, tk::ScrollStyle::Both);
  Memo1->ReadOnly = true;
  Memo1->SetVisible(false);
  Memo1->SetContainer(ScrollBox1);
  OpenDialog1 = new tk::OpenDialog(this, "OpenDialog1");
  OpenDialog1->Filter = viewer::OpenFilter();
  OpenDialog1->InitialDir = "C:\\";
  SaveDialog1 = new tk::OpenDialog(this, "SaveDialog1");
  SaveDialog1->Save = true;
  SaveDialog1->Filter = "ビットマップ(*.BMP)|*.BMP|JPEGファイル(*.JPG)|*.JPG";
  SaveDialog1->DefaultExt = "bmp";
  // A window timer comes after the paint of what the handler showed.
  AheadTimer = new tk::Timer(this, "AheadTimer", 10);
  AheadTimer->SetEnabled(false);
  AheadTimer->OnTimer = bind(&TForm13::AheadTimerTimer);
  Button1->OnClick = bind(&TForm13::Button1Click);
  Button2->OnClick = bind(&TForm13::Button2Click);
  OnCreate = bind(&TForm13::FormCreate);
  OnShow = bind(&TForm13::FormShow);
  OnResize = bind(&TForm13::FormResize);
  OnCloseQuery = [this](tk::Component* s, bool& c) { FormCloseQuery(s, c); };
}

TForm13::~TForm13() = default;

void TForm13::FormCreate(tk::Component*) {
  {
    settings::SettingsStore store;
    tk::Rect r = Bounds();
    settings::ReadPosition(store, key::F13, r.left, r.top, 0, r.width, r.height);
    SetBounds(r);
  }
  ApplyStyle();  // AppWindow: a taskbar button of its own
  menuItem_->SetEnabled(false);
  platform::Get().DragAcceptFiles(Handle(), true);
  Button1->SetEnabled(false);
  Button2->SetEnabled(false);
}

void TForm13::FormShow(tk::Component*) {
  bool maximised;
  {
    settings::SettingsStore store;
    tk::Rect r = Bounds();
    maximised = settings::ReadSize(store, key::F13, r.width, r.height);
    settings::KeepOnWorkArea(r.left, r.top, r.width, r.height);
    SetBounds(r);
  }
  SetWindowState(maximised ? tk::WindowState::Maximized : tk::WindowState::Normal);
}

// The panel along the top, the count at its right, the picture area below.
void TForm13::FormResize(tk::Component*) {
  const int w = ShownClientWidth(), h = ShownClientHeight();
  Panel1->SetBounds({0, 0, w, kPanelHeight});
  tk::Rect count = Label1->Bounds();
  Label1->SetBounds({w - 8 - count.width, count.top, count.width, count.height});
  ScrollBox1->SetBounds({0, kPanelHeight, w, std::max(0, h - kPanelHeight)});
}

// A picture error goes to the error display like the toolkit's load errors.
// A picture refused before it has its memory (a file that cannot be read, a
// bad header, no memory for the display bitmap) leaves the earlier one in
// place; one that fails while it is decoded leaves the area empty, as the
// earlier one has gone to make room.
void TForm13::ShowPicture(const std::function<void(viewer::PixelSink&)>& load, const std::string& what) {
  try {
    viewer::DisplaySink sink([this] { Image1->SetPicture(nullptr); });
    load(sink);
    Image1->SetPicture(std::move(sink.picture));
  } catch (const viewer::PictureError& e) {
    throw tk::Error(e.what());
  } catch (const tk::Error& e) {
    throw tk::Error(what.empty() ? std::string(e.what()) : std::string(e.what()) + ": " + what);
  } catch (const std::bad_alloc&) {
    throw tk::Error(what.empty() ? std::string("メモリが足りません") : "メモリが足りません: " + what);
  }
}

void TForm13::LoadFile(const std::string& path) {
  const viewer::Rgb background = Background();
  ShowPicture([&](viewer::PixelSink& sink) { viewer::LoadPicture(path, sink, background); }, path);
}

// Transparent pixels show the colour the window paints behind the picture.
viewer::Rgb TForm13::Background() const {
  const tk::Color back = tk::Application::Instance().PaintedRgb(Image1->PaintedBackground());
  return {static_cast<std::uint8_t>(back & 0xFF), static_cast<std::uint8_t>((back >> 8) & 0xFF),
          static_cast<std::uint8_t>((back >> 16) & 0xFF)};
}

std::string TForm13::EntryPath(int index) const {
  if (index >= 0 && index < count_ && index < static_cast<int>(Memo1->Lines.size()))
    return Memo1->Lines[static_cast<size_t>(index)];
  return std::string();
}

// The next entry is read ahead once what the handler showed is painted.
void TForm13::ReadAheadNext() {
  AheadTimer->SetEnabled(false);
  AheadTimer->SetEnabled(true);
}

void TForm13::AheadTimerTimer(tk::Component*) {
  AheadTimer->SetEnabled(false);
  leaving_.reset();
  const std::string next = EntryPath(position_ + 1);
  if (!next.empty()) readAhead_.Start(position_ + 1, next, Background());
}

void TForm13::LoadEntry(int index) {
  leaving_.reset();
  const std::string path = EntryPath(index);
  // Any other read ahead is given up here, before a picture is decoded.
  std::unique_ptr<tk::Picture> ahead = readAhead_.Take(index, path);
  try {
    if (path.empty()) throw tk::Error("ファイル名がありません");
    if (ahead) {
      leaving_ = Image1->GetPicture();
      Image1->SetPicture(std::move(ahead));
    } else {
      LoadFile(path);
    }
  } catch (...) {
    ReadAheadNext();
    throw;
  }
  ReadAheadNext();
}

bool TForm13::WndProc(tk::Message& msg) {
  if (msg.msg != tk::wmDropFiles) return false;
  WMDropFiles(msg);
  return true;
}

void TForm13::WMDropFiles(tk::Message& msg) {
  auto& p = platform::Get();
  const platform::Handle drop = msg.wParam;
  // The drop is released whatever the load does.
  struct Finish {
    platform::Handle h;
    ~Finish() { platform::Get().DragFinish(h); }
  } finish{drop};
  std::vector<std::string> files = p.DragQueryFiles(drop);
  count_ = static_cast<int>(files.size());
  Label1->SetCaption("予約された画像の数 " + std::to_string(count_) + "個  ");
  position_ = 0;
  Label2->SetCaption(std::to_string(position_ + 1) + "ページ");
  Button1->SetEnabled(count_ != 1);
  Button2->SetEnabled(false);
  Memo1->SetLines(files);
  readAhead_.Clear();  // the old list's
  LoadEntry(0);
}

void TForm13::Button1Click(tk::Component*) {
  ++position_;
  if (position_ >= count_ - 1) Button1->SetEnabled(false);
  Button2->SetEnabled(true);
  LoadEntry(position_);
  Label2->SetCaption(std::to_string(position_ + 1) + "ページ");
}

void TForm13::Button2Click(tk::Component*) {
  --position_;
  if (position_ == 0) Button2->SetEnabled(false);
  Button1->SetEnabled(true);
  LoadEntry(position_);
  Label2->SetCaption(std::to_string(position_ + 1) + "ページ");
}

void TForm13::Open2Click(tk::Component*) {
  if (!OpenDialog1->Execute()) return;
  // Paging goes on from the list's position afterwards.
  leaving_.reset();
  readAhead_.Clear();
  try {
    LoadFile(OpenDialog1->FileName);
  } catch (...) {
    ReadAheadNext();
    throw;
  }
  ReadAheadNext();
}

void TForm13::Detail1Click(tk::Component*) {
  Detail1->SetChecked(!Detail1->Checked());
  Memo1->SetVisible(Detail1->Checked());
}

void TForm13::Exit1Click(tk::Component*) { Close(); }

// The captures wait for the stored delay, during which the viewer may close:
// they reach it only through its slot.
void TForm13::N1Click(tk::Component*) {
  viewer::RequestCapture(*this, [] {
    viewer::Capture(viewer::CaptureKeys(viewer::CaptureCommand::ViewerWindow, 0),
                    platform::Get().GetForegroundWindow(), Form13 ? Form13->Handle() : 0);
  });
}

void TForm13::D1Click(tk::Component*) {
  viewer::RequestCapture(*this, [] {
    viewer::Capture(viewer::CaptureKeys(viewer::CaptureCommand::ViewerDesktop, 0), 0,
                    Form13 ? Form13->Handle() : 0);
  });
}

void TForm13::Region1Click(tk::Component*) {
  viewer::RequestCapture(*this, [] { viewer::CaptureRegion(Form13.get()); });
}

void TForm13::LastRegion1Click(tk::Component*) {
  viewer::RequestCapture(*this, [] { viewer::CaptureLastRegion(Form13.get()); });
}

void TForm13::CaptureSettings1Click(tk::Component*) {
  Form28.ShowModal(this);
}

void TForm13::Paste1Click(tk::Component*) {
  leaving_.reset();
  readAhead_.Clear();
  try {
    ShowPicture([](viewer::PixelSink& sink) { viewer::ClipboardPicture(sink); }, "");
  } catch (...) {
    ReadAheadNext();
    throw;
  }
  ReadAheadNext();
}

void TForm13::SaveAs1Click(tk::Component*) {
  const auto& picture = Image1->GetPicture();
  if (!picture) throw tk::Error("保存する画像がありません");
  if (!SaveDialog1->Execute()) return;
  try {
    viewer::SavePicture(SaveDialog1->FileName, viewer::ViewOf(*picture));
  } catch (const viewer::PictureError& e) {
    throw tk::Error(e.what());
  }
}

void TForm13::About1Click(tk::Component*) {
  Form14.ShowModal(this);
}

void TForm13::FormCloseQuery(tk::Component*, bool& canClose) {
  {
    settings::SettingsStore store;
    settings::WritePlacement(store, key::F13, Left(), Top(),
                             GetWindowState() == tk::WindowState::Maximized, Width(), Height());
  }
  count_ = 0;
  position_ = 0;
  AheadTimer->SetEnabled(false);
  leaving_.reset();
  readAhead_.Clear();
  platform::Get().DragAcceptFiles(Handle(), false);
  Release();
  menuItem_->SetEnabled(true);
  canClose = true;
}

TForm14::TForm14(tk::Component* owner) : tk::Form(owner) {
  Name = "Form14";
  Border = tk::BorderStyle::Single;
  Icons.minimize = Icons.maximize = false;
  Position = tk::FormPosition::ScreenCenter;
  SetCaption("Kivo画像ビューア");
  SetClientSize(307, 155);
  Image1 = new tk::Image(this, "Image1", {8, 8, 32, 32});
  Image1->Stretch = true;
  Image1->Load("MAINICON", true);
  Label1 = new tk::Label(this, "Label1", {56, 16, 240, 12}, "Kivo-Brevo 画像ビューア Ver1.1");
  Label2 = new tk::Label(this, "Label2", {56, 48, 240, 12}, "Kivo Project");
  Label3 = new tk::Label(this, "Label3", {56, 72, 240, 12}, "Programmed by Ve_Dizo");
  Button1 = new tk::Button(this, "Button1", {116, 120, 75, 25}, "OK");
  Button1->Default = true;
  Button1->Cancel = true;
  Button1->OnClick = [this](tk::Component*) { Close(); };
  OnCloseQuery = [this](tk::Component*, bool& c) {
    c = true;
    Release();
  };
}

TForm14::~TForm14() = default;
