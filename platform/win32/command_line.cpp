#include "platform/win32/command_line.h"

namespace tarnlight::win32 {
namespace {

bool Blank(wchar_t c) { return c == L' ' || c == L'\t'; }

}  // namespace

// The program's path follows the rule the system's own start-up code uses:
// a quoted path runs to the next quote, an unquoted one to the first blank.
std::wstring_view ArgumentsOf(std::wstring_view line) {
  std::size_t i = 0;
  if (i < line.size() && line[i] == L'"') {
    std::size_t close = line.find(L'"', 1);
    i = close == std::wstring_view::npos ? line.size() : close + 1;
  } else {
    while (i < line.size() && !Blank(line[i])) ++i;
  }
  while (i < line.size() && Blank(line[i])) ++i;
  return line.substr(i);
}

}  // namespace tarnlight::win32
