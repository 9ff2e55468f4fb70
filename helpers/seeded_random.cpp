#include "helpers/seeded_random.h"

namespace tarnlight {
namespace {

std::uint64_t SplitMix(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

std::uint64_t Entropy() {
  std::random_device device;
  return (std::uint64_t{device()} << 32) ^ device();
}

}  // namespace

SeededRandom::SeededRandom(std::uint64_t clockTicks)
    : SeededRandom(Entropy(), clockTicks) {}

SeededRandom::SeededRandom(std::uint64_t seed, std::uint64_t clockTicks)
    : engine_(SplitMix(seed) ^ SplitMix(clockTicks)) {}

void SeededRandom::Reseed(std::uint64_t clockTicks) {
  engine_.seed(engine_() ^ SplitMix(clockTicks));
}

float SeededRandom::Draw() {
  // 24 random bits fill a float's mantissa exactly, so the result stays
  // strictly below 1 (generate_canonical may round up to 1).
  return static_cast<float>(engine_() >> 40) * 0x1p-24f;
}

}  // namespace tarnlight
