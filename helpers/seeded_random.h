#pragma once

#include <cstdint>
#include <random>

#include "platform/services.h"

namespace tarnlight {

// A uniform generator whose reseed mixes the clock into its state instead
// of replacing it, so draws within one clock reading still differ.
class SeededRandom final : public Random {
 public:
  // Seeds from the system's entropy source and the clock.
  explicit SeededRandom(std::uint64_t clockTicks);
  // A fixed seed, for reproducible runs.
  SeededRandom(std::uint64_t seed, std::uint64_t clockTicks);

  void Reseed(std::uint64_t clockTicks) override;
  float Draw() override;

 private:
  std::mt19937_64 engine_;
};

}  // namespace tarnlight
