#include "platform/qt/fit.h"

#include <algorithm>

namespace tarnlight::qt {

QSize FitInside(QSize clip, QSize bounds) {
  int boundW = std::max(1, bounds.width()),
      boundH = std::max(1, bounds.height());
  double scale = std::min(
      {1.0, double(boundW) / clip.width(), double(boundH) / clip.height()});
  int w = std::clamp(int(clip.width() * scale + 0.5), 1, boundW);
  int h = std::clamp(int(clip.height() * scale + 0.5), 1, boundH);
  return {w, h};
}

}  // namespace tarnlight::qt
