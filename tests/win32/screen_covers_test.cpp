#include "platform/win32/screen_covers.h"

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
const RECT kAbove{0, -768, 1024, 0};

TEST(ScreenCovers, EveryMonitorButThePrimaryGetsOneCover) {
  struct Case {
    const char* what;
    std::vector<RECT> monitors;
    RECT primary;
    std::vector<RECT> covers;
  };
  const Case cases[] = {
      {"three monitors", {kLeft, kMain, kRight}, kMain, {kLeft, kRight}},
      {"one added above", {kMain, kRight, kAbove}, kMain, {kRight, kAbove}},
      {"the primary alone", {kMain}, kMain, {}},
      {"a primary at a negative origin",
       {kMain, kLeft, kRight},
       kLeft,
       {kMain, kRight}},
      {"two mirrored beside the primary",
       {kMain, kRight, kRight},
       kMain,
       {kRight}},
      {"one mirroring the primary", {kMain, kMain, kLeft}, kMain, {kLeft}},
      {"an empty rectangle", {kMain, {5, 5, 5, 900}, kRight}, kMain, {kRight}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Text(PlanCovers(c.monitors, c.primary)), Text(c.covers))
        << c.what;
}

}  // namespace
}  // namespace tarnlight::win32
