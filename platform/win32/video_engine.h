#pragma once

#include <cstdint>
#include <string>

#include "helpers/fit_inside.h"

namespace tarnlight::win32 {

// One way of playing clips inside the player's window. Engines run on the
// GUI thread; whatever they learn on their own threads they post to the
// window, which hands it back through Notified.
class VideoEngine {
 public:
  virtual ~VideoEngine() = default;
  // Opens the clip and returns the size of its picture, 0 x 0 when it has
  // none. Raises PlatformError.
  virtual PixelSize Open(const std::string& path) = 0;
  // The picture fills the window's client area, now of this size.
  virtual void Place(PixelSize size) = 0;
  virtual void Play() = 0;
  // Closes the clip; harmless when none is open.
  virtual void Close() = 0;
  // A message the window received for its engines; true when it means the
  // clip this engine plays has ended, by finishing or by failing.
  virtual bool Notified(unsigned message, std::uintptr_t wp,
                        std::intptr_t lp) = 0;
};

}  // namespace tarnlight::win32
