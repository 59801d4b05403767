#include "engine/selection.h"

#include <cstdio>
#include <cstdlib>

#include "engine/engine.h"

namespace quarvel {

std::int32_t tournament_select(Engine& engine, std::int32_t population) {
  Population& pop = engine.populations[static_cast<std::size_t>(population)];
  auto& draws = pop.tournament_draws;
  for (auto& draw : draws) draw = random_int(engine.random, pop.population_size);
  if (draws.empty()) return 0;  // a tournament without entrants: the first individual
  std::int32_t best = draws[0];
  for (std::size_t i = 1; i < draws.size(); ++i) {
    if (pop.standardized[static_cast<std::size_t>(draws[i])] <
        pop.standardized[static_cast<std::size_t>(best)]) {
      best = draws[i];
    }
  }
  return best;
}

std::int32_t roulette_select(const Engine& engine, std::int32_t population, float x) {
  const Population& pop = engine.populations[static_cast<std::size_t>(population)];
  float sum = 0.0f;
  std::int32_t i = 0;
  while (i < pop.population_size && sum < x) {
    sum += pop.norm[static_cast<std::size_t>(pop.rank_order[static_cast<std::size_t>(i)])];
    ++i;
  }
  return pop.rank_order[static_cast<std::size_t>(i == 0 ? 0 : i - 1)];
}

float overselect_target(Engine& engine, std::int32_t population) {
  const Population& pop = engine.populations[static_cast<std::size_t>(population)];
  if (pop.population_size < 1000) {
    std::fprintf(stderr, "population size %d is too small for overselection\n",
                 pop.population_size);
    std::exit(-1);
  }
  const auto t = static_cast<float>(320.0 / pop.population_size);
  const float r = random_float(engine.random, 1.0f);
  if (static_cast<double>(r) < 0.8) return random_float(engine.random, t);
  return t + random_float(engine.random, 1.0f - t);
}

Selected select_individual(Engine& engine, std::int32_t population) {
  const Population& pop = engine.populations[static_cast<std::size_t>(population)];
  std::int32_t j = 0;
  switch (pop.selection_method) {
    case OVERSELECT:
      j = roulette_select(engine, population, overselect_target(engine, population));
      break;
    case FITNESSPROP:
      j = roulette_select(engine, population, random_float(engine.random, 1.0f));
      break;
    default:
      j = tournament_select(engine, population);
      break;
  }
  return {pop.individuals[static_cast<std::size_t>(j)].get(), j};
}

}  // namespace quarvel
