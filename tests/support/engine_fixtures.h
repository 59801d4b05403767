// Small fixtures for engine tests: a prepared engine over a given series and
// hand-built trees.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "engine/engine.h"
#include "engine/treeops.h"

namespace quarvel::testing {

// An engine holding training + validation, scaled, with `populations`
// populations prepared (settings adjusted by `configure` before allocation).
inline std::unique_ptr<Engine> make_engine(
    const std::vector<double>& training, const std::vector<double>& validation, int populations = 1,
    const std::function<void(RunParameters&)>& configure = {}) {
  auto engine = std::make_unique<Engine>();
  (void)set_training_series(engine->data, training);
  (void)set_validation_series(engine->data, validation);
  (void)normalise_series(engine->data);
  RunParameters& p = engine->parameters;
  p.number_of_populations = populations;
  if (configure) configure(p);
  apply_run_parameters(*engine, p);
  allocate_populations(*engine, p);
  prepare_engine(*engine);
  return engine;
}

inline Tree terminal(Engine& engine, int k, TreeNode* parent = nullptr, int population = 0) {
  return create_tree_node(engine, population, kTerminalNode, k, parent);
}

// A function node with a fresh model over two subtrees.
inline Tree function(Engine& engine, Tree left, Tree right, int population = 0) {
  Tree node = create_tree_node(engine, population, kFunctionNode, 0, nullptr);
  new_node_model(engine, node.get());
  left->parent = node.get();
  right->parent = node.get();
  node->body->children[0] = std::move(left);
  node->body->children[1] = std::move(right);
  return node;
}

// A short, non-constant series with some structure.
inline std::vector<double> wave(int n, double phase = 0.0) {
  std::vector<double> v;
  v.reserve(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i)
    v.push_back(10.0 + 5.0 * __builtin_sin(0.3 * i + phase) + 0.1 * (i % 7));
  return v;
}

}  // namespace quarvel::testing
