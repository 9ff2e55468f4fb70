#include "helpers/fit_inside.h"

#include <gtest/gtest.h>

namespace tarnlight {
namespace {

// The saver's size table shows the common cases through the player.
TEST(FitInside, ShrinksWhatDoesNotFitAndKeepsTheAspect) {
  struct Case {
    PixelSize clip, bounds, shown;
  };
  const Case cases[] = {
      {{1000, 3001}, {1024, 768}, {256, 768}},  // 255.9 wide
      {{320, 240}, {0, 0}, {1, 1}},
      {{0, -5}, {1024, 768}, {1, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.clip.width << "x" << c.clip.height);
    PixelSize shown = FitInside(c.clip, c.bounds);
    EXPECT_EQ(shown.width, c.shown.width);
    EXPECT_EQ(shown.height, c.shown.height);
  }
}

}  // namespace
}  // namespace tarnlight
