#include "helpers/conversions.h"

#include <gtest/gtest.h>

#include <functional>

#include "helpers/seeded_random.h"
#include "helpers/time_of_day.h"
#include "platform/error.h"

namespace tarnlight {
namespace {

// The value, or minus the number of the error the text raises.
int ValueOrError(const std::function<int()>& convert) {
  try {
    return convert();
  } catch (const PlatformError& e) {
    return -e.number();
  }
}

TEST(TextToInt16, RoundsHalvesToEvenAndRaisesTypeMismatchOrOverflow) {
  // The value, or -13 for a type mismatch and -6 for an overflow.
  const std::pair<const char*, int> cases[] = {
      {" \t45 ", 45},     {"12.5", 12},
      {"13.5", 14},       {"12.6", 13},
      {"12.5000001", 13}, {"-2.5", -2},
      {"-3.5", -4},       {"+7", 7},
      {"32767", 32767},   {"-32768", -32768},
      {".5", 0},          {"1.", 1},
      {"1e3", -13},       {"12,5", -13},
      {".", -13},         {"", -13},
      {"0x10", -13},      {"1.2.3", -13},
      {"32768", -6},      {"-32769", -6},
      {"32767.5", -6},    {"18446744073709551617", -6},
  };
  for (auto [text, expected] : cases)
    EXPECT_EQ(ValueOrError([&] { return TextToInt16(text); }), expected)
        << text;
}

TEST(TimeOfDay, ReadsHourMinuteAndOptionalSecondsAndFormatsHhNn) {
  // Minutes after midnight, or -13 for a type mismatch.
  const std::pair<const char*, int> cases[] = {
      {"00:00", 0},      {"9:00", 540},   {"23:59", 1439}, {"18:00:59", 1080},
      {"12:30:00", 750}, {"", -13},       {"12", -13},     {"24:00", -13},
      {"12:60", -13},    {"12:5", -13},   {"123:00", -13}, {"12:00:", -13},
      {"12:00:60", -13}, {" 12:00", -13}, {"12:00 ", -13}, {"12:00:00:00", -13},
      {"009:00", -13},   {"1:2:03", -13},
  };
  for (auto [text, minutes] : cases)
    EXPECT_EQ(ValueOrError([&] { return ParseTimeOfDay(text); }), minutes)
        << text;
  EXPECT_EQ(MinutesFromTo("18:00", "09:00"), -540);
  EXPECT_EQ(FormatHhNn({8, 5, 59}), "08:05");
  EXPECT_EQ(FormatHhNn({23, 59, 0}), "23:59");
}

// 24 bits a draw, so none is negative.
TEST(SeededRandom, StaysBelowOneAndReseedWithOneClockReadingStillVaries) {
  SeededRandom random(7, 1000);
  for (int i = 0; i < 100000; ++i) ASSERT_LT(random.Draw(), 1.0f);
  random.Reseed(5555);
  const float first = random.Draw();
  random.Reseed(5555);
  EXPECT_NE(random.Draw(), first);
}

}  // namespace
}  // namespace tarnlight
