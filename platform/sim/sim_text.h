// Small text helpers of the simulated machine's sources.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>

namespace platform {
namespace sim {

// Names compare without case, as Windows compares them.
inline std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

// A handle or number as the journal shows it ("0x1234").
inline std::string Hex(std::uintptr_t v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "0x%lx", static_cast<unsigned long>(v));
  return buf;
}

// A list as the journal shows it: the items with ", " between them.
inline std::string Joined(std::initializer_list<std::string> items) {
  std::string out;
  for (const std::string& item : items) {
    if (&item != items.begin()) out += ", ";
    out += item;
  }
  return out;
}

// A call as the journal shows it: "Name(arg, arg)", every call's line made
// here. The arguments come as the journal writes them: Quote for texts,
// Hex for handles and flags, Dec for numbers.
inline std::string Call(const std::string& name, std::initializer_list<std::string> args = {}) {
  return name + "(" + Joined(args) + ")";
}

// A structure passed by address, its fields in braces: "{1, 19, 2}".
inline std::string Fields(std::initializer_list<std::string> fields) {
  return "{" + Joined(fields) + "}";
}

template <class T>
std::string Dec(T v) {
  return std::to_string(v);
}

}  // namespace sim
}  // namespace platform
