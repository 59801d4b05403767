// The generation step, ranking, the node-model collector and the
// best-of-generation report.
#pragma once

#include <cstdint>

#include "engine/treeops.h"

namespace quarvel {

struct Engine;
struct GenerationReport;

// Generation 0 creates the trees; later ones breed every population first. Then
// every population is evaluated, ranked and its best individual copied; last,
// the models no individual uses are released.
void generation_step(Engine& engine, std::int32_t generation);

// Sorts rank_order ascending by mdl (or sn2): stable, NaN keys last.
void rank_population(Engine& engine, std::int32_t population);

void mark_pointer(const TreeNode* tree, std::int32_t population, std::int32_t individual);
void collect_node_models(Engine& engine, std::int32_t count);

void report_best_tree(const Engine& engine, GenerationReport& report, std::int32_t population);

// After fill_prediction for the same population: the mean squared error of the
// forecast against the scaled data from training count + overlap to the end
// (NaN when nothing is forecast), the best tree's node count and the mean node
// count of the population.
void report_run_figures(const Engine& engine, GenerationReport& report, std::int32_t population);

}  // namespace quarvel
