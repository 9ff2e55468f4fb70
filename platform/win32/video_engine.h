#pragma once

#include <cstdint>
#include <string>

#include "platform/error.h"
#include "platform/geometry.h"
#include "platform/win32/win32_api.h"

namespace tarnlight::win32 {

// What a message to the surface window means for the clip an engine has
// open.
enum class News { None, Opened, Failed, Ended };

// One way of playing clips inside the surface window. Every member runs on
// the GUI thread and returns at once; whatever an engine learns on its own
// threads it posts to the window, which hands it back through Notified.
class VideoEngine {
 public:
  virtual ~VideoEngine() = default;
  // Closes any clip open before and starts opening `path`. Raises
  // PlatformError when it fails at once; otherwise Notified later says
  // Opened or Failed.
  virtual void Open(const std::string& path) = 0;
  // What `message` says of the open clip; None for anything else, news of
  // a closed clip among it.
  virtual News Notified(UINT message, WPARAM wp, LPARAM lp) = 0;
  // Once Opened: the picture's size, 0 x 0 when there is none.
  virtual PixelSize Size() const = 0;
  // Once Failed: why.
  virtual PlatformError Error() const = 0;
  virtual void Play() = 0;
  // The picture fills the surface's client area, now of this size.
  virtual void Place(PixelSize size) = 0;
  // Draws the clip's picture over the surface's client area of `area`;
  // false when the engine draws it some other way, or has none yet.
  virtual bool Paint(HDC, PixelSize /*area*/) { return false; }
  // Closes the clip and forgets what is still to come of it; harmless when
  // none is open.
  virtual void Close() = 0;
  // Frames drawn, or the position in ms of a clip without a picture.
  virtual std::uint64_t Progress() const = 0;
};

}  // namespace tarnlight::win32
