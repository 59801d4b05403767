#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <set>

#include "engine/breeding.h"
#include "engine/fitting.h"
#include "engine/generations.h"
#include "engine/population.h"
#include "engine/prediction.h"
#include "engine/selection.h"
#include "support/engine_fixtures.h"

using namespace quarvel;
using namespace quarvel::testing;

namespace {

std::unique_ptr<Engine> small_population(int size,
                                         const std::function<void(RunParameters&)>& more = {}) {
  return make_engine(wave(50), wave(15, 1.0), 1, [&](RunParameters& p) {
    p.population_size[0] = size;
    p.elite_size[0] = 1;
    if (more) more(p);
  });
}

void set_standardized(Engine& e, const std::vector<float>& values) {
  Population& pop = e.populations[0];
  pop.standardized = values;
  pop.mdl = values;
}

}  // namespace

TEST(Evaluation, NormalizeFitnessExample) {
  auto engine = small_population(4);
  set_standardized(*engine, {0, 1, 3, 0});
  normalize_fitness(*engine, 0);
  const Population& pop = engine->populations[0];
  EXPECT_EQ(pop.adjusted, (std::vector<float>{1, 0.5f, 0.25f, 1}));
  EXPECT_EQ(pop.norm, (std::vector<float>{4.0f / 11, 2.0f / 11, 1.0f / 11, 4.0f / 11}));
}

TEST(Evaluation, StandardizedIsTheMdlWhateverTheRanking) {
  auto engine = small_population(20, [](RunParameters& p) { p.evaluate_by_mdl = 0; });
  initialize_populations(*engine, 1);
  evaluate_population(*engine, 0);
  const Population& pop = engine->populations[0];
  const auto state = engine->random.integer_state;
  const auto sn2 = pop.sn2;
  evaluate_population(*engine, 0);
  EXPECT_EQ(engine->random.integer_state, state);  // nothing refitted
  EXPECT_EQ(pop.sn2, sn2);
  EXPECT_EQ(pop.standardized, pop.mdl);
  EXPECT_NE(pop.standardized, pop.sn2);
}

TEST(Evaluation, NonFiniteStandardizedValuesDoNotCrashSelection) {
  auto engine = small_population(4);
  set_standardized(*engine, {-1, -INFINITY, NAN, 2});
  normalize_fitness(*engine, 0);
  rank_population(*engine, 0);
  EXPECT_EQ(engine->populations[0].rank_order, (std::vector<int>{1, 0, 3, 2}));
  const int chosen = roulette_select(*engine, 0, 0.5f);
  EXPECT_GE(chosen, 0);
  EXPECT_LT(chosen, 4);
}

TEST(Ranking, StableWithNaNLast) {
  auto engine = small_population(6);
  set_standardized(*engine, {2, NAN, 1, 2, -INFINITY, 1});
  rank_population(*engine, 0);
  EXPECT_EQ(engine->populations[0].rank_order, (std::vector<int>{4, 2, 5, 0, 3, 1}));
}

TEST(Selection, TournamentTakesTheSmallestAndTheEarliestOnTies) {
  auto engine = small_population(8, [](RunParameters& p) { p.tournament_K[0] = 4; });
  set_standardized(*engine, {5, 3, 3, 7, 1, 3, 9, 2});
  for (int round = 0; round < 50; ++round) {
    RandomGenerators expected = engine->random;
    std::vector<int> draws;
    draws.reserve(4);
    for (int i = 0; i < 4; ++i) draws.push_back(random_int(expected, 8));
    int best = draws[0];
    for (int d : draws)
      if (engine->populations[0].standardized[d] < engine->populations[0].standardized[best])
        best = d;
    EXPECT_EQ(tournament_select(*engine, 0), best);
  }
  set_standardized(*engine, std::vector<float>(8, 1.0f));
  RandomGenerators expected = engine->random;
  const int first = random_int(expected, 8);
  EXPECT_EQ(tournament_select(*engine, 0), first);
}

TEST(Selection, RouletteWalksTheRanking) {
  auto engine = small_population(10);
  set_standardized(*engine, std::vector<float>(10, 0.0f));
  normalize_fitness(*engine, 0);
  rank_population(*engine, 0);
  Population& pop = engine->populations[0];
  std::reverse(pop.rank_order.begin(), pop.rank_order.end());
  EXPECT_EQ(roulette_select(*engine, 0, 0.0f), 9);  // rank_order[0]
  // Equal shares: target x chooses rank position ceil(10 x) - 1.
  for (const float x : {0.05f, 0.25f, 0.55f, 0.95f}) {
    const int position = static_cast<int>(std::ceil(x * 10)) - 1;
    EXPECT_EQ(roulette_select(*engine, 0, x), pop.rank_order[position]) << x;
  }
  EXPECT_EQ(roulette_select(*engine, 0, 2.0f), pop.rank_order[9]);
}

