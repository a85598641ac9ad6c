// The common dialogs, the backend interface, the application object and the
// text conversions at the native boundary.
#pragma once

#include "toolkit/forms.h"

namespace tk {

// ---------------------------------------------------------------- dialogs
class ColorDialog : public Component {
 public:
  ColorDialog(Component* owner, const std::string& name);
  Color color = clBlack;
  bool Execute();
};

class OpenDialog : public Component {
 public:
  OpenDialog(Component* owner, const std::string& name);
  std::string Filter;  // "Text|*.txt|All|*.*"
  std::string FileName;
  std::string Title;
  std::string InitialDir;
  // A save dialog: the file need not exist, an existing one is confirmed,
  // and DefaultExt is added to a name typed without one.
  bool Save = false;
  std::string DefaultExt;
  // A folder dialog: FileName becomes the folder chosen (Title is its text).
  bool Folder = false;
  bool Execute();
};

// ---------------------------------------------------------------- background work
// What a backend runs a task with (Backend::StartTask). Destroying it drops
// the task: `done` never runs then, though work that has started goes on
// to its end.
class TaskPeer {
 public:
  virtual ~TaskPeer() = default;
  // Blocks until the work has ended, then runs `done` at once unless it has
  // run (or the task was dropped).
  virtual void Wait() = 0;
};

// Work done on a thread of its own while the user-interface thread goes on
// (the image viewer decodes its next picture so). The work must not touch
// toolkit objects (making a Picture is allowed) and hands its result over
// through memory of its own; `done` then runs on the user-interface thread,
// from a message posted to the application window. Destroying the task drops
// it (see TaskPeer).
class Task {
 public:
  Task(std::function<void()> work, std::function<void()> done);
  ~Task();
  Task(const Task&) = delete;
  Task& operator=(const Task&) = delete;
  // Blocks until the work has ended and runs `done` now if it has not run.
  void Wait();
  bool Done() const { return *done_; }

 private:
  std::shared_ptr<bool> done_ = std::make_shared<bool>(false);
  std::unique_ptr<TaskPeer> peer_;
};

// ---------------------------------------------------------------- backend
class Backend {
 public:
  virtual ~Backend() = default;
  virtual std::unique_ptr<ControlPeer> CreatePeer(Control& control) = 0;
  virtual std::unique_ptr<MenuPeer> CreateMenuPeer(Menu& menu) = 0;
  virtual std::unique_ptr<TimerPeer> CreateTimerPeer(Timer& timer) = 0;
  // Runs until Application::Terminated().
  virtual void Run() = 0;
  // Handles every pending message, then returns.
  virtual void ProcessMessages() = 0;
  // Runs until form.ModalResult is set or the form is hidden.
  virtual void RunModal(Form& form) = 0;
  virtual int MessageBox(Form* owner, const std::string& text,
                         const std::string& caption, unsigned flags) = 0;
  virtual void Post(Form& form, const Message& msg) = 0;
  // Picture::Create; may be called from any thread. Null, with the reason,
  // when the picture cannot be made.
  virtual std::unique_ptr<Picture> CreatePicture(int width, int height, std::string& error) = 0;
  // Runs work on a thread of its own, then done on the user-interface thread
  // (Task); done runs at most once, and never after the peer is gone.
  virtual std::unique_ptr<TaskPeer> StartTask(std::function<void()> work, std::function<void()> done) = 0;
  virtual std::intptr_t DefaultHandler(Form& form, const Message& msg) = 0;
  virtual void SetCursor(int cursor) = 0;
  // The screen's size in layout units (96 DPI).
  virtual void ScreenSize(int& width, int& height) = 0;
  // The system's DPI: what one layout unit is on the screen (96 = a pixel).
  virtual int ScreenDpi() { return 96; }
  // The 0x00BBGGRR value of a system colour (COLOR_BTNFACE …) as the system
  // paints it now.
  virtual Color SystemColor(int index) = 0;
  virtual void PopupMenu(PopupMenu& menu, int x, int y) = 0;
  virtual bool ColorDialog(Form* owner, Color& color) = 0;
  virtual bool OpenDialog(Form* owner, tk::OpenDialog& dialog) = 0;
  // The window of the application object (owns the taskbar button).
  virtual WindowHandle ApplicationHandle() = 0;
  virtual void SetApplicationTitle(const std::string&) {}
  virtual void Terminate() {}
};

// ---------------------------------------------------------------- application
// The window class of the application window (hidden, one per process),
// by which another copy of the program finds this one.
inline constexpr const char* kApplicationClassName = "KivoApplication";

class Application {
 public:
  static Application& Instance();
  void Initialize(std::unique_ptr<Backend> backend);
  void Shutdown();  // destroys every form and the backend
  Backend& GetBackend();
  bool HasBackend() const { return backend_ != nullptr; }

  std::string Title;
  bool ShowMainForm = true;
  Form* MainForm() const { return main_; }

  // Creates a form owned by the application; the first one becomes the main form.
  template <class T, class... Args>
  T* CreateForm(Args&&... args) {
    auto* f = new T(nullptr, std::forward<Args>(args)...);
    Adopt(f);
    f->DoCreate();
    return f;
  }
  void Adopt(Form* f);
  // Shows the main form (unless ShowMainForm is false), runs Started and
  // then the loop.
  void Run();
  // Runs once when a run begins: after the main form was shown and painted
  // (or, when it starts hidden, at that point), before the loop takes its
  // first message. What the start can leave until the window is up.
  std::function<void()> OnStarted;
  // Runs OnStarted, once (errors go to the error display).
  void Started();
  // Told of the steps a form's showing takes ("synced": its controls placed,
  // "shown": visible, "updated": painted), for the start-up's phase clock.
  std::function<void(const char*)> OnPhase;
  void Phase(const char* name) {
    if (OnPhase) OnPhase(name);
  }
  void ProcessMessages();
  void Terminate();
  bool Terminated() const { return terminated_; }

  int MessageBox(const std::string& text, const std::string& caption, unsigned flags);
  void ShowMessage(const std::string& text);  // plain OK notice
  void ShowException(const std::exception& e);
  void HandleException();  // in a catch block

  // Bytes another process sent to the application window (WM_COPYDATA), with
  // their tag; the handler's answer goes back to the sender (0 without one).
  std::function<std::intptr_t(std::uint32_t tag, const std::string& bytes)> OnCopyData;
  std::intptr_t PeerCopyData(std::uint32_t tag, const std::string& bytes);
  // A hotkey registered on the application window was pressed (WM_HOTKEY).
  std::function<void(int id)> OnHotKey;
  void PeerHotKey(int id);

  int Cursor() const { return cursor_; }
  void SetCursor(int c);
  void ScreenSize(int& width, int& height);
  int ScreenDpi();
  // A colour as painted: system colours (clBtnFace …) become their value.
  Color PaintedRgb(Color c);

  // Forms awaiting deferred deletion; run after each handled event.
  void QueueRelease(Form* f);
  void FlushReleases();
  void FormDestroyed(Form* f);
  const std::vector<Form*>& Forms() const { return forms_; }
  Form* ActiveForm() const;

 private:
  std::unique_ptr<Backend> backend_;
  Form* main_ = nullptr;
  std::vector<Form*> forms_;     // top-level forms owned by the application
  std::vector<Form*> releases_;
  bool terminated_ = false;
  int cursor_ = crDefault;
};

// Text conversion helpers at the native boundary.
std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& wide);
std::string Format(const char* fmt, ...);
// Overwrites a text's bytes in a way the optimiser keeps, then empties it.
void SecureWipe(std::string& s);

}  // namespace tk
