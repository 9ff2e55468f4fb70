// TextToInt16 against a reference written from its contract: blanks around,
// an optional sign, digits with an optional fraction, a half rounding to
// the even neighbour; 13 for any other text, 6 outside -32768..32767.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "helpers/conversions.h"
#include "platform/error.h"

namespace {

// The value, or -13 / -6 for the error the text must raise.
long Reference(std::string_view s) {
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  bool negative = false;
  if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
    negative = s[0] == '-';
    s.remove_prefix(1);
  }
  std::string_view whole = s, fraction;
  if (std::size_t dot = s.find('.'); dot != std::string_view::npos) {
    whole = s.substr(0, dot);
    fraction = s.substr(dot + 1);
  }
  if (whole.empty() && fraction.empty()) return -13;
  for (std::string_view part : {whole, fraction})
    for (char c : part)
      if (c < '0' || c > '9') return -13;
  while (!whole.empty() && whole[0] == '0') whole.remove_prefix(1);
  if (whole.size() > 5) return -6;
  long magnitude = 0;
  for (char c : whole) magnitude = magnitude * 10 + (c - '0');
  // Above a half, exactly a half, or below.
  bool aboveHalf = false, half = false;
  if (!fraction.empty() && fraction[0] >= '5') {
    aboveHalf = fraction[0] > '5' || fraction.substr(1).find_first_not_of(
                                         '0') != std::string_view::npos;
    half = !aboveHalf;
  }
  if (aboveHalf || (half && magnitude % 2 == 1)) ++magnitude;
  long value = negative ? -magnitude : magnitude;
  if (value < -32768 || value > 32767) return -6;
  return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  long expected = Reference(text);
  long got;
  try {
    got = tarnlight::TextToInt16(text);
  } catch (const tarnlight::PlatformError& error) {
    got = -error.number();
  }
  if (got != expected) std::abort();
  return 0;
}
