#pragma once

namespace tarnlight {

struct PixelSize {
  int width = 0;
  int height = 0;
  friend bool operator==(const PixelSize&, const PixelSize&) = default;
};

// The size a clip is shown at: its own, or scaled down with its aspect
// ratio kept when it does not fit inside `bounds`. Never empty.
PixelSize FitInside(PixelSize clip, PixelSize bounds);

}  // namespace tarnlight
