#pragma once

#include <string>
#include <vector>

#include "platform/files.h"

namespace tarnlight::posix {

// Lists a folder of the POSIX file system. Regular files (a symbolic link
// to one included) are ordinary; names starting with "." are hidden; FIFOs,
// sockets and devices are never listed. A folder that cannot be read lists
// nothing.
class PosixDirListing final : public DirListing {
 public:
  std::string First(const std::string& pattern, int mask) override;
  std::string Next() override;

 private:
  std::vector<std::string> pending_;  // reversed, so Next pops the back
};

}  // namespace tarnlight::posix
