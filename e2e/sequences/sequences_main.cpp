// kivo_sequences.exe: a form's life on the toolkit's win32 backend as a
// sequence of the messages its window gets and the form's own events, each
// case compared with its table the way Wine's user32 tests compare message
// sequences. One line a case, "ok <case>" or "FAIL <case>: what", then the
// sequence recorded; the number of failing cases is the exit code. With
// --print it prints each case's sequence as a table row list instead.
//
// Recorded: the messages of a form's life sent to windows of the toolkit's
// form class (a hook on this thread), named by the window's caption, and
// the form's events and destructor as "@event" entries in the same list, so
// that the order between the two (a form deleted before or after its window
// goes, a handler returning before its window is destroyed) is checked.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/win32/win32_platform.h"
#include "toolkit/toolkit.h"
#include "toolkit/win32/win32_backend.h"

namespace {

std::vector<std::string> recorded;

std::string Narrow(const wchar_t* w) {
  std::string s;
  for (; *w; ++w) s += *w < 128 ? static_cast<char>(*w) : '?';
  return s;
}

// The form a window belongs to by its caption ("" for any other window).
std::string FormOf(HWND hwnd, UINT message, LPARAM lParam) {
  wchar_t cls[32] = {};
  ::GetClassNameW(hwnd, cls, 32);
  if (std::wcscmp(cls, L"KivoForm") != 0) return {};
  if (message == WM_NCCREATE || message == WM_CREATE) {
    const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    return cs && cs->lpszName && !IS_INTRESOURCE(cs->lpszName) ? Narrow(cs->lpszName) : "?";
  }
  wchar_t text[64] = {};
  ::GetWindowTextW(hwnd, text, 64);
  return Narrow(text);
}

std::string MessageName(UINT message, WPARAM wParam) {
  switch (message) {
    case WM_NCCREATE: return "WM_NCCREATE";
    case WM_CREATE: return "WM_CREATE";
    case WM_SHOWWINDOW: return wParam ? "WM_SHOWWINDOW 1" : "WM_SHOWWINDOW 0";
    case WM_ENABLE: return wParam ? "WM_ENABLE 1" : "WM_ENABLE 0";
    case WM_ACTIVATE: return LOWORD(wParam) ? "WM_ACTIVATE 1" : "WM_ACTIVATE 0";
    case WM_CLOSE: return "WM_CLOSE";
    case WM_DESTROY: return "WM_DESTROY";
    case WM_NCDESTROY: return "WM_NCDESTROY";
    default: return {};
  }
}

LRESULT CALLBACK Sent(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION) {
    const auto* cwp = reinterpret_cast<const CWPSTRUCT*>(lParam);
    const std::string what = MessageName(cwp->message, cwp->wParam);
    if (!what.empty()) {
      const std::string form = FormOf(cwp->hwnd, cwp->message, cwp->lParam);
      if (!form.empty()) recorded.push_back(form + " " + what);
    }
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

void Event(const std::string& form, const std::string& what) { recorded.push_back(form + " @" + what); }

// A form that records its events and its end.
struct Probe : tk::Form {
  Probe(tk::Component* owner, const std::string& name) : tk::Form(owner), name_(name) {
    SetCaption(name);
    SetClientSize(160, 80);
    OnShow = [this](tk::Component*) { Event(name_, "show"); };
    OnCloseQuery = [this](tk::Component*, bool& can) {
      Event(name_, "closequery");
      can = true;
    };
    OnClose = [this](tk::Component*, tk::CloseAction& a) {
      Event(name_, "close");
      a = closeAction;
    };
  }
  ~Probe() override { Event(name_, "deleted"); }
  tk::CloseAction closeAction = tk::CloseAction::Hide;
  std::string name_;
};

void Pump() {
  auto& app = tk::Application::Instance();
  for (int i = 0; i < 5; ++i) app.ProcessMessages();
}

// One row of a table: an entry, and whether a version may leave it out.
struct Row {
  std::string entry;
  bool optional = false;
};
constexpr bool kOptional = true;

// The runs of rows the cases share: a form's window made and shown (the
// first window of the thread activated), an owned one made and shown over
// its owner, a window's end.
std::vector<Row> Shown(const std::string& f) {
  return {{f + " WM_NCCREATE"}, {f + " WM_CREATE"}, {f + " WM_SHOWWINDOW 1"}, {f + " WM_ACTIVATE 1", kOptional},
          {f + " @show"}};
}
std::vector<Row> ShownOver(const std::string& f, const std::string& owner) {
  return {{f + " WM_NCCREATE"},      {f + " WM_CREATE"},
          {f + " WM_SHOWWINDOW 1"},  {owner + " WM_ACTIVATE 0", kOptional},
          {f + " WM_ACTIVATE 1", kOptional}, {f + " @show"}};
}
// Closed (asked, then hidden): what every close does before its action.
std::vector<Row> Closed(const std::string& f) {
  return {{f + " @closequery"}, {f + " @close"}, {f + " WM_SHOWWINDOW 0"}, {f + " WM_ACTIVATE 0", kOptional}};
}
std::vector<Row> Destroyed(const std::string& f) { return {{f + " WM_DESTROY"}, {f + " WM_NCDESTROY"}}; }
std::vector<Row> Join(std::initializer_list<std::vector<Row>> runs) {
  std::vector<Row> all;
  for (const auto& run : runs) all.insert(all.end(), run.begin(), run.end());
  return all;
}

struct Case {
  const char* name;
  std::function<void()> run;
  std::vector<Row> expected;
};

// Compares the recorded entries with the table: every row that is not
// optional in order, nothing else. "" when they agree, else what differs.
std::string Compare(const std::vector<std::string>& got, const std::vector<Row>& expected) {
  size_t g = 0;
  for (const Row& row : expected) {
    if (g < got.size() && got[g] == row.entry) {
      ++g;
      continue;
    }
    if (row.optional) continue;
    return "expected \"" + row.entry + "\" at " + std::to_string(g) + ", got \"" +
           (g < got.size() ? got[g] : std::string("(the end)")) + "\"";
  }
  if (g < got.size()) return "unexpected \"" + got[g] + "\" at " + std::to_string(g);
  return {};
}

// A form's end, waited for: released, then the messages pumped.
void ReleaseAndPump(tk::Form* form) {
  form->Release();
  Pump();
}

std::vector<Case> Cases() {
  std::vector<Case> cases;
  cases.push_back({"a form made, shown and released",
                   [] {
                     auto* a = new Probe(nullptr, "A");
                     a->Show();
                     Pump();
                     Event("A", "shown");
                     ReleaseAndPump(a);
                   },
                   Join({
                        Shown("A"),
                        {{"A @shown"}, {"A WM_SHOWWINDOW 0"}, {"A WM_ACTIVATE 0", kOptional}, {"A @deleted"}},
                        Destroyed("A")})});
  cases.push_back({"a form closed with Hide keeps its window",
                   [] {
                     auto* a = new Probe(nullptr, "A");
                     a->Show();
                     Pump();
                     a->Close();
                     Pump();
                     Event("A", "closed");
                     a->Show();
                     Pump();
                     Event("A", "shown again");
                     ReleaseAndPump(a);
                   },
                   Join({
                        Shown("A"),
                        Closed("A"),
                        {{"A @closed"},
                         {"A WM_SHOWWINDOW 1"},
                         {"A WM_ACTIVATE 1", kOptional},
                         {"A @show"},
                         {"A @shown again"},
                         {"A WM_SHOWWINDOW 0"},
                         {"A WM_ACTIVATE 0", kOptional},
                         {"A @deleted"}},
                        Destroyed("A")})});
  cases.push_back({"a modal run disables its owner and gives it back",
                   [] {
                     auto* a = new Probe(nullptr, "A");
                     a->Show();
                     Pump();
                     auto* b = new Probe(a, "B");
                     auto* timer = new tk::Timer(b, "Timer", 50);
                     timer->OnTimer = [b, timer](tk::Component*) {
                       timer->SetEnabled(false);
                       Event("B", "timer");
                       b->ModalResult = tk::mrOk;
                     };
                     const int result = b->ShowModal();
                     Event("A", result == tk::mrOk ? "modal returned ok" : "modal returned other");
                     Pump();
                     ReleaseAndPump(a);
                   },
                   Join({
                        Shown("A"),
                        ShownOver("B", "A"),
                        {{"A WM_ENABLE 0"},
                         {"B @timer"},
                         {"A WM_ENABLE 1"},
                         {"B @closequery"},
                         {"B @close"},
                         {"B WM_SHOWWINDOW 0"},
                         {"B WM_ACTIVATE 0", kOptional},
                         {"A WM_ACTIVATE 1", kOptional},
                         {"A @modal returned ok"},
                         {"A WM_SHOWWINDOW 0"},
                         {"A WM_ACTIVATE 0", kOptional},
                         {"A @deleted"},
                         {"B @deleted"}},
                        Destroyed("B"),
                        Destroyed("A")})});
  cases.push_back({"a form closed for good inside its own handler goes after it",
                   [] {
                     auto* a = new Probe(nullptr, "A");
                     a->closeAction = tk::CloseAction::Free;
                     auto* button = new tk::Button(a, "Go", {0, 0, 60, 20}, "Go");
                     button->OnClick = [a](tk::Component*) {
                       a->Close();
                       // A handler that pumps messages (a wait, a message box).
                       tk::Application::Instance().ProcessMessages();
                       Event("A", "handler returns");
                     };
                     a->Show();
                     Pump();
                     ::PostMessageW(reinterpret_cast<HWND>(button->Handle()), BM_CLICK, 0, 0);
                     Pump();
                   },
                   Join({
                        Shown("A"),
                        Closed("A"),
                        {{"A @handler returns"},
                         {"A @deleted"}},
                        Destroyed("A")})});
  cases.push_back({"an owned form released with its owner",
                   [] {
                     auto* a = new Probe(nullptr, "A");
                     a->Show();
                     auto* b = new Probe(a, "B");
                     b->Show();
                     Pump();
                     Event("A", "both shown");
                     ReleaseAndPump(a);
                   },
                   Join({
                        Shown("A"),
                        ShownOver("B", "A"),
                        {{"A @both shown"},
                         {"A WM_SHOWWINDOW 0"},
                         {"A @deleted"},
                         {"B @deleted"},
                         {"B WM_ACTIVATE 0", kOptional}},
                        Destroyed("B"),
                        Destroyed("A")})});
  cases.push_back({"an owner closed for good from its owned form's handler waits for it",
                   [] {
                     auto* a = new Probe(nullptr, "A");
                     a->closeAction = tk::CloseAction::Free;
                     auto* b = new Probe(a, "B");
                     auto* button = new tk::Button(b, "Go", {0, 0, 60, 20}, "Go");
                     button->OnClick = [a](tk::Component*) {
                       a->Close();
                       tk::Application::Instance().ProcessMessages();
                       Event("B", "handler returns");
                     };
                     a->Show();
                     b->Show();
                     Pump();
                     ::PostMessageW(reinterpret_cast<HWND>(button->Handle()), BM_CLICK, 0, 0);
                     Pump();
                   },
                   Join({
                        Shown("A"),
                        ShownOver("B", "A"),
                        {{"A @closequery"},
                         {"A @close"},
                         {"A WM_SHOWWINDOW 0"},
                         {"B @handler returns"},
                         {"A @deleted"},
                         {"B @deleted"},
                         {"B WM_ACTIVATE 0", kOptional}},
                        Destroyed("B"),
                        Destroyed("A")})});
  return cases;
}

}  // namespace

int main(int argc, char** argv) {
  const bool print = argc > 1 && std::strcmp(argv[1], "--print") == 0;
  platform::Install(platform::CreateWin32Platform());
  auto& app = tk::Application::Instance();
  app.Title = "kivo_sequences";
  app.Initialize(tk::CreateWin32Backend());
  HHOOK hook = ::SetWindowsHookExW(WH_CALLWNDPROC, Sent, nullptr, ::GetCurrentThreadId());
  if (!hook) {
    std::printf("FAIL hook: SetWindowsHookEx failed (%lu)\n", ::GetLastError());
    return 1;
  }
  int failed = 0;
  for (const Case& c : Cases()) {
    recorded.clear();
    c.run();
    Pump();
    const std::vector<std::string> got = recorded;
    const std::string diff = print ? std::string() : Compare(got, c.expected);
    if (print) {
      std::printf("case %s\n", c.name);
    } else if (diff.empty()) {
      std::printf("ok %s\n", c.name);
    } else {
      ++failed;
      std::printf("FAIL %s: %s\n", c.name, diff.c_str());
    }
    for (const std::string& e : got) std::printf("  %s\n", e.c_str());
    std::fflush(stdout);
  }
  ::UnhookWindowsHookEx(hook);
  app.Shutdown();
  return failed;
}
