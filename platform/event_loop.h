#pragma once

#include <functional>

namespace tarnlight {

// The GUI thread's queue of work. The functions run on the GUI thread, one
// at a time, after the event being handled now.
class EventLoop {
 public:
  virtual ~EventLoop() = default;
  // Runs `work` once, `ms` milliseconds from now. GUI thread only.
  virtual void After(int ms, std::function<void()> work) = 0;
};

}  // namespace tarnlight
