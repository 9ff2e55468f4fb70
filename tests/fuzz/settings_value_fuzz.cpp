// A value set into a settings file's text and read back. The input is a
// file's text, a zero byte and a value (all of it the value when there is no
// zero byte). Whatever the file held, the value comes back byte for byte,
// and every other key reads as it did.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/qt/ini_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t zero = input.find('\0');
  const std::string_view file =
      zero == std::string_view::npos ? "" : input.substr(0, zero);
  const std::string_view value =
      zero == std::string_view::npos ? input : input.substr(zero + 1);
  namespace ini = tarnlight::qt::ini;
  const std::string changed = ini::Set(file, "settings", "vidFolder", value);
  if (ini::Find(changed, "settings", "vidFolder") != value) std::abort();
  for (const char* key : {"intervalTime", "timeFrom", "vidFolder2", ""}) {
    if (ini::Find(changed, "settings", key) != ini::Find(file, "settings", key))
      std::abort();
  }
  if (ini::Find(changed, "other", "vidFolder") !=
      ini::Find(file, "other", "vidFolder"))
    std::abort();
  if (ini::Unescape(ini::Escape(value)) != value) std::abort();
  return 0;
}
