#include "platform/win32/win32_settings_store.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/error.h"
#include "platform/win32/text_convert.h"
#include "platform/win32/win32_api.h"

namespace tarnlight::win32 {
namespace {

// The store as the program has it, under a throw-away application name
// whose key is deleted with everything below it at the end.
class Win32SettingsStoreTest : public ::testing::Test {
 protected:
  void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, key_.c_str()); }
  std::string Get(const std::string& key) {
    return store_.GetSetting(app_, "settings", key);
  }

  const std::string app_ = "TarnlightTest-" +
                           std::to_string(GetCurrentProcessId()) + "-" +
                           std::to_string(GetTickCount64());
  const std::wstring key_ = L"Software\\" + Widen(app_);
  Win32SettingsStore store_;
};

// Text values read whole and expanded, whatever their end; other types and
// other sections read as empty. Saves are plain text (%SystemRoot% is not
// expanded when read back), read back as they were.
TEST_F(Win32SettingsStoreTest, TextReadsWholeAndExpandedAndSavesAreText) {
  std::wstring longText;
  for (int i = 0; i < 100000; ++i)
    longText += L"abcdefghij\u00fc\u6620"[i % 12];
  wchar_t root[MAX_PATH] = {};
  ASSERT_GT(GetEnvironmentVariableW(L"SystemRoot", root, MAX_PATH), 0u);
  struct Case {
    const wchar_t* name;
    DWORD type;
    std::wstring data;
    std::string read;
    DWORD bytes = 0;  // 0: the text with its NUL
  };
  const Case cases[] = {
      {L"plain", REG_SZ, L"d:\\clips\\", "d:\\clips\\"},
      {L"expand", REG_EXPAND_SZ, L"%SystemRoot%\\c\\", Narrow(root) + "\\c\\"},
      {L"long", REG_SZ, longText, Narrow(longText)},
      {L"noNul", REG_SZ, L"abc", "abc", 3 * 2},
      {L"binary", REG_BINARY, L"c:\\", "", 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.name));
    const DWORD bytes = c.bytes ? c.bytes : DWORD((c.data.size() + 1) * 2);
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, (key_ + L"\\settings").c_str(),
                              c.name, c.type, c.data.c_str(), bytes),
              ERROR_SUCCESS);
    EXPECT_TRUE(Get(Narrow(c.name)) == c.read);
  }
  EXPECT_EQ(Get("missing"), "");
  EXPECT_EQ(store_.GetSetting(app_, "other", "plain"), "");
  for (const std::string& value :
       {std::string("%SystemRoot%"), std::string("clip \xC3\xBC \xE6\x98\xA0"),
        std::string(100000, 'x')}) {
    SCOPED_TRACE(value.substr(0, 20));
    store_.SaveSetting(app_, "settings", "vidFolder", value);
    EXPECT_TRUE(Get("vidFolder") == value);
  }
}

// No value name may be 20,000 characters long (ERROR_INVALID_PARAMETER).
TEST_F(Win32SettingsStoreTest, ASaveThatFailsRaisesWithTheKeyAndTheReason) {
  const std::string key(20000, 'k');
  try {
    store_.SaveSetting(app_, "settings", key, "d:\\x\\");
    ADD_FAILURE() << "the save did not fail";
  } catch (const PlatformError& error) {
    EXPECT_EQ(error.number(), err::kPathAccess);
    const std::string where =
        "Unable to save the settings to "
        "HKEY_CURRENT_USER\\Software\\" +
        app_ + "\\settings: ";
    const std::string text = error.description();
    // The system's reason follows, one line of it.
    EXPECT_EQ(text.substr(0, where.size()), where);
    EXPECT_GT(text.size(), where.size());
    EXPECT_EQ(text.find('\n'), std::string::npos);
  }
  EXPECT_EQ(Get(key), "");
}

}  // namespace
}  // namespace tarnlight::win32
