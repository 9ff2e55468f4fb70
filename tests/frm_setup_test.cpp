#include "setup/frm_setup.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <tuple>

#include "platform/error.h"
#include "setup/frm_setup_layout.h"
#include "startup/main.h"
#include "tests/fake/fake_backend.h"

namespace tarnlight {
namespace {

using fake::FakeBackend;
using fake::ProgramEnded;
using Lines = std::vector<std::string>;

// The dialog as "/c" opens it, over the given stored settings; `log` holds
// only what the dialog does after it was shown.
struct SetupRun {
  explicit SetupRun(const char* from = "09:00", const char* until = "18:00") {
    fake.store["vidFolder"] = "d:\\clips";
    fake.store["intervalTime"] = "45";
    fake.store["timeFrom"] = from;
    fake.store["timeUntil"] = until;
    fake.system.command = "/c:4711";
    app.Main();
    fake.store.log.clear();
  }
  fake::FakeControl& operator[](std::string_view name) {
    return (*fake.setup)[name];
  }
  WindowEvents& events() { return *fake.setup->events; }
  void Ok() { EXPECT_THROW(events().Click("Command1"), ProgramEnded); }

  FakeBackend fake;
  Tarnlight app{fake.services};
};

// The stored times among the half hours; one that is not there is offered
// after them, and OK keeps it.
TEST(frmSetup, LoadShowsTheStoredValuesAndOkKeepsTimesNotInTheList) {
  // From, until, and their entries; 48 is the one after the half hours.
  const std::tuple<const char*, const char*, int, int> cases[] = {
      {"09:00", "18:00", 18, 36}, {"7:30", "09:15", 48, 48},
      {"23:30", "00:00", 47, 0},  {"10:15", "23:59", 48, 48},
      {"22:00", "06:00", 44, 12}, {"09:00 ", "18:00:00", 48, 48}};
  auto offered = [](const char* time, int index) {
    Lines times;
    for (int k = 0; k < 48; ++k)
      times.push_back(std::to_string(100 + k / 2).substr(1) +
                      (k % 2 ? ":30" : ":00"));
    if (index == 48) times.push_back(time);
    return times;
  };
  for (auto [from, until, fromIndex, untilIndex] : cases) {
    SCOPED_TRACE(std::string(from) + " " + until);
    SetupRun run(from, until);
    EXPECT_EQ(run["txtSource"].text + run["txtInterval"].text, "d:\\clips45");
    EXPECT_EQ(run["lstFrom"].index, fromIndex);
    EXPECT_EQ(run["lstUntil"].index, untilIndex);
    EXPECT_EQ(run["lstFrom"].items, offered(from, fromIndex));
    EXPECT_EQ(run["lstUntil"].items, offered(until, untilIndex));
    run.Ok();
    EXPECT_EQ(run.fake.store["timeFrom"], from);
    EXPECT_EQ(run.fake.store["timeUntil"], until);
  }
}

// OK saves all four in order: what was typed as it stands but for the
// folder's backslash, which the box shows too; picking another time, or
// none, replaces a hand-set one.
TEST(frmSetup, OkWritesWhatWasTypedAndPicked) {
  // Folder, interval and the entry picked; the folder and time saved.
  const std::tuple<const char*, const char*, int, const char*, const char*>
      cases[] = {
          {"", "", 20, "\\", "10:00"},
          {"c:/clips/", "abc", -1, "c:/clips/\\", ""},
          {"e:\\v\\", "-4", 48, "e:\\v\\", "10:15"},
          {"\\\\server\\share", "12.6", 48, "\\\\server\\share\\", "10:15"},
      };
  for (auto [folder, interval, fromIndex, saved, from] : cases) {
    SCOPED_TRACE(folder);
    SetupRun run("10:15");
    run["txtSource"].text = folder;
    run["txtInterval"].text = interval;
    run["lstFrom"].index = fromIndex;
    run.Ok();
    EXPECT_EQ(
        run.fake.store.log,
        (Lines{"save vidFolder=" + std::string(saved),
               "save intervalTime=" + std::string(interval),
               "save timeFrom=" + std::string(from), "save timeUntil=18:00"}));
    EXPECT_EQ(run["txtSource"].text, saved);
  }
}

TEST(frmSetup, LoadWritesDefaultsForEmptyKeysButLeavesTheBoxesEmpty) {
  FakeBackend fake;
  Module1 m;
  Lifecycle lifecycle(fake.system);
  frmSetup setup(m, fake.services, lifecycle);
  setup.ShowModal();
  EXPECT_EQ(fake.store.log,
            (Lines{"get vidFolder", "save vidFolder=c:\\", "get intervalTime",
                   "save intervalTime=30"}));
  EXPECT_EQ((*fake.setup)["txtSource"].text, "");
  EXPECT_EQ((*fake.setup)["txtInterval"].text, "");
  // Cancel afterwards writes nothing more, and the defaults stay.
  fake.store.log.clear();
  EXPECT_THROW(setup.Click("cmdClose"), ProgramEnded);
  EXPECT_TRUE(fake.store.log.empty());
}

// Shown, and the dialog stays open; once the store works again, OK saves
// all four and ends.
TEST(frmSetup, AFailedSaveIsShownAndTheDialogStaysOpen) {
  SetupRun run;
  run.fake.store.writeFailure = PlatformError(75, "read-only");
  run.events().Click("Command1");
  EXPECT_EQ(run.fake.system.said,
            Lines{"box read-only (Error 75) | Tarnlight"});
  run.fake.store.writeFailure.reset();
  run.Ok();
  EXPECT_EQ(run.fake.store.log.size(), 5u);
}

// Any press that holds the left button opens the link under the hourglass,
// on behalf of the dialog; a shell that cannot be reached is reported and
// the dialog goes on. The mouse over the link shows the question arrow.
TEST(frmSetup, LeftPressOnTheLinkOpensItUnderTheHourglass) {
  const std::string open = "open http://tarnlight.example.org/ " +
                           std::to_string(fake::FakeSetupWindow::kHandle);
  const std::string box =
      "box Unable to load 'http://tarnlight.example.org/' : File not found: "
      "shell32 (Error 53) | Tarnlight";
  const std::tuple<int, std::optional<PlatformError>, Lines> cases[] = {
      {3, {}, {"pointer 11", open, "pointer 0"}},
      {6, {}, {"pointer 0"}},
      {1,
       PlatformError(53, "File not found: shell32"),
       {"pointer 11", box, "pointer 0"}},
  };
  for (const auto& [button, shellFailure, said] : cases) {
    SCOPED_TRACE(button);
    SetupRun run;
    run.fake.system.shellFailure = shellFailure;
    run.events().MouseMove("Label4", {0, 0, 5, 5});
    run.events().MouseDown("Label4", {button, 0, 10, 10});
    EXPECT_EQ(run.fake.system.said, said);
    EXPECT_EQ(run["Label4"].pointer, 14);
    for (const char* other : {"Label3", "lblFolder", "Label1"})
      EXPECT_EQ(run[other].pointer, 0) << other;
  }
}

// What a back end relies on when it builds the dialog from the table; the
// icon's rows are checked by the tool that draws it at build time.
TEST(FrmSetupLayout, NamesTabStopsAndEdgesAreWellFormed) {
  const FormLayout& layout = FrmSetupLayout();
  std::set<int> tabs;
  std::set<std::string_view> names;
  for (const ControlLayout& c : layout.controls) {
    EXPECT_TRUE(tabs.insert(c.tabIndex).second && names.insert(c.name).second)
        << c.name;
    EXPECT_LE(c.left + c.width, layout.clientWidth) << c.name;
    EXPECT_LE(c.top + c.height, layout.clientHeight) << c.name;
  }
}

}  // namespace
}  // namespace tarnlight
