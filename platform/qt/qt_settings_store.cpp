#include "platform/qt/qt_settings_store.h"

#include <QDir>
#include <QStringList>
#include <QVariant>

namespace tarnlight::qt {

QString QtSettingsStore::FilePath(const QString& app) {
  QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (base.isEmpty() || !QDir::isAbsolutePath(base))
    base = QDir::homePath() + QStringLiteral("/.config");
  return base + "/" + app + "/" + app + ".ini";
}

QSettings& QtSettingsStore::FileOf(const std::string& app) {
  auto& file = files_[app];
  if (!file) {
    file = std::make_unique<QSettings>(FilePath(QString::fromStdString(app)),
                                       QSettings::IniFormat);
  }
  return *file;
}

std::string QtSettingsStore::GetSetting(const std::string& app,
                                        const std::string& section,
                                        const std::string& key) {
  QSettings& file = FileOf(app);
  QVariant value = file.value(QString::fromStdString(section + "/" + key));
  // A hand-edited value with commas reads back as a list: it is still the
  // one text the user wrote.
  if (value.typeId() == QMetaType::QStringList)
    return value.toStringList().join(",").toStdString();
  return value.toString().toStdString();
}

void QtSettingsStore::SaveSetting(const std::string& app,
                                  const std::string& section,
                                  const std::string& key,
                                  const std::string& value) {
  FileOf(app).setValue(QString::fromStdString(section + "/" + key),
                       QString::fromStdString(value));
}

void QtSettingsStore::Sync() {
  for (auto& [app, file] : files_) file->sync();
}

}  // namespace tarnlight::qt
