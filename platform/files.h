#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/error.h"

namespace tarnlight {

enum class FileKind { Missing, Regular, Other };

namespace attr {
inline constexpr int kNormal = 0;  // ordinary files only
inline constexpr int kHidden = 2;
inline constexpr int kSystem = 4;
inline constexpr int kDirectory = 16;
}  // namespace attr

// What a folder listing found, or why there is nothing to say.
struct FolderListing {
  std::vector<std::string> names;
  std::optional<PlatformError> error;
};

// Questions to the file system that may wait on a slow disk or a stalled
// share, so they are answered later, on the GUI thread, never inside the
// call. An answer may never come. Paths and patterns are folder texts in
// the stored syntax (drive letter, backslashes).
class Files {
 public:
  virtual ~Files() = default;
  // Whether `path` can be read as a regular file: a folder, a device or a
  // pipe is Other.
  virtual void Probe(const std::string& path,
                     std::function<void(FileKind)> answer) = 0;
  // The names in a folder: the last component of `pattern` names the
  // files, "*" and "?" being wildcards and an empty one meaning every file;
  // `mask` adds hidden files, system files or folders to the ordinary ones.
  virtual void List(const std::string& pattern, int mask,
                    std::function<void(FolderListing)> answer) = 0;
};

// The listing a back end runs where waiting does no harm: on a thread of
// its own, never the GUI thread.
class DirListing {
 public:
  virtual ~DirListing() = default;
  // Returns the first matching name, or "" when there is none.
  virtual std::string First(const std::string& pattern, int mask) = 0;
  // Returns the next name of the listing that First began, "" at the end.
  virtual std::string Next() = 0;
};

// Every name a DirListing gives for `pattern`.
inline std::vector<std::string> ListAll(DirListing& listing,
                                        const std::string& pattern, int mask) {
  std::vector<std::string> names;
  for (std::string name = listing.First(pattern, mask); !name.empty();
       name = listing.Next())
    names.push_back(std::move(name));
  return names;
}

}  // namespace tarnlight
