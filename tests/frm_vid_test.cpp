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
// 152 x 112 pixels, in twips.
const int kPreviewWidth = 2280, kPreviewHeight = 1680;

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
  void Start() { ASSERT_TRUE(app.Main()); }
  // As the Windows shell starts it in its settings dialog's small monitor:
  // a saver window of that monitor's size.
  void StartPreview() {
    fake.windows.saverWidth = kPreviewWidth;
    fake.windows.saverHeight = kPreviewHeight;
    fake.program.command = "/p 4660";
    ASSERT_TRUE(app.Main(Convention::WindowsShell));
  }
  fake::FakeSaverWindow& window() { return *fake.windows.saver; }
  fake::FakeEngine& engine() { return window().vid; }
  const VidPlayer& vid() { return app.saver()->vid(); }
  // Seconds at which a clip was picked and handed to the player.
  std::vector<std::int64_t> attempts() {
    std::vector<std::int64_t> seconds;
    for (const auto& p : fake.files.probes) seconds.push_back(p.second);
    return seconds;
  }
  void Key(std::string_view control) {
    EXPECT_THROW(window().events->KeyPress(control, 'q'), ProgramEnded);
  }

  test::ClipFolder folder;
  FakeBackend fake;
  Tarnlight app{fake.services};
};

TEST(frmVid, PausesTheIntervalBeforeEachClipAndAfterItsEnd) {
  for (bool preview : {false, true}) {
    SCOPED_TRACE(preview ? "preview" : "saver");
    SaverRun run(30);
    if (preview)
      run.StartPreview();
    else
      run.Start();
    run.fake.Advance(30);
    EXPECT_EQ(run.engine().plays, (std::vector<std::int64_t>{30}));
    ASSERT_EQ(run.engine().opens.size(), 1u);
    EXPECT_EQ(run.engine().opens[0].path, run.folder.text() + "a.avi");
    EXPECT_TRUE(run.engine().shown.has_value());
    run.fake.Advance(10);  // the 10 s clip ends at 40 s
    EXPECT_FALSE(run.engine().shown.has_value());
    run.fake.Advance(60);
    EXPECT_EQ(run.engine().plays, (std::vector<std::int64_t>{30, 70}));
  }
}

TEST(frmVid, IntervalOfZeroOrBelowNeverPlays) {
  // -32768 is what a 16-bit tick count would reach after 32,767 ticks.
  for (int interval : {0, -5, -32768}) {
    SCOPED_TRACE(interval);
    SaverRun run(interval);
    run.Start();
    run.fake.Advance(interval == -32768 ? 40000 : 400);
    EXPECT_TRUE(run.attempts().empty());
    EXPECT_FALSE(run.vid().Visible());
  }
}

TEST(frmVid, PlaysOnlyInsideTheDailyWindowBothEndsIncluded) {
  struct Case {
    const char* from;
    const char* until;
    int hour, minute, second;  // the clock when the pause has elapsed
    bool plays;
  };
  const Case cases[] = {
      {"09:00", "18:00", 8, 59, 59, false},
      {"09:00", "18:00", 9, 0, 0, true},
      {"09:00", "18:00", 18, 0, 59, true},
      {"09:00", "18:00", 18, 1, 0, false},
      {"9:00", "18:00", 12, 0, 0, true},
      {"12:00", "12:00", 12, 0, 30, true},
      {"12:00", "12:00", 12, 1, 0, false},
      {"22:00", "06:00", 23, 0, 0, false},
      {"00:00", "23:59", 23, 59, 59, true},
      // Unreadable times start no clip.
      {"abc", "18:00", 12, 0, 0, false},
      {"09:00", "25:00", 12, 0, 0, false},
      {"09:00", "", 12, 0, 0, true},  // empty runs as the default 18:00
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.from << "-" << c.until << " at " << c.hour << ":"
                 << c.minute << ":" << c.second);
    SaverRun run(1, c.from, c.until);
    run.Start();
    run.fake.clock.Set(c.hour, c.minute, c.second);
    run.window().events->Tick();
    run.fake.loop.RunDue();
    EXPECT_EQ(run.engine().plays.size(), c.plays ? 1u : 0u);
    // Outside the window the pause simply starts again.
    EXPECT_EQ(run.window().timTimer.enabled, !c.plays);
  }
}

