#include "shared/dispatch.h"

#include <exception>
#include <new>
#include <optional>

namespace tarnlight {

void Dispatch(const std::function<void()>& handler,
              const std::function<void(const PlatformError&)>& onError) {
  std::optional<PlatformError> failure;
  try {
    handler();
    return;
  } catch (const PlatformError& e) {
    failure = e;
  } catch (const std::bad_alloc&) {
    failure.emplace(err::kOutOfMemory, "Out of memory");
  } catch (const std::exception& e) {
    failure.emplace(err::kInternal, e.what());
  }
  // The answer to an error must not raise one of its own past this point.
  try {
    onError(*failure);
  } catch (const std::exception&) {
  }
}

}  // namespace tarnlight
