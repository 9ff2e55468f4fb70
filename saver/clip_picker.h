#pragma once

#include <string>
#include <vector>

#include "platform/services.h"
#include "shared/module1.h"

namespace tarnlight {

// Takes the ordinary files whose name contains a dot from `names` (the
// listing of `folder`, the folder text as stored, ending in a backslash),
// and returns `folder` followed by one of them chosen at random. With none
// found it returns `folder` followed by whatever slot 0 of the table still
// holds.
std::string PickRandomClip(Module1& m, Random& random, Clock& clock,
                           const std::string& folder,
                           const std::vector<std::string>& names);

}  // namespace tarnlight
