#pragma once

#include <functional>

#include "platform/error.h"

namespace tarnlight {

// The one place where an event from the back end enters the program's
// logic. A PlatformError, or anything else the program or the standard
// library raises, goes to `onError` as a PlatformError; nothing leaves, so
// nothing crosses into the toolkit or a window procedure.
void Dispatch(const std::function<void()>& handler,
              const std::function<void(const PlatformError&)>& onError);

// Something that runs event handlers through Dispatch, with its own way of
// answering an error.
class Dispatcher {
 public:
  virtual ~Dispatcher() = default;
  virtual void Run(const std::function<void()>& handler) = 0;
};

}  // namespace tarnlight
