#include "toolkit/win32/win32_backend.h"
#include "toolkit/win32/activex_host.h"

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

namespace {

// The common dialogs are loaded when first used: start-up does not pay for
// comdlg32 and the printing libraries it pulls in.
template <class F>
F CommonDialog(const char* name) {
  static HMODULE dll = ::LoadLibraryW(L"comdlg32.dll");
  return dll ? reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(dll, name))) : nullptr;
}


const wchar_t kFormClass[] = L"KivoForm";
const wchar_t kScrollBoxClass[] = L"KivoScrollBox";
const wchar_t kAppClass[] = L"KivoApplication";

class Win32Backend;
Win32Backend* g_backend = nullptr;

COLORREF ToColorRef(Color c) {
  auto u = static_cast<std::uint32_t>(c);
  if (u & 0x80000000u) return ::GetSysColor(static_cast<int>(u & 0xFFu));
  return static_cast<COLORREF>(u & 0xFFFFFFu);
}

Form* OwnerForm(Component* c) {
  for (; c; c = c->Owner())
    if (auto* f = dynamic_cast<Form*>(c)) return f;
  return nullptr;
}

bool IsJapaneseFace(const std::wstring& face) {
  for (wchar_t ch : face)
    if (ch >= 0x3000) return true;
  return false;
}

std::wstring WindowText(HWND h) {
  int n = ::GetWindowTextLengthW(h);
  if (n <= 0) return std::wstring();
  std::wstring s(static_cast<size_t>(n) + 1, L'\0');
  int got = ::GetWindowTextW(h, &s[0], n + 1);
  s.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return s;
}

// ---------------------------------------------------------------- peers
class Win32Peer : public ControlPeer {
 public:
  explicit Win32Peer(Control& c) : control_(c) {}
  ~Win32Peer() override { DestroyNative(); }

  Control& control() { return control_; }
  HWND hwnd() const { return hwnd_; }
  WindowHandle Handle() const override { return reinterpret_cast<WindowHandle>(hwnd_); }

  // Brings style bits that depend on fields set after construction (Default,
  // Align, ReadOnly, ...) in line with the control.
  virtual void Sync() {}

  void SetEnabled(bool on) override {
    if (hwnd_) ::EnableWindow(hwnd_, on ? TRUE : FALSE);
  }
  void SetColor(Color) override { Invalidate(); }
  void Invalidate() override {
    if (hwnd_) ::InvalidateRect(hwnd_, nullptr, TRUE);
  }
  void Focus() override {
    if (hwnd_) ::SetFocus(hwnd_);
  }
  void BringToFront() override {
    if (hwnd_) ::SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  }

  // The window is gone; the peer keeps no handle to it.
  void Forget() {
    if (hwnd_) ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    hwnd_ = nullptr;
  }

  static Win32Peer* FromHwnd(HWND h) {
    if (!h) return nullptr;
    return reinterpret_cast<Win32Peer*>(::GetWindowLongPtrW(h, GWLP_USERDATA));
  }

