#pragma once

#include <string>
#include <string_view>

namespace tarnlight::posix {

// Maps a folder text in the stored syntax onto a POSIX path: "\" is a
// separator like "/", and a leading drive letter with its colon stands for
// the root, so "c:\" is "/" and "d:\clips\a.avi" is "/clips/a.avi".
std::string MapFolderText(std::string_view text);

// "*" matches any run of characters and "?" any one; everything else
// matches itself. An empty pattern matches every name.
bool WildcardMatch(std::string_view pattern, std::string_view name);

}  // namespace tarnlight::posix
