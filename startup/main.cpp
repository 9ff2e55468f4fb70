#include "startup/main.h"

#include "saver/frm_vid.h"
#include "setup/frm_setup.h"
#include "startup/mode.h"
#include "startup/settings.h"

namespace tarnlight {

Tarnlight::Tarnlight(Services& services) : s_(services) {}

Tarnlight::~Tarnlight() = default;

void Tarnlight::Main() {
  Settings settings(s_.store);
  LoadSettings(settings, m_);
  switch (ChooseMode(s_.program.Command())) {
    case Mode::Setup:
      if (!setup_) setup_ = std::make_unique<frmSetup>(m_, s_);
      setup_->ShowModal();
      break;
    case Mode::Saver:
      if (!vid_) vid_ = std::make_unique<frmVid>(m_, s_);
      vid_->Show();
      break;
    case Mode::None:
      break;
  }
}

}  // namespace tarnlight
