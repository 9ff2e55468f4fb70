#pragma once

#include <QPaintDevice>
#include <QRect>
#include <QTransform>
#include <cstddef>
#include <optional>

namespace tarnlight::qt {

// Pixels libmpv's software renderer may write: `size` rows of `stride`
// bytes from `pixels`, in libmpv's pixel format `format`.
struct PixelTarget {
  unsigned char* pixels;
  QSize size;
  std::size_t stride;
  const char* format;
};

// Where `rect`, painted through `transform`, lies in `device`, when that
// is an image libmpv can draw into directly: a 32-bit RGB image, the
// rectangle only moved or scaled and wholly inside it. Nothing otherwise,
// so that nothing is ever written outside the image. `alphaShown` says
// whether the fourth byte of an image with alpha reaches the screen as
// alpha, or is dropped as it is for an opaque X11 window.
std::optional<PixelTarget> PixelTargetIn(QPaintDevice* device,
                                         const QTransform& transform,
                                         QRect rect, bool alphaShown);

}  // namespace tarnlight::qt
