#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/geometry.h"
#include "platform/win32/media_engine_api.h"

namespace tarnlight::win32 {

// One picture as GDI draws it: 32-bit pixels (blue, green, red, unused),
// top row first.
struct Frame {
  PixelSize size;
  std::vector<std::uint32_t> pixels;
};

// Where the media engine copies its frames to and where they are read back
// from. Shared by the clips' threads and never used on the GUI thread: the
// graphics driver takes as long as it likes.
class FrameTarget {
 public:
  virtual ~FrameTarget() = default;
  // The device manager the engine draws with, made on first use; null when
  // no device can be made. The reference stays the target's.
  virtual IUnknown* Manager() = 0;
  // Has `engine` draw its current frame at `size` and reads it into `frame`.
  virtual HRESULT Take(mfe::IMFMediaEngine& engine, PixelSize size,
                       Frame& frame) = 0;
};

// A Direct3D 11 device behind a DXGI device manager, with a texture the
// engine draws into and a staging copy read back on the CPU. Null when the
// system has neither (d3d11.dll, or mfplat.dll's device manager).
std::shared_ptr<FrameTarget> MakeD3dFrameTarget(HMODULE mfplat);

}  // namespace tarnlight::win32
