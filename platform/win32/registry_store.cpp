#include "platform/win32/registry_store.h"

#include <vector>

#include "platform/win32/text_convert.h"
#include "platform/win32/win32_api.h"

namespace tarnlight::win32 {
namespace {

std::wstring SubKey(const std::string& app, const std::string& section) {
  return L"Software\\" + Widen(app) + L"\\" + Widen(section);
}

}  // namespace

std::string RegistryStore::GetSetting(const std::string& app,
                                      const std::string& section,
                                      const std::string& key) {
  std::wstring subKey = SubKey(app, section), name = Widen(key);
  DWORD bytes = 0;
  if (RegGetValueW(HKEY_CURRENT_USER, subKey.c_str(), name.c_str(),
                   RRF_RT_REG_SZ, nullptr, nullptr, &bytes) != ERROR_SUCCESS)
    return "";
  std::vector<wchar_t> text(bytes / sizeof(wchar_t) + 1, L'\0');
  bytes = DWORD(text.size() * sizeof(wchar_t));
  if (RegGetValueW(HKEY_CURRENT_USER, subKey.c_str(), name.c_str(),
                   RRF_RT_REG_SZ, nullptr, text.data(),
                   &bytes) != ERROR_SUCCESS)
    return "";
  return Narrow(text.data());
}

void RegistryStore::SaveSetting(const std::string& app,
                                const std::string& section,
                                const std::string& key,
                                const std::string& value) {
  std::wstring subKey = SubKey(app, section), name = Widen(key);
  std::wstring text = Widen(value);
  HKEY handle = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, nullptr, 0,
                      KEY_SET_VALUE, nullptr, &handle,
                      nullptr) != ERROR_SUCCESS)
    return;
  RegSetValueExW(handle, name.c_str(), 0, REG_SZ,
                 reinterpret_cast<const BYTE*>(text.c_str()),
                 DWORD((text.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(handle);
}

}  // namespace tarnlight::win32
