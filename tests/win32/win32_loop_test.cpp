#include "platform/win32/win32_loop.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

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

TEST(Win32Files, AttributesSayWhatAPathIs) {
  struct Case {
    DWORD attributes;
    FileKind kind;
  };
  const Case cases[] = {
      {INVALID_FILE_ATTRIBUTES, FileKind::Missing},
      {FILE_ATTRIBUTE_NORMAL, FileKind::Regular},
      {FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY, FileKind::Regular},
      {FILE_ATTRIBUTE_DIRECTORY, FileKind::Other},
      {FILE_ATTRIBUTE_DEVICE, FileKind::Other},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Win32Files::KindOf(c.attributes), c.kind) << c.attributes;
}

TEST(Win32Files, ProbesAnswerLaterOnTheGuiThread) {
  wchar_t temp[MAX_PATH];
  ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
  std::wstring folder = std::wstring(temp) + L"tarnlight-probe-" +
                        std::to_wstring(GetCurrentProcessId());
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  std::wstring file = folder + L"\\clip.avi";
  HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  auto narrow = [](const std::wstring& w) {
    return std::string(w.begin(), w.end());
  };

  Win32EventLoop loop;
  Win32Files files(loop);
  struct Answer {
    FileKind kind;
    DWORD thread;
  };
  std::vector<std::pair<std::string, FileKind>> cases = {
      {narrow(file), FileKind::Regular},
      {narrow(folder), FileKind::Other},
      {narrow(folder) + "\\missing.avi", FileKind::Missing}};
  std::vector<Answer> answers(cases.size(), {FileKind::Missing, 0});
  int answered = 0;
  for (std::size_t i = 0; i < cases.size(); ++i)
    files.Probe(cases[i].first, [&, i](FileKind kind) {
      answers[i] = {kind, GetCurrentThreadId()};
      ++answered;
    });
  EXPECT_EQ(answered, 0) << "answered inside Probe";
  PumpUntil([&] { return answered == int(cases.size()); });
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].first);
    EXPECT_EQ(answers[i].kind, cases[i].second);
    EXPECT_EQ(answers[i].thread, GetCurrentThreadId());
  }
  DeleteFileW(file.c_str());
  RemoveDirectoryW(folder.c_str());
}

}  // namespace
}  // namespace tarnlight::win32
