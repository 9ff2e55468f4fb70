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
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string_view>
#include <tuple>

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
      {"0x0", 0},        {"12a", 0},         {"0x1fffffff", 0x1fffffff},
      {"0x100000000", 0}};
  for (auto [text, id] : cases) EXPECT_EQ(ParseWindowId(text), id) << text;
}

// Without text, only the keys Windows gives a character code of their own
// end the saver; Windows never hands Alt combinations to the form's key
// handler.
TEST(IsCharacterKey, CharacterKeysOnly) {
  for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape,
                  Qt::Key_Backspace, Qt::Key_Tab, Qt::Key_Backtab})
    EXPECT_TRUE(IsCharacterKey(key, "", Qt::NoModifier)) << key;
  const std::tuple<int, const char*, Qt::KeyboardModifiers, bool> cases[] = {
      {Qt::Key_Left, "", Qt::NoModifier, false},
      {Qt::Key_A, "a", Qt::NoModifier, true},
      {Qt::Key_A, "\x01", Qt::ControlModifier, true},
      {Qt::Key_Delete, "\x7f", Qt::NoModifier, false},
      {Qt::Key_A, "a", Qt::AltModifier, false},
      {Qt::Key_Return, "\r", Qt::AltModifier, false},
  };
  for (auto [key, text, modifiers, ends] : cases)
    EXPECT_EQ(IsCharacterKey(key, QString::fromLatin1(text), modifiers), ends)
        << key;
}

TEST(QtShell, AnAddressNoProgramOpensGoesUnnoticed) {
  // Without a GUI application QDesktopServices reaches no program at all.
  ASSERT_EQ(QCoreApplication::instance(), nullptr);
  QtShell shell;
  EXPECT_NO_THROW(shell.Open("https://tarnlight.example.org/", 0));
}

// Lines of the [settings] group as the program writes them, or as they were
// written by hand; whole files of older versions are read by the store.
TEST(IniText, ValuesReadAsTheyWereMeant) {
  const std::pair<std::string, std::optional<std::string>> cases[] = {
      {"k=d:\\\\clips\\\\\n", "d:\\clips\\"},
      {"k=d:\\temp\n", "d:\\temp"},  // an escape this program never writes
      {"k=\"d:\\\\a, b\\\\\"\n", "d:\\a, b\\"},
      {"k=\"  x \"  \n", "  x "},
      {" k = a, b ; note\n", "a, b"},
      {"k=d:\\\\\\xfc\\x9\n", "d:\\\xc3\xbc\t"},  // hex codes of old
      {"k=@@x\n", "@x"},
      {"k=@Invalid()\n", ""},
      {"k=5\n[settings]\nk=6", "6"},  // the last of two
      {"#k=5\n", std::nullopt},
      {"\n[other]\nk=5\n", std::nullopt},
  };
  for (const auto& [lines, value] : cases)
    EXPECT_EQ(ini::Find("[settings]\n" + lines, "settings", "k"), value)
        << lines;
  // A byte-order mark and the line ends of Windows.
  EXPECT_EQ(ini::Find("\xEF\xBB\xBF[settings]\r\nk=5\r\n", "settings", "k"),
            "5");
}

// A key replaced, a key added after the group's last entry, a group added.
TEST(IniText, SettingAValueKeepsEveryOtherByte) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"", "[settings]\nk=c:\\\\\n"},
      {"; x\xe9\n[settings]\r\nk=d:\\x\\\r\n# y\n",
       "; x\xe9\n[settings]\r\nk=c:\\\\\r\n# y\n"},
      {"[settings]\nn=5\n\n; about others\n[other]\na=1",
       "[settings]\nn=5\nk=c:\\\\\n\n; about others\n[other]\na=1"},
      {"[other]\na=1", "[other]\na=1\n\n[settings]\nk=c:\\\\\n"},
  };
  for (auto [before, after] : cases)
    EXPECT_EQ(ini::Set(before, "settings", "k", "c:\\"), after) << before;
  // Quoted as QSettings, which wrote these files before, quotes them: it
  // reads an unquoted comma as a list.
  EXPECT_EQ(ini::Set("", "settings", "k", "a,b"), "[settings]\nk=\"a,b\"\n");
}

// The store over a throw-away XDG_CONFIG_HOME.
class QtSettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
  }
  void TearDown() override { qunsetenv("XDG_CONFIG_HOME"); }

  void WriteIni(const std::string& text) const {
    QDir().mkpath(folder);
    std::ofstream(ini.toStdString(), std::ios::binary) << text;
  }
  std::string ReadIni() const {
    std::ifstream file(ini.toStdString(), std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
  }
  QStringList Entries() const {
    return QDir(folder).entryList(QDir::AllEntries | QDir::System |
                                  QDir::Hidden | QDir::NoDotAndDotDot);
  }
  std::string Get(const std::string& key = "vidFolder") {
    return store.GetSetting("Tarnlight", "settings", key);
  }
  void Save(const std::string& value, const std::string& key = "vidFolder") {
    store.SaveSetting("Tarnlight", "settings", key, value);
  }
  // Expects the save of `value` to raise 75 naming `file` and `reason`.
  void ExpectSaveFails(const std::string& value, const std::string& reason,
                       const QString& file) {
    try {
      Save(value);
      ADD_FAILURE() << "the save did not fail";
    } catch (const PlatformError& error) {
      const std::string& text = error.description();
      EXPECT_EQ(error.number(), err::kPathAccess);
      EXPECT_TRUE(text.starts_with("Unable to save the settings to " +
                                   file.toStdString() + ": ") &&
                  text.find(reason) != std::string::npos)
          << text;
    }
  }

  QTemporaryDir dir;
  const QString folder = dir.path() + "/Tarnlight";
  const QString ini = folder + "/Tarnlight.ini";
  // Past any thread start or sync on a loaded machine, so that each save
  // gives its own answer, the lock's after its 250 ms.
  QtSettingsStore store{std::chrono::seconds(10)};
};

