#pragma once

#include <string>

#include "platform/services.h"
#include "platform/win32/win32_api.h"

namespace tarnlight::win32 {

// The settings in the registry: text values under
// <root>\Software\<app>\<section>, the root being HKEY_CURRENT_USER. Saves
// write REG_SZ. A REG_EXPAND_SZ value reads with its environment variables
// expanded; a value that is missing, or of any other type, reads as the empty
// string. A save that fails raises PlatformError 75 naming the key and the
// system's reason; reads never raise.
class Win32SettingsStore final : public SettingsStore {
 public:
  Win32SettingsStore()
      : Win32SettingsStore(HKEY_CURRENT_USER, "HKEY_CURRENT_USER") {}
  // Under an open key the caller keeps, named `rootName` in error texts.
  Win32SettingsStore(HKEY root, std::string rootName)
      : root_(root), rootName_(std::move(rootName)) {}

  std::string GetSetting(const std::string& app, const std::string& section,
                         const std::string& key) override;
  void SaveSetting(const std::string& app, const std::string& section,
                   const std::string& key, const std::string& value) override;

 private:
  HKEY root_;
  std::string rootName_;
};

}  // namespace tarnlight::win32
