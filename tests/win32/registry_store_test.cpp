#include "platform/win32/registry_store.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "platform/error.h"
#include "platform/win32/text_convert.h"
#include "platform/win32/win32_api.h"

namespace tarnlight::win32 {
namespace {

// A throw-away key below HKEY_CURRENT_USER\Software as the store's root,
// deleted with everything below it at the end.
class RegistryStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = L"Software\\TarnlightTest-" +
            std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(GetTickCount64());
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &root_, nullptr),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    RegCloseKey(root_);
    RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
  }

  // Stores `bytes` under the store's settings key as a value of `type`.
  void SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
    ASSERT_EQ(RegSetKeyValueW(root_, L"Software\\Tarnlight\\settings", name,
                              type, data, bytes),
              ERROR_SUCCESS);
  }
  void SetText(const wchar_t* name, DWORD type, const std::wstring& text) {
    SetRaw(name, type, text.c_str(), DWORD((text.size() + 1) * 2));
  }

  std::wstring path_;
  HKEY root_ = nullptr;
};

std::string Variable(const wchar_t* name) {
  wchar_t value[MAX_PATH] = {};
  EXPECT_GT(GetEnvironmentVariableW(name, value, MAX_PATH), 0u) << name;
  return Narrow(value);
}

TEST_F(RegistryStoreTest, TextReadsWholeAndExpandedOtherTypesReadEmpty) {
  std::wstring longText;
  for (int i = 0; i < 100000; ++i)
    longText += L"abcdefghij\u00fc\u6620"[i % 12];
  SetText(L"plain", REG_SZ, L"d:\\clips\\");
  SetText(L"expand", REG_EXPAND_SZ, L"%SystemRoot%\\clips\\");
  SetText(L"long", REG_SZ, longText);
  SetRaw(L"noNul", REG_SZ, L"abc", 3 * 2);
  SetRaw(L"binary", REG_BINARY, "c:\\", 4);
  struct Case {
    const char* key;
    std::string expected;
  };
  const Case cases[] = {
      {"plain", "d:\\clips\\"},
      {"expand", Variable(L"SystemRoot") + "\\clips\\"},
      {"long", Narrow(longText)},
      {"noNul", "abc"},
      {"binary", ""},
      {"missing", ""},
  };
  RegistryStore store(root_, "root");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    std::string read = store.GetSetting("Tarnlight", "settings", c.key);
    EXPECT_EQ(read.size(), c.expected.size());
    EXPECT_TRUE(read == c.expected);
  }
  EXPECT_EQ(store.GetSetting("Tarnlight", "other", "plain"), "");
}

TEST_F(RegistryStoreTest, SavesAreTextUnderTheSettingsKey) {
  RegistryStore store(root_, "root");
  const std::string values[] = {"c:\\", "%SystemRoot%",
                                "clip \xC3\xBC \xE6\x98\xA0",
                                std::string(100000, 'x')};
  for (const std::string& value : values) {
    SCOPED_TRACE(value.substr(0, 20));
    store.SaveSetting("Tarnlight", "settings", "vidFolder", value);
    DWORD type = REG_NONE, bytes = 0;
    ASSERT_EQ(RegGetValueW(root_, L"Software\\Tarnlight\\settings",
                           L"vidFolder", RRF_RT_ANY, &type, nullptr, &bytes),
              ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD(REG_SZ));
    EXPECT_TRUE(store.GetSetting("Tarnlight", "settings", "vidFolder") ==
                value);
  }
}

TEST_F(RegistryStoreTest, ASaveThatFailsRaisesWithTheKeyAndTheReason) {
  struct Case {
    const char* name;
    bool volatileRoot;
    std::string key;
  };
  const Case cases[] = {
      // The settings key cannot be created: a lasting key may not live
      // below a volatile one (ERROR_CHILD_MUST_BE_VOLATILE).
      {"create", true, "vidFolder"},
      // The value cannot be set: its name is longer than any value name
      // may be (ERROR_INVALID_PARAMETER).
      {"set", false, std::string(20000, 'k')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HKEY root = root_;
    if (c.volatileRoot) {
      ASSERT_EQ(
          RegCreateKeyExW(root_, L"volatile", 0, nullptr, REG_OPTION_VOLATILE,
                          KEY_ALL_ACCESS, nullptr, &root, nullptr),
          ERROR_SUCCESS);
    }
    RegistryStore store(root, "HKEY_CURRENT_USER\\test");
    try {
      store.SaveSetting("Tarnlight", "settings", c.key, "d:\\x\\");
      ADD_FAILURE() << "the save did not fail";
    } catch (const PlatformError& error) {
      EXPECT_EQ(error.number(), err::kPathAccess);
      const std::string where =
          "Unable to save the settings to "
          "HKEY_CURRENT_USER\\test\\Software\\Tarnlight\\settings: ";
      std::string text = error.description();
      ASSERT_EQ(text.substr(0, where.size()), where);
      // The system's reason follows, one line of it.
      std::string reason = text.substr(where.size());
      EXPECT_FALSE(reason.empty());
      EXPECT_EQ(reason.find('\n'), std::string::npos);
    }
    EXPECT_EQ(store.GetSetting("Tarnlight", "settings", c.key), "");
    if (root != root_) RegCloseKey(root);
  }
}

}  // namespace
}  // namespace tarnlight::win32
