// The engine's two random generators.
//
// The integer generator (a 64-bit linear congruential generator) serves every
// choice among a finite number of things; it is seeded once when the engine is
// created and runs on across runs. The floating-point generator (Park-Miller
// minimal standard) serves every probability draw; Start resets it to the
// user's seed.
#pragma once

#include <cstdint>

namespace quarvel {

struct RandomGenerators {
  // Program-start state: the low word is the runtime's seed 1 advanced once by
  // lo * 22695477 + 1, the high word is 0.
  std::uint64_t integer_state = 22695478u;
  std::int32_t float_state = 0;
};

// One step of the integer generator: bits 32..62 of the new 64-bit state.
[[nodiscard]] std::int32_t lrand31(RandomGenerators& rng) noexcept;

// The integer generator `steps` steps on, as that many lrand31 calls would
// leave it, in at most 64 squarings of its step.
void advance_integer_generator(RandomGenerators& rng, std::uint64_t steps) noexcept;

// Independent runs draw from streams of the integer generator's one sequence:
// stream s starts s * 2^40 steps after the program-start state, so that each
// of the 2^24 streams has 2^40 draws before the next begins (a run draws far
// fewer). Stream 0 is the program-start state itself.
inline constexpr std::uint64_t kStreamLength = std::uint64_t{1} << 40;
inline constexpr std::int32_t kStreamCount = std::int32_t{1} << 24;

// Sets the integer generator to the start of `stream` (0 .. kStreamCount - 1).
void start_integer_stream(RandomGenerators& rng, std::int32_t stream) noexcept;

// 0 when n is 0 (without drawing), otherwise lrand31() modulo n.
[[nodiscard]] std::int32_t random_int(RandomGenerators& rng, std::int32_t n) noexcept;

void set_random_seed(RandomGenerators& rng, std::int32_t seed) noexcept;

// One Park-Miller step; the new state / (2^31 - 1), rounded to float32.
[[nodiscard]] float uniform_random(RandomGenerators& rng) noexcept;

// (1 - uniform_random()) * x, computed in double and rounded once to float32.
[[nodiscard]] float random_float(RandomGenerators& rng, float x) noexcept;

}  // namespace quarvel
