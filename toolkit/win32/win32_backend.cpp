#include "toolkit/win32/win32_backend.h"
#include "toolkit/win32/activex_host.h"
#include "toolkit/win32/win32_peers.h"
#include "toolkit/internal.h"

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <tuple>
#include <vector>

// windows.h maps MessageBox to MessageBoxW; the toolkit has members of that name.
#undef MessageBox


namespace tk {
namespace win32 {

HMENU BuildMenu(const MenuItem& parent, bool popup) {
  HMENU m = popup ? ::CreatePopupMenu() : ::CreateMenu();
  FillMenu(m, parent);
  return m;
}

void FillMenu(HMENU m, const MenuItem& parent) {
  for (const auto& item : parent.Items()) {
    std::wstring text = Widen(item->Caption());
    UINT flags = item->Enabled() ? MF_ENABLED : (MF_GRAYED | MF_DISABLED);
    if (item->Checked()) flags |= MF_CHECKED;
    if (item->Caption() == "-") {
      winapi::AppendMenuW(m, MF_SEPARATOR, 0, nullptr);
    } else if (!item->Items().empty()) {
      HMENU sub = BuildMenu(*item, true);
      winapi::AppendMenuW(m, flags | MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(sub), text.c_str());
    } else {
      winapi::AppendMenuW(m, flags | MF_STRING, static_cast<UINT_PTR>(item->Command()), text.c_str());
    }
  }
}

}  // namespace win32

namespace {
using namespace win32;

// The message a background task's thread posts to the application window
// when its work has ended; lParam: the Job.
constexpr UINT kWmTaskDone = WM_APP + 0x3A1;

// A background task, shared by its peer (user-interface thread), its thread
// and the posted message; the last one to let go deletes it.
struct Job {
  std::function<void()> work, done;
  HWND window = nullptr;
  HANDLE thread = nullptr;
  LONG refs = 2;  // the peer's, and the thread's (which the posted message takes over)
  // User-interface thread only.
  bool delivered = false, dropped = false;
  ~Job() {
    if (thread) ::CloseHandle(thread);
  }
  void Release() {
    if (::InterlockedDecrement(&refs) == 0) delete this;
  }
  void Deliver() {
    if (delivered || dropped) return;
    delivered = true;
    done();
  }
  static DWORD WINAPI Run(void* p) {
    auto* job = static_cast<Job*>(p);
    try {
      job->work();
    } catch (...) {  // the work reports through its own memory
    }
    if (!winapi::PostMessageW(job->window, kWmTaskDone, 0, reinterpret_cast<LPARAM>(job))) job->Release();
    return 0;
  }
};

class Win32TaskPeer : public TaskPeer {
 public:
  explicit Win32TaskPeer(Job* job) : job_(job) {}
  ~Win32TaskPeer() override {
    job_->dropped = true;
    job_->Release();
  }
  void Wait() override {
    ::WaitForSingleObject(job_->thread, INFINITE);
    job_->Deliver();
  }

 private:
  Job* job_;
};

class Win32Backend;
Win32Backend* g_backend = nullptr;

// ---------------------------------------------------------------- backend
class Win32Backend : public Backend {
 public:
  Win32Backend() {
    g_backend = this;
    instance_ = winapi::GetModuleHandleW(nullptr);
    INITCOMMONCONTROLSEX icc;
    icc.dwSize = sizeof icc;
    icc.dwICC = ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES | ICC_TAB_CLASSES;
    // InitCommonControlsEx came with Internet Explorer 3's common controls;
    // the first Windows 95 has only InitCommonControls.
    using InitEx = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    if (auto initEx = reinterpret_cast<InitEx>(reinterpret_cast<void*>(
            winapi::Lookup("comctl32.dll", "InitCommonControlsEx"))))
      initEx(&icc);
    else
      ::InitCommonControls();

    WNDCLASSEXW wc;
    std::memset(&wc, 0, sizeof wc);
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &FormProc;
    wc.hInstance = instance_;
    // The program's icon in the sizes the system draws at its DPI: the
    // caption's and the taskbar's small one drawn, not shrunk.
    wc.hIcon = ProgramIcon(::GetSystemMetrics(SM_CXICON));
    wc.hIconSm = ProgramIcon(::GetSystemMetrics(SM_CXSMICON));
    if (!wc.hIcon) wc.hIcon = winapi::LoadIconW(nullptr, IDI_APPLICATION);
    wc.hCursor = winapi::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = nullptr;  // painted in WM_ERASEBKGND
    wc.lpszClassName = kFormClass;
    winapi::RegisterClassExW(&wc);

    wc.lpfnWndProc = &AppProc;
    wc.lpszClassName = kAppClass;
    winapi::RegisterClassExW(&wc);

    wc.lpfnWndProc = &ChildPeer::ScrollBoxProc;
    wc.hIcon = nullptr;
    wc.hIconSm = nullptr;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kScrollBoxClass;
    winapi::RegisterClassExW(&wc);

  }

