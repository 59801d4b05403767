// Trees of function and terminal nodes, the shared fitted node models and the
// model registry that owns them.
//
// A function node points to a NodeModel that is shared, never copied: copies of
// a tree share their models, so a subtree is fitted once in its lifetime. Only
// the registry owns models; the per-generation collector releases those that no
// current individual uses.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quarvel {

struct Engine;

inline constexpr std::int32_t kFunctionNode = 0;
inline constexpr std::int32_t kTerminalNode = 1;
inline constexpr std::int32_t kUnfittedKind = 99999;

struct ModelUser {
  std::int32_t population;
  std::int32_t individual;
};

// The identity of a node's two inputs: a terminal's lag (as -(id + 1)) or the
// canonical serial of a function child's model. Equal keys mean equal inputs.
struct FitKey {
  std::int64_t first = 0;
  std::int64_t second = 0;
  bool operator==(const FitKey&) const = default;
};

struct FitKeyHash {
  std::size_t operator()(const FitKey& k) const noexcept {
    return static_cast<std::size_t>(static_cast<std::uint64_t>(k.first) * 0x9E3779B97F4A7C15ull ^
                                    static_cast<std::uint64_t>(k.second));
  }
};

// A fitted model's outputs (one per training point) are not part of it: they
// live in the engine's output store under the model's fit identity.
struct NodeModel {
  std::int32_t kind_id = kUnfittedKind;  // +k: entry k on two inputs; -k: entry k on one input
  std::vector<double> coefficients;      // empty until fitted
  double sn2 = -1.0;                     // -1: not yet computed
  std::vector<ModelUser> users;          // rebuilt by the collector
  std::int64_t serial = 0;               // identifier shown by the tree printer
  std::int64_t canonical = 0;            // serial of the model whose fit these results are
  FitKey fit_key;                        // its key in the engine's fit cache, when it is there
  bool in_fit_cache = false;

  [[nodiscard]] bool has_coefficients() const noexcept { return !coefficients.empty(); }
  [[nodiscard]] bool fitted() const noexcept {
    return kind_id != kUnfittedKind && has_coefficients();
  }
  // The name of its fit, which models with the same results share.
  [[nodiscard]] std::int64_t fit_identity() const noexcept {
    return canonical != 0 ? canonical : serial;
  }
};

struct TreeNode;

struct FunctionBody {
  std::array<std::unique_ptr<TreeNode>, 2> children;  // first (left), second (right)
  NodeModel* model = nullptr;                         // owned by the registry
};

struct TreeNode {
  std::int32_t kind = kTerminalNode;
  std::int32_t id = 0;
  std::int32_t population = 0;
  TreeNode* parent = nullptr;
  std::unique_ptr<FunctionBody> body;  // function nodes only

  [[nodiscard]] bool is_function() const noexcept { return kind == kFunctionNode; }
  [[nodiscard]] TreeNode* child(int i) const noexcept { return body->children[i].get(); }
  [[nodiscard]] NodeModel* model() const noexcept { return body ? body->model : nullptr; }
};

using Tree = std::unique_ptr<TreeNode>;

// Every NodeModel of the engine, newest at the front of the chain.
class ModelRegistry {
 public:
  // Starts a new, empty chain; the identifiers count from 1 again.
  void reset();
  // A fresh, unfitted model pushed at the front.
  NodeModel* create();

  [[nodiscard]] std::size_t size() const noexcept { return models_.size(); }
  [[nodiscard]] bool contains(const NodeModel* model) const;

  // Visits every model from the front (newest) to the back.
  template <class F>
  void for_each(F&& f) {
    for (auto it = models_.rbegin(); it != models_.rend(); ++it) f(**it);
  }

  // Releases the models without users; the survivors form a new chain in the
  // reverse of their previous order.
  void sweep_unused();

 private:
  std::vector<std::unique_ptr<NodeModel>> models_;  // back = front of the chain
  std::int64_t next_serial_ = 1;
};

// Builds the regressor vector of one form from the pair of child inputs; the
// value limit bounds the two-input form's entries.
using RegressorBuilder = std::vector<double> (*)(double x1, double x2, double value_limit);

struct FunctionKind {
  std::int32_t coefficients_two_inputs;
  std::int32_t coefficients_one_input;
  std::string name;
  RegressorBuilder two_inputs;
  RegressorBuilder one_input;
};

// The single polynomial kind "Quadratic"; entries are counted from 1.
struct FunctionTable {
  std::vector<FunctionKind> entries;
  [[nodiscard]] std::int32_t size() const noexcept {
    return static_cast<std::int32_t>(entries.size());
  }
  // The coefficient count and the regressor builder of the form a kind id names.
  [[nodiscard]] std::int32_t coefficient_count(std::int32_t kind_id) const noexcept;
  [[nodiscard]] RegressorBuilder builder(std::int32_t kind_id) const noexcept;
};

struct FunctionSet {
  std::vector<std::string> names;  // only "+"
  [[nodiscard]] std::int32_t size() const noexcept {
    return static_cast<std::int32_t>(names.size());
  }
};

struct TerminalTable {
  std::vector<std::string> names;  // "X1", "X2", ...
  [[nodiscard]] std::int32_t size() const noexcept {
    return static_cast<std::int32_t>(names.size());
  }
};

[[nodiscard]] Tree create_tree_node(Engine& engine, std::int32_t population, std::int32_t kind,
                                    std::int32_t id, TreeNode* parent);
void new_node_model(Engine& engine, TreeNode* node);
[[nodiscard]] Tree copy_tree(Engine& engine, const TreeNode* tree);
void free_tree(Tree tree);
void reset_ancestor_models(Engine& engine, TreeNode* node);
[[nodiscard]] TreeNode* find_parent(TreeNode* root, const TreeNode* node);
void prepare_engine(Engine& engine);
// Gives back what a run that failed partway holds (trees, models, their
// outputs); the data and the settings stay, and the next Start prepares the
// engine afresh.
void release_run(Engine& engine);

}  // namespace quarvel
