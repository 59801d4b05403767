// Parent selection: tournament on standardized fitness, fitness-proportional
// roulette on norm, and overselection.
#pragma once

#include <cstdint>

#include "engine/treeops.h"

namespace quarvel {

struct Engine;

struct Selected {
  TreeNode* tree;
  std::int32_t individual;
};

[[nodiscard]] Selected select_individual(Engine& engine, std::int32_t population);
[[nodiscard]] std::int32_t tournament_select(Engine& engine, std::int32_t population);
[[nodiscard]] float overselect_target(Engine& engine, std::int32_t population);
[[nodiscard]] std::int32_t roulette_select(const Engine& engine, std::int32_t population, float x);

}  // namespace quarvel
