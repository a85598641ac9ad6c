// Helpers shared by the toolkit's own sources; not part of its interface.
#pragma once

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "toolkit/toolkit.h"

namespace tk {

template <class T>
void Erase(std::vector<T*>& v, T* p) {
  v.erase(std::remove(v.begin(), v.end(), p), v.end());
}

// The one guard where the window system calls into the program's handlers:
// an error that escapes goes to the error display and the program goes on.
// False when the handler raised.
template <class F>
bool Guarded(F&& handler) {
  try {
    handler();
    return true;
  } catch (...) {
    try {
      Application::Instance().HandleException();
    } catch (...) {
      // The error display itself failed: nothing more can be said.
    }
    return false;
  }
}

inline Form* FormOf(Component* c) {
  for (; c; c = c->Owner()) {
    if (auto* f = dynamic_cast<Form*>(c)) return f;
  }
  return nullptr;
}

// Runs one of the handlers of the form `of` belongs to (a click, a menu
// item, a timer, a message, a close), guarded, then deletes the forms
// released meanwhile. The form is never deleted while its own handler
// runs: a handler that releases its form may go on using it, even when
// what it does next makes the system send another form a message (whose
// handling deletes released forms too).
template <class F>
void RunHandler(Component* of, F&& handler) {
  {
    Form* form = FormOf(of);
    std::optional<Form::Hold> hold;
    if (form) hold.emplace(*form);
    Guarded(std::forward<F>(handler));
  }
  Application::Instance().FlushReleases();
}

}  // namespace tk
