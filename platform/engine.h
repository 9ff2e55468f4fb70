#pragma once

#include <cstdint>
#include <string>

#include "platform/error.h"
#include "platform/geometry.h"

namespace tarnlight {

// What an engine learns about its clips. The back end calls these on the
// GUI thread, one at a time, never from inside a call to the engine; each
// names the clip it concerns by the number Open was given, so news of a clip
// that has since been stopped can be told apart.
class EngineEvents {
 public:
  virtual ~EngineEvents() = default;
  // The clip is open and ready to play; 0 x 0 when it has no picture.
  virtual void Opened(std::uint64_t clip, PixelSize size) = 0;
  virtual void Failed(std::uint64_t clip, const PlatformError& error) = 0;
  // Played to its end, or failed while playing.
  virtual void Ended(std::uint64_t clip) = 0;
};

// One way of decoding and drawing clips inside a window. Every member runs
// on the GUI thread and returns at once: whatever may take time (reading
// the file, building a decoder) happens elsewhere and is reported through
// EngineEvents. Members may raise PlatformError.
class Engine {
 public:
  virtual ~Engine() = default;
  virtual void SetEvents(EngineEvents* events) = 0;
  // Starts opening `path`, a folder text in the stored syntax that names a
  // regular file. Stops any clip open before.
  virtual void Open(std::uint64_t clip, const std::string& path) = 0;
  // Starts the clip that Opened reported.
  virtual void Play() = 0;
  // Stops and closes the current clip, and drops any news still to come of
  // it. Harmless when none is open.
  virtual void Stop() = 0;
  // Draws the picture in `where`, or nothing at all.
  virtual void Show(PixelRect where) = 0;
  virtual void Hide() = 0;
  // Where the clip stands on its own clock, in milliseconds: the media
  // clock, which the sound drives where there is sound, not frames drawn,
  // so that a still picture does not read as a stall. It stands still only
  // when playback does.
  virtual std::uint64_t Progress() const = 0;
};

}  // namespace tarnlight
