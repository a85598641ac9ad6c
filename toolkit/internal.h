// Helpers shared by the toolkit's own sources; not part of its interface.
#pragma once

#include <algorithm>
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

}  // namespace tk
