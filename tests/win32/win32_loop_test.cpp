#include "platform/win32/win32_loop.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/text_convert.h"

namespace tarnlight::win32 {
namespace {

// Answers this thread's messages until `done` holds or 5 s have passed.
template <typename Done>
void PumpUntil(Done done) {
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!done() && std::chrono::steady_clock::now() < end) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

TEST(Win32EventLoop, DelayedWorkRunsLaterInTheOrderItFallsDue) {
  Win32EventLoop loop;
  std::vector<std::string> ran;
  loop.After(150, [&] { ran.push_back("late"); });
  loop.After(0, [&] { ran.push_back("now"); });
  loop.After(10, [] { throw std::runtime_error("a failing piece of work"); });
  loop.After(60, [&] { ran.push_back("soon"); });
  EXPECT_TRUE(ran.empty()) << "work ran inside After";
  PumpUntil([&] { return ran.size() == 3; });
  EXPECT_EQ(ran, (std::vector<std::string>{"now", "soon", "late"}));
}

// Each answer reaches its own question: a folder and a missing path are
// probed, the other kinds read from their attributes.
TEST(Win32Files, ProbesAnswerLaterOnTheGuiThread) {
  EXPECT_EQ(Win32Files::KindOf(FILE_ATTRIBUTE_NORMAL), FileKind::Regular);
  EXPECT_EQ(Win32Files::KindOf(FILE_ATTRIBUTE_DEVICE), FileKind::Other);
  wchar_t temp[MAX_PATH];
  ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
  Win32EventLoop loop;
  Win32Files files(loop);
  std::vector<std::pair<FileKind, DWORD>> answers(2);
  int answered = 0;
  for (int i : {0, 1})
    files.Probe(Narrow(temp) + (i ? "no-such-clip.avi" : ""),
                [&, i](FileKind kind) {
                  answers[i] = {kind, GetCurrentThreadId()};
                  ++answered;
                });
  EXPECT_EQ(answered, 0) << "answered inside Probe";
  PumpUntil([&] { return answered == 2; });
  DWORD gui = GetCurrentThreadId();
  EXPECT_EQ(answers[0], std::make_pair(FileKind::Other, gui));
  EXPECT_EQ(answers[1], std::make_pair(FileKind::Missing, gui));
}

}  // namespace
}  // namespace tarnlight::win32
