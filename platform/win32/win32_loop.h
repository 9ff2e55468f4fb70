#pragma once

#include <cstdint>
#include <functional>
#include <map>

#include "platform/event_loop.h"
#include "platform/files.h"
#include "platform/win32/win32_api.h"

namespace tarnlight::win32 {

// The GUI thread's queue: a message-only window whose timers run the
// delayed work, and to which any thread can post work for the GUI thread.
class Win32EventLoop final : public EventLoop {
 public:
  Win32EventLoop();
  ~Win32EventLoop() override;
  Win32EventLoop(const Win32EventLoop&) = delete;
  Win32EventLoop& operator=(const Win32EventLoop&) = delete;

  void After(int ms, std::function<void()> work) override;
  // Any thread: `work` runs on the GUI thread once the loop gets to it,
  // or never when the loop has gone.
  static void Post(HWND window, std::function<void()> work);
  HWND window() const { return hwnd_; }

 private:
  static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void RunTimer(UINT_PTR id);

  HWND hwnd_ = nullptr;
  UINT_PTR next_ = 0;
  std::map<UINT_PTR, std::function<void()>> delayed_;
};

// Runs `work` on a new thread that nobody waits for. Raises PlatformError
// when the system cannot make one.
void RunOnNewThread(std::function<void()> work);

// Each question on a thread of its own, since a stalled share can keep
// GetFileAttributesW or FindNextFileW waiting for as long as it likes.
class Win32Files final : public Files {
 public:
  explicit Win32Files(Win32EventLoop& loop) : loop_(loop) {}
  void Probe(const std::string& path,
             std::function<void(FileKind)> answer) override;
  void List(const std::string& pattern, int mask,
            std::function<void(FolderListing)> answer) override;
  // What the attributes of a path, or their absence, say about it.
  static FileKind KindOf(DWORD attributes);

 private:
  Win32EventLoop& loop_;
};

}  // namespace tarnlight::win32
