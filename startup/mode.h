#pragma once

#include <string_view>

namespace tarnlight {

enum class Mode { Setup, Saver, None };

// Plain case-sensitive substring tests on the argument text; "/c" wins.
Mode ChooseMode(std::string_view arguments);

}  // namespace tarnlight
