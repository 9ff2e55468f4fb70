#include "shared/lifecycle.h"

#include <cstdlib>
#include <exception>

namespace tarnlight {

void Lifecycle::EndProgram() {
  std::vector<std::function<void()>> closers;
  closers.swap(closers_);
  for (auto it = closers.rbegin(); it != closers.rend(); ++it) {
    try {
      (*it)();
    } catch (const std::exception&) {
    }
  }
  program_.End();
  std::abort();  // End never returns; nothing may run on if it did
}

}  // namespace tarnlight
