// The toolkit's own rules, on the headless backend: events, modal forms,
// closing, deferred release and owned windows.
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fixture.h"

namespace {
class ToolkitTest : public SimTest {
 protected:
  tk::Form* NewForm(tk::Component* owner = nullptr) {
    auto* f = new tk::Form(owner);
    if (!owner) tk::Application::Instance().Adopt(f);
    return f;
  }
};

TEST_F(ToolkitTest, StateChangesFireTheirEventsOnlyWhenTheStateChanges) {
  tk::Form* f = NewForm();
  auto* box = new tk::CheckBox(f, "CheckBox1", {0, 0, 10, 10}, "box");
  auto* edit = new tk::Edit(f, "Edit1", {0, 0, 10, 10});
  auto* button = new tk::Button(f, "Button1", {0, 0, 10, 10}, "b");
  int clicks = 0, changes = 0, presses = 0;
  box->OnClick = [&](tk::Component*) { ++clicks; };
  edit->OnChange = [&](tk::Component*) { ++changes; };
  button->OnClick = [&](tk::Component*) { ++presses; };
  box->SetChecked(false);
  box->SetChecked(true);
  box->SetChecked(true);
  edit->SetText("a");
  edit->SetText("a");
  edit->PeerTextChanged("ab");
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(edit->Text(), "ab");
  button->SetEnabled(false);
  button->Click();
  box->SetEnabled(false);
  box->Click();
  EXPECT_EQ(presses, 0);
  EXPECT_TRUE(box->Checked()) << "a disabled box ignores clicks";
  // The check mark alone fires nothing.
  box->SetCheckMark(false);
  box->SetEnabled(true);
  box->SetCheckMark(true);
  EXPECT_TRUE(box->Checked());
  EXPECT_EQ(clicks, 1);
}

// What the user types is already in the native control: it does not come
// back to it, which would make converted copies of a password per key.
TEST_F(ToolkitTest, TypedTextIsNotSentBackToTheNativeControl) {
  struct Recorder : tk::ControlPeer {
    std::vector<std::string>* sent;
    explicit Recorder(std::vector<std::string>* s) : sent(s) {}
    void SetText(const std::string& t) override { sent->push_back(t); }
  };
  tk::Form* f = NewForm();
  auto* edit = new tk::Edit(f, "Edit1", {0, 0, 10, 10});
  edit->Password = true;
  std::vector<std::string> sent;
  edit->AttachPeer(std::make_unique<Recorder>(&sent));
  edit->PeerTextChanged("k");
  edit->PeerTextChanged("k2wPx7abc");
  EXPECT_EQ(edit->Text(), "k2wPx7abc");
  EXPECT_EQ(sent, std::vector<std::string>{});
  edit->SetText("set");  // the program's own text does go to the control
  EXPECT_EQ(sent, std::vector<std::string>{"set"});
}

// A window's style is fixed when it is made: its peer sees the options the
// control was made with (the kind of list, the scroll bars, the label's
// alignment), not members its constructor has not set yet.
TEST_F(ToolkitTest, PeersAreMadeOnceTheControlsOwnOptionsAreSet) {
  tk::Form* f = NewForm();
  std::vector<std::string> seen;
  ui->onCreatePeer = [&](tk::Control& c) {
    if (auto* cb = dynamic_cast<tk::ComboBox*>(&c)) seen.push_back(cb->DropDownList() ? "list" : "edit");
    if (auto* m = dynamic_cast<tk::Memo*>(&c)) seen.push_back(m->HorizontalScrollBar() ? "hbar" : "nohbar");
    if (auto* l = dynamic_cast<tk::Label*>(&c)) seen.push_back(l->Align == tk::Alignment::Left ? "left" : "?");
  };
  for (bool list : {false, true, false}) new tk::ComboBox(f, "ComboBox", {0, 0, 10, 10}, list);
  new tk::Memo(f, "Memo1", {0, 0, 10, 10}, tk::ScrollStyle::Both);
  new tk::Memo(f, "Memo2", {0, 0, 10, 10});
  new tk::Label(f, "Label1", {0, 0, 10, 10}, "x");
  EXPECT_EQ(seen, (std::vector<std::string>{"edit", "list", "edit", "hbar", "nohbar", "left"}));
}

TEST_F(ToolkitTest, HandlerErrorsGoToTheErrorDisplayAndTheProgramGoesOn) {
  tk::Form* f = NewForm();
  auto* button = new tk::Button(f, "Button1", {0, 0, 10, 10}, "b");
  button->OnClick = [](tk::Component*) { throw tk::Error("broken"); };
  button->PeerClicked();
  ASSERT_EQ(ui->boxes.size(), 1u);
  EXPECT_EQ(ui->boxes[0].text, "broken");
  EXPECT_EQ(ui->boxes[0].flags, tk::mbOk | tk::mbIconStop);
  // Key handlers are called from the message loop, outside any window
  // procedure: the same guard, and the key is eaten.
  auto* edit = new tk::Edit(f, "Edit1", {0, 0, 10, 10});
  edit->OnKeyDown = [](tk::Component*, unsigned&) { throw tk::Error("key"); };
  edit->OnKeyPress = [](tk::Component*, unsigned&) { throw tk::Error("char"); };
  EXPECT_FALSE(edit->PeerKeyDown(0x41));
  EXPECT_FALSE(edit->PeerKeyPress('a'));
  ASSERT_EQ(ui->boxes.size(), 3u);
  EXPECT_EQ(ui->boxes[2].text, "char");
}

TEST_F(ToolkitTest, ModalResultRunsTheCloseHandlersAndARefusalKeepsTheFormOpen) {
  tk::Form* owner = NewForm();
  auto* dialog = new tk::Form(owner);
  auto* ok = new tk::Button(dialog, "OK", {0, 0, 10, 10}, "OK");
  ok->ModalResult = tk::mrOk;
  int queries = 0;
  bool closed = false;
  dialog->OnCloseQuery = [&](tk::Component*, bool& can) { can = ++queries > 1; };
  dialog->OnClose = [&](tk::Component*, tk::CloseAction& a) {
    closed = true;
    a = tk::CloseAction::Free;
  };
  int rounds = 0;
  ui->onModal = [&](tk::Form& form) {
    ++rounds;
    EXPECT_TRUE(form.Modal());
    static_cast<tk::Button*>(form.FindControl("OK"))->Click();
  };
  EXPECT_EQ(dialog->ShowModal(), tk::mrOk);
  EXPECT_EQ(rounds, 2) << "the first close was refused";
  EXPECT_TRUE(closed);
  tk::Application::Instance().FlushReleases();
  EXPECT_TRUE(owner->Components().empty()) << "released after its modal loop";
}

TEST_F(ToolkitTest, ReleaseWaitsUntilTheHandlerHasReturned) {
  tk::Form* owner = NewForm();
  auto* tool = new tk::Form(owner);
  auto* close = new tk::Button(tool, "Close", {0, 0, 10, 10}, "x");
  tool->OnClose = [](tk::Component*, tk::CloseAction& a) { a = tk::CloseAction::Free; };
  bool aliveAfterClose = false;
  close->OnClick = [&](tk::Component*) {
    tool->Close();
    aliveAfterClose = owner->Components().size() == 1;
  };
  tool->Show();
  close->PeerClicked();
  EXPECT_TRUE(aliveAfterClose);
  EXPECT_TRUE(owner->Components().empty());
}

// A close handler that releases its form and goes on: what it does next may
// make the system send another form a message at once (a button enabled on
// the main window repaints and notifies it), and the handling of that
// message deletes released forms. Its own form stays until it returns; the
// same for its clicks, menu items and timers.
TEST_F(ToolkitTest, AFormReleasedInItsOwnHandlerOutlivesTheMessagesTheHandlerCauses) {
  tk::Form* main = NewForm();
  struct Tool : tk::Form {
    using tk::Form::Form;
    ~Tool() override { *gone = true; }
    bool* gone = nullptr;
  };
  tk::Message notify;
  notify.msg = 0x004E;  // WM_NOTIFY
  for (int kind = 0; kind < 4; ++kind) {
    bool gone = false, aliveAfterward = false;
    auto* tool = new Tool(main);
    tool->gone = &gone;
    auto* button = new tk::Button(tool, "Close", {0, 0, 10, 10}, "x");
    auto* timer = new tk::Timer(tool, "Timer", 1000);
    auto handler = [&] {
      tool->Release();
      main->PeerMessage(notify);  // deletes released forms not in a handler
      aliveAfterward = !gone;
    };
    tool->OnCloseQuery = [&](tk::Component*, bool& can) {
      handler();
      can = true;
    };
    button->OnClick = [&](tk::Component*) { handler(); };
    timer->OnTimer = [&](tk::Component*) { handler(); };
    auto* menu = new tk::MainMenu(tool, "Menu");
    tk::MenuItem* item = menu->Items().Add("Close", "x", [&](tk::Component*) { handler(); });
    tool->Show();
    if (kind == 0) tool->PeerCloseRequested();
    if (kind == 1) button->PeerClicked();
    if (kind == 2) timer->Fire();
    if (kind == 3) item->Click();
    EXPECT_TRUE(aliveAfterward) << "handler " << kind;
    EXPECT_TRUE(gone) << "handler " << kind << ": not deleted once it returned";
  }
}

// The same through an owner: a handler of a form owned (at depth 1 or 2)
// by a form that the handler closes for good. Deleting the owner would
// delete the handler's form with it, so the whole tree waits until the
// handler has returned.
TEST_F(ToolkitTest, AnOwnerReleasedUnderAnOwnedFormsHandlerWaitsForIt) {
  tk::Form* main = NewForm();
  struct Tool : tk::Form {
    using tk::Form::Form;
    ~Tool() override { *gone = true; }
    bool WndProc(tk::Message& m) override {
      if (m.msg != 0x8001 || !onMessage) return false;
      onMessage();
      return true;
    }
    bool* gone = nullptr;
    std::function<void()> onMessage;
  };
  tk::Message notify;
  notify.msg = 0x004E;  // WM_NOTIFY
  const char* kinds[] = {"close", "click", "timer", "menu item", "message"};
  for (int depth = 1; depth <= 2; ++depth) {
    for (int kind = 0; kind < 5; ++kind) {
      bool ownerGone = false, middleGone = false, gone = false;
      auto* owner = new Tool(main);
      owner->gone = &ownerGone;
      owner->OnClose = [](tk::Component*, tk::CloseAction& a) { a = tk::CloseAction::Free; };
      Tool* tool = owner;
      if (depth == 2) {
        tool = new Tool(tool);
        tool->gone = &middleGone;
      }
      tool = new Tool(tool);
      tool->gone = &gone;
      bool aliveAfterward = false;
      auto* button = new tk::Button(tool, "Go", {0, 0, 10, 10}, "x");
      auto handler = [&] {
        owner->Close();
        main->PeerMessage(notify);  // deletes released forms not in a handler
        // The handler's form and its controls are still whole.
        button->SetCaption("y");
        aliveAfterward = !gone && !ownerGone && button->Caption() == "y";
      };
      tool->OnCloseQuery = [&](tk::Component*, bool& can) {
        handler();
        can = true;
      };
      button->OnClick = [&](tk::Component*) { handler(); };
      auto* timer = new tk::Timer(tool, "Timer", 1000);
      timer->OnTimer = [&](tk::Component*) { handler(); };
      auto* menu = new tk::MainMenu(tool, "Menu");
      tk::MenuItem* item = menu->Items().Add("Go", "x", [&](tk::Component*) { handler(); });
      tool->onMessage = handler;
      owner->Show();
      tool->Show();
      tk::Message own;
      own.msg = 0x8001;
      switch (kind) {
        case 0: tool->PeerCloseRequested(); break;
        case 1: button->PeerClicked(); break;
        case 2: timer->Fire(); break;
        case 3: item->Click(); break;
        case 4: tool->PeerMessage(own); break;
      }
      SCOPED_TRACE(std::string(kinds[kind]) + " handler at depth " + std::to_string(depth));
      EXPECT_TRUE(aliveAfterward);
      EXPECT_TRUE(ownerGone && gone) << "not deleted once the handler returned";
      EXPECT_EQ(main->Components().size(), 0u);
    }
  }
}

TEST_F(ToolkitTest, DestroyingAnOwnerDestroysOwnedFormsWithoutTheirCloseHandlers) {
  tk::Form* owner = NewForm();
  auto* child = new tk::Form(owner);
  auto* grandchild = new tk::Form(child);
  bool asked = false;
  for (tk::Form* f : {child, grandchild})
    f->OnCloseQuery = [&](tk::Component*, bool&) { asked = true; };
  delete owner;
  EXPECT_FALSE(asked);
  EXPECT_TRUE(tk::Application::Instance().Forms().empty());
}

TEST_F(ToolkitTest, MenusIgnoreDisabledItemsAndFindItemsByCommand) {
  tk::Form* f = NewForm();
  auto* menu = new tk::PopupMenu(f, "PopupMenu1");
  int runs = 0;
  tk::MenuItem* a = menu->Items().Add("A", "a", [&](tk::Component*) { ++runs; });
  tk::MenuItem* b = menu->Items().Add("B", "b", [&](tk::Component*) { runs += 10; });
  EXPECT_NE(a->Command(), b->Command());
  EXPECT_EQ(menu->FindCommand(b->Command()), b);
  b->SetEnabled(false);
  ui->popupChoices = {"B", "A"};
  menu->Popup(1, 2);
  menu->Popup(1, 2);
  EXPECT_EQ(runs, 1);
}

TEST_F(ToolkitTest, ComboBoxSelectionStaysInRange) {
  tk::Form* f = NewForm();
  auto* combo = new tk::ComboBox(f, "ComboBox1", {0, 0, 10, 10});
  combo->SetItems({"A", "B"});
  combo->SetItemIndex(1);
  EXPECT_EQ(combo->Text(), "B");
  combo->SetItemIndex(7);
  EXPECT_EQ(combo->ItemIndex(), -1);
  EXPECT_EQ(combo->Text(), "");
  combo->SetItemIndex(-3);
  EXPECT_EQ(combo->ItemIndex(), -1);
}

TEST_F(ToolkitTest, TimersFireOnlyWhileEnabled) {
  tk::Form* f = NewForm();
  auto* timer = new tk::Timer(f, "Timer1", 1000);
  int ticks = 0;
  timer->OnTimer = [&](tk::Component*) { ++ticks; };
  ui->TickTimers();
  timer->SetEnabled(false);
  ui->TickTimers();
  EXPECT_EQ(ticks, 1);
  delete timer;
  ui->TickTimers();  // a deleted timer is gone from the loop
  EXPECT_EQ(ticks, 1);
}

TEST_F(ToolkitTest, TimersFireByTheirIntervalsAndRestartFromNow) {
  LinkClocks();
  tk::Form* f = NewForm();
  auto* second = new tk::Timer(f, "Timer1", 1000);
  auto* half = new tk::Timer(f, "Timer2", 500);
  std::vector<std::string> fired;
  second->OnTimer = [&](tk::Component*) { fired.push_back("1000@" + std::to_string(ui->ClockMs())); };
  half->OnTimer = [&](tk::Component*) { fired.push_back("500@" + std::to_string(ui->ClockMs())); };
  ui->AdvanceClock(999);
  EXPECT_EQ(fired, (std::vector<std::string>{"500@500"}));
  ui->AdvanceClock(1);
  std::sort(fired.begin(), fired.end());
  EXPECT_EQ(fired, (std::vector<std::string>{"1000@1000", "500@1000", "500@500"}));
  // Switched off and on again, a timer counts its interval from then.
  fired.clear();
  ui->AdvanceClock(300);
  second->SetEnabled(false);
  second->SetEnabled(true);
  ui->AdvanceClock(999);
  EXPECT_EQ(fired, (std::vector<std::string>{"500@1500", "500@2000"}));
  ui->AdvanceClock(1);
  EXPECT_EQ(fired.back(), "1000@2300");
  // The simulated machine's clock moved with it.
  EXPECT_EQ(sim->tickCount, 2300u);
}
}  // namespace

