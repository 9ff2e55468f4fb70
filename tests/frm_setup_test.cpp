#include "setup/frm_setup.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>

#include "platform/error.h"
#include "setup/frm_setup_layout.h"
#include "startup/main.h"
#include "tests/fake/fake_backend.h"

namespace tarnlight {
namespace {

using fake::FakeBackend;
using fake::ProgramEnded;

// The dialog as "/c" opens it, over the given stored settings.
class SetupRun {
 public:
  SetupRun(const char* folder, const char* interval, const char* from,
           const char* until) {
    fake.store.Put("vidFolder", folder);
    fake.store.Put("intervalTime", interval);
    fake.store.Put("timeFrom", from);
    fake.store.Put("timeUntil", until);
    fake.program.command = "/c:4711";
    app.Main();
    fake.store.writes.clear();
  }
  fake::FakeSetupWindow& window() { return *fake.windows.setup; }
  WindowEvents& events() { return *window().events; }

  FakeBackend fake;
  Tarnlight app{fake.services};
};

TEST(frmSetup, LoadShowsStoredValuesAndOkSavesAllFourInOrder) {
  SetupRun run("d:\\clips", "45", "09:00", "18:00");
  EXPECT_EQ(run.window().text("txtSource").text, "d:\\clips");
  EXPECT_EQ(run.window().text("txtInterval").text, "45");
  fake::FakeListBox& from = run.window().list("lstFrom");
  fake::FakeListBox& until = run.window().list("lstUntil");
  ASSERT_EQ(from.items.size(), 48u);
  for (int k = 0; k < 48; ++k) {
    char entry[16];
    std::snprintf(entry, sizeof entry, "%02d:%s", k / 2, k % 2 ? "30" : "00");
    EXPECT_EQ(from.items[k], entry);
  }
  EXPECT_EQ(until.items, from.items);
  EXPECT_EQ(from.index, 18);
  EXPECT_EQ(until.index, 36);

  EXPECT_THROW(run.events().Click("Command1"), ProgramEnded);
  EXPECT_EQ(
      run.fake.store.writes,
      (std::vector<std::string>{"vidFolder=d:\\clips\\", "intervalTime=45",
                                "timeFrom=09:00", "timeUntil=18:00"}));
  EXPECT_EQ(run.window().text("txtSource").text, "d:\\clips\\");
}

TEST(frmSetup, TimesNotInTheListAreOfferedAndKeptByOk) {
  struct Case {
    const char* from;
    const char* until;
    int fromIndex, untilIndex;  // 48: the extra entry after the half hours
  };
  const Case cases[] = {{"7:30", "09:15", 48, 48},
                        {"23:30", "00:00", 47, 0},
                        {"10:15", "23:59", 48, 48},
                        {"22:00", "06:00", 44, 12},
                        {"09:00 ", "18:00:00", 48, 48}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.from) + " " + c.until);
    SetupRun run("c:\\", "30", c.from, c.until);
    fake::FakeListBox& from = run.window().list("lstFrom");
    fake::FakeListBox& until = run.window().list("lstUntil");
    EXPECT_EQ(from.index, c.fromIndex);
    EXPECT_EQ(until.index, c.untilIndex);
    EXPECT_EQ(from.items.size(), c.fromIndex == 48 ? 49u : 48u);
    EXPECT_THROW(run.events().Click("Command1"), ProgramEnded);
    EXPECT_EQ(run.fake.store.Value("timeFrom"), c.from);
    EXPECT_EQ(run.fake.store.Value("timeUntil"), c.until);
  }
  // Picking another entry, or none, replaces the hand-set time.
  for (auto [index, stored] : {std::pair{20, "10:00"}, {-1, ""}}) {
    SetupRun run("c:\\", "30", "10:15", "18:00");
    run.window().list("lstFrom").index = index;
    EXPECT_THROW(run.events().Click("Command1"), ProgramEnded);
    EXPECT_EQ(run.fake.store.Value("timeFrom"), stored);
  }
}

TEST(frmSetup, OkWritesWhatWasTypedAddingOnlyTheBackslash) {
  struct Case {
    const char* typedFolder;
    const char* typedInterval;
    const char* storedFolder;
  };
  const Case cases[] = {{"", "", "\\"},
                        {"c:/clips/", "abc", "c:/clips/\\"},
                        {"e:\\v\\", "-4", "e:\\v\\"},
                        {"\\\\server\\share", "12.6", "\\\\server\\share\\"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typedFolder);
    SetupRun run("c:\\", "30", "09:00", "18:00");
    run.window().text("txtSource").text = c.typedFolder;
    run.window().text("txtInterval").text = c.typedInterval;
    EXPECT_THROW(run.events().Click("Command1"), ProgramEnded);
    EXPECT_EQ(run.fake.store.Value("vidFolder"), c.storedFolder);
    EXPECT_EQ(run.fake.store.Value("intervalTime"), c.typedInterval);
  }
}

