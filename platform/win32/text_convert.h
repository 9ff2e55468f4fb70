#pragma once

#include <string>
#include <string_view>

namespace tarnlight::win32 {

// UTF-8 inside the program, UTF-16 at the Win32 edge. Invalid input turns
// into replacement characters, never an error.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

}  // namespace tarnlight::win32
