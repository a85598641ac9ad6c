#include "toolkit/win32/activex_host.h"
#include "toolkit/win32/win32_peers.h"

#include <exdisp.h>
#include <exdispid.h>
#include <ole2.h>
#include <olectl.h>

#include <cstring>
#include <string>

namespace tk {

namespace {

// ole32 and oleaut32 are loaded when the first browser is made: start-up
// does not pay for them, and a system without them still runs.
struct OleLibrary {
  HRESULT(WINAPI* oleInitialize)(LPVOID) = nullptr;
  HRESULT(WINAPI* coCreateInstance)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*) = nullptr;
  BSTR(WINAPI* sysAllocString)(const OLECHAR*) = nullptr;
  void(WINAPI* sysFreeString)(BSTR) = nullptr;
  bool ready = false;
};

template <class F>
void Lookup(HMODULE dll, const char* name, F& f) {
  f = dll ? reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(dll, name))) : nullptr;
}

OleLibrary& Ole() {
  static OleLibrary lib = [] {
    OleLibrary l;
    HMODULE ole32 = winapi::LoadLibraryW(L"ole32.dll");
    HMODULE oleaut32 = winapi::LoadLibraryW(L"oleaut32.dll");
    Lookup(ole32, "OleInitialize", l.oleInitialize);
    Lookup(ole32, "CoCreateInstance", l.coCreateInstance);
    Lookup(oleaut32, "SysAllocString", l.sysAllocString);
    Lookup(oleaut32, "SysFreeString", l.sysFreeString);
    l.ready = l.oleInitialize && l.coCreateInstance && l.sysAllocString && l.sysFreeString &&
              SUCCEEDED(l.oleInitialize(nullptr));
    return l;
  }();
  return lib;
}

const wchar_t kHostClass[] = L"KivoBrowserHost";

// The control's in-place active object for the toolkit's key routing: the
// one the control names when it becomes UI-active (SetActiveObject), else
// the control's own.
class HostedActiveObject : public InPlaceActiveObject {
 public:
  ~HostedActiveObject() override {
    Set(current_, nullptr);
    Set(own_, nullptr);
  }
  void SetOwn(IOleInPlaceActiveObject* o) { Set(own_, o); }
  void SetCurrent(IOleInPlaceActiveObject* o) { Set(current_, o); }
  bool Known() const { return current_ || own_; }

  bool TranslateAccelerator(const KeyMessage& key) override {
    IOleInPlaceActiveObject* o = current_ ? current_ : own_;
    if (!o) return false;
    MSG msg;
    std::memset(&msg, 0, sizeof msg);
    msg.hwnd = reinterpret_cast<HWND>(key.window);
    msg.message = key.msg;
    msg.wParam = key.wParam;
    msg.lParam = key.lParam;
    msg.time = static_cast<DWORD>(::GetMessageTime());
    const DWORD pos = ::GetMessagePos();
    msg.pt.x = static_cast<short>(LOWORD(pos));
    msg.pt.y = static_cast<short>(HIWORD(pos));
    o->AddRef();  // the call may change the active object
    const HRESULT hr = o->TranslateAccelerator(&msg);
    o->Release();
    return hr == S_OK;
  }

 private:
  static void Set(IOleInPlaceActiveObject*& slot, IOleInPlaceActiveObject* o) {
    if (o) o->AddRef();
    if (slot) slot->Release();
    slot = o;
  }
  IOleInPlaceActiveObject* own_ = nullptr;
  IOleInPlaceActiveObject* current_ = nullptr;
};

