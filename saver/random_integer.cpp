#include "saver/random_integer.h"

#include <cmath>

namespace tarnlight {

std::int32_t RandomInteger(Random& random, Clock& clock, std::int32_t low,
                           std::int32_t span) {
  random.Reseed(clock.Ticks());
  // Clamp a generator that breaks its promise, so the result stays in range.
  double r = std::fmin(std::fmax(double{random.Draw()}, 0.0),
                       std::nextafter(1.0, 0.0));
  double value = std::floor(r * double(span) + double(low));
  return static_cast<std::int32_t>(value);
}

}  // namespace tarnlight