TEST(SelectionDeathTest, OverselectionNeedsAThousand) {
  auto engine = small_population(999, [](RunParameters& p) { p.selection_method[0] = OVERSELECT; });
  EXPECT_EXIT((void)overselect_target(*engine, 0), ::testing::ExitedWithCode(255),
              "population size 999 is too small for overselection\n");
}

TEST(Selection, OverselectionAimsAtTheTopGroupFourTimesInFive) {
  auto engine =
      small_population(1000, [](RunParameters& p) { p.selection_method[0] = OVERSELECT; });
  int top = 0;
  for (int i = 0; i < 5000; ++i) top += overselect_target(*engine, 0) < 0.32f ? 1 : 0;
  EXPECT_NEAR(top / 5000.0, 0.8, 0.03);
}

class Breeding : public ::testing::Test {
 protected:
  std::unique_ptr<Engine> engine =
      small_population(10, [](RunParameters& p) { p.max_depth_after_crossover[0] = 3; });
  Engine& e = *engine;
};

TEST_F(Breeding, CrossoverAtTheRootsSwapsWholeTrees) {
  Tree a = function(e, terminal(e, 0), terminal(e, 1));
  Tree b = function(e, terminal(e, 2), terminal(e, 3));
  auto [c1, c2] = crossover_function_point(e, a.get(), b.get());
  EXPECT_EQ(c1->model(), b->model());
  EXPECT_EQ(c2->model(), a->model());
  EXPECT_EQ(c1->child(0)->id, 2);
  EXPECT_EQ(c1->parent, nullptr);
  EXPECT_EQ(c1->child(0)->parent, c1.get());
}

TEST_F(Breeding, CrossoverBelowTheRootRefreshesTheAncestors) {
  Tree a = function(e, function(e, terminal(e, 0), terminal(e, 1)), terminal(e, 4));
  Tree b = function(e, terminal(e, 2), terminal(e, 3));
  (void)evaluate_tree(e, a.get());
  (void)evaluate_tree(e, b.get());
  // Find a draw sequence that picks a's left terminal X1 (pre-order 2) and b's root.
  for (int attempt = 0; attempt < 1000; ++attempt) {
    RandomGenerators probe = e.random;
    if (random_int(probe, 5) == 2 && random_int(probe, 3) == 0) break;
    (void)lrand31(e.random);
  }
  auto [c1, c2] = crossover_any_point(e, a.get(), b.get());
  // c1: root(left(b-copy, X2), X5); its root and left get fresh models, the inserted subtree keeps
  // b's.
  ASSERT_TRUE(c1->child(0)->child(0)->is_function());
  EXPECT_EQ(c1->child(0)->child(0)->model(), b->model());
  EXPECT_EQ(c1->child(0)->child(0)->parent, c1->child(0));
  EXPECT_FALSE(c1->model()->fitted());
  EXPECT_FALSE(c1->child(0)->model()->fitted());
  // c2 is the lone terminal X1.
  EXPECT_FALSE(c2->is_function());
  EXPECT_EQ(c2->id, 0);
  EXPECT_EQ(c2->parent, nullptr);
}

TEST_F(Breeding, DepthLimitReplacesOnlyTheTooDeepOffspring) {
  Tree deep = terminal(e, 0);
  for (int i = 0; i < 4; ++i) deep = function(e, std::move(deep), terminal(e, 1));
  Tree shallow = function(e, terminal(e, 0), terminal(e, 1));
  Tree parent1 = function(e, terminal(e, 5), terminal(e, 6));
  Tree parent2 = function(e, terminal(e, 7), terminal(e, 8));
  const KeptOffspring kept = limit_offspring_depth(e, parent1.get(), parent2.get(), deep, shallow);
  EXPECT_FALSE(kept.first);
  EXPECT_TRUE(kept.second);
  EXPECT_EQ(deep->model(), parent1->model());  // a copy of its own parent
  EXPECT_EQ(shallow->child(0)->id, 0);
}

TEST_F(Breeding, MutationAtTheRootReplacesTheWholeTree) {
  Tree lone = terminal(e, 3);
  RandomGenerators expected = e.random;
  Tree mutant = mutate(e, std::move(lone));
  // One draw picks point 0 of the one-node tree, then the new subtree is grown.
  (void)random_int(expected, 1);
  const int r = random_int(expected, 101);
  if (r == 0) {
    EXPECT_TRUE(mutant->is_function());
  } else {
    EXPECT_FALSE(mutant->is_function());
    EXPECT_EQ(mutant->id, r - 1);
    EXPECT_EQ(e.random.integer_state, expected.integer_state);
  }
  EXPECT_EQ(mutant->parent, nullptr);
}

