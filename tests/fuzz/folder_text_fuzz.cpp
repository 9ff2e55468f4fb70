// MapFolderText: no backslash survives, every other character stays in its
// order, a drive letter becomes the root, and mapping twice changes nothing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/posix/folder_text.h"

namespace {

std::string WithoutSeparators(std::string_view s) {
  std::string kept;
  for (char c : s)
    if (c != '\\' && c != '/') kept += c;
  return kept;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  using tarnlight::posix::MapFolderText;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string path = MapFolderText(text);
  bool drive = size >= 2 && text[1] == ':' &&
               ((text[0] >= 'a' && text[0] <= 'z') ||
                (text[0] >= 'A' && text[0] <= 'Z'));
  std::string_view rest = drive ? text.substr(2) : text;
  bool rooted = !rest.empty() && (rest[0] == '\\' || rest[0] == '/');
  if (path.find('\\') != std::string::npos) std::abort();
  if (WithoutSeparators(path) != WithoutSeparators(rest)) std::abort();
  // Only a drive without a separator after it gains one, the root.
  if (path.size() != rest.size() + (drive && !rooted)) std::abort();
  if (drive && path[0] != '/') std::abort();
  if (MapFolderText(path) != path) std::abort();
  return 0;
}
