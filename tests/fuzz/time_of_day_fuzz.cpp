// ParseTimeOfDay against a reference for "h:nn" / "hh:nn" with an optional
// ":ss", and FormatHhNn then ParseTimeOfDay giving back any valid time.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "helpers/time_of_day.h"
#include "platform/error.h"

namespace {

bool Digits(std::string_view s) {
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

// Minutes since midnight, or -1 for a text that must raise 13.
int Reference(std::string_view s) {
  std::size_t colon = s.find(':');
  if (colon == std::string_view::npos || colon == 0 || colon > 2) return -1;
  std::string_view hour = s.substr(0, colon), rest = s.substr(colon + 1);
  std::string_view minute = rest.substr(0, 2), second;
  if (rest.size() > 2) {
    if (rest[2] != ':' || rest.size() != 5) return -1;
    second = rest.substr(3);
  }
  if (minute.size() != 2 || !Digits(hour) || !Digits(minute) || !Digits(second))
    return -1;
  int h = std::stoi(std::string(hour)), m = std::stoi(std::string(minute));
  if (h > 23 || m > 59 ||
      (!second.empty() && std::stoi(std::string(second)) > 59))
    return -1;
  return h * 60 + m;
}

int Parse(std::string_view text) {
  try {
    return tarnlight::ParseTimeOfDay(text);
  } catch (const tarnlight::PlatformError& error) {
    if (error.number() != tarnlight::err::kTypeMismatch) std::abort();
    return -1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  if (Parse(text) != Reference(text)) std::abort();
  if (size >= 3) {
    tarnlight::LocalTime time{data[0] % 24, data[1] % 60, data[2] % 60};
    std::string formatted = tarnlight::FormatHhNn(time);
    if (formatted.size() != 5 ||
        Parse(formatted) != time.hour * 60 + time.minute)
      std::abort();
  }
  return 0;
}
