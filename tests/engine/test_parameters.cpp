#include <gtest/gtest.h>
#include <unistd.h>

#include "engine/engine.h"

using namespace quarvel;

TEST(RunParameters, DefaultsOfEveryEntry) {
  const Engine engine;
  const RunParameters& p = engine.parameters;
  EXPECT_EQ(p.number_of_populations, 1);
  EXPECT_EQ(p.number_of_generations, 100);
  EXPECT_EQ(p.evaluate_by_mdl, 1);
  EXPECT_EQ(p.random_seed, 42);
  EXPECT_EQ(p.mdl_weight, 1.0);
  EXPECT_EQ(p.mdl_error_weight, 1.0);
  for (int i = 0; i < kMaxPopulationEntries; ++i) {
    EXPECT_EQ(p.terminal_table_size[i], 100);
    EXPECT_EQ(p.population_size[i], 100);
    EXPECT_EQ(p.max_depth_for_new_trees[i], 6);
    EXPECT_EQ(p.max_depth_after_crossover[i], 17);
    EXPECT_EQ(p.max_mutant_depth[i], 10);
    EXPECT_EQ(p.grow_method[i], GROW);
    EXPECT_EQ(p.selection_method[i], TOURNAMENT);
    EXPECT_EQ(p.elite_size[i], 2);
    EXPECT_EQ(p.tournament_K[i], 5);
    EXPECT_EQ(p.crossover_func_pt_fraction[i], 0.0f);
  }
}

TEST(RunParameters, ApplyTakesOverRunWideSettingsAndSeeds) {
  Engine engine;
  RunParameters p = engine.parameters;
  p.number_of_populations = 3;
  p.evaluate_by_mdl = 0;
  p.mdl_weight = 0.5;
  p.mdl_error_weight = 0.25;
  p.random_seed = 7;
  const auto integer_state = engine.random.integer_state;
  apply_run_parameters(engine, p);
  EXPECT_EQ(engine.population_count, 3);
  EXPECT_EQ(engine.evaluate_by_mdl, 0);
  EXPECT_EQ(engine.mdl_weight, 0.5);
  EXPECT_EQ(engine.mdl_error_weight, 0.25);
  EXPECT_EQ(engine.random.float_state, 7);
  EXPECT_EQ(engine.random.integer_state, integer_state);  // never reseeded
}

TEST(RunParameters, AllocateCopiesEntriesAndStorageFollowsSizes) {
  Engine engine;
  RunParameters p = engine.parameters;
  p.number_of_populations = 2;
  p.population_size[1] = 7;
  p.elite_size[1] = 7;  // equal to the size is accepted
  p.tournament_K[1] = 3;
  p.crossover_any_pt_fraction[1] = 0.4f;
  apply_run_parameters(engine, p);
  allocate_populations(engine, p);
  prepare_engine(engine);
  ASSERT_EQ(engine.populations.size(), 2u);
  const Population& second = engine.populations[1];
  EXPECT_EQ(second.population_size, 7);
  EXPECT_EQ(second.elite_size, 7);
  EXPECT_EQ(second.crossover_any_pt_fraction, 0.4f);
  EXPECT_EQ(second.sn2.size(), 7u);
  EXPECT_EQ(second.individuals.size(), 7u);
  EXPECT_EQ(second.tournament_draws.size(), 3u);
  EXPECT_EQ(second.best_of_gen_tree, nullptr);
}

namespace {
void allocate_with(int populations, int elite) {
  dup2(STDERR_FILENO, STDOUT_FILENO);  // let the death test see what goes to stdout
  Engine engine;
  RunParameters p = engine.parameters;
  p.number_of_populations = populations;
  p.elite_size[0] = elite;
  apply_run_parameters(engine, p);
  allocate_populations(engine, p);
  std::exit(3);  // reached only when the settings were accepted
}
}  // namespace

TEST(RunParametersDeathTest, InvalidCountsEndTheProcess) {
  EXPECT_EXIT(allocate_with(0, 2), ::testing::ExitedWithCode(0), "^No empty populations!\n$");
  EXPECT_EXIT(allocate_with(10, 2), ::testing::ExitedWithCode(0),
              "^Error: Number of populations is greater than compiled maximum!\n$");
  EXPECT_EXIT(allocate_with(1, 101), ::testing::ExitedWithCode(0),
              "^Error: Elite size must be smaller than population size!\n$");
  EXPECT_EXIT(allocate_with(9, 100), ::testing::ExitedWithCode(3), "");
}
