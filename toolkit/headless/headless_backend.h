// The headless backend: no windows, real state. Forms, controls and timers
// keep their state in the toolkit objects; this backend queues posted
// messages, runs modal loops through a test's handler, answers message boxes
// and dialogs from scripted replies and records every box it shows.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "toolkit/toolkit.h"

namespace tk {

class HeadlessBackend : public Backend {
 public:
  struct Box {
    std::string text, caption;
    unsigned flags = 0;
    int answer = 0;
  };
  struct PopupShown {
    std::string menu;
    int x = 0, y = 0;
  };

  // Scripted replies, consumed in order. Without one a box answers OK, or No
  // for a Yes/No question.
  std::deque<int> boxAnswers;
  std::vector<Box> boxes;
  // Every box also goes here when set: a log that outlives the backend (the
  // application's shutdown destroys it), for tests that run a whole start.
  std::shared_ptr<std::vector<Box>> boxLog;
  // Runs inside ShowModal while the form is modal; it may click, set
  // ModalResult or Close() the form. Without one the form is dismissed.
  std::function<void(Form&)> onModal;
  // Popup menus: the next item (by name) chosen when a popup opens.
  std::deque<std::string> popupChoices;
  std::vector<PopupShown> popups;
  std::deque<std::optional<Color>> colorAnswers;
  std::deque<std::optional<std::string>> openAnswers;
  std::vector<int> cursors;  // every cursor set, in order
  // Every edit wiped (WipeText): its name and the filler's length.
  std::vector<std::pair<std::string, size_t>> wipes;
  // Every control repainted for a colour (ControlPeer::SetColor), by name.
  std::vector<std::string> colourRepaints;
  // The screen in pixels, and the system's DPI: forms see it in layout
  // units (96 DPI), as the win32 backend gives it.
  int screenWidth = 1024, screenHeight = 768;
  int dpi = 96;
  // System colours by index (COLOR_BTNFACE = 15 …); Windows' standard
  // scheme unless a test sets others.
  std::map<int, Color> systemColors{{1, 0x808000}, {5, 0xFFFFFF}, {8, 0x000000}, {15, 0xC0C0C0}};
  // Runs as each control's peer is made, with the control as it is then.
  std::function<void(Control&)> onCreatePeer;
  int processMessagesCalls = 0;
  std::function<void()> onProcessMessages;  // runs on each ProcessMessages

  std::unique_ptr<ControlPeer> CreatePeer(Control& control) override;
  std::unique_ptr<MenuPeer> CreateMenuPeer(Menu& menu) override;
  std::unique_ptr<TimerPeer> CreateTimerPeer(Timer& timer) override;
  void Run() override;
  void ProcessMessages() override;
  void RunModal(Form& form) override;
  int MessageBox(Form* owner, const std::string& text, const std::string& caption,
                 unsigned flags) override;
  void Post(Form& form, const Message& msg) override;
  // Web browsers: whether the control can be made, and every operation asked
  // of one ("Navigate(url)", "GoBack" …).
  bool browserEngine = true;
  std::vector<std::string> browserCalls;
  // Pictures: the reason the window system gives when it cannot make one
  // (its display bitmap; "" while it can), and how many live now and lived
  // at most at one time (ResetMostPictures starts counting again from now).
  std::string pictureFailure;
  struct PictureCount {
    int live = 0, most = 0;
  };
  std::unique_ptr<Picture> CreatePicture(int width, int height, std::string& error) override;
  // Background tasks: their work runs at once, or, while holdTasks is set,
  // only when the test says so (RunTasks, in the order they were started,
  // or Wait); each done then waits for the next ProcessMessages, as the
  // posted message does.
  bool holdTasks = false;
  std::unique_ptr<TaskPeer> StartTask(std::function<void()> work, std::function<void()> done) override;
  size_t HeldTasks() const;
  void RunTasks();
  struct Job {
    std::function<void()> work, done;
    bool worked = false, delivered = false, dropped = false;
    void Work() {
      if (worked) return;
      worked = true;
      try {
        work();
      } catch (...) {  // as on a thread of its own: the work reports through its own memory
      }
    }
    void Deliver() {
      if (delivered || dropped) return;
      delivered = true;
      done();
    }
  };
  int LivePictures() const { return pictures_->live; }
  int MostPictures() const { return pictures_->most; }
  void ResetMostPictures() { pictures_->most = pictures_->live; }
  // The in-place active object of every browser with an engine (a test's
  // stand-in; none by default).
  InPlaceActiveObject* browserActiveObject = nullptr;
  // The default processing's answers, by message (0 for others).
  std::map<unsigned, std::intptr_t> defaultResults;
  std::intptr_t DefaultHandler(Form&, const Message& msg) override {
    auto it = defaultResults.find(msg.msg);
    return it == defaultResults.end() ? 0 : it->second;
  }
  void SetCursor(int cursor) override { cursors.push_back(cursor); }
  void ScreenSize(int& width, int& height) override {
    width = Dpi{dpi}.Layout(screenWidth);
    height = Dpi{dpi}.Layout(screenHeight);
  }
  int ScreenDpi() override { return dpi; }
  Color SystemColor(int index) override {
    auto it = systemColors.find(index);
    return it == systemColors.end() ? 0 : it->second;
  }
  void PopupMenu(tk::PopupMenu& menu, int x, int y) override;
  bool ColorDialog(Form* owner, Color& color) override;
  bool OpenDialog(Form* owner, tk::OpenDialog& dialog) override;
  WindowHandle ApplicationHandle() override { return 0x10000; }

  // The backend's clock. Each enabled timer fires when its interval has
  // passed since it was (re)started or last fired, as WM_TIMER does; a timer
  // due several times in one advance fires each time, in time order.
  void AdvanceClock(std::uint64_t ms);
  // One second of the message loop: AdvanceClock(1000).
  void TickTimers() { AdvanceClock(1000); }
  std::uint64_t ClockMs() const { return clockMs_; }
  // Runs each time the clock moves (before the timers due then fire), with the
  // milliseconds it moved: a test ties the simulated machine's clock to it.
  std::function<void(std::uint64_t)> onClockAdvanced;
  size_t PendingMessages() const { return queue_.size(); }
  std::vector<Form*> ModalStack() const { return modal_; }
  bool Alive(const Form* f) const { return live_.count(f) != 0; }

  // Peers' bookkeeping.
  void FormPeerCreated(Form* f) { live_.insert(f); }
  void FormPeerDestroyed(Form* f);
  void TimerCreated(Timer* t);
  void TimerDestroyed(Timer* t);
  void TimerRestarted(Timer* t);

 private:
  struct Posted {
    Form* form;
    Message msg;
  };
  std::deque<Posted> queue_;
  std::set<const Form*> live_;
  std::vector<Timer*> timers_;
  std::map<Timer*, std::uint64_t> due_;  // when each timer fires next
  std::uint64_t clockMs_ = 0;
  std::vector<Form*> modal_;
  WindowHandle nextHandle_ = 0x20000;
  std::shared_ptr<PictureCount> pictures_ = std::make_shared<PictureCount>();
  std::deque<std::shared_ptr<Job>> held_, finished_;
};

}  // namespace tk
