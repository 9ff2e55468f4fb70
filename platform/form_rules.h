#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "platform/form_layout.h"

namespace tarnlight {

// What every back end (and the test fake) must do alike when it builds and
// answers for a window laid out by a FormLayout.

// The control called `name` in a map from names to controls; raises
// PlatformError 424 (object required) when there is none.
[[noreturn]] void NoSuchControl(std::string_view name);
template <typename Map>
auto& ControlNamed(Map& controls, std::string_view name) {
  auto it = controls.find(name);
  if (it == controls.end()) NoSuchControl(name);
  return it->second;
}

// An entry of a list with `count` entries: PlatformError 381 (invalid
// property array index) unless 0 <= index < count.
void CheckListEntry(int index, int count);
// A selection in the same list, where -1 selects nothing: PlatformError 380
// (invalid property value) unless -1 <= index < count.
void CheckListSelection(int index, int count);

// The controls in the order Tab visits them; equal indices keep the
// layout's order.
std::vector<const ControlLayout*> InTabOrder(
    std::span<const ControlLayout> controls);

// A length in twips as whole pixels at `dpi` dots per inch, rounded.
int PixelsOf(int twips, double dpi);

}  // namespace tarnlight
