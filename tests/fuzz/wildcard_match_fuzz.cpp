// WildcardMatch against a table-filling matcher: "*" any run, "?" any one
// character, an empty pattern every name. The input is the pattern, a NUL,
// then the name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "platform/posix/folder_text.h"

namespace {

bool Reference(std::string_view pattern, std::string_view name) {
  if (pattern.empty()) return true;
  // matches[j]: the pattern so far matches the first j characters of name.
  std::vector<bool> matches(name.size() + 1, false);
  matches[0] = true;
  for (char p : pattern) {
    std::vector<bool> next(name.size() + 1, false);
    for (std::size_t j = 0; j <= name.size(); ++j) {
      if (p == '*')
        next[j] = matches[j] || (j > 0 && next[j - 1]);
      else
        next[j] = j > 0 && matches[j - 1] && (p == '?' || p == name[j - 1]);
    }
    matches.swap(next);
  }
  return matches[name.size()];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::size_t split = input.find('\0');
  if (split == std::string_view::npos) split = size;
  std::string_view pattern = input.substr(0, split);
  std::string_view name = input.substr(split == size ? size : split + 1);
  bool got = tarnlight::posix::WildcardMatch(pattern, name);
  if (pattern.size() * name.size() <= 1 << 20 &&
      got != Reference(pattern, name))
    std::abort();
  return 0;
}
