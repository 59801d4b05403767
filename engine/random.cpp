#include "engine/random.h"

namespace quarvel {

namespace {
constexpr std::uint64_t kMultiplier = (std::uint64_t{0x15A} << 32) | 0x4E35u;  // 1486058704437
constexpr std::int32_t kModulus = 2147483647;                                  // 2^31 - 1

// Two's-complement wrap of a 64-bit intermediate to 32 bits.
constexpr std::int32_t wrap32(std::int64_t v) noexcept {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(v)));
}
}  // namespace

std::int32_t lrand31(RandomGenerators& rng) noexcept {
  rng.integer_state = rng.integer_state * kMultiplier + 1u;
  return static_cast<std::int32_t>((rng.integer_state >> 32) & 0x7FFFFFFFu);
}

void advance_integer_generator(RandomGenerators& rng, std::uint64_t steps) noexcept {
  // A step is the affine map x -> a x + c (mod 2^64); the map of 2^k steps is
  // that of 2^(k-1) steps applied twice, and the steps asked for are the
  // product of those for the bits set in `steps`.
  std::uint64_t multiplier = 1;
  std::uint64_t increment = 0;
  std::uint64_t step_multiplier = kMultiplier;
  std::uint64_t step_increment = 1;
  for (; steps != 0; steps >>= 1) {
    if ((steps & 1u) != 0) {
      multiplier *= step_multiplier;
      increment = increment * step_multiplier + step_increment;
    }
    step_increment *= step_multiplier + 1;
    step_multiplier *= step_multiplier;
  }
  rng.integer_state = rng.integer_state * multiplier + increment;
}

void start_integer_stream(RandomGenerators& rng, std::int32_t stream) noexcept {
  rng.integer_state = RandomGenerators{}.integer_state;
  advance_integer_generator(rng, static_cast<std::uint64_t>(stream) * kStreamLength);
}

std::int32_t random_int(RandomGenerators& rng, std::int32_t n) noexcept {
  if (n == 0) return 0;
  // lrand31 is never negative, so the remainder is not either.
  return static_cast<std::int32_t>(static_cast<std::int64_t>(lrand31(rng)) % n);
}

void set_random_seed(RandomGenerators& rng, std::int32_t seed) noexcept {
  rng.float_state = seed;
}

float uniform_random(RandomGenerators& rng) noexcept {
  // 16807 * state mod (2^31 - 1) on 32-bit words: the product is split at bit 16
  // and the part above bit 31 folded back; shifts are arithmetic, sums wrap.
  const std::int32_t state = rng.float_state;
  const std::int32_t hi = wrap32(static_cast<std::int64_t>(state >> 16) * 16807);
  std::int32_t lo = wrap32(static_cast<std::int64_t>(state & 0xFFFF) * 16807 +
                           (static_cast<std::int64_t>(hi & 0x7FFF) << 16) + (hi >> 15));
  if (lo < 0) lo = wrap32(static_cast<std::int64_t>(lo) - kModulus);
  rng.float_state = lo;
  return static_cast<float>(static_cast<double>(lo) / static_cast<double>(kModulus));
}

float random_float(RandomGenerators& rng, float x) noexcept {
  const float u = uniform_random(rng);
  return static_cast<float>((1.0 - static_cast<double>(u)) * static_cast<double>(x));
}

}  // namespace quarvel
