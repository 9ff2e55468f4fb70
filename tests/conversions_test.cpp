#include <gtest/gtest.h>

#include <set>

#include "helpers/conversions.h"
#include "platform/error.h"
#include "helpers/seeded_random.h"
#include "helpers/time_of_day.h"

namespace tarnlight {
namespace {

TEST(TimeOfDay, ReadsHourMinuteAndOptionalSeconds) {
  struct Case {
    const char* text;
    int minutes;
  };
  const Case valid[] = {{"00:00", 0},     {"9:00", 540},   {"09:00", 540},
                        {"7:15", 435},    {"23:59", 1439}, {"18:00:59", 1080},
                        {"12:30:00", 750}};
  for (const Case& c : valid) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseTimeOfDay(c.text), c.minutes);
  }
  for (const char* bad : {"", "12", "24:00", "12:60", "12:5", "123:00",
                          "ab:cd", "12:00:", "12:00:60", " 12:00", "12:00 ",
                          "-1:00", "12:00:00:00", "12.00"}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(ParseTimeOfDay(bad), PlatformError);
  }
}

TEST(TimeOfDay, MinutesFromToIsSignedAndFormatDropsSeconds) {
  EXPECT_EQ(MinutesFromTo("09:00", "18:00"), 540);
  EXPECT_EQ(MinutesFromTo("18:00", "09:00"), -540);
  EXPECT_EQ(MinutesFromTo("12:00", "12:00"), 0);
  EXPECT_EQ(FormatHhNn({8, 5, 59}), "08:05");
  EXPECT_EQ(FormatHhNn({23, 59, 0}), "23:59");
  EXPECT_EQ(TwoDigits(0), "00");
  EXPECT_EQ(TwoDigits(23), "23");
}

TEST(TextToInt16, RaisesTypeMismatchAndOverflowWithTheirNumbers) {
  try {
    TextToInt16("abc");
    FAIL() << "no error";
  } catch (const PlatformError& e) {
    EXPECT_EQ(e.number(), 13);
  }
  try {
    TextToInt16("40000");
    FAIL() << "no error";
  } catch (const PlatformError& e) {
    EXPECT_EQ(e.number(), 6);
  }
}

TEST(SeededRandom, StaysBelowOneAndReseedWithOneClockReadingStillVaries) {
  SeededRandom random(7, 1000);
  std::set<float> draws;
  for (int i = 0; i < 100000; ++i) {
    float r = random.Draw();
    ASSERT_GE(r, 0.0f);
    ASSERT_LT(r, 1.0f);
  }
  for (int i = 0; i < 3; ++i) {
    random.Reseed(5555);
    draws.insert(random.Draw());
  }
  EXPECT_EQ(draws.size(), 3u);
}

}  // namespace
}  // namespace tarnlight
