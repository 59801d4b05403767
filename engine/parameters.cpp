#include "engine/parameters.h"

#include <cstdio>
#include <cstdlib>

#include "engine/engine.h"

namespace quarvel {

namespace {
[[noreturn]] void fatal_settings(const char* message) {
  std::fputs(message, stdout);
  std::fflush(stdout);
  std::exit(0);
}
}  // namespace

void set_default_parameters(RunParameters& p) {
  p.number_of_populations = 1;
  p.number_of_generations = 100;
  p.evaluate_by_mdl = 1;
  p.random_seed = 42;
  p.mdl_weight = 1.0;
  p.mdl_error_weight = 1.0;
  p.terminal_table_size.fill(100);
  p.population_size.fill(100);
  p.max_depth_for_new_trees.fill(6);
  p.max_depth_after_crossover.fill(17);
  p.max_mutant_depth.fill(10);
  p.grow_method.fill(GROW);
  p.selection_method.fill(TOURNAMENT);
  p.elite_size.fill(2);
  p.tournament_K.fill(5);
  p.crossover_func_pt_fraction.fill(0.0f);
  p.crossover_any_pt_fraction.fill(0.0f);
  p.fitness_prop_repro_fraction.fill(0.0f);
}

void apply_run_parameters(Engine& engine, const RunParameters& p) {
  engine.population_count = p.number_of_populations;
  engine.evaluate_by_mdl = p.evaluate_by_mdl;
  engine.mdl_weight = p.mdl_weight;
  engine.mdl_error_weight = p.mdl_error_weight;
  set_random_seed(engine.random, p.random_seed);
}

void allocate_populations(Engine& engine, const RunParameters& p) {
  const std::int32_t count = engine.population_count;
  if (count <= 0) fatal_settings("No empty populations!\n");
  if (count >= kMaxPopulationEntries) {
    fatal_settings("Error: Number of populations is greater than compiled maximum!\n");
  }
  engine.populations.clear();
  engine.populations.resize(static_cast<std::size_t>(count));
  for (std::int32_t i = 0; i < count; ++i) {
    if (p.elite_size[i] > p.population_size[i]) {
      fatal_settings("Error: Elite size must be smaller than population size!\n");
    }
    Population& pop = engine.populations[static_cast<std::size_t>(i)];
    pop.population_size = p.population_size[i];
    pop.terminal_table_size = p.terminal_table_size[i];
    pop.max_depth_for_new_trees = p.max_depth_for_new_trees[i];
    pop.max_depth_after_crossover = p.max_depth_after_crossover[i];
    pop.max_mutant_depth = p.max_mutant_depth[i];
    pop.grow_method = p.grow_method[i];
    pop.selection_method = p.selection_method[i];
    pop.elite_size = p.elite_size[i];
    pop.tournament_K = p.tournament_K[i];
    pop.crossover_func_pt_fraction = p.crossover_func_pt_fraction[i];
    pop.crossover_any_pt_fraction = p.crossover_any_pt_fraction[i];
    pop.fitness_prop_repro_fraction = p.fitness_prop_repro_fraction[i];
  }
}

void allocate_population_storage(Engine& engine, std::int32_t count) {
  for (std::int32_t i = 0; i < count; ++i) {
    Population& pop = engine.populations[static_cast<std::size_t>(i)];
    const auto size = static_cast<std::size_t>(pop.population_size);
    pop.sn2.assign(size, 0.0f);
    pop.mdl.assign(size, 0.0f);
    pop.standardized.assign(size, 0.0f);
    pop.adjusted.assign(size, 0.0f);
    pop.norm.assign(size, 0.0f);
    pop.rank_order.assign(size, 0);
    pop.tournament_draws.assign(static_cast<std::size_t>(pop.tournament_K), 0);
    pop.individuals.clear();
    pop.individuals.resize(size);
    pop.next_individuals.clear();
    pop.next_individuals.resize(size);
    pop.best_of_gen_tree.reset();
  }
}

}  // namespace quarvel
