#include "helpers/fit_inside.h"

#include <gtest/gtest.h>

namespace tarnlight {
namespace {

TEST(FitInside, ShrinksWhatDoesNotFitAndKeepsTheAspect) {
  struct Case {
    PixelSize clip, bounds, shown;
  };
  const Case cases[] = {
      {{320, 240}, {1024, 768}, {320, 240}},
      {{1920, 1080}, {1024, 768}, {1024, 576}},
      {{1000, 3000}, {1024, 768}, {256, 768}},
      {{1024, 768}, {1024, 768}, {1024, 768}},
      {{100000, 1}, {1024, 768}, {1024, 1}},
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
