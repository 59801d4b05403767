#include "engine/generations.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_set>

#include "engine/breeding.h"
#include "engine/engine.h"
#include "engine/population.h"
#include "engine/treeio.h"

namespace quarvel {

void generation_step(Engine& engine, std::int32_t generation) {
  const std::int32_t count = engine.population_count;
  if (generation != 0) {
    for (std::int32_t p = 0; p < count; ++p) {
      Population& pop = engine.populations[static_cast<std::size_t>(p)];
      free_tree(std::move(pop.best_of_gen_tree));
      breed_population(engine, p);
      for (Tree& tree : pop.individuals) free_tree(std::move(tree));
      std::swap(pop.individuals, pop.next_individuals);
    }
  } else {
    initialize_populations(engine, count);
  }
  for (std::int32_t p = 0; p < count; ++p) {
    Population& pop = engine.populations[static_cast<std::size_t>(p)];
    evaluate_population(engine, p);
    normalize_fitness(engine, p);
    rank_population(engine, p);
    const auto best = static_cast<std::size_t>(pop.rank_order[0]);
    pop.best_of_gen_sn2 = pop.sn2[best];
    pop.best_of_gen_mdl = pop.mdl[best];
    pop.best_of_gen_tree = copy_tree(engine, pop.individuals[best].get());
  }
  collect_node_models(engine, count);
}

void rank_population(Engine& engine, std::int32_t population) {
  Population& pop = engine.populations[static_cast<std::size_t>(population)];
  const std::vector<float>& key = engine.evaluate_by_mdl == 1 ? pop.mdl : pop.sn2;
  for (std::size_t j = 0; j < pop.rank_order.size(); ++j)
    pop.rank_order[j] = static_cast<std::int32_t>(j);
  // A strict weak order on every float: ascending, NaN after everything else.
  std::stable_sort(pop.rank_order.begin(), pop.rank_order.end(),
                   [&key](std::int32_t a, std::int32_t b) {
                     const float ka = key[static_cast<std::size_t>(a)];
                     const float kb = key[static_cast<std::size_t>(b)];
                     if (std::isnan(ka)) return false;
                     return std::isnan(kb) || ka < kb;
                   });
}

void mark_pointer(const TreeNode* tree, std::int32_t population, std::int32_t individual) {
  if (!tree->is_function()) return;
  mark_pointer(tree->child(0), population, individual);
  mark_pointer(tree->child(1), population, individual);
  tree->model()->users.push_back({population, individual});
}

void collect_node_models(Engine& engine, std::int32_t count) {
  engine.registry.for_each([](NodeModel& model) { model.users.clear(); });
  for (std::int32_t p = 0; p < count; ++p) {
    const Population& pop = engine.populations[static_cast<std::size_t>(p)];
    for (std::size_t j = 0; j < pop.individuals.size(); ++j) {
      mark_pointer(pop.individuals[j].get(), p, static_cast<std::int32_t>(j));
    }
  }
  engine.registry.for_each([&engine](NodeModel& model) {
    if (model.users.empty() && model.in_fit_cache) engine.fit_cache.erase(model.fit_key);
  });
  engine.registry.sweep_unused();
  // Outputs of fits that no living model has any more are of no further use.
  std::unordered_set<std::int64_t> living;
  living.reserve(engine.registry.size());
  engine.registry.for_each([&living](const NodeModel& model) {
    if (model.fitted()) living.insert(model.fit_identity());
  });
  engine.outputs.keep_only([&living](std::int64_t fit) { return living.contains(fit); });
}

void report_best_tree(const Engine& engine, GenerationReport& report, std::int32_t population) {
  const Population& pop = engine.populations[static_cast<std::size_t>(population)];
  report.best_sn2 = pop.best_of_gen_sn2;
  report.best_mdl = pop.best_of_gen_mdl;
  report.tree_text.clear();
  pprint_tree(engine, pop.best_of_gen_tree.get(), report.tree_text, 0);
}

}  // namespace quarvel

namespace quarvel {

void report_run_figures(const Engine& engine, GenerationReport& report, std::int32_t population) {
  const Population& pop = engine.populations[static_cast<std::size_t>(population)];
  const DataSet& data = engine.data;
  const std::int32_t start = forecast_start(data);
  double sum = 0.0;
  for (std::int32_t t = start; t < data.point_count; ++t) {
    const double d =
        report.prediction[static_cast<std::size_t>(t)] - data.values[static_cast<std::size_t>(t)];
    sum += d * d;
  }
  const std::int32_t forecast = data.point_count - start;
  report.validation_mse = forecast > 0 ? sum / forecast : std::numeric_limits<double>::quiet_NaN();
  report.best_node_count = pop.best_of_gen_tree ? count_nodes(pop.best_of_gen_tree.get()) : 0;
  double nodes = 0.0;
  for (const Tree& tree : pop.individuals) nodes += tree ? count_nodes(tree.get()) : 0;
  report.average_node_count =
      pop.individuals.empty() ? 0.0 : nodes / static_cast<double>(pop.individuals.size());
}

}  // namespace quarvel
