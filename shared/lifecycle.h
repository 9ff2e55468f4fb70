#pragma once

#include <functional>
#include <vector>

#include "platform/services.h"

namespace tarnlight {

// The run's one way out. Each window registers how it is taken down (stop
// what it plays, hide it, detach its events, close it); the end-program
// operation runs them all, newest first, and then ends the process.
class Lifecycle {
 public:
  explicit Lifecycle(Program& program) : program_(program) {}

  void AtEnd(std::function<void()> close) {
    closers_.push_back(std::move(close));
  }
  // Ends the whole program at once: no further event is delivered and no
  // window stays. A closer that fails does not keep the others from
  // running, nor the program from ending.
  [[noreturn]] void EndProgram();

 private:
  Program& program_;
  std::vector<std::function<void()>> closers_;
};

}  // namespace tarnlight
