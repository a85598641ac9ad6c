// The text calls of user32, gdi32 and comdlg32, and the messages that carry
// text.
#include "winapi/internal.h"

#include <shlobj.h>

#include <vector>

namespace winapi {
using namespace detail;

namespace {

bool IsAtomOrId(LPCWSTR name) { return IS_INTRESOURCE(name); }

// A text the code page cannot hold goes to a Unicode window (the system's
// controls on NT and Wine) as it is, through the W call: kept whole where
// the system can.
bool TakesUnicode(HWND h) {
  if (!UnicodeSystem()) return false;
  KIVO_W("user32.dll", IsWindowUnicode);
  return w_IsWindowUnicode && w_IsWindowUnicode(h);
}

// Text read in the code page with '?' in it may have lost characters: a
// Unicode window is asked again with the W call.
bool MayHaveLost(const std::wstring& w) { return w.find(L'?') != std::wstring::npos; }

// A resource name or class name: an integer stays one.
struct NameArg {
  explicit NameArg(LPCWSTR w) : arg(IsAtomOrId(w) ? nullptr : w), id(IsAtomOrId(w) ? w : nullptr) {}
  LPCSTR get() const { return id ? reinterpret_cast<LPCSTR>(id) : arg.get(); }
  Arg arg;
  LPCWSTR id;
};

// A text message's string argument (lParam) on the A side.
LRESULT SendText(HWND h, UINT msg, UINT wideMsg, WPARAM wp, LPARAM lp) {
  if (!lp) return ::SendMessageA(h, msg, wp, lp);
  Arg a(reinterpret_cast<LPCWSTR>(lp));
  if (a.lost && TakesUnicode(h)) {
    KIVO_W("user32.dll", SendMessageW);
    return w_SendMessageW(h, wideMsg, wp, lp);
  }
  return ::SendMessageA(h, msg, wp, reinterpret_cast<LPARAM>(a.get()));
}

// WM_GETTEXT on the A side: wp characters at most, with the NUL.
LRESULT GetText(HWND h, WPARAM wp, LPARAM lp) {
  auto* out = reinterpret_cast<LPWSTR>(lp);
  if (!out || wp == 0) return 0;
  std::vector<char> a(wp * 2 + 2, '\0');
  LRESULT n = ::SendMessageA(h, WM_GETTEXT, a.size(), reinterpret_cast<LPARAM>(a.data()));
  std::wstring w = FromAnsi(a.data(), n > 0 ? static_cast<int>(n) : 0);
  if (MayHaveLost(w) && TakesUnicode(h)) {
    WipeBytes(a.data(), a.size());
    WipeBytes(&w[0], w.size() * sizeof(wchar_t));
    KIVO_W("user32.dll", SendMessageW);
    return w_SendMessageW(h, WM_GETTEXT, wp, lp);
  }
  int copied = CopyOut(w, out, static_cast<int>(wp));
  WipeBytes(a.data(), a.size());
  WipeBytes(&w[0], w.size() * sizeof(wchar_t));
  return copied;
}

}  // namespace

// ------------------------------------------------------------- classes, windows
ATOM WINAPI RegisterClassExW(const WNDCLASSEXW* wc) {
  if (!Ansi()) {
    KIVO_W("user32.dll", RegisterClassExW);
    return w_RegisterClassExW ? w_RegisterClassExW(wc) : 0;
  }
  NameArg cls(wc->lpszClassName), menu(wc->lpszMenuName);
  WNDCLASSEXA a;
  std::memset(&a, 0, sizeof a);
  a.cbSize = sizeof a;
  a.style = wc->style;
  a.lpfnWndProc = wc->lpfnWndProc;
  a.cbClsExtra = wc->cbClsExtra;
  a.cbWndExtra = wc->cbWndExtra;
  a.hInstance = wc->hInstance;
  a.hIcon = wc->hIcon;
  a.hCursor = wc->hCursor;
  a.hbrBackground = wc->hbrBackground;
  a.lpszMenuName = menu.get();
  a.lpszClassName = cls.get();
  a.hIconSm = wc->hIconSm;
  return ::RegisterClassExA(&a);
}

HWND WINAPI CreateWindowExW(DWORD ex, LPCWSTR cls, LPCWSTR text, DWORD style, int x, int y, int w,
                            int h, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
  if (!Ansi()) {
    KIVO_W("user32.dll", CreateWindowExW);
    return w_CreateWindowExW ? w_CreateWindowExW(ex, cls, text, style, x, y, w, h, parent, menu,
                                                 instance, param)
                             : nullptr;
  }
  NameArg c(cls);
  Arg t(text);
  HWND made = ::CreateWindowExA(ex, c.get(), t.get(), style, x, y, w, h, parent, menu, instance, param);
  // A text the code page cannot hold is kept whole where the system can, as
  // SetWindowTextW keeps it.
  if (made && SendsLost(t) && TakesUnicode(made)) winapi::SetWindowTextW(made, text);
  return made;
}

LRESULT WINAPI DefWindowProcW(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (Ansi()) return ::DefWindowProcA(h, msg, wp, lp);
  KIVO_W("user32.dll", DefWindowProcW);
  return w_DefWindowProcW(h, msg, wp, lp);
}

LRESULT WINAPI SendMessageW(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (!Ansi()) {
    KIVO_W("user32.dll", SendMessageW);
    return w_SendMessageW(h, msg, wp, lp);
  }
  switch (msg) {
    case WM_SETTEXT:
    case EM_REPLACESEL:
    case LB_ADDSTRING:
    case LB_INSERTSTRING:
    case LB_FINDSTRING:
    case LB_FINDSTRINGEXACT:
    case LB_SELECTSTRING:
    case CB_ADDSTRING:
    case CB_INSERTSTRING:
    case CB_FINDSTRING:
    case CB_FINDSTRINGEXACT:
    case CB_SELECTSTRING:
      return SendText(h, msg, msg, wp, lp);
    case SB_SETTEXTW:
      return SendText(h, SB_SETTEXTA, SB_SETTEXTW, wp, lp);
    case WM_GETTEXT:
      return GetText(h, wp, lp);
    case TCM_INSERTITEMW: {
      const auto* item = reinterpret_cast<const TCITEMW*>(lp);
      if (!item) return -1;
      TCITEMA a;
      std::memset(&a, 0, sizeof a);
      a.mask = item->mask;
      a.dwState = item->dwState;
      a.dwStateMask = item->dwStateMask;
      a.iImage = item->iImage;
      a.lParam = item->lParam;
      std::string text;
      if ((item->mask & TCIF_TEXT) && item->pszText) {
        text = ToAnsi(item->pszText);
        a.pszText = &text[0];
        a.cchTextMax = static_cast<int>(text.size() + 1);
      }
      return ::SendMessageA(h, TCM_INSERTITEMA, wp, reinterpret_cast<LPARAM>(&a));
    }
    default:
      return ::SendMessageA(h, msg, wp, lp);
  }
}

BOOL WINAPI PostMessageW(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (Ansi()) return ::PostMessageA(h, msg, wp, lp);
  KIVO_W("user32.dll", PostMessageW);
  return w_PostMessageW(h, msg, wp, lp);
}

BOOL WINAPI GetMessageW(LPMSG msg, HWND h, UINT first, UINT last) {
  if (Ansi() && !UnicodeSystem()) return ::GetMessageA(msg, h, first, last);
  KIVO_W("user32.dll", GetMessageW);
  return w_GetMessageW(msg, h, first, last);
}

BOOL WINAPI PeekMessageW(LPMSG msg, HWND h, UINT first, UINT last, UINT remove) {
  if (Ansi() && !UnicodeSystem()) return ::PeekMessageA(msg, h, first, last, remove);
  KIVO_W("user32.dll", PeekMessageW);
  return w_PeekMessageW(msg, h, first, last, remove);
}

LRESULT WINAPI DispatchMessageW(const MSG* msg) {
  if (Ansi() && !UnicodeSystem()) return ::DispatchMessageA(msg);
  KIVO_W("user32.dll", DispatchMessageW);
  return w_DispatchMessageW(msg);
}

BOOL WINAPI IsDialogMessageW(HWND dialog, LPMSG msg) {
  if (Ansi() && !UnicodeSystem()) return ::IsDialogMessageA(dialog, msg);
  KIVO_W("user32.dll", IsDialogMessageW);
  return w_IsDialogMessageW(dialog, msg);
}

bool CharToWide(UINT msg, WPARAM& wp) {
  if (!Ansi() || msg != WM_CHAR) return true;
  static char lead = 0;
  char bytes[2];
  int n = 0;
  auto byte = static_cast<char>(wp & 0xFF);
  if (lead) {
    bytes[n++] = lead;
    lead = 0;
  } else if (::IsDBCSLeadByte(static_cast<BYTE>(byte))) {
    lead = byte;
    return false;
  }
  bytes[n++] = byte;
  wchar_t w = 0;
  if (::MultiByteToWideChar(CP_ACP, 0, bytes, n, &w, 1) == 1) wp = w;
  return true;
}

LONG WINAPI GetWindowLongW(HWND h, int index) {
  if (Ansi()) return ::GetWindowLongA(h, index);
  KIVO_W("user32.dll", GetWindowLongW);
  return w_GetWindowLongW(h, index);
}

LONG WINAPI SetWindowLongW(HWND h, int index, LONG value) {
  if (Ansi()) return ::SetWindowLongA(h, index, value);
  KIVO_W("user32.dll", SetWindowLongW);
  return w_SetWindowLongW(h, index, value);
}

BOOL WINAPI SetWindowTextW(HWND h, LPCWSTR text) {
  if (!Ansi()) {
    KIVO_W("user32.dll", SetWindowTextW);
    return w_SetWindowTextW(h, text);
  }
  Arg a(text);
  if (a.lost && TakesUnicode(h)) {
    KIVO_W("user32.dll", SetWindowTextW);
    return w_SetWindowTextW(h, text);
  }
  return ::SetWindowTextA(h, a.get());
}

int WINAPI GetWindowTextW(HWND h, LPWSTR out, int size) {
  if (!Ansi()) {
    KIVO_W("user32.dll", GetWindowTextW);
    return w_GetWindowTextW(h, out, size);
  }
  if (!out || size <= 0) return 0;
  std::vector<char> a(static_cast<size_t>(size) * 2 + 2, '\0');
  int n = ::GetWindowTextA(h, a.data(), static_cast<int>(a.size()));
  std::wstring w = FromAnsi(a.data(), n > 0 ? n : 0);
  if (MayHaveLost(w) && TakesUnicode(h)) {
    WipeBytes(a.data(), a.size());
    WipeBytes(&w[0], w.size() * sizeof(wchar_t));
    KIVO_W("user32.dll", GetWindowTextW);
    return w_GetWindowTextW(h, out, size);
  }
  int copied = CopyOut(w, out, size);
  WipeBytes(a.data(), a.size());
  WipeBytes(&w[0], w.size() * sizeof(wchar_t));
  return copied;
}

int WINAPI GetWindowTextLengthW(HWND h) {
  // The A length in bytes is never less than the length in UTF-16 units, but
  // a Unicode window's text may hold characters the code page has not.
  if (Ansi() && TakesUnicode(h)) {
    KIVO_W("user32.dll", GetWindowTextLengthW);
    return std::max(w_GetWindowTextLengthW(h), ::GetWindowTextLengthA(h));
  }
  if (Ansi()) return ::GetWindowTextLengthA(h);
  KIVO_W("user32.dll", GetWindowTextLengthW);
  return w_GetWindowTextLengthW(h);
}

int WINAPI GetClassNameW(HWND h, LPWSTR out, int size) {
  if (!Ansi()) {
    KIVO_W("user32.dll", GetClassNameW);
    return w_GetClassNameW(h, out, size);
  }
  char a[256] = {};
  int n = ::GetClassNameA(h, a, sizeof a);
  return CopyOut(FromAnsi(a, n > 0 ? n : 0), out, size);
}

HWND WINAPI FindWindowW(LPCWSTR cls, LPCWSTR title) {
  if (!Ansi()) {
    KIVO_W("user32.dll", FindWindowW);
    return w_FindWindowW(cls, title);
  }
  NameArg c(cls);
  Arg t(title);
  if (SendsLost(t)) return nullptr;  // no window has that title in the code page
  return ::FindWindowA(c.get(), t.get());
}

UINT WINAPI RegisterWindowMessageW(LPCWSTR name) {
  if (!Ansi()) {
    KIVO_W("user32.dll", RegisterWindowMessageW);
    return w_RegisterWindowMessageW(name);
  }
  Arg a(name);
  return ::RegisterWindowMessageA(a.get());
}

UINT WINAPI RegisterClipboardFormatW(LPCWSTR name) {
  if (!Ansi()) {
    KIVO_W("user32.dll", RegisterClipboardFormatW);
    return w_RegisterClipboardFormatW(name);
  }
  Arg a(name);
  return ::RegisterClipboardFormatA(a.get());
}

HWND WINAPI GetAncestor(HWND h, UINT flags) {
  KIVO_W("user32.dll", GetAncestor);
  if (w_GetAncestor) return w_GetAncestor(h, flags);
  // Windows 95: the root is the first window up the chain that is no child.
  if (!h || (flags != GA_ROOT && flags != GA_PARENT)) return nullptr;
  if (flags == GA_PARENT)
    return (::GetWindowLongA(h, GWL_STYLE) & WS_CHILD) ? ::GetParent(h) : ::GetDesktopWindow();
  while (::GetWindowLongA(h, GWL_STYLE) & WS_CHILD) {
    HWND p = ::GetParent(h);
    if (!p) break;
    h = p;
  }
  return h;
}

BOOL WINAPI AppendMenuW(HMENU menu, UINT flags, UINT_PTR id, LPCWSTR text) {
  if (!Ansi()) {
    KIVO_W("user32.dll", AppendMenuW);
    return w_AppendMenuW(menu, flags, id, text);
  }
  if (flags & (MF_BITMAP | MF_OWNERDRAW | MF_SEPARATOR))
    return ::AppendMenuA(menu, flags, id, reinterpret_cast<LPCSTR>(text));
  Arg a(text);
  return ::AppendMenuA(menu, flags, id, a.get());
}

HICON WINAPI LoadIconW(HINSTANCE instance, LPCWSTR name) {
  if (!Ansi()) {
    KIVO_W("user32.dll", LoadIconW);
    return w_LoadIconW(instance, name);
  }
  NameArg n(name);
  return ::LoadIconA(instance, n.get());
}

HCURSOR WINAPI LoadCursorW(HINSTANCE instance, LPCWSTR name) {
  if (!Ansi()) {
    KIVO_W("user32.dll", LoadCursorW);
    return w_LoadCursorW(instance, name);
  }
  NameArg n(name);
  return ::LoadCursorA(instance, n.get());
}

HANDLE WINAPI LoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int cx, int cy, UINT flags) {
  if (!Ansi()) {
    KIVO_W("user32.dll", LoadImageW);
    return w_LoadImageW(instance, name, type, cx, cy, flags);
  }
  NameArg n(name);
  if (n.arg.lost && (flags & LR_LOADFROMFILE)) {
    // The code page cannot name the file: the Unicode call where the
    // system has it, never another file.
    KIVO_W("user32.dll", LoadImageW);
    if (w_LoadImageW)
      if (HANDLE h = w_LoadImageW(instance, name, type, cx, cy, flags)) return h;
    ::SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return nullptr;
  }
  return ::LoadImageA(instance, n.get(), type, cx, cy, flags);
}

