#include "saver/clip_picker.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "saver/random_integer.h"
#include "tests/fake/fake_backend.h"

namespace tarnlight {
namespace {

struct Picker {
  std::string Pick(const std::vector<std::string>& names) {
    return PickRandomClip(m, fake.system, fake.system, "d:\\", names);
  }
  fake::FakeBackend fake;
  Module1 m;
};

// With no candidate, the folder text comes back with whatever slot 0 of
// the table still holds.
TEST(PickRandomClip, EveryNameWithADotIsACandidateAndNothingElse) {
  Picker picker;
  std::set<std::string> picked;
  for (int i = 0; i < 200; ++i)
    picked.insert(picker.Pick({"a.avi", ".", "notes", "b.mpg", "..", "c.txt"}));
  EXPECT_EQ(picked,
            (std::set<std::string>{"d:\\a.avi", "d:\\b.mpg", "d:\\c.txt"}));
  EXPECT_EQ(picker.m.clipCount, 3);
  EXPECT_EQ(picker.Pick({"notes"}), "d:\\a.avi");
  EXPECT_EQ(picker.m.clipCount, 0);
  EXPECT_EQ(Picker().Pick({}), "d:\\");
}

TEST(PickRandomClip, BeyondTheTableEveryNameKeepsItsChance) {
  Picker picker;
  std::vector<std::string> names;
  for (int i = 0; i < 300; ++i)
    names.push_back(std::to_string(1000 + i) + ".avi");
  std::multiset<std::string> picked;
  for (int i = 0; i < 4000; ++i) picked.insert(picker.Pick(names));
  EXPECT_EQ(picker.m.clipCount, 101);
  EXPECT_EQ(std::set<std::string>(picked.begin(), picked.end()).size(), 300u);
  // The last names of the listing are as likely as the first ones.
  std::size_t late = 0;
  for (const std::string& name : picked) late += name >= "d:\\1200.avi";
  EXPECT_GT(late, 4000u / 3 - 200);
  EXPECT_LT(late, 4000u / 3 + 200);
}

// Draws of 0 and of the largest float below 1 over spans of 0, past 16 bits
// and of the window's are the saver's placement table.
TEST(RandomInteger, StaysInsideItsSpanAtBothEndsOfTheDraw) {
  // Low, span, the draw and the integer.
  const std::tuple<int, int, float, int> cases[] = {
      {10, 3, 0.5f, 11},
      {0, -300, 0x1.fffffep-1f, -300},
      // A generator that breaks its promise still cannot leave the span.
      {0, 5, 1.0f, 4},
      {0, 5, -0.5f, 0},
  };
  fake::FakeSystem system;
  for (auto [low, span, r, expected] : cases) {
    SCOPED_TRACE(testing::Message() << low << "+" << span << " r=" << r);
    system.draws = {r};
    int reseeds = system.reseeds;
    EXPECT_EQ(RandomInteger(system, system, low, span), expected);
    EXPECT_EQ(system.reseeds, reseeds + 1);
  }
}

}  // namespace
}  // namespace tarnlight
