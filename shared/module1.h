#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace tarnlight {

// Values shared by the whole run: the four settings as loaded at start-up,
// and the clip picker's table.
struct Module1 {
  std::string timeFrom;
  std::string timeUntil;
  std::string vidFolder;
  std::int16_t intervalTime = 0;

  static constexpr std::size_t kClipSlots = 101;
  // Never cleared: a scan overwrites from slot 0 upward.
  std::array<std::string, kClipSlots> clipNames;
  std::int16_t clipCount = 0;
};

}  // namespace tarnlight