UINT WINAPI MapVirtualKeyW(UINT code, UINT type) {
  if (Ansi()) return ::MapVirtualKeyA(code, type);
  KIVO_W("user32.dll", MapVirtualKeyW);
  return w_MapVirtualKeyW(code, type);
}

BOOL WINAPI SystemParametersInfoW(UINT action, UINT param, PVOID value, UINT winIni) {
  // Only actions without texts go through here.
  if (Ansi()) return ::SystemParametersInfoA(action, param, value, winIni);
  KIVO_W("user32.dll", SystemParametersInfoW);
  return w_SystemParametersInfoW(action, param, value, winIni);
}

HFONT WINAPI CreateFontW(int height, int width, int escapement, int orientation, int weight,
                         DWORD italic, DWORD underline, DWORD strikeOut, DWORD charset,
                         DWORD outPrecision, DWORD clipPrecision, DWORD quality, DWORD pitch,
                         LPCWSTR face) {
  if (!Ansi()) {
    KIVO_W("gdi32.dll", CreateFontW);
    return w_CreateFontW(height, width, escapement, orientation, weight, italic, underline,
                         strikeOut, charset, outPrecision, clipPrecision, quality, pitch, face);
  }
  Arg f(face);
  if (f.text.size() > 31) f.text.resize(31);  // LF_FACESIZE with its NUL
  return ::CreateFontA(height, width, escapement, orientation, weight, italic, underline,
                       strikeOut, charset, outPrecision, clipPrecision, quality, pitch, f.get());
}

