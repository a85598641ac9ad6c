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

inline Form* FormOf(Component* c) {
  for (; c; c = c->Owner()) {
    if (auto* f = dynamic_cast<Form*>(c)) return f;
  }
  return nullptr;
}

}  // namespace tk
