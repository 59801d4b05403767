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
