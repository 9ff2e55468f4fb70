#include "platform/win32/command_line.h"

#include <gtest/gtest.h>

namespace tarnlight::win32 {
namespace {

TEST(CommandLine, TheArgumentsAreWhatFollowsTheProgramsPath) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {LR"("C:\Program Files\Tarnlight.scr" /p 123)", L"/p 123"},
      // A quoted path needs no blank after it.
      {LR"("C:\x\Tarnlight.scr"/s)", L"/s"},
      // "/s" and "/c" inside the program's own path are not arguments.
      {LR"("C:\a /s b\Tarnlight.scr")", L""},
      {LR"(C:\x/c\Tarnlight.scr /s)", L"/s"},
      {L"\"C:\\x.scr\" \t /c\t", L"/c\t"},
      {LR"(Tarnlight.scr)", L""},
      {LR"("C:\x.scr)", L""},  // unterminated: all of it is the path
  };
  for (auto [line, arguments] : cases)
    EXPECT_EQ(ArgumentsOf(line), arguments)
        << testing::PrintToString(std::wstring(line));
}

}  // namespace
}  // namespace tarnlight::win32
