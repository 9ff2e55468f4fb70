#include "platform/win32/win32_screen_covers.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace tarnlight::win32 {
namespace {

std::string Text(const std::vector<RECT>& rects) {
  std::ostringstream text;
  for (const RECT& r : rects)
    text << '(' << r.left << ',' << r.top << ' ' << r.right << ',' << r.bottom
         << ')';
  return text.str();
}

const RECT kLeft{-1280, 0, 0, 1024};
const RECT kMain{0, 0, 1920, 1080};
const RECT kRight{1920, -200, 3840, 880};

// A monitor that mirrors the primary or another, or has no area, gets
// none.
TEST(ScreenCovers, EveryMonitorButThePrimaryGetsOneCover) {
  struct Case {
    std::vector<RECT> monitors;
    RECT primary;
    std::vector<RECT> covers;
  };
  const Case cases[] = {
      {{kMain, kLeft, kRight}, kLeft, {kMain, kRight}},  // at a negative origin
      {{kMain, kRight, kRight}, kMain, {kRight}},
      {{kMain, {5, 5, 5, 900}, kRight}, kMain, {kRight}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Text(PlanCovers(c.monitors, c.primary)), Text(c.covers))
        << Text(c.monitors);
}

}  // namespace
}  // namespace tarnlight::win32