// Saved through a folder the store makes, a value is read back as it was
// (the settings-value fuzz target's corpus holds each way a value is
// written); a hand-edited file keeps every other byte.
TEST_F(QtSettingsStoreTest, EverySaveIsInTheFileWhenItReturns) {
  Save("d:\\clips, old\\");
  EXPECT_EQ(Get(), "d:\\clips, old\\");
  EXPECT_EQ(Entries(), QStringList{"Tarnlight.ini"});
  // Single backslashes, as the old manual showed, and a Latin-1 name.
  const std::string file =
      "; caf\xe9\n[settings]\nvidFolder=d:\\caf\xe9\\\nintervalTime=5\n";
  WriteIni(file);
  Save("09:00", "timeFrom");
  EXPECT_EQ(ReadIni(), file + "timeFrom=09:00\n");
  EXPECT_EQ(Get(), "d:\\caf\xe9\\");
}

// A save that cannot be completed says why, leaves the file and its folder
// as they were, and holds up no later save, nor does a lock file that a
// killed program left, empty or with its owner's details. A path that is no
// regular file reads as empty and is never opened: a FIFO without a writer
// would block for ever. The old file has a line that is no entry, which
// must not hide a failure.
TEST_F(QtSettingsStoreTest, ASaveThatCannotBeCompletedSaysWhyAndKeepsTheFile) {
  const std::string old =
      "[settings]\nvidFolder=d:\\\\old\\\\\n[other]\nno equals sign\n";
  const std::filesystem::path path = ini.toStdString();
  QLockFile lock(ini + ".lock");
  rlimit unlimited{}, small{};
  getrlimit(RLIMIT_FSIZE, &unlimited);
  small = {512, unlimited.rlim_max};
  signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead
  const std::string notRegular = "the file is not a regular file",
                    denied = "Permission denied";
  const std::tuple<const char*, std::function<void()>, std::string> cases[] = {
      {"a FIFO", [&] { mkfifo(path.c_str(), 0600); }, notRegular},
      {"a write that fails midway", [&] { setrlimit(RLIMIT_FSIZE, &small); },
       "the file could not be written"},
      // A quarter of a second, where QSettings waited without end.
      {"a lock held by a live owner", [&] { ASSERT_TRUE(lock.tryLock()); },
       "another program holds the lock"},
      {"a read-only file",
       [&] { QFile::setPermissions(ini, QFile::ReadOwner); }, denied},
      {"a read-only folder",
       [&] {
         QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
       },
       denied},
  };
  int row = 0;  // every other one with its owner's details
  for (const auto& [name, make, reason] : cases) {
    SCOPED_TRACE(name);
    const bool regular = reason != notRegular;
    // Root writes into read-only folders.
    if (reason == denied && geteuid() == 0) continue;
    WriteIni(old);
    ASSERT_EQ(Get(), "d:\\old\\");
    if (!regular) std::filesystem::remove(path);
    make();
    ExpectSaveFails(std::string(4096, 'x'), reason, ini);
    setrlimit(RLIMIT_FSIZE, &unlimited);
    lock.unlock();
    QFile::setPermissions(
        folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(std::filesystem::is_regular_file(path), regular);
    EXPECT_EQ(Get(), regular ? "d:\\old\\" : "");
    if (regular) {
      EXPECT_EQ(ReadIni(), old);
    }
    EXPECT_EQ(Entries(), QStringList{"Tarnlight.ini"});
    std::filesystem::remove(path);
    std::ofstream((ini + ".lock").toStdString())
        << (++row % 2 ? "12345\ntarnlight\nhost\n" : "");
    Save("e:\\new\\");
    EXPECT_EQ(Get(), "e:\\new\\");
    EXPECT_EQ(Entries(), QStringList{"Tarnlight.ini"});
  }
  signal(SIGXFSZ, SIG_DFL);
}

TEST_F(QtSettingsStoreTest, AFolderThatCannotBeMadeFailsTheSave) {
  // Nobody, root included, can make a folder below a regular file.
  QFile blocker(dir.path() + "/config");
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  qputenv("XDG_CONFIG_HOME", blocker.fileName().toUtf8());
  ExpectSaveFails("d:\\x\\", "the folder cannot be created (Not a directory)",
                  blocker.fileName() + "/Tarnlight/Tarnlight.ini");
  EXPECT_EQ(Get(), "");
}

}  // namespace
}  // namespace tarnlight::qt
