#include "platform/qt/window_pixels.h"

#include <QImage>

namespace tarnlight::qt {
namespace {

// libmpv's name for the pixels of an image of `format`, or null. Qt's
// 32-bit formats are words 0xAARRGGBB, so bytes B, G, R, A in memory.
const char* PixelsFor(QImage::Format format, bool alphaShown) {
  switch (format) {
    case QImage::Format_RGB32:
      return "bgr0";
    // Where the fourth byte is shown as alpha, "bgra" writes it opaque;
    // "bgr0" leaves whatever it likes there and is cheaper: libmpv packs
    // three planes instead of four.
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
      return alphaShown ? "bgra" : "bgr0";
    default:
      return nullptr;
  }
}

}  // namespace

std::optional<PixelTarget> PixelTargetIn(QPaintDevice* device,
                                         const QTransform& transform,
                                         QRect rect, bool alphaShown) {
  static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN,
                "the pixel format names assume little-endian words");
  if (!device || device->devType() != QInternal::Image) return std::nullopt;
  auto& image = static_cast<QImage&>(*device);
  const char* format = PixelsFor(image.format(), alphaShown);
  if (!format || transform.type() > QTransform::TxScale) return std::nullopt;
  QRect area = transform.mapRect(QRectF(rect)).toAlignedRect();
  if (area.isEmpty() || !image.rect().contains(area)) return std::nullopt;
  std::size_t stride = std::size_t(image.bytesPerLine());
  return PixelTarget{
      image.bits() + std::size_t(area.y()) * stride + std::size_t(area.x()) * 4,
      area.size(), stride, format};
}

}  // namespace tarnlight::qt
