#include "startup/main.h"

#include <gtest/gtest.h>

#include "startup/mode.h"
#include "tests/fake/fake_backend.h"

namespace tarnlight {
namespace {

using fake::FakeBackend;

TEST(TarnlightMain, FreshStoreGetsEachDefaultRightAfterItsReadWhateverTheMode) {
  const std::vector<std::string> defaultsLog{
      "get timeFrom",         "save timeFrom=09:00", "get timeUntil",
      "save timeUntil=18:00", "get vidFolder",       "save vidFolder=c:\\",
      "get intervalTime",     "save intervalTime=30"};
  for (const char* command : {"", "/s", "/c", "/p 1234"}) {
    SCOPED_TRACE(command);
    FakeBackend fake;
    fake.program.command = command;
    Tarnlight app(fake.services);
    app.Main();
    fake.store.log.resize(std::min(fake.store.log.size(), defaultsLog.size()));
    EXPECT_EQ(fake.store.log, defaultsLog);
    EXPECT_EQ(app.module1().timeFrom, "09:00");
    EXPECT_EQ(app.module1().timeUntil, "18:00");
    EXPECT_EQ(app.module1().vidFolder, "c:\\");
    EXPECT_EQ(app.module1().intervalTime, 30);
  }
}

// Whatever the store held stays there for the dialog to show and the user
// to mend; an interval that is no number runs as 30.
TEST(TarnlightMain, EmptyValuesActAsMissingAndOthersStayAsStored) {
  for (const auto& [interval, runs] :
       {std::pair{"13.5", 14}, {"abc", 30}, {"32768", 30}}) {
    SCOPED_TRACE(interval);
    FakeBackend fake;
    fake.store.Put("timeFrom", "7:15");
    fake.store.Put("timeUntil", "");
    fake.store.Put("vidFolder", "d:\\clips\\");
    fake.store.Put("intervalTime", interval);
    Tarnlight app(fake.services);
    app.Main();
    EXPECT_EQ(app.module1().timeFrom, "7:15");
    EXPECT_EQ(app.module1().timeUntil, "18:00");
    EXPECT_EQ(app.module1().vidFolder, "d:\\clips\\");
    EXPECT_EQ(app.module1().intervalTime, runs);
    EXPECT_EQ(fake.store.writes, std::vector<std::string>{"timeUntil=18:00"});
  }
}

TEST(TarnlightMain, AStoreThatCannotBeWrittenStillRunsOnTheDefaults) {
  for (const char* command : {"/s", "/c", ""}) {
    SCOPED_TRACE(command);
    FakeBackend fake;
    fake.store.writeFailure = PlatformError(75, "read-only");
    fake.program.command = command;
    Tarnlight app(fake.services);
    EXPECT_EQ(app.Main(), std::string(command) == "/s");
    EXPECT_EQ(app.module1().timeFrom, "09:00");
    EXPECT_EQ(app.module1().intervalTime, 30);
    EXPECT_TRUE(fake.messageBox.shown.empty());
  }
}

TEST(TarnlightMain, ModeComesFromCaseSensitiveSubstringsWithSetupFirst) {
  enum Opens { Setup, Saver, Nothing };
  struct Case {
    const char* command;
    Opens opens;
  };
  const Case cases[] = {
      {"/c:123", Setup},   {"/s", Saver},    {"/s /c", Setup}, {"/c /s", Setup},
      {"x/sy", Saver},     {"/S", Nothing},  {"/C", Nothing},  {"", Nothing},
      {"/p 123", Nothing}, {"c s", Nothing},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    FakeBackend fake;
    fake.program.command = c.command;
    Tarnlight app(fake.services);
    // Only the saver leaves a window for the event loop.
    EXPECT_EQ(app.Main(), c.opens == Saver);
    EXPECT_EQ(fake.windows.setupCreated == 1 && fake.windows.setup->shownModal,
              c.opens == Setup);
    EXPECT_EQ(fake.windows.saverCreated == 1 && fake.windows.saver->shown,
              c.opens == Saver);
    EXPECT_EQ(fake.windows.setupCreated + fake.windows.saverCreated,
              c.opens == Nothing ? 0 : 1);
    EXPECT_FALSE(fake.program.ended);
  }
}

// The shell's own forms stand alone; any other text is read as before.
TEST(ChooseMode, TheWindowsShellsFormsAndEverythingElseAsSubstrings) {
  struct Case {
    const char* command;
    Choice choice;
  };
  const Case cases[] = {
      {"", {Mode::Setup}},
      {" \t", {Mode::Setup}},
      {"/s", {Mode::Saver}},
      {"/S", {Mode::Saver}},
      {"/c", {Mode::Setup}},
      {"/C ", {Mode::Setup}},
      {"/c:4660", {Mode::Setup, 4660}},
      {"/C 4660", {Mode::Setup, 4660}},
      {"/c \t 4660", {Mode::Setup, 4660}},
      {"/p 4660", {Mode::Preview, 4660}},
      {"/P 4660", {Mode::Preview, 4660}},
      {"/p:4660", {Mode::Preview, 4660}},
      {"/p 0", {Mode::Preview, 0}},
      {"/p", {Mode::Preview, 0}},
      {"/p 4294967295", {Mode::Preview, 4294967295u}},
      {"/a", {Mode::None}},
      // Not one of the forms: substrings, as under the other convention.
      {"/p 18446744073709551616", {Mode::None}},
      {"/p 12x", {Mode::None}},
      {"/p -1", {Mode::None}},
      {"/p:", {Mode::None}},
      {"/pc", {Mode::None}},
      {"/c:12x", {Mode::Setup}},
      {"/p 5 /s", {Mode::Saver}},
      {"/S /x", {Mode::None}},
      {"/s /c", {Mode::Setup}},
      {"/A", {Mode::None}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    Choice choice = ChooseMode(c.command, Convention::WindowsShell);
    EXPECT_EQ(choice.mode, c.choice.mode);
    EXPECT_EQ(choice.window, c.choice.window);
  }
}

}  // namespace
}  // namespace tarnlight
