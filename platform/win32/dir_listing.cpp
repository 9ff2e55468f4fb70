#include "platform/win32/dir_listing.h"

#include <memory>

#include "platform/system_listing.h"
#include "platform/win32/text_convert.h"

namespace tarnlight::win32 {

void Win32DirListing::Close() {
  if (find_ != INVALID_HANDLE_VALUE) FindClose(find_);
  find_ = INVALID_HANDLE_VALUE;
}

bool Win32DirListing::Wanted(const WIN32_FIND_DATAW& entry) const {
  DWORD a = entry.dwFileAttributes;
  if ((a & FILE_ATTRIBUTE_DIRECTORY) && !(mask_ & attr::kDirectory))
    return false;
  if ((a & FILE_ATTRIBUTE_HIDDEN) && !(mask_ & attr::kHidden)) return false;
  if ((a & FILE_ATTRIBUTE_SYSTEM) && !(mask_ & attr::kSystem)) return false;
  // Devices and named pipes never reach a directory listing on Windows.
  return entry.cFileName[0] != L'\0';
}

std::string Win32DirListing::First(const std::string& pattern, int mask) {
  Close();
  mask_ = mask;
  std::wstring wide = Widen(pattern);
  if (wide.empty() || wide.back() == L'\\' || wide.back() == L'/') wide += L'*';
  find_ = FindFirstFileExW(wide.c_str(), FindExInfoBasic, &entry_,
                           FindExSearchNameMatch, nullptr, 0);
  return Advance(true);
}

std::string Win32DirListing::Next() { return Advance(false); }

std::string Win32DirListing::Advance(bool fromFirst) {
  if (find_ == INVALID_HANDLE_VALUE) return "";
  bool have = fromFirst;
  for (;;) {
    if (!have && !FindNextFileW(find_, &entry_)) {
      Close();
      return "";
    }
    have = false;
    if (Wanted(entry_)) return Narrow(entry_.cFileName);
  }
}

}  // namespace tarnlight::win32

namespace tarnlight {

std::unique_ptr<DirListing> CreateSystemListing() {
  return std::make_unique<win32::Win32DirListing>();
}

}  // namespace tarnlight
