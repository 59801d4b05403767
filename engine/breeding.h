// Breeding operators: elites, crossover at function nodes or any node, copy and
// mutation. Offspring are built from copies, sharing the models of every
// unchanged subtree with their parents.
#pragma once

#include <cstdint>
#include <utility>

#include "engine/treeops.h"

namespace quarvel {

struct Engine;

void breed_population(Engine& engine, std::int32_t population);

[[nodiscard]] std::int32_t count_nodes(const TreeNode* tree);
[[nodiscard]] std::int32_t count_function_nodes(const TreeNode* tree);
[[nodiscard]] std::int32_t tree_depth(const TreeNode* tree);
[[nodiscard]] TreeNode* nth_node(TreeNode* tree, std::int32_t k);
[[nodiscard]] TreeNode* nth_function_node(TreeNode* tree, std::int32_t k);
// The owning link of `node` within the tree held by `root`.
[[nodiscard]] Tree* find_slot(Tree& root, const TreeNode* node);

[[nodiscard]] std::pair<Tree, Tree> crossover_any_point(Engine& engine, const TreeNode* parent1,
                                                        const TreeNode* parent2);
[[nodiscard]] std::pair<Tree, Tree> crossover_function_point(Engine& engine,
                                                             const TreeNode* parent1,
                                                             const TreeNode* parent2);

struct KeptOffspring {
  bool first;
  bool second;
};
// Replaces an offspring deeper than the population's limit by a copy of its own parent.
KeptOffspring limit_offspring_depth(Engine& engine, const TreeNode* parent1,
                                    const TreeNode* parent2, Tree& offspring1, Tree& offspring2);

// Mutates `tree` (a copy of a parent) in place; its root may change.
[[nodiscard]] Tree mutate(Engine& engine, Tree tree);

}  // namespace quarvel
