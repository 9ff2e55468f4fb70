#include "startup/main.h"

#include <gtest/gtest.h>

#include <tuple>

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
    // The command and the number of windows it makes.
    for (auto [command, windows] :
         {std::pair{"", 0}, {"/s", 1}, {"/c", 1}, {"/p 1234", 0}}) {
      SCOPED_TRACE(testing::Message()
                   << command << (fails ? " read-only" : ""));
      FakeBackend fake;
      fake.system.command = command;
      if (fails) fake.store.writeFailure = PlatformError(75, "read-only");
      Tarnlight app(fake.services);
      EXPECT_EQ(app.Main(), std::string(command) == "/s");
      EXPECT_EQ(fake.created, windows);
      fake.store.log.resize(defaultsLog.size());
      EXPECT_EQ(fake.store.log, defaultsLog);
      const Module1& m = app.module1();
      EXPECT_EQ(m.timeFrom + m.timeUntil + m.vidFolder, "09:0018:00c:\\");
      EXPECT_EQ(m.intervalTime, 30);
      EXPECT_TRUE(fake.system.said.empty());
    }
  }
}

// Whatever the store held stays there, unwritten, for the dialog to show
// and the user to mend; an interval that is no number runs as 30.
TEST(TarnlightMain, StoredValuesStayAsStored) {
  for (const auto& [interval, runs] :
       {std::pair{"13.5", 14}, {"abc", 30}, {"32768", 30}}) {
    SCOPED_TRACE(interval);
    FakeBackend fake;
    for (const char* key : {"timeFrom", "timeUntil", "vidFolder"})
      fake.store[key] = "7:15";
    fake.store["intervalTime"] = interval;
    Tarnlight app(fake.services);
    app.Main();
    const Module1& m = app.module1();
    EXPECT_EQ(m.timeFrom + m.timeUntil + m.vidFolder, "7:157:157:15");
    EXPECT_EQ(m.intervalTime, runs);
    EXPECT_EQ(fake.store.log.size(), 4u);
  }
}

// Substrings are case-sensitive, setup first; the Windows shell's own forms
// stand alone, and any other text is read as substrings. How Main opens
// each window is the other tests' start.
TEST(ChooseMode, TheCommandLineChoosesTheWindowUnderEachConvention) {
  const auto S = Convention::Substrings, W = Convention::WindowsShell;
  using enum Mode;
  const std::tuple<Convention, Mode, std::uintptr_t, std::vector<const char*>>
      cases[] = {
          {S, Setup, 0, {"/c:123", "/s /c", "/c /s"}},
          {S, Saver, 0, {"/s", "x/sy"}},
          {S, None, 0, {"/S", "/C", "", "/p 123", "c s"}},
          {W, Setup, 0, {"", " \t", "/c", "/C ", "/c:12x", "/s /c"}},
          {W, Setup, 4660, {"/c:4660", "/C 4660", "/c \t 4660"}},
          {W, Saver, 0, {"/s", "/S", "/p 5 /s"}},
          {W, Preview, 4660, {"/p 4660", "/P 4660", "/p:4660"}},
          {W, Preview, 0, {"/p 0", "/p"}},
          {W, Preview, 4294967295u, {"/p 4294967295"}},
          {W, None, 0, {"/p 18446744073709551616", "/S /x", "/p:", "/pc"}},
      };
  for (const auto& [convention, mode, window, commands] : cases) {
    for (const char* command : commands) {
      Choice choice = ChooseMode(command, convention);
      EXPECT_EQ(choice.mode, mode) << command << (convention == W ? " W" : "");
      EXPECT_EQ(choice.window, window) << command;
    }
  }
}

}  // namespace
}  // namespace tarnlight
