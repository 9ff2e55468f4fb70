#include "saver/frm_vid.h"

#include <gtest/gtest.h>

#include <exception>
#include <tuple>

#include "startup/main.h"
#include "tests/fake/fake_backend.h"

namespace tarnlight {
namespace {

using fake::FakeBackend;
using fake::ProgramEnded;

const float kTop = 0x1.fffffep-1f;  // the largest float below 1

// A saver run on the fake back end, started through Main as the system
// would start it; a preview as the Windows shell starts it in its settings
// dialog's small monitor.
struct SaverRun {
  explicit SaverRun(int interval, const char* from = "00:00",
                    const char* until = "23:59") {
    fake.store["vidFolder"] = "d:\\clips\\";
    fake.store["intervalTime"] = std::to_string(interval);
    fake.store["timeFrom"] = from;
    fake.store["timeUntil"] = until;
  }
  void Start(bool preview = false) {
    fake.system.command = preview ? "/p 4660" : "/s";
    ASSERT_TRUE(
        app.Main(preview ? Convention::WindowsShell : Convention::Substrings));
  }
  fake::FakeSaverWindow& window() { return *fake.saver; }
  fake::FakeEngine& engine() { return window().vid; }
  void Advance(int seconds) { fake.loop.Advance(seconds); }
  // A key to `control` ends the run, or the system closes the window
  // (nullptr). It is taken down in order, the engine stopped before its
  // window goes, and nothing still queued brings it back.
  void End(const char* control = "") {
    if (control)
      EXPECT_THROW(window().events->KeyPress(control, 'q'), ProgramEnded);
    else
      EXPECT_THROW(window().events->Closed(), ProgramEnded);
    EXPECT_TRUE(window().closed && !window().engineBusyAtClose);
    EXPECT_FALSE(window().timerOn);
    const std::size_t plays = engine().plays.size();
    Advance(60);
    EXPECT_TRUE(engine().plays.size() == plays && !engine().shown);
  }

