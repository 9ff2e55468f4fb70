#pragma once

#include <cstdint>
#include <string>

#include "platform/services.h"
#include "shared/module1.h"
#include "shared/program.h"

namespace tarnlight {

inline constexpr const char* kSection = "settings";

namespace key {
inline constexpr const char* kTimeFrom = "timeFrom";
inline constexpr const char* kTimeUntil = "timeUntil";
inline constexpr const char* kVidFolder = "vidFolder";
inline constexpr const char* kIntervalTime = "intervalTime";
}  // namespace key

namespace defaults {
inline constexpr const char* kTimeFrom = "09:00";
inline constexpr const char* kTimeUntil = "18:00";
inline constexpr const char* kVidFolder = "c:\\";
inline constexpr const char* kIntervalTime = "30";
inline constexpr std::int16_t kInterval = 30;
}  // namespace defaults

// The store under this program's application name and section.
class Settings {
 public:
  explicit Settings(SettingsStore& store) : store_(store) {}
  std::string Get(const std::string& key) {
    return store_.GetSetting(kProgramName, kSection, key);
  }
  // Raises PlatformError when the store cannot keep the value.
  void Save(const std::string& key, const std::string& value) {
    store_.SaveSetting(kProgramName, kSection, key, value);
  }
  // For a default written back: the run goes on with the value in memory
  // whether or not the store could keep it.
  void SaveDefault(const std::string& key, const std::string& value);

 private:
  SettingsStore& store_;
};

// Reads the four settings into `m`, writing each missing key's default
// right after reading it, as far as the store allows. An interval that is no
// 16-bit number runs as 30 and stays in the store as it is, for the setup
// dialog to show.
void LoadSettings(Settings& settings, Module1& m);

}  // namespace tarnlight
