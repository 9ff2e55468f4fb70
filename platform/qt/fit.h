#pragma once

#include <QSize>

namespace tarnlight::qt {

// The size a clip is shown at: its own, or scaled down with its aspect
// ratio kept when it does not fit inside `bounds`. Never empty.
QSize FitInside(QSize clip, QSize bounds);

}  // namespace tarnlight::qt
