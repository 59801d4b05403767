#include "engine/treegen.h"

#include "engine/engine.h"

namespace quarvel {

Tree generate_tree(Engine& engine, std::int32_t population, std::int32_t depth, bool force,
                   bool full, TreeNode* parent) {
  const Population& pop = engine.populations[static_cast<std::size_t>(population)];
  const std::int32_t terminals = pop.terminal_table.size();
  if (depth <= 0) {
    const std::int32_t k = random_int(engine.random, terminals);
    return create_tree_node(engine, population, kTerminalNode, k, parent);
  }
  if (!force && !full) {
    const std::int32_t functions = pop.function_set.size();
    const std::int32_t r = random_int(engine.random, functions + terminals);
    if (r >= functions)
      return create_tree_node(engine, population, kTerminalNode, r - functions, parent);
  }
  Tree node = create_tree_node(engine, population, kFunctionNode, 0, parent);
  new_node_model(engine, node.get());
  node->body->children[0] = generate_tree(engine, population, depth - 1, false, full, node.get());
  node->body->children[1] = generate_tree(engine, population, depth - 1, false, full, node.get());
  return node;
}

}  // namespace quarvel
