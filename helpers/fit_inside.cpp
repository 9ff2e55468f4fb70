#include "helpers/fit_inside.h"

#include <algorithm>

namespace tarnlight {

PixelSize FitInside(PixelSize clip, PixelSize bounds) {
  int boundW = std::max(1, bounds.width), boundH = std::max(1, bounds.height);
  int clipW = std::max(1, clip.width), clipH = std::max(1, clip.height);
  double scale =
      std::min({1.0, double(boundW) / clipW, double(boundH) / clipH});
  int w = std::clamp(int(clipW * scale + 0.5), 1, boundW);
  int h = std::clamp(int(clipH * scale + 0.5), 1, boundH);
  return {w, h};
}

}  // namespace tarnlight
