#pragma once

#include <string_view>

namespace tarnlight::win32 {

// The arguments of a command line as GetCommandLineW gives it: whatever
// follows the program's path, quoted or not, without the blanks between.
// A "/s" or "/c" inside the program's own path is not an argument.
std::wstring_view ArgumentsOf(std::wstring_view commandLine);

}  // namespace tarnlight::win32
