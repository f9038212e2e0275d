// Randomness for the sample world: a splitmix64 generator and hashed value noise.
//
// Both are written out here rather than taken from <random>, whose distributions may give other
// numbers with another standard library: the sample world must come out byte for byte the same
// on every machine and every build.
#pragma once

#include <cstdint>

namespace karst::authoring {

// splitmix64: one 64-bit state, one multiply-xorshift finaliser per number.
class SampleRandom {
 public:
  explicit SampleRandom(std::uint64_t seed) : state_(seed) {}

  std::uint64_t Next() {
    state_ += 0x9E3779B97F4A7C15ull;
    return Mix(state_);
  }

  // A whole number in [0, bound); bound 0 gives 0. The slight bias of the modulo does not matter
  // for scenery.
  std::uint32_t Below(std::uint32_t bound) { return bound == 0 ? 0 : static_cast<std::uint32_t>(Next() % bound); }

  // A whole number in [low, high].
  int Between(int low, int high) { return low + static_cast<int>(Below(static_cast<std::uint32_t>(high - low + 1))); }

  // A number in [0, 1) from the top 53 bits.
  double Unit() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }

  bool Chance(double probability) { return Unit() < probability; }

  static std::uint64_t Mix(std::uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }

 private:
  std::uint64_t state_;
};

// A number in [0, 1) that depends only on the seed and the two coordinates.
inline double HashUnit(std::uint64_t seed, std::int64_t x, std::int64_t y) {
  std::uint64_t key = SampleRandom::Mix(seed ^ 0xD1B54A32D192ED03ull);
  key = SampleRandom::Mix(key ^ static_cast<std::uint64_t>(x));
  key = SampleRandom::Mix(key ^ (static_cast<std::uint64_t>(y) * 0x9E3779B97F4A7C15ull));
  return static_cast<double>(key >> 11) * (1.0 / 9007199254740992.0);
}

// Value noise: hashed values on a lattice of `cell`-sized squares, blended with a smoothstep.
// With a period (in lattice cells, above 0) the lattice wraps, so the noise repeats every
// period x cell units in both directions: tiles drawn with it join without a seam.
inline double ValueNoise(std::uint64_t seed, double x, double y, double cell, std::int64_t period = 0) {
  const double gx = x / cell;
  const double gy = y / cell;
  std::int64_t x0 = static_cast<std::int64_t>(gx >= 0 ? gx : gx - 1.0);
  std::int64_t y0 = static_cast<std::int64_t>(gy >= 0 ? gy : gy - 1.0);
  const double fx = gx - static_cast<double>(x0);
  const double fy = gy - static_cast<double>(y0);
  std::int64_t x1 = x0 + 1;
  std::int64_t y1 = y0 + 1;
  if (period > 0) {
    x0 = ((x0 % period) + period) % period;
    y0 = ((y0 % period) + period) % period;
    x1 = ((x1 % period) + period) % period;
    y1 = ((y1 % period) + period) % period;
  }
  const double sx = fx * fx * (3.0 - 2.0 * fx);
  const double sy = fy * fy * (3.0 - 2.0 * fy);
  const double top = HashUnit(seed, x0, y0) + (HashUnit(seed, x1, y0) - HashUnit(seed, x0, y0)) * sx;
  const double bottom = HashUnit(seed, x0, y1) + (HashUnit(seed, x1, y1) - HashUnit(seed, x0, y1)) * sx;
  return top + (bottom - top) * sy;
}

// Several octaves of value noise, each half the cell and half the weight of the one before,
// normalised back to [0, 1).
inline double FractalNoise(std::uint64_t seed, double x, double y, double cell, int octaves) {
  double sum = 0.0;
  double weight = 1.0;
  double total = 0.0;
  for (int octave = 0; octave < octaves; ++octave) {
    sum += weight * ValueNoise(seed + static_cast<std::uint64_t>(octave) * 0x51ED27ull, x, y, cell);
    total += weight;
    weight *= 0.5;
    cell *= 0.5;
  }
  return sum / total;
}

}  // namespace karst::authoring
