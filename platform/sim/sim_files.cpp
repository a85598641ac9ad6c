// The simulated machine's files: reading, writing in place or stopping half
// way (writeLimits), temporary files, deleting (and another program making
// the name again: recreatedFiles) and moving, with the real calls' errors.
// Names compare without case, as the file system does.
#include "platform/sim/sim_platform.h"
#include "platform/sim/sim_text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace platform {

namespace {
using sim::Call;
using sim::Dec;
using sim::Hex;
using sim::Lower;

// The folder part of a path, without its last backslash ("C:" for "C:\a").
std::string FolderPart(const std::string& path) {
  size_t slash = path.find_last_of('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}
}  // namespace

bool SimPlatform::FileExists(const std::string& path) {
  Log(Call("FindFirstFile", {Quote(path)}));
  return Exists(path);
}

std::optional<std::string> SimPlatform::GetLongPathName(const std::string& path) {
  Log(Call("GetLongPathName", {Quote(path)}));
  if (!hasGetLongPathName) return Refuse(kErrorCallNotImplemented), std::nullopt;
  for (const auto& [longPath, shortPath] : shortPathNames)
    if (Lower(shortPath) == Lower(path) || Lower(longPath) == Lower(path)) return longPath;
  if (Exists(path) || Lower(path) == Lower(executablePath)) return path;
  return Refuse(kErrorFileNotFound), std::nullopt;
}

std::optional<std::string> SimPlatform::GetShortPathName(const std::string& path) {
  Log(Call("GetShortPathName", {Quote(path)}));
  for (const auto& [longPath, shortPath] : shortPathNames)
    if (Lower(shortPath) == Lower(path) || Lower(longPath) == Lower(path)) return shortPath;
  if (Exists(path) || Lower(path) == Lower(executablePath)) return path;
  return Refuse(kErrorFileNotFound), std::nullopt;
}

bool SimPlatform::ReadFile(const std::string& path, std::string& data, std::uint64_t maxBytes) {
  Log(Call("ReadFile", {Quote(path)}));
  for (const auto& f : lockedFiles)
    if (Lower(f) == Lower(path)) return Refuse(kErrorSharingViolation);
  for (const auto& f : fileContents)
    if (Lower(f.first) == Lower(path)) {
      if (f.second.size() > maxBytes) return Refuse(kErrorNotEnoughMemory);
      data = f.second;
      return true;
    }
  return Refuse(kErrorFileNotFound);
}

std::map<std::string, std::string>::iterator SimPlatform::FindContents(const std::string& path) {
  for (auto f = fileContents.begin(); f != fileContents.end(); ++f)
    if (Lower(f->first) == Lower(path)) return f;
  return fileContents.end();
}

bool SimPlatform::Exists(const std::string& path) {
  if (FindContents(path) != fileContents.end()) return true;
  for (const auto& f : files)
    if (Lower(f) == Lower(path)) return true;
  return false;
}

bool SimPlatform::Locked(const std::string& path) const {
  for (const auto& f : lockedFiles)
    if (Lower(f) == Lower(path)) return true;
  return false;
}

bool SimPlatform::ReadOnlyFolder(const std::string& path) const {
  for (const auto& d : readOnlyFolders)
    if (Lower(d) == Lower(FolderPart(path))) return true;
  return false;
}

void SimPlatform::Remove(const std::string& path) {
  auto f = FindContents(path);
  if (f != fileContents.end()) fileContents.erase(f);
  for (auto it = files.begin(); it != files.end();)
    it = Lower(*it) == Lower(path) ? files.erase(it) : std::next(it);
}

bool SimPlatform::WriteFile(const std::string& path, const std::string& data) {
  Log(Call("WriteFile", {Quote(path), Dec(data.size()) + " bytes"}));
  if (Locked(path)) return Refuse(kErrorSharingViolation);
  if (ReadOnlyFolder(path)) return Refuse(kErrorAccessDenied);
  // CREATE_ALWAYS truncates an existing file (its name keeps its case).
  auto f = FindContents(path);
  std::string& contents = f != fileContents.end() ? f->second : fileContents[path];
  for (const auto& d : writeLimits)
    if (Lower(d.first) == Lower(FolderPart(path)) && d.second < data.size()) {
      contents = data.substr(0, static_cast<size_t>(d.second));
      lastError_ = kErrorDiskFull;
      return false;
    }
  contents = data;
  return true;
}

std::string SimPlatform::GetTempFileName(const std::string& folder, const std::string& prefix) {
  Log(Call("GetTempFileName", {Quote(folder), Quote(prefix), "0"}));
  const std::string dir = !folder.empty() && folder.back() == '\\' ? folder : folder + "\\";
  if (ReadOnlyFolder(dir + "x")) {
    lastError_ = kErrorAccessDenied;
    return {};
  }
  // The first free name of the counter, made as an empty file.
  for (unsigned tries = 0; tries < 0xFFFF; ++tries) {
    nextTempName_ = nextTempName_ % 0xFFFF + 1;
    char hex[8];
    std::snprintf(hex, sizeof hex, "%X", nextTempName_);
    std::string name = dir + prefix.substr(0, 3) + hex + ".TMP";
    if (Exists(name)) continue;
    fileContents[name];
    return name;
  }
  lastError_ = kErrorFileExists;
  return {};
}

bool SimPlatform::DeleteFile(const std::string& path) {
  Log(Call("DeleteFile", {Quote(path)}));
  if (!Exists(path)) return Refuse(kErrorFileNotFound);
  if (Locked(path)) return Refuse(kErrorSharingViolation);
  if (ReadOnlyFolder(path)) return Refuse(kErrorAccessDenied);
  Remove(path);
  for (const auto& f : recreatedFiles)
    if (Lower(f) == Lower(path)) fileContents[path] = recreatedContents;
  return true;
}

bool SimPlatform::Rename(const std::string& call, const std::string& from, const std::string& to,
                         bool replace) {
  Log(call);
  if (!Exists(from)) return Refuse(kErrorFileNotFound);
  if (ReadOnlyFolder(from) || ReadOnlyFolder(to)) return Refuse(kErrorAccessDenied);
  if (Exists(to) && Lower(to) != Lower(from)) {
    if (!replace) return Refuse(kErrorAlreadyExists);
    // A file open in another program cannot be replaced.
    if (Locked(to)) return Refuse(kErrorAccessDenied);
    Remove(to);
  }
  auto f = FindContents(from);
  std::string data = f != fileContents.end() ? f->second : std::string();
  Remove(from);
  fileContents[to] = std::move(data);
  return true;
}

bool SimPlatform::MoveFile(const std::string& from, const std::string& to) {
  return Rename(Call("MoveFile", {Quote(from), Quote(to)}), from, to, false);
}

bool SimPlatform::MoveFileEx(const std::string& from, const std::string& to, std::uint32_t flags) {
  const std::string call = Call("MoveFileEx", {Quote(from), Quote(to), Hex(flags)});
  if (version.platformId == kPlatformWindows) {  // a stub there
    Log(call);
    lastError_ = kErrorCallNotImplemented;
    return false;
  }
  return Rename(call, from, to, (flags & kMoveFileReplaceExisting) != 0);
}

}  // namespace platform