int WINAPI GetObjectW(HANDLE object, int size, LPVOID out) {
  if (Ansi()) return ::GetObjectA(object, size, out);
  KIVO_W("gdi32.dll", GetObjectW);
  return w_GetObjectW(object, size, out);
}

// ------------------------------------------------------------- comdlg32
BOOL WINAPI ChooseColorW(LPCHOOSECOLORW cc) {
  if (!Ansi()) {
    static auto f = reinterpret_cast<BOOL(WINAPI*)(LPCHOOSECOLORW)>(
        reinterpret_cast<void*>(Lookup("comdlg32.dll", "ChooseColorW")));
    return f && f(cc);
  }
  static auto f = reinterpret_cast<BOOL(WINAPI*)(LPCHOOSECOLORA)>(
      reinterpret_cast<void*>(Lookup("comdlg32.dll", "ChooseColorA")));
  if (!f) return FALSE;
  CHOOSECOLORA a;
  std::memset(&a, 0, sizeof a);
  a.lStructSize = sizeof a;
  a.hwndOwner = cc->hwndOwner;
  a.rgbResult = cc->rgbResult;
  a.lpCustColors = cc->lpCustColors;
  a.Flags = cc->Flags & ~(CC_ENABLEHOOK | CC_ENABLETEMPLATE | CC_ENABLETEMPLATEHANDLE);
  a.lCustData = cc->lCustData;
  if (!f(&a)) return FALSE;
  cc->rgbResult = a.rgbResult;
  return TRUE;
}

