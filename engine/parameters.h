// Run and population settings, and the population records.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "engine/treeops.h"

namespace quarvel {

struct Engine;

inline constexpr int kMaxPopulationEntries = 10;

// Growth and selection codes as the front end writes them.
inline constexpr std::int32_t GROW = 3;
inline constexpr std::int32_t RAMPED = 4;
inline constexpr std::int32_t TOURNAMENT = 5;
inline constexpr std::int32_t OVERSELECT = 6;
inline constexpr std::int32_t FITNESSPROP = 7;

template <class T>
using PerPopulation = std::array<T, kMaxPopulationEntries>;

struct RunParameters {
  std::int32_t number_of_populations;
  std::int32_t number_of_generations;
  std::int32_t evaluate_by_mdl;
  std::int32_t random_seed;
  double mdl_weight;
  double mdl_error_weight;
  PerPopulation<std::int32_t> terminal_table_size;
  PerPopulation<std::int32_t> population_size;
  PerPopulation<std::int32_t> max_depth_for_new_trees;
  PerPopulation<std::int32_t> max_depth_after_crossover;
  PerPopulation<std::int32_t> max_mutant_depth;
  PerPopulation<std::int32_t> grow_method;
  PerPopulation<std::int32_t> selection_method;
  PerPopulation<std::int32_t> elite_size;
  PerPopulation<std::int32_t> tournament_K;
  PerPopulation<float> crossover_func_pt_fraction;
  PerPopulation<float> crossover_any_pt_fraction;
  PerPopulation<float> fitness_prop_repro_fraction;

  bool operator==(const RunParameters&) const = default;
};

struct Population {
  std::int32_t population_size = 0;
  std::int32_t max_depth_for_new_trees = 0;
  std::int32_t max_depth_after_crossover = 0;
  std::int32_t max_mutant_depth = 0;
  std::int32_t grow_method = GROW;
  std::int32_t selection_method = TOURNAMENT;
  std::int32_t elite_size = 0;
  std::int32_t tournament_K = 0;
  std::vector<std::int32_t> tournament_draws;
  float crossover_func_pt_fraction = 0;
  float crossover_any_pt_fraction = 0;
  float fitness_prop_repro_fraction = 0;
  std::vector<float> sn2;
  std::vector<float> mdl;
  std::vector<float> standardized;
  std::vector<float> adjusted;
  std::vector<float> norm;
  std::vector<std::int32_t> rank_order;
  std::vector<Tree> individuals;
  std::vector<Tree> next_individuals;
  Tree best_of_gen_tree;
  float best_of_gen_sn2 = 0;
  float best_of_gen_mdl = 0;
  FunctionSet function_set;
  TerminalTable terminal_table;
  std::int32_t function_set_size = 0;
  std::int32_t terminal_table_size = 0;
};

void set_default_parameters(RunParameters& parameters);

// Takes over the run-wide settings and seeds the floating-point generator.
void apply_run_parameters(Engine& engine, const RunParameters& parameters);

// Checks the population settings (ending the process on invalid ones, as a
// contract: the front ends refuse such settings first) and creates the records.
void allocate_populations(Engine& engine, const RunParameters& parameters);

void allocate_population_storage(Engine& engine, std::int32_t count);

}  // namespace quarvel
