#pragma once

#include <string>
#include <string_view>

#include "platform/services.h"

namespace tarnlight {

// "hh:nn" of a local time; seconds are dropped.
std::string FormatHhNn(const LocalTime& time);

// Minutes since midnight of "h:nn" or "hh:nn", optionally followed by ":ss"
// (seconds are ignored). Raises PlatformError 13 on any other text.
int ParseTimeOfDay(std::string_view text);

// Whole minutes from time of day `from` to time of day `to`, both on the
// same day, so it is negative when `to` is earlier.
int MinutesFromTo(std::string_view from, std::string_view to);

}  // namespace tarnlight
