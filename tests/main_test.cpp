#include "startup/main.h"

#include <gtest/gtest.h>

#include "startup/mode.h"
#include "tests/fake/fake_backend.h"

namespace tarnlight {
namespace {

using fake::FakeBackend;

// Each default is written right after its read, whatever the mode, and a
// store that cannot keep them still runs on them, without a word.
TEST(TarnlightMain, FreshStoreGetsEachDefaultRightAfterItsRead) {
  const std::vector<std::string> defaultsLog{
      "get timeFrom",         "save timeFrom=09:00", "get timeUntil",
      "save timeUntil=18:00", "get vidFolder",       "save vidFolder=c:\\",
      "get intervalTime",     "save intervalTime=30"};
  for (bool fails : {false, true}) {
    for (const char* command : {"", "/s", "/c", "/p 1234"}) {
      SCOPED_TRACE(testing::Message()
                   << command << (fails ? " read-only" : ""));
      FakeBackend fake;
      fake.system.command = command;
      if (fails) fake.store.writeFailure = PlatformError(75, "read-only");
      Tarnlight app(fake.services);
      EXPECT_EQ(app.Main(), std::string(command) == "/s");
      fake.store.log.resize(defaultsLog.size());
      EXPECT_EQ(fake.store.log, defaultsLog);
      const Module1& m = app.module1();
      EXPECT_EQ(m.timeFrom + m.timeUntil + m.vidFolder, "09:0018:00c:\\");
      EXPECT_EQ(m.intervalTime, 30);
      EXPECT_TRUE(fake.system.said.empty());
    }
  }
}

// Whatever the store held stays there for the dialog to show and the user
// to mend; an interval that is no number runs as 30.
TEST(TarnlightMain, EmptyValuesActAsMissingAndOthersStayAsStored) {
  for (const auto& [interval, runs] :
       {std::pair{"13.5", 14}, {"abc", 30}, {"32768", 30}}) {
    SCOPED_TRACE(interval);
    FakeBackend fake;
    fake.store["timeFrom"] = "7:15";
    fake.store["timeUntil"] = "";
    fake.store["vidFolder"] = "d:\\clips\\";
    fake.store["intervalTime"] = interval;
    Tarnlight app(fake.services);
    app.Main();
    const Module1& m = app.module1();
    EXPECT_EQ(m.timeFrom + m.timeUntil + m.vidFolder, "7:1518:00d:\\clips\\");
    EXPECT_EQ(m.intervalTime, runs);
    EXPECT_EQ(fake.store.log[2], "save timeUntil=18:00");
    EXPECT_EQ(fake.store.log.size(), 5u);
  }
}

// Substrings are case-sensitive, setup first; the Windows shell's own forms
// stand alone, and any other text is read as substrings. Only the saver
// leaves a window for the event loop.
TEST(TarnlightMain, TheCommandLineChoosesTheWindowUnderEachConvention) {
  const auto S = Convention::Substrings, W = Convention::WindowsShell;
  struct Case {
    const char* command;
    Convention convention;
    Choice choice;
  };
  const Case cases[] = {
      {"/c:123", S, {Mode::Setup}},
      {"/s", S, {Mode::Saver}},
      {"/s /c", S, {Mode::Setup}},
      {"/c /s", S, {Mode::Setup}},
      {"x/sy", S, {Mode::Saver}},
      {"/S", S, {}},
      {"/C", S, {}},
      {"", S, {}},
      {"/p 123", S, {}},
      {"c s", S, {}},
      {"", W, {Mode::Setup}},
      {" \t", W, {Mode::Setup}},
      {"/s", W, {Mode::Saver}},
      {"/S", W, {Mode::Saver}},
      {"/c", W, {Mode::Setup}},
      {"/C ", W, {Mode::Setup}},
      {"/c:4660", W, {Mode::Setup, 4660}},
      {"/C 4660", W, {Mode::Setup, 4660}},
      {"/c \t 4660", W, {Mode::Setup, 4660}},
      {"/p 4660", W, {Mode::Preview, 4660}},
      {"/P 4660", W, {Mode::Preview, 4660}},
      {"/p:4660", W, {Mode::Preview, 4660}},
      {"/p 0", W, {Mode::Preview, 0}},
      {"/p", W, {Mode::Preview, 0}},
      {"/p 4294967295", W, {Mode::Preview, 4294967295u}},
      {"/a", W, {}},
      {"/p 18446744073709551616", W, {}},
      {"/p 12x", W, {}},
      {"/p -1", W, {}},
      {"/p:", W, {}},
      {"/pc", W, {}},
      {"/c:12x", W, {Mode::Setup}},
      {"/p 5 /s", W, {Mode::Saver}},
      {"/S /x", W, {}},
      {"/s /c", W, {Mode::Setup}},
      {"/A", W, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.command << (c.convention == W ? " W" : ""));
    Choice choice = ChooseMode(c.command, c.convention);
    EXPECT_EQ(choice.mode, c.choice.mode);
    EXPECT_EQ(choice.window, c.choice.window);
    FakeBackend fake;
    fake.system.command = c.command;
    Tarnlight app(fake.services);
    bool saver = c.choice.mode == Mode::Saver || c.choice.mode == Mode::Preview;
    EXPECT_EQ(app.Main(c.convention), saver);
    auto& windows = fake.windows;
    EXPECT_EQ(windows.setup && windows.setup->shownModal,
              c.choice.mode == Mode::Setup);
    EXPECT_EQ(windows.saver && windows.saver->shown, saver);
    EXPECT_EQ(windows.created, c.choice.mode == Mode::None ? 0 : 1);
    EXPECT_FALSE(fake.system.ended);
  }
}

}  // namespace
}  // namespace tarnlight
