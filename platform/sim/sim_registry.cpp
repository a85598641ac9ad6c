// The simulated machine's registry: keys by their path (HKEY_CURRENT_USER's
// bare, "HKLM\\…", "HKDD\\…"), values with their types, keys and sections a
// test makes unwritable, and the real calls' errors.
#include "platform/sim/sim_platform.h"
#include "platform/sim/sim_text.h"

namespace platform {

namespace {
using sim::Call;
using sim::Dec;
using sim::Hex;
using sim::Lower;
}  // namespace

std::string SimPlatform::PathOf(Handle parent, const std::string& sub) const {
  std::string base;
  if (parent == kHkeyCurrentUser) {
    base = "";
  } else if (parent == kHkeyLocalMachine) {
    base = "HKLM";  // the machine's keys: "HKLM\\Software\\…" in the tests
  } else if (parent == kHkeyDynData) {
    base = "HKDD";
  } else {
    auto it = handles_.find(parent);
    base = it == handles_.end() ? "?" : it->second;
  }
  if (sub.empty()) return base;
  return base.empty() ? sub : base + "\\" + sub;
}

long SimPlatform::RegCreateKeyEx(Handle parent, const std::string& subKey, std::uint32_t access,
                                 Handle& key) {
  std::string path = PathOf(parent, subKey);
  Log(Call("RegCreateKeyEx", {Quote(path), Hex(access)}));
  if (!registryWritable || readOnlySections.count(Lower(path))) {
    if (!keys_.count(Lower(path))) return kErrorAccessDenied;
  }
  // Every missing level is created.
  std::string acc;
  size_t pos = 0;
  while (true) {
    size_t bs = path.find('\\', pos);
    acc = path.substr(0, bs);
    keys_[Lower(acc)];
    if (bs == std::string::npos) break;
    pos = bs + 1;
  }
  key = nextHandle_++;
  handles_[key] = path;
  return 0;
}

long SimPlatform::RegOpenKeyEx(Handle parent, const std::string& subKey, std::uint32_t access,
                               Handle& key) {
  std::string path = PathOf(parent, subKey);
  Log(Call("RegOpenKeyEx", {Quote(path), Hex(access)}));
  if (DynData(path)) return OpenDynData(path, key);
  if (!keys_.count(Lower(path))) return kErrorFileNotFound;
  key = nextHandle_++;
  handles_[key] = path;
  return 0;
}

long SimPlatform::RegQueryValueEx(Handle key, const std::string& name, RegValue& value) {
  auto h = handles_.find(key);
  if (h == handles_.end()) return kErrorInvalidHandle;
  if (DynData(h->second)) return QueryDynData(h->second, name, value);
  auto k = keys_.find(Lower(h->second));
  if (k == keys_.end()) return kErrorFileNotFound;
  auto v = k->second.values.find(Lower(name));
  if (v == k->second.values.end()) return kErrorFileNotFound;
  value = v->second;
  return 0;
}

long SimPlatform::RegSetValueEx(Handle key, const std::string& name, const RegValue& value) {
  auto h = handles_.find(key);
  if (h == handles_.end()) return kErrorInvalidHandle;
  std::string shown = value.data;
  if (!shown.empty() && shown.back() == '\0') shown.pop_back();
  Log(Call("RegSetValueEx",
           {Quote(h->second), Quote(name), Dec(value.type), Quote(shown), Dec(value.data.size())}));
  if (readOnlySections.count(Lower(h->second))) return kErrorAccessDenied;
  RegValue stored = value;
  if (value.type == kRegSz || value.type == kRegExpandSz) {
    // A text is stored with one terminating NUL, however many it came with.
    while (!stored.data.empty() && stored.data.back() == '\0') stored.data.pop_back();
    stored.data.push_back('\0');
  }
  keys_[Lower(h->second)].values[Lower(name)] = std::move(stored);
  return 0;
}

long SimPlatform::RegDeleteValue(Handle key, const std::string& name) {
  auto h = handles_.find(key);
  if (h == handles_.end()) return kErrorInvalidHandle;
  Log(Call("RegDeleteValue", {Quote(h->second), Quote(name)}));
  if (readOnlySections.count(Lower(h->second))) return kErrorAccessDenied;
  auto k = keys_.find(Lower(h->second));
  if (k == keys_.end() || k->second.values.erase(Lower(name)) == 0) return kErrorFileNotFound;
  return 0;
}

long SimPlatform::RegCloseKey(Handle key) {
  handles_.erase(key);
  return 0;
}

void SimPlatform::SetValue(const std::string& keyPath, const std::string& name,
                           const RegValue& v) {
  Handle k;
  Log("-- test sets " + keyPath + "\\" + name);
  RegCreateKeyEx(kHkeyCurrentUser, keyPath, kKeyAllAccess, k);
  keys_[Lower(keyPath)].values[Lower(name)] = v;
  RegCloseKey(k);
}

void SimPlatform::SetString(const std::string& keyPath, const std::string& name,
                            const std::string& text) {
  SetValue(keyPath, name, RegValue{kRegSz, text + std::string(1, '\0')});
}

std::optional<RegValue> SimPlatform::GetValue(const std::string& keyPath,
                                              const std::string& name) const {
  auto k = keys_.find(Lower(keyPath));
  if (k == keys_.end()) return std::nullopt;
  auto v = k->second.values.find(Lower(name));
  if (v == k->second.values.end()) return std::nullopt;
  return v->second;
}

std::optional<std::string> SimPlatform::GetString(const std::string& keyPath,
                                                  const std::string& name) const {
  auto v = GetValue(keyPath, name);
  if (!v) return std::nullopt;
  std::string s = v->data;
  size_t nul = s.find('\0');
  if (nul != std::string::npos) s.resize(nul);
  return s;
}

bool SimPlatform::KeyExists(const std::string& keyPath) const {
  return keys_.count(Lower(keyPath)) != 0;
}

}  // namespace platform
