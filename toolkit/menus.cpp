// Menus, popup menus and timers.
#include "toolkit/toolkit.h"
#include "toolkit/internal.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace tk {

// ---------------------------------------------------------------- menus
MenuItem::MenuItem(Component* owner, const std::string& name, const std::string& caption)
    : Component(owner), caption_(caption) {
  Name = name;
}

MenuItem::~MenuItem() = default;

Menu* MenuItem::RootMenu() const {
  const MenuItem* i = this;
  while (i->parent_) i = i->parent_;
  return i->menu_;
}

void MenuItem::Changed() {
  if (Menu* m = RootMenu()) m->Changed();
}

void MenuItem::SetCaption(const std::string& c) {
  caption_ = c;
  Changed();
}

void MenuItem::SetEnabled(bool on) {
  if (enabled_ == on) return;
  enabled_ = on;
  Changed();
}

void MenuItem::SetChecked(bool on) {
  if (checked_ == on) return;
  checked_ = on;
  Changed();
}

MenuItem* MenuItem::Add(std::unique_ptr<MenuItem> item) {
  item->parent_ = this;
  Menu* m = RootMenu();
  if (m) item->command_ = m->nextCommand_++;
  items_.push_back(std::move(item));
  Changed();
  return items_.back().get();
}

MenuItem* MenuItem::Add(const std::string& name, const std::string& caption, NotifyEvent onClick) {
  auto item = std::make_unique<MenuItem>(nullptr, name, caption);
  item->OnClick = std::move(onClick);
  return Add(std::move(item));
}

void MenuItem::Click() {
  if (!enabled_) return;
  // Held: the form whose menu it is.
  RunHandler(RootMenu(), [&] { if (OnClick) OnClick(this); });
}

Menu::Menu(Component* owner, const std::string& name, bool popup)
    : Component(owner), root_(nullptr, name, ""), popup_(popup) {
  Name = name;
  root_.menu_ = this;
  if (Form* f = FormOf(owner)) f->menus_.push_back(this);
  if (Application::Instance().HasBackend())
    peer_ = Application::Instance().GetBackend().CreateMenuPeer(*this);
}

Menu::~Menu() {
  if (Form* f = FormOf(Owner())) Erase(f->menus_, this);
}

void Menu::Changed() {
  if (peer_) peer_->Rebuild();
}

namespace {
MenuItem* FindIn(MenuItem& item, const std::function<bool(MenuItem&)>& pred) {
  if (pred(item)) return &item;
  for (auto& c : item.Items())
    if (MenuItem* r = FindIn(*c, pred)) return r;
  return nullptr;
}
}  // namespace

MenuItem* Menu::FindCommand(int command) {
  return FindIn(root_, [command](MenuItem& i) { return i.Command() == command; });
}

MenuItem* Menu::Find(const std::string& name) {
  return FindIn(root_, [&name](MenuItem& i) { return i.Name == name; });
}

void PopupMenu::Popup(int x, int y) { Application::Instance().GetBackend().PopupMenu(*this, x, y); }

// ---------------------------------------------------------------- timers
Timer::Timer(Component* owner, const std::string& name, unsigned intervalMs)
    : Component(owner), interval_(intervalMs) {
  Name = name;
  if (Form* f = FormOf(owner)) f->timers_.push_back(this);
  if (Application::Instance().HasBackend())
    peer_ = Application::Instance().GetBackend().CreateTimerPeer(*this);
}

Timer::~Timer() {
  peer_.reset();
  if (Form* f = FormOf(Owner())) Erase(f->timers_, this);
}

void Timer::SetInterval(unsigned ms) {
  interval_ = ms;
  if (peer_) peer_->Restart();
}

void Timer::SetEnabled(bool on) {
  if (enabled_ == on) return;
  enabled_ = on;
  if (peer_) peer_->Restart();
}

void Timer::Fire() {
  if (!enabled_ || interval_ == 0) return;
  RunHandler(this, [&] { if (OnTimer) OnTimer(this); });
}

}  // namespace tk
