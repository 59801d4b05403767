// Results pinned to a file: two small runs that breed and rank by MSE (one
// population, then two with other selection and growth), and one at the
// window's default settings, which ranks by MDL; each generation's best
// figures at full precision and the best tree's text, compared with
// golden_runs.txt on either fitting path. Any change of a draw's order or of the arithmetic of
// the fit, the ranking or the prediction shows here.
//
// After a change that is meant to change results, write the file anew and
// check its difference in review:
//   QUARVEL_WRITE_GOLDEN=1 build/tests/engine/engine_tests --gtest_filter='Golden.*'
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/fitting.h"
#include "engine/generations.h"
#include "engine/prediction.h"
#include "support/engine_fixtures.h"
#include "support/scratch.h"

namespace quarvel {
namespace {

using quarvel::testing::make_engine;

std::string exact(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

// Two chaotic maps added, from products and differences alone so that the
// series is the same on every machine; no one quadratic of a lag fits it.
std::vector<double> chaotic_series(int n, double x, double y) {
  std::vector<double> values;
  for (int i = 0; i < n; ++i) {
    x = 3.8 * x * (1.0 - x);
    y = 3.6 * y * (1.0 - y);
    values.push_back(10.0 + 4.0 * x + 2.0 * y);
  }
  return values;
}

// How one population is bred.
struct Breeding {
  int size, elite, terminals, selection, tournament, growth, depth, mutant_depth;
  float crossover_at_functions, crossover_anywhere, reproduction;
};
constexpr Breeding kTournamentGrow{40, 2, 6, TOURNAMENT, 4, GROW, 4, 3, 0.4f, 0.3f, 0.1f};
constexpr Breeding kFitnessRamped{30, 1, 8, FITNESSPROP, 5, RAMPED, 3, 4, 0.3f, 0.4f, 0.0f};
// The window's defaults (runs/settings.cpp): 1000 individuals, 100 terminals,
// tournaments of 6, 10 elite, grown trees of depth 6, mutants of depth 10,
// crossover 0.4 at functions and 0.4 anywhere, no copies.
constexpr Breeding kWindowDefaults{1000, 10, 100, TOURNAMENT, 6, GROW, 6, 10, 0.4f, 0.4f, 0.0f};

// How a run ranks its individuals, and its seed: the window ranks by MDL
// with the weights below, from seed 1.
struct Ranking {
  int by_mdl;
  int seed;
};
constexpr Ranking kByMse{0, 5};
constexpr Ranking kWindowRanking{1, 1};

// The record of a run: per generation and population the best individual's
// MSE and MDL as the program reports them, the mean squared error and MDL of
// its fit in double, the mean squared error of its forecast over the
// validation part, the mean MSE of the population and the best tree; then the
// states of the random generators.
std::string run_record(const std::vector<Breeding>& populations, Ranking ranking, FitPath path) {
  const auto count = static_cast<int>(populations.size());
  auto engine = make_engine(chaotic_series(70, 0.31, 0.52), chaotic_series(20, 0.77, 0.18), count,
                            [&](RunParameters& p) {
                              for (std::size_t i = 0; i < populations.size(); ++i) {
                                const Breeding& b = populations[i];
                                p.population_size[i] = b.size;
                                p.elite_size[i] = b.elite;
                                p.terminal_table_size[i] = b.terminals;
                                p.selection_method[i] = b.selection;
                                p.tournament_K[i] = b.tournament;
                                p.grow_method[i] = b.growth;
                                p.max_depth_for_new_trees[i] = b.depth;
                                p.max_mutant_depth[i] = b.mutant_depth;
                                p.crossover_func_pt_fraction[i] = b.crossover_at_functions;
                                p.crossover_any_pt_fraction[i] = b.crossover_anywhere;
                                p.fitness_prop_repro_fraction[i] = b.reproduction;
                              }
                              p.random_seed = ranking.seed;
                              p.evaluate_by_mdl = ranking.by_mdl;
                              p.mdl_weight = 0.0005;
                              p.mdl_error_weight = 0.0003;
                            });
  Engine& e = *engine;
  e.fit_path = path;
  e.data.overlap = 6;
  std::string record = "run of " + std::to_string(count) + " population(s)" +
                       (ranking.by_mdl != 0 ? " ranked by MDL" : "") + "\n";
  for (int g = 0; g < 6; ++g) {
    generation_step(e, g);
    for (int p = 0; p < count; ++p) {
      report_best_tree(e, e.report, p);
      fill_prediction(e, e.report, p);
      report_run_figures(e, e.report, p);
      const Population& pop = e.populations[static_cast<std::size_t>(p)];
      const TreeNode* best = pop.best_of_gen_tree.get();
      const double fit = node_sn2(e, best);
      double sum = 0.0;
      for (const float mse : pop.sn2) sum += mse;
      record += "generation " + std::to_string(g) + " population " + std::to_string(p + 1) +
                ": mse " + exact(e.report.best_sn2) + " mdl " + exact(e.report.best_mdl) +
                "; in double: fit " + exact(fit) + " " +
                exact(mdl_score(e, best, fit, e.data.training_count)) + " forecast " +
                exact(e.report.validation_mse) + " mean mse " +
                exact(sum / static_cast<double>(pop.sn2.size())) + "\n" + e.report.tree_text;
    }
    record += "draws after generation " + std::to_string(g) + ": " +
              std::to_string(e.random.integer_state) + " " + std::to_string(e.random.float_state) +
              "\n";
  }
  return record;
}

std::string runs_record(FitPath path) {
  return run_record({kTournamentGrow}, kByMse, path) +
         run_record({kTournamentGrow, kFitnessRamped}, kByMse, path) +
         run_record({kWindowDefaults}, kWindowRanking, path);
}

TEST(Golden, RunsGiveThePinnedResultsOnEitherPath) {
  const std::string path = QUARVEL_GOLDEN_FILE;
  const std::string header =
      "# The best of each generation of three small runs, written by "
      "tests/engine/test_golden.cpp;\n"
      "# QUARVEL_WRITE_GOLDEN=1 engine_tests --gtest_filter='Golden.*' writes it anew.\n";
  const std::string fast = runs_record(FitPath::fast);
  if (std::getenv("QUARVEL_WRITE_GOLDEN") != nullptr) {
    std::ofstream(path, std::ios::binary) << header << fast;
    GTEST_SKIP() << "wrote " << path;
  }
  const std::string golden = quarvel::testing::read_file(path);
  ASSERT_FALSE(golden.empty()) << "no golden file at " << path;
  EXPECT_EQ(header + fast, golden);
  EXPECT_EQ(header + runs_record(FitPath::reference), golden);
}

}  // namespace
}  // namespace quarvel