// Every way a clip can fail to start gives a full new pause, counted from
// the moment the failure is known. The folder is listed off the GUI thread,
// as long as it takes, with the timer off; only one question is ever with
// the file system, and a key never waits for it.
TEST(frmVid, EveryWayToNoClipGivesANewPauseAndNeverHoldsAKey) {
  struct Case {
    const char* what;
    void (*script)(SaverRun&);
    std::vector<std::int64_t> lists, plays;
  };
  const Case cases[] = {
      {"refused by the engine",
       [](SaverRun& r) { r.engine().openFailure = PlatformError(53, "no"); },
       {30, 60, 90, 120},
       {}},
      {"failed start",
       [](SaverRun& r) { r.engine().failPlay = true; },
       {30, 60, 90, 120},
       {}},
      {"standard library error on start",
       [](SaverRun& r) { r.engine().failPlayStd = true; },
       {30, 60, 90, 120},
       {}},
      {"empty folder: the folder itself is no clip",
       [](SaverRun& r) { r.folder.Remove("a.avi"); },
       {30, 60, 90, 120},
       {}},
      {"not a regular file",
       [](SaverRun& r) {
         r.folder.Remove("a.avi");
         r.folder.Folder("a.avi");
       },
       {30, 60, 90, 120},
       {}},
      // The open is given up at the deadline, 2 s after the tick.
      {"engine never answers",
       [](SaverRun& r) { r.engine().answerAfterMs = -1; },
       {30, 62, 94},
       {}},
      {"engine answers after the deadline",
       [](SaverRun& r) { r.engine().answerAfterMs = 2500; },
       {30, 62, 94},
       {}},
      {"listing that never answers",
       [](SaverRun& r) { r.fake.files.listAfterMs = -1; },
       {30},
       {}},
      {"listing that answers after many ticks",
       [](SaverRun& r) { r.fake.files.listAfterMs = 45000; },
       {30, 115},
       {75}},
      {"listing that fails",
       [](SaverRun& r) { r.fake.files.listFailure = PlatformError(75, "no"); },
       {30, 60, 90, 120},
       {}},
      // The probe is given up at the deadline; the next listing waits for
      // it instead of joining it on the stalled share.
      {"probe that never answers",
       [](SaverRun& r) { r.fake.files.neverAnswer = true; },
       {30},
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SaverRun run(30);
    run.Start();
    c.script(run);
    run.fake.Advance(120);
    std::vector<std::int64_t> lists;
    for (const auto& l : run.fake.files.lists) lists.push_back(l.second);
    EXPECT_EQ(lists, c.lists);
    EXPECT_EQ(run.engine().plays, c.plays);
    EXPECT_FALSE(run.engine().shown.has_value());
    EXPECT_EQ(run.fake.files.mostOut, 1);
    run.Key("");
  }
}

// While the display is dark no clip plays or starts; once it is back a
// full pause begins, whatever the cycle was doing when it went dark.
TEST(frmVid, NothingPlaysWhileTheDisplayIsDark) {
  struct Case {
    const char* what;
    int darkAt;  // seconds; the display comes back at 100
    std::vector<std::int64_t> plays;
  };
  const Case cases[] = {
      {"in a pause", 20, {30, 130}},
      {"while the folder is listed", 31, {131}},  // listed in 1.5 s
      {"while a clip opens", 71, {30, 130}},      // opens never answer
      {"while a clip plays", 75, {30, 70, 130}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SaverRun run(30);
    run.fake.files.listAfterMs = c.darkAt == 31 ? 1500 : 0;
    run.Start();
    run.fake.Advance(30);
    if (c.darkAt == 71) run.engine().answerAfterMs = -1;
    run.fake.Advance(c.darkAt - 30);
    run.window().events->DisplayPower(false);
    EXPECT_FALSE(run.window().timTimer.enabled);
    EXPECT_FALSE(run.engine().busy);
    EXPECT_FALSE(run.engine().shown.has_value());
    run.engine().answerAfterMs = 0;
    run.fake.Advance(100 - c.darkAt);
    run.window().events->DisplayPower(true);
    run.fake.Advance(35);
    EXPECT_EQ(run.engine().plays, c.plays);
    run.Key("");
  }
}

TEST(frmVid, AClipThatStandsStillOrFailsWhilePlayingEndsAndTheCycleGoesOn) {
  struct Case {
    const char* what;
    bool stalls;
    bool failsAt33;
    std::vector<std::int64_t> plays;
  };
  const Case cases[] = {
      {"stalls", true, false, {30, 65}},  // ended 5 s after it began
      {"error while playing", false, true, {30, 63}},
      {"plays on without an end", false, false, {30}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SaverRun run(30);
    run.Start();
    run.engine().clipSeconds = -1;
    run.engine().stalls = c.stalls;
    run.fake.Advance(33);
    if (c.failsAt33) {
      fake::FakeEngine& engine = run.engine();
      engine.events->Failed(engine.opens.back().clip,
                            PlatformError(5, "decoder"));
    }
    run.fake.Advance(37);
    EXPECT_EQ(run.engine().plays, c.plays);
  }
}

TEST(frmVid, CharacterKeyEndsAtEveryMomentAfterRestoringTheCursor) {
  struct Case {
    const char* moment;
    int seconds;          // run before the key
    int answerAfterMs;    // -1: the engine never answers
    const char* control;  // nullptr: the system closes the window
    int cursorCount, showCursorCalls;
  };
  const Case cases[] = {
      {"pause", 5, 0, "", 0, 1},
      {"while opening", 30, 500, "", -3, 3},
      {"engine never answers", 31, -1, "", 0, 1},
      {"playing, on the player", 31, 0, "vid", 2, 1},
      {"playing, on the window", 31, 0, "", 0, 1},
      {"closed by the system", 31, 0, nullptr, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.moment);
    SaverRun run(30);
    run.fake.cursor.count = c.cursorCount;
    run.Start();
    run.engine().answerAfterMs = c.answerAfterMs;
    run.fake.Advance(c.seconds);
    if (c.answerAfterMs != 0) {
      // The file went to the engine, which has not answered yet.
      EXPECT_EQ(run.engine().opens.size(), 1u);
      EXPECT_TRUE(run.engine().plays.empty());
    }
    if (c.control)
      run.Key(c.control);
    else
      EXPECT_THROW(run.window().events->Closed(), ProgramEnded);
    EXPECT_EQ(run.fake.cursor.calls, c.showCursorCalls);
    // Taken down in order: the engine stops before its window goes.
    EXPECT_TRUE(run.window().closed);
    EXPECT_FALSE(run.window().engineBusyAtClose);
    EXPECT_FALSE(run.window().timTimer.enabled);
    // Nothing still queued brings the saver back.
    run.fake.Advance(60);
    EXPECT_TRUE(run.engine().plays.size() <= 1u && !run.engine().shown);
  }
}

TEST(frmVid, ShowsTheClipAtItsSizeScaledToFitAndPlacedInsideTheWindow) {
  struct Case {
    int windowW, windowH;  // twips
    PixelSize clip;
    PixelSize shown;          // pixels
    int leftAtTop, topAtTop;  // twips, with its draw at the top; 0 gives 0
    bool preview = false;
  };
  const Case cases[] = {
      {15360, 11520, {320, 240}, {320, 240}, 10559, 7919},
      {38400, 21600, {320, 240}, {320, 240}, 33599, 17999},  // spans past 16
                                                             // bits
      {15360, 11520, {1024, 768}, {1024, 768}, 0, 0},
      {15360, 11520, {2048, 1024}, {1024, 512}, 0, 3839},  // scaled down
      {15360, 11520, {0, 0}, {239, 179}, 11774, 8834},     // no picture: design
                                                           // size
      {15360, 11520, {kLargestPictureSide + 1, 10}, {239, 179}, 11774, 8834},
      {15360, 11520, {kLargestPictureSide, 1}, {1024, 1}, 0, 11504},
      {kPreviewWidth, kPreviewHeight, {320, 240}, {149, 112}, 44, 0, true},
      {kPreviewWidth, kPreviewHeight, {100, 50}, {100, 50}, 779, 929, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.clip.width << "x" << c.clip.height);
    for (float r : {0.0f, kTop}) {
      SaverRun run(1);
      run.fake.windows.saverWidth = c.windowW;
      run.fake.windows.saverHeight = c.windowH;
      if (c.preview)
        run.StartPreview();
      else
        run.Start();
      run.engine().clipSize = c.clip;
      // Left and Top take draws of their own, one at each end.
      run.fake.random.script = {0.0f, r, kTop - r};  // clip, Left, Top
      run.fake.Advance(1);
      ASSERT_EQ(run.engine().plays.size(), 1u);
      EXPECT_EQ(run.vid().Left(), r == 0.0f ? 0 : c.leftAtTop);
      EXPECT_EQ(run.vid().Top(), r == 0.0f ? c.topAtTop : 0);
      ASSERT_TRUE(run.engine().shown.has_value());
      PixelRect shown = *run.engine().shown;
      EXPECT_EQ((PixelSize{shown.width, shown.height}), c.shown);
      EXPECT_LE(shown.left + shown.width, c.windowW / 15);
      EXPECT_LE(shown.top + shown.height, c.windowH / 15);
    }
  }
}

}  // namespace
}  // namespace tarnlight