namespace {

// The dialog on the A side: filter, file, title, folder and extension
// converted; the chosen file comes back as UTF-16.
BOOL FileDialog(LPOPENFILENAMEW ofn, const char* name) {
  using Run = BOOL(WINAPI*)(LPOPENFILENAMEA);
  auto run = reinterpret_cast<Run>(reinterpret_cast<void*>(Lookup("comdlg32.dll", name)));
  if (!run) return FALSE;
  // "name\0pattern\0...\0\0": each piece converted.
  std::string filter;
  if (ofn->lpstrFilter) {
    for (const wchar_t* p = ofn->lpstrFilter; *p; p += std::wcslen(p) + 1) {
      filter += ToAnsi(p);
      filter.push_back('\0');
    }
    filter.push_back('\0');
  }
  std::vector<char> file(static_cast<size_t>(ofn->nMaxFile) * 2 + 2, '\0');
  if (ofn->lpstrFile) {
    std::string initial = ToAnsi(ofn->lpstrFile);
    if (initial.size() < file.size()) std::memcpy(file.data(), initial.data(), initial.size());
  }
  Arg title(ofn->lpstrTitle), dir(ofn->lpstrInitialDir), ext(ofn->lpstrDefExt);
  OPENFILENAMEA a;
  std::memset(&a, 0, sizeof a);
  a.lStructSize = OPENFILENAME_SIZE_VERSION_400A;  // what 95 and 98 accept
  a.hwndOwner = ofn->hwndOwner;
  a.hInstance = ofn->hInstance;
  a.lpstrFilter = ofn->lpstrFilter ? filter.data() : nullptr;
  a.nFilterIndex = ofn->nFilterIndex;
  a.lpstrFile = file.data();
  a.nMaxFile = static_cast<DWORD>(file.size());
  a.lpstrTitle = title.get();
  a.lpstrInitialDir = dir.get();
  a.lpstrDefExt = ext.get();
  a.Flags = ofn->Flags & ~(OFN_ENABLEHOOK | OFN_ENABLETEMPLATE | OFN_ENABLETEMPLATEHANDLE);
  if (!run(&a)) return FALSE;
  ofn->nFilterIndex = a.nFilterIndex;
  std::wstring chosen = FromAnsi(file.data());
  if (ofn->lpstrFile) CopyOut(chosen, ofn->lpstrFile, static_cast<int>(ofn->nMaxFile));
  return TRUE;
}

}  // namespace

