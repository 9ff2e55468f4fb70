#pragma once

#include <string>

#include "platform/files.h"
#include "platform/win32/win32_api.h"

namespace tarnlight::win32 {

// FindFirstFileW / FindNextFileW. A pattern that ends in a separator lists
// the whole folder. Mask 0 gives ordinary files only: no directories, and
// nothing with the hidden or system attribute.
class Win32DirListing final : public DirListing {
 public:
  Win32DirListing() = default;
  Win32DirListing(const Win32DirListing&) = delete;
  Win32DirListing& operator=(const Win32DirListing&) = delete;
  ~Win32DirListing() override { Close(); }

  std::string First(const std::string& pattern, int mask) override;
  std::string Next() override;

 private:
  void Close();
  bool Wanted(const WIN32_FIND_DATAW& entry) const;
  std::string Advance(bool fromFirst);

  HANDLE find_ = INVALID_HANDLE_VALUE;
  WIN32_FIND_DATAW entry_{};
  int mask_ = 0;
};

}  // namespace tarnlight::win32