  ~Win32Backend() override {
    for (auto& t : timers_) ::KillTimer(app_, t.first);
    timers_.clear();
    if (app_) ::DestroyWindow(app_);
    for (auto& f : fonts_) ::DeleteObject(f.second);
    for (auto& i : icons_)
      if (i.second) ::DestroyIcon(i.second);
    for (auto& b : brushes_) ::DeleteObject(b.second);
    if (measureDc_) ::DeleteDC(measureDc_);
    if (g_backend == this) g_backend = nullptr;
  }

  HINSTANCE instance() const { return instance_; }
  // The application window: made when first needed, so that a copy that
  // only hands its command to the running one and ends has none (the
  // other copies look for the running one by this window's class).
  HWND app() {
    if (!app_) {
      app_ = winapi::CreateWindowExW(0, kAppClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance_, nullptr);
      if (app_ && !title_.empty()) winapi::SetWindowTextW(app_, title_.c_str());
    }
    return app_;
  }

  std::unique_ptr<ControlPeer> CreatePeer(Control& control) override {
    if (control.Kind() == ControlKind::Form) {
      auto p = std::make_unique<FormPeer>(static_cast<Form&>(control));
      forms_.push_back(p.get());
      return p;
    }
    Form* parent = control.ParentForm();
    auto* fp = parent ? dynamic_cast<FormPeer*>(parent->Peer()) : nullptr;
    if (!fp) return std::make_unique<ControlPeer>();
    if (control.Kind() == ControlKind::WebBrowser) {
      // Made at once: the controls made before it get their windows first,
      // so that the order stays the controls'.
      fp->MakeWaitingWindows();
      return CreateWebBrowserPeer(static_cast<WebBrowser&>(control), fp->Window(), instance_);
    }
    int id = 0;
    const auto& list = parent->Controls();
    auto it = std::find(list.begin(), list.end(), &control);
    id = static_cast<int>(it - list.begin());
    return std::make_unique<ChildPeer>(control, *fp, id);
  }

  std::unique_ptr<Picture> CreatePicture(int width, int height, std::string& error) override {
    return MakePicture(width, height, error);
  }

  std::unique_ptr<TaskPeer> StartTask(std::function<void()> work, std::function<void()> done) override {
    auto* job = new Job;
    job->work = std::move(work);
    job->done = std::move(done);
    job->window = app();
    DWORD id = 0;
    job->thread = ::CreateThread(nullptr, 0, &Job::Run, job, 0, &id);
    if (!job->thread) {
      // No thread to be had: the work runs here, its end is posted all the same.
      job->thread = ::CreateEventA(nullptr, TRUE, TRUE, nullptr);
      Job::Run(job);
    }
    return std::make_unique<Win32TaskPeer>(job);
  }

  std::unique_ptr<MenuPeer> CreateMenuPeer(Menu& menu) override {
    return std::make_unique<Win32MenuPeer>(menu);
  }

  std::unique_ptr<TimerPeer> CreateTimerPeer(Timer& timer) override {
    return std::make_unique<Win32TimerPeer>(timer, nextTimer_++);
  }

  void Run() override {
    MSG msg;
    while (!Application::Instance().Terminated()) {
      BOOL r = winapi::GetMessageW(&msg, nullptr, 0, 0);
      if (r == 0 || r == -1) break;
      Dispatch(msg);
    }
  }