namespace {
// A stand-in for a hosted control's in-place active object: records every
// message it is offered and takes the keys it is told to.
struct RecordingActiveObject : tk::InPlaceActiveObject {
  std::vector<tk::KeyMessage> offered;
  std::vector<std::pair<unsigned, unsigned>> takes;  // (message, key)
  bool TranslateAccelerator(const tk::KeyMessage& m) override {
    offered.push_back(m);
    return std::count(takes.begin(), takes.end(), std::make_pair(m.msg, static_cast<unsigned>(m.wParam))) > 0;
  }
};

constexpr unsigned kKeyDown = 0x100, kKeyUp = 0x101, kChar = 0x102, kSysKeyDown = 0x104;


// While the focus is inside a web browser its active object sees each key
// first; what it leaves goes to the page, not to the form (Enter presses no
// default button there), except a Tab, which may move the focus on. Outside
// it the form's keys apply and the object sees nothing.
TEST_F(ToolkitTest, KeysInsideAHostedControlGoToItsActiveObjectFirst) {
  using R = tk::KeyRoute;
  RecordingActiveObject page;
  page.takes = {{kKeyDown, tk::vkTab}, {kKeyDown, 'F'}};
  ui->browserActiveObject = &page;
  tk::Form* f = NewForm();
  auto* edit = new tk::Edit(f, "Edit1", {0, 0, 10, 10});
  auto* ok = new tk::Button(f, "Button1", {0, 0, 10, 10}, "OK");
  ok->Default = true;
  auto* browser = new tk::WebBrowser(f, "CppWebBrowser1", {0, 20, 100, 100});
  const tk::WindowHandle inner = 0x7001;  // a window of the hosted control
  auto key = [&](unsigned msg, unsigned vk) { return tk::KeyMessage{inner, msg, vk, 0x1C0001}; };

  struct Case {
    unsigned msg, key;
    R route;
  } inside[] = {
      {kKeyDown, tk::vkReturn, R::Control}, {kChar, '\r', R::Control},
      {kKeyUp, tk::vkReturn, R::Control},   {kKeyDown, tk::vkEscape, R::Control},
      {kKeyDown, tk::vkTab, R::Translated}, {kKeyDown, 'F', R::Translated},
      {kSysKeyDown, 'F', R::Control},       {0x201, 0, R::Form},  // a click is no key
  };
  for (const Case& c : inside) {
    SCOPED_TRACE(std::to_string(c.msg) + "/" + std::to_string(c.key));
    page.offered.clear();
    EXPECT_EQ(f->RouteKey(browser, key(c.msg, c.key)), c.route);
    if (c.route == R::Form) continue;
    ASSERT_EQ(page.offered.size(), 1u) << "offered to the page first, once";
    EXPECT_EQ(page.offered[0].window, inner);
    EXPECT_EQ(page.offered[0].msg, c.msg);
    EXPECT_EQ(page.offered[0].wParam, c.key);
    EXPECT_EQ(page.offered[0].lParam, 0x1C0001);
  }
  // A Tab past the page's last link: the form may move the focus on.
  page.takes.clear();
  EXPECT_EQ(f->RouteKey(browser, key(kKeyDown, tk::vkTab)), R::TabOut);

  // Outside the control, and on a control of another form: the form's keys.
  page.offered.clear();
  EXPECT_EQ(f->RouteKey(edit, key(kKeyDown, tk::vkReturn)), R::Form);
  EXPECT_EQ(f->RouteKey(ok, key(kKeyDown, tk::vkTab)), R::Form);
  EXPECT_EQ(f->RouteKey(nullptr, key(kKeyDown, tk::vkEscape)), R::Form);
  EXPECT_EQ(NewForm()->RouteKey(browser, key(kKeyDown, tk::vkReturn)), R::Form);
  EXPECT_TRUE(page.offered.empty());

  // Without an engine (no active object) the keys inside are still not the
  // form's.
  ui->browserEngine = false;
  EXPECT_EQ(f->RouteKey(browser, key(kKeyDown, tk::vkReturn)), R::Control);
  EXPECT_EQ(f->RouteKey(browser, key(kKeyDown, tk::vkTab)), R::TabOut);
  EXPECT_TRUE(page.offered.empty());
}

// Enter and Escape in a dialog, decided by the toolkit for every backend:
// one row per focused control and state.
TEST_F(ToolkitTest, EnterAndEscapeFollowTheFocusedControl) {
  tk::Form* f = NewForm();
  auto* ok = new tk::Button(f, "OK", {0, 0, 10, 10}, "OK");
  ok->Default = true;
  auto* other = new tk::Button(f, "Other", {0, 0, 10, 10}, "Other");
  auto* edit = new tk::Edit(f, "Edit1", {0, 0, 10, 10});
  auto* memo = new tk::Memo(f, "Memo1", {0, 0, 10, 10});
  auto* readOnlyMemo = new tk::Memo(f, "Memo2", {0, 0, 10, 10});
  readOnlyMemo->ReadOnly = true;
  auto* combo = new tk::ComboBox(f, "ComboBox1", {0, 0, 10, 10});
  auto* box = new tk::CheckBox(f, "CheckBox1", {0, 0, 10, 10}, "box");
  auto* hotKey = new tk::HotKeyBox(f, "HotKey1", {0, 0, 10, 10});
  int okPresses = 0, otherPresses = 0;
  ok->OnClick = [&](tk::Component*) { ++okPresses; };
  other->OnClick = [&](tk::Component*) { ++otherPresses; };
  using A = tk::DialogKeyAction;
  struct Row {
    const char* what;
    tk::Control* focused;
    bool dropped;
    A enter, escape;
  } rows[] = {
      {"nothing focused", nullptr, false, A::PressDefault, A::PressCancel},
      {"an edit", edit, false, A::PressDefault, A::PressCancel},
      {"a push button", other, false, A::PressFocused, A::PressCancel},
      {"a check box", box, false, A::PressDefault, A::PressCancel},
      {"a memo", memo, false, A::PassOn, A::PressCancel},
      {"a read-only memo", readOnlyMemo, false, A::PressDefault, A::PressCancel},
      {"a closed combo box", combo, false, A::PressDefault, A::PressCancel},
      {"an open combo box", combo, true, A::PassOn, A::PassOn},
      {"a hotkey box", hotKey, false, A::PressDefault, A::PassOn},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    EXPECT_EQ(tk::Form::DialogKey(tk::vkReturn, r.focused, r.dropped), r.enter);
    EXPECT_EQ(tk::Form::DialogKey(tk::vkEscape, r.focused, r.dropped), r.escape);
    EXPECT_EQ(tk::Form::DialogKey(tk::vkTab, r.focused, r.dropped), A::PassOn);
  }
  // What the decision does: the focused button, else the default one.
  EXPECT_TRUE(f->PeerDialogKey(tk::vkReturn, other, false));
  EXPECT_EQ(otherPresses, 1);
  EXPECT_TRUE(f->PeerDialogKey(tk::vkReturn, edit, false));
  EXPECT_EQ(okPresses, 1);
  EXPECT_TRUE(f->PeerDialogKey(tk::vkEscape, edit, false));
  EXPECT_FALSE(f->PeerDialogKey(tk::vkReturn, memo, false));
  EXPECT_EQ(okPresses + otherPresses, 2);
  // A disabled default button is not pressed.
  ok->SetEnabled(false);
  f->PeerDialogKey(tk::vkReturn, edit, false);
  EXPECT_EQ(okPresses, 1);
}

// Escape presses the form's cancel button, as Enter its default one, so that
// a dialog with a close or cancel button closes on it; a hotkey box keeps
// Escape as its key while it has the focus; a form without a cancel button
// keeps its window.
TEST_F(ToolkitTest, EscapePressesTheCancelButton) {
  tk::Form* f = NewForm();
  auto* ok = new tk::Button(f, "OK", {0, 0, 10, 10}, "OK");
  ok->Default = true;
  ok->ModalResult = tk::mrOk;
  auto* cancel = new tk::Button(f, "Cancel", {0, 0, 10, 10}, "キャンセル");
  cancel->Cancel = true;
  cancel->ModalResult = tk::mrCancel;
  auto* edit = new tk::Edit(f, "Edit1", {0, 0, 10, 10});
  auto* hotKey = new tk::HotKeyBox(f, "HotKey1", {0, 0, 10, 10});
  int okPresses = 0, cancelPresses = 0;
  ok->OnClick = [&](tk::Component*) { ++okPresses; };
  cancel->OnClick = [&](tk::Component*) { ++cancelPresses; };
  EXPECT_TRUE(f->PeerDialogKey(tk::vkEscape, edit, false));
  EXPECT_EQ(cancelPresses, 1);
  EXPECT_EQ(f->ModalResult, tk::mrCancel);
  EXPECT_TRUE(f->PeerDialogKey(tk::vkEscape, nullptr, false));
  EXPECT_EQ(cancelPresses, 2);
  EXPECT_FALSE(f->PeerDialogKey(tk::vkEscape, hotKey, false)) << "the hotkey box's own key";
  EXPECT_EQ(cancelPresses, 2);
  EXPECT_TRUE(f->PeerDialogKey(tk::vkReturn, hotKey, false));
  EXPECT_EQ(okPresses, 1);
  cancel->SetEnabled(false);
  EXPECT_TRUE(f->PeerDialogKey(tk::vkEscape, edit, false)) << "taken, not passed on";
  EXPECT_EQ(cancelPresses, 2);
  EXPECT_EQ(okPresses, 1) << "never the default button";
}

class ToolkitStartTest : public SimTest {};

TEST_F(ToolkitStartTest, StartedRunsOnceWithTheMainFormShownBeforeTheLoop) {
  auto& app = tk::Application::Instance();
  auto* f = new tk::Form(nullptr);
  app.Adopt(f);
  int runs = 0;
  bool shownThen = false;
  app.OnStarted = [&] {
    ++runs;
    shownThen = f->Visible();
  };
  app.Run();  // the headless loop ends at once
  EXPECT_EQ(runs, 1);
  EXPECT_TRUE(shownThen);
  app.Started();
  EXPECT_EQ(runs, 1) << "once only";
}

TEST_F(ToolkitStartTest, AnErrorWhenStartedGoesToTheErrorDisplay) {
  auto& app = tk::Application::Instance();
  app.OnStarted = [] { throw tk::Error("no start"); };
  app.Started();
  ASSERT_EQ(ui->boxes.size(), 1u);
  EXPECT_EQ(ui->boxes[0].text, "no start");
  EXPECT_FALSE(app.OnStarted);
}

TEST_F(ToolkitStartTest, TheColourAControlHasAlreadyRepaintsNothing) {
  auto* f = new tk::Form(nullptr);
  tk::Application::Instance().Adopt(f);
  f->Name = "Form1";
  auto* button = new tk::Button(f, "Button1", {0, 0, 10, 10}, "b");
  auto* label = new tk::Label(f, "Label1", {0, 0, 10, 10}, "l");
  f->SetColor(f->GetColor());
  button->SetColor(button->GetColor());
  EXPECT_TRUE(ui->colourRepaints.empty());
  f->SetColor(tk::clBlue);
  EXPECT_EQ(ui->colourRepaints, std::vector<std::string>{"Form1"});
  // A transparent label given the colour it has paints its own from now on.
  ui->colourRepaints.clear();
  label->SetColor(label->GetColor());
  label->SetColor(label->GetColor());
  EXPECT_EQ(ui->colourRepaints, std::vector<std::string>{"Label1"});
  EXPECT_FALSE(label->Transparent);
}
}  // namespace
