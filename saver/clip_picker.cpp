#include "saver/clip_picker.h"

#include <cstdint>

#include "saver/random_integer.h"

namespace tarnlight {
namespace {

bool IsClipName(const std::string& name) {
  return name != "." && name != ".." && name.find('.') != std::string::npos;
}

// Keeps the table a uniform sample of every name seen so far: the n-th name
// (counting from 1) replaces a random slot with probability slots / n.
void Store(Module1& m, Random& random, std::uint64_t seen,
           const std::string& name) {
  if (seen <= Module1::kClipSlots) {
    m.clipNames[m.clipCount++] = name;
    return;
  }
  auto slot = static_cast<std::uint64_t>(double{random.Draw()} * double(seen));
  if (slot < Module1::kClipSlots) m.clipNames[slot] = name;
}

}  // namespace

std::string PickRandomClip(Module1& m, Random& random, Clock& clock,
                           const std::string& folder,
                           const std::vector<std::string>& names) {
  m.clipCount = 0;
  std::uint64_t seen = 0;
  for (const std::string& name : names)
    if (IsClipName(name)) Store(m, random, ++seen, name);
  std::int32_t idx = RandomInteger(random, clock, 0, m.clipCount);
  return folder + m.clipNames[static_cast<std::size_t>(idx)];
}

}  // namespace tarnlight
