#include "startup/main.h"

#include "saver/frm_vid.h"
#include "setup/frm_setup.h"
#include "shared/settings.h"

namespace tarnlight {

Tarnlight::Tarnlight(Services& services)
    : s_(services), lifecycle_(services.program) {}

Tarnlight::~Tarnlight() = default;

bool Tarnlight::Main(Convention convention) {
  Settings settings(s_.store);
  LoadSettings(settings, m_);
  switch (ChooseMode(s_.program.Command(), convention).mode) {
    case Mode::Setup:
      if (!setup_) setup_ = std::make_unique<frmSetup>(m_, s_, lifecycle_);
      setup_->ShowModal();
      return false;
    case Mode::Saver:
    case Mode::Preview:
      if (!vid_) vid_ = std::make_unique<frmVid>(m_, s_, lifecycle_);
      vid_->Show();
      return true;
    case Mode::None:
      break;
  }
  return false;
}

}  // namespace tarnlight
