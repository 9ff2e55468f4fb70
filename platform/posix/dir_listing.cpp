#include "platform/posix/dir_listing.h"
#include "platform/system_listing.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/posix/folder_text.h"

namespace tarnlight::posix {
namespace fs = std::filesystem;
namespace {

bool Wanted(const fs::directory_entry& entry, const std::string& name,
            int mask) {
  std::error_code ec;
  fs::file_status status = entry.status(ec);  // follows symbolic links
  if (ec) return false;
  bool isDirectory = fs::is_directory(status);
  if (!fs::is_regular_file(status) && !isDirectory) return false;
  if (isDirectory && !(mask & attr::kDirectory)) return false;
  if (name.front() == '.' && !(mask & attr::kHidden)) return false;
  return true;
}

}  // namespace

std::string PosixDirListing::First(const std::string& pattern, int mask) {
  pending_.clear();
  std::string path = MapFolderText(pattern);
  std::size_t slash = path.rfind('/');
  std::string folder =
      slash == std::string::npos ? "." : path.substr(0, slash + 1);
  std::string names = slash == std::string::npos ? path : path.substr(slash + 1);

  std::error_code ec;
  fs::directory_iterator it(folder, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (!name.empty() && WildcardMatch(names, name) && Wanted(*it, name, mask))
      pending_.push_back(std::move(name));
  }
  std::sort(pending_.rbegin(), pending_.rend());
  return Next();
}

std::string PosixDirListing::Next() {
  if (pending_.empty()) return "";
  std::string name = std::move(pending_.back());
  pending_.pop_back();
  return name;
}

}  // namespace tarnlight::posix

namespace tarnlight {

std::unique_ptr<DirListing> CreateSystemListing() {
  return std::make_unique<posix::PosixDirListing>();
}

}  // namespace tarnlight