 protected:
  void Attach(HWND h) {
    hwnd_ = h;
    if (h) ::SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  void DestroyNative() {
    if (!hwnd_) return;
    HWND h = hwnd_;
    hwnd_ = nullptr;
    ::SetWindowLongPtrW(h, GWLP_USERDATA, 0);
    ::DestroyWindow(h);
  }

  Control& control_;
  HWND hwnd_ = nullptr;
};

class FormPeer;

class ChildPeer : public Win32Peer {
 public:
  ChildPeer(Control& c, FormPeer& form, int id);
  void SetText(const std::string& text) override;
  void SetBounds(const Rect& r) override { Place(r); }
  void SetVisible(bool on) override {
    if (on) Sync();
    if (hwnd_) ::ShowWindow(hwnd_, on ? SW_SHOWNA : SW_HIDE);
  }
  void SetChecked(bool on) override {
    if (hwnd_) ::SendMessageW(hwnd_, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  void SetFont(const Font& f) override;
  void SetItems(const std::vector<std::string>& items) override;
  void SetItemIndex(int index) override {
    if (!hwnd_) return;
    bool list = control_.Kind() == ControlKind::ListBox;
    ::SendMessageW(hwnd_, list ? LB_SETCURSEL : CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  }
  void SetPicture(const Picture* picture) override;
  void SetPages(const std::vector<std::string>& pages, int active) override {
    if (!hwnd_) return;
    ::SendMessageW(hwnd_, TCM_DELETEALLITEMS, 0, 0);
    for (size_t i = 0; i < pages.size(); ++i) {
      std::wstring w = Widen(pages[i]);
      TCITEMW item;
      std::memset(&item, 0, sizeof item);
      item.mask = TCIF_TEXT;
      item.pszText = &w[0];
      ::SendMessageW(hwnd_, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
    }
    ::SendMessageW(hwnd_, TCM_SETCURSEL, static_cast<WPARAM>(active), 0);
  }
  // WM_NOTIFY from the native control.
  void Notify(unsigned code) {
    if (control_.Kind() == ControlKind::PageControl && code == static_cast<unsigned>(TCN_SELCHANGE))
      static_cast<PageControl&>(control_).PeerPageChanged(
          static_cast<int>(::SendMessageW(hwnd_, TCM_GETCURSEL, 0, 0)));
  }
  void SetContainer(ControlPeer* container) override;
  void ContentChanged() override;
  void SetPosition(int pos) override {
    if (hwnd_) ::SendMessageW(hwnd_, PBM_SETPOS, static_cast<WPARAM>(pos), 0);
  }
  void SetStyleFlags(unsigned flags) override;
  void Sync() override;

  // WM_COMMAND notification from the native control.
  void Command(unsigned code);
  bool settingText() const { return settingText_; }

 private:
  void Create(int id);
  void Place(const Rect& r);
  void SetStyleBits(LONG_PTR mask, LONG_PTR bits, bool frame);
  void LoadPicture();

  FormPeer& form_;
  bool settingText_ = false;
  bool simple_ = false;
  HANDLE picture_ = nullptr;
  std::string pictureKey_;
  HBITMAP memoryPicture_ = nullptr;
  // Scroll boxes: the content's scroll position.
  int scrollX_ = 0, scrollY_ = 0;

 public:
  ~ChildPeer() override {
    DestroyNative();
    if (memoryPicture_) ::DeleteObject(memoryPicture_);
  }
  void Scroll(int bar, int code, int track);
  static LRESULT CALLBACK ScrollBoxProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
};

class FormPeer : public Win32Peer {
 public:
  explicit FormPeer(Form& f);
  ~FormPeer() override;
  Form& form() { return static_cast<Form&>(control_); }

  void SetText(const std::string& text) override {
    std::wstring w = Widen(text);
    ::SetWindowTextW(hwnd_, w.c_str());
  }
  void SetBounds(const Rect& r) override;
  void SetVisible(bool on) override;
  void SetColor(Color) override { ::InvalidateRect(hwnd_, nullptr, TRUE); RedrawChildren(); }
  void SetStyleFlags(unsigned flags) override;
  void SetMenu(Menu* menu) override;
  void Focus() override {
    ::SetActiveWindow(hwnd_);
    ::SetFocus(hwnd_);
  }
  void BringToFront() override {
    // Shown and already in front (as a window just shown is): nothing to do;
    // each of these calls is a round trip to the window system.
    if (!::IsWindowVisible(hwnd_) || ::GetForegroundWindow() == hwnd_) return;
    ::SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ::SetForegroundWindow(hwnd_);
  }

  // Recreates the native menu bar from the attached main menu.
  void RebuildMenu();
  // An item changed: a hidden window's bar is rebuilt when it is shown, once
  // for all the changes made before.
  void MenuChanged() {
    if (::IsWindowVisible(hwnd_)) RebuildMenu();
    else menuDirty_ = true;
  }
  Menu* menu() const { return menu_; }
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp);
  // A new child goes to the bottom of its siblings; frames and containers
  // are pushed back under every control, the later ones above the earlier.
  // Restacking waits until the form is shown, so that building a form costs
  // one pass, not one per control.
  void StackContainer(HWND h) { containers_.push_back(h); }
  void ChildAdded() {
    if (::IsWindowVisible(hwnd_)) RestackContainers();
    else restack_ = true;
  }
  void RestackContainers() {
    restack_ = false;
    for (auto it = containers_.rbegin(); it != containers_.rend(); ++it)
      if (::IsWindow(*it))
        ::SetWindowPos(*it, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  // Style bits from the form's border settings.
  void ApplyStyle();
  // Tells the form the window's real outer bounds. keepClient: the window
  // was just sized from the form's client size, which stays as it is.
  void ReportBounds(bool keepClient);
  void RedrawChildren() {
    for (HWND c = ::GetWindow(hwnd_, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
      ::InvalidateRect(c, nullptr, TRUE);
  }

 private:
  void Place(const Rect& r);
  void FitClient();
  HMENU bar_ = nullptr;
  Menu* menu_ = nullptr;
  bool syncing_ = false;
  Rect reported_;  // outer bounds last reported to the form
  bool haveReported_ = false;
  std::vector<HWND> containers_;
  bool restack_ = false;
  bool menuDirty_ = false;
};

class Win32MenuPeer : public MenuPeer {
 public:
  explicit Win32MenuPeer(Menu& m) : menu_(m) {}
  void Rebuild() override;

 private:
  Menu& menu_;
};

class Win32TimerPeer : public TimerPeer {
 public:
  Win32TimerPeer(Timer& t, UINT_PTR id);
  ~Win32TimerPeer() override;
  void Restart() override;

 private:
  Timer& timer_;
  UINT_PTR id_;
};

HMENU BuildMenu(const MenuItem& parent, bool popup) {
  HMENU m = popup ? ::CreatePopupMenu() : ::CreateMenu();
  for (const auto& item : parent.Items()) {
    std::wstring text = Widen(item->Caption());
    UINT flags = item->Enabled() ? MF_ENABLED : (MF_GRAYED | MF_DISABLED);
    if (item->Checked()) flags |= MF_CHECKED;
    if (item->Caption() == "-") {
      ::AppendMenuW(m, MF_SEPARATOR, 0, nullptr);
    } else if (!item->Items().empty()) {
      HMENU sub = BuildMenu(*item, true);
      ::AppendMenuW(m, flags | MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(sub), text.c_str());
    } else {
      ::AppendMenuW(m, flags | MF_STRING, static_cast<UINT_PTR>(item->Command()), text.c_str());
    }
  }
  return m;
}

// ---------------------------------------------------------------- backend
class Win32Backend : public Backend {
 public:
  Win32Backend() {
    g_backend = this;
    instance_ = ::GetModuleHandleW(nullptr);
    INITCOMMONCONTROLSEX icc;
    icc.dwSize = sizeof icc;
    icc.dwICC = ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES | ICC_TAB_CLASSES;
    ::InitCommonControlsEx(&icc);

    WNDCLASSEXW wc;
    std::memset(&wc, 0, sizeof wc);
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &FormProc;
    wc.hInstance = instance_;
    wc.hIcon = ::LoadIconW(instance_, MAKEINTRESOURCEW(1));
    if (!wc.hIcon) wc.hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = nullptr;  // painted in WM_ERASEBKGND
    wc.lpszClassName = kFormClass;
    ::RegisterClassExW(&wc);

    wc.lpfnWndProc = &AppProc;
    wc.lpszClassName = kAppClass;
    ::RegisterClassExW(&wc);

    wc.lpfnWndProc = &ChildPeer::ScrollBoxProc;
    wc.hIcon = nullptr;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kScrollBoxClass;
    ::RegisterClassExW(&wc);

    app_ = ::CreateWindowExW(0, kAppClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                             instance_, nullptr);
  }

  ~Win32Backend() override {
    for (auto& t : timers_) ::KillTimer(app_, t.first);
    timers_.clear();
    if (app_) ::DestroyWindow(app_);
    for (auto& f : fonts_) ::DeleteObject(f.second);
    for (auto& b : brushes_) ::DeleteObject(b.second);
    if (g_backend == this) g_backend = nullptr;
  }

  HINSTANCE instance() const { return instance_; }
  HWND app() const { return app_; }

  std::unique_ptr<ControlPeer> CreatePeer(Control& control) override {
    if (control.Kind() == ControlKind::Form) {
      auto p = std::make_unique<FormPeer>(static_cast<Form&>(control));
      forms_.push_back(p.get());
      return p;
    }
    Form* parent = control.ParentForm();
    auto* fp = parent ? dynamic_cast<FormPeer*>(parent->Peer()) : nullptr;
    if (!fp) return std::make_unique<ControlPeer>();
    if (control.Kind() == ControlKind::WebBrowser)
      return CreateWebBrowserPeer(static_cast<WebBrowser&>(control), fp->hwnd(), instance_);
    int id = 0;
    const auto& list = parent->Controls();
    auto it = std::find(list.begin(), list.end(), &control);
    id = static_cast<int>(it - list.begin());
    return std::make_unique<ChildPeer>(control, *fp, id);
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
      BOOL r = ::GetMessageW(&msg, nullptr, 0, 0);
      if (r == 0 || r == -1) break;
      Dispatch(msg);
    }
  }

  void ProcessMessages() override {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
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
    HWND self = fp->hwnd();
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
      BOOL r = ::GetMessageW(&msg, nullptr, 0, 0);
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
    if (h) ::PostMessageW(h, msg.msg, msg.wParam, msg.lParam);
  }

  std::intptr_t DefaultHandler(Form& form, const Message& msg) override {
    HWND h = reinterpret_cast<HWND>(form.Handle());
    return h ? ::DefWindowProcW(h, msg.msg, msg.wParam, msg.lParam) : 0;
  }

  void SetCursor(int cursor) override {
    HCURSOR c = CursorFor(cursor);
    ::SetCursor(c ? c : ::LoadCursorW(nullptr, IDC_ARROW));
  }

  static HCURSOR CursorFor(int cursor) {
    switch (cursor) {
      case crHourGlass: return ::LoadCursorW(nullptr, IDC_WAIT);
      case crHandPoint: return ::LoadCursorW(nullptr, IDC_HAND);
      default: return nullptr;
    }
  }

  void ScreenSize(int& width, int& height) override {
    width = ::GetSystemMetrics(SM_CXSCREEN);
    height = ::GetSystemMetrics(SM_CYSCREEN);
  }

  void PopupMenu(tk::PopupMenu& menu, int x, int y) override {
    HWND owner = app_;
    if (Form* main = Application::Instance().MainForm())
      if (HWND h = reinterpret_cast<HWND>(main->Handle())) owner = h;
    HMENU m = BuildMenu(menu.Items(), true);
    ::SetForegroundWindow(owner);
    int cmd = static_cast<int>(::TrackPopupMenu(m, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY,
                                                x, y, 0, owner, nullptr));
    ::PostMessageW(owner, WM_NULL, 0, 0);
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
    auto choose = CommonDialog<BOOL(WINAPI*)(LPCHOOSECOLORW)>("ChooseColorW");
    if (!choose || !choose(&cc)) return false;
    color = static_cast<Color>(cc.rgbResult & 0xFFFFFF);
    return true;
  }

  bool OpenDialog(Form* owner, tk::OpenDialog& dialog) override {
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
    auto run = CommonDialog<BOOL(WINAPI*)(LPOPENFILENAMEW)>(dialog.Save ? "GetSaveFileNameW"
                                                                        : "GetOpenFileNameW");
    if (!run || !run(&ofn)) return false;
    dialog.FileName = Narrow(std::wstring(file.data()));
    return true;
  }

  WindowHandle ApplicationHandle() override { return reinterpret_cast<WindowHandle>(app_); }

  void SetApplicationTitle(const std::string& title) override {
    std::wstring w = Widen(title);
    ::SetWindowTextW(app_, w.c_str());
  }

  void Terminate() override { ::PostQuitMessage(0); }

  // Fonts and brushes live as long as the backend.
  HFONT FontFor(const Font& f) {
    auto key = std::make_tuple(f.name, f.height, f.bold, f.underline);
    auto it = fonts_.find(key);
    if (it != fonts_.end()) return it->second;
    std::wstring face = Widen(f.name);
    if (face.size() > 31) face.resize(31);
    BYTE charset = IsJapaneseFace(face) ? SHIFTJIS_CHARSET : DEFAULT_CHARSET;
    HFONT h = ::CreateFontW(f.height, 0, 0, 0, f.bold ? FW_BOLD : FW_NORMAL, FALSE,
                            f.underline ? TRUE : FALSE, FALSE, charset, OUT_DEFAULT_PRECIS,
                            CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                            face.c_str());
    if (!h) h = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    fonts_[key] = h;
    return h;
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
    ::KillTimer(app_, id);
    timers_.erase(id);
  }

  static LRESULT CALLBACK FormProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
  static LRESULT CALLBACK AppProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);

 private:
  // Keyboard handling shared by every loop: Enter presses the form's default
  // button (or the focused button), Escape is swallowed, Tab moves the focus.
  void Dispatch(MSG& msg) {
    HWND root = msg.hwnd ? ::GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    FormPeer* fp = nullptr;
    if (root) {
      wchar_t cls[32] = {};
      ::GetClassNameW(root, cls, 32);
      if (std::wcscmp(cls, kFormClass) == 0)
        fp = static_cast<FormPeer*>(Win32Peer::FromHwnd(root));
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
      ::DispatchMessageW(&msg);
      return;
    }
    if (fp && msg.message == WM_KEYDOWN && (msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE)) {
      HWND focus = ::GetFocus();
      wchar_t cls[32] = {};
      if (focus) ::GetClassNameW(focus, cls, 32);
      bool combo = false;
      HWND comboWnd = focus;
      if (_wcsicmp(cls, L"Edit") == 0 && ::GetParent(focus) && ::GetParent(focus) != root) {
        comboWnd = ::GetParent(focus);
      }
      wchar_t ccls[32] = {};
      if (comboWnd) ::GetClassNameW(comboWnd, ccls, 32);
      if (_wcsicmp(ccls, L"ComboBox") == 0)
        combo = ::SendMessageW(comboWnd, CB_GETDROPPEDSTATE, 0, 0) != 0;
      bool multiline = _wcsicmp(cls, L"Edit") == 0 &&
                       (::GetWindowLongPtrW(focus, GWL_STYLE) & ES_MULTILINE) &&
                       !(::GetWindowLongPtrW(focus, GWL_STYLE) & ES_READONLY);
      if (!combo && !(multiline && msg.wParam == VK_RETURN)) {
        if (msg.wParam == VK_RETURN) {
          LONG_PTR style = focus ? ::GetWindowLongPtrW(focus, GWL_STYLE) : 0;
          bool button = _wcsicmp(cls, L"Button") == 0 &&
                        ((style & BS_TYPEMASK) == BS_PUSHBUTTON ||
                         (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON);
          if (button) {
            ::SendMessageW(focus, BM_CLICK, 0, 0);
          } else {
            Form& form = fp->form();
            form.PressDefault();
          }
        }
        return;
      }
    }
    if (fp && ::IsWindowEnabled(root) && ::IsDialogMessageW(root, &msg)) return;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }

  HINSTANCE instance_ = nullptr;
  HWND app_ = nullptr;
  std::vector<FormPeer*> forms_;
  std::map<UINT_PTR, Timer*> timers_;
  UINT_PTR nextTimer_ = 1;
  std::map<std::tuple<std::string, int, bool, bool>, HFONT> fonts_;
  std::map<COLORREF, HBRUSH> brushes_;

  friend class Win32TimerPeer;
};

// ---------------------------------------------------------------- ChildPeer
ChildPeer::ChildPeer(Control& c, FormPeer& form, int id) : Win32Peer(c), form_(form) {
  Create(id);
}

void ChildPeer::Create(int id) {
  const wchar_t* cls = L"STATIC";
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
  DWORD ex = WS_EX_NOPARENTNOTIFY;
  switch (control_.Kind()) {
    case ControlKind::Button:
      cls = L"BUTTON";
      style |= BS_PUSHBUTTON | WS_TABSTOP;
      break;
    case ControlKind::CheckBox:
      cls = L"BUTTON";
      style |= BS_CHECKBOX | WS_TABSTOP;
      break;
    case ControlKind::RadioButton:
      cls = L"BUTTON";
      style |= BS_RADIOBUTTON | WS_TABSTOP;
      break;
    case ControlKind::Label:
      style |= SS_LEFT | SS_NOTIFY;
      break;
    case ControlKind::Edit:
      cls = L"EDIT";
      style |= ES_AUTOHSCROLL | WS_TABSTOP;
      ex |= WS_EX_CLIENTEDGE;
      break;
    case ControlKind::Memo:
      cls = L"EDIT";
      style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_TABSTOP;
      if (static_cast<Memo&>(control_).HorizontalScrollBar()) style |= ES_AUTOHSCROLL | WS_HSCROLL;
      if (static_cast<Memo&>(control_).VerticalScrollBar()) style |= WS_VSCROLL;
      ex |= WS_EX_CLIENTEDGE;
      break;
    case ControlKind::ComboBox:
      cls = L"COMBOBOX";
      style |= (static_cast<ComboBox&>(control_).DropDownList() ? CBS_DROPDOWNLIST
                                                                 : CBS_DROPDOWN | CBS_AUTOHSCROLL) |
               WS_VSCROLL | WS_TABSTOP;
      break;
    case ControlKind::ListBox:
      cls = L"LISTBOX";
      style |= LBS_NOTIFY | WS_VSCROLL | WS_TABSTOP;
      ex |= WS_EX_CLIENTEDGE;
      break;
    case ControlKind::StatusBar:
      cls = STATUSCLASSNAMEW;
      style |= CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER;
      break;
    case ControlKind::Bevel:
      style |= SS_ETCHEDFRAME;
      break;
    case ControlKind::Panel:
      style |= SS_CENTER | SS_CENTERIMAGE | SS_SUNKEN;
      break;
    case ControlKind::Image:
      style |= SS_BITMAP | SS_NOTIFY;
      break;
    case ControlKind::ProgressBar:
      cls = PROGRESS_CLASSW;
      break;
    case ControlKind::GroupBox:
      cls = L"BUTTON";
      style |= BS_GROUPBOX;
      break;
    case ControlKind::PageControl:
      cls = WC_TABCONTROLW;
      style |= WS_CLIPSIBLINGS;
      break;
    case ControlKind::ScrollBox:
      cls = kScrollBoxClass;
      style |= WS_HSCROLL | WS_VSCROLL | WS_CLIPCHILDREN;
      ex |= WS_EX_CLIENTEDGE;
      break;
    case ControlKind::Form:
      break;
  }
  std::wstring text = control_.Kind() == ControlKind::Image ? std::wstring() : Widen(control_.Caption());
  const Rect& r = control_.Bounds();
  HWND h = ::CreateWindowExW(ex, cls, text.c_str(), style, r.left, r.top, r.width, r.height,
                             form_.hwnd(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                             g_backend->instance(), nullptr);
  Attach(h);
  if (!h) return;
  // Frames, containers, labels and pictures stay behind the controls placed
  // on them, the later ones above the earlier ones, as drawings on the form.
  ControlKind k = control_.Kind();
  if (k == ControlKind::Panel || k == ControlKind::GroupBox || k == ControlKind::Bevel ||
      k == ControlKind::Label || k == ControlKind::Image || k == ControlKind::PageControl)
    form_.StackContainer(h);
  form_.ChildAdded();
  SetFont(control_.GetFont());
  if (k == ControlKind::ProgressBar) ::SendMessageW(h, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  if (k == ControlKind::StatusBar) SetText(control_.Caption());
  if (!control_.Enabled()) ::EnableWindow(h, FALSE);
  Place(r);
  if (control_.Visible()) ::ShowWindow(h, SW_SHOWNA);
}

void ChildPeer::Place(const Rect& r) {
  if (!hwnd_) return;
  int w = r.width, hgt = r.height;
  switch (control_.Kind()) {
    case ControlKind::ComboBox: {
      // The height of a combo box includes its drop-down list.
      auto& cb = static_cast<ComboBox&>(control_);
      int item = static_cast<int>(::SendMessageW(hwnd_, CB_GETITEMHEIGHT, 0, 0));
      if (item <= 0) item = 16;
      hgt = r.height + item * std::max(1, cb.DropDownCount) + 4;
      break;
    }
    case ControlKind::Label: {
      auto& l = static_cast<Label&>(control_);
      if (l.AutoSize && !l.WordWrap) {
        // Never clip the caption: grow to the text's extent.
        HDC dc = ::GetDC(hwnd_);
        HGDIOBJ old = ::SelectObject(dc, g_backend->FontFor(control_.GetFont()));
        std::wstring t = Widen(control_.Caption());
        SIZE sz = {0, 0};
        if (!t.empty()) ::GetTextExtentPoint32W(dc, t.c_str(), static_cast<int>(t.size()), &sz);
        ::SelectObject(dc, old);
        ::ReleaseDC(hwnd_, dc);
        if (sz.cx > w) {
          int grow = sz.cx - w;
          w = sz.cx;
          int left = l.Align == Alignment::Right    ? r.left - grow
                     : l.Align == Alignment::Center ? r.left - grow / 2
                                                    : r.left;
          ::MoveWindow(hwnd_, left, r.top, w, std::max<int>(hgt, sz.cy), TRUE);
          // A label that grew to the left keeps no old pixels: they stood
          // where its text does not stand any more.
          ::InvalidateRect(hwnd_, nullptr, TRUE);
          return;
        }
        if (sz.cy > hgt) hgt = sz.cy;
      }
      break;
    }
    default:
      break;
  }
  ::MoveWindow(hwnd_, r.left, r.top, w, hgt, TRUE);
}

void ChildPeer::SetText(const std::string& text) {
  if (!hwnd_) return;
  switch (control_.Kind()) {
    case ControlKind::Image:
      LoadPicture();
      return;
    case ControlKind::StatusBar: {
      std::wstring w = Widen(text);
      if (simple_) {
        ::SendMessageW(hwnd_, SB_SETTEXTW, 255, reinterpret_cast<LPARAM>(w.c_str()));
      } else {
        int parts[1] = {-1};
        ::SendMessageW(hwnd_, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(parts));
        ::SendMessageW(hwnd_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(w.c_str()));
      }
      return;
    }
    case ControlKind::ComboBox:
      // A list shows its selection; an editable box shows its text.
      if (!static_cast<ComboBox&>(control_).DropDownList()) {
        settingText_ = true;
        ::SetWindowTextW(hwnd_, Widen(text).c_str());
        settingText_ = false;
      }
      return;
    default:
      break;
  }
  std::wstring w = Widen(text);
  if (WindowText(hwnd_) == w) return;
  settingText_ = true;
  ::SetWindowTextW(hwnd_, w.c_str());
  settingText_ = false;
  if (control_.Kind() == ControlKind::Label) Place(control_.Bounds());
}

void ChildPeer::SetFont(const Font& f) {
  if (!hwnd_) return;
  ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(g_backend->FontFor(f)), TRUE);
}

void ChildPeer::SetItems(const std::vector<std::string>& items) {
  if (!hwnd_) return;
  bool list = control_.Kind() == ControlKind::ListBox;
  ::SendMessageW(hwnd_, list ? LB_RESETCONTENT : CB_RESETCONTENT, 0, 0);
  for (const auto& s : items) {
    std::wstring w = Widen(s);
    ::SendMessageW(hwnd_, list ? LB_ADDSTRING : CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(w.c_str()));
  }
}

void ChildPeer::SetStyleFlags(unsigned flags) {
  if (!hwnd_) return;
  if (control_.Kind() == ControlKind::StatusBar) {
    simple_ = (flags & 1u) != 0;
    ::SendMessageW(hwnd_, SB_SIMPLE, simple_ ? TRUE : FALSE, 0);
    SetText(control_.Caption());
  }
}

void ChildPeer::SetStyleBits(LONG_PTR mask, LONG_PTR bits, bool frame) {
  LONG_PTR style = ::GetWindowLongPtrW(hwnd_, GWL_STYLE);
  LONG_PTR next = (style & ~mask) | bits;
  if (next == style) return;
  ::SetWindowLongPtrW(hwnd_, GWL_STYLE, next);
  if (frame)
    ::SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  ::InvalidateRect(hwnd_, nullptr, TRUE);
}

void ChildPeer::LoadPicture() {
  auto& img = static_cast<Image&>(control_);
  std::string key = img.Resource + (img.IsIcon ? "#i" : "#b") + (img.Stretch ? "s" : "");
  if (key == pictureKey_) return;
  pictureKey_ = key;
  HANDLE old = picture_;
  picture_ = nullptr;
  SetStyleBits(SS_TYPEMASK, img.IsIcon ? SS_ICON : SS_BITMAP, false);
  if (!img.Resource.empty()) {
    std::wstring name = Widen(img.Resource);
    int cx = img.Stretch ? img.Width() : 0, cy = img.Stretch ? img.Height() : 0;
    if (img.IsIcon && !img.Stretch) {
      cx = img.Width() > 0 ? img.Width() : 32;
      cy = img.Height() > 0 ? img.Height() : 32;
    }
    picture_ = ::LoadImageW(g_backend->instance(), name.c_str(), img.IsIcon ? IMAGE_ICON : IMAGE_BITMAP,
                            cx, cy, LR_DEFAULTCOLOR);
  }
  ::SendMessageW(hwnd_, STM_SETIMAGE, img.IsIcon ? IMAGE_ICON : IMAGE_BITMAP,
                 reinterpret_cast<LPARAM>(picture_));
  if (old) {
    if (pictureKey_.find("#i") != std::string::npos) ::DestroyIcon(static_cast<HICON>(old));
    else ::DeleteObject(old);
  }
  // A bitmap static resizes itself to the picture; keep the control's bounds
  // when stretching.
  if (img.Stretch) Place(img.Bounds());
}

void ChildPeer::Sync() {
  if (!hwnd_) return;
  switch (control_.Kind()) {
    case ControlKind::Button: {
      auto& b = static_cast<Button&>(control_);
      LONG_PTR style = ::GetWindowLongPtrW(hwnd_, GWL_STYLE) & BS_TYPEMASK;
      LONG_PTR want = b.Default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
      if (style != want) ::SendMessageW(hwnd_, BM_SETSTYLE, want, TRUE);
      break;
    }
    case ControlKind::Label: {
      auto& l = static_cast<Label&>(control_);
      LONG_PTR bits = l.Align == Alignment::Right    ? SS_RIGHT
                      : l.Align == Alignment::Center ? SS_CENTER
                      : l.WordWrap                   ? SS_LEFT
                                                     : SS_LEFTNOWORDWRAP;
      if (!l.ShowAccelChar) bits |= SS_NOPREFIX;
      SetStyleBits(SS_TYPEMASK | SS_NOPREFIX, bits, false);
      Place(l.Bounds());
      break;
    }
    case ControlKind::Edit: {
      auto& e = static_cast<Edit&>(control_);
      bool ro = (::GetWindowLongPtrW(hwnd_, GWL_STYLE) & ES_READONLY) != 0;
      if (ro != e.ReadOnly) ::SendMessageW(hwnd_, EM_SETREADONLY, e.ReadOnly ? TRUE : FALSE, 0);
      ::SendMessageW(hwnd_, EM_SETPASSWORDCHAR, e.Password ? L'*' : 0, 0);
      ::SendMessageW(hwnd_, EM_SETLIMITTEXT, e.MaxLength > 0 ? e.MaxLength : 0, 0);
      break;
    }
    case ControlKind::Memo: {
      auto& m = static_cast<Memo&>(control_);
      bool ro = (::GetWindowLongPtrW(hwnd_, GWL_STYLE) & ES_READONLY) != 0;
      if (ro != m.ReadOnly) ::SendMessageW(hwnd_, EM_SETREADONLY, m.ReadOnly ? TRUE : FALSE, 0);
      break;
    }
    case ControlKind::ComboBox:
      Place(control_.Bounds());
      break;
    case ControlKind::Image:
      LoadPicture();
      break;
    case ControlKind::Bevel: {
      const Rect& r = control_.Bounds();
      LONG_PTR bits = r.height <= 2 ? SS_ETCHEDHORZ : r.width <= 2 ? SS_ETCHEDVERT : SS_ETCHEDFRAME;
      SetStyleBits(SS_TYPEMASK, bits, false);
      break;
    }
    default:
      break;
  }
}

void ChildPeer::Command(unsigned code) {
  switch (control_.Kind()) {
    case ControlKind::Button:
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
      if (code == BN_CLICKED) control_.PeerClicked();
      break;
    case ControlKind::Label:
    case ControlKind::Image:
      if (code == STN_CLICKED) control_.PeerClicked();
      break;
    case ControlKind::Edit:
      if (code == EN_CHANGE && !settingText_) {
        std::string text = Narrow(WindowText(hwnd_));
        auto& e = static_cast<Edit&>(control_);
        if (text != e.Text()) e.PeerTextChanged(text);
      }
      break;
    case ControlKind::Memo:
      if (code == EN_CHANGE && !settingText_) {
        auto& m = static_cast<Memo&>(control_);
        std::string text = Narrow(WindowText(hwnd_));
        std::vector<std::string> lines;
        size_t start = 0;
        for (;;) {
          size_t p = text.find("\r\n", start);
          if (p == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
          }
          lines.push_back(text.substr(start, p - start));
          start = p + 2;
        }
        if (text.empty()) lines.clear();
        m.Lines = lines;
        settingText_ = true;  // the window already shows the text
        m.SetCaption(text);
        settingText_ = false;
      }
      break;
    case ControlKind::ListBox:
      if (code == LBN_SELCHANGE) {
        int index = static_cast<int>(::SendMessageW(hwnd_, LB_GETCURSEL, 0, 0));
        static_cast<ListBox&>(control_).PeerSelected(index);
      } else if (code == LBN_DBLCLK) {
        static_cast<ListBox&>(control_).PeerDoubleClicked();
      }
      break;
    case ControlKind::ComboBox:
      if (code == CBN_SELCHANGE) {
        int index = static_cast<int>(::SendMessageW(hwnd_, CB_GETCURSEL, 0, 0));
        static_cast<ComboBox&>(control_).PeerSelected(index);
      } else if (code == CBN_EDITCHANGE && !settingText_) {
        static_cast<ComboBox&>(control_).PeerTextChanged(Narrow(WindowText(hwnd_)));
      }
      break;
    default:
      break;
  }
}

void ChildPeer::SetPicture(const Picture* picture) {
  if (!hwnd_) return;
  HBITMAP old = memoryPicture_;
  memoryPicture_ = nullptr;
  if (picture && picture->width > 0 && picture->height > 0) {
    BITMAPINFO bi;
    std::memset(&bi, 0, sizeof bi);
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = picture->width;
    bi.bmiHeader.biHeight = -picture->height;  // rows from the top
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    memoryPicture_ = ::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (memoryPicture_ && bits) {
      size_t stride = (static_cast<size_t>(picture->width) * 3 + 3) & ~size_t{3};
      auto* out = static_cast<std::uint8_t*>(bits);
      for (int y = 0; y < picture->height; ++y)
        std::memcpy(out + stride * static_cast<size_t>(y),
                    &picture->bgr[static_cast<size_t>(y) * picture->width * 3],
                    static_cast<size_t>(picture->width) * 3);
    }
  }
  pictureKey_.clear();
  SetStyleBits(SS_TYPEMASK, SS_BITMAP, false);
  ::SendMessageW(hwnd_, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(memoryPicture_));
  if (old) ::DeleteObject(old);
  Place(control_.Bounds());
}

void ChildPeer::SetContainer(ControlPeer* container) {
  auto* box = dynamic_cast<ChildPeer*>(container);
  if (!hwnd_ || !box || !box->hwnd()) return;
  ::SetParent(hwnd_, box->hwnd());
  Place(control_.Bounds());
}

void ChildPeer::ContentChanged() {
  if (!hwnd_) return;
  // Back to the origin: every control of the content at its own place; then
  // ranges for the content's extent.
  scrollX_ = scrollY_ = 0;
  for (HWND c = ::GetWindow(hwnd_, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
    if (auto* p = dynamic_cast<ChildPeer*>(Win32Peer::FromHwnd(c))) p->Place(p->control().Bounds());
  RECT client;
  ::GetClientRect(hwnd_, &client);
  int right = 0, bottom = 0;
  for (HWND c = ::GetWindow(hwnd_, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
    if (!::IsWindowVisible(c)) continue;
    RECT r;
    ::GetWindowRect(c, &r);
    ::MapWindowPoints(HWND_DESKTOP, hwnd_, reinterpret_cast<POINT*>(&r), 2);
    right = std::max<int>(right, r.right);
    bottom = std::max<int>(bottom, r.bottom);
  }
  for (int bar : {SB_HORZ, SB_VERT}) {
    SCROLLINFO si;
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = 0;
    si.nMax = (bar == SB_HORZ ? right : bottom) - 1;
    si.nPage = static_cast<UINT>(bar == SB_HORZ ? client.right : client.bottom);
    si.nPos = 0;
    ::SetScrollInfo(hwnd_, bar, &si, TRUE);
  }
  ::InvalidateRect(hwnd_, nullptr, TRUE);
}

void ChildPeer::Scroll(int bar, int code, int track) {
  SCROLLINFO si;
  si.cbSize = sizeof si;
  si.fMask = SIF_ALL;
  ::GetScrollInfo(hwnd_, bar, &si);
  int pos = si.nPos;
  int line = 16, page = static_cast<int>(si.nPage);
  switch (code) {
    case SB_LINEUP: pos -= line; break;
    case SB_LINEDOWN: pos += line; break;
    case SB_PAGEUP: pos -= page; break;
    case SB_PAGEDOWN: pos += page; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: pos = track; break;
    case SB_TOP: pos = si.nMin; break;
    case SB_BOTTOM: pos = si.nMax; break;
    default: return;
  }
  int maxPos = std::max(0, si.nMax - static_cast<int>(si.nPage) + 1);
  pos = std::max(0, std::min(pos, maxPos));
  int& current = bar == SB_HORZ ? scrollX_ : scrollY_;
  if (pos == current) return;
  int delta = current - pos;
  current = pos;
  ::SetScrollPos(hwnd_, bar, pos, TRUE);
  ::ScrollWindowEx(hwnd_, bar == SB_HORZ ? delta : 0, bar == SB_VERT ? delta : 0, nullptr, nullptr,
                   nullptr, nullptr, SW_SCROLLCHILDREN | SW_INVALIDATE | SW_ERASE);
}

LRESULT CALLBACK ChildPeer::ScrollBoxProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = dynamic_cast<ChildPeer*>(Win32Peer::FromHwnd(h));
  switch (msg) {
    case WM_HSCROLL:
    case WM_VSCROLL:
      if (self) {
        SCROLLINFO si;
        si.cbSize = sizeof si;
        si.fMask = SIF_TRACKPOS;
        int bar = msg == WM_HSCROLL ? SB_HORZ : SB_VERT;
        ::GetScrollInfo(h, bar, &si);
        self->Scroll(bar, LOWORD(wp), si.nTrackPos);
      }
      return 0;
    case WM_MOUSEWHEEL:
      if (self) self->Scroll(SB_VERT, GET_WHEEL_DELTA_WPARAM(wp) > 0 ? SB_LINEUP : SB_LINEDOWN, 0);
      return 0;
    case WM_SIZE:
      if (self) self->ContentChanged();
      break;
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_DROPFILES:
      // The form handles its controls' notifications, wherever they lie.
      return ::SendMessageW(::GetAncestor(h, GA_ROOT), msg, wp, lp);
    default:
      break;
  }
  return ::DefWindowProcW(h, msg, wp, lp);
}

// ---------------------------------------------------------------- FormPeer
FormPeer::FormPeer(Form& f) : Win32Peer(f) {
  HWND owner = g_backend->app();
  if (Form* of = OwnerForm(f.Owner()))
    if (HWND h = reinterpret_cast<HWND>(of->Handle())) owner = h;
  const Rect& r = f.Bounds();
  HWND h = ::CreateWindowExW(0, kFormClass, Widen(f.Caption()).c_str(),
                             WS_OVERLAPPEDWINDOW, r.left, r.top, r.width,
                             r.height, owner, nullptr, g_backend->instance(), nullptr);
  Attach(h);
}

FormPeer::~FormPeer() {
  if (g_backend) g_backend->FormGone(this);
  // No message may reach the form from here on: it is being destroyed.
  if (hwnd_) ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
  if (hwnd_) ::SetMenu(hwnd_, nullptr);
  DestroyNative();
  if (bar_) ::DestroyMenu(bar_);
}

void FormPeer::ApplyStyle() {
  Form& f = form();
  DWORD style = 0, ex = 0;
  switch (f.Border) {
    case BorderStyle::Single: style = WS_CAPTION | WS_BORDER; break;  // not resizable
    case BorderStyle::Dialog: style = WS_CAPTION | DS_MODALFRAME; ex = WS_EX_DLGMODALFRAME; break;
    case BorderStyle::None: style = WS_POPUP; break;
    case BorderStyle::Sizeable: style = WS_OVERLAPPED | WS_CAPTION | WS_THICKFRAME; break;
  }
  if (f.Border != BorderStyle::None) {
    if (f.Icons.systemMenu) style |= WS_SYSMENU;
    if (f.Icons.minimize && f.Border != BorderStyle::Dialog) style |= WS_MINIMIZEBOX;
    if (f.Icons.maximize && f.Border != BorderStyle::Dialog) style |= WS_MAXIMIZEBOX;
  }
  if (f.AppWindow) ex |= WS_EX_APPWINDOW;
  LONG_PTR cur = ::GetWindowLongPtrW(hwnd_, GWL_STYLE);
  LONG_PTR keep = cur & (WS_VISIBLE | WS_DISABLED | WS_MINIMIZE | WS_MAXIMIZE);
  LONG_PTR next = keep | style;
  LONG_PTR curEx = ::GetWindowLongPtrW(hwnd_, GWL_EXSTYLE);
  LONG_PTR nextEx = (curEx & ~(WS_EX_APPWINDOW | WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE)) | ex;
  if (next == cur && nextEx == curEx) return;
  ::SetWindowLongPtrW(hwnd_, GWL_STYLE, next);
  ::SetWindowLongPtrW(hwnd_, GWL_EXSTYLE, nextEx);
  syncing_ = true;
  ::SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  syncing_ = false;
}

void FormPeer::SetBounds(const Rect& r) {
  if (syncing_) return;
  Place(r);
}

void FormPeer::Place(const Rect& r) {
  ApplyStyle();
  Form& f = form();
  int w = r.width, h = r.height;
  bool sameAsReported = haveReported_ && r.width == reported_.width && r.height == reported_.height;
  int dx, dy;
  Form::FrameSize(f.Border, f.GetMenu() != nullptr, dx, dy);
  if (!sameAsReported && r.width == f.ClientWidth() + dx && r.height == f.ClientHeight() + dy) {
    // The size follows from the client size: use the real frame of this
    // window so the client area is exactly the one asked for.
    RECT rc = {0, 0, f.ClientWidth(), f.ClientHeight()};
    DWORD style = static_cast<DWORD>(::GetWindowLongPtrW(hwnd_, GWL_STYLE));
    DWORD ex = static_cast<DWORD>(::GetWindowLongPtrW(hwnd_, GWL_EXSTYLE));
    if (::AdjustWindowRectEx(&rc, style, bar_ != nullptr, ex)) {
      w = rc.right - rc.left;
      h = rc.bottom - rc.top;
    }
  }
  syncing_ = true;
  if (::IsZoomed(hwnd_) || ::IsIconic(hwnd_)) {
    WINDOWPLACEMENT wp;
    wp.length = sizeof wp;
    ::GetWindowPlacement(hwnd_, &wp);
    wp.rcNormalPosition = RECT{r.left, r.top, r.left + w, r.top + h};
    ::SetWindowPlacement(hwnd_, &wp);
  } else {
    ::SetWindowPos(hwnd_, nullptr, r.left, r.top, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  syncing_ = false;
  ReportBounds(true);
}

void FormPeer::ReportBounds(bool keepClient) {
  if (syncing_ || ::IsIconic(hwnd_)) return;
  RECT rc;
  if (!::GetWindowRect(hwnd_, &rc)) return;
  Form& f = form();
  WindowState state = ::IsZoomed(hwnd_) ? WindowState::Maximized : WindowState::Normal;
  syncing_ = true;
  if (keepClient && state == WindowState::Normal)
    f.SetBounds(Rect{rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top});
  f.PeerMoved(rc.left, rc.top);
  if (state == WindowState::Normal) {
    reported_ = Rect{rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top};
    haveReported_ = true;
  }
  f.PeerResized(rc.right - rc.left, rc.bottom - rc.top, state);
  syncing_ = false;
}

void FormPeer::SetVisible(bool on) {
  if (on) {
    if (restack_) RestackContainers();
    if (menuDirty_) {
      menuDirty_ = false;
      RebuildMenu();
    }
    ApplyStyle();
    for (Control* c : form().Controls())
      if (auto* p = dynamic_cast<Win32Peer*>(c->Peer())) p->Sync();
    int cmd = SW_SHOW;
    switch (form().GetWindowState()) {
      case WindowState::Maximized: cmd = SW_SHOWMAXIMIZED; break;
      case WindowState::Minimized: cmd = SW_SHOWMINIMIZED; break;
      default: break;
    }
    ::ShowWindow(hwnd_, cmd);
    if (form().StayOnTop)
      ::SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::UpdateWindow(hwnd_);
  } else {
    ::ShowWindow(hwnd_, SW_HIDE);
  }
}

void FormPeer::SetStyleFlags(unsigned flags) {
  if (flags == kApplyFormStyle) {
    ApplyStyle();
    return;
  }
  if (!(flags & 0x100u)) return;
  if (!::IsWindowVisible(hwnd_)) return;  // applied when shown
  switch (static_cast<WindowState>(flags & 0xFFu)) {
    case WindowState::Maximized: ::ShowWindow(hwnd_, SW_MAXIMIZE); break;
    case WindowState::Minimized: ::ShowWindow(hwnd_, SW_MINIMIZE); break;
    default: ::ShowWindow(hwnd_, SW_RESTORE); break;
  }
}

void FormPeer::SetMenu(Menu* menu) {
  bool had = bar_ != nullptr;
  menu_ = menu;
  RebuildMenu();
  // A menu bar added or removed keeps the client size: the window grows or
  // shrinks around it.
  Form& f = form();
  if (had != (bar_ != nullptr) && f.ClientWidth() > 0 && f.ClientHeight() > 0) FitClient();
}

void FormPeer::FitClient() {
  Form& f = form();
  RECT rc = {0, 0, f.ClientWidth(), f.ClientHeight()};
  DWORD style = static_cast<DWORD>(::GetWindowLongPtrW(hwnd_, GWL_STYLE));
  DWORD ex = static_cast<DWORD>(::GetWindowLongPtrW(hwnd_, GWL_EXSTYLE));
  if (!::AdjustWindowRectEx(&rc, style, bar_ != nullptr, ex)) return;
  if (::IsZoomed(hwnd_) || ::IsIconic(hwnd_)) return;
  syncing_ = true;
  ::SetWindowPos(hwnd_, nullptr, 0, 0, rc.right - rc.left, rc.bottom - rc.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  syncing_ = false;
  ReportBounds(true);
}

void FormPeer::RebuildMenu() {
  menuDirty_ = false;
  HMENU old = bar_;
  bar_ = menu_ ? BuildMenu(menu_->Items(), false) : nullptr;
  ::SetMenu(hwnd_, bar_);
  if (old) ::DestroyMenu(old);
  ::DrawMenuBar(hwnd_);
}

LRESULT FormPeer::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  HWND self = hwnd_;
  Form& f = form();
  switch (msg) {
    case WM_COMMAND: {
      HWND child = reinterpret_cast<HWND>(lp);
      if (child) {
        auto* p = dynamic_cast<ChildPeer*>(Win32Peer::FromHwnd(child));
        if (p && ::GetAncestor(child, GA_ROOT) == self) p->Command(HIWORD(wp));
        return 0;
      }
      if (HIWORD(wp) == 0 && menu_) {
        if (MenuItem* item = menu_->FindCommand(LOWORD(wp))) item->Click();
        return 0;
      }
      break;
    }
    case WM_CLOSE:
      f.PeerCloseRequested();
      return 0;
    case WM_NOTIFY: {
      auto* hdr = reinterpret_cast<NMHDR*>(lp);
      if (auto* p = dynamic_cast<ChildPeer*>(Win32Peer::FromHwnd(hdr->hwndFrom))) p->Notify(hdr->code);
      break;
    }
    case WM_ACTIVATE:
      if (LOWORD(wp) != WA_INACTIVE) {
        f.PeerActivated();
        if (!::IsWindow(self) || Win32Peer::FromHwnd(self) != this) return 0;
      }
      break;
    case WM_CHAR:
      f.PeerKeyPress(static_cast<unsigned>(wp));
      return 0;
    case WM_LBUTTONUP:
      if (f.OnClick) {
        f.PeerClicked();
        return 0;
      }
      break;
    case WM_MOVE:
    case WM_SIZE:
      if (!syncing_) {
        if (msg == WM_SIZE && wp == SIZE_MINIMIZED) {
          RECT rc;
          ::GetWindowRect(self, &rc);
          syncing_ = true;
          f.PeerResized(rc.right - rc.left, rc.bottom - rc.top, WindowState::Minimized);
          syncing_ = false;
        } else {
          ReportBounds(false);
        }
      }
      return 0;
    case WM_GETMINMAXINFO: {
      auto* mmi = reinterpret_cast<MINMAXINFO*>(lp);
      if (f.MinWidth > 0) mmi->ptMinTrackSize.x = f.MinWidth;
      if (f.MinHeight > 0) mmi->ptMinTrackSize.y = f.MinHeight;
      if (f.MaxWidth > 0) mmi->ptMaxTrackSize.x = f.MaxWidth;
      if (f.MaxHeight > 0) mmi->ptMaxTrackSize.y = f.MaxHeight;
      return 0;
    }
    case WM_ERASEBKGND: {
      RECT rc;
      ::GetClientRect(self, &rc);
      ::FillRect(reinterpret_cast<HDC>(wp), &rc, g_backend->BrushFor(ToColorRef(f.GetColor())));
      return 1;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX: {
      HDC dc = reinterpret_cast<HDC>(wp);
      auto* p = Win32Peer::FromHwnd(reinterpret_cast<HWND>(lp));
      if (!p) break;
      // A read-only edit asks with WM_CTLCOLORSTATIC; it keeps the colour
      // it was given.
      Control& c = p->control();
      COLORREF bk = ToColorRef(c.PaintedBackground());
      ::SetTextColor(dc, ToColorRef(c.GetFont().color));
      ::SetBkColor(dc, bk);
      return reinterpret_cast<LRESULT>(g_backend->BrushFor(bk));
    }
    case WM_SETCURSOR: {
      HWND over = reinterpret_cast<HWND>(wp);
      if (HIWORD(lp) == WM_MOUSEMOVE && over != self) {
        auto* p = Win32Peer::FromHwnd(over);
        if (p && ::GetParent(over) == self) {
          p->control().PeerMouseMove();
          if (!::IsWindow(self) || Win32Peer::FromHwnd(self) != this) return TRUE;
        }
      }
      HCURSOR c = Win32Backend::CursorFor(Application::Instance().Cursor());
      if (c) {
        ::SetCursor(c);
        return TRUE;
      }
      break;
    }
    case WM_MOUSEMOVE: {
      // Over the form itself, or over a control that lets the mouse through
      // (frames and panels).
      POINT pt = {static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
      Control* hit = nullptr;
      const auto& list = f.Controls();
      for (auto it = list.rbegin(); it != list.rend(); ++it) {
        const Rect& r = (*it)->Bounds();
        if ((*it)->Visible() && pt.x >= r.left && pt.y >= r.top && pt.x < r.left + r.width &&
            pt.y < r.top + r.height) {
          hit = *it;
          break;
        }
      }
      if (hit) hit->PeerMouseMove();
      else f.PeerMouseMove();
      return 0;
    }
    case DM_GETDEFID:
      for (Control* c : f.Controls())
        if (auto* b = dynamic_cast<Button*>(c); b && b->Default && b->Enabled() && b->Visible()) {
          const auto& list = f.Controls();
          int id = static_cast<int>(std::find(list.begin(), list.end(), c) - list.begin());
          return MAKELRESULT(id, DC_HASDEFID);
        }
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(self, msg, wp, lp);
}

LRESULT CALLBACK Win32Backend::FormProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  try {
    auto* p = static_cast<FormPeer*>(Win32Peer::FromHwnd(h));
    if (!p || !g_backend) return ::DefWindowProcW(h, msg, wp, lp);
    if (msg == WM_NCDESTROY) {  // destroyed by the system, not by the peer
      p->Forget();
      return ::DefWindowProcW(h, msg, wp, lp);
    }
    Message m;
    m.msg = msg;
    m.wParam = wp;
    m.lParam = lp;
    if (p->form().PeerMessage(m)) return m.result;
    // The handler may have destroyed the form.
    if (Win32Peer::FromHwnd(h) != p) return ::DefWindowProcW(h, msg, wp, lp);
    return p->OnMessage(msg, wp, lp);
  } catch (...) {
    try {
      Application::Instance().HandleException();
    } catch (...) {
    }
    return 0;
  }
}

LRESULT CALLBACK Win32Backend::AppProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  try {
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
    if (msg == WM_SETCURSOR) {
      if (HCURSOR c = CursorFor(Application::Instance().Cursor())) {
        ::SetCursor(c);
        return TRUE;
      }
    }
    return ::DefWindowProcW(h, msg, wp, lp);
  } catch (...) {
    try {
      Application::Instance().HandleException();
    } catch (...) {
    }
    return 0;
  }
}

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

}  // namespace

std::unique_ptr<Backend> CreateWin32Backend() { return std::make_unique<Win32Backend>(); }

}  // namespace tk
