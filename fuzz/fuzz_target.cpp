#include "fuzz/fuzz_target.h"

#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"
#include "settings/keys.h"

namespace fuzz {

namespace {
void AbortOnFailure(const char* what) {
  std::fprintf(stderr, "fuzz: property failed: %s\n", what);
  std::abort();
}
FailureHandler handler = AbortOnFailure;
}  // namespace

std::map<std::string, Entry>& Targets() {
  static std::map<std::string, Entry> targets;
  return targets;
}

void SetFailureHandler(FailureHandler h) { handler = h ? h : AbortOnFailure; }

void Fail(const std::string& what) {
  handler(what.c_str());
  // A handler that returns (the unit tests') ends this input here.
  throw FailedProperty{what};
}

std::string Reader::Line() {
  std::string out;
  while (pos_ < size_ && data_[pos_] != '\n') out += static_cast<char>(data_[pos_++]);
  if (pos_ < size_) ++pos_;
  return out;
}

std::string Reader::Rest() {
  std::string out(reinterpret_cast<const char*>(data_ + pos_), size_ - pos_);
  pos_ = size_;
  return out;
}

void StoreValues(const std::string& text) {
  auto& p = platform::Get();
  size_t begin = 0;
  while (begin < text.size()) {
    size_t end = text.find('\n', begin);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(begin, end - begin);
    begin = end + 1;
    const bool raw = !line.empty() && line[0] == '#';
    if (raw) line.erase(0, 1);
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string name = line.substr(0, eq);
    const size_t slash = name.rfind('\\');
    if (slash == std::string::npos) continue;
    std::string path = std::string(settings::kApplicationKey) + "\\" + name.substr(0, slash);
    platform::RegValue v;
    std::string value = line.substr(eq + 1);
    if (raw) {
      v.type = value.empty() ? 0 : static_cast<std::uint8_t>(value[0]) & 7u;
      v.data = value.empty() ? value : value.substr(1);
    } else {
      v.type = platform::kRegSz;
      v.data = value + std::string(1, '\0');
    }
    platform::Handle key = 0;
    if (p.RegCreateKeyEx(platform::kHkeyCurrentUser, path, platform::kKeyAllAccess, key) != 0)
      continue;
    p.RegSetValueEx(key, name.substr(slash + 1), v);
    p.RegCloseKey(key);
  }
}

}  // namespace fuzz
