// The registry's keys and values: what Win32Platform's members of that kind
// do (win32_registry.cpp). Texts are UTF-8; a text value comes back with
// exactly one terminating NUL, as the data of a narrow string value has.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace platform {
namespace win32 {

long CreateKey(Handle parent, const std::string& subKey, std::uint32_t access, Handle& key);
long OpenKey(Handle parent, const std::string& subKey, std::uint32_t access, Handle& key);
long QueryValue(Handle key, const std::string& name, RegValue& value);
long SetValue(Handle key, const std::string& name, const RegValue& value);
long DeleteValue(Handle key, const std::string& name);
long CloseKey(Handle key);

}  // namespace win32
}  // namespace platform
