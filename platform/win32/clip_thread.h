#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/win32/text_convert.h"
#include "platform/win32/video_engine.h"

namespace tarnlight::win32 {

// What a clip's own thread and the GUI thread share. The GUI thread only
// leaves requests and reads results; every call into the media library is
// the clip thread's.
struct ClipShare {
  // What the clip's thread posts, in the message's LPARAM.
  enum Posted : LPARAM { kOpened = 1, kFailed = 2, kEnded = 3 };

  ClipShare(HWND w, UINT m, WPARAM s, std::wstring p)
      : window(w), message(m), serial(s), path(std::move(p)) {}
  virtual ~ClipShare() {
    if (wake) CloseHandle(wake);
  }
  ClipShare(const ClipShare&) = delete;
  ClipShare& operator=(const ClipShare&) = delete;

  void Post(Posted what) { PostMessageW(window, message, serial, what); }
  // GUI thread: changes the requests under the lock, then wakes the clip's
  // thread.
  template <typename Change>
  void Request(Change change) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      change();
    }
    SetEvent(wake);
  }
  // Clip thread: the reason first, then the news.
  void Fail(HRESULT hr, const char* what) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      result = hr;
      failure = what;
    }
    Post(kFailed);
  }

  const HWND window;
  const UINT message;
  const WPARAM serial;
  const std::wstring path;
  HANDLE wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);

  std::mutex mutex;
  // Requests from the GUI thread.
  bool stop = false, play = false;
  // Results for the GUI thread, written before they are posted.
  HRESULT result = S_OK;
  const char* failure = "";
  PixelSize size;
  std::atomic<std::uint64_t> progress{0};
};

// An engine that opens, plays and closes each clip on a thread of its own,
// which posts what it learns to the window as `message`, tagged with the
// clip's number; news of a clip closed since is dropped. Its members run on
// the GUI thread.
class ClipThreadEngine : public VideoEngine {
 public:
  using Posted = ClipShare::Posted;
  using enum ClipShare::Posted;

  ClipThreadEngine(const ClipThreadEngine&) = delete;
  ClipThreadEngine& operator=(const ClipThreadEngine&) = delete;

  News Notified(UINT message, WPARAM wp, LPARAM lp) override;
  PixelSize Size() const override;
  PlatformError Error() const override;
  void Play() override;
  void Close() override;
  std::uint64_t Progress() const override;

 protected:
  ClipThreadEngine(HWND window, UINT message)
      : window_(window), message_(message) {}

  // Closes the clip open before and opens `Clip` for `path`, whose thread
  // `run(clip)` is counted as media work until it calls media_work::End().
  template <typename Clip, typename Run>
  void Start(const std::string& path, Run run) {
    Close();
    auto clip =
        std::make_shared<Clip>(window_, message_, ++serial_, Widen(path));
    StartThread(clip, [clip, run] { run(clip); });
  }

  const HWND window_;
  const UINT message_;
  std::shared_ptr<ClipShare> clip_;

 private:
  void StartThread(std::shared_ptr<ClipShare> clip, std::function<void()> run);

  WPARAM serial_ = 0;
};

}  // namespace tarnlight::win32
