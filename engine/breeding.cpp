#include "engine/breeding.h"

#include <algorithm>

#include "engine/engine.h"
#include "engine/selection.h"
#include "engine/treegen.h"

namespace quarvel {

std::int32_t count_nodes(const TreeNode* tree) {
  if (!tree->is_function()) return 1;
  return 1 + count_nodes(tree->child(0)) + count_nodes(tree->child(1));
}

std::int32_t count_function_nodes(const TreeNode* tree) {
  if (!tree->is_function()) return 0;
  return 1 + count_function_nodes(tree->child(0)) + count_function_nodes(tree->child(1));
}

std::int32_t tree_depth(const TreeNode* tree) {
  if (!tree->is_function()) return 0;
  return 1 + std::max(tree_depth(tree->child(0)), tree_depth(tree->child(1)));
}

namespace {

// Pre-order walk counting the nodes that `counts` accepts; k is decremented per counted node.
template <class Counts>
TreeNode* nth_in_preorder(TreeNode* node, std::int32_t& k, Counts counts) {
  if (counts(node)) {
    if (k == 0) return node;
    --k;
  }
  if (!node->is_function()) return nullptr;
  if (TreeNode* found = nth_in_preorder(node->child(0), k, counts)) return found;
  return nth_in_preorder(node->child(1), k, counts);
}

Tree* slot_in(Tree& link, const TreeNode* node) {
  if (link.get() == node) return &link;
  if (!link->is_function()) return nullptr;
  if (Tree* found = slot_in(link->body->children[0], node)) return found;
  return slot_in(link->body->children[1], node);
}

template <class Count, class Nth>
std::pair<Tree, Tree> crossover(Engine& engine, const TreeNode* parent1, const TreeNode* parent2,
                                Count count, Nth nth) {
  const std::int32_t k1 = random_int(engine.random, count(parent1));
  const std::int32_t k2 = random_int(engine.random, count(parent2));
  Tree c1 = copy_tree(engine, parent1);
  Tree c2 = copy_tree(engine, parent2);
  TreeNode* n1 = nth(c1.get(), k1);
  TreeNode* n2 = nth(c2.get(), k2);
  std::swap(*find_slot(c1, n1), *find_slot(c2, n2));  // c1 now holds n2, c2 holds n1

  const KeptOffspring kept = limit_offspring_depth(engine, parent1, parent2, c1, c2);
  if (kept.first) {
    n2->parent = find_parent(c1.get(), n2);
    reset_ancestor_models(engine, n2);
  }
  if (kept.second) {
    n1->parent = find_parent(c2.get(), n1);
    reset_ancestor_models(engine, n1);
  }
  return {std::move(c1), std::move(c2)};
}

}  // namespace

TreeNode* nth_node(TreeNode* tree, std::int32_t k) {
  return nth_in_preorder(tree, k, [](const TreeNode*) { return true; });
}

TreeNode* nth_function_node(TreeNode* tree, std::int32_t k) {
  if (k == 0) return tree;
  return nth_in_preorder(tree, k, [](const TreeNode* n) { return n->is_function(); });
}

Tree* find_slot(Tree& root, const TreeNode* node) {
  return slot_in(root, node);
}

std::pair<Tree, Tree> crossover_any_point(Engine& engine, const TreeNode* parent1,
                                          const TreeNode* parent2) {
  return crossover(engine, parent1, parent2, count_nodes, nth_node);
}

std::pair<Tree, Tree> crossover_function_point(Engine& engine, const TreeNode* parent1,
                                               const TreeNode* parent2) {
  return crossover(engine, parent1, parent2, count_function_nodes, nth_function_node);
}

KeptOffspring limit_offspring_depth(Engine& engine, const TreeNode* parent1,
                                    const TreeNode* parent2, Tree& offspring1, Tree& offspring2) {
  const std::int32_t limit =
      engine.populations[static_cast<std::size_t>(parent1->population)].max_depth_after_crossover;
  auto judge = [&](Tree& offspring, const TreeNode* parent) {
    if (tree_depth(offspring.get()) <= limit) return true;
    free_tree(std::move(offspring));
    offspring = copy_tree(engine, parent);
    return false;
  };
  const bool first = judge(offspring1, parent1);
  const bool second = judge(offspring2, parent2);
  return {first, second};
}

Tree mutate(Engine& engine, Tree tree) {
  const std::int32_t k = random_int(engine.random, count_nodes(tree.get()));
  TreeNode* n = nth_node(tree.get(), k);
  Tree* link = find_slot(tree, n);
  const Population& pop = engine.populations[static_cast<std::size_t>(tree->population)];
  Tree grown = generate_tree(engine, tree->population, pop.max_mutant_depth, false, false, nullptr);
  TreeNode* parent = find_parent(tree.get(), n);
  free_tree(std::move(*link));
  *link = std::move(grown);
  (*link)->parent = parent;
  reset_ancestor_models(engine, link->get());
  return tree;
}

void breed_population(Engine& engine, std::int32_t population) {
  Population& pop = engine.populations[static_cast<std::size_t>(population)];
  const auto at = [](auto& v, std::int32_t i) -> auto& {
    return v[static_cast<std::size_t>(i)];
  };
  for (std::int32_t s = 0; s < pop.elite_size; ++s) {
    at(pop.next_individuals, s) =
        copy_tree(engine, at(pop.individuals, at(pop.rank_order, s)).get());
  }
  // The shares are compared as sums formed in double precision.
  const double crossover_share =
      static_cast<double>(pop.crossover_func_pt_fraction) + pop.crossover_any_pt_fraction;
  const double copy_share = crossover_share + pop.fitness_prop_repro_fraction;
  std::int32_t s = pop.elite_size;
  float q = random_float(engine.random, 1.0f);
  while (s < pop.population_size) {
    const TreeNode* parent1 = select_individual(engine, population).tree;
    if (s < pop.population_size - 1 && q < crossover_share) {
      const TreeNode* parent2 = select_individual(engine, population).tree;
      auto offspring = q < pop.crossover_func_pt_fraction
                           ? crossover_function_point(engine, parent1, parent2)
                           : crossover_any_point(engine, parent1, parent2);
      at(pop.next_individuals, s) = std::move(offspring.first);
      at(pop.next_individuals, s + 1) = std::move(offspring.second);
      s += 2;
    } else if (q < copy_share) {
      at(pop.next_individuals, s) = copy_tree(engine, parent1);
      s += 1;
    } else {
      at(pop.next_individuals, s) = mutate(engine, copy_tree(engine, parent1));
      s += 1;
    }
    q = random_float(engine.random, 1.0f);
  }
}

}  // namespace quarvel
