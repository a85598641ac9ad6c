// Menus, their items, and timers.
#pragma once

#include "toolkit/component.h"

namespace tk {

// ---------------------------------------------------------------- menus
class MenuItem : public Component {
 public:
  MenuItem(Component* owner, const std::string& name, const std::string& caption);
  ~MenuItem() override;
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& c);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool on);
  bool Checked() const { return checked_; }
  void SetChecked(bool on);
  MenuItem* Add(std::unique_ptr<MenuItem> item);
  MenuItem* Add(const std::string& name, const std::string& caption, NotifyEvent onClick = {});
  const std::vector<std::unique_ptr<MenuItem>>& Items() const { return items_; }
  MenuItem* Parent() const { return parent_; }
  NotifyEvent OnClick;
  // A click on a disabled item does nothing.
  void Click();
  int Command() const { return command_; }  // backend identifier
  class Menu* RootMenu() const;

 private:
  friend class Menu;
  void Changed();
  std::string caption_;
  bool enabled_ = true;
  bool checked_ = false;
  std::vector<std::unique_ptr<MenuItem>> items_;
  MenuItem* parent_ = nullptr;
  class Menu* menu_ = nullptr;
  int command_ = 0;
};

class Menu : public Component {
 public:
  Menu(Component* owner, const std::string& name, bool popup);
  ~Menu() override;
  MenuItem& Items() { return root_; }
  const MenuItem& Items() const { return root_; }
  bool IsPopup() const { return popup_; }
  MenuItem* FindCommand(int command);
  MenuItem* Find(const std::string& name);
  MenuPeer* Peer() const { return peer_.get(); }
  void Changed();

 private:
  friend class MenuItem;
  MenuItem root_;
  bool popup_;
  std::unique_ptr<MenuPeer> peer_;
  int nextCommand_ = 100;
};

class MainMenu : public Menu {
 public:
  MainMenu(Component* owner, const std::string& name) : Menu(owner, name, false) {}
};

class PopupMenu : public Menu {
 public:
  PopupMenu(Component* owner, const std::string& name) : Menu(owner, name, true) {}
  // Shows the menu at a screen point; modal until an item is chosen or the
  // menu is dismissed. The chosen item's OnClick runs.
  void Popup(int x, int y);
};

// ---------------------------------------------------------------- timers
class Timer : public Component {
 public:
  Timer(Component* owner, const std::string& name, unsigned intervalMs = 1000);
  ~Timer() override;
  unsigned Interval() const { return interval_; }
  void SetInterval(unsigned ms);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool on);
  NotifyEvent OnTimer;
  void Fire();  // one tick

 private:
  unsigned interval_;
  bool enabled_ = true;
  std::unique_ptr<TimerPeer> peer_;
};

}  // namespace tk
