#pragma once

#include "platform/qt/mpv_view.h"

namespace tarnlight::qt {

// The libmpv picture under the name the saver's window holds it by: the
// view, which hands over its player where an engine is asked for.
class MpvEngine final : public MpvView {
 public:
  using MpvView::MpvView;
  operator Engine&() { return player(); }
  void Prepare() { player().Prepare(); }
};

}  // namespace tarnlight::qt
