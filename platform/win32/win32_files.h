// Whole files read and written, temporary names, deleting and renaming:
// what Win32Platform's file members do (win32_files.cpp). Names are UTF-8.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace platform {
namespace win32 {

// The whole file, refused (ERROR_NOT_ENOUGH_MEMORY) above maxBytes.
bool ReadWholeFile(const std::string& path, std::string& data, std::uint64_t maxBytes);
// The whole file written, flushed and closed; the last error says why not.
bool WriteWholeFile(const std::string& path, const std::string& data);
std::string TempFileName(const std::string& folder, const std::string& prefix);
bool RemoveFile(const std::string& path);
bool RenameFile(const std::string& from, const std::string& to, bool ex, std::uint32_t flags);

}  // namespace win32
}  // namespace platform
