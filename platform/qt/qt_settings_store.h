#pragma once

#include <QSettings>
#include <QString>
#include <map>
#include <memory>

#include "platform/services.h"

namespace tarnlight::qt {

// One INI file per application, $XDG_CONFIG_HOME/<app>/<app>.ini (or
// ~/.config/...), the section as its group. QSettings writes through a
// temporary file and a rename; Sync pushes pending writes out.
class QtSettingsStore final : public SettingsStore {
 public:
  std::string GetSetting(const std::string& app, const std::string& section,
                         const std::string& key) override;
  void SaveSetting(const std::string& app, const std::string& section,
                   const std::string& key, const std::string& value) override;
  void Sync();

  static QString FilePath(const QString& app);

 private:
  QSettings& FileOf(const std::string& app);
  std::map<std::string, std::unique_ptr<QSettings>> files_;
};

}  // namespace tarnlight::qt
