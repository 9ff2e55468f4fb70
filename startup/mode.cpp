#include "startup/mode.h"

namespace tarnlight {

Mode ChooseMode(std::string_view arguments) {
  if (arguments.find("/c") != std::string_view::npos) return Mode::Setup;
  if (arguments.find("/s") != std::string_view::npos) return Mode::Saver;
  return Mode::None;
}

}  // namespace tarnlight
