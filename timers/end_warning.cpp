#include "timers/end_warning.h"

tk::FormSlot<TForm26> Form26("Form26");

TForm26::TForm26(tk::Component* owner, Commands commands)
    : tk::Form(owner), commands_(std::move(commands)) {
  Name = "Form26";
  Border = tk::BorderStyle::Single;
  Icons.systemMenu = false;  // one of the three buttons answers it
  Icons.minimize = Icons.maximize = false;
  Position = tk::FormPosition::ScreenCenter;
  StayOnTop = true;
  AppWindow = true;
  SetCaption("Kivo-Config 終了予告");
  SetClientSize(300, 84);
  Label1 = new tk::Label(this, "Label1", {16, 14, 268, 14}, "");
  Label1->ShowAccelChar = false;
  Button1 = new tk::Button(this, "Button1", {16, 48, 80, 25}, "中止");
  Button2 = new tk::Button(this, "Button2", {110, 48, 80, 25}, "+10分");
  Button3 = new tk::Button(this, "Button3", {204, 48, 80, 25}, "今すぐ");
  // Each command may close this window: it runs after the click is handled.
  auto bind = [this](tk::Button* b, std::function<void()> TForm26::Commands::*command) {
    b->OnClick = [this, command](tk::Component*) {
      auto run = commands_.*command;
      if (run) run();
    };
  };
  bind(Button1, &Commands::stop);
  bind(Button2, &Commands::moreTime);
  bind(Button3, &Commands::now);
  OnCloseQuery = [this](tk::Component*, bool& c) {
    c = true;
    Release();
  };
}

TForm26::~TForm26() = default;

void TForm26::ShowRemaining(long long seconds, const std::string& action) {
  Label1->SetCaption("あと " + std::to_string(seconds < 0 ? 0 : seconds) + " 秒で" + action +
                     "します");
}
