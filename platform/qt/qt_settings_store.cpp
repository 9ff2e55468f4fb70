#include "platform/qt/qt_settings_store.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QStringList>
#include <QVariant>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <system_error>

#include "platform/error.h"

namespace tarnlight::qt {
namespace {

using namespace std::chrono_literals;

[[noreturn]] void SaveFailed(const QString& path, const QString& reason) {
  throw PlatformError(
      err::kPathAccess,
      ("Unable to save the settings to " + path + ": " + reason).toStdString());
}

// What would keep QSettings from writing `path`, checked the way it checks
// before it writes, or "" when nothing does. QSettings itself only reports
// that access failed, never why.
QString WriteProblem(const QString& path) {
  std::error_code error;
  std::filesystem::create_directories(
      QFile::encodeName(QFileInfo(path).absolutePath()).toStdString(), error);
  if (error) {
    return "the folder cannot be created (" +
           QString::fromStdString(error.message()) + ")";
  }
  QFile file(path);
  if (file.exists() && !file.open(QIODevice::ReadWrite))
    return "the file cannot be written (" + file.errorString() + ")";
  // Asked, not tried: a probe file would be one more file a kill can leave.
  const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
  if (access(folder.constData(), W_OK | X_OK) != 0) {
    return "the folder cannot be written (" +
           QString::fromStdString(std::generic_category().message(errno)) + ")";
  }
  return {};
}

// QSettings waits for its lock file without limit, and takes one for
// abandoned only once it is 30 s old when the details inside do not show
// the owner gone: an empty lock left by a process killed while creating it
// froze every save for half a minute. The owner of a live lock holds an
// flock on it, and removeStaleLockFile() removes a lock only when it can
// take that flock itself, so clearing first removes every abandoned lock -
// and the helper lock QLockFile keeps while it clears one - and never a
// held one. The wait for a live owner is bounded here; the lock is let go
// again for QSettings to take.
QString LockProblem(const QString& path) {
  const QString lockPath = path + ".lock";
  for (const QString& file : {lockPath + ".rmlock", lockPath})
    if (QFileInfo::exists(file)) QLockFile(file).removeStaleLockFile();
  QLockFile lock(lockPath);
  if (lock.tryLock(2s)) return {};
  switch (lock.error()) {
    case QLockFile::LockFailedError:
      return "another program holds the lock " + lockPath;
    case QLockFile::PermissionError:
      return "the lock " + lockPath + " cannot be created (permission denied)";
    default:
      return "the lock " + lockPath + " cannot be written";
  }
}

// QSettings ends every line it writes with a line end but does not check
// for a short write: when a full disk or a file size limit cuts its last
// line, it commits the cut file as if whole.
bool EndsWithLineEnd(const QString& path) {
  QFile file(path);
  char last = 0;
  return file.open(QIODevice::ReadOnly) && file.size() > 0 &&
         file.seek(file.size() - 1) && file.getChar(&last) && last == '\n';
}

}  // namespace

QString QtSettingsStore::FilePath(const QString& app) {
  QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (base.isEmpty() || !QDir::isAbsolutePath(base))
    base = QDir::homePath() + QStringLiteral("/.config");
  return base + "/" + app + "/" + app + ".ini";
}

QSettings& QtSettingsStore::FileOf(const std::string& app) {
  auto& file = files_[app];
  // QSettings keeps the first error it meets, so one from parsing a
  // hand-edited file would hide a later failure to write. Every group is
  // parsed up front, and a second object over the same file - which Qt
  // shares between objects, parsed by then - starts with a clean status.
  if (!file || file->status() != QSettings::NoError) {
    const QString path = FilePath(QString::fromStdString(app));
    auto parsed = std::make_unique<QSettings>(path, QSettings::IniFormat);
    parsed->allKeys();
    file = parsed->status() == QSettings::NoError
               ? std::move(parsed)
               : std::make_unique<QSettings>(path, QSettings::IniFormat);
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
  const QString path = FilePath(QString::fromStdString(app));
  QString problem = WriteProblem(path);
  if (problem.isEmpty()) problem = LockProblem(path);
  if (!problem.isEmpty()) SaveFailed(path, problem);

  QSettings& file = FileOf(app);
  const QString name = QString::fromStdString(section + "/" + key);
  const QVariant before = file.value(name);
  file.setValue(name, QString::fromStdString(value));
  file.sync();
  if (file.status() != QSettings::AccessError && EndsWithLineEnd(path)) return;
  // The old value goes back, into the file too when QSettings committed a
  // cut one, so that reads go on returning what the file held and no later
  // write carries the change out. The next call starts from a fresh object,
  // since this one keeps its error.
  if (before.isValid())
    file.setValue(name, before);
  else
    file.remove(name);
  file.sync();
  files_.erase(app);
  SaveFailed(path, "the file could not be written");
}

void QtSettingsStore::Sync() {
  for (auto it = files_.begin(); it != files_.end(); ++it) {
    QSettings& file = *it->second;
    // An object whose status holds an error got it from reading: FileOf
    // replaces such an object before any write, so it has nothing to write.
    if (file.status() != QSettings::NoError) continue;
    file.sync();
    if (file.status() == QSettings::AccessError) {
      const QString path = file.fileName();
      files_.erase(it);
      SaveFailed(path, "the file could not be written");
    }
  }
}

}  // namespace tarnlight::qt
