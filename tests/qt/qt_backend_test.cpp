#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLockFile>
#include <QSysInfo>
#include <QTemporaryDir>
#include <Qt>
#include <chrono>
#include <filesystem>
#include <optional>

#include "platform/error.h"
#include "platform/qt/keys.h"
#include "platform/qt/qt_settings_store.h"

namespace tarnlight::qt {
namespace {

TEST(IsCharacterKey, CharacterKeysOnly) {
  struct Case {
    int key;
    const char* text;
    bool ends;
  };
  const Case cases[] = {
      {Qt::Key_A, "a", true},          {Qt::Key_Space, " ", true},
      {Qt::Key_1, "1", true},          {Qt::Key_Return, "\r", true},
      {Qt::Key_Enter, "\r", true},     {Qt::Key_Escape, "\x1b", true},
      {Qt::Key_Backspace, "\b", true}, {Qt::Key_Tab, "\t", true},
      {Qt::Key_A, "\x01", true},  // Ctrl+A
      {Qt::Key_Escape, "", true},      {Qt::Key_Left, "", false},
      {Qt::Key_F5, "", false},         {Qt::Key_Delete, "\x7f", false},
      {Qt::Key_Shift, "", false},      {Qt::Key_Control, "", false},
      {Qt::Key_Alt, "", false},        {Qt::Key_PageDown, "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(IsCharacterKey(c.key, QString::fromLatin1(c.text)), c.ends);
  }
}

class QtSettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    UseConfigHome(dir.path());
  }
  void TearDown() override { qunsetenv("XDG_CONFIG_HOME"); }

  static void UseConfigHome(const QString& path) {
    qputenv("XDG_CONFIG_HOME", path.toUtf8());
  }
  QString Ini() const { return dir.path() + "/Tarnlight/Tarnlight.ini"; }
  void WriteIni(const QByteArray& text) const {
    ASSERT_TRUE(QDir().mkpath(dir.path() + "/Tarnlight"));
    QFile file(Ini());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
  }
  // What a new store finds in the file itself. Qt keeps a parsed copy of
  // every settings file it has opened and trusts it while the file's size
  // and time are unchanged, so the time moves first.
  std::string ReadFromFile(const std::string& key) const {
    const std::filesystem::path ini = Ini().toStdString();
    std::filesystem::last_write_time(
        ini, std::filesystem::last_write_time(ini) - std::chrono::hours(1));
    QtSettingsStore fresh;
    return fresh.GetSetting("Tarnlight", "settings", key);
  }

  QTemporaryDir dir;
};

TEST_F(QtSettingsStoreTest, EverySaveIsInTheFileWhenItReturns) {
  const std::string values[] = {
      "c:\\",       "d:\\clips, old\\", "a,b,c",      " 45 ",
      "ü and ñ",    "@Variant(x)",      "[settings]", "k=v; #",
      "\"quoted\"", "\\\\server\\x\\"};
  QtSettingsStore store;
  for (const std::string& value : values) {
    SCOPED_TRACE(value);
    store.SaveSetting("Tarnlight", "settings", "vidFolder", value);
    EXPECT_EQ(ReadFromFile("vidFolder"), value);
    EXPECT_EQ(store.GetSetting("Tarnlight", "settings", "vidFolder"), value);
  }
}

TEST_F(QtSettingsStoreTest, MissingKeysAndHandWrittenListsReadAsText) {
  WriteIni("[settings]\nvidFolder=a, b\nintervalTime=\n");
  QtSettingsStore store;
  EXPECT_EQ(store.GetSetting("Tarnlight", "settings", "vidFolder"), "a,b");
  EXPECT_EQ(store.GetSetting("Tarnlight", "settings", "intervalTime"), "");
  EXPECT_EQ(store.GetSetting("Tarnlight", "settings", "timeFrom"), "");
  EXPECT_EQ(store.GetSetting("Tarnlight", "other", "vidFolder"), "");
}

// Expects SaveSetting to raise 75 naming the file and `reason`.
void ExpectSaveFails(QtSettingsStore& store, const QString& ini,
                     const std::string& value, const std::string& reason) {
  try {
    store.SaveSetting("Tarnlight", "settings", "vidFolder", value);
    ADD_FAILURE() << "the save did not fail";
  } catch (const PlatformError& error) {
    EXPECT_EQ(error.number(), err::kPathAccess);
    const std::string prefix =
        "Unable to save the settings to " + ini.toStdString() + ": ";
    EXPECT_EQ(error.description().rfind(prefix, 0), 0u) << error.what();
    EXPECT_NE(error.description().find(reason), std::string::npos)
        << error.what();
  }
}

TEST_F(QtSettingsStoreTest, AFolderOrFileThatCannotBeMadeFailsTheSave) {
  struct Case {
    const char* name;
    bool fileBlocksFolder;
    const char* reason;
  };
  const Case cases[] = {
      // Nobody, root included, can make a folder below a regular file.
      {"folder below a file", true,
       "the folder cannot be created (Not a directory)"},
      {"the file is a folder", false, "the file cannot be written"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QTemporaryDir home;
    QString config = home.path() + "/config";
    if (c.fileBlocksFolder) {
      QFile blocker(config);
      ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    } else {
      ASSERT_TRUE(QDir().mkpath(config + "/Tarnlight/Tarnlight.ini"));
    }
    UseConfigHome(config);
    QtSettingsStore store;
    ExpectSaveFails(store, config + "/Tarnlight/Tarnlight.ini", "d:\\x\\",
                    c.reason);
    EXPECT_EQ(store.GetSetting("Tarnlight", "settings", "vidFolder"), "");
    EXPECT_NO_THROW(store.Sync());
  }
}

TEST_F(QtSettingsStoreTest, AReadOnlyFolderFailsTheSave) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  QDir().mkpath(dir.path() + "/Tarnlight");
  QFile::setPermissions(dir.path() + "/Tarnlight",
                        QFile::ReadOwner | QFile::ExeOwner);
  QtSettingsStore store;
  ExpectSaveFails(store, Ini(), "d:\\x\\", "Permission denied");
  QFile::setPermissions(dir.path() + "/Tarnlight",
                        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// Lets files grow to `bytes` only, for a write that fails midway.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
    signal(SIGXFSZ, SIG_IGN);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, SIG_DFL);
  }

