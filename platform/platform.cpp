#include "platform/platform.h"

#include <stdexcept>

namespace platform {

namespace {
std::unique_ptr<Platform>& Slot() {
  static std::unique_ptr<Platform> p;
  return p;
}
}  // namespace

Platform& Get() {
  if (!Slot()) throw std::logic_error("no platform installed");
  return *Slot();
}

void Install(std::unique_ptr<Platform> p) { Slot() = std::move(p); }

std::unique_ptr<Platform> Uninstall() { return std::move(Slot()); }

namespace {

// The folder of a full path with its backslash ("C:\" for the root, where
// "C:" would be the drive's current folder).
std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

// Deletes a temporary file and keeps the error that made it useless.
void Discard(Platform& p, const std::string& temp) {
  const std::uint32_t error = p.GetLastError();
  p.DeleteFile(temp);
  p.SetLastError(error);
}

// The data in a new temporary file beside path; "" on failure.
std::string WriteTemporary(Platform& p, const std::string& path, const std::string& data) {
  std::string temp = p.GetTempFileName(FolderOf(path), "kiv");
  if (temp.empty()) return {};
  if (p.WriteFile(temp, data)) return temp;
  Discard(p, temp);
  return {};
}

bool Exists(std::uint32_t error) { return error == kErrorAlreadyExists || error == kErrorFileExists; }

}  // namespace

bool SaveFile(Platform& p, const std::string& path, const std::string& data, std::string* kept) {
  if (kept) kept->clear();
  const std::string temp = WriteTemporary(p, path, data);
  if (temp.empty()) return false;
  if (p.MoveFileEx(temp, path, kMoveFileReplaceExisting | kMoveFileWriteThrough)) return true;
  if (p.GetLastError() != kErrorCallNotImplemented) {
    Discard(p, temp);
    return false;
  }
  // The 95 family: MoveFile, and where a file has the name, that one goes
  // first.
  if (p.MoveFile(temp, path)) return true;
  if (!Exists(p.GetLastError()) || !p.DeleteFile(path)) {
    Discard(p, temp);
    return false;
  }
  if (p.MoveFile(temp, path)) return true;
  // The old file is gone and the name was taken again meanwhile (another
  // program saved it): the temporary file holds the only copy and stays.
  if (kept) *kept = temp;
  return false;
}

bool SaveNewFile(Platform& p, const std::string& path, const std::string& data) {
  // A name in use is refused before anything is written (a caller may try
  // many); one taken meanwhile is refused by MoveFile.
  if (p.FileExists(path)) {
    p.SetLastError(kErrorFileExists);
    return false;
  }
  const std::string temp = WriteTemporary(p, path, data);
  if (temp.empty()) return false;
  if (p.MoveFile(temp, path)) return true;
  Discard(p, temp);
  return false;
}

OsVersion RunningVersion(Platform& p) {
  const OsVersion shown = p.GetVersionEx();
  if (shown.platformId != kPlatformNT) return shown;
  const std::optional<OsVersion> real = p.RtlGetVersion();
  return real && real->platformId == kPlatformNT ? *real : shown;
}

}  // namespace platform