  void ProcessMessages() override {
    MSG msg;
    while (winapi::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        ::PostQuitMessage(static_cast<int>(msg.wParam));
        return;
      }
      Dispatch(msg);
    }
  }

  void RunModal(Form& form) override {
    auto* fp = dynamic_cast<FormPeer*>(form.Peer());
    if (!fp) return;
    HWND self = fp->Window();
    HWND previous = ::GetActiveWindow();
    std::vector<HWND> disabled;
    for (FormPeer* other : forms_) {
      HWND h = other->hwnd();
      if (h == self || !::IsWindowEnabled(h)) continue;
      ::EnableWindow(h, FALSE);
      disabled.push_back(h);
    }
    ::SetActiveWindow(self);
    MSG msg;
    while (form.ModalResult == mrNone && form.Visible() && !Application::Instance().Terminated()) {
      BOOL r = winapi::GetMessageW(&msg, nullptr, 0, 0);
      if (r == 0 || r == -1) {
        ::PostQuitMessage(static_cast<int>(msg.wParam));  // for the outer loop
        break;
      }
      Dispatch(msg);
    }
    for (HWND h : disabled)
      if (::IsWindow(h)) ::EnableWindow(h, TRUE);
    if (previous && ::IsWindow(previous) && previous != self && ::IsWindowVisible(previous))
      ::SetActiveWindow(previous);
  }

  int MessageBox(Form* owner, const std::string& text, const std::string& caption,
                 unsigned flags) override {
    HWND h = nullptr;
    if (owner && owner->Peer()) {
      HWND oh = reinterpret_cast<HWND>(owner->Handle());
      if (oh && ::IsWindowVisible(oh)) h = oh;
    }
    if (!h) flags |= MB_SETFOREGROUND;
    std::wstring t = Widen(text), c = Widen(caption);
    return ::MessageBoxW(h, t.c_str(), c.c_str(), flags);
  }

  void Post(Form& form, const Message& msg) override {
    HWND h = reinterpret_cast<HWND>(form.Handle());
    if (h) winapi::PostMessageW(h, msg.msg, msg.wParam, msg.lParam);
  }

  std::intptr_t DefaultHandler(Form& form, const Message& msg) override {
    HWND h = reinterpret_cast<HWND>(form.Handle());
    return h ? winapi::DefWindowProcW(h, msg.msg, msg.wParam, msg.lParam) : 0;
  }

  void SetCursor(int cursor) override {
    HCURSOR c = CursorFor(cursor);
    ::SetCursor(c ? c : winapi::LoadCursorW(nullptr, IDC_ARROW));
  }

  static HCURSOR CursorFor(int cursor) {
    switch (cursor) {
      case crHourGlass: return winapi::LoadCursorW(nullptr, IDC_WAIT);
      case crHandPoint: return winapi::LoadCursorW(nullptr, IDC_HAND);
      case crCross: return winapi::LoadCursorW(nullptr, IDC_CROSS);
      default: return nullptr;
    }
  }

  // In layout units, as forms are placed.
  void ScreenSize(int& width, int& height) override {
    const Dpi sys = SystemDpi();
    width = sys.Layout(::GetSystemMetrics(SM_CXSCREEN));
    height = sys.Layout(::GetSystemMetrics(SM_CYSCREEN));
  }
  int ScreenDpi() override { return SystemDpi().value; }

  Color SystemColor(int index) override { return static_cast<Color>(::GetSysColor(index)); }

  void PopupMenu(tk::PopupMenu& menu, int x, int y) override {
    HWND owner = app();
    if (Form* main = Application::Instance().MainForm())
      if (HWND h = reinterpret_cast<HWND>(main->Handle())) owner = h;
    HMENU m = BuildMenu(menu.Items(), true);
    ::SetForegroundWindow(owner);
    int cmd = static_cast<int>(::TrackPopupMenu(m, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY,
                                                x, y, 0, owner, nullptr));
    winapi::PostMessageW(owner, WM_NULL, 0, 0);
    ::DestroyMenu(m);
    if (cmd != 0)
      if (MenuItem* item = menu.FindCommand(cmd)) item->Click();
  }

