#pragma once

#include <string>

#include "platform/services.h"
#include "shared/module1.h"

namespace tarnlight {

// Scans `folder` (the folder text as stored, ending in a backslash) for
// ordinary files whose name contains a dot, and returns `folder` followed by
// one of them chosen at random. With none found it returns `folder`
// followed by whatever slot 0 of the table still holds.
std::string PickRandomClip(Module1& m, const Services& s,
                           const std::string& folder);

}  // namespace tarnlight
