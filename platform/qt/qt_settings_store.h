#pragma once

#include <QSettings>
#include <QString>
#include <map>
#include <memory>

#include "platform/services.h"

namespace tarnlight::qt {

// One INI file per application, $XDG_CONFIG_HOME/<app>/<app>.ini (or
// ~/.config/...), the section as its group. Every save reaches the file
// before SaveSetting returns: QSettings writes a temporary file and renames
// it over the old one, so the file is always whole. A save that fails raises
// PlatformError 75 naming the file and the reason, and leaves the file and
// what reads return as they were; reads never raise. GUI thread only.
class QtSettingsStore final : public SettingsStore {
 public:
  std::string GetSetting(const std::string& app, const std::string& section,
                         const std::string& key) override;
  void SaveSetting(const std::string& app, const std::string& section,
                   const std::string& key, const std::string& value) override;
  // Writes out whatever is still pending, raising as SaveSetting does; with
  // every save written through there is normally nothing left.
  void Sync();

  static QString FilePath(const QString& app);

 private:
  QSettings& FileOf(const std::string& app);
  std::map<std::string, std::unique_ptr<QSettings>> files_;
};

}  // namespace tarnlight::qt