  bool ColorDialog(Form* owner, Color& color) override {
    static COLORREF custom[16] = {};
    for (auto& c : custom)
      if (c == 0) c = RGB(255, 255, 255);
    CHOOSECOLORW cc;
    std::memset(&cc, 0, sizeof cc);
    cc.lStructSize = sizeof cc;
    cc.hwndOwner = OwnerWindow(owner);
    cc.rgbResult = ToColorRef(color);
    cc.lpCustColors = custom;
    cc.Flags = CC_RGBINIT | CC_FULLOPEN;
    // comdlg32 is loaded when first used: start-up does not pay for it and
    // the printing libraries it pulls in.
    if (!winapi::ChooseColorW(&cc)) return false;
    color = static_cast<Color>(cc.rgbResult & 0xFFFFFF);
    return true;
  }

  bool OpenDialog(Form* owner, tk::OpenDialog& dialog) override {
    if (dialog.Folder) return FolderDialog(owner, dialog);
    std::wstring filter = Widen(dialog.Filter);
    for (auto& ch : filter)
      if (ch == L'|') ch = L'\0';
    filter.push_back(L'\0');
    filter.push_back(L'\0');
    std::vector<wchar_t> file(4096, L'\0');
    std::wstring initial = Widen(dialog.FileName);
    if (initial.size() < file.size()) std::copy(initial.begin(), initial.end(), file.begin());
    std::wstring title = Widen(dialog.Title);
    std::wstring initialDir = Widen(dialog.InitialDir);
    OPENFILENAMEW ofn;
    std::memset(&ofn, 0, sizeof ofn);
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = OwnerWindow(owner);
    ofn.lpstrFilter = dialog.Filter.empty() ? nullptr : filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrTitle = title.empty() ? nullptr : title.c_str();
    ofn.lpstrInitialDir = initialDir.empty() ? nullptr : initialDir.c_str();
    std::wstring defExt = Widen(dialog.DefaultExt);
    ofn.lpstrDefExt = defExt.empty() ? nullptr : defExt.c_str();
    ofn.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY |
                (dialog.Save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
    if (!(dialog.Save ? winapi::GetSaveFileNameW(&ofn) : winapi::GetOpenFileNameW(&ofn))) return false;
    dialog.FileName = Narrow(std::wstring(file.data()));
    return true;
  }

  // The shell's folder browser.
  bool FolderDialog(Form* owner, tk::OpenDialog& dialog) {
    std::wstring chosen = winapi::BrowseForFolder(OwnerWindow(owner), Widen(dialog.Title));
    if (chosen.empty()) return false;
    dialog.FileName = Narrow(chosen);
    return true;
  }

  WindowHandle ApplicationHandle() override { return reinterpret_cast<WindowHandle>(app()); }

  void SetApplicationTitle(const std::string& title) override {
    title_ = Widen(title);
    if (app_) winapi::SetWindowTextW(app_, title_.c_str());
  }

  void Terminate() override { ::PostQuitMessage(0); }

  // The program's icon (resource 1) drawn for `size` pixels, made once per
  // size and kept as long as the backend.
  HICON ProgramIcon(int size) {
    auto it = icons_.find(size);
    if (it != icons_.end()) return it->second;
    HICON h = static_cast<HICON>(
        winapi::LoadImageW(instance_, MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
    icons_[size] = h;
    return h;
  }

  // Fonts and brushes live as long as the backend.
  HFONT FontFor(const Font& f) {
    auto key = std::make_tuple(f.name, f.height, f.bold, f.underline);
    auto it = fonts_.find(key);
    if (it != fonts_.end()) return it->second;
    std::wstring face = Widen(f.name);
    if (face.size() > 31) face.resize(31);
    BYTE charset = IsJapaneseFace(face) ? SHIFTJIS_CHARSET : DEFAULT_CHARSET;
    HFONT h = winapi::CreateFontW(f.height, 0, 0, 0, f.bold ? FW_BOLD : FW_NORMAL, FALSE,
                            f.underline ? TRUE : FALSE, FALSE, charset, OUT_DEFAULT_PRECIS,
                            CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                            face.c_str());
    if (!h) h = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    fonts_[key] = h;
    return h;
  }

  SIZE TextExtent(const Font& f, const std::wstring& text) {
    SIZE sz = {0, 0};
    if (text.empty()) return sz;
    if (!measureDc_) measureDc_ = ::CreateCompatibleDC(nullptr);
    if (!measureDc_) return sz;
    HGDIOBJ old = ::SelectObject(measureDc_, FontFor(f));
    ::GetTextExtentPoint32W(measureDc_, text.c_str(), static_cast<int>(text.size()), &sz);
    ::SelectObject(measureDc_, old);
    return sz;
  }

  HBRUSH BrushFor(COLORREF c) {
    auto it = brushes_.find(c);
    if (it != brushes_.end()) return it->second;
    HBRUSH b = ::CreateSolidBrush(c);
    brushes_[c] = b;
    return b;
  }

  HWND OwnerWindow(Form* f) {
    if (f) {
      HWND h = reinterpret_cast<HWND>(f->Handle());
      if (h && ::IsWindowVisible(h)) return h;
    }
    return nullptr;
  }

  void FormGone(FormPeer* p) { forms_.erase(std::remove(forms_.begin(), forms_.end(), p), forms_.end()); }
  const std::vector<FormPeer*>& forms() const { return forms_; }

  void AddTimer(UINT_PTR id, Timer* t) { timers_[id] = t; }
  void RemoveTimer(UINT_PTR id) {
    if (app_) ::KillTimer(app_, id);
    timers_.erase(id);
  }

  static LRESULT CALLBACK FormProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
  static LRESULT CALLBACK AppProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
  // Their bodies, behind the one guard of the toolkit (Guarded).
  static LRESULT FormMessage(HWND h, UINT msg, WPARAM wp, LPARAM lp);
  static LRESULT AppMessage(HWND h, UINT msg, WPARAM wp, LPARAM lp);

 private:
  // Keyboard handling shared by every loop: Enter presses the form's default
  // button (or the focused button), Escape is swallowed, Tab moves the focus.
  void Dispatch(MSG& msg) {
    HWND root = msg.hwnd ? winapi::GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    FormPeer* fp = nullptr;
    if (root) {
      wchar_t cls[32] = {};
      winapi::GetClassNameW(root, cls, 32);
      if (std::wcscmp(cls, kFormClass) == 0)
        fp = static_cast<FormPeer*>(Win32Peer::FromHwnd(root));
    }
    // Keys inside a control that hosts another component: its active object
    // first, then the page; the form's own keys only outside it.
    if (fp && msg.message >= WM_KEYFIRST && msg.message <= WM_SYSDEADCHAR) {
      KeyMessage key{reinterpret_cast<WindowHandle>(msg.hwnd), msg.message, msg.wParam, msg.lParam};
      switch (fp->form().RouteKey(HostingControl(fp->form(), msg.hwnd), key)) {
        case KeyRoute::Translated: return;
        case KeyRoute::TabOut:
          if (::IsWindowEnabled(root) && winapi::IsDialogMessageW(root, &msg)) return;
          [[fallthrough]];
        case KeyRoute::Control:
          ::TranslateMessage(&msg);
          winapi::DispatchMessageW(&msg);
          return;
        case KeyRoute::Form: break;
      }
    }
    // Key events of the control (or form) that has the focus; a handler may
    // eat the key, or destroy the window.
    if (fp && (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN)) {
      if (Win32Peer* p = Win32Peer::FromHwnd(msg.hwnd)) {
        if (!p->control().PeerKeyDown(static_cast<unsigned>(msg.wParam))) return;
        if (!::IsWindow(root) || Win32Peer::FromHwnd(root) != fp) return;
      }
    }
    // A form without controls gets its keys as characters (Enter and Escape
    // too), without the dialog keyboard handling.
    if (fp && msg.hwnd == root && !::GetWindow(root, GW_CHILD)) {
      ::TranslateMessage(&msg);
      winapi::DispatchMessageW(&msg);
      return;
    }
    if (fp && msg.message == WM_KEYDOWN && (msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE)) {
      // The focused control of ours: the window itself, or the one holding
      // it (an editable combo box's edit).
      HWND focus = ::GetFocus();
      Win32Peer* peer = focus ? Win32Peer::FromHwnd(focus) : nullptr;
      if (!peer && focus && ::GetParent(focus) != root) peer = Win32Peer::FromHwnd(::GetParent(focus));
      Control* focused = peer && peer != fp ? &peer->control() : nullptr;
      const bool dropped = focused && focused->Kind() == ControlKind::ComboBox &&
                           winapi::SendMessageW(reinterpret_cast<HWND>(focused->Handle()),
                                                CB_GETDROPPEDSTATE, 0, 0) != 0;
      if (fp->form().PeerDialogKey(static_cast<unsigned>(msg.wParam), focused, dropped)) return;
      // A hotkey box keeps Escape as a key: the dialog handling would make
      // it a cancel command.
      if (msg.wParam == VK_ESCAPE && focused && focused->Kind() == ControlKind::HotKey) {
        ::TranslateMessage(&msg);
        winapi::DispatchMessageW(&msg);
        return;
      }
    }
    if (fp && ::IsWindowEnabled(root) && winapi::IsDialogMessageW(root, &msg)) return;
    ::TranslateMessage(&msg);
    winapi::DispatchMessageW(&msg);
  }

  // The control of a form whose window is, or holds, the given window:
  // only web browsers host windows of another component.
  static Control* HostingControl(Form& form, HWND window) {
    for (Control* c : form.Controls()) {
      if (c->Kind() != ControlKind::WebBrowser) continue;
      HWND h = reinterpret_cast<HWND>(c->Handle());
      if (h && (h == window || ::IsChild(h, window))) return c;
    }
    return nullptr;
  }

  HINSTANCE instance_ = nullptr;
  HWND app_ = nullptr;
  std::wstring title_;
  std::vector<FormPeer*> forms_;
  std::map<UINT_PTR, Timer*> timers_;
  UINT_PTR nextTimer_ = 1;
  std::map<std::tuple<std::string, int, bool, bool>, HFONT> fonts_;
  std::map<int, HICON> icons_;
  std::map<COLORREF, HBRUSH> brushes_;
  HDC measureDc_ = nullptr;

  friend class Win32TimerPeer;
};


LRESULT CALLBACK Win32Backend::FormProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT result = 0;
  Guarded([&] { result = FormMessage(h, msg, wp, lp); });
  return result;
}

LRESULT Win32Backend::FormMessage(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    // Per-monitor awareness of the first kind (Windows 10 1607) scales the
    // caption and menus only when asked; the second kind does it itself.
    using EnableNonClient = BOOL(WINAPI*)(HWND);
    static const auto enable = reinterpret_cast<EnableNonClient>(
        reinterpret_cast<void*>(winapi::Lookup("user32.dll", "EnableNonClientDpiScaling")));
    if (enable) enable(h);
  }
  auto* p = static_cast<FormPeer*>(Win32Peer::FromHwnd(h));
  if (!p || !g_backend) return winapi::DefWindowProcW(h, msg, wp, lp);
  if (msg == WM_NCDESTROY) {  // destroyed by the system, not by the peer
    p->Forget();
    return winapi::DefWindowProcW(h, msg, wp, lp);
  }
  if (!winapi::CharToWide(msg, wp)) return 0;  // the first byte of a double-byte character
  Message m;
  m.msg = msg;
  m.wParam = wp;
  m.lParam = lp;
  if (p->form().PeerMessage(m)) return m.result;
  // The handler may have destroyed the form.
  if (Win32Peer::FromHwnd(h) != p) return winapi::DefWindowProcW(h, msg, wp, lp);
  return p->OnMessage(msg, wp, lp);
}

LRESULT CALLBACK Win32Backend::AppProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT result = 0;
  Guarded([&] { result = AppMessage(h, msg, wp, lp); });
  return result;
}

LRESULT Win32Backend::AppMessage(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_TIMER && g_backend) {
    auto it = g_backend->timers_.find(wp);
    if (it != g_backend->timers_.end()) it->second->Fire();
    return 0;
  }
  if (msg == WM_CLOSE) {
    if (Form* main = Application::Instance().MainForm()) main->PeerCloseRequested();
    else Application::Instance().Terminate();
    return 0;
  }
  if (msg == kWmTaskDone) {
    auto* job = reinterpret_cast<Job*>(lp);
    struct Let {
      Job* job;
      ~Let() { job->Release(); }
    } let{job};
    job->Deliver();
    return 0;
  }
  if (msg == WM_HOTKEY) {
    Application::Instance().PeerHotKey(static_cast<int>(wp));
    return 0;
  }
  if (msg == WM_COPYDATA) {
    const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lp);
    // The bytes are another program's: only their size is trusted, and
    // nothing of ours is larger than this.
    if (!cds || cds->cbData > 65536 || (cds->cbData > 0 && !cds->lpData)) return 0;
    std::string bytes;
    if (cds->cbData > 0) bytes.assign(static_cast<const char*>(cds->lpData), cds->cbData);
    return Application::Instance().PeerCopyData(static_cast<std::uint32_t>(cds->dwData), bytes);
  }
  if (msg == WM_SETCURSOR) {
    if (HCURSOR c = CursorFor(Application::Instance().Cursor())) {
      ::SetCursor(c);
      return TRUE;
    }
  }
  return winapi::DefWindowProcW(h, msg, wp, lp);
}

}  // namespace

