#include "engine/treeops.h"

#include <algorithm>
#include <cstdio>

#include "engine/engine.h"
#include "engine/fitting.h"

namespace quarvel {

void ModelRegistry::reset() {
  models_.clear();
  next_serial_ = 1;
}

NodeModel* ModelRegistry::create() {
  auto model = std::make_unique<NodeModel>();
  model->serial = next_serial_++;
  models_.push_back(std::move(model));
  return models_.back().get();
}

bool ModelRegistry::contains(const NodeModel* model) const {
  return std::any_of(models_.begin(), models_.end(),
                     [model](const auto& m) { return m.get() == model; });
}

void ModelRegistry::sweep_unused() {
  std::erase_if(models_, [](const auto& m) { return m->users.empty(); });
  std::reverse(models_.begin(), models_.end());
}

namespace {
const FunctionKind& entry_of(const FunctionTable& table, std::int32_t kind_id) {
  return table.entries[static_cast<std::size_t>((kind_id > 0 ? kind_id : -kind_id) - 1)];
}
}  // namespace

std::int32_t FunctionTable::coefficient_count(std::int32_t kind_id) const noexcept {
  const FunctionKind& entry = entry_of(*this, kind_id);
  return kind_id > 0 ? entry.coefficients_two_inputs : entry.coefficients_one_input;
}

RegressorBuilder FunctionTable::builder(std::int32_t kind_id) const noexcept {
  const FunctionKind& entry = entry_of(*this, kind_id);
  return kind_id > 0 ? entry.two_inputs : entry.one_input;
}

Tree create_tree_node(Engine& engine, std::int32_t population, std::int32_t kind, std::int32_t id,
                      TreeNode* parent) {
  auto node = std::make_unique<TreeNode>();
  node->kind = kind;
  node->id = id;
  node->population = population;
  node->parent = parent;
  if (kind == kFunctionNode) {
    const std::int32_t set_size =
        engine.populations[static_cast<std::size_t>(population)].function_set.size();
    if (id < 0 || id >= set_size) {
      std::fprintf(stderr, "id %d must be >= 0 and < %d in init_function() <treeops>\n", id,
                   set_size);
    }
    node->body = std::make_unique<FunctionBody>();
  } else if (kind != kTerminalNode) {
    std::fprintf(stderr, "nodetype %d must be %d or %d in create_tree_node() <treeops>\n", kind,
                 kFunctionNode, kTerminalNode);
  }
  return node;
}

void new_node_model(Engine& engine, TreeNode* node) {
  if (node == nullptr || !node->body) return;
  node->body->model = engine.registry.create();
}

namespace {
Tree copy_subtree(Engine& engine, const TreeNode* source, TreeNode* parent) {
  switch (source->kind) {
    case kFunctionNode: {
      Tree node = create_tree_node(engine, source->population, source->kind, source->id, parent);
      node->body->children[0] = copy_subtree(engine, source->child(0), node.get());
      node->body->children[1] = copy_subtree(engine, source->child(1), node.get());
      node->body->model = source->body->model;
      return node;
    }
    case kTerminalNode:
      return create_tree_node(engine, source->population, source->kind, source->id, parent);
    default:
      std::fprintf(stderr, "nodetype %d must be %d or %d in copy_tree() <treeops>\n", source->kind,
                   kFunctionNode, kTerminalNode);
      return nullptr;
  }
}
}  // namespace

Tree copy_tree(Engine& engine, const TreeNode* tree) {
  if (tree == nullptr) return nullptr;
  return copy_subtree(engine, tree, nullptr);
}

void free_tree(Tree tree) {
  if (!tree) return;
  switch (tree->kind) {
    case kFunctionNode:
      free_tree(std::move(tree->body->children[0]));
      free_tree(std::move(tree->body->children[1]));
      break;
    case kTerminalNode:
      break;
    default:
      std::fprintf(stderr, "nodetype %d must be %d or %d in free_tree() <treeops>\n", tree->kind,
                   kFunctionNode, kTerminalNode);
      break;
  }
  // The node, its body and its children slots go with `tree`; the model stays
  // in the registry.
}

void reset_ancestor_models(Engine& engine, TreeNode* node) {
  if (node == nullptr) return;
  std::vector<TreeNode*> ancestors;
  for (TreeNode* up = node->parent; up != nullptr; up = up->parent) ancestors.push_back(up);
  // Root first, then downwards to the node's parent.
  for (auto it = ancestors.rbegin(); it != ancestors.rend(); ++it) new_node_model(engine, *it);
}

namespace {
TreeNode* search_parent(TreeNode* at, const TreeNode* node) {
  if (!at->is_function()) return nullptr;
  if (at->child(0) == node || at->child(1) == node) return at;
  if (TreeNode* found = search_parent(at->child(0), node)) return found;
  return search_parent(at->child(1), node);
}
}  // namespace

TreeNode* find_parent(TreeNode* root, const TreeNode* node) {
  if (root == node) return nullptr;
  TreeNode* parent = search_parent(root, node);
  if (parent == nullptr) std::fputs("ERROR in parent get ... \n", stdout);
  return parent;
}

void prepare_engine(Engine& engine) {
  engine.design_matrix = alloc_matrix(engine.data.training_count, 10);
  engine.fit_cache.clear();
  engine.registry.reset();
  engine.outputs.reset(static_cast<std::size_t>(engine.data.training_count));
  LaggedSeries& lagged = engine.lagged_series;
  lagged.longest_lag = 0;
  for (const Population& pop : engine.populations)
    lagged.longest_lag = std::max(lagged.longest_lag, pop.terminal_table_size);
  lagged.padded.assign(static_cast<std::size_t>(lagged.longest_lag), 0.0);
  lagged.padded.insert(lagged.padded.end(), engine.data.values.begin(),
                       engine.data.values.begin() + engine.data.training_count);
  for (Population& pop : engine.populations) {
    pop.function_set.names = {"+"};
    pop.function_set_size = pop.function_set.size();
  }
  engine.function_table.entries = {
      FunctionKind{6, 3, "Quadratic", &regressors_two_inputs, &regressors_one_input}};
  for (Population& pop : engine.populations) {
    pop.terminal_table.names.clear();
    pop.terminal_table.names.reserve(
        static_cast<std::size_t>(std::max(pop.terminal_table_size, 0)));
    for (std::int32_t k = 0; k < pop.terminal_table_size; ++k) {
      std::string name = "X";
      name += std::to_string(k + 1);
      pop.terminal_table.names.push_back(std::move(name));
    }
  }
  allocate_population_storage(engine, engine.population_count);
}

void release_run(Engine& engine) {
  for (Population& pop : engine.populations) {
    for (std::vector<Tree>* trees : {&pop.individuals, &pop.next_individuals}) {
      for (Tree& tree : *trees) free_tree(std::move(tree));
    }
    free_tree(std::move(pop.best_of_gen_tree));
  }
  engine.fit_cache.clear();
  engine.registry.reset();
  engine.outputs.reset(static_cast<std::size_t>(engine.data.training_count));
}

}  // namespace quarvel
