#pragma once

// A surface for engines under test: a message-only window that hands its
// messages to an EngineChain, and a record of what the chain reports.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/engine_chain.h"
#include "platform/win32/media_work.h"

namespace tarnlight::win32::testing_surface {

constexpr UINT kChainMessage = WM_APP + 1;

class Recorder final : public EngineEvents {
 public:
  void Opened(std::uint64_t clip, PixelSize size) override {
    Note("opened " + std::to_string(clip) + " " + std::to_string(size.width) +
         "x" + std::to_string(size.height));
  }
  void Failed(std::uint64_t clip, const PlatformError& error) override {
    Note("failed " + std::to_string(clip) + " " +
         std::to_string(error.number()));
    description = error.description();
  }
  void Ended(std::uint64_t clip) override {
    Note("ended " + std::to_string(clip));
  }

  std::vector<std::string> news;
  std::string description;
  bool insideEngine = false;

 private:
  void Note(std::string what) {
    EXPECT_FALSE(insideEngine) << what << " reported inside a call";
    news.push_back(std::move(what));
  }
};

class Surface {
 public:
  Surface() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &Surface::Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TarnlightTestSurface";
    RegisterClassW(&wc);
    hwnd = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0,
                           HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  }
  ~Surface() {
    Finish();
    DestroyWindow(hwnd);
  }

  // Closes the chain and lets the clips' threads end, which may still call
  // into what the test made for them.
  void Finish() {
    chain.reset();
    EXPECT_TRUE(media_work::WaitUntilDone(5000)) << "a clip thread still runs";
  }

  void Use(std::vector<std::unique_ptr<VideoEngine>> engines) {
    chain =
        std::make_unique<EngineChain>(hwnd, kChainMessage, std::move(engines));
    chain->SetEvents(&events);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }

  // Calls into the chain, noting that no news may arrive meanwhile.
  void Call(const std::function<void(EngineChain&)>& call) {
    events.insideEngine = true;
    call(*chain);
    events.insideEngine = false;
  }

  // Answers messages until `count` pieces of news have come, or `ms` have
  // passed.
  void Pump(std::size_t count, int ms = 5000) {
    PumpUntil([&] { return events.news.size() >= count; }, ms);
  }
  template <typename Done>
  void PumpUntil(Done done, int ms = 5000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done() && std::chrono::steady_clock::now() < end) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

  HWND hwnd = nullptr;
  Recorder events;
  std::unique_ptr<EngineChain> chain;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self =
        reinterpret_cast<Surface*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self && msg >= WM_APP) {
      self->chain->Notified(msg, wp, lp);
      return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
  }
};

}  // namespace tarnlight::win32::testing_surface