// The site of one control: client site, in-place site and frame in one
// object, and the sink of the control's events.
class Site final : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame, public IDispatch {
 public:
  Site(WebBrowser& control, HWND host, HostedActiveObject& active)
      : control_(&control), host_(host), active_(&active) {}
  void Detach() {
    control_ = nullptr;
    active_ = nullptr;
  }

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleClientSite) *out = static_cast<IOleClientSite*>(this);
    else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite) *out = static_cast<IOleInPlaceSite*>(this);
    else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame)
      *out = static_cast<IOleInPlaceFrame*>(this);
    else if (iid == IID_IDispatch || iid == DIID_DWebBrowserEvents2) *out = static_cast<IDispatch*>(this);
    else return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
  }

  // IOleClientSite
  STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
  STDMETHODIMP GetContainer(IOleContainer** c) override {
    if (c) *c = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow (for the in-place site and the frame alike)
  STDMETHODIMP GetWindow(HWND* w) override {
    if (!w) return E_POINTER;
    *w = host_;
    return S_OK;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnUIActivate() override { return S_OK; }
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos,
                                LPRECT clip, LPOLEINPLACEFRAMEINFO info) override {
    if (frame) {
      *frame = this;
      AddRef();
    }
    if (doc) *doc = nullptr;
    if (pos) ::GetClientRect(host_, pos);
    if (clip) ::GetClientRect(host_, clip);
    if (info) {
      info->fMDIApp = FALSE;
      info->hwndFrame = winapi::GetAncestor(host_, GA_ROOT);
      info->haccel = nullptr;
      info->cAccelEntries = 0;
    }
    return S_OK;
  }
  STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
  STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
  STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
  STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
  STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }

  // IOleInPlaceUIWindow / IOleInPlaceFrame
  STDMETHODIMP GetBorder(LPRECT) override { return E_NOTIMPL; }
  STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return E_NOTIMPL; }
  STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return E_NOTIMPL; }
  STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) override {
    if (active_) active_->SetCurrent(object);
    return S_OK;
  }
  STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
  STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
  STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
  STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
  STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

  // IDispatch: DWebBrowserEvents2
  STDMETHODIMP GetTypeInfoCount(UINT* n) override {
    if (n) *n = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                      UINT*) override {
    // CommandStateChange(long Command, VARIANT_BOOL Enable): arguments come
    // last first.
    if (id == DISPID_COMMANDSTATECHANGE && control_ && params && params->cArgs == 2) {
      const VARIANT& command = params->rgvarg[1];
      const VARIANT& enable = params->rgvarg[0];
      long c = command.vt == VT_I4 ? command.lVal : command.vt == VT_I2 ? command.iVal : 0;
      bool e = enable.vt == VT_BOOL ? enable.boolVal != VARIANT_FALSE : false;
      control_->PeerCommandStateChange(c, e);
    }
    return S_OK;
  }

 private:
  ~Site() = default;
  WebBrowser* control_;
  HWND host_;
  HostedActiveObject* active_;
  ULONG refs_ = 1;
};

class BrowserPeer : public ControlPeer {
 public:
  BrowserPeer(WebBrowser& control, HWND parent, HINSTANCE instance) {
    static bool registered = [instance] {
      WNDCLASSEXW wc;
      std::memset(&wc, 0, sizeof wc);
      wc.cbSize = sizeof wc;
      wc.lpfnWndProc = winapi::DefWindowProcW;
      wc.hInstance = instance;
      wc.hCursor = winapi::LoadCursorW(nullptr, IDC_ARROW);
      wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
      wc.lpszClassName = kHostClass;
      return winapi::RegisterClassExW(&wc) != 0;
    }();
    (void)registered;
    const Rect r = win32::DpiOf(parent).Px(control.Bounds());
    host_ = winapi::CreateWindowExW(0, kHostClass, L"", WS_CHILD | WS_CLIPCHILDREN | WS_VISIBLE, r.left, r.top,
                              r.width, r.height, parent, nullptr, instance, nullptr);
    if (host_) Embed(control);
  }

  ~BrowserPeer() override {
    Release();
    if (host_) ::DestroyWindow(host_);
  }

  WindowHandle Handle() const override { return reinterpret_cast<WindowHandle>(host_); }
  bool BrowserAvailable() const override { return browser_ != nullptr; }
  InPlaceActiveObject* ActiveObject() override { return active_.Known() ? &active_ : nullptr; }

  void SetBounds(const Rect& layout) override {
    if (!host_) return;
    const Rect r = win32::DpiOf(host_).Px(layout);
    ::MoveWindow(host_, r.left, r.top, r.width, r.height, TRUE);
    if (inPlace_) {
      RECT rc = {0, 0, r.width, r.height};
      inPlace_->SetObjectRects(&rc, &rc);
    }
  }
  void SetVisible(bool on) override {
    if (host_) ::ShowWindow(host_, on ? SW_SHOWNA : SW_HIDE);
  }