BOOL WINAPI GetOpenFileNameW(LPOPENFILENAMEW ofn) {
  if (Ansi()) return FileDialog(ofn, "GetOpenFileNameA");
  static auto f = reinterpret_cast<BOOL(WINAPI*)(LPOPENFILENAMEW)>(
      reinterpret_cast<void*>(Lookup("comdlg32.dll", "GetOpenFileNameW")));
  return f && f(ofn);
}

BOOL WINAPI GetSaveFileNameW(LPOPENFILENAMEW ofn) {
  if (Ansi()) return FileDialog(ofn, "GetSaveFileNameA");
  static auto f = reinterpret_cast<BOOL(WINAPI*)(LPOPENFILENAMEW)>(
      reinterpret_cast<void*>(Lookup("comdlg32.dll", "GetSaveFileNameW")));
  return f && f(ofn);
}


LRESULT WINAPI SendMessageTimeoutW(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT flags, UINT timeout,
                                   PDWORD_PTR result) {
  if (!Ansi()) {
    KIVO_W("user32.dll", SendMessageTimeoutW);
    if (w_SendMessageTimeoutW) return w_SendMessageTimeoutW(h, msg, wp, lp, flags, timeout, result);
  }
  return ::SendMessageTimeoutA(h, msg, wp, lp, flags, timeout, result);
}

