#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <Qt>

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
    qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
  }
  void TearDown() override { qunsetenv("XDG_CONFIG_HOME"); }
  QTemporaryDir dir;
};

TEST_F(QtSettingsStoreTest, TextsComeBackAsWrittenThroughTheFile) {
  const std::string values[] = {
      "c:\\",       "d:\\clips, old\\", "a,b,c",      " 45 ",
      "ü and ñ",    "@Variant(x)",      "[settings]", "k=v; #",
      "\"quoted\"", "\\\\server\\x\\"};
  for (const std::string& value : values) {
    SCOPED_TRACE(value);
    {
      QtSettingsStore store;
      store.SaveSetting("Tarnlight", "settings", "vidFolder", value);
      store.Sync();
    }
    QtSettingsStore fresh;
    EXPECT_EQ(fresh.GetSetting("Tarnlight", "settings", "vidFolder"), value);
  }
  EXPECT_TRUE(QFile::exists(dir.path() + "/Tarnlight/Tarnlight.ini"));
}

TEST_F(QtSettingsStoreTest, MissingKeysAndHandWrittenListsReadAsText) {
  QDir().mkpath(dir.path() + "/Tarnlight");
  QFile file(dir.path() + "/Tarnlight/Tarnlight.ini");
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("[settings]\nvidFolder=a, b\nintervalTime=\n");
  file.close();
  QtSettingsStore store;
  EXPECT_EQ(store.GetSetting("Tarnlight", "settings", "vidFolder"), "a,b");
  EXPECT_EQ(store.GetSetting("Tarnlight", "settings", "intervalTime"), "");
  EXPECT_EQ(store.GetSetting("Tarnlight", "settings", "timeFrom"), "");
  EXPECT_EQ(store.GetSetting("Tarnlight", "other", "vidFolder"), "");
}

}  // namespace
}  // namespace tarnlight::qt