  bool BrowserCommand(int op, const std::string& url) override {
    if (!browser_) return false;
    switch (op) {
      case WebBrowser::kNavigate: {
        OleLibrary& ole = Ole();
        std::wstring w = Widen(url);
        BSTR address = ole.sysAllocString(w.c_str());
        if (!address) return false;
        // Flags, target frame, post data and headers: all left out.
        VARIANT missing;
        std::memset(&missing, 0, sizeof missing);
        missing.vt = VT_ERROR;
        missing.scode = DISP_E_PARAMNOTFOUND;
        HRESULT hr = browser_->Navigate(address, &missing, &missing, &missing, &missing);
        ole.sysFreeString(address);
        return SUCCEEDED(hr);
      }
      case WebBrowser::kGoBack: return SUCCEEDED(browser_->GoBack());
      case WebBrowser::kGoForward: return SUCCEEDED(browser_->GoForward());
      case WebBrowser::kGoHome: return SUCCEEDED(browser_->GoHome());
      case WebBrowser::kStop: return SUCCEEDED(browser_->Stop());
      case WebBrowser::kRefresh: return SUCCEEDED(browser_->Refresh());
      case WebBrowser::kQuiet: return SUCCEEDED(browser_->put_Silent(VARIANT_TRUE));
      default: return false;
    }
  }

 private:
  void Embed(WebBrowser& control) {
    OleLibrary& ole = Ole();
    if (!ole.ready) return;
    IOleObject* object = nullptr;
    if (FAILED(ole.coCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                    reinterpret_cast<void**>(&object))) ||
        !object)
      return;
    object_ = object;
    site_ = new Site(control, host_, active_);
    RECT rc;
    ::GetClientRect(host_, &rc);
    if (FAILED(object_->SetClientSite(site_)) ||
        FAILED(object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_, 0, host_, &rc)) ||
        FAILED(object_->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&browser_)))) {
      browser_ = nullptr;
      Release();
      return;
    }
    object_->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace_));
    IOleInPlaceActiveObject* own = nullptr;
    if (SUCCEEDED(object_->QueryInterface(IID_IOleInPlaceActiveObject, reinterpret_cast<void**>(&own))) && own) {
      active_.SetOwn(own);
      own->Release();
    }
    IConnectionPointContainer* points = nullptr;
    if (SUCCEEDED(object_->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&points))) &&
        points) {
      if (SUCCEEDED(points->FindConnectionPoint(DIID_DWebBrowserEvents2, &events_)) && events_)
        if (FAILED(events_->Advise(static_cast<IDispatch*>(site_), &cookie_))) cookie_ = 0;
      points->Release();
    }
  }

  // Every interface given back, the control closed: nothing of it is left.
  void Release() {
    if (site_) site_->Detach();
    active_.SetCurrent(nullptr);
    active_.SetOwn(nullptr);
    if (events_) {
      if (cookie_) events_->Unadvise(cookie_);
      events_->Release();
      events_ = nullptr;
    }
    if (browser_) {
      browser_->Release();
      browser_ = nullptr;
    }
    if (inPlace_) {
      inPlace_->InPlaceDeactivate();
      inPlace_->Release();
      inPlace_ = nullptr;
    }
    if (object_) {
      object_->Close(OLECLOSE_NOSAVE);
      object_->SetClientSite(nullptr);
      object_->Release();
      object_ = nullptr;
    }
    if (site_) {
      site_->Release();
      site_ = nullptr;
    }
  }

  HWND host_ = nullptr;
  HostedActiveObject active_;
  Site* site_ = nullptr;
  IOleObject* object_ = nullptr;
  IOleInPlaceObject* inPlace_ = nullptr;
  IWebBrowser2* browser_ = nullptr;
  IConnectionPoint* events_ = nullptr;
  DWORD cookie_ = 0;
};

}  // namespace

std::unique_ptr<ControlPeer> CreateWebBrowserPeer(WebBrowser& control, HWND parent, HINSTANCE instance) {
  return std::make_unique<BrowserPeer>(control, parent, instance);
}

}  // namespace tk