TEST(BreedingPopulation, EliteOfTheWholePopulationCopiesInRankOrder) {
  auto engine = small_population(6, [](RunParameters& p) { p.elite_size[0] = 6; });
  Engine& e = *engine;
  generation_step(e, 0);
  const RandomGenerators before = e.random;
  breed_population(e, 0);
  const Population& pop = e.populations[0];
  for (int s = 0; s < 6; ++s) {
    EXPECT_EQ(pop.next_individuals[s]->model(), pop.individuals[pop.rank_order[s]]->model());
  }
  EXPECT_EQ(e.random.integer_state, before.integer_state);
  RandomGenerators one_q = before;
  (void)random_float(one_q, 1.0f);
  EXPECT_EQ(e.random.float_state, one_q.float_state);
}

TEST(BreedingPopulation, ShareOfEventsFollowsTheFractions) {
  // Only crossovers at function nodes: every offspring pair is a crossover,
  // except a last single place (odd count), which gets a copy.
  auto engine = small_population(8, [](RunParameters& p) {
    p.crossover_func_pt_fraction[0] = 1.0f;
    p.elite_size[0] = 1;
  });
  Engine& e = *engine;
  generation_step(e, 0);
  breed_population(e, 0);
  // The copy in the last place shares its root model with some current individual.
  const Population& pop = e.populations[0];
  bool shared = false;
  for (const Tree& tree : pop.individuals)
    shared = shared || (tree->model() == pop.next_individuals[7]->model());
  EXPECT_TRUE(shared);
}

TEST(GenerationStep, CollectorKeepsExactlyTheModelsInUse) {
  auto engine = make_engine(wave(80), wave(20, 1.0), 2, [](RunParameters& p) {
    p.population_size = {60, 40};
    p.elite_size = {3, 2};
    p.crossover_func_pt_fraction = {0.4f, 0.2f};
    p.crossover_any_pt_fraction = {0.4f, 0.3f};
    p.fitness_prop_repro_fraction = {0.0f, 0.2f};
    p.selection_method = {TOURNAMENT, FITNESSPROP};
    p.grow_method = {GROW, RAMPED};
    p.terminal_table_size = {10, 5};
  });
  Engine& e = *engine;
  for (int g = 0; g < 12; ++g) {
    generation_step(e, g);
    std::set<const NodeModel*> used;
    for (const Population& pop : e.populations) {
      for (const Tree& tree : pop.individuals) {
        for (int k = 0; k < count_nodes(tree.get()); ++k) {
          const TreeNode* node = nth_node(tree.get(), k);
          if (!node->is_function()) continue;
          ASSERT_TRUE(node->model()->fitted());
          used.insert(node->model());
        }
      }
    }
    EXPECT_EQ(e.registry.size(), used.size()) << "generation " << g;
    for (const NodeModel* model : used) ASSERT_TRUE(e.registry.contains(model));
    for (const auto& [key, model] : e.fit_cache) ASSERT_TRUE(e.registry.contains(model));
  }
}

TEST(GenerationStep, HundredGenerationsKeepTheRegistryWithinTheLivingTrees) {
  // Run under the sanitizer build as well: nothing may leak over a long run.
  auto engine = make_engine(wave(60), wave(20, 1.0), 1, [](RunParameters& p) {
    p.population_size[0] = 40;
    p.terminal_table_size[0] = 6;
    p.crossover_func_pt_fraction[0] = 0.4f;
    p.crossover_any_pt_fraction[0] = 0.4f;
  });
  Engine& e = *engine;
  for (int g = 0; g < 100; ++g) {
    generation_step(e, g);
    std::size_t function_nodes = 0;
    for (const Tree& tree : e.populations[0].individuals)
      function_nodes += count_function_nodes(tree.get());
    ASSERT_LE(e.registry.size(), function_nodes) << "generation " << g;
    ASSERT_LE(e.fit_cache.size(), e.registry.size());
  }
}

namespace {
struct Report {
  double sn2, mdl;
  std::string text;
  std::vector<double> prediction;
  bool operator==(const Report&) const = default;
};

std::vector<Report> run_reports(int generations) {
  auto engine = make_engine(wave(120), wave(40, 0.7), 2, [](RunParameters& p) {
    p.random_seed = 9;
    p.population_size = {50, 30};
    p.elite_size = {2, 1};
    p.crossover_func_pt_fraction = {0.4f, 0.5f};
    p.crossover_any_pt_fraction = {0.4f, 0.1f};
    p.selection_method = {TOURNAMENT, FITNESSPROP};
    p.terminal_table_size = {12, 6};
    p.max_mutant_depth = {4, 3};
  });
  Engine& e = *engine;
  e.data.overlap = 10;
  std::vector<Report> reports;
  for (int g = 0; g < generations; ++g) {
    generation_step(e, g);
    for (int p = 0; p < 2; ++p) {
      report_best_tree(e, e.report, p);
      fill_prediction(e, e.report, p);
      reports.push_back({e.report.best_sn2, e.report.best_mdl, e.report.tree_text,
                         std::vector<double>(e.report.prediction.begin(),
                                             e.report.prediction.begin() + e.data.point_count)});
    }
  }
  return reports;
}
}  // namespace

