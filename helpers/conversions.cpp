#include "helpers/conversions.h"

#include <cstdint>

#include "platform/error.h"

namespace tarnlight {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

[[noreturn]] void TypeMismatch() {
  throw PlatformError(err::kTypeMismatch, "Type mismatch");
}

[[noreturn]] void Overflow() { throw PlatformError(err::kOverflow, "Overflow"); }

// Compares a fraction's digits with one half: -1 below, 0 exactly, 1 above.
// Working on the text keeps "12.5000001" from being taken for a half.
int CompareWithHalf(std::string_view fraction) {
  if (fraction.empty() || fraction[0] < '5') return -1;
  if (fraction[0] > '5') return 1;
  for (char c : fraction.substr(1))
    if (c != '0') return 1;
  return 0;
}

}  // namespace

std::int16_t TextToInt16(std::string_view text) {
  std::string_view s = Trim(text);
  bool negative = false;
  if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
    negative = s[0] == '-';
    s.remove_prefix(1);
  }
  std::size_t dot = s.find('.');
  std::string_view whole = s.substr(0, dot);
  std::string_view fraction =
      dot == std::string_view::npos ? std::string_view{} : s.substr(dot + 1);
  if (whole.empty() && fraction.empty()) TypeMismatch();
  for (char c : whole)
    if (!IsDigit(c)) TypeMismatch();
  for (char c : fraction)
    if (!IsDigit(c)) TypeMismatch();

  std::int64_t magnitude = 0;
  for (char c : whole) {
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > 100000) Overflow();
  }
  int half = CompareWithHalf(fraction);
  if (half > 0 || (half == 0 && magnitude % 2 == 1)) ++magnitude;

  std::int64_t value = negative ? -magnitude : magnitude;
  if (value < INT16_MIN || value > INT16_MAX) Overflow();
  return static_cast<std::int16_t>(value);
}

std::string TwoDigits(int value) {
  std::string text = std::to_string(value);
  return text.size() < 2 ? "0" + text : text;
}

}  // namespace tarnlight
