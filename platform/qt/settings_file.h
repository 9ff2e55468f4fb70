#pragma once

#include <optional>
#include <string>

// The settings file's bytes on the disk, for the GUI thread: read without
// ever waiting on something that is not a file, replaced whole or not at all.
namespace tarnlight::qt {

// The bytes of the file at `path`, "" when there is none. Only a regular
// file is opened, and without waiting, so that a FIFO or a device swapped in
// between the two looks cannot block it; anything else at the path, or a
// file that cannot be read, gives nullopt and `why` for a message.
std::optional<std::string> ReadRegularFile(const std::string& path,
                                           std::string& why);

// Puts `text` in place of the file `target` (which need not exist): it is
// written into a new file beside it, synced and renamed over it, keeping the
// old file's permissions. Returns "" when done, or why not with `target` as
// it was. The new file has no name until it is whole where the file system
// allows, so that a kill midway leaves nothing behind.
std::string ReplaceFile(const std::string& target, const std::string& text);

}  // namespace tarnlight::qt
