#include "saver/clip_picker.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "platform/system_listing.h"
#include "saver/random_integer.h"
#include "tests/clip_folder.h"
#include "tests/fake/fake_backend.h"

namespace tarnlight {
namespace {

using fake::FakeBackend;

class PickRandomClipTest : public ::testing::Test {
 protected:
  std::string PickFrom(const std::string& folder) {
    std::unique_ptr<DirListing> listing = CreateSystemListing();
    return PickRandomClip(m, fake.random, fake.clock, folder,
                          ListAll(*listing, folder, attr::kNormal));
  }
  // Picks `n` times and returns the names picked, folder text removed.
  std::multiset<std::string> Pick(const std::string& folder, int n) {
    std::multiset<std::string> picked;
    for (int i = 0; i < n; ++i) {
      std::string path = PickFrom(folder);
      EXPECT_EQ(path.substr(0, folder.size()), folder);
      picked.insert(path.substr(folder.size()));
    }
    return picked;
  }

  test::ClipFolder dir;
  FakeBackend fake;
  Module1 m;
};

TEST_F(PickRandomClipTest, EveryFileWithADotIsACandidateAndNothingElse) {
  dir.File("a.avi");
  dir.File("b.mpg");
  dir.File("notes");
  dir.File("readme.txt");
  dir.Folder("x.avi");
  auto picked = Pick(dir.text(), 200);
  EXPECT_EQ(std::set<std::string>(picked.begin(), picked.end()),
            (std::set<std::string>{"a.avi", "b.mpg", "readme.txt"}));
  EXPECT_EQ(m.clipCount, 3);
}

TEST_F(PickRandomClipTest, FolderTextWithoutTrailingSeparatorListsNothing) {
  dir.File("a.avi");
  std::string noSeparator = dir.text();
  noSeparator.pop_back();
  EXPECT_EQ(PickFrom(noSeparator), noSeparator);
  EXPECT_EQ(m.clipCount, 0);
  std::string missing = dir.text() + "nowhere\\";
  EXPECT_EQ(PickFrom(missing), missing);
}

TEST_F(PickRandomClipTest, EmptiedFolderReturnsTheStaleFirstSlot) {
  dir.File("only.avi");
  EXPECT_EQ(PickFrom(dir.text()), dir.text() + "only.avi");
  dir.Remove("only.avi");
  EXPECT_EQ(PickFrom(dir.text()), dir.text() + "only.avi");
  EXPECT_EQ(m.clipCount, 0);
}

TEST_F(PickRandomClipTest, BeyondTheTableEveryNameKeepsItsChance) {
  for (int i = 0; i < 300; ++i)
    dir.File("clip" + std::to_string(1000 + i) + ".avi");
  auto picked = Pick(dir.text(), 4000);
  EXPECT_EQ(m.clipCount, 101);
  std::set<std::string> distinct(picked.begin(), picked.end());
  EXPECT_EQ(distinct.size(), 300u);
  // The last names of the listing are as likely as the first ones.
  std::size_t late = 0;
  for (const std::string& name : picked) late += name >= "clip1200.avi";
  EXPECT_GT(late, 4000u / 3 - 200);
  EXPECT_LT(late, 4000u / 3 + 200);
}

TEST(RandomInteger, StaysInsideItsSpanAtBothEndsOfTheDraw) {
  struct Case {
    int low, span;
    float r;
    int expected;
  };
  const float kTop = 0x1.fffffep-1f;  // the largest float below 1
  const Case cases[] = {
      {0, 5, 0.0f, 0},
      {0, 5, kTop, 4},
      {0, 0, 0.7f, 0},
      {0, 1, kTop, 0},
      {10, 3, 0.5f, 11},
      {0, -300, 0.0f, 0},
      {0, -300, kTop, -300},
      {0, 33600, kTop, 33599},
      // A generator that breaks its promise still cannot leave the span.
      {0, 5, 1.0f, 4},
      {0, 5, -0.5f, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.low << "+" << c.span << " r=" << c.r);
    FakeBackend fake;
    fake.random.script = {c.r};
    EXPECT_EQ(RandomInteger(fake.random, fake.clock, c.low, c.span),
              c.expected);
    EXPECT_EQ(fake.random.reseeds, 1);
  }
}

}  // namespace
}  // namespace tarnlight
