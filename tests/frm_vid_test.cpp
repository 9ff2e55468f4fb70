#include "saver/frm_vid.h"

#include <gtest/gtest.h>

#include "startup/main.h"
#include "tests/clip_folder.h"
#include "tests/fake/fake_backend.h"

namespace tarnlight {
namespace {

using fake::FakeBackend;
using fake::ProgramEnded;

const float kTop = 0x1.fffffep-1f;  // the largest float below 1

// A saver run on the fake back end, started through Main as the system
// would start it.
class SaverRun {
 public:
  explicit SaverRun(int interval, const char* from = "00:00",
                    const char* until = "23:59") {
    folder.File("a.avi");
    fake.store.Put("vidFolder", folder.text());
    fake.store.Put("intervalTime", std::to_string(interval));
    fake.store.Put("timeFrom", from);
    fake.store.Put("timeUntil", until);
    fake.program.command = "/s";
  }
  void Start() { app.Main(); }
  fake::FakeSaverWindow& window() { return *fake.windows.saver; }
  fake::FakePlayer& vid() { return window().player; }
  std::vector<std::int64_t> attempts() {
    std::vector<std::int64_t> seconds;
    for (const auto& a : vid().fileNames) seconds.push_back(a.second);
    return seconds;
  }

  test::ClipFolder folder;
  FakeBackend fake;
  Tarnlight app{fake.services};
};

TEST(frmVid, PausesTheIntervalBeforeEachClipAndAfterItsEnd) {
  SaverRun run(30);
  run.Start();
  EXPECT_FALSE(run.vid().Visible());
  EXPECT_TRUE(run.window().timer.enabled);
  run.fake.Advance(29);
  EXPECT_TRUE(run.vid().fileNames.empty());
  run.fake.Advance(1);
  EXPECT_EQ(run.vid().plays, (std::vector<std::int64_t>{30}));
  EXPECT_EQ(run.vid().fileName, run.folder.text() + "a.avi");
  EXPECT_TRUE(run.vid().Visible());
  EXPECT_TRUE(run.vid().enabledMember);
  EXPECT_FALSE(run.window().timer.enabled);
  run.fake.Advance(10);  // the 10 s clip ends at 40 s
  EXPECT_FALSE(run.vid().Visible());
  EXPECT_TRUE(run.window().timer.enabled);
  run.fake.Advance(60);
  EXPECT_EQ(run.vid().plays, (std::vector<std::int64_t>{30, 70}));
}

TEST(frmVid, IntervalOfZeroOrBelowNeverPlays) {
  for (int interval : {0, -5}) {
    SCOPED_TRACE(interval);
    SaverRun run(interval);
    run.Start();
    run.fake.Advance(400);
    EXPECT_TRUE(run.vid().fileNames.empty());
    EXPECT_FALSE(run.vid().Visible());
  }
}

TEST(frmVid, TickCountRunsPastSixteenBits) {
  SaverRun run(0);
  run.Start();
  run.fake.Advance(40000);
  EXPECT_EQ(run.app.module1().intervalTime, 0);
  EXPECT_TRUE(run.vid().fileNames.empty());
}

TEST(frmVid, PlaysOnlyInsideTheDailyWindowBothEndsIncluded) {
  struct Case {
    const char* from;
    const char* until;
    int hour, minute, second;  // the clock when the pause has elapsed
    bool plays;
  };
  const Case cases[] = {
      {"09:00", "18:00", 8, 59, 59, false}, {"09:00", "18:00", 9, 0, 0, true},
      {"09:00", "18:00", 18, 0, 59, true},  {"09:00", "18:00", 18, 1, 0, false},
      {"9:00", "18:00", 12, 0, 0, true},    {"12:00", "12:00", 12, 0, 30, true},
      {"12:00", "12:00", 12, 1, 0, false},  {"12:00", "12:00", 11, 59, 59, false},
      {"22:00", "06:00", 23, 0, 0, false},  {"22:00", "06:00", 3, 0, 0, false},
      {"22:00", "06:00", 12, 0, 0, false},  {"00:00", "23:59", 23, 59, 59, true},
      // Unreadable times start no clip.
      {"abc", "18:00", 12, 0, 0, false},    {"09:00", "25:00", 12, 0, 0, false},
      {"09:00", "", 12, 0, 0, true},  // empty runs as the default 18:00
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.from << "-" << c.until << " at "
                                    << c.hour << ":" << c.minute << ":" << c.second);
    SaverRun run(1, c.from, c.until);
    run.Start();
    run.fake.clock.Set(c.hour, c.minute, c.second);
    run.window().events->timTimer_Timer();
    EXPECT_EQ(run.vid().plays.size(), c.plays ? 1u : 0u);
    EXPECT_EQ(run.vid().Visible(), c.plays);
    // Outside the window the pause simply starts again.
    EXPECT_EQ(run.window().timer.enabled, !c.plays);
  }
}

TEST(frmVid, RefusedFileOrFailedStartGivesAFullNewPause) {
  for (bool refuse : {true, false}) {
    SCOPED_TRACE(refuse ? "refused file" : "failed start");
    SaverRun run(30);
    run.Start();
    run.vid().refuseFile = refuse;
    run.vid().failPlay = !refuse;
    run.fake.Advance(95);
    EXPECT_EQ(run.attempts(), (std::vector<std::int64_t>{30, 60, 90}));
    EXPECT_TRUE(run.vid().plays.empty());
    EXPECT_FALSE(run.vid().Visible());
    EXPECT_TRUE(run.window().timer.enabled);
  }
}

TEST(frmVid, EmptyClipFolderHandsThePlayerTheFolderItself) {
  SaverRun run(2);
  run.folder.Remove("a.avi");
  run.Start();
  run.fake.Advance(2);
  ASSERT_EQ(run.vid().fileNames.size(), 1u);
  EXPECT_EQ(run.vid().fileNames[0].file, run.folder.text());
}

TEST(frmVid, CharacterKeyRestoresTheCursorAndEnds) {
  struct Case {
    bool onPlayer;
    int cursorCount;
    int showCursorCalls;
  };
  for (const Case& c : {Case{false, 0, 1}, Case{true, 0, 1}, Case{false, -3, 3},
                        Case{true, 2, 1}}) {
    SCOPED_TRACE(testing::Message() << c.onPlayer << " " << c.cursorCount);
    SaverRun run(30);
    run.fake.cursor.count = c.cursorCount;
    run.Start();
    run.fake.Advance(31);  // a clip is playing
    SaverEvents& events = *run.window().events;
    if (c.onPlayer)
      EXPECT_THROW(events.vid_KeyPress('a'), ProgramEnded);
    else
      EXPECT_THROW(events.Form_KeyPress(27), ProgramEnded);
    EXPECT_TRUE(run.fake.program.ended);
    EXPECT_EQ(run.fake.cursor.calls, c.showCursorCalls);
    EXPECT_GE(run.fake.cursor.count, 0);
  }
}

TEST(frmVid, PlacesThePlayerInsideTheWindowWhateverItsSize) {
  struct Case {
    int windowW, windowH, clipW, clipH;
    int leftAtTop, topAtTop;  // with r at its top; r = 0 always gives 0
  };
  const Case cases[] = {
      {15360, 11520, 4800, 3600, 10559, 7919},
      {38400, 21600, 4800, 3600, 33599, 17999},   // spans past 16 bits
      {15360, 11520, 15360, 11520, 0, 0},
      {15360, 11520, 20000, 12000, -4640, -480},  // larger: negative span
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.windowW << "x" << c.windowH);
    for (float r : {0.0f, kTop}) {
      SaverRun run(1);
      run.fake.windows.saverWidth = c.windowW;
      run.fake.windows.saverHeight = c.windowH;
      run.Start();
      run.vid().clipWidth = c.clipW;
      run.vid().clipHeight = c.clipH;
      run.fake.random.script = {0.0f, r, r};  // clip, Left, Top
      run.fake.Advance(1);
      ASSERT_EQ(run.vid().plays.size(), 1u);
      EXPECT_EQ(run.vid().Left(), r == 0.0f ? 0 : c.leftAtTop);
      EXPECT_EQ(run.vid().Top(), r == 0.0f ? 0 : c.topAtTop);
    }
  }
}

TEST(frmVid, RandomPlacementIsNotTiedToTheDiagonal) {
  SaverRun run(1);
  run.Start();
  run.vid().clipWidth = 4800;
  run.vid().clipHeight = 3600;
  int offDiagonal = 0;
  for (int i = 0; i < 50; ++i) {
    run.fake.Advance(1);
    ASSERT_GE(run.vid().Left(), 0);
    ASSERT_LE(run.vid().Left(), 10559);
    ASSERT_GE(run.vid().Top(), 0);
    ASSERT_LE(run.vid().Top(), 7919);
    double x = run.vid().Left() / 10560.0, y = run.vid().Top() / 7920.0;
    offDiagonal += std::abs(x - y) > 0.01;
    run.window().events->vid_EndOfStream();
  }
  EXPECT_GT(offDiagonal, 40);
}

}  // namespace
}  // namespace tarnlight
