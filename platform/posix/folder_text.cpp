#include "platform/posix/folder_text.h"

namespace tarnlight::posix {
namespace {

bool IsAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

}  // namespace

std::string MapFolderText(std::string_view text) {
  bool drive = text.size() >= 2 && IsAsciiLetter(text[0]) && text[1] == ':';
  if (drive) text.remove_prefix(2);
  std::string path;
  path.reserve(text.size() + 1);
  bool rooted = !text.empty() && (text[0] == '\\' || text[0] == '/');
  if (drive && !rooted) path += '/';
  for (char c : text) path += c == '\\' ? '/' : c;
  return path;
}

bool WildcardMatch(std::string_view pattern, std::string_view name) {
  if (pattern.empty()) return true;
  // Iterative match with one backtrack point: linear in practice and never
  // exponential on patterns full of stars.
  std::size_t p = 0, n = 0, star = std::string_view::npos, resume = 0;
  while (n < name.size()) {
    // A star first: a name may hold a "*" itself, which must not use up
    // the pattern's star as a plain character.
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (p < pattern.size() &&
               (pattern[p] == '?' || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace tarnlight::posix
