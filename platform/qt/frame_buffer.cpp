#include "platform/qt/frame_buffer.h"

namespace tarnlight::qt {

std::optional<PixelTarget> FrameBuffer::Prepare(QSize size,
                                                qreal devicePixelRatio) {
  if (image_.size() != size || !pixels_) {
    image_ = QImage();
    std::size_t stride =
        (std::size_t(size.width()) * 4 + 63) & ~std::size_t{63};
    pixels_.reset(static_cast<uchar*>(
        allocate_(64, stride * std::size_t(size.height()))));
    if (!pixels_) return std::nullopt;
    image_ = QImage(pixels_.get(), size.width(), size.height(),
                    qsizetype(stride), QImage::Format_RGB32);
  }
  image_.setDevicePixelRatio(devicePixelRatio);
  return PixelTarget{pixels_.get(), size, std::size_t(image_.bytesPerLine()),
                     "bgr0"};
}

}  // namespace tarnlight::qt
