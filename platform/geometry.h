#pragma once

#include <cstdint>

namespace tarnlight {

// The largest picture side a clip is taken at its word for; past it, the
// player keeps its design size.
inline constexpr int kLargestPictureSide = 1 << 20;

// A picture side as an engine reads it, saturated so that a side past the
// limit stays past it instead of becoming the limit itself.
constexpr int PictureSide(std::uint64_t side) {
  return side > std::uint64_t{kLargestPictureSide} ? kLargestPictureSide + 1
                                                   : int(side);
}

struct PixelSize {
  int width = 0;
  int height = 0;
  friend bool operator==(const PixelSize&, const PixelSize&) = default;
};

// A rectangle in pixels, relative to the client area of its window.
struct PixelRect {
  int left = 0, top = 0, width = 0, height = 0;
  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

}  // namespace tarnlight