TEST(GenerationStep, FreshEnginesReproduceARunExactly) {
  const auto first = run_reports(6);
  const auto second = run_reports(6);
  ASSERT_EQ(first.size(), 12u);
  EXPECT_TRUE(first == second);
  // Elitism: the best score never gets worse.
  for (std::size_t i = 2; i < first.size(); ++i) EXPECT_LE(first[i].mdl, first[i - 2].mdl);
}

TEST(Prediction, LoneTerminalRepeatsWithItsLag) {
  auto engine = make_engine(wave(30), wave(12, 0.5));
  Engine& e = *engine;
  e.data.overlap = 2;
  e.populations[0].best_of_gen_tree = terminal(e, 2);  // X3
  fill_prediction(e, e.report, 0);
  const int s = e.data.training_count + 2;
  for (int t = 0; t < s; ++t) EXPECT_EQ(e.report.prediction[t], e.data.values[t]);
  for (int t = s; t < e.data.point_count; ++t)
    EXPECT_EQ(e.report.prediction[t], e.report.prediction[t - 3]);

  // An overlap past the data leaves nothing to forecast, however large it is:
  // training count + overlap must not wrap around to a forecast from row 0.
  const int largest = std::numeric_limits<std::int32_t>::max();
  for (const int overlap : {12, 50, largest - 30, largest - 29, largest}) {
    SCOPED_TRACE(overlap);
    e.data.overlap = overlap;
    e.report.prediction.assign(e.report.prediction.size(), -1.0);
    fill_prediction(e, e.report, 0);
    for (int t = 0; t < e.data.point_count; ++t) {
      EXPECT_EQ(e.report.prediction[t], e.data.values[t]) << t;
    }
    report_run_figures(e, e.report, 0);
    EXPECT_TRUE(std::isnan(e.report.validation_mse));
  }
}

TEST(Prediction, IteratesAFittedTreeOnItsOwnForecast) {
  auto engine = make_engine(wave(40), wave(10, 0.5));
  Engine& e = *engine;
  e.data.overlap = 0;
  Tree tree = function(e, terminal(e, 0), terminal(e, 1));
  (void)evaluate_tree(e, tree.get());
  const std::vector<double> c = tree->model()->coefficients;
  e.populations[0].best_of_gen_tree = std::move(tree);
  fill_prediction(e, e.report, 0);
  const auto& pred = e.report.prediction;
  for (int t = 40; t < 50; ++t) {
    const double x1 = pred[t - 1], x2 = pred[t - 2];
    const double expected =
        c[0] * 1 + c[1] * x1 + c[2] * x2 + c[3] * (x1 * x2) + c[4] * (x1 * x1) + c[5] * (x2 * x2);
    EXPECT_EQ(pred[t], expected) << t;
  }
}

TEST(Report, FiguresForTheChartDialogs) {
  auto engine = make_engine(wave(30), wave(12, 0.5), 1, [](RunParameters& p) {
    p.population_size[0] = 3;
    p.elite_size[0] = 1;
  });
  Engine& e = *engine;
  e.data.overlap = 2;
  Population& pop = e.populations[0];
  pop.individuals[0] = terminal(e, 2);
  pop.individuals[1] = function(e, terminal(e, 0), terminal(e, 1));
  pop.individuals[2] = function(e, terminal(e, 0), function(e, terminal(e, 1), terminal(e, 3)));
  pop.best_of_gen_tree = terminal(e, 2);  // X3
  fill_prediction(e, e.report, 0);
  report_run_figures(e, e.report, 0);
  double sum = 0.0;
  for (int t = 32; t < 42; ++t)
    sum +=
        (e.report.prediction[t] - e.data.values[t]) * (e.report.prediction[t] - e.data.values[t]);
  EXPECT_DOUBLE_EQ(e.report.validation_mse, sum / 10);
  EXPECT_EQ(e.report.best_node_count, 1.0);
  EXPECT_DOUBLE_EQ(e.report.average_node_count, (1.0 + 3.0 + 5.0) / 3.0);

  e.data.overlap = 12;  // nothing forecast
  fill_prediction(e, e.report, 0);
  report_run_figures(e, e.report, 0);
  EXPECT_TRUE(std::isnan(e.report.validation_mse));
}
