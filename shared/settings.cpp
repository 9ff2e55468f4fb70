#include "shared/settings.h"

#include "helpers/conversions.h"
#include "platform/error.h"

namespace tarnlight {
namespace {

std::string ReadOrDefault(Settings& settings, const char* key,
                          const char* fallback) {
  std::string value = settings.Get(key);
  if (!value.empty()) return value;
  settings.SaveDefault(key, fallback);
  return fallback;
}

std::int16_t IntervalFromText(const std::string& text) {
  try {
    return TextToInt16(text);
  } catch (const PlatformError&) {
    return defaults::kInterval;
  }
}

}  // namespace

void Settings::SaveDefault(const std::string& key, const std::string& value) {
  try {
    Save(key, value);
  } catch (const PlatformError&) {
  }
}

void LoadSettings(Settings& settings, Module1& m) {
  m.timeFrom = ReadOrDefault(settings, key::kTimeFrom, defaults::kTimeFrom);
  m.timeUntil = ReadOrDefault(settings, key::kTimeUntil, defaults::kTimeUntil);
  m.vidFolder = ReadOrDefault(settings, key::kVidFolder, defaults::kVidFolder);
  std::string interval = settings.Get(key::kIntervalTime);
  if (interval.empty()) {
    m.intervalTime = defaults::kInterval;
    settings.SaveDefault(key::kIntervalTime, defaults::kIntervalTime);
  } else {
    m.intervalTime = IntervalFromText(interval);
  }
}

}  // namespace tarnlight
