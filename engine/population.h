// Creation of generation 0 and the evaluation of whole populations.
#pragma once

#include <cstdint>

#include "engine/treeops.h"

namespace quarvel {

struct Engine;

void initialize_populations(Engine& engine, std::int32_t count);

// Stores sn2[j] and mdl[j]; returns the value for standardized[j] (the MDL).
[[nodiscard]] float evaluate_individual(Engine& engine, std::int32_t population, TreeNode* tree,
                                        std::int32_t j);
void evaluate_population(Engine& engine, std::int32_t population);

// adjusted = 1 / (1 + standardized); norm = adjusted / sum of adjusted.
void normalize_fitness(Engine& engine, std::int32_t population);

}  // namespace quarvel
