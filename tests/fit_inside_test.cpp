#include "helpers/fit_inside.h"

#include <gtest/gtest.h>

namespace tarnlight {
namespace {

// The saver's size table shows the common cases through the player.
TEST(FitInside, ShrinksWhatDoesNotFitAndKeepsTheAspect) {
  // Clip, bounds, the size shown.
  const PixelSize cases[][3] = {
      {{1000, 3001}, {1024, 768}, {256, 768}},  // 255.9 wide
      {{320, 240}, {0, 0}, {1, 1}},
      {{0, -5}, {1024, 768}, {1, 1}},
  };
  for (const auto& [clip, bounds, shown] : cases)
    EXPECT_EQ(FitInside(clip, bounds), shown)
        << clip.width << "x" << clip.height;
}

}  // namespace
}  // namespace tarnlight