TEST(frmSetup, LoadWritesDefaultsForEmptyKeysButLeavesTheBoxesEmpty) {
  FakeBackend fake;
  Module1 m;
  m.timeFrom = "09:00";
  m.timeUntil = "18:00";
  Lifecycle lifecycle(fake.program);
  frmSetup setup(m, fake.services, lifecycle);
  setup.ShowModal();
  EXPECT_EQ(fake.store.writes,
            (std::vector<std::string>{"vidFolder=c:\\", "intervalTime=30"}));
  EXPECT_EQ(fake.windows.setup->text("txtSource").text, "");
  EXPECT_EQ(fake.windows.setup->text("txtInterval").text, "");
  // Cancel afterwards writes nothing more, and the defaults stay.
  EXPECT_THROW(setup.Click("cmdClose"), ProgramEnded);
  EXPECT_EQ(fake.store.writes.size(), 2u);
}

TEST(frmSetup, AFailedSaveIsShownAndTheDialogStaysOpen) {
  SetupRun run("d:\\clips\\", "45", "09:00", "18:00");
  run.fake.store.writeFailure =
      PlatformError(75,
                    "Unable to save the settings to /x/Tarnlight.ini: "
                    "Permission denied");
  run.events().Click("Command1");
  EXPECT_FALSE(run.fake.program.ended);
  ASSERT_EQ(run.fake.messageBox.shown.size(), 1u);
  EXPECT_EQ(run.fake.messageBox.shown[0].first,
            "Unable to save the settings to /x/Tarnlight.ini: Permission "
            "denied (Error 75)");
  EXPECT_EQ(run.fake.messageBox.shown[0].second, "Tarnlight");
  // Once the store works again, OK saves and ends.
  run.fake.store.writeFailure.reset();
  EXPECT_THROW(run.events().Click("Command1"), ProgramEnded);
  EXPECT_EQ(run.fake.store.Value("intervalTime"), "45");
}

// Any press that holds the left button opens the link under the
// hourglass; the others only hand the pointer back.
TEST(frmSetup, LeftPressOnTheLinkOpensItUnderTheHourglass) {
  for (int button : {1, 3, 2, 4, 6, 0}) {
    SCOPED_TRACE(button);
    SetupRun run("c:\\", "30", "09:00", "18:00");
    run.events().MouseDown("Label4", {button, 0, 10, 10});
    EXPECT_TRUE(run.fake.messageBox.shown.empty());
    if (!(button & 1)) {
      EXPECT_TRUE(run.fake.shell.calls.empty());
      EXPECT_EQ(run.fake.pointer.codes, (std::vector<int>{0}));
      continue;
    }
    ASSERT_EQ(run.fake.shell.calls.size(), 1u);
    const auto& call = run.fake.shell.calls[0];
    EXPECT_EQ(call.owner, run.window().hWnd());
    EXPECT_EQ(call.address, "http://tarnlight.example.org/");
    EXPECT_EQ(run.fake.shell.pointerAtCall, (std::vector<int>{11}));
    EXPECT_EQ(run.fake.pointer.codes, (std::vector<int>{11, 0}));
  }
}

TEST(frmSetup, ShellFailureShowsTheExactMessageAndTheDialogGoesOn) {
  SetupRun run("c:\\", "30", "09:00", "18:00");
  run.fake.shell.failure = PlatformError(53, "File not found: shell32");
  run.events().MouseDown("Label4", {3, 0, 0, 0});
  ASSERT_EQ(run.fake.messageBox.shown.size(), 1u);
  EXPECT_EQ(run.fake.messageBox.shown[0].first,
            "Unable to load 'http://tarnlight.example.org/' : File not found: "
            "shell32 (Error 53)");
  EXPECT_EQ(run.fake.messageBox.shown[0].second, "Tarnlight");
  EXPECT_EQ(run.fake.pointer.codes, (std::vector<int>{11, 0}));
  EXPECT_FALSE(run.fake.program.ended);
  // Still usable: a second press with a working shell opens the link.
  run.fake.shell.failure.reset();
  run.events().MouseDown("Label4", {1, 0, 0, 0});
  EXPECT_EQ(run.fake.shell.calls.size(), 1u);
}

TEST(frmSetup, MouseOverTheLinkShowsTheQuestionArrowThere) {
  SetupRun run("c:\\", "30", "09:00", "18:00");
  run.events().MouseMove("Label4", {0, 0, 5, 5});
  EXPECT_EQ(run.window().label("Label4").pointer, 14);
  for (const char* other : {"Label3", "lblFolder", "Label1"})
    EXPECT_EQ(run.window().label(other).pointer, 0) << other;
  EXPECT_TRUE(run.fake.pointer.codes.empty());
}

// What a back end relies on when it builds the dialog from the table; the
// icon's rows are checked by the tool that draws it at build time.
TEST(FrmSetupLayout, NamesTabStopsAndEdgesAreWellFormed) {
  const FormLayout& layout = FrmSetupLayout();
  std::set<int> tabs;
  std::set<std::string_view> names;
  for (const ControlLayout& c : layout.controls) {
    tabs.insert(c.tabIndex);
    names.insert(c.name);
    EXPECT_LE(c.left + c.width, layout.clientWidth) << c.name;
    EXPECT_LE(c.top + c.height, layout.clientHeight) << c.name;
  }
  EXPECT_EQ(tabs.size(), layout.controls.size());
  EXPECT_EQ(names.size(), layout.controls.size());
}

}  // namespace
}  // namespace tarnlight
