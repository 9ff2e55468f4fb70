#include "platform/form_rules.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/error.h"

namespace tarnlight {

void NoSuchControl(std::string_view name) {
  throw PlatformError(err::kObjectRequired,
                      "Object required: " + std::string(name));
}

void CheckListEntry(int index, int count) {
  if (index < 0 || index >= count)
    throw PlatformError(err::kInvalidIndex, "Invalid property array index");
}

void CheckListSelection(int index, int count) {
  if (index < -1 || index >= count)
    throw PlatformError(err::kInvalidValue, "Invalid property value");
}

std::vector<const ControlLayout*> InTabOrder(
    std::span<const ControlLayout> controls) {
  std::vector<const ControlLayout*> order;
  for (const ControlLayout& c : controls) order.push_back(&c);
  std::stable_sort(order.begin(), order.end(),
                   [](auto* a, auto* b) { return a->tabIndex < b->tabIndex; });
  return order;
}

int PixelsOf(int twips, double dpi) {
  return int(std::lround(twips * dpi / 1440.0));
}

}  // namespace tarnlight