SHORT WINAPI VkKeyScanW(WCHAR ch) {
  if (!Ansi()) {
    KIVO_W("user32.dll", VkKeyScanW);
    if (w_VkKeyScanW) return w_VkKeyScanW(ch);
  }
  bool lost = false;
  std::string a = ToAnsi(&ch, 1, &lost);
  if (lost || a.size() != 1) return -1;  // a double-byte character has no one key
  return ::VkKeyScanA(a[0]);
}

HRESULT WINAPI SHGetFolderPathW(HWND owner, int folder, HANDLE token, DWORD flags, LPWSTR path) {
  for (const char* dll : {"shell32.dll", "shfolder.dll"}) {
    if (!Ansi()) {
      auto w = reinterpret_cast<HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPWSTR)>(
          reinterpret_cast<void*>(Lookup(dll, "SHGetFolderPathW")));
      if (w && w(owner, folder, token, flags, path) == S_OK) return S_OK;
      continue;
    }
    auto a = reinterpret_cast<HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR)>(
        reinterpret_cast<void*>(Lookup(dll, "SHGetFolderPathA")));
    char buf[MAX_PATH] = {};
    if (a && a(owner, folder, token, flags, buf) == S_OK) {
      CopyOut(FromAnsi(buf), path, MAX_PATH);
      return S_OK;
    }
  }
  return E_FAIL;
}

std::wstring BrowseForFolder(HWND owner, const std::wstring& title) {
  std::wstring chosen;
  LPITEMIDLIST list = nullptr;
  if (!Ansi()) {
    auto browse = reinterpret_cast<LPITEMIDLIST(WINAPI*)(LPBROWSEINFOW)>(
        reinterpret_cast<void*>(Lookup("shell32.dll", "SHBrowseForFolderW")));
    auto pathOf = reinterpret_cast<BOOL(WINAPI*)(LPCITEMIDLIST, LPWSTR)>(
        reinterpret_cast<void*>(Lookup("shell32.dll", "SHGetPathFromIDListW")));
    if (!browse || !pathOf) return chosen;
    wchar_t display[MAX_PATH] = {}, path[MAX_PATH] = {};
    BROWSEINFOW bi{};
    bi.hwndOwner = owner;
    bi.pszDisplayName = display;
    bi.lpszTitle = title.empty() ? nullptr : title.c_str();
    bi.ulFlags = BIF_RETURNONLYFSDIRS;
    list = browse(&bi);
    if (list && pathOf(list, path)) chosen = path;
  } else {
    auto browse = reinterpret_cast<LPITEMIDLIST(WINAPI*)(LPBROWSEINFOA)>(
        reinterpret_cast<void*>(Lookup("shell32.dll", "SHBrowseForFolderA")));
    auto pathOf = reinterpret_cast<BOOL(WINAPI*)(LPCITEMIDLIST, LPSTR)>(
        reinterpret_cast<void*>(Lookup("shell32.dll", "SHGetPathFromIDListA")));
    if (!browse || !pathOf) return chosen;
    std::string t = ToAnsi(title.c_str(), static_cast<int>(title.size()));
    char display[MAX_PATH] = {}, path[MAX_PATH] = {};
    BROWSEINFOA bi{};
    bi.hwndOwner = owner;
    bi.pszDisplayName = display;
    bi.lpszTitle = t.empty() ? nullptr : t.c_str();
    bi.ulFlags = BIF_RETURNONLYFSDIRS;
    list = browse(&bi);
    if (list && pathOf(list, path)) chosen = FromAnsi(path);
  }
  IMalloc* malloc = nullptr;
  if (list && ::SHGetMalloc(&malloc) == S_OK && malloc) {
    malloc->Free(list);
    malloc->Release();
  }
  return chosen;
}

}  // namespace winapi
