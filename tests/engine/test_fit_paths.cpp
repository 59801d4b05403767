// The fast fitting path against the reference chain through the matrix
// routines: every coefficient, output and error must agree to the bit.
#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <random>

#include "engine/fitting.h"
#include "engine/generations.h"
#include "support/engine_fixtures.h"

using namespace quarvel;
using namespace quarvel::testing;

namespace {

bool same_bits(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

::testing::AssertionResult same_bits(const std::vector<double>& a, const std::vector<double>& b) {
  if (a.size() != b.size())
    return ::testing::AssertionFailure() << "sizes " << a.size() << " vs " << b.size();
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (!same_bits(a[i], b[i])) {
      return ::testing::AssertionFailure() << "entry " << i << ": " << a[i] << " vs " << b[i];
    }
  }
  return ::testing::AssertionSuccess();
}

// A child whose model delivers the given inputs as its outputs.
Tree fixed_child(Engine& e, const std::vector<double>& outputs) {
  Tree node = function(e, terminal(e, 0), terminal(e, 1));
  NodeModel& model = *node->model();
  model.kind_id = 1;
  model.coefficients.assign(6, 0.0);
  store_outputs(e, model, outputs);
  model.sn2 = 0.25;
  return node;
}

enum class Shape {
  independent,
  equal,
  constant,
  collinear,
  beyond_limit,
  huge,
  tiny,
  nearly_equal
};

std::vector<double> inputs(Shape shape, const std::vector<double>& base, std::mt19937_64& rng) {
  std::uniform_real_distribution<double> u(-1.0, 2.0);
  std::vector<double> out(base.size());
  for (std::size_t t = 0; t < base.size(); ++t) {
    switch (shape) {
      case Shape::independent:
        out[t] = u(rng);
        break;
      case Shape::equal:
        out[t] = base[t];
        break;
      case Shape::constant:
        out[t] = 0.75;
        break;
      case Shape::collinear:
        out[t] = 2.0 * base[t] - 0.5;
        break;
      case Shape::beyond_limit:
        out[t] = u(rng) * 400.0;
        break;
      case Shape::huge:
        out[t] = u(rng) * 1e160;
        break;
      case Shape::tiny:
        out[t] = u(rng) * 1e-9;
        break;
      case Shape::nearly_equal:
        out[t] = base[t] + u(rng) * 3e-4;
        break;
    }
  }
  return out;
}

}  // namespace

TEST(FitPaths, FastPathMatchesTheReferenceBitForBit) {
  std::mt19937_64 rng(20261210);
  const std::vector<int> lengths{1, 2, 3, 4, 7, 10, 31, 100, 300, 1000, 4000};
  const std::vector<Shape> shapes{Shape::independent, Shape::equal,        Shape::constant,
                                  Shape::collinear,   Shape::beyond_limit, Shape::huge,
                                  Shape::tiny,        Shape::nearly_equal};
  const std::vector<double> limits{1.0, 3.0, 100.0};
  int cases = 0;
  for (const int n : lengths) {
    const int repeats = n >= 1000 ? 3 : 12;
    for (int rep = 0; rep < repeats; ++rep) {
      std::uniform_real_distribution<double> u(-5.0, 5.0);
      std::vector<double> training(static_cast<std::size_t>(n));
      for (double& x : training) x = u(rng);
      training[0] = -5.0;  // keep the series non-constant even at n = 1
      auto engine = make_engine(training, {6.0});
      Engine& e = *engine;
      for (const Shape shape : shapes) {
        for (const double limit : limits) {
          e.data.value_limit = limit;
          const std::vector<double> left =
              inputs(Shape::independent, std::vector<double>(n, 0.0), rng);
          const std::vector<double> right = inputs(shape, left, rng);
          Tree a = fixed_child(e, left);
          Tree b = fixed_child(e, right);
          Tree fast_root = function(e, copy_tree(e, a.get()), copy_tree(e, b.get()));
          Tree reference_root = function(e, copy_tree(e, a.get()), copy_tree(e, b.get()));
          e.fit_path = FitPath::fast;
          fit_node(e, fast_root.get());
          e.fit_path = FitPath::reference;
          fit_node(e, reference_root.get());
          const NodeModel& fast = *fast_root->model();
          const NodeModel& reference = *reference_root->model();
          SCOPED_TRACE(::testing::Message()
                       << "n " << n << " shape " << static_cast<int>(shape) << " limit " << limit);
          ASSERT_EQ(fast.kind_id, reference.kind_id);
          ASSERT_TRUE(same_bits(fast.coefficients, reference.coefficients));
          ASSERT_TRUE(
              same_bits(model_outputs(e, fast_root.get()), model_outputs(e, reference_root.get())));
          ASSERT_TRUE(same_bits(fast.sn2, reference.sn2));
          ++cases;
        }
      }
    }
  }
  EXPECT_GT(cases, 2000);
}

TEST(FitPaths, WholeRunsAgreeOnEitherPathAndAnyThreadCount) {
  struct Outcome {
    std::vector<float> scores;
    std::uint64_t integer_state;
    std::int32_t float_state;
  };
  auto run = [](FitPath path, int threads) {
    auto engine = make_engine(wave(150), wave(30, 0.3), 2, [](RunParameters& p) {
      p.population_size = {200, 120};
      p.terminal_table_size = {8, 20};
      p.crossover_func_pt_fraction = {0.4f, 0.3f};
      p.crossover_any_pt_fraction = {0.4f, 0.3f};
      p.fitness_prop_repro_fraction = {0.0f, 0.1f};
    });
    engine->fit_path = path;
    engine->fit_threads = threads;
    Outcome outcome;
    for (int g = 0; g < 6; ++g) {
      generation_step(*engine, g);
      for (const Population& pop : engine->populations) {
        outcome.scores.insert(outcome.scores.end(), pop.mdl.begin(), pop.mdl.end());
        outcome.scores.insert(outcome.scores.end(), pop.sn2.begin(), pop.sn2.end());
      }
    }
    outcome.integer_state = engine->random.integer_state;
    outcome.float_state = engine->random.float_state;
    return outcome;
  };
  const Outcome reference = run(FitPath::reference, 1);
  for (const auto& [path, threads] : {std::pair{FitPath::fast, 1}, std::pair{FitPath::fast, 2}}) {
    const Outcome other = run(path, threads);
    ASSERT_EQ(other.scores.size(), reference.scores.size());
    EXPECT_EQ(std::memcmp(other.scores.data(), reference.scores.data(),
                          reference.scores.size() * sizeof(float)),
              0)
        << threads;
    EXPECT_EQ(other.integer_state, reference.integer_state) << threads;
    EXPECT_EQ(other.float_state, reference.float_state) << threads;
  }
}
