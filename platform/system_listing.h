#pragma once

#include <memory>

#include "platform/files.h"

namespace tarnlight {

// The directory listing of the system the program is built for.
std::unique_ptr<DirListing> CreateSystemListing();

}  // namespace tarnlight
