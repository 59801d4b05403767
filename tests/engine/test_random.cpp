#include <gtest/gtest.h>

#include <vector>

#include "engine/random.h"

using namespace quarvel;

// Reference values computed independently of this code from the generators' definitions.
TEST(IntegerGenerator, FirstValuesAfterProgramStart) {
  RandomGenerators rng;
  const std::vector<std::int32_t> expected{1410184549, 672584604, 1915668986, 576821944, 167078712};
  for (const auto value : expected) EXPECT_EQ(lrand31(rng), value);
}

TEST(IntegerGenerator, RandomIntOfZeroDoesNotDraw) {
  RandomGenerators a;
  RandomGenerators b;
  EXPECT_EQ(random_int(a, 0), 0);
  EXPECT_EQ(lrand31(a), lrand31(b));
  EXPECT_EQ(random_int(a, 10), lrand31(b) % 10);
}

// The jump must leave the generator where plain stepping does.
TEST(IntegerGenerator, AdvanceEqualsStepping) {
  RandomGenerators stepped;
  for (std::uint64_t steps = 0; steps <= 1100; ++steps) {
    RandomGenerators jumped;
    advance_integer_generator(jumped, steps);
    ASSERT_EQ(jumped.integer_state, stepped.integer_state) << steps << " steps";
    (void)lrand31(stepped);
  }
  // From a state other than the program start, with the bits of a count far
  // apart.
  RandomGenerators from;
  from.integer_state = 0xFEDCBA9876543210u;
  RandomGenerators jumped = from;
  advance_integer_generator(jumped, 65537);
  for (int i = 0; i < 65537; ++i) (void)lrand31(from);
  EXPECT_EQ(jumped.integer_state, from.integer_state);
}

TEST(IntegerGenerator, StreamsLieOnTheOneSequence) {
  RandomGenerators stream0;
  start_integer_stream(stream0, 0);
  EXPECT_EQ(stream0.integer_state, RandomGenerators{}.integer_state);

  // Stream 3 is stream 1 advanced by two stream lengths, and stream 2 its
  // predecessor advanced by 2^39 steps twice.
  RandomGenerators stream1;
  start_integer_stream(stream1, 1);
  RandomGenerators stream2;
  start_integer_stream(stream2, 2);
  RandomGenerators stream3;
  start_integer_stream(stream3, 3);
  advance_integer_generator(stream1, 2 * kStreamLength);
  EXPECT_EQ(stream1.integer_state, stream3.integer_state);
  RandomGenerators halves;
  start_integer_stream(halves, 1);
  advance_integer_generator(halves, kStreamLength / 2);
  advance_integer_generator(halves, kStreamLength / 2);
  EXPECT_EQ(halves.integer_state, stream2.integer_state);
  EXPECT_NE(stream2.integer_state, stream3.integer_state);

  // The generator has the full period 2^64: 2^63 steps lead elsewhere, and
  // 2^63 more back to the start; the last stream ends there too.
  RandomGenerators around;
  advance_integer_generator(around, std::uint64_t{1} << 63);
  EXPECT_NE(around.integer_state, RandomGenerators{}.integer_state);
  advance_integer_generator(around, std::uint64_t{1} << 63);
  EXPECT_EQ(around.integer_state, RandomGenerators{}.integer_state);
  RandomGenerators last;
  start_integer_stream(last, kStreamCount - 1);
  advance_integer_generator(last, kStreamLength);
  EXPECT_EQ(last.integer_state, RandomGenerators{}.integer_state);
}

TEST(FloatGenerator, FirstDrawsForSeeds) {
  struct Case {
    std::int32_t seed;
    double first_random_float;
  };
  for (const Case c : {Case{1, 0.9999921917915344}, Case{42, 0.9996712803840637}}) {
    RandomGenerators rng;
    set_random_seed(rng, c.seed);
    EXPECT_EQ(static_cast<double>(random_float(rng, 1.0f)), c.first_random_float) << c.seed;
  }
  RandomGenerators rng;
  set_random_seed(rng, 1);
  EXPECT_EQ(uniform_random(rng), static_cast<float>(16807.0 / 2147483647.0));
  EXPECT_EQ(rng.float_state, 16807);
  EXPECT_EQ(uniform_random(rng), static_cast<float>(282475249.0 / 2147483647.0));
  set_random_seed(rng, 42);
  (void)uniform_random(rng);
  EXPECT_EQ(rng.float_state, 42 * 16807);
}

TEST(FloatGenerator, FixedPoints) {
  RandomGenerators rng;
  set_random_seed(rng, 2147483647);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(random_float(rng, 1.0f), 0.0f);
  set_random_seed(rng, 0);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(random_float(rng, 0.75f), 0.75f);
}

// The split 32-bit step must agree with 16807 * state mod (2^31 - 1) everywhere.
TEST(FloatGenerator, AgreesWithTheModularStep) {
  RandomGenerators rng;
  set_random_seed(rng, 1);
  std::int64_t state = 1;
  for (int i = 0; i < 100000; ++i) {
    (void)uniform_random(rng);
    state = state * 16807 % 2147483647;
    ASSERT_EQ(rng.float_state, state) << "step " << i;
  }
}
