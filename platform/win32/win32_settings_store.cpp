#include "platform/win32/win32_settings_store.h"

#include <optional>
#include <vector>

#include "platform/error.h"
#include "platform/win32/text_convert.h"
#include "platform/win32/win32_services.h"

namespace tarnlight::win32 {
namespace {

std::wstring SubKey(const std::string& app, const std::string& section) {
  return L"Software\\" + Widen(app) + L"\\" + Widen(section);
}

class Key {
 public:
  Key() = default;
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  ~Key() {
    if (handle_) RegCloseKey(handle_);
  }
  HKEY* out() { return &handle_; }
  HKEY get() const { return handle_; }

 private:
  HKEY handle_ = nullptr;
};

// The text of a REG_SZ or REG_EXPAND_SZ value of any length, up to its
// first NUL, or nothing for a value of another type. The size is asked
// first, and again for as long as the value grows between the calls.
std::optional<std::wstring> ReadText(HKEY key, const std::wstring& name,
                                     DWORD& type) {
  DWORD bytes = 0;
  LSTATUS status =
      RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &bytes);
  std::vector<wchar_t> text;
  while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
    if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
    // One character more than asked for, zeroed, ends a value stored
    // without its NUL.
    text.assign(bytes / sizeof(wchar_t) + 1, L'\0');
    DWORD size = DWORD(text.size() * sizeof(wchar_t));
    status = RegQueryValueExW(key, name.c_str(), nullptr, &type,
                              reinterpret_cast<BYTE*>(text.data()), &size);
    if (status == ERROR_SUCCESS) return std::wstring(text.data());
    bytes = size;
  }
  return std::nullopt;
}

// %NAME% replaced by the variable's value; a text that cannot be expanded
// (Windows takes 32K characters at most) stays as it is.
std::wstring Expand(const std::wstring& text) {
  DWORD size = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
  while (size != 0) {
    std::vector<wchar_t> out(size, L'\0');
    DWORD needed = ExpandEnvironmentStringsW(text.c_str(), out.data(), size);
    if (needed != 0 && needed <= size) return std::wstring(out.data());
    size = needed;
  }
  return text;
}

}  // namespace

std::string Win32SettingsStore::GetSetting(const std::string& app,
                                           const std::string& section,
                                           const std::string& key) {
  Key handle;
  if (RegOpenKeyExW(root_, SubKey(app, section).c_str(), 0, KEY_QUERY_VALUE,
                    handle.out()) != ERROR_SUCCESS)
    return "";
  DWORD type = REG_NONE;
  std::optional<std::wstring> text = ReadText(handle.get(), Widen(key), type);
  if (!text) return "";
  return Narrow(type == REG_EXPAND_SZ ? Expand(*text) : *text);
}

void Win32SettingsStore::SaveSetting(const std::string& app,
                                     const std::string& section,
                                     const std::string& key,
                                     const std::string& value) {
  const std::wstring subKey = SubKey(app, section);
  const std::wstring text = Widen(value);
  Key handle;
  LSTATUS status = RegCreateKeyExW(root_, subKey.c_str(), 0, nullptr,
                                   REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                                   nullptr, handle.out(), nullptr);
  if (status == ERROR_SUCCESS) {
    status = RegSetValueExW(handle.get(), Widen(key).c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(text.c_str()),
                            DWORD((text.size() + 1) * sizeof(wchar_t)));
  }
  if (status != ERROR_SUCCESS) {
    throw PlatformError(err::kPathAccess, "Unable to save the settings to " +
                                              rootName_ + "\\" +
                                              Narrow(subKey) + ": " +
                                              SystemMessage(DWORD(status)));
  }
}

}  // namespace tarnlight::win32