namespace win32 {
// ---------------------------------------------------------------- menus, timers
void Win32MenuPeer::Rebuild() {
  if (menu_.IsPopup() || !g_backend) return;  // popups are built when shown
  for (FormPeer* fp : g_backend->forms())
    if (fp->menu() == &menu_) fp->MenuChanged();
}

Win32TimerPeer::Win32TimerPeer(Timer& t, UINT_PTR id) : timer_(t), id_(id) {
  g_backend->AddTimer(id_, &timer_);
  Restart();
}

Win32TimerPeer::~Win32TimerPeer() {
  if (g_backend) g_backend->RemoveTimer(id_);
}

void Win32TimerPeer::Restart() {
  if (!g_backend) return;
  ::KillTimer(g_backend->app(), id_);
  if (timer_.Enabled() && timer_.Interval() > 0)
    ::SetTimer(g_backend->app(), id_, timer_.Interval(), nullptr);
}

Dpi SystemDpi() {
  static const int dpi = [] {
    HDC screen = ::GetDC(nullptr);
    int v = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen) ::ReleaseDC(nullptr, screen);
    return v > 0 ? v : kLayoutDpi;
  }();
  return Dpi{dpi};
}

Dpi WindowDpi(HWND h) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
      reinterpret_cast<void*>(winapi::Lookup("user32.dll", "GetDpiForWindow")));
  const int dpi = getDpiForWindow && h ? static_cast<int>(getDpiForWindow(h)) : 0;
  return dpi > 0 ? Dpi{dpi} : SystemDpi();
}

Dpi DpiOf(HWND child) {
  auto* form = dynamic_cast<FormPeer*>(Win32Peer::FromHwnd(winapi::GetAncestor(child, GA_ROOT)));
  return form ? form->dpi() : SystemDpi();
}

bool BackendAlive() { return g_backend != nullptr; }
HINSTANCE Instance() { return g_backend->instance(); }
HWND ApplicationWindow() { return g_backend->app(); }
HFONT FontFor(const Font& f) { return g_backend->FontFor(f); }
HICON ProgramIcon(int size) { return g_backend->ProgramIcon(size); }
HBRUSH BrushFor(COLORREF c) { return g_backend->BrushFor(c); }
SIZE TextExtent(const Font& f, const std::wstring& text) { return g_backend->TextExtent(f, text); }
HCURSOR CursorFor(int cursor) { return Win32Backend::CursorFor(cursor); }
void FormGone(FormPeer* p) { g_backend->FormGone(p); }
const std::vector<FormPeer*>& Forms() { return g_backend->forms(); }
}  // namespace win32

std::unique_ptr<Backend> CreateWin32Backend() { return std::make_unique<Win32Backend>(); }

}  // namespace tk
