#include "platform/win32/text_convert.h"

#include "platform/win32/win32_api.h"

namespace tarnlight::win32 {

std::wstring Widen(std::string_view utf8) {
  if (utf8.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()),
                              nullptr, 0);
  std::wstring wide(std::size_t(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), wide.data(),
                      n);
  return wide;
}

std::string Narrow(std::wstring_view utf16) {
  if (utf16.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), int(utf16.size()),
                              nullptr, 0, nullptr, nullptr);
  std::string narrow(std::size_t(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, utf16.data(), int(utf16.size()),
                      narrow.data(), n, nullptr, nullptr);
  return narrow;
}

}  // namespace tarnlight::win32
