#pragma once

#include <QImage>
#include <cstdlib>
#include <memory>
#include <optional>

#include "platform/qt/window_pixels.h"

namespace tarnlight::qt {

// A picture buffer of the view's own, for a window whose buffer libmpv
// cannot draw into. Its rows are aligned to 64 bytes, as libmpv's
// converters prefer, and it keeps its memory until the size changes.
class FrameBuffer {
 public:
  using Allocate = void* (*)(std::size_t alignment, std::size_t size);
  explicit FrameBuffer(Allocate allocate = &std::aligned_alloc)
      : allocate_(allocate) {}

  // Where libmpv draws a picture of `size` device pixels; nothing when
  // memory runs out, and then the image is null, never left on freed memory.
  std::optional<PixelTarget> Prepare(QSize size, qreal devicePixelRatio);
  const QImage& image() const { return image_; }

 private:
  Allocate allocate_;
  std::unique_ptr<uchar, void (*)(void*)> pixels_{nullptr, std::free};
  QImage image_;
};

}  // namespace tarnlight::qt
