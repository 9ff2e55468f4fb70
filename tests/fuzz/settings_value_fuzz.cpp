// A value through QtSettingsStore and back out of the INI file. The store
// promises valid UTF-8 back byte for byte; bytes that are not UTF-8 come
// back as Qt decodes them, each bad sequence one U+FFFD, so every read is
// valid UTF-8.
#include <unistd.h>

#include <QByteArray>
#include <QString>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/qt/qt_settings_store.h"

namespace {

std::filesystem::path ini;

// Strict UTF-8: shortest forms only, no surrogates, nothing above U+10FFFF.
bool IsUtf8(const std::string& s) {
  for (std::size_t i = 0; i < s.size();) {
    unsigned char c = s[i];
    std::size_t n = c < 0x80         ? 1
                    : (c >> 5) == 6  ? 2
                    : (c >> 4) == 14 ? 3
                    : (c >> 3) == 30 ? 4
                                     : 0;
    if (n == 0 || i + n > s.size()) return false;
    std::uint32_t code = n == 1 ? c : c & (0x7f >> n);
    for (std::size_t k = 1; k < n; ++k) {
      unsigned char next = s[i + k];
      if ((next >> 6) != 2) return false;
      code = code << 6 | (next & 0x3f);
    }
    const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < least[n] || code > 0x10ffff || (code >= 0xd800 && code < 0xe000))
      return false;
    i += n;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  auto home = std::filesystem::temp_directory_path() /
              ("tarnlight-fuzz-" + std::to_string(getpid()));
  std::filesystem::create_directories(home);
  setenv("XDG_CONFIG_HOME", home.c_str(), 1);
  ini = home / "Tarnlight" / "Tarnlight.ini";
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(ini.parent_path().parent_path(), ignored);
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  static long long run = 0;
  const std::string value(reinterpret_cast<const char*>(data), size);
  {
    tarnlight::qt::QtSettingsStore store;
    store.SaveSetting("Tarnlight", "settings", "vidFolder", value);
  }
  // Qt keeps a parsed copy of each settings file and trusts it while the
  // file's size and time stay the same; a time of its own for every run
  // makes the next store read the file itself.
  std::filesystem::last_write_time(
      ini, std::filesystem::file_time_type(std::chrono::seconds(++run)));
  tarnlight::qt::QtSettingsStore fresh;
  const std::string read =
      fresh.GetSetting("Tarnlight", "settings", "vidFolder");
  const std::string expected =
      IsUtf8(value)
          ? value
          : QString::fromUtf8(QByteArray::fromStdString(value)).toStdString();
  if (read != expected || !IsUtf8(read)) std::abort();
  return 0;
}