 private:
  rlimit saved_;
};

TEST_F(QtSettingsStoreTest, AWriteThatFailsMidwayKeepsTheOldFileAndValue) {
  // The second file has a line QSettings cannot parse, which must not hide
  // the failure nor fail a write that works.
  const QByteArray files[] = {
      "[settings]\nvidFolder=d:\\\\old\\\\\n",
      "[settings]\nvidFolder=d:\\\\old\\\\\n[other]\nno equals sign\n"};
  for (const QByteArray& text : files) {
    SCOPED_TRACE(text.toStdString());
    WriteIni(text);
    QtSettingsStore store;
    EXPECT_EQ(store.GetSetting("Tarnlight", "settings", "vidFolder"),
              "d:\\old\\");
    {
      FileSizeLimit limit(512);
      ExpectSaveFails(store, Ini(), std::string(4096, 'x'),
                      "the file could not be written");
    }
    EXPECT_EQ(store.GetSetting("Tarnlight", "settings", "vidFolder"),
              "d:\\old\\");
    EXPECT_EQ(ReadFromFile("vidFolder"), "d:\\old\\");
    EXPECT_EQ(QDir(dir.path() + "/Tarnlight").entryList(QDir::Files),
              QStringList{"Tarnlight.ini"});
    store.SaveSetting("Tarnlight", "settings", "vidFolder", "e:\\new\\");
    EXPECT_EQ(ReadFromFile("vidFolder"), "e:\\new\\");
  }
}

TEST_F(QtSettingsStoreTest, ALockWhoseOwnerIsGoneIsClearedAtOnce) {
  pid_t child = fork();
  if (child == 0) _exit(0);
  waitpid(child, nullptr, 0);
  const QByteArray dead = QByteArray::number(child) + "\ntarnlight\n" +
                          QSysInfo::machineHostName().toUtf8() + "\n";
  struct Case {
    const char* name;
    QByteArray lock;
    // The helper lock QLockFile keeps while it clears an abandoned one.
    std::optional<QByteArray> rmlock;
  };
  const Case cases[] = {
      // The owner was killed before it wrote its details.
      {"empty", "", std::nullopt},
      {"not a lock", "not a lock file\n", std::nullopt},
      {"dead owner", dead, std::nullopt},
      {"killed while clearing", dead, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteIni("[settings]\nvidFolder=d:\\\\old\\\\\n");
    auto put = [](const QString& path, const QByteArray& text) {
      QFile file(path);
      ASSERT_TRUE(file.open(QIODevice::WriteOnly));
      file.write(text);
    };
    put(Ini() + ".lock", c.lock);
    if (c.rmlock) put(Ini() + ".lock.rmlock", *c.rmlock);
    QtSettingsStore store;
    QElapsedTimer timer;
    timer.start();
    store.SaveSetting("Tarnlight", "settings", "vidFolder", "e:\\new\\");
    EXPECT_EQ(ReadFromFile("vidFolder"), "e:\\new\\");
    // QSettings alone waits some 32 s for such a lock.
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_EQ(QDir(dir.path() + "/Tarnlight").entryList(QDir::Files),
              QStringList{"Tarnlight.ini"});
  }
}

TEST_F(QtSettingsStoreTest, ALockHeldByALiveOwnerIsNeverTaken) {
  WriteIni("[settings]\nvidFolder=d:\\\\old\\\\\n");
  QLockFile held(Ini() + ".lock");
  ASSERT_TRUE(held.tryLock());
  QtSettingsStore store;
  ExpectSaveFails(store, Ini(), "e:\\new\\", "another program holds the lock");
  EXPECT_TRUE(QFile::exists(Ini() + ".lock"));
  EXPECT_EQ(ReadFromFile("vidFolder"), "d:\\old\\");
}

}  // namespace
}  // namespace tarnlight::qt
