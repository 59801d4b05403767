// The output store: which outputs it keeps within its budget, and whole runs
// whose outputs are given up and computed again all the time giving exactly
// the results of runs that keep every output.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>

#include "engine/fitting.h"
#include "engine/generations.h"
#include "engine/prediction.h"
#include "support/engine_fixtures.h"

using namespace quarvel;
using namespace quarvel::testing;

namespace {

constexpr std::size_t kPoints = 4;
constexpr std::size_t kEntryBytes = kPoints * sizeof(double);

void fill(double* values, double x) {
  for (std::size_t i = 0; i < kPoints; ++i) values[i] = x + static_cast<double>(i);
}

// Stores outputs for `fit` and lets go of them.
void put(OutputStore& store, std::int64_t fit, double x) {
  fill(store.create(fit), x);
  store.release(fit);
}

}  // namespace

TEST(OutputStore, GivesUpTheOutputsUsedLongestAgoWhenFull) {
  OutputStore store;
  store.set_budget(2 * kEntryBytes);
  store.reset(kPoints);
  ASSERT_EQ(store.capacity(), 2u);
  put(store, 1, 10.0);
  put(store, 2, 20.0);
  const double* first = store.hold(1);  // 1 is now the more recently used
  ASSERT_NE(first, nullptr);
  store.release(1);
  put(store, 3, 30.0);
  EXPECT_FALSE(store.contains(2));
  EXPECT_EQ(store.given_up(), 1u);
  const double* kept = store.hold(1);
  ASSERT_NE(kept, nullptr);
  EXPECT_EQ(kept[0], 10.0);
  EXPECT_EQ(kept[3], 13.0);
  store.release(1);
  EXPECT_EQ(store.hold(2), nullptr);
  EXPECT_EQ(store.size(), 2u);
}

TEST(OutputStore, HeldOutputsStayBeyondTheBudget) {
  OutputStore store;
  store.set_budget(0);
  store.reset(kPoints);
  double* a = store.create(1);
  double* b = store.create(2);
  fill(a, 1.0);
  fill(b, 2.0);
  EXPECT_EQ(store.hold(1), a);  // held twice now
  EXPECT_EQ(store.size(), 2u);
  store.release(1);
  store.release(2);
  EXPECT_TRUE(store.contains(1));
  EXPECT_FALSE(store.contains(2));
  store.release(1);
  EXPECT_EQ(store.size(), 0u);
  EXPECT_EQ(store.given_up(), 2u);
}

TEST(OutputStore, DropsWhatItIsToldAndWhatNoModelNeeds) {
  OutputStore store;
  store.reset(kPoints);
  for (std::int64_t fit = 1; fit <= 6; ++fit) put(store, fit, static_cast<double>(fit));
  store.drop(2);
  store.keep_only([](std::int64_t fit) { return fit % 2 == 1; });
  EXPECT_EQ(store.size(), 3u);
  for (std::int64_t fit : {1, 3, 5}) EXPECT_TRUE(store.contains(fit)) << fit;
  // A smaller budget gives up the outputs used longest ago at once.
  store.set_budget(kEntryBytes);
  EXPECT_EQ(store.size(), 1u);
  EXPECT_TRUE(store.contains(5));
  // Creating outputs again under a stored name replaces them in place.
  double* again = store.create(5);
  fill(again, 50.0);
  store.release(5);
  EXPECT_EQ(store.hold(5)[0], 50.0);
  store.release(5);
}

namespace {

struct Setting {
  const char* name;
  int populations;
  bool rank_by_mdl;
  double value_limit;
  FitPath path;
  int threads;
};

// Everything a run shows, written or ranks by, generation by generation.
struct RunRecord {
  std::vector<float> scores;  // every individual's sn2 and mdl
  std::string trees;
  std::vector<double> predictions;
  std::uint64_t integer_state = 0;
};

RunRecord run(const Setting& setting, std::size_t budget, std::size_t* given_up) {
  auto engine = make_engine(wave(160), wave(40, 0.4), setting.populations, [&](RunParameters& p) {
    p.evaluate_by_mdl = setting.rank_by_mdl ? 1 : 0;
    p.population_size = {150, 90};
    p.elite_size = {2, 1};
    p.terminal_table_size = {12, 6};
    p.crossover_func_pt_fraction = {0.4f, 0.3f};
    p.crossover_any_pt_fraction = {0.3f, 0.4f};
    p.fitness_prop_repro_fraction = {0.1f, 0.0f};
    p.grow_method = {RAMPED, GROW};
    p.max_mutant_depth = {4, 3};
  });
  Engine& e = *engine;
  e.data.value_limit = setting.value_limit;
  e.data.overlap = 10;
  e.fit_path = setting.path;
  e.fit_threads = setting.threads;
  e.outputs.set_budget(budget);
  RunRecord record;
  for (int g = 0; g < 8; ++g) {
    generation_step(e, g);
    for (int p = 0; p < setting.populations; ++p) {
      const Population& pop = e.populations[static_cast<std::size_t>(p)];
      record.scores.insert(record.scores.end(), pop.sn2.begin(), pop.sn2.end());
      record.scores.insert(record.scores.end(), pop.mdl.begin(), pop.mdl.end());
      report_best_tree(e, e.report, p);
      fill_prediction(e, e.report, p);
      record.trees += e.report.tree_text;
      record.predictions.insert(record.predictions.end(), e.report.prediction.begin(),
                                e.report.prediction.begin() + e.data.point_count);
    }
  }
  record.integer_state = e.random.integer_state;
  *given_up = e.outputs.given_up();
  return record;
}

bool same_bytes(const auto& a, const auto& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(*a.data())) == 0;
}

}  // namespace

TEST(BoundedOutputs, RunsThatComputeOutputsAgainGiveTheSameResults) {
  const Setting settings[] = {
      {"two populations, MDL", 2, true, 100.0, FitPath::fast, 2},
      {"two populations, in order", 2, true, 100.0, FitPath::fast, 1},
      {"ranked by MSE", 1, false, 100.0, FitPath::fast, 2},
      {"a value limit that clips", 2, true, 0.3, FitPath::fast, 2},
      {"the reference path", 1, true, 0.3, FitPath::reference, 1},
  };
  const std::size_t points = 160;
  const std::size_t unbounded = std::numeric_limits<std::size_t>::max();
  for (const Setting& setting : settings) {
    SCOPED_TRACE(setting.name);
    std::size_t given_up = 0;
    const RunRecord reference = run(setting, unbounded, &given_up);
    ASSERT_EQ(given_up, 0u);
    // Nothing kept that nobody holds, then a store of three outputs.
    for (const std::size_t budget : {std::size_t{0}, 3 * points * sizeof(double)}) {
      SCOPED_TRACE(budget);
      const RunRecord bounded = run(setting, budget, &given_up);
      EXPECT_GT(given_up, 1000u);
      EXPECT_TRUE(same_bytes(bounded.scores, reference.scores));
      EXPECT_EQ(bounded.trees, reference.trees);
      EXPECT_TRUE(same_bytes(bounded.predictions, reference.predictions));
      EXPECT_EQ(bounded.integer_state, reference.integer_state);
    }
  }
}
