#include "engine/population.h"

#include "engine/engine.h"
#include "engine/fitting.h"
#include "engine/treegen.h"

namespace quarvel {

void initialize_populations(Engine& engine, std::int32_t count) {
  for (std::int32_t p = 0; p < count; ++p) {
    Population& pop = engine.populations[static_cast<std::size_t>(p)];
    const std::int32_t d = pop.max_depth_for_new_trees;
    // RAMPED cycles depths 1 .. D-1 in blocks of D-1 that are alternately full
    // and grown. With D = 1 there is no such block: every tree gets depth 1 and
    // the full flag alternates per individual, which is the same limit case.
    const std::int32_t block = d > 1 ? d - 1 : 1;
    bool full = false;
    for (std::int32_t j = 0; j < pop.population_size; ++j) {
      Tree tree;
      if (pop.grow_method == RAMPED) {
        if (j % block == 0) full = !full;
        tree = generate_tree(engine, p, (j % block) + 1, true, full, nullptr);
      } else {
        tree = generate_tree(engine, p, d, true, false, nullptr);
      }
      pop.individuals[static_cast<std::size_t>(j)] = std::move(tree);
    }
  }
}

float evaluate_individual(Engine& engine, std::int32_t population, TreeNode* tree, std::int32_t j) {
  Population& pop = engine.populations[static_cast<std::size_t>(population)];
  const double s = evaluate_tree(engine, tree);
  const double m = mdl_score(engine, tree, s, engine.data.training_count);
  pop.sn2[static_cast<std::size_t>(j)] = static_cast<float>(s);
  pop.mdl[static_cast<std::size_t>(j)] = static_cast<float>(m);
  return static_cast<float>(m);
}

void evaluate_population(Engine& engine, std::int32_t population) {
  fit_population_models(engine, population);
  Population& pop = engine.populations[static_cast<std::size_t>(population)];
  for (std::int32_t j = 0; j < pop.population_size; ++j) {
    const auto i = static_cast<std::size_t>(j);
    pop.standardized[i] = evaluate_individual(engine, population, pop.individuals[i].get(), j);
  }
}

void normalize_fitness(Engine& engine, std::int32_t population) {
  Population& pop = engine.populations[static_cast<std::size_t>(population)];
  float sum = 0.0f;
  for (std::int32_t j = 0; j < pop.population_size; ++j) {
    const auto i = static_cast<std::size_t>(j);
    // A standardized value of -1 gives an infinite share; IEEE arithmetic carries
    // it (and any other non-finite value) through unchanged.
    const double a = 1.0 / (1.0 + static_cast<double>(pop.standardized[i]));
    pop.adjusted[i] = static_cast<float>(a);
    sum = static_cast<float>(static_cast<double>(sum) + a);
  }
  for (std::int32_t j = 0; j < pop.population_size; ++j) {
    const auto i = static_cast<std::size_t>(j);
    pop.norm[i] = pop.adjusted[i] / sum;
  }
}

}  // namespace quarvel
