#include "helpers/time_of_day.h"

#include <optional>

#include "helpers/conversions.h"
#include "platform/error.h"

namespace tarnlight {
namespace {

// Reads one or two digits (exactly two when `exactlyTwo`) up to ':' or end.
std::optional<int> ReadField(std::string_view& s, bool exactlyTwo) {
  std::size_t n = 0;
  int value = 0;
  while (n < s.size() && n < 2 && s[n] >= '0' && s[n] <= '9') {
    value = value * 10 + (s[n] - '0');
    ++n;
  }
  if (n == 0 || (exactlyTwo && n != 2)) return std::nullopt;
  s.remove_prefix(n);
  return value;
}

bool Take(std::string_view& s, char c) {
  if (s.empty() || s.front() != c) return false;
  s.remove_prefix(1);
  return true;
}

}  // namespace

std::string FormatHhNn(const LocalTime& time) {
  return TwoDigits(time.hour) + ":" + TwoDigits(time.minute);
}

int ParseTimeOfDay(std::string_view text) {
  std::string_view s = text;
  auto hour = ReadField(s, false);
  if (!hour || !Take(s, ':')) throw PlatformError(err::kTypeMismatch, "Type mismatch");
  auto minute = ReadField(s, true);
  std::optional<int> second = 0;
  if (minute && Take(s, ':')) second = ReadField(s, true);
  if (!minute || !second || !s.empty() || *hour > 23 || *minute > 59 ||
      *second > 59)
    throw PlatformError(err::kTypeMismatch, "Type mismatch");
  return *hour * 60 + *minute;
}

int MinutesFromTo(std::string_view from, std::string_view to) {
  return ParseTimeOfDay(to) - ParseTimeOfDay(from);
}

}  // namespace tarnlight
