#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnlight {

// Decimal text to a 16-bit integer: blanks around it allowed, an optional
// sign, digits with an optional fraction, rounded to nearest with a half to
// the even neighbour. Raises PlatformError on anything else (13) and outside
// -32768..32767 (6).
std::int16_t TextToInt16(std::string_view text);

// Hour (or any 0..99) as exactly two digits, leading zero: "0#".
std::string TwoDigits(int value);

}  // namespace tarnlight
