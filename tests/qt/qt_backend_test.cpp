#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QTemporaryDir>
#include <Qt>
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>

#include "platform/error.h"
#include "platform/qt/ini_text.h"
#include "platform/qt/keys.h"
#include "platform/qt/qt_host_window.h"
#include "platform/qt/qt_services.h"
#include "platform/qt/qt_settings_store.h"

namespace tarnlight::qt {
namespace {

// XSCREENSAVER_WINDOW as hosts write it; anything else names no window (0),
// and the saver then covers the screen itself.
TEST(ParseWindowId, DecimalOrHexAndNothingElse) {
  const std::pair<const char*, std::uint32_t> cases[] = {
      {"12345", 12345},  {"0x1a2B", 0x1a2b}, {"", 0},
      {"zz", 0},         {"0x", 0},          {"0x0", 0},
      {"12a", 0},        {"-5", 0},          {"0x1fffffff", 0x1fffffff},
      {"0x100000000", 0}};
  for (auto [text, id] : cases) EXPECT_EQ(ParseWindowId(text), id) << text;
}

TEST(IsCharacterKey, CharacterKeysOnly) {
  struct Case {
    int key;
    const char* text;
    bool ends;
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
  };
  // Without text, only the keys Windows gives a character code of their
  // own end the saver.
  const Case cases[] = {
      {Qt::Key_A, "a", true},
      {Qt::Key_Space, " ", true},
      {Qt::Key_A, "\x01", true, Qt::ControlModifier},
      {Qt::Key_Return, "", true},
      {Qt::Key_Enter, "", true},
      {Qt::Key_Escape, "", true},
      {Qt::Key_Backspace, "", true},
      {Qt::Key_Tab, "", true},
      {Qt::Key_Backtab, "", true},
      {Qt::Key_Left, "", false},
      {Qt::Key_Delete, "\x7f", false},
      {Qt::Key_Shift, "", false},
      // Windows never hands Alt combinations to the form's key handler.
      {Qt::Key_A, "a", false, Qt::AltModifier},
      {Qt::Key_Return, "\r", false, Qt::AltModifier},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(IsCharacterKey(c.key, QString::fromLatin1(c.text), c.modifiers),
              c.ends);
  }
}

TEST(QtShell, AnAddressNoProgramOpensGoesUnnoticed) {
  // Without a GUI application QDesktopServices reaches no program at all.
  ASSERT_EQ(QCoreApplication::instance(), nullptr);
  QtShell shell;
  EXPECT_NO_THROW(shell.Open("https://tarnlight.example.org/", 0));
}

// The hand-edited files of older versions are read through the store, below.
TEST(IniText, ValuesReadAsTheyWereMeant) {
  struct Case {
    const char* name;
    std::string_view file;
    const char* key;
    std::optional<std::string> value;
  };
  const Case cases[] = {
      {"as the program writes it", "[settings]\nvidFolder=d:\\\\clips\\\\\n",
       "vidFolder", "d:\\clips\\"},
      {"an escape this program never writes",
       "[settings]\nvidFolder=d:\\temp\n", "vidFolder", "d:\\temp"},
      {"quoted, with a comma", "[settings]\nvidFolder=\"d:\\\\a, b\\\\\"\n",
       "vidFolder", "d:\\a, b\\"},
      {"quoted blanks kept", "[settings]\ntimeFrom=\"  x \"  \n", "timeFrom",
       "  x "},
      {"blanks and a comment around", "[settings]\n timeFrom = a, b ; note\n",
       "timeFrom", "a, b"},
      {"hex codes of older versions", "[settings]\nvidFolder=d:\\\\\\xfc\\x9\n",
       "vidFolder", "d:\\\xc3\xbc\t"},
      {"a doubled @", "[settings]\ntimeFrom=@@x\n", "timeFrom", "@x"},
      {"an invalid value", "[settings]\ntimeFrom=@Invalid()\n", "timeFrom", ""},
      {"line ends of Windows", "\xEF\xBB\xBF[settings]\r\nintervalTime=5\r\n",
       "intervalTime", "5"},
      {"the last of two",
       "[settings]\nintervalTime=5\n[settings]\nintervalTime=6", "intervalTime",
       "6"},
      {"a comment is no entry", "[settings]\n#intervalTime=5\n", "intervalTime",
       std::nullopt},
      {"another group", "[other]\nintervalTime=5\n[settings]\n", "intervalTime",
       std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ini::Find(c.file, "settings", c.key), c.value);
  }
}

TEST(IniText, SettingAValueKeepsEveryOtherByte) {
  struct Case {
    const char* name;
    std::string_view before;
    const char* key;
    std::string_view after;
  };
  const Case cases[] = {
      {"a new file", "", "vidFolder", "[settings]\nvidFolder=c:\\\\\n"},
      {"a key replaced", "; x\xe9\n[settings]\r\nvidFolder=d:\\x\\\r\n# y\n",
       "vidFolder", "; x\xe9\n[settings]\r\nvidFolder=c:\\\\\r\n# y\n"},
      {"a key added after the group's last entry",
       "[settings]\nintervalTime=5\n\n; about others\n[other]\na=1",
       "vidFolder",
       "[settings]\nintervalTime=5\nvidFolder=c:\\\\\n\n; about others\n"
       "[other]\na=1"},
      {"a group added", "[other]\na=1", "vidFolder",
       "[other]\na=1\n\n[settings]\nvidFolder=c:\\\\\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ini::Set(c.before, "settings", c.key, "c:\\"), c.after);
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
  QByteArray ReadIni() const {
    QFile file(Ini());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  std::string Get(const std::string& key) {
    return store.GetSetting("Tarnlight", "settings", key);
  }

  QTemporaryDir dir;
  QtSettingsStore store;
};

TEST_F(QtSettingsStoreTest, EverySaveIsInTheFileWhenItReturns) {
  const std::string values[] = {"c:\\",
                                "d:\\clips, old\\",
                                " 45 ",
                                "@Variant(x)",
                                "k=v; #",
                                "\"quoted\"",
                                "caf\xe9",
                                "a\tb\n\x01"
                                "f",
                                "@Invalid()",
                                "d:\\x41\\"};
  for (const std::string& value : values) {
    SCOPED_TRACE(value);
    store.SaveSetting("Tarnlight", "settings", "vidFolder", value);
    EXPECT_EQ(Get("vidFolder"), value);
  }
  EXPECT_EQ(QDir(dir.path() + "/Tarnlight").entryList(QDir::Files),
            QStringList{"Tarnlight.ini"});
}

TEST_F(QtSettingsStoreTest, ADefaultWriteKeepsAHandEditedFile) {
  struct Case {
    const char* name;
    QByteArray file;
    std::string folder;
  };
  const Case cases[] = {
      {"single backslashes, as the old manual showed",
       "[settings]\nvidFolder=d:\\clips\\\nintervalTime=5\n", "d:\\clips\\"},
      {"a Latin-1 folder and comment",
       "; caf\xe9 clips\n[settings]\nvidFolder=/v/caf\xe9/\nintervalTime=5\n",
       "/v/caf\xe9/"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteIni(c.file);
    store.SaveSetting("Tarnlight", "settings", "timeFrom", "09:00");
    EXPECT_EQ(ReadIni(), c.file + "timeFrom=09:00\n");
    EXPECT_EQ(Get("vidFolder"), c.folder);
    EXPECT_EQ(Get("intervalTime"), "5");
  }
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

TEST_F(QtSettingsStoreTest, APathThatIsNoRegularFileIsAnUnreadableStore) {
  // Each replaces a file the store has read, as while the saver runs. None
  // may be opened: a FIFO without a writer would block for ever.
  const std::filesystem::path ini = Ini().toStdString();
  struct Case {
    const char* name;
    std::function<void()> make;
  };
  const Case cases[] = {
      {"a folder", [&] { std::filesystem::create_directory(ini); }},
      {"a FIFO", [&] { ASSERT_EQ(mkfifo(ini.c_str(), 0600), 0); }},
      {"a device", [&] { std::filesystem::create_symlink("/dev/zero", ini); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteIni("[settings]\nvidFolder=d:\\\\old\\\\\n");
    ASSERT_EQ(Get("vidFolder"), "d:\\old\\");
    std::filesystem::remove(ini);
    c.make();
    EXPECT_EQ(Get("vidFolder"), "");
    ExpectSaveFails(store, Ini(), "d:\\x\\", "the file is not a regular file");
    EXPECT_FALSE(std::filesystem::is_regular_file(ini));
    std::filesystem::remove(ini);
  }
  EXPECT_EQ(QDir(dir.path() + "/Tarnlight").entryList(QDir::Files),
            QStringList{});
}

TEST_F(QtSettingsStoreTest, AFolderThatCannotBeMadeFailsTheSave) {
  // Nobody, root included, can make a folder below a regular file.
  QFile blocker(dir.path() + "/config");
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  UseConfigHome(blocker.fileName());
  ExpectSaveFails(store, blocker.fileName() + "/Tarnlight/Tarnlight.ini",
                  "d:\\x\\", "the folder cannot be created (Not a directory)");
  EXPECT_EQ(Get("vidFolder"), "");
}

TEST_F(QtSettingsStoreTest, AReadOnlyFolderOrFileFailsTheSave) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  const QString folder = dir.path() + "/Tarnlight";
  QDir().mkpath(folder);
  QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
  ExpectSaveFails(store, Ini(), "d:\\x\\", "Permission denied");
  QFile::setPermissions(folder,
                        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  WriteIni("[settings]\n");
  QFile::setPermissions(Ini(), QFile::ReadOwner);
  ExpectSaveFails(store, Ini(), "d:\\x\\", "Permission denied");
  EXPECT_EQ(ReadIni(), "[settings]\n");
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
  // The second file has a line that is no entry, which must not hide the
  // failure nor fail a write that works.
  const QByteArray files[] = {
      "[settings]\nvidFolder=d:\\\\old\\\\\n",
      "[settings]\nvidFolder=d:\\\\old\\\\\n[other]\nno equals sign\n"};
  for (const QByteArray& text : files) {
    SCOPED_TRACE(text.toStdString());
    WriteIni(text);
    EXPECT_EQ(Get("vidFolder"), "d:\\old\\");
    {
      FileSizeLimit limit(512);
      ExpectSaveFails(store, Ini(), std::string(4096, 'x'),
                      "the file could not be written");
    }
    EXPECT_EQ(ReadIni(), text);
    EXPECT_EQ(QDir(dir.path() + "/Tarnlight").entryList(QDir::Files),
              QStringList{"Tarnlight.ini"});
    store.SaveSetting("Tarnlight", "settings", "vidFolder", "e:\\new\\");
    EXPECT_EQ(Get("vidFolder"), "e:\\new\\");
  }
}

TEST_F(QtSettingsStoreTest, ALockFileLeftByAKilledProgramHoldsNobodyUp) {
  // A lock as QLockFile leaves it, with its owner's details or, killed
  // before it wrote them, empty; no live program holds an flock on either.
  for (const QByteArray& left :
       {QByteArray(), QByteArray("12345\ntarnlight\nhost\n")}) {
    WriteIni("[settings]\nvidFolder=d:\\\\old\\\\\n");
    QFile lock(Ini() + ".lock");
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write(left);
    lock.close();
    store.SaveSetting("Tarnlight", "settings", "vidFolder", "e:\\new\\");
    EXPECT_EQ(Get("vidFolder"), "e:\\new\\");
    EXPECT_EQ(QDir(dir.path() + "/Tarnlight").entryList(QDir::Files),
              QStringList{"Tarnlight.ini"});
  }
}

TEST_F(QtSettingsStoreTest, ALockHeldByALiveOwnerIsWaitedForBriefly) {
  WriteIni("[settings]\nvidFolder=d:\\\\old\\\\\n");
  QLockFile held(Ini() + ".lock");
  ASSERT_TRUE(held.tryLock());
  // A quarter of a second, where QSettings waited without end (which the
  // test's time limit would end).
  ExpectSaveFails(store, Ini(), "e:\\new\\", "another program holds the lock");
  EXPECT_TRUE(QFile::exists(Ini() + ".lock"));
  EXPECT_EQ(Get("vidFolder"), "d:\\old\\");
}

}  // namespace
}  // namespace tarnlight::qt
