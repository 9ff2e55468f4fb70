#pragma once

#include "platform/services.h"

namespace tarnlight::win32 {

// REG_SZ values under HKEY_CURRENT_USER\Software\<app>\<section>. A value
// that is missing, or not text, reads as the empty string.
class RegistryStore final : public SettingsStore {
 public:
  std::string GetSetting(const std::string& app, const std::string& section,
                         const std::string& key) override;
  void SaveSetting(const std::string& app, const std::string& section,
                   const std::string& key, const std::string& value) override;
};

}  // namespace tarnlight::win32