  FakeBackend fake;
  Tarnlight app{fake.services};
};

// A clip starts only inside the daily window, both ends included, and
// never with an interval of 0 or below; otherwise the pause starts again.
TEST(frmVid, PlaysOnlyInsideTheDailyWindowAndAfterAPositiveInterval) {
  // From, until, the clock when the pause has elapsed, whether a clip
  // plays, and the interval.
  const std::tuple<const char*, const char*, LocalTime, bool, int> cases[] = {
      {"09:00", "18:00", {8, 59, 59}, false, 1},
      {"09:00", "18:00", {9, 0, 0}, true, 1},
      {"09:00", "18:00", {18, 0, 59}, true, 1},
      {"09:00", "18:00", {18, 1, 0}, false, 1},
      {"12:00", "12:00", {12, 0, 30}, true, 1},
      // Equal ends: that minute alone.
      {"12:00", "12:00", {12, 1, 0}, false, 1},
      {"22:00", "06:00", {23, 0, 0}, false, 1},
      // Unreadable times start no clip.
      {"09:00", "25:00", {12, 0, 0}, false, 1},
      {"00:00", "23:59", {12, 0, 0}, false, 0},
      // What a 16-bit tick count would reach after 32,767 ticks.
      {"00:00", "23:59", {12, 0, 0}, false, -32768},
  };
  for (auto [from, until, at, plays, interval] : cases) {
    SCOPED_TRACE(testing::Message() << from << "-" << until << " " << interval);
    SaverRun run(interval, from, until);
    run.Start();
    run.fake.system.now = at;
    run.Advance(interval > 0 ? 1 : 40000);
    EXPECT_EQ(run.engine().plays.size(), plays ? 1u : 0u);
    EXPECT_EQ(run.fake.files.lists.size(), plays ? 1u : 0u);
    EXPECT_EQ(run.window().timerOn, !plays);
  }
}

// The interval passes before each clip and again after its end. Every way
// a clip can fail to start, or stop playing, gives a full new pause,
// counted from the moment the failure is known. The folder is listed off
// the GUI thread, as long as it takes, with the timer off; only one
// question is ever with the file system, and a key never waits for it.
// While the display is dark no clip plays or starts; once it is back a full
// pause begins, whatever the cycle was doing when it went dark.
TEST(frmVid, PausesBeforeEachClipAfterEveryEndOrFailureAndWhileDark) {
  using Seconds = std::vector<std::int64_t>;
  struct Case {
    const char* what;
    fake::EngineScript engine;
    fake::FilesScript files;
    Seconds lists, plays;
    int darkAt = 0;  // the second the display goes dark, until 60
  };
  const Seconds every30{30, 60, 90, 120}, every40{30, 70, 110};
  const Seconds every35{30, 65, 100}, every33{30, 63, 96};
  const PlatformError error(53, "no");
  const Case cases[] = {
      {"played to its end", {}, {}, every40, every40},
      {"refused by the engine", {.openFailure = error}, {}, every30, {}},
      {"failed start", {.play = [&] { throw error; }}, {}, every30, {}},
      {"std error", {.play = [] { throw std::exception(); }}, {}, every30, {}},
      {"empty folder", {}, {.names = {}}, every30, {}},
      {"not a regular file", {}, {.kind = FileKind::Other}, every30, {}},
      {"failing listing", {}, {.listFailure = error}, every30, {}},
      // The open is given up at the deadline, 2 s after the tick.
      {"engine never answers", {.answerAfterMs = -1}, {}, {30, 62, 94}, {}},
      {"engine answers late", {.answerAfterMs = 2500}, {}, {30, 62, 94}, {}},
      {"listing never answers", {}, {.listAfterMs = -1}, {30}, {}},
      {"listing answers late", {}, {.listAfterMs = 45000}, {30, 115}, {75}},
      // The probe is given up at the deadline; the next listing waits for
      // it instead of joining it on the stalled share.
      {"probe never answers", {}, {.probeAfterMs = -1}, {30}, {}},
      // Ended when its clock has stood still 5 s.
      {"stalls", {.clipSeconds = -1, .stalls = true}, {}, every35, every35},
      {"fails", {.clipSeconds = 3, .failsAtEnd = true}, {}, every33, every33},
      {"plays on without an end", {.clipSeconds = -1}, {}, {30}, {30}},
      {"dark in a pause", {}, {}, {90}, {90}, 20},
      {"dark while listing", {}, {.listAfterMs = 1500}, {30, 90}, {91}, 31},
      {"dark while opening", {.answerAfterMs = 1500}, {}, {30, 90}, {91}, 31},
      {"dark while playing", {}, {}, {30, 90}, {30, 90}, 35},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SaverRun run(30);
    run.Start();
    run.engine().script = c.engine;
    run.fake.files.script = c.files;
    // Nothing plays or shows either way, and only a lit display pauses.
    auto power = [&run](bool on) {
      run.window().events->DisplayPower(on);
      EXPECT_EQ(run.window().timerOn, on);
      EXPECT_FALSE(run.engine().current || run.engine().shown);
    };
    if (c.darkAt) run.fake.loop.After(c.darkAt * 1000, [=] { power(false); });
    if (c.darkAt) run.fake.loop.After(60000, [=] { power(true); });
    run.Advance(120);
    EXPECT_EQ(run.fake.files.lists, c.lists);
    EXPECT_EQ(run.engine().plays, c.plays);
    EXPECT_EQ(run.engine().shown.has_value(), c.plays == Seconds{30});
    EXPECT_EQ(run.fake.files.mostOut, 1);
    run.End();
  }
}

// A key ends the saver at every moment: each row of the pause table ends
// with one. The cursor is shown again first (its count read as 16 bits),
// whether the key went to the form or to the player, but not when the
// system closes the window.
TEST(frmVid, CharacterKeyEndsAfterRestoringTheCursor) {
  // The control, the cursor's count before and the calls to show it.
  const std::tuple<const char*, int, int> cases[] = {
      {"", -3, 3}, {"vid", 2, 1}, {nullptr, 0, 0}};
  for (auto [control, cursorCount, calls] : cases) {
    SCOPED_TRACE(control ? control : "closed");
    SaverRun run(30);
    run.fake.system.cursorCount = cursorCount;
    run.Start();
    run.engine().script.answerAfterMs = 500;  // opening at the end
    run.Advance(30);
    run.End(control);
    EXPECT_EQ(run.fake.system.cursorCalls, calls);
  }
}

TEST(frmVid, ShowsTheClipAtItsSizeScaledToFitAndPlacedInsideTheWindow) {
  // The window in twips, the clip and the size shown in pixels, Left and Top
  // in twips with their draws at the top (0 gives 0), and whether a preview.
  const int w = 15360, h = 11520, largest = kLargestPictureSide;
  const std::tuple<int, int, PixelSize, PixelSize, int, int, bool> cases[] = {
      {w, h, {320, 240}, {320, 240}, 10559, 7919, false},
      // Spans past 16 bits.
      {38400, 21600, {320, 240}, {320, 240}, 33599, 17999, false},
      {w, h, {2048, 1024}, {1024, 512}, 0, 3839, false},
      // No picture, or past the largest: the design size.
      {w, h, {0, 0}, {239, 179}, 11774, 8834, false},
      {w, h, {largest + 1, 10}, {239, 179}, 11774, 8834, false},
      {w, h, {largest, 1}, {1024, 1}, 0, 11504, false},
      // A preview's monitor.
      {2280, 1680, {320, 240}, {149, 112}, 44, 0, true},
  };
  for (auto [windowW, windowH, clip, size, leftAtTop, topAtTop, preview] :
       cases) {
    SCOPED_TRACE(testing::Message() << clip.width << "x" << clip.height);
    for (float r : {0.0f, kTop}) {
      SaverRun run(1);
      run.fake.saverWidth = windowW;
      run.fake.saverHeight = windowH;
      run.Start(preview);
      run.engine().script.clipSize = clip;
      // Left and Top take draws of their own, one at each end.
      run.fake.system.draws = {0.0f, r, kTop - r};  // clip, Left, Top
      run.Advance(1);
      const VidPlayer& vid = run.app.saver()->vid();
      EXPECT_EQ(vid.Left(), r == 0.0f ? 0 : leftAtTop);
      EXPECT_EQ(vid.Top(), r == 0.0f ? topAtTop : 0);
      const PixelRect shown = run.engine().shown.value();
      EXPECT_EQ((PixelSize{shown.width, shown.height}), size);
      EXPECT_LE(shown.left + shown.width, windowW / 15);
      EXPECT_LE(shown.top + shown.height, windowH / 15);
    }
  }
}

}  // namespace
}  // namespace tarnlight
